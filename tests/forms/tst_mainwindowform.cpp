// The main window's form as its logic sees it: the parameter rows of every
// page found the way the window finds them, the widgets it reaches by name,
// actions and menus, the states the builder leaves, the focus chain and a
// sample of the texts users see.

#include "formrows.h"
#include "ui_mainwindow.h"

#include <QTranslator>
#include <QtTest>

using FormRows::Key;

namespace {

struct ExpectedRow
{
    const char* page;
    const char* container;
    int address;
    int bit;
    const char* label;
    const char* labelText;
    const char* kind;
    const char* editor;
};

// Odd names and texts are the form's own: the logic and the users' screens
// depend on them.
const ExpectedRow expectedRows[] = {
    {"displayParameters", "kvWidget", 72, -1, "KvLabel", "Kv", "spin", "KvValue"},
    {"displayParameters", "polePairsWidget", 78, -1, "polePairsLabel", "Number of Pole Pairs", "spin", "polePairsValue"},
    {"displayParameters", "RsWidget", 75, -1, "RsLabel", "Rs", "spin", "RsValue"},
    {"displayParameters", "LsWidget", 74, -1, "LsLabel", "Ls", "spin", "LsValue"},
    {"displayParameters", "motorPositionSensor", 77, -1, "label_55", "Motor Position Sensor Type", "combo", "comboBox"},
    {"displayParameters", "faultTolerantHall", 127, 1, "label_faultTolerantHall", "Fault Tolerant Hall", "check", "FaultTolerantHallBox"},
    {"displayParameters", "ratedMotorPowerWidget", 73, -1, "ratedMotorPowerValue", "Max Power Limit", "spin", "ratedMotorPowerLabel"},
    {"displayParameters", "maxMotorPhaseCurr", 71, -1, "label_3", "Max Phase Current", "spin", "doubleSpinBox_6"},
    {"displayParameters", "maxMotorRegenCurr", 154, -1, "label_11", "Max Regen Phase Current", "spin", "doubleSpinBox_7"},
    {"displayParameters", "enablePlugBraking", 174, 3, "label_plugbraking", "Enable Plug Braking", "check", "checkBoxPlugBraking"},
    {"displayParameters", "maxCurrent", 155, -1, "label_27", "Max Current", "spin", "doubleSpinBox_26"},
    {"displayParameters", "maxRegenAmps", 156, -1, "label_26", "Max Regen Battery Current", "spin", "doubleSpinBox_25"},
    {"displayParameters", "maxRegenEnd", 195, -1, "label_10", "Max Regen Voltage (end)", "spin", "doubleSpinBox_5"},
    {"displayParameters", "maxRegenStart", 194, -1, "label_9", "Max Regen Voltage (start)", "spin", "doubleSpinBox_4"},
    {"displayParameters", "lowVoltCutStartWidget", 141, -1, "label_28", "Low Voltage Cutoff (start)", "spin", "lowVoltButStartValue"},
    {"displayParameters", "lowVoltCutEndWidget", 142, -1, "lowVoltVutEndLabel", "Low Voltage Cutoff (end)", "spin", "lowVoltCutEndValue"},
    {"displayParameters", "wheelDiam", 227, -1, "label_34", "Wheel Diameter", "spin", "doubleSpinBox_32"},
    {"displayParameters", "maxSpeed", 229, -1, "label_35", "Vehicle Maximum Speed", "spin", "doubleSpinBox_34"},
    {"displayParameters", "minRegenSpeed", 206, -1, "label_72", "Minimum Regen Speed", "spin", "doubleSpinBox_8"},
    {"displayParameters", "maxReverseSpeed", 230, -1, "label_14", "Maximum Reverse Speed", "spin", "doubleSpinBox_9"},
    {"displayParameters", "wheelSpeedPulsesPerRev", 231, -1, "label_161", "Wheel Speed Sensor Pulses Per Revolution", "spin", "doubleSpinBox_108"},
    {"displayParameters", "currRegBand", 51, -1, "label_6", "Current Regulator Bandwidth", "spin", "doubleSpinBox"},
    {"displayParameters", "currentRegulatorKp", 7, -1, "label_2", "Current Regulator Kp", "spin", "doubleSpinBox_2"},
    {"displayParameters", "currentRegulatorKi", 8, -1, "label_7", "Current Regulator Ki", "spin", "doubleSpinBox_22"},
    {"displayParameters", "widget_24", 52, -1, "label_66", "PLL Bandwidth", "spin", "doubleSpinBox_49"},
    {"displayParameters", "pllDamping", 53, -1, "label_73", "PLL Damping", "spin", "doubleSpinBox_19"},
    {"displayParameters", "torqueUp", 220, -1, "label_30", "Torque Up Ramp", "spin", "doubleSpinBox_30"},
    {"displayParameters", "torqueDown", 221, -1, "label_31", "Torque Down Ramp", "spin", "doubleSpinBox_28"},
    {"displayParameters", "regenTorqueUp", 224, -1, "label_32", "Regen Torque Engage Ramp", "spin", "doubleSpinBox_31"},
    {"displayParameters", "regenTorqueDown", 225, -1, "label_29", "Regen Torque Release Ramp", "spin", "doubleSpinBox_29"},
    {"displayParameters", "horizontalWidget_3", 212, 6, "label_25", "Enable Virtual Freewheeling", "check", "checkBox"},
    {"displayParameters", "horizontalWidget_2", 173, -1, "label_21", "Electronic Freewheeling Current", "spin", "doubleSpinBox_27"},
    {"displayParameters", "horizontalWidget", 63, -1, "label_12", "Motor Stall Timeout", "spin", "doubleSpinBox_33"},
    {"displayParameters", "widget_28", 129, -1, "label_24", "Max Field Weakening Current", "spin", "doubleSpinBox_24"},

    {"advancedParameters", "widget_5", 214, -1, "label_76", "Throttle Start Voltage", "spin", "doubleSpinBox_51"},
    {"advancedParameters", "widget_7", 213, -1, "label_77", "Throttle Max Voltage", "spin", "doubleSpinBox_52"},
    {"advancedParameters", "widget_8", 151, -1, "label_78", "Throttle Deadband Threshold", "spin", "doubleSpinBox_53"},
    {"advancedParameters", "widget_9", 152, -1, "label_82", "Throttle Fault Range", "spin", "doubleSpinBox_57"},
    {"advancedParameters", "widget_10", 216, -1, "label_83", "Brake Start Voltage", "spin", "doubleSpinBox_58"},
    {"advancedParameters", "widget_11", 215, -1, "label_84", "Brake Max Voltage", "spin", "doubleSpinBox_59"},
    {"advancedParameters", "fastUnderVoltage", 148, -1, "label_19", "Fast under voltage fault", "spin", "doubleSpinBox_14"},
    {"advancedParameters", "slowUnderVoltage", 150, -1, "label_44", "Slow under voltage fault", "spin", "doubleSpinBox_21"},
    {"advancedParameters", "fastOverVoltage", 147, -1, "label_16", "Fast over voltage fault", "spin", "doubleSpinBox_11"},
    {"advancedParameters", "slowOverVoltage", 149, -1, "label_43", "Slow over voltage fault", "spin", "doubleSpinBox_20"},
    {"advancedParameters", "ratedSystemVoltage", 70, -1, "label_8", "(Rated system voltage)", "spin", "doubleSpinBox_3"},
    {"advancedParameters", "highLowside", 48, -1, "label_50", "High/Lowside Turn On Voltage Test Window", "spin", "doubleSpinBox_40"},
    {"advancedParameters", "openCircuitVoltageTestWindow", 47, -1, "label_51", "Open Circuit Voltage Test Window", "spin", "doubleSpinBox_41"},
    {"advancedParameters", "horizontalWidget_4", 110, -1, "label_79", "Alignment Hold TIme", "spin", "doubleSpinBox_54"},
    {"advancedParameters", "horizontalWidget_5", 106, -1, "label_74", "Autostart Injection Current", "spin", "doubleSpinBox_23"},
    {"advancedParameters", "horizontalWidget_6", 109, -1, "label_80", "Autostart Spinup Time", "spin", "doubleSpinBox_55"},
    {"advancedParameters", "horizontalWidget_7", 108, -1, "label_81", "Autostart Max RPM", "spin", "doubleSpinBox_56"},
    {"advancedParameters", "speedRegulatorKp", 9, -1, "label_48", "Speed Regulator Kp", "spin", "doubleSpinBox_36"},
    {"advancedParameters", "speedRegulatorKi", 10, -1, "label_49", "Speed Regulator Ki", "spin", "doubleSpinBox_37"},

    {"temperatureParameters", "widget_87", 212, 5, "label_151", "Enable Motor Temperature Sensing", "check", "TempSensingBox"},
    {"temperatureParameters", "widget_88", 90, -1, "label_152", "Motor Over Temperature Trip Threshold", "spin", "temperature_trip_threshold"},
    {"temperatureParameters", "widget_89", 91, -1, "label_153", "Motor Foldback Starting Temperature", "spin", "temperature_foldback_start"},
    {"temperatureParameters", "widget_90", 92, -1, "label_97", "Motor Foldback Ending Temperature", "spin", "temperature_foldback_end"},
    {"temperatureParameters", "widget_motortemp", 261, -1, "label_149", "Motor Temperature", "spin", "motor_temperature"},
    {"temperatureParameters", "widget_86", 398, -1, "label_150", "Motor Temperature Sensor Voltage", "spin", "doubleSpinBox_97"},
    {"temperatureParameters", "widget_91", 298, -1, "label_98", "Overload Accumulator", "spin", "doubleSpinBox_100"},
    {"temperatureParameters", "widget_92", 99, -1, "label_101", "Overload Continuous Current", "spin", "doubleSpinBox_101"},
    {"temperatureParameters", "widget_95", 100, -1, "label_154", "Overload Heating Current", "spin", "doubleSpinBox_102"},
    {"temperatureParameters", "widget_96", 101, -1, "label_155", "Overload Heating Time", "spin", "doubleSpinBox_103"},
    {"temperatureParameters", "widget_97", 102, -1, "label_156", "Overload Cooling Current", "spin", "doubleSpinBox_104"},
    {"temperatureParameters", "widget_98", 103, -1, "label_157", "Overload Cooling Time", "spin", "doubleSpinBox_105"},
    {"temperatureParameters", "widget_99", 104, -1, "label_158", "Overload Foldback Start", "spin", "doubleSpinBox_106"},
    {"temperatureParameters", "widget_100", 105, -1, "label_159", "Overload Foldback End", "spin", "doubleSpinBox_107"},
    {"temperatureParameters", "widget_volts_0", 93, -1, "label_volts_0", "NAME", "spin", "volts_0_deg"},
    {"temperatureParameters", "widget_volts_25", 94, -1, "label_volts_25", "NAME", "spin", "volts_25_deg"},
    {"temperatureParameters", "widget_volts_50", 95, -1, "label_volts_50", "NAME", "spin", "volts_50_deg"},
    {"temperatureParameters", "widget_volts_75", 96, -1, "label_volts_75", "NAME", "spin", "volts_75_deg"},
    {"temperatureParameters", "widget_volts_100", 97, -1, "label_volts_100", "NAME", "spin", "volts_100_deg"},
    {"temperatureParameters", "widget_volts_125", 98, -1, "label_volts_125", "NAME", "spin", "volts_125_deg"},

    {"pedalAssistParameters", "torque_pedalgain", 179, -1, "label_torque_pedalgain", "Pedalec Power Gain", "spin", "torque_pedalgain_spinbox"},
    {"pedalAssistParameters", "widget_84", 73, -1, "highAssistPowerTorqueThrottleLabel", "Vehicle Maximum Power (Torque / Throttle)", "spin", "highAssistPowerTorqueThrottleSpinbox"},
    {"pedalAssistParameters", "pas_max_power", 122, -1, "highAssistPowerPASLabel", "Vehicle Maximum Power (PAS)", "spin", "highAssistPowerPASSpinbox"},
    {"pedalAssistParameters", "widget_50", 245, -1, "medAssistPowerLabel", "Medium Assist Power", "spin", "medAssistPowerSpinbox"},
    {"pedalAssistParameters", "widget_49", 219, -1, "lowAssistPowerLabel", "Low Assist Power", "spin", "lowAssistPowerSpinbox"},
    {"pedalAssistParameters", "widget_85", 229, -1, "highAssistSpeedTorqueThrottleLabel", "Vehicle Maximum Speed (Torque / Throttle)", "spin", "highAssistSpeedTorqueThrottleSpinbox"},
    {"pedalAssistParameters", "widget_82", 124, -1, "highAssistSpeedPASLabel", "Vehicle Maximum Speed (PAS)", "spin", "highAssistSpeedPASSpinbox"},
    {"pedalAssistParameters", "widget_52", 246, -1, "medAssistSpeedLabel", "Medium Assist Speed", "spin", "medAssistSpeedSpinbox"},
    {"pedalAssistParameters", "widget_54", 241, -1, "lowAssistSpeedLabel", "Low Assist Speed", "spin", "lowAssistSpeedSpinbox"},
    {"pedalAssistParameters", "widget_63", 208, -1, "label_127", "Control Command Source", "combo", "comboBox_22"},
    {"pedalAssistParameters", "horizontalWidget_22", 230, -1, "label_132", "Walk Mode Speed", "spin", "doubleSpinBox_95"},
    {"pedalAssistParameters", "widget_60", 212, 11, "label_122", "Enable Walk Mode", "check", "checkBox_4"},
    {"pedalAssistParameters", "widget_51", 253, -1, "label_106", "Assist Level Walk", "spin", "doubleSpinBox_74"},
    {"pedalAssistParameters", "widget_55", 205, -1, "label_117", "Rolling Start Speed", "spin", "doubleSpinBox_16"},
    {"pedalAssistParameters", "widget_58", 212, 9, "label_119", "Enable Rolling Start", "check", "checkBox_5"},
    {"pedalAssistParameters", "widget_torquesymmetry", 178, -1, "label_torquesymmetry", "Torque Symmetry", "combo", "comboBox_torquesymmetry"},
    {"pedalAssistParameters", "widget_torque_initial", 180, -1, "label_torque_initial", "Initial Torque", "spin", "doubleSpinBox_torque_initial"},
    {"pedalAssistParameters", "widget_torque_deadband", 181, -1, "label_torque_deadband", "Deadband Torque", "spin", "doubleSpinBox_torque_deadband"},
    {"pedalAssistParameters", "pedal_torque_offset", 182, -1, "label_pedal_torque_offset", "Pedal Torque Sensor Offset", "spin", "doubleSpinBox_torque_offset"},
    {"pedalAssistParameters", "axle_torque_offset", 349, -1, "label_axle_torque_offset", "Axle Torque Sensor Offset", "spin", "doubleSpinBox_axle_torque_offset"},
    {"pedalAssistParameters", "widget_torque_gain", 183, -1, "label_torque_gain", "Torque Sensor Gain", "spin", "doubleSpinBox_torque_gain"},
    {"pedalAssistParameters", "widget_79", 222, -1, "label_146", "Pedalec Positive Motoring Torque Ramp", "spin", "doubleSpinBox_66"},
    {"pedalAssistParameters", "widget_78", 223, -1, "label_145", "Pedalec Negative Motoring Torque Ramp", "spin", "doubleSpinBox_65"},
    {"pedalAssistParameters", "widget_81", 220, -1, "label_148", "Torque Up Ramp", "spin", "doubleSpinBox_68"},
    {"pedalAssistParameters", "widget_80", 221, -1, "label_147", "Torque Down Ramp", "spin", "doubleSpinBox_67"},
    {"pedalAssistParameters", "widget_76", 234, -1, "label_143", "Pedal Speed Sensor Pulses Per Revolution", "spin", "doubleSpinBox_63"},
    {"pedalAssistParameters", "widget_75", 235, -1, "label_142", "Pedal Sense Delay", "spin", "doubleSpinBox_62"},
    {"pedalAssistParameters", "widget_74", 232, -1, "label_141", "Pedalec Minimum Timeout", "spin", "doubleSpinBox_61"},
    {"pedalAssistParameters", "widget_72", 233, -1, "label_139", "Pedalec Maximum Timeout", "spin", "doubleSpinBox_50"},
    {"pedalAssistParameters", "widget_71", 175, -1, "label_138", "Pedal Speed Map Offset", "spin", "doubleSpinBox_47"},
    {"pedalAssistParameters", "widget_70", 176, -1, "label_137", "Pedal Speed Map End", "spin", "doubleSpinBox_46"},
    {"pedalAssistParameters", "widget_73", 228, -1, "label_140", "Assist Cut Out Distance", "spin", "doubleSpinBox_60"},

    {"dashboardParameters", "dashboardBatteryVoltage", 265, -1, "label_18", "Battery Voltage", "spin", "doubleSpinBox_13"},
    {"dashboardParameters", "dashboardBatteryCurrent", 266, -1, "label_17", "Battery Current", "spin", "doubleSpinBox_12"},
    {"dashboardParameters", "dashboardMotorCurrent", 262, -1, "label_41", "Motor Current", "spin", "doubleSpinBox_18"},
    {"dashboardParameters", "widget_22", 259, -1, "label_64", "Controller Temperature", "spin", "doubleSpinBox_48"},
    {"dashboardParameters", "dashboardMotorTemperature", 261, -1, "label_motortemp", "Motor Temperature", "spin", "doubleSpinBox_75"},
    {"dashboardParameters", "widget_41", 276, 3, "label_59", "PAS", "led", "widget_47"},
    {"dashboardParameters", "widget_pas2", 276, 4, "label_pas2", "PAS 2", "led", "widget_pas2_led"},
    {"dashboardParameters", "widget_wheelspeed", 276, 6, "label_wheelspeed_digital", "Wheel Speed Sensor", "led", "widget_wheelspeed_led"},
    {"dashboardParameters", "widget_hall3", 276, 2, "label_hall3", "Blue Hall", "led", "widget_hallLED3"},
    {"dashboardParameters", "widget_hall2", 276, 1, "label_hall2", "Yellow Hall", "led", "widget_hallLED2"},
    {"dashboardParameters", "widget_hall1", 276, 0, "label_hall1", "Green Hall", "led", "widget_hallLED1"},
    {"dashboardParameters", "widget_42", 327, 7, "label_54", "Throttle", "led", "widget_43"},
    {"dashboardParameters", "widget_37", 327, 0, "label_52", "Brake", "led", "widget_38"},
    {"dashboardParameters", "widget_39", 327, 4, "label_53", "Regen", "led", "widget_40"},
    {"dashboardParameters", "widget_6", 327, 8, "label_36", "Reverse", "led", "widget_12"},
    {"dashboardParameters", "dashboardAnalog1Voltage", 270, -1, "label_analog_1", "Throttle Voltage", "spin", "doubleSpinBox_39"},
    {"dashboardParameters", "dashboardThrottleSetpoint", 325, -1, "label_20", "Throttle Setpoint", "spin", "doubleSpinBox_15"},
    {"dashboardParameters", "dashboardAnalog2Voltage", 271, -1, "label_analog_2", "Brake 1 Voltage", "spin", "doubleSpinBox_45"},
    {"dashboardParameters", "dashboardAnalog3Voltage", 272, -1, "label_analog_3", "Brake 2 Voltage", "spin", "doubleSpinBox_17"},
    {"dashboardParameters", "dashboardMotorRPM", 263, -1, "label_39", "Motor RPM", "spin", "doubleSpinBox_38"},
    {"dashboardParameters", "dashboardVehicleSpeed", 260, -1, "label_15", "Vehicle Speed", "spin", "doubleSpinBox_10"},
    {"dashboardParameters", "dashboardVehicleSpeed_2", 331, -1, "label_58", "Pedal Speed", "spin", "doubleSpinBox_35"},
};

// The window's whole keyboard focus chain.
const QStringList focusChain = {
    "tabWidget", "readAll", "saveParamsBasic", "restore", "autotuneWizard", "KvValue", "polePairsValue",
    "RsValue", "LsValue", "comboBox", "FaultTolerantHallBox", "ratedMotorPowerLabel", "doubleSpinBox_6",
    "doubleSpinBox_7", "doubleSpinBox_26", "doubleSpinBox_25", "doubleSpinBox_5", "doubleSpinBox_4",
    "lowVoltButStartValue", "lowVoltCutEndValue", "doubleSpinBox", "doubleSpinBox_49", "doubleSpinBox_30",
    "doubleSpinBox_28", "doubleSpinBox_31", "doubleSpinBox_29", "doubleSpinBox_32", "doubleSpinBox_34",
    "doubleSpinBox_9", "readAllAdvanced", "saveParamsAdvanced", "restoreAdvanced", "doubleSpinBox_20",
    "doubleSpinBox_3", "addressInput", "write", "writeAllDev", "pushButton", "doubleSpinBox_13", "comboBox_7",
    "doubleSpinBox_12", "comboBox_2", "doubleSpinBox_18", "comboBox_5", "doubleSpinBox_48", "comboBox_3",
    "doubleSpinBox_39", "comboBox_11", "doubleSpinBox_15", "comboBox_8", "doubleSpinBox_17", "comboBox_9",
    "doubleSpinBox_38", "comboBox_10", "doubleSpinBox_10", "comboBox_6", "dashboardStartStopButton",
    "clearGraphsButton", "dashboardExportPlot"};

QWidget* rowEditor(const QWidget* row)
{
    if (QWidget* editor = FormRows::rowEditor(row))
        return editor;
    return row->findChild<QLed*>();
}

QString editorKind(const QWidget* editor)
{
    if (qobject_cast<const QDoubleSpinBox*>(editor))
        return "spin";
    if (qobject_cast<const QComboBox*>(editor))
        return "combo";
    if (qobject_cast<const QCheckBox*>(editor))
        return "check";
    return qobject_cast<const QLed*>(editor) ? "led" : "none";
}

// The form's own widgets below the pages, without the inner parts Qt adds
// (viewports, scroll bars, line edits of spin boxes) and the pages.
QStringList formWidgetNames(const QTabWidget* tabs, bool (*pick)(const QWidget*))
{
    QStringList names;
    for (int page = 0; page < tabs->count(); ++page) {
        const auto all = tabs->widget(page)->findChildren<QWidget*>();
        for (const QWidget* widget : all) {
            if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_") && pick(widget))
                names << widget->objectName();
        }
    }
    names.sort();
    return names;
}

QStringList menuEntries(const QMenu* menu)
{
    QStringList entries;
    const auto actions = menu->actions();
    for (const QAction* action : actions)
        entries << (action->isSeparator() ? "---" : action->menu() ? action->menu()->objectName() : action->objectName());
    return entries;
}

// Marks every text it is asked for, so the test sees which texts pass
// through the translation function.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        return QByteArray(context) == "MainWindow" ? "[" + QString::fromUtf8(sourceText) + "]" : QString();
    }
    bool isEmpty() const override { return false; }
};

