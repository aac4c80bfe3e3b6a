// The tab set and the page logic of the Dashboard, fault display, access
// level 3, PAS and Temperature pages. The tabs are told apart by their page
// widgets: indices move whenever a page is inserted or removed.

#include "mainwindow.h"

#include "kelvara.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

namespace {

const int temperatureTabIndex = 2;
const int dashboardRefreshInterval = 350;

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
        if (!dashboardActive)
            enterDashboard();
    } else {
        leaveDashboard();
    }
    if (page && page == devPage)
        ui->replyText->moveCursor(QTextCursor::End, QTextCursor::MoveAnchor);
}

void MainWindow::enterDashboard()
{
    dashboardActive = true;
    for (QAction* action : {ui->autotuneAction, ui->exportXML, ui->importXML,
                            ui->advanced_Export, ui->advanced_Import})
        action->setEnabled(false);
    dashboardRefreshTimer->start();
    ui->dashboardExportPlot->setEnabled(true);
}

void MainWindow::leaveDashboard()
{
    dashboardRefreshTimer->stop();
    dashboardActive = false;
    ui->autotuneAction->setEnabled(model->isValid());
    for (QAction* action : {ui->exportXML, ui->importXML, ui->advanced_Export, ui->advanced_Import})
        action->setEnabled(true);
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
}

void MainWindow::connectDashboardParameters()
{
    if (dashboardRefreshTimer)
        return;
    dashboardRefreshTimer = new QTimer(this);
    dashboardRefreshTimer->setObjectName(QStringLiteral("dashboardRefreshTimer"));
    dashboardRefreshTimer->setInterval(dashboardRefreshInterval);
}

// Filled in with the fault display.
void MainWindow::updateFaultStatus(double)
{
}

void MainWindow::connectFaultDisplay()
{
}

// Filled in with access level 3.
void MainWindow::connectAccessLevelBox()
{
}

// Filled in with the PAS page.
void MainWindow::initializePAS_UI()
{
    initializePasDeviceList();
}

// Filled in with the Dashboard page.
void MainWindow::updateDashboardUI()
{
}

// Filled in with the graph editors.
void MainWindow::initDraggableGraphs()
{
}
