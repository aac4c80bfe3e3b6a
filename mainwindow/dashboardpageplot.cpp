// Where the Dashboard page meets its live plot and hall table. Each
// function is the one place of one call into them.

#include "dashboardpage.h"

#include "bitvector.h"
#include "dashboardplot.h"
#include "halltable.h"
#include "kelvara.h"
#include "ui_mainwindow.h"

namespace {

const int digitalInputsAddress = 276;

} // namespace

// The reset and export buttons and the start/stop text. A failed export
// shows the plot's own box: the window's error box stays quiet on the
// Dashboard.
void DashboardPage::connectPlotButtons()
{
    connect(ui->clearGraphsButton, &QPushButton::clicked, dashboardPlot,
            &DashboardPlot::clearGraphData);
    connect(ui->dashboardExportPlot, &QPushButton::clicked, dashboardPlot,
            &DashboardPlot::exportDashboardGraphData);
    connect(dashboardPlot, &DashboardPlot::startStopButtonText, this,
            &DashboardPage::setStartStopText);
}

void DashboardPage::setHallTable(HallTable* table)
{
    hallTable = table;
}

// The plot's sampling timer beats the page's poll while the page is shown.
void DashboardPage::connectPlotTick(bool connectTick)
{
    if (connectTick)
        connect(dashboardPlot, &DashboardPlot::timeout, this, &DashboardPage::readDashboardValues,
                Qt::UniqueConnection);
    else
        disconnect(dashboardPlot, &DashboardPlot::timeout, this,
                   &DashboardPage::readDashboardValues);
}

// One sample of the plotted registers from the model.
void DashboardPage::samplePlot()
{
    dashboardPlot->readDashboardValues();
}

// True when graphing stopped by a tab change or a disconnection should go
// on now; starts the plot's sampling.
bool DashboardPage::resumePlotOnEnter()
{
    return dashboardPlot->changedToDashboard(connected);
}

// True when graphing was running; stops the plot's sampling.
bool DashboardPage::pausePlotOnLeave()
{
    return dashboardPlot->changedFromDashboard();
}

void DashboardPage::togglePlotGraphing()
{
    dashboardPlot->onGraphStartStopClicked();
}

void DashboardPage::setPlotSampling(bool sampling)
{
    dashboardPlot->enableTimerStart(sampling);
}

// The row's chooser puts its register on the left or right axis, or off.
void DashboardPage::plotRowChooserChanged(QWidget* row)
{
    dashboardPlot->dashboardAddRemovePlotParameter(row);
}

bool DashboardPage::plotInterrupted() const
{
    return dashboardPlot->getTabchangeOrDisconnect();
}

// True when graphing was running as the controller went away.
bool DashboardPage::plotStoppedByDisconnect()
{
    return dashboardPlot->controllerDisconnected();
}

void DashboardPage::rebuildHallTable()
{
    if (hallTable)
        hallTable->calculateHallTable();
}

// Selects the column of the current hall state. Definitions that do not
// make the digital inputs a bit register leave the selection alone.
void DashboardPage::selectHallColumn()
{
    auto* inputs = dynamic_cast<BitVector*>(model->getParameter(digitalInputsAddress));
    if (hallTable && inputs)
        hallTable->selectHallColumn(inputs);
}