QStringList warningsDuringBuild;
QtMessageHandler previousHandler = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        warningsDuringBuild << message;
    previousHandler(type, context, message);
}

} // namespace

// Records the calls of the slots the form connects by name.
class SlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    QStringList calls;

public slots:
    void on_checkBox_stateChanged(int state) { calls << QString("checkBox %1").arg(state); }
    void on_list_unsaved_clicked() { calls << "list_unsaved"; }
    void on_ratedSystemVoltageCheckBox_stateChanged(int state) { calls << QString("rated %1").arg(state); }
    void on_TempSensingBox_stateChanged(int state) { calls << QString("sensing %1").arg(state); }
};

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void buildsWithoutWarnings();
    void windowFrame();
    void tabs_data();
    void tabs();
    void actions_data();
    void actions();
    void menus_data();
    void menus();
    void textsPassThroughTranslation();
    void slotsConnectedByNameRunOnlyAfterTheBuild();

    void rows_data();
    void rows();
    void pageRows_data();
    void pageRows();
    void onlyTheTwoProtectedRowsCarryLevel3Access();
    void throttleLampAddressIsSetByTextSetter();
    void namedObjects_data();
    void namedObjects();

    void hiddenAndDisabledWidgets();
    void initialStates();
    void keyboardTracking();
    void texts_data();
    void texts();
    void tooltips_data();
    void tooltips();
    void laidOutRows();
    void focusChainOrder();

