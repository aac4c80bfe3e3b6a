#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "controllerreadreport.h"
#include "elidedlabel.h"
#include "serialportentry.h"

#include <QFont>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPair>
#include <QPointer>
#include <QString>

#include <memory>

class AccessLevel;
class CommandRunner;
class CustomParameterEdit;
class DashboardPage;
class DevScreen;
class DraggableTooltipManager;
class Kelvara;
class KelvaraCom;
class Parameter;
class QCommandLineParser;
class QComboBox;
class QColor;
class QFrame;
class QGraphicsEllipseItem;
class QLabel;
class ListMessageBox;
class QResizeEvent;
class QSettings;
class QSimpleUpdater;
class QTimer;
class PasDeviceLoader;
class PasPage;
class SerialPortListener;
class SpinBoxWrapper;
class TemperaturePage;
class UrlOpener;
class ValueNotices;
class XMLTranslator;
class Ui_MainWindow;

// The suite's one window. It owns the device model, the link to the
// controller, the port watcher and the parameter-file translator, binds the
// form's parameter rows to the model, keeps the user told about the link,
// and runs the windowless command-line read or write.
//
// The class is split by concern over several sources: construction and
// launchers, connection status and port selection, row binding, the tab set
// and the fault display. The logic of the Temperature, PAS, Dashboard and
// Dev Screen pages, access level 3 and the windowless run are objects of
// their own that the window makes and tells what they share with it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using RowKey = QPair<int, int>;
    using RowMap = QMap<RowKey, QWidget*>;

    // When the port drop-down is first filled: while the window is built,
    // or once it has painted itself for the first time, so that the scan
    // (a walk through the system's devices) does not hold up its first
    // sight.
    enum class FirstPortScan { Immediate, AfterFirstPaint };

    explicit MainWindow(QWidget* parent = nullptr,
                        FirstPortScan firstScan = FirstPortScan::Immediate);
    ~MainWindow() override;

    // Prepares and starts one read or write from the command line; 0 when
    // it was started, -1 after an error line.
    int windowlessRun(QCommandLineParser* parser);
    // Ends the event loop with the given code, also when called before the
    // loop runs.
    void exitWith(int code);

    void initDraggableGraphs();

    Kelvara* deviceModel() const { return model; }
    KelvaraCom* link() const { return com; }

    // The driver check runs system commands and opens installer packages
    // through these; the defaults suit the system the suite runs on.
    void setCommandRunner(std::unique_ptr<CommandRunner> runner);
    void setUrlOpener(std::unique_ptr<UrlOpener> opener);

    // Tab positions, worked out from the pages themselves so that adding or
    // removing a tab can never leave them out of step.
    int pasIndex() const;
    int dashboardIndex() const;
    int devIndex() const;

