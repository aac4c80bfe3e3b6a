#ifndef VERSIONFILE_H
#define VERSIONFILE_H

#include <QByteArray>
#include <QString>

// The version file of the update check: a JSON object whose "updates"
// object holds one entry per platform with "open-url", "changelog",
// "download-url", "latest-version" and, optionally, "mandatory-update".
class VersionFile
{
public:
    enum Result { Read, NotJson, NoUpdates, NoPlatformEntry, NoLatestVersion };

    // One platform's entry. A member that is missing or no string reads
    // as empty text.
    struct Entry
    {
        QString openUrl;
        QString changelog;
        QString downloadUrl;
        QString latestVersion;
        bool hasMandatoryUpdate = false;
        bool mandatoryUpdate = false;
    };

    // Reads the entry of platformKey from the body into entry. Whatever
    // the result but NotJson, entry holds what the file gives (a missing
    // "updates" object or entry gives an empty one); for NotJson, entry is
    // left as it was and jsonError (when given) says why.
    static Result read(const QByteArray& body, const QString& platformKey, Entry* entry,
                       QString* jsonError = nullptr);
};

#endif // VERSIONFILE_H