private:
    template<typename T = QWidget>
    T* widget(const QString& name) const
    {
        return window->findChild<T*>(name);
    }

    SlotWindow* window = nullptr;
    Ui_MainWindow* ui = nullptr;
};

void TestMainWindowForm::initTestCase()
{
    window = new SlotWindow;
    ui = new Ui_MainWindow;
    previousHandler = qInstallMessageHandler(recordWarnings);
    ui->setupUi(window);
    qInstallMessageHandler(previousHandler);
}

void TestMainWindowForm::cleanupTestCase()
{
    delete ui;
    delete window;
}

void TestMainWindowForm::buildsWithoutWarnings()
{
    QCOMPARE(warningsDuringBuild, QStringList());
}

void TestMainWindowForm::windowFrame()
{
    QCOMPARE(window->windowTitle(), QString("Kelvara Suite"));
    QCOMPARE(window->size(), QSize(1200, 940));
    QCOMPARE(window->maximumHeight(), 1000);
    QCOMPARE(window->font().family(), QString("Liberation Sans"));
    QCOMPARE(window->menuBar(), ui->menuBar);
    QCOMPARE(window->centralWidget(), ui->centralWidget);
    // The main window changes the height of the spacer above the tabs.
    QCOMPARE(ui->layout_aboveTabs->count(), 1);
    QVERIFY(ui->layout_aboveTabs->itemAt(0)->spacerItem());
    QCOMPARE(ui->gridLayout_6->itemAtPosition(1, 0)->widget(), ui->tabWidget);
}