public slots:
    void initControllerConnectionMonitor();
    void emitResizeEvent();

    // Read, save and restore.
    void onReadAllClicked();
    void onRestoreClicked();

    // Windows of their own.
    void launchDefaultChecker();
    void launchAutotune();
    void launchCustomParameterEdit();
    void cpel_closed();
    void launchCommSpeedAdjust();
    void showAboutProgramWindow();
    void showHelpWindow();
    void on_list_unsaved_clicked();
    void CheckForUpdates();

    // Menus.
    void switchToFWVersion5View();
    void switchToFWVersion6View();
    void setFWVersionView(int firmware);
    void setToDefaults();
    void launchFactoryModePasswordPrompt();
    void fileDialogOpened(bool open);

    // Connection status and port selection.
    void controllerConnected();
    void controllerDisconnected();
    void updateReplyStatus();
    void format_baud_label(bool standard);
    void errorPopup(const QString& header, const QString& message);
    void comConnectError(int errCode, const QString& errMsg);
    void motorRunningError();
    void linkFailed(const QString& title);
    void onDevicesConnected(const QList<SerialPortEntry>& ports);
    void onDevicesDisconnected(const QList<SerialPortEntry>& ports);

    // Row binding and unsaved markers.
    void updateEnumDisplay(QWidget* row);
    void updateEnumParameter(QWidget* row);
    void updateBitDisplay(QWidget* row);
    void updateBitParameter(QWidget* row);
    void markModifiedParameter(int addr, int bit, bool original);
    void runnerValid(bool valid);
    void currentBWChanged();
    void on_ratedSystemVoltageCheckBox_stateChanged(int arg1);
    void on_checkBox_stateChanged(int arg1);
    void allParamsSaved();
    void reconnectAllParameters();

    // The Dev Screen's console.
    void setDevReplyText(const QString& replyText);

    // Tabs.
    void tabChanged(int index);
    void updateTemperatureTabVisibility();
    void togglePASTab(bool show);
    void updatePASTabVisibility();
    void autoPASTabVisibility();

    // Fault display.
    void updateFaultStatus(double value = 0.0);
    void onclearFaults_clicked();

    // USB-serial driver check.
    void macSlowFaultRead(int elapsedMs);
    void checkDriverMac();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    // Construction steps.
    void scaleFixedSizesForScreen();
    void createControlsAboveTabs();
    void styleControlsAboveTabs();
    int tabsWidth() const;
    static void fitDialogHeight(QWidget* dialog);
    void createModelAndLink();
    void createValueNotices();
    void fillPortsFirstTime();
    void deleteOwnedObjects();
    void wirePageButtons();
    void wireMenuActions();
    void wireUpdateCheck();
    void applySettings();
    void collectRows();
    void bindRows();
    QString portToolTip() const;
    void createEditorWindows();

    // Connection status.
    QString connectedText() const;
    void showReplyStatus(bool retrying);
    void showLinkFailure(const QString& header, const QString& message);
    void errorPopupHelper(const QString& title, const QString& text);
    void showErrorBox(const QString& title, const QString& text);
    // Why the window reads the whole controller on its own account.
    using ControllerRead = ControllerReadReport::Reason;
    void readControllerAgain(ControllerRead why);
    void completeFirstRead();
    void endControllerRead(bool succeeded);
    void saveToFlashCutShort();
    void addPortToDropdown(const SerialPortEntry& port);
    void removePortFromDropdown(const SerialPortEntry& port);
    void fitPortBox();
    void onPortSelected(int index);

    // Row binding.
    void fillTabWithBitAwareSettings(const QList<QFrame*>& frames, RowMap* rows);
    void connectParameters(RowMap& rows);
    void connectParameter(QWidget* row, Parameter* parameter);
    void connectSpinBox(QWidget* row, Parameter* parameter);
    void connectComboBox(QWidget* row, Parameter* parameter);
    void connectCheckBox(QWidget* row, Parameter* parameter);
    void connectDisplayedParameters();
    void connectAdvancedParameters();
    void connectPedalAssistParameters();
    void connectTemperatureParameters();
    void setLabel(QWidget* row, int address, bool modified);
    void showRowHeading(QWidget* row);
    QString getParamName(Parameter* parameter, const QWidget* row) const;
    void controllerConnectHelper(bool isConnected, bool safeToAutotune, bool updateFaults);
    void enableWidgets(const QList<int>& addresses, RowMap* rows);
    void disableWidgets(const QList<int>& addresses, RowMap* rows);
    void showWidgets(const QList<int>& addresses, RowMap* rows);
    void hideWidgets(const QList<int>& addresses, RowMap* rows);
    void setRestoreButtonsEnabled();

    // Tabs, and what the end of a read-all updates on them.
    bool isDashboardShown() const;
    void insertTemperatureTab();
    void removeTemperatureTab();
    void wireReadCompletion();
    void onReadAllComplete();
    void connectPageHooks();

    // Fault display.
    void connectFaultDisplay();
    void setFaultLamps(const QColor& color);
    void listFaultBits(int address, const QString& prefix);

    // Dashboard: the live plot and hall table, and the page that drives them.
    void createDashboardPlot();
    void createHallTable();

    // PAS Setup.
    void initializePasDeviceList();
    void createSpinBoxWrappers();

    // USB-serial driver check.
    void checkDriverMacHelper(bool userRequested);
    void installDriver();
    void openDriverPackage(int choice);

    Ui_MainWindow* ui = nullptr;
    QSettings* settings = nullptr;

    QComboBox* portBox = nullptr;
    QLabel* portLabel = nullptr;
    ElidedLabel* statusLabel = nullptr;
    QLabel* logoLabel = nullptr;

    Kelvara* model = nullptr;
    KelvaraCom* com = nullptr;
    SerialPortListener* portListener = nullptr;
    bool portScanAfterPaint = false;
    XMLTranslator* xml = nullptr;
    DraggableTooltipManager* tooltipManager = nullptr;
    CustomParameterEdit* customEdit = nullptr;
    PasDeviceLoader* pasDeviceLoader = nullptr;
    QTimer* monitorTimer = nullptr;
    TemperaturePage* temperature = nullptr;
    DevScreen* devScreen = nullptr;
    AccessLevel* accessLevel = nullptr;
    PasPage* pas = nullptr;
    DashboardPage* dashboard = nullptr;
    ValueNotices* valueNotices = nullptr;
    // The update check; release builds only.
    QSimpleUpdater* updater = nullptr;
    QGraphicsEllipseItem* faultLed = nullptr;
    QGraphicsEllipseItem* dashboardFaultLed = nullptr;
    QList<SpinBoxWrapper*> spinBoxWrappers;
    std::unique_ptr<CommandRunner> commandRunner;
    std::unique_ptr<UrlOpener> urlOpener;

    RowMap basicWidgets;
    RowMap advancedWidgets;
    RowMap dashboardWidgets;
    RowMap pedalAssistWidgets;
    RowMap temperatureWidgets;

    QWidget* temperaturePage = nullptr;
    QWidget* pasPage = nullptr;
    QWidget* dashboardPage = nullptr;
    QWidget* devPage = nullptr;
    QString temperatureTabTitle;
    QString pasTabTitle;
    bool pasTabShown = false;

    bool windowless = false;
    bool connected = false;
    bool baudAlert = false;
    bool firstReadDone = false;
    // A read-all of this connection failed and none has succeeded since.
    bool readAllFailed = false;
    // The report of that failure is shown on the Dashboard too.
    bool tellReadFailure = false;
    // The window's own reads of a whole controller under way, and what they
    // have done so far.
    ControllerReadReport controllerRead;
    // Failure reports of the link under way, the first lines of those folded
    // into the box of the one they are part of, and the open error box.
    int failureReports = 0;
    // The link refused a write because another controller answers; the
    // failure report that follows starts reading it.
    bool otherControllerAnswers = false;
    QString alsoFailed;
    QPointer<ListMessageBox> errorBox;
    // Boxes raised while one is open: (title, text), in the order they came.
    QList<QPair<QString, QString>> boxesWaiting;
    // The text the save buttons show: marked while anything is unsaved.
    bool saveButtonsTexted = false;
    bool saveButtonsMarked = false;
    QFont monoFont;
};

#endif // MAINWINDOW_H
