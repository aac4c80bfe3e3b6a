#ifndef QSIMPLEUPDATER_H
#define QSIMPLEUPDATER_H

#include <QByteArray>
#include <QObject>
#include <QString>

class Updater;
class QWidget;

// The process-wide front of the update check: keeps one Updater per
// version-file address, created on first use, and forwards settings,
// checks and signals to it.
class QSimpleUpdater : public QObject
{
    Q_OBJECT

public:
    // The one instance, created on the first call and destroyed as the
    // application ends.
    static QSimpleUpdater* getInstance();
    ~QSimpleUpdater() override;

    Updater* getUpdater(const QString& url) const;

    bool usesCustomAppcast(const QString& url) const;
    bool getNotifyOnUpdate(const QString& url) const;
    bool getNotifyOnFinish(const QString& url) const;
    bool getUpdateAvailable(const QString& url) const;
    bool getDownloaderEnabled(const QString& url) const;
    bool usesCustomInstallProcedures(const QString& url) const;
    QString getOpenUrl(const QString& url) const;
    QString getChangelog(const QString& url) const;
    QString getModuleName(const QString& url) const;
    QString getDownloadUrl(const QString& url) const;
    QString getPlatformKey(const QString& url) const;
    QString getLatestVersion(const QString& url) const;
    QString getModuleVersion(const QString& url) const;
    QString getUserAgentString(const QString& url) const;

signals:
    void checkingFinished(const QString& url);
    void appcastDownloaded(const QString& url, const QByteArray& data);
    void downloadFinished(const QString& url, const QString& filepath);

public slots:
    void checkForUpdates(const QString& url);
    void setModuleName(const QString& url, const QString& name);
    void setNotifyOnUpdate(const QString& url, bool notify);
    void setNotifyOnFinish(const QString& url, bool notify);
    void setPlatformKey(const QString& url, const QString& platform);
    void setModuleVersion(const QString& url, const QString& version);
    void setDownloaderEnabled(const QString& url, bool enabled);
    void setUserAgentString(const QString& url, const QString& agent);
    void setUseCustomAppcast(const QString& url, bool customAppcast);
    void setUseCustomInstallProcedures(const QString& url, bool custom);
    void setMandatoryUpdate(const QString& url, bool mandatory_update);
    // The window the check's boxes open over.
    void setParentWidget(const QString& url, QWidget* parent);

private:
    QSimpleUpdater() = default;
};

#endif // QSIMPLEUPDATER_H