void TestMainWindowForm::tabs_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::newRow("Basic Setup") << 0 << "releaseScreen" << "   Basic Setup   ";
    QTest::newRow("Advanced Setup") << 1 << "advancedScreen" << "Advanced Setup";
    QTest::newRow("Temperature") << 2 << "temperatureScreen" << "Temperature";
    QTest::newRow("PAS Setup") << 3 << "pasScreen" << "PAS Setup";
    QTest::newRow("Dashboard") << 4 << "dashboardScreen" << "Dashboard";
    QTest::newRow("Dev Screen") << 5 << "devScreen" << "Dev Screen";
}

void TestMainWindowForm::tabs()
{
    QFETCH(int, index);
    QCOMPARE(ui->tabWidget->count(), 6);
    QCOMPARE(ui->tabWidget->currentIndex(), 0);
    QTEST(ui->tabWidget->widget(index)->objectName(), "page");
    QTEST(ui->tabWidget->tabText(index), "title");
}

void TestMainWindowForm::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checkable");
    QTest::newRow("importXML") << "importXML" << "Open Parameter File" << false;
    QTest::newRow("editParameter") << "editParameter" << "Edit &Parameters..." << false;
    QTest::newRow("exit") << "exit" << "E&xit" << false;
    QTest::newRow("exportXML") << "exportXML" << "Save Parameter File" << false;
    QTest::newRow("autotuneAction") << "autotuneAction" << "&Autotune Motor..." << false;
    QTest::newRow("actionAbout") << "actionAbout" << "About" << false;
    QTest::newRow("actionHelp") << "actionHelp" << "&Help" << false;
    QTest::newRow("actionPreferences") << "actionPreferences" << "Preferences" << false;
    QTest::newRow("fw_v59xx") << "fw_v59xx" << "5.9XX" << true;
    QTest::newRow("fw_v60xx") << "fw_v60xx" << "6.0XX" << true;
    QTest::newRow("advanced_Export") << "advanced_Export" << "Advanced Export" << false;
    QTest::newRow("advanced_Import") << "advanced_Import" << "Advanced Import" << false;
    QTest::newRow("show_pas_tab") << "show_pas_tab" << "Show PAS Tab" << true;
    QTest::newRow("importDefaultXML") << "importDefaultXML" << "Load Default Parameters" << false;
    QTest::newRow("factory_Mode") << "factory_Mode" << "Factory Mode" << true;
    QTest::newRow("checkForUpdates") << "checkForUpdates" << "Check For Updates" << false;
}

