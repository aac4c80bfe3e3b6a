#include "versionfile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

VersionFile::Result VersionFile::read(const QByteArray& body, const QString& platformKey,
                                      Entry* entry, QString* jsonError)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (document.isNull()) {
        if (jsonError)
            *jsonError = error.errorString();
        return NotJson;
    }

    const QJsonValue updates = document.object().value(QLatin1String("updates"));
    const QJsonValue platform = updates.toObject().value(platformKey);
    const QJsonObject object = platform.toObject();
    entry->openUrl = object.value(QLatin1String("open-url")).toString();
    entry->changelog = object.value(QLatin1String("changelog")).toString();
    entry->downloadUrl = object.value(QLatin1String("download-url")).toString();
    entry->latestVersion = object.value(QLatin1String("latest-version")).toString();
    entry->hasMandatoryUpdate = object.contains(QLatin1String("mandatory-update"));
    entry->mandatoryUpdate = object.value(QLatin1String("mandatory-update")).toBool();

    if (!updates.isObject())
        return NoUpdates;
    if (!platform.isObject())
        return NoPlatformEntry;
    if (entry->latestVersion.isEmpty())
        return NoLatestVersion;
    return Read;
}
