// The check for a newer version of the suite (File menu, "Check For
// Updates"): the version file on the maker's server, the boxes that tell
// the outcome, and the browser for a newer version.

#include "mainwindow.h"

#include "makerserver.h"
#include "qsimpleupdater.h"
#include "ui_mainwindow.h"

#include <QRegularExpression>

namespace {

// "v1.8.0": the version of the build.
const char* const programVersion = KELVARA_VERSION;
const char* const versionFilePath = "/downloads/KELVARA/Kelvara_Versions.json";

// A release version reads like "v1.8.0" and is no alpha or beta.
bool isReleaseVersion(const QString& version)
{
    static const QRegularExpression release(QStringLiteral("[v]\\d\\.\\d\\.\\d"));
    return release.match(version).hasMatch() && !version.contains(QLatin1Char('a'))
        && !version.contains(QLatin1Char('b'));
}

} // namespace

// Only a release build offers the check.
void MainWindow::wireUpdateCheck()
{
    if (!isReleaseVersion(QString::fromLatin1(programVersion))) {
        ui->checkForUpdates->setEnabled(false);
        return;
    }
    updater = QSimpleUpdater::getInstance();
    connect(ui->checkForUpdates, &QAction::triggered, this, &MainWindow::CheckForUpdates);
}

// Says what was found, also when nothing newer is out or the check
// failed; a newer version opens in the browser on request.
void MainWindow::CheckForUpdates()
{
    if (!updater)
        return;
    static const QString url = MakerServer::url(QString::fromLatin1(versionFilePath));
    const QString version = QString::fromLatin1(programVersion).remove(QLatin1Char('v'));
    updater->setModuleVersion(url, version);
    updater->setNotifyOnFinish(url, true);
    updater->setNotifyOnUpdate(url, true);
    updater->setUseCustomAppcast(url, false);
    updater->setDownloaderEnabled(url, false);
    updater->setMandatoryUpdate(url, false);
    updater->setUseCustomInstallProcedures(url, true);
    updater->setParentWidget(url, this);
    updater->checkForUpdates(url);
}