void TestMainWindowForm::actions()
{
    QFETCH(QString, name);
    const auto all = window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(all.size(), 16);
    auto* action = window->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(action);
    QTEST(action->text(), "text");
    QTEST(action->isCheckable(), "checkable");
    QVERIFY(!action->isChecked());
    QVERIFY(action->shortcut().isEmpty());
}

void TestMainWindowForm::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("File") << "menuFile" << "&File"
                          << QStringList{"importDefaultXML", "importXML", "exportXML", "---", "actionPreferences",
                                         "menuFWVersion", "menuAdvanced", "checkForUpdates", "exit", "---"};
    QTest::newRow("Advanced") << "menuAdvanced" << "Advanced"
                              << QStringList{"advanced_Import", "advanced_Export", "show_pas_tab", "factory_Mode"};
    QTest::newRow("Firmware Version") << "menuFWVersion" << "Firmware Version" << QStringList{"fw_v59xx", "fw_v60xx"};
    QTest::newRow("Edit") << "menuEdit" << "&Edit" << QStringList{"editParameter", "autotuneAction"};
    QTest::newRow("Help") << "menuHelp" << "&Help" << QStringList{"actionAbout", "actionHelp"};
}

void TestMainWindowForm::menus()
{
    QFETCH(QString, menu);
    QStringList barEntries;
    const auto barActions = ui->menuBar->actions();
    for (const QAction* action : barActions)
        barEntries << action->menu()->objectName();
    QCOMPARE(barEntries, (QStringList{"menuFile", "menuEdit", "menuHelp"}));

    auto* qmenu = widget<QMenu>(menu);
    QVERIFY(qmenu);
    QTEST(qmenu->title(), "title");
    QTEST(menuEntries(qmenu), "entries");
}

void TestMainWindowForm::textsPassThroughTranslation()
{
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QMainWindow translated;
    Ui_MainWindow form;
    form.setupUi(&translated);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(translated.windowTitle(), QString("[Kelvara Suite]"));
    QCOMPARE(form.tabWidget->tabText(0), QString("[   Basic Setup   ]"));
    QCOMPARE(form.exit->text(), QString("[E&xit]"));
    QCOMPARE(form.actionPreferences->toolTip(), QString("[Change baudrate, timeouts, etc]"));
    QCOMPARE(form.label_plugbraking->toolTip(),
             QString("[<p>Allow plug braking, which will use battery current to stop at low speeds.</p>]"));
    QCOMPARE(form.hexCheckbox->text(), QString("[Display Communication in Hex]"));
    // Empty texts are set without translation.
    QCOMPARE(form.checkBox->text(), QString());
    QCOMPARE(form.doubleSpinBox_33->toolTip(), QString());
}

void TestMainWindowForm::slotsConnectedByNameRunOnlyAfterTheBuild()
{
    QVERIFY(window->calls.isEmpty());
    ui->checkBox->setChecked(true);
    ui->checkBox->setChecked(false);
    ui->list_unsaved->click();
    ui->ratedSystemVoltageCheckBox->setChecked(true);
    ui->TempSensingBox->setChecked(true);
    ui->ratedSystemVoltageCheckBox->setChecked(false);
    ui->TempSensingBox->setChecked(false);
    QCOMPARE(window->calls, (QStringList{"checkBox 2", "checkBox 0", "list_unsaved", "rated 2", "sensing 2",
                                         "rated 0", "sensing 0"}));
}

// ---------------------------------------------------------------- rows

