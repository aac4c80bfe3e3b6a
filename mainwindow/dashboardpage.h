#ifndef DASHBOARDPAGE_H
#define DASHBOARDPAGE_H

#include <QFont>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

class DashboardPlot;
class DraggableTooltipManager;
class HallTable;
class Kelvara;
class KelvaraCom;
class Parameter;
class QTimer;
class QWidget;
class Ui_MainWindow;

// The Dashboard page: its rows refreshed from the model every 350 ms while
// the page is shown, the live status block polled from the controller and
// plotted on each tick of the plot's own 350 ms timer, the hall and signal
// lamps, the analog inputs named after what drives them, and the menu
// actions the page switches off. The window tells it when the page is
// entered or left and whether a controller is connected.
class DashboardPage : public QObject
{
    Q_OBJECT

public:
    using RowKey = QPair<int, int>;
    using RowMap = QMap<RowKey, QWidget*>;

    // The plot and the rest given are not owned; the rows' numbers are
    // shown in monoFont.
    DashboardPage(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, DashboardPlot* dashboardPlot,
                  DraggableTooltipManager* tooltipManager, const QFont& monoFont, QObject* parent);

    // Prepares the page's rows once.
    void connectDashboardParameters(const RowMap& rows);
    // The hall table, made once the initial values are in; not owned.
    void setHallTable(HallTable* table);

    void setConnected(bool isConnected);
    bool isActive() const { return dashboardActive; }
    void enterDashboard();
    void leaveDashboard();
    // Stops or starts the rows' refresh and the plot's polls.
    void setRefreshing(bool on);

    // Autotune and the exports need a controller's values and stay off
    // while the page polls.
    void updateConnectedActions();
    void setControllerActionsEnabled(bool usable);

    // True when graphing stopped by a disconnection may go on.
    bool plotInterrupted() const;
    // True when graphing was running as the controller went away.
    bool plotStoppedByDisconnect();

signals:
    // A tick that polls the controller: the window reads all of it unless
    // that is done for this connection, or failed.
    void firstReadWanted();

public slots:
    void updateDashboardUI();
    void readDashboardValues();
    void updateDashboardLed(QWidget* row);
    void updateDashboardSpinbox(QWidget* row);
    void updateDashboardLCD(QWidget* row);
    void onGraphStartStopClicked();
    void setStartStopText(const QString& text);

private:
    void prepareDashboardChooser(QWidget* row, int address);
    void prepareDashboardNumber(QWidget* row, Parameter* parameter);
    void relabelAnalogRow(QWidget* row, const QString& defaultName, const QString& throttleSource,
                          const QString& brakeSource);

    // The calls into the live plot and the hall table.
    void connectPlotButtons();
    void connectPlotTick(bool connectTick);
    void samplePlot();
    bool resumePlotOnEnter();
    bool pausePlotOnLeave();
    void togglePlotGraphing();
    void setPlotSampling(bool sampling);
    void plotRowChooserChanged(QWidget* row);
    void rebuildHallTable();
    void selectHallColumn();

    Ui_MainWindow* ui;
    Kelvara* model;
    KelvaraCom* com;
    DashboardPlot* dashboardPlot;
    DraggableTooltipManager* tooltipManager;
    HallTable* hallTable = nullptr;
    QFont monoFont;
    RowMap dashboardWidgets;
    QTimer* dashboardRefreshTimer = nullptr;
    bool connected = false;
    bool dashboardActive = false;
    // The status block has been read since the last sample.
    bool statusBlockRead = false;
};

#endif // DASHBOARDPAGE_H
