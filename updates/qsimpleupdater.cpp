#include "qsimpleupdater.h"

#include "updater.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>

namespace {

// The registry: every version-file address asked for, in order of first
// use, and its Updater at the same index.
QStringList urls;
QList<Updater*> updaters;

QSimpleUpdater* instance = nullptr;

// Runs while the application object still exists, so the updaters'
// windows go before it.
void destroyInstance()
{
    delete instance;
    instance = nullptr;
}

} // namespace

QSimpleUpdater* QSimpleUpdater::getInstance()
{
    if (!instance) {
        instance = new QSimpleUpdater;
        qAddPostRoutine(destroyInstance);
    }
    return instance;
}

// Nothing runs the event loop after this, so the updaters go at once.
QSimpleUpdater::~QSimpleUpdater()
{
    urls.clear();
    qDeleteAll(updaters);
    updaters.clear();
}

Updater* QSimpleUpdater::getUpdater(const QString& url) const
{
    const int index = urls.indexOf(url);
    if (index >= 0)
        return updaters.at(index);

    auto* updater = new Updater;
    updater->setUrl(url);
    urls.append(url);
    updaters.append(updater);
    auto* front = const_cast<QSimpleUpdater*>(this);
    connect(updater, &Updater::checkingFinished, front, &QSimpleUpdater::checkingFinished);
    connect(updater, &Updater::downloadFinished, front, &QSimpleUpdater::downloadFinished);
    connect(updater, &Updater::appcastDownloaded, front, &QSimpleUpdater::appcastDownloaded);
    return updater;
}

bool QSimpleUpdater::usesCustomAppcast(const QString& url) const
{
    return getUpdater(url)->customAppcast();
}
bool QSimpleUpdater::getNotifyOnUpdate(const QString& url) const
{
    return getUpdater(url)->notifyOnUpdate();
}
bool QSimpleUpdater::getNotifyOnFinish(const QString& url) const
{
    return getUpdater(url)->notifyOnFinish();
}
bool QSimpleUpdater::getUpdateAvailable(const QString& url) const
{
    return getUpdater(url)->updateAvailable();
}
bool QSimpleUpdater::getDownloaderEnabled(const QString& url) const
{
    return getUpdater(url)->downloaderEnabled();
}
bool QSimpleUpdater::usesCustomInstallProcedures(const QString& url) const
{
    return getUpdater(url)->useCustomInstallProcedures();
}
QString QSimpleUpdater::getOpenUrl(const QString& url) const
{
    return getUpdater(url)->openUrl();
}
QString QSimpleUpdater::getChangelog(const QString& url) const
{
    return getUpdater(url)->changelog();
}
QString QSimpleUpdater::getModuleName(const QString& url) const
{
    return getUpdater(url)->moduleName();
}
QString QSimpleUpdater::getDownloadUrl(const QString& url) const
{
    return getUpdater(url)->downloadUrl();
}
QString QSimpleUpdater::getPlatformKey(const QString& url) const
{
    return getUpdater(url)->platformKey();
}
QString QSimpleUpdater::getLatestVersion(const QString& url) const
{
    return getUpdater(url)->latestVersion();
}
QString QSimpleUpdater::getModuleVersion(const QString& url) const
{
    return getUpdater(url)->moduleVersion();
}
QString QSimpleUpdater::getUserAgentString(const QString& url) const
{
    return getUpdater(url)->userAgentString();
}

void QSimpleUpdater::checkForUpdates(const QString& url)
{
    getUpdater(url)->checkForUpdates();
}
void QSimpleUpdater::setModuleName(const QString& url, const QString& name)
{
    getUpdater(url)->setModuleName(name);
}
void QSimpleUpdater::setNotifyOnUpdate(const QString& url, bool notify)
{
    getUpdater(url)->setNotifyOnUpdate(notify);
}
void QSimpleUpdater::setNotifyOnFinish(const QString& url, bool notify)
{
    getUpdater(url)->setNotifyOnFinish(notify);
}
void QSimpleUpdater::setPlatformKey(const QString& url, const QString& platform)
{
    getUpdater(url)->setPlatformKey(platform);
}
void QSimpleUpdater::setModuleVersion(const QString& url, const QString& version)
{
    getUpdater(url)->setModuleVersion(version);
}
void QSimpleUpdater::setDownloaderEnabled(const QString& url, bool enabled)
{
    getUpdater(url)->setDownloaderEnabled(enabled);
}
void QSimpleUpdater::setUserAgentString(const QString& url, const QString& agent)
{
    getUpdater(url)->setUserAgentString(agent);
}
void QSimpleUpdater::setUseCustomAppcast(const QString& url, bool customAppcast)
{
    getUpdater(url)->setUseCustomAppcast(customAppcast);
}
void QSimpleUpdater::setUseCustomInstallProcedures(const QString& url, bool custom)
{
    getUpdater(url)->setUseCustomInstallProcedures(custom);
}
void QSimpleUpdater::setMandatoryUpdate(const QString& url, bool mandatory_update)
{
    getUpdater(url)->setMandatoryUpdate(mandatory_update);
}
void QSimpleUpdater::setParentWidget(const QString& url, QWidget* parent)
{
    getUpdater(url)->setParentWidget(parent);
}