void TestMainWindowForm::rows_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("labelText");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("editor");
    for (const ExpectedRow& row : expectedRows)
        QTest::newRow(row.container) << row.page << row.container << row.address << row.bit << row.label
                                     << row.labelText << row.kind << row.editor;
}

void TestMainWindowForm::rows()
{
    QFETCH(QString, page);
    QFETCH(QString, container);
    QFETCH(int, address);
    QFETCH(int, bit);

    QWidget* row = nullptr;
    const auto found = FormRows::findRows(widget(page));
    for (QWidget* candidate : found) {
        if (FormRows::rowKey(candidate) == Key(address, bit))
            row = candidate;
    }
    QVERIFY2(row, "no row under the key below a frame of the page");
    QCOMPARE(row->objectName(), container);
    QCOMPARE(row->property("bit").isValid(), bit >= 0);

    QLabel* label = FormRows::rowLabel(row);
    QVERIFY(label);
    QTEST(label->objectName(), "label");
    QTEST(label->text(), "labelText");
    QWidget* editor = rowEditor(row);
    QVERIFY(editor);
    QTEST(editorKind(editor), "kind");
    QTEST(editor->objectName(), "editor");
    // A row's tooltip belongs on its label.
    QVERIFY(editor->toolTip().isEmpty());
    QVERIFY(row->toolTip().isEmpty());
}

void TestMainWindowForm::pageRows_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("total");
    QTest::newRow("Basic Setup") << "displayParameters" << 34;
    QTest::newRow("Advanced Setup") << "advancedParameters" << 19;
    QTest::newRow("Temperature") << "temperatureParameters" << 20;
    QTest::newRow("PAS Setup") << "pedalAssistParameters" << 32;
    QTest::newRow("Dashboard") << "dashboardParameters" << 22;
}

// No row beyond the table, and no two rows of a page share a key.
void TestMainWindowForm::pageRows()
{
    QFETCH(QString, page);
    QFETCH(int, total);
    QSet<Key> expected;
    for (const ExpectedRow& row : expectedRows) {
        if (page == QLatin1String(row.page))
            expected.insert({row.address, row.bit});
    }
    QCOMPARE(expected.size(), total);

    const auto found = FormRows::findRows(widget(page));
    QSet<Key> keys;
    for (const QWidget* row : found)
        keys.insert(FormRows::rowKey(row));
    QCOMPARE(found.size(), total);
    QCOMPARE(keys, expected);

    // Every widget of the page carrying "address" is reachable through a frame.
    int withAddress = 0;
    for (const QWidget* w : widget(page)->findChildren<QWidget*>())
        withAddress += w->property("address").isValid();
    QCOMPARE(withAddress, total);
}

void TestMainWindowForm::onlyTheTwoProtectedRowsCarryLevel3Access()
{
    QStringList protectedRows;
    for (int page = 0; page < ui->tabWidget->count(); ++page) {
        for (const QWidget* w : ui->tabWidget->widget(page)->findChildren<QWidget*>()) {
            const QVariant access = w->property("level3access");
            if (access.isValid()) {
                QCOMPARE(access, QVariant(true));
                protectedRows << w->objectName();
            }
        }
    }
    protectedRows.sort();
    QCOMPARE(protectedRows, QStringList({"highLowside", "openCircuitVoltageTestWindow"}));
    QVERIFY(ui->AccessLevel3Frame->isAncestorOf(ui->highLowside));
    QVERIFY(ui->AccessLevel3Frame->isAncestorOf(ui->openCircuitVoltageTestWindow));
}

// The throttle lamp's "address" is a text set by retranslateUi; the row is
// read as the integer 327 like its neighbours.
void TestMainWindowForm::throttleLampAddressIsSetByTextSetter()
{
    QCOMPARE(ui->widget_42->property("address").userType(), int(QMetaType::QString));
    QCOMPARE(ui->widget_37->property("address").userType(), int(QMetaType::Int));
    ui->widget_42->setProperty("address", QVariant());
    ui->retranslateUi(window);
    QCOMPARE(ui->widget_42->property("address"), QVariant("327"));
    QCOMPARE(FormRows::rowKey(ui->widget_42), Key(327, 7));
}

void TestMainWindowForm::namedObjects_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");

    const struct
    {
        const char* page;
        const char* className;
        QStringList names;
    } groups[] = {
        {"releaseScreen", "QPushButton", {"readAll", "saveParamsBasic", "restore", "importDefaultsButton",
                                          "autotuneWizard", "clearFaults"}},
        {"releaseScreen", "QGraphicsView", {"faultIndicator"}},
        {"releaseScreen", "QTextEdit", {"faultText"}},
        {"releaseScreen", "VoltageCutoffSlider", {"voltageCutoffSlider"}},
        {"advancedScreen", "QPushButton", {"readAllAdvanced", "saveParamsAdvanced", "restoreAdvanced",
                                           "importAdvancedDefaultsButton"}},
        {"advancedScreen", "QFrame", {"AccessLevel3Frame"}},
        {"advancedScreen", "QCheckBox", {"AccessLevelBox", "ratedSystemVoltageCheckBox"}},
        {"advancedScreen", "ThrottleGraph", {"widget_36"}},
        {"advancedScreen", "SensorlessStartingGraph", {"widget_45"}},
        {"temperatureScreen", "QPushButton", {"readAllTemperature", "saveParamsTemperature", "restoreTemperature",
                                              "importDefaultsButtonTemperature", "readMotorTemp"}},
        {"temperatureScreen", "QComboBox", {"comboBox_tempSensorType"}},
        {"temperatureScreen", "QFrame", {"frame_21"}},
        {"temperatureScreen", "TemperatureFeedbackGraph", {"widget_temperatureSetpointsGraph"}},
        {"pasScreen", "QPushButton", {"readAllPedalAssist", "saveParamsPedalAssist", "restorePedalAssist",
                                      "importPedalAssistDefaultsButton"}},
        {"pasScreen", "QComboBox", {"pedal_assist_type", "numAssistLevels"}},
        {"pasScreen", "QCheckBox", {"usingKM5S"}},
        {"pasScreen", "QLabel", {"km5sMessage", "rpmSliderDisplay"}},
        {"pasScreen", "QFrame", {"pasConfigFrame", "torqueSensorConfigFrame"}},
        {"pasScreen", "QWidget", {"assistLevelChart", "rpmSliderWidget"}},
        {"pasScreen", "QSlider", {"rpmSlider"}},
        {"pasScreen", "AssistLevelGraph", {"widget_16"}},
        {"dashboardScreen", "QComboBox", {"comboBox_7", "comboBox_2", "comboBox_5", "comboBox_3", "comboBox_31",
                                          "comboBox_11", "comboBox_8", "comboBox_13", "comboBox_9", "comboBox_10",
                                          "comboBox_6", "comboBox_12"}},
        {"dashboardScreen", "QTableWidget", {"hallTableWidget"}},
        {"dashboardScreen", "QGraphicsView", {"dashboardFaultIndicator"}},
        {"dashboardScreen", "QTextEdit", {"dashboardFaultText"}},
        {"dashboardScreen", "QPushButton", {"dashboardClearFaults", "dashboardStartStopButton", "clearGraphsButton",
                                            "dashboardExportPlot"}},
        {"dashboardScreen", "QCustomPlot", {"dashboardPlot"}},
        {"devScreen", "QSpinBox", {"addressInput", "numUnsaved", "HWID_Display", "batchDisplay",
                                   "serialNumDisplay"}},
        {"devScreen", "QLineEdit", {"name"}},
        {"devScreen", "QDoubleSpinBox", {"valueDisplay"}},
        {"devScreen", "QPushButton", {"read", "write", "list_unsaved", "writeAllDev", "readAllDev", "pushButton"}},
        {"devScreen", "QCheckBox", {"hexCheckbox"}},
    };
    for (const auto& group : groups) {
        for (const QString& name : group.names)
            QTest::newRow(qPrintable(name)) << group.page << name << group.className;
    }
    // The per-level table of the PAS page, filled in by name.
    for (const char* prefix : {"level_l", "max_pas_pwr_l", "max_pas_spd_l", "max_pwr_l", "max_spd_l"}) {
        for (int level = 1; level <= 9; ++level) {
            const QString name = prefix + QString::number(level);
            QTest::newRow(qPrintable(name)) << "assistLevelChart" << name << "QLabel";
        }
    }
}

