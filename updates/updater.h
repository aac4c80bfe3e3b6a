#ifndef UPDATER_H
#define UPDATER_H

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class Downloader;
class QDeadlineTimer;
class QMessageBox;
class QNetworkAccessManager;
class QNetworkReply;
class QWidget;

// One update check for one version-file address: fetches the JSON version
// file, compares this platform's latest version with the running one and
// tells the user. Accepting an update opens its web page or download
// address in the browser, or downloads it in the download window, which is
// built only then. Its boxes open over the window that asked for the check.
class Updater : public QObject
{
    Q_OBJECT

public:
    // A version file is a few hundred bytes; a larger reply is no version
    // file, and one that never ends must not fill the memory.
    static constexpr qint64 MAX_VERSION_FILE_BYTES = 1024 * 1024;
    // The whole of one check, redirects included: a server that drips its
    // reply must not keep it open for good.
    static constexpr int CHECK_TIME_LIMIT_MILLIS = 60000;

    Updater();
    ~Updater() override;

    QString url() const;
    QString userAgentString() const;
    bool customAppcast() const;
    bool notifyOnUpdate() const;
    bool notifyOnFinish() const;
    bool updateAvailable() const;
    bool downloaderEnabled() const;
    bool mandatoryUpdate() const;
    QString openUrl() const;
    QString platformKey() const;
    QString changelog() const;
    QString moduleName() const;
    QString downloadUrl() const;
    QString moduleVersion() const;
    QString latestVersion() const;
    bool useCustomInstallProcedures() const;

    // True when version x is newer than version y: dotted numbers compared
    // part by part, then the longer one wins.
    static bool compare(const QString& x, const QString& y);

    // The limit of a whole check, in ms (CHECK_TIME_LIMIT_MILLIS unless set).
    void setTimeLimit(int millis);
    // The window the boxes open over; none unless set.
    void setParentWidget(QWidget* parent);

signals:
    void checkingFinished(const QString& url);
    void downloadFinished(const QString& url, const QString& filepath);
    void appcastDownloaded(const QString& url, const QByteArray& data);

public slots:
    void checkForUpdates();
    void setUrl(const QString& url);
    void setModuleName(const QString& name);
    void setNotifyOnUpdate(bool notify);
    void setNotifyOnFinish(bool notify);
    void setUserAgentString(const QString& agent);
    void setModuleVersion(const QString& version);
    void setDownloaderEnabled(bool enabled);
    void setPlatformKey(const QString& platformKey);
    void setUseCustomAppcast(bool customAppcast);
    void setUseCustomInstallProcedures(bool custom);
    void setMandatoryUpdate(bool mandatory_update);
    void onReply(QNetworkReply* reply);
    void setUpdateAvailable(bool available);

private:
    void request(int redirects, const QDeadlineTimer& deadline);
    QString brokenLimit(const QNetworkReply* reply) const;
    QString readVersionFile(const QByteArray& body);
    void checkFailed(const QString& reason);
    void prepareBox(QMessageBox* box, const QString& text) const;
    void showProblem(const QString& text, const QString& detail) const;
    void acceptUpdate();
    Downloader* downloader();
    void openWebAddress(const QString& address);

    QString m_url;
    QString m_userAgentString;
    bool m_customAppcast = false;
    bool m_notifyOnUpdate = true;
    bool m_notifyOnFinish = false;
    bool m_updateAvailable = false;
    bool m_downloaderEnabled = true;
    bool m_mandatoryUpdate = false;
    QString m_openUrl;
    QString m_platformKey;
    QString m_changelog;
    QString m_moduleName;
    QString m_downloadUrl;
    QString m_moduleVersion;
    QString m_latestVersion;
    bool m_customInstallProcedures = false;
    Downloader* m_downloader = nullptr;
    QNetworkAccessManager* m_manager = nullptr;
    int m_timeLimit = CHECK_TIME_LIMIT_MILLIS;
    QPointer<QWidget> m_parentWidget;
};

#endif // UPDATER_H
