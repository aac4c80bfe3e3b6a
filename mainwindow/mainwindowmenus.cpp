// The window's menus and page buttons: read, restore, factory mode, the
// firmware views, and the launchers of the windows the suite opens.

#include "mainwindow.h"

#include "commtimeoutadjust.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "ui_mainwindow.h"
#include "xmltranslator.h"

#include <QDebug>
#include <QInputDialog>
#include <QSettings>

namespace {

const char* const factoryPassword = "quietlamp";

} // namespace

void MainWindow::wireMenuActions()
{
    ui->menuFWVersion->menuAction()->setVisible(false);

    connect(ui->editParameter, &QAction::triggered, this, &MainWindow::launchCustomParameterEdit);
    connect(ui->importXML, &QAction::triggered, xml, [this] { xml->importFromXML(); });
    connect(ui->importDefaultXML, &QAction::triggered, this, &MainWindow::launchDefaultChecker);
    connect(ui->advanced_Import, &QAction::triggered, xml, &XMLTranslator::advanced_importFromXML);
    connect(ui->factory_Mode, &QAction::triggered, this,
            &MainWindow::launchFactoryModePasswordPrompt);
    connect(ui->exportXML, &QAction::triggered, xml, &XMLTranslator::exportToXML);
    connect(ui->advanced_Export, &QAction::triggered, xml, &XMLTranslator::technican_exportToXML);
    connect(xml, &XMLTranslator::dialogOpened, this, &MainWindow::fileDialogOpened);
    connect(ui->fw_v59xx, &QAction::triggered, this, &MainWindow::switchToFWVersion5View);
    connect(ui->fw_v60xx, &QAction::triggered, this, &MainWindow::switchToFWVersion6View);
    connect(ui->actionPreferences, &QAction::triggered, this, &MainWindow::launchCommSpeedAdjust);
    connect(ui->exit, &QAction::triggered, this, &QWidget::close);
    wireUpdateCheck();
    connect(ui->autotuneAction, &QAction::triggered, this, &MainWindow::launchAutotune);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::showAboutProgramWindow);
    connect(ui->actionHelp, &QAction::triggered, this, &MainWindow::showHelpWindow);

    connect(ui->show_pas_tab, &QAction::triggered, this, &MainWindow::updatePASTabVisibility);

    QAction* driverCheck = ui->menuHelp->addAction(tr("&Check comm driver"));
    connect(driverCheck, &QAction::triggered, this, &MainWindow::checkDriverMac);
}

// A value the window said stays marked that the controller turns out not
// to hold is told once the reads are over (endControllerRead()).
void MainWindow::onReadAllClicked()
{
    controllerRead.begin(ControllerRead::Read);
    com->readAll();
    com->readAll();
}

void MainWindow::onRestoreClicked()
{
    model->restoreFirstReadValues();
}

void MainWindow::fileDialogOpened(bool open)
{
    com->ignoreConnectionFails(open);
}

void MainWindow::setToDefaults()
{
    xml->importFromXML(QStringLiteral("resources/default.xml"));
    com->writeAll();
}

void MainWindow::switchToFWVersion5View()
{
    if (ui->fw_v60xx->isChecked()) {
        ui->fw_v60xx->setChecked(false);
        qDebug() << "Switch to FW v5.9XX view";
    }
    ui->fw_v59xx->setChecked(true);
}

void MainWindow::switchToFWVersion6View()
{
    if (ui->fw_v59xx->isChecked()) {
        ui->fw_v59xx->setChecked(false);
        qDebug() << "Switch to FW v6.0XX view";
    }
    ui->fw_v60xx->setChecked(true);
}

void MainWindow::setFWVersionView(int firmware)
{
    if (firmware > 5999)
        switchToFWVersion6View();
    else
        switchToFWVersion5View();
}

void MainWindow::launchFactoryModePasswordPrompt()
{
    const bool switchOn = ui->factory_Mode->isChecked();
    ui->factory_Mode->setChecked(false);

    QString entered;
    if (switchOn)
        entered = QInputDialog::getText(this, tr("Password Required"), tr("Password:"),
                                        QLineEdit::Password, QString());

    if (entered == QLatin1String(factoryPassword)) {
        ui->factory_Mode->setChecked(true);
        settings->setValue(QStringLiteral("factoryMode"), true);
        if (ui->tabWidget->indexOf(temperaturePage) < 0)
            insertTemperatureTab();
        return;
    }

    settings->setValue(QStringLiteral("factoryMode"), false);
    if (ui->tabWidget->indexOf(temperaturePage) == 2 && connected && !model->needsTemperatureTab())
        removeTemperatureTab();
}

// The windows below come with the preferences and update libraries; their
// launchers are connected already.

// A fresh dialog each time, so it shows the link's current values; it is
// application-modal, returns at once and deletes itself when closed.
void MainWindow::launchCommSpeedAdjust()
{
    auto* dialog = new CommTimeoutAdjust(com, model, portListener, settings, nullptr);
    fitDialogHeight(dialog);
    dialog->show();
}
