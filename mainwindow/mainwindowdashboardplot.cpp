// Where the window meets the Dashboard's live plot and hall table. Each
// function is the one place of one call into them.

#include "mainwindow.h"

#include "bitvector.h"
#include "dashboardplot.h"
#include "halltable.h"
#include "kelvara.h"
#include "ui_mainwindow.h"

namespace {

const int digitalInputsAddress = 276;

} // namespace

// Makes the plot on the form's plot widget and connects its reset and
// export buttons and its start/stop text. A failed export shows the plot's
// own box: the window's error box stays quiet on the Dashboard.
void MainWindow::createDashboardPlot()
{
    // The plot paints all of itself each sample: nothing beneath it needs
    // painting first.
    ui->dashboardPlot->setAttribute(Qt::WA_OpaquePaintEvent);
    dashboardPlot = new DashboardPlot(this, com, model, ui->dashboardPlot);
    connect(ui->clearGraphsButton, &QPushButton::clicked, dashboardPlot,
            &DashboardPlot::clearGraphData);
    connect(ui->dashboardExportPlot, &QPushButton::clicked, dashboardPlot,
            &DashboardPlot::exportDashboardGraphData);
    connect(dashboardPlot, &DashboardPlot::startStopButtonText, this,
            &MainWindow::setStartStopText);
}

void MainWindow::createHallTable()
{
    hallTable = new HallTable(this, ui->hallTableWidget, model);
}

// The plot's sampling timer beats the page's poll while the page is shown.
void MainWindow::connectPlotTick(bool connectTick)
{
    if (connectTick)
        connect(dashboardPlot, &DashboardPlot::timeout, this, &MainWindow::readDashboardValues,
                Qt::UniqueConnection);
    else
        disconnect(dashboardPlot, &DashboardPlot::timeout, this, &MainWindow::readDashboardValues);
}

// One sample of the plotted registers from the model.
void MainWindow::samplePlot()
{
    dashboardPlot->readDashboardValues();
}

// True when graphing stopped by a tab change or a disconnection should go
// on now; starts the plot's sampling.
bool MainWindow::resumePlotOnEnter()
{
    return dashboardPlot->changedToDashboard(connected);
}

// True when graphing was running; stops the plot's sampling.
bool MainWindow::pausePlotOnLeave()
{
    return dashboardPlot->changedFromDashboard();
}

void MainWindow::togglePlotGraphing()
{
    dashboardPlot->onGraphStartStopClicked();
}

void MainWindow::setPlotSampling(bool sampling)
{
    dashboardPlot->enableTimerStart(sampling);
}

// The row's chooser puts its register on the left or right axis, or off.
void MainWindow::plotRowChooserChanged(QWidget* row)
{
    dashboardPlot->dashboardAddRemovePlotParameter(row);
}

bool MainWindow::plotInterrupted() const
{
    return dashboardPlot->getTabchangeOrDisconnect();
}

// True when graphing was running as the controller went away.
bool MainWindow::plotStoppedByDisconnect()
{
    return dashboardPlot->controllerDisconnected();
}

void MainWindow::rebuildHallTable()
{
    if (hallTable)
        hallTable->calculateHallTable();
}

// Selects the column of the current hall state. Definitions that do not
// make the digital inputs a bit register leave the selection alone.
void MainWindow::selectHallColumn()
{
    auto* inputs = dynamic_cast<BitVector*>(model->getParameter(digitalInputsAddress));
    if (hallTable && inputs)
        hallTable->selectHallColumn(inputs);
}