void TestMainWindowForm::namedObjects()
{
    QFETCH(QString, page);
    QFETCH(QString, name);
    const auto matches = widget(page)->findChildren<QWidget*>(name);
    QCOMPARE(matches.size(), 1);
    QTEST(QString(matches.first()->metaObject()->className()), "className");
}

// ---------------------------------------------------------------- states

void TestMainWindowForm::hiddenAndDisabledWidgets()
{
    const QStringList hidden = formWidgetNames(ui->tabWidget, [](const QWidget* w) { return w->isHidden(); });
    QCOMPARE(hidden, QStringList({"dashboardMotorTemperature", "frame_21", "rpmSliderWidget", "widget_63",
                                  "widget_80", "widget_81"}));
    const QStringList disabled = formWidgetNames(
        ui->tabWidget, [](const QWidget* w) { return w->testAttribute(Qt::WA_ForceDisabled)
                                                     && !w->parentWidget()->testAttribute(Qt::WA_ForceDisabled); });
    QCOMPARE(disabled, QStringList({"comboBox_tempSensorType", "doubleSpinBox_27", "doubleSpinBox_3",
                                    "motor_temperature", "temperature_foldback_end", "temperature_foldback_start",
                                    "temperature_trip_threshold", "volts_0_deg", "volts_100_deg", "volts_125_deg",
                                    "volts_25_deg", "volts_50_deg", "volts_75_deg"}));
}

void TestMainWindowForm::initialStates()
{
    // The logic fills every chooser and sets every switch itself.
    for (const QComboBox* combo : ui->tabWidget->findChildren<QComboBox*>())
        QVERIFY2(combo->count() == 0, qPrintable(combo->objectName()));
    for (const QCheckBox* box : ui->tabWidget->findChildren<QCheckBox*>())
        QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));

    // Readings are shown, never edited.
    const QStringList readOnly = {
        "motor_temperature", "doubleSpinBox_97", "doubleSpinBox_100", "doubleSpinBox_axle_torque_offset",
        "doubleSpinBox_13", "doubleSpinBox_12", "doubleSpinBox_18", "doubleSpinBox_48", "doubleSpinBox_75",
        "doubleSpinBox_39", "doubleSpinBox_15", "doubleSpinBox_45", "doubleSpinBox_17", "doubleSpinBox_38",
        "doubleSpinBox_10", "doubleSpinBox_35", "numUnsaved", "HWID_Display", "batchDisplay", "serialNumDisplay"};
    for (const QString& name : readOnly) {
        auto* box = widget<QAbstractSpinBox>(name);
        QVERIFY2(box && box->isReadOnly(), qPrintable(name));
        QCOMPARE(box->buttonSymbols(), QAbstractSpinBox::NoButtons);
    }
    QVERIFY(ui->name->isReadOnly());
    QVERIFY(ui->faultText->isReadOnly());
    QVERIFY(ui->dashboardFaultText->isReadOnly());

    QCOMPARE(ui->addressInput->value(), 229);
    QCOMPARE(ui->addressInput->maximum(), 2047);
    QCOMPARE(ui->numUnsaved->maximum(), 511);
    QCOMPARE(ui->serialNumDisplay->maximum(), 65535);
    QCOMPARE(ui->valueDisplay->maximum(), 99999999.0);
    QCOMPARE(ui->rpmSlider->minimum(), 1);
    QCOMPARE(ui->rpmSlider->maximum(), 1000);
    QCOMPARE(ui->rpmSliderDisplay->text(), QString("000"));
    QCOMPARE(ui->hallTableWidget->rowCount(), 0);
    QVERIFY(!ui->faultIndicator->scene());
    QVERIFY(!ui->dashboardFaultIndicator->scene());
}

// Spin boxes that report every keystroke write each one into the model.
void TestMainWindowForm::keyboardTracking()
{
    const QStringList tracking = formWidgetNames(ui->tabWidget, [](const QWidget* w) {
        auto* box = qobject_cast<const QAbstractSpinBox*>(w);
        return box && !box->isReadOnly() && box->keyboardTracking();
    });
    QCOMPARE(tracking,
             QStringList({"doubleSpinBox_16", "doubleSpinBox_19", "doubleSpinBox_2", "doubleSpinBox_22",
                          "doubleSpinBox_46", "doubleSpinBox_47", "doubleSpinBox_49", "doubleSpinBox_50",
                          "doubleSpinBox_54", "doubleSpinBox_55", "doubleSpinBox_56", "doubleSpinBox_60",
                          "doubleSpinBox_61", "doubleSpinBox_62", "doubleSpinBox_63", "doubleSpinBox_65",
                          "doubleSpinBox_66", "doubleSpinBox_67", "doubleSpinBox_68", "doubleSpinBox_8",
                          "doubleSpinBox_95", "doubleSpinBox_torque_deadband", "doubleSpinBox_torque_gain",
                          "doubleSpinBox_torque_initial", "doubleSpinBox_torque_offset",
                          "highAssistPowerPASSpinbox", "highAssistPowerTorqueThrottleSpinbox",
                          "highAssistSpeedPASSpinbox", "highAssistSpeedTorqueThrottleSpinbox",
                          "torque_pedalgain_spinbox"}));
}

void TestMainWindowForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("readAllAdvanced") << "readAllAdvanced" << "Read Parameters";
    QTest::newRow("saveParamsTemperature") << "saveParamsTemperature" << "Save Parameters";
    QTest::newRow("importPedalAssistDefaultsButton") << "importPedalAssistDefaultsButton" << "Load Default Parameters";
    QTest::newRow("readMotorTemp") << "readMotorTemp" << "Refresh Motor Temperature Readings";
    QTest::newRow("label_hallTitle") << "label_hallTitle" << " Digital Signals: ";
    QTest::newRow("dashboardExportPlot") << "dashboardExportPlot" << "Export Graph Data";
    QTest::newRow("write") << "write" << "Save";
    QTest::newRow("label") << "label" << "Number of Unsaved Values:";
    QTest::newRow("batchLabel") << "batchLabel" << "Batch #:";
    QTest::newRow("km5sMessage") << "km5sMessage"
                                 << "Switching between assist levels requires use of a KM5S display. Without a display "
                                    "connected, only the highest assist level will be available.";
}

void TestMainWindowForm::texts()
{
    QFETCH(QString, name);
    QVERIFY(widget(name));
    QTEST(widget(name)->property("text").toString(), "text");
}

void TestMainWindowForm::tooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("quotes") << "label_faultTolerantHall"
        << "<p>If Fault Tolerant Hall is set, the controller will try to intelligently work around up to two failing "
           "hall sensors. This only applies if the controller is configured to detect motor position using either "
           "\"Hall sensor only\" or \"Hall sensor start and sensorless run\".</p>";
    QTest::newRow("two blanks, line break") << "label_82"
        << "<p>This is the voltage above the Throttle Max  + Deadband range that is considered a fault in "
           "the throttle signal and will cause the controller to turn off. Note that it also applies below "
           "the throttle low voltage reading, and so too small of a fault range can cause a throttle fault "
           "error when you are doing maximum regen.</p>\n";
    QTest::newRow("two line breaks") << "label_48"
        << "<p>This sets the proportional gain term for vehicle speed limit feedback. It is only relevant if "
           "you are actively using the controller's max vehicle speed setting to limit the top speed of the "
           "motor.</p>\n\n";
    QTest::newRow("degree sign") << "label_64"
        << QString::fromUtf8("<p>This is the measured internal temperature of the controller's circuit board. As the "
                             "controller approaches 90°C it will go into thermal rollback and automatically limit the "
                             "output phase current. You can choose to plot this controller temperature on one of the "
                             "graph axis with the drop down selector beside it and monitor how the controller heats "
                             "up under use.</p>");
    QTest::newRow("button") << "saveParamsBasic" << "<p>Save all the modified settings to the controller</p>";
    QTest::newRow("placeholder") << "label_150" << "<p>Failed to generate tooltip</p>";
    QTest::newRow("Dev Screen") << "serialNumLabel" << "<p>This is the Tamsett serial number of the controller.</p>";
    QTest::newRow("action") << "actionPreferences" << "Change baudrate, timeouts, etc";
    QTest::newRow("none on defaults button") << "importAdvancedDefaultsButton" << "";
    QTest::newRow("none on a map label") << "label_volts_0" << "";
    QTest::newRow("none on clear faults") << "dashboardClearFaults" << "";
}

void TestMainWindowForm::tooltips()
{
    QFETCH(QString, name);
    QObject* object = window->findChild<QObject*>(name);
    QVERIFY(object);
    QTEST(object->property("toolTip").toString(), "tooltip");
}

// Rows stay legible, and sizes whose minimum lies above their maximum keep
// the minimum.
void TestMainWindowForm::laidOutRows()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    for (const QWidget* row : FormRows::findRows(ui->displayParameters)) {
        const QLabel* label = FormRows::rowLabel(row);
        const QWidget* editor = FormRows::rowEditor(row);
        QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(label->objectName()));
        QVERIFY2(label->geometry().right() < editor->geometry().left(), qPrintable(row->objectName()));
        QVERIFY2(qAbs(label->geometry().center().y() - editor->geometry().center().y()) <= 2,
                 qPrintable(row->objectName()));
    }
    QCOMPARE(ui->voltageCutoffSlider->maximumHeight(), 190);
    QCOMPARE(ui->voltageCutoffSlider->size(), QSize(80, 200));
    ui->tabWidget->setCurrentWidget(ui->dashboardScreen);
    QTRY_COMPARE(ui->dashboardExportPlot->width(), 221);
    QCOMPARE(ui->dashboardExportPlot->maximumWidth(), 196);
    ui->tabWidget->setCurrentIndex(0);
    window->hide();
}

// The next member of the chain met after each is the following one, and
// nothing focusable stands between them apart from the first's own parts.
void TestMainWindowForm::focusChainOrder()
{
    QList<QWidget*> chain;
    for (const QString& name : focusChain) {
        QWidget* w = widget(name);
        QVERIFY2(w, qPrintable(name));
        chain << w;
    }
    for (int i = 0; i + 1 < chain.size(); ++i) {
        QWidget* first = chain.at(i);
        QWidget* second = chain.at(i + 1);
        const QString pair = first->objectName() + " -> " + second->objectName();
        QWidget* next = first->nextInFocusChain();
        while (next != first && !chain.contains(next))
            next = next->nextInFocusChain();
        QVERIFY2(next == second, qPrintable(pair + ", met " + next->objectName()));

        // The toolkit puts the tab widget's follower behind all of its
        // focusable descendants.
        if (first == ui->tabWidget)
            continue;
        next = first->nextInFocusChain();
        while (next != second && (first->isAncestorOf(next) || next->focusPolicy() == Qt::NoFocus))
            next = next->nextInFocusChain();
        QVERIFY2(next == second, qPrintable(pair + ", met " + next->objectName()));
    }
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
