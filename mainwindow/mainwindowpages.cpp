// The tab set, what the end of a read-all updates on the pages, and the
// hooks of the pages on single registers. The tabs are told apart by their
// page widgets: indices move whenever a page is inserted or removed.

#include "mainwindow.h"

#include "accesslevel.h"
#include "dashboardpage.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

const int temperatureTabIndex = 2;
const int controlSourceAddress = 208;
const int firstPedalSource = 2;

} // namespace

int MainWindow::pasIndex() const
{
    return ui->tabWidget->indexOf(temperaturePage) >= 0 ? 3 : 2;
}

int MainWindow::dashboardIndex() const
{
    return ui->tabWidget->indexOf(dashboardPage);
}

int MainWindow::devIndex() const
{
    return ui->tabWidget->indexOf(devPage);
}

bool MainWindow::isDashboardShown() const
{
    return dashboardPage && ui->tabWidget->currentWidget() == dashboardPage;
}

void MainWindow::tabChanged(int index)
{
    QWidget* page = ui->tabWidget->widget(index);
    // Removing or inserting a tab in front of the current one reports a new
    // index for the same page: that is no change of page.
    if (page && page == dashboardPage) {
        if (!dashboard->isActive())
            dashboard->enterDashboard();
    } else {
        dashboard->leaveDashboard();
    }
    if (page && page == devPage)
        ui->replyText->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
}

// The Temperature page is a tab for the controller types that need it, and
// in factory mode.
void MainWindow::updateTemperatureTabVisibility()
{
    const int index = ui->tabWidget->indexOf(temperaturePage);
    if (model->needsTemperatureTab()) {
        if (index < 0)
            insertTemperatureTab();
    } else if (!ui->factory_Mode->isChecked() && index > 0) {
        removeTemperatureTab();
    }
}

// The page is told apart by its widget: the tabs in front of it come and go.
void MainWindow::togglePASTab(bool show)
{
    const int index = ui->tabWidget->indexOf(pasPage);
    if (index < 1 && show) {
        ui->show_pas_tab->setChecked(true);
        ui->tabWidget->insertTab(pasIndex(), pasPage, pasTabTitle);
        resizeEvent(nullptr);
        resizeEvent(nullptr);
    } else if (index > 0 && !show) {
        ui->show_pas_tab->setChecked(false);
        ui->tabWidget->removeTab(index);
        // The status text may have room beside the tabs again.
        resizeEvent(nullptr);
        resizeEvent(nullptr);
    }
}

void MainWindow::updatePASTabVisibility()
{
    togglePASTab(ui->show_pas_tab->isChecked());
}

// A pedal source brings the page; nothing takes it away again.
void MainWindow::autoPASTabVisibility()
{
    if (model->getParameter(controlSourceAddress)->getRegisterValue() >= firstPedalSource
        && !ui->show_pas_tab->isChecked())
        togglePASTab(true);
}

void MainWindow::insertTemperatureTab()
{
    ui->tabWidget->insertTab(temperatureTabIndex, temperaturePage, temperatureTabTitle);
    resizeEvent(nullptr);
    resizeEvent(nullptr);
}

void MainWindow::removeTemperatureTab()
{
    ui->tabWidget->removeTab(ui->tabWidget->indexOf(temperaturePage));
    resizeEvent(nullptr);
    resizeEvent(nullptr);
}

void MainWindow::wireReadCompletion()
{
    connect(com, &KelvaraCom::readAllComplete, this, &MainWindow::onReadAllComplete);
}

// The first successful read-all of a connection ends the Dashboard's own
// requests for one. The first one whose blocks all answered at once keeps
// this controller's values for Restore: one that went silent on the way may
// hold the values of two controllers. After a failed one the Dashboard asks
// for no more until the controller connects again; the failure is told
// once, on the Dashboard too.
void MainWindow::onReadAllComplete()
{
    const bool succeeded = com->getStatus() == KelvaraCom::StatusSuccess && model->isValid();
    if (connected && succeeded) {
        firstReadDone = true;
        readAllFailed = false;
        if (!model->areFirstReadValuesSaved() && com->wasLastReadAllClean())
            model->saveFirstReadValues();
        setRestoreButtonsEnabled();
    } else if (connected && !readAllFailed) {
        readAllFailed = true;
        tellReadFailure = true;
    }
    accessLevel->disable_level_3_checkbox();
    dashboard->updateDashboardUI();
    updateTemperatureTabVisibility();
    endControllerRead(succeeded);
}

void MainWindow::connectPageHooks()
{
    Parameter* firmware = model->getParameter(256);
    connect(firmware, &Parameter::valueSet, accessLevel, &AccessLevel::disableAccessLevelFrame);
    connect(firmware, &Parameter::valueSet, accessLevel, &AccessLevel::disablePlugBrakingCheckbox);
    connect(model->getParameter(controlSourceAddress), &Parameter::displayChanged, this,
            &MainWindow::autoPASTabVisibility);
}
