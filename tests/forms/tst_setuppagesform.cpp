// The Advanced Setup, Temperature and PAS Setup pages of the main window
// form: their parameter rows as the main window discovers them, the widgets
// it looks up by name and class, the states the builder leaves, texts and
// the focus chain.

#include <QtTest>

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QSlider>

#include "formrows.h"
#include "ui_mainwindow.h"

namespace {

using RowKey = FormRows::Key;
using FormRows::rowEditor;

// All containers found for a key are kept so that duplicates show.
QMap<RowKey, QList<QWidget*>> discoverRows(QWidget* pageContainer)
{
    QMap<RowKey, QList<QWidget*>> rows;
    const auto found = FormRows::findRows(pageContainer);
    for (QWidget* row : found)
        rows[FormRows::rowKey(row)].append(row);
    return rows;
}

QString editorKind(QWidget* editor)
{
    if (qobject_cast<QDoubleSpinBox*>(editor))
        return "spin";
    if (qobject_cast<QComboBox*>(editor))
        return "combo";
    if (qobject_cast<QCheckBox*>(editor))
        return "check";
    return "none";
}

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

const ExpectedRow expectedRows[] = {
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
};

// The form's own widgets below a page, without the inner parts Qt adds
// (viewports, scroll bars, line edits of spin boxes).
QList<QWidget*> formWidgets(QWidget* page)
{
    QList<QWidget*> widgets;
    const auto all = page->findChildren<QWidget*>();
    for (QWidget* widget : all) {
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            widgets << widget;
    }
    return widgets;
}

QStringList warningsDuringBuild;
QtMessageHandler previousHandler = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        warningsDuringBuild << message;
    previousHandler(type, context, message);
}

} // namespace

// Stands in for the main window: slots named after form widgets are
// connected by the form's builder.
class FormWindow : public QMainWindow
{
    Q_OBJECT

public:
    QList<int> ratedVoltageStates;
    QList<int> tempSensingStates;

public slots:
    void on_ratedSystemVoltageCheckBox_stateChanged(int state) { ratedVoltageStates << state; }
    void on_TempSensingBox_stateChanged(int state) { tempSensingStates << state; }
};

class TestSetupPagesForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void buildsWithoutWarnings();
    void tabsHoldThePagesInOrder();
    void rows_data();
    void rows();
    void pageRows_data();
    void pageRows();
    void onlyTheTwoProtectedRowsCarryLevel3Access();
    void nestedRowsResolveTheirOwnLabelAndEditor();
    void namedObjects_data();
    void namedObjects();
    void graphsAndSliderAreUniqueByClass();
    void assistLevelTable();
    void advancedInitialState();
    void temperatureInitialState();
    void pasInitialState();
    void keyboardTracking();
    void sizeLimits();
    void accessLevelGroupIsBuiltFirstButStandsLast();
    void layouts();
    void fonts();
    void tooltips_data();
    void tooltips();
    void temperaturePresetTooltip();
    void texts();
    void slotsConnectedByName();
    void focusChain();

private:
    template<typename T = QWidget>
    T* find(const char* name) const
    {
        T* widget = window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no %s named %s", T::staticMetaObject.className(), name);
        return widget;
    }

    FormWindow* window = nullptr;
    Ui_MainWindow ui;
};

void TestSetupPagesForm::initTestCase()
{
    window = new FormWindow;
    previousHandler = qInstallMessageHandler(recordWarnings);
    ui.setupUi(window);
    qInstallMessageHandler(previousHandler);
}

void TestSetupPagesForm::cleanupTestCase()
{
    delete window;
}

void TestSetupPagesForm::buildsWithoutWarnings()
{
    QCOMPARE(warningsDuringBuild, QStringList());
}

void TestSetupPagesForm::tabsHoldThePagesInOrder()
{
    QCOMPARE(ui.tabWidget->count(), 6);
    QCOMPARE(ui.tabWidget->indexOf(ui.advancedScreen), 1);
    QCOMPARE(ui.tabWidget->indexOf(ui.temperatureScreen), 2);
    QCOMPARE(ui.tabWidget->indexOf(ui.pasScreen), 3);
    QCOMPARE(ui.tabWidget->tabText(1), QString("Advanced Setup"));
    QCOMPARE(ui.tabWidget->tabText(2), QString("Temperature"));
    QCOMPARE(ui.tabWidget->tabText(3), QString("PAS Setup"));
    QCOMPARE(ui.tabWidget->currentIndex(), 0);
}

void TestSetupPagesForm::rows_data()
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
        QTest::newRow(row.container) << row.page << row.container << row.address << row.bit
                                     << row.label << row.labelText << row.kind << row.editor;
}

void TestSetupPagesForm::rows()
{
    QFETCH(QString, page);
    QFETCH(QString, container);
    QFETCH(int, address);
    QFETCH(int, bit);
    QFETCH(QString, label);
    QFETCH(QString, labelText);
    QFETCH(QString, kind);
    QFETCH(QString, editor);

    QWidget* pageContainer = window->findChild<QWidget*>(page);
    QVERIFY(pageContainer);
    const auto found = discoverRows(pageContainer);
    const RowKey key{address, bit};
    QVERIFY2(found.contains(key), qPrintable(container));
    QCOMPARE(found.value(key).size(), 1);
    QWidget* row = found.value(key).first();
    QCOMPARE(row->objectName(), container);
    QCOMPARE(QString(row->metaObject()->className()), QString("QWidget"));
    QCOMPARE(row->property("address").userType(), int(QMetaType::Int));
    if (bit >= 0)
        QCOMPARE(row->property("bit").userType(), int(QMetaType::Int));
    else
        QVERIFY(!row->property("bit").isValid());

    auto* rowLabel = row->findChild<QLabel*>();
    QVERIFY(rowLabel);
    QCOMPARE(rowLabel->objectName(), label);
    QCOMPARE(rowLabel->text(), labelText);
    QCOMPARE(rowLabel->parentWidget(), row);

    QWidget* rowEditorWidget = rowEditor(row);
    QVERIFY(rowEditorWidget);
    QCOMPARE(editorKind(rowEditorWidget), kind);
    QCOMPARE(rowEditorWidget->objectName(), editor);
    QCOMPARE(rowEditorWidget->parentWidget(), row);
    // A row's tooltip belongs on its label.
    QVERIFY(rowEditorWidget->toolTip().isEmpty());
    QVERIFY(row->toolTip().isEmpty());
}

void TestSetupPagesForm::pageRows_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("spins");
    QTest::addColumn<int>("combos");
    QTest::addColumn<int>("checks");
    QTest::newRow("Advanced Setup") << "advancedParameters" << 19 << 19 << 0 << 0;
    QTest::newRow("Temperature") << "temperatureParameters" << 20 << 19 << 0 << 1;
    QTest::newRow("PAS Setup") << "pedalAssistParameters" << 32 << 28 << 2 << 2;
}

void TestSetupPagesForm::pageRows()
{
    QFETCH(QString, page);
    QFETCH(int, total);
    QFETCH(int, spins);
    QFETCH(int, combos);
    QFETCH(int, checks);

    const auto found = discoverRows(window->findChild<QWidget*>(page));
    QSet<RowKey> expectedKeys;
    for (const ExpectedRow& row : expectedRows) {
        if (page == QLatin1String(row.page))
            expectedKeys.insert({row.address, row.bit});
    }
    QCOMPARE(expectedKeys.size(), total);
    QCOMPARE(found.size(), total);
    QCOMPARE(QSet<RowKey>(found.keyBegin(), found.keyEnd()), expectedKeys);

    QMap<QString, int> kinds;
    for (const auto& containers : found) {
        QCOMPARE(containers.size(), 1);  // no two rows share a key
        ++kinds[editorKind(rowEditor(containers.first()))];
    }
    QCOMPARE(kinds.value("spin"), spins);
    QCOMPARE(kinds.value("combo"), combos);
    QCOMPARE(kinds.value("check"), checks);
}

void TestSetupPagesForm::onlyTheTwoProtectedRowsCarryLevel3Access()
{
    QStringList protectedRows;
    for (const char* page : {"advancedParameters", "temperatureParameters", "pedalAssistParameters"}) {
        const auto found = discoverRows(window->findChild<QWidget*>(page));
        for (const auto& containers : found) {
            const QVariant access = containers.first()->property("level3access");
            if (!access.isValid())
                continue;
            QCOMPARE(access.userType(), int(QMetaType::Bool));
            QVERIFY(access.toBool());
            protectedRows << containers.first()->objectName();
        }
    }
    protectedRows.sort();
    QCOMPARE(protectedRows, QStringList({"highLowside", "openCircuitVoltageTestWindow"}));
    QVERIFY(ui.AccessLevel3Frame->isAncestorOf(ui.highLowside));
    QVERIFY(ui.AccessLevel3Frame->isAncestorOf(ui.openCircuitVoltageTestWindow));
}

void TestSetupPagesForm::nestedRowsResolveTheirOwnLabelAndEditor()
{
    QCOMPARE(ui.horizontalWidget_22->findChild<QLabel*>(), ui.label_132);
    QCOMPARE(ui.horizontalWidget_22->findChild<QDoubleSpinBox*>(), ui.doubleSpinBox_95);
    QCOMPARE(ui.horizontalWidget_22->findChild<QCheckBox*>(), ui.checkBox_4);
    QCOMPARE(ui.widget_60->findChild<QLabel*>(), ui.label_122);
    QCOMPARE(ui.widget_60->parentWidget(), ui.horizontalWidget_22);

    QCOMPARE(ui.widget_55->findChild<QLabel*>(), ui.label_117);
    QCOMPARE(ui.widget_55->findChild<QDoubleSpinBox*>(), ui.doubleSpinBox_16);
    QCOMPARE(ui.widget_55->findChild<QCheckBox*>(), ui.checkBox_5);
    QCOMPARE(ui.widget_58->findChild<QLabel*>(), ui.label_119);
    QCOMPARE(ui.widget_58->parentWidget(), ui.widget_55);

    // The sub-row comes first in its outer row's layout.
    QCOMPARE(ui.horizontalLayout_134->itemAt(0)->widget(), ui.widget_60);
    QCOMPARE(ui.horizontalLayout_121->itemAt(0)->widget(), ui.widget_58);
    QCOMPARE(ui.label_132->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(ui.label_132->indent(), 9);
    QCOMPARE(ui.label_132->margin(), 0);

    // The rated voltage row is bound through its spin box; the check box
    // before it only switches the spin box.
    QCOMPARE(rowEditor(ui.ratedSystemVoltage), ui.doubleSpinBox_3);
    QCOMPARE(ui.horizontalLayout_ratedSystemVoltage->itemAt(1)->widget(), ui.ratedSystemVoltageCheckBox);
}

void TestSetupPagesForm::namedObjects_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");

    const struct { const char* page; const char* className; QStringList names; } groups[] = {
        {"advancedParameters", "QPushButton",
         {"readAllAdvanced", "saveParamsAdvanced", "restoreAdvanced", "importAdvancedDefaultsButton"}},
        {"advancedParameters", "QFrame", {"AccessLevel3Frame"}},
        {"advancedParameters", "QCheckBox", {"AccessLevelBox", "ratedSystemVoltageCheckBox"}},
        {"advancedParameters", "QDoubleSpinBox", {"doubleSpinBox_23", "doubleSpinBox_3"}},
        {"advancedParameters", "ThrottleGraph", {"widget_36"}},
        {"advancedParameters", "SensorlessStartingGraph", {"widget_45"}},
        {"temperatureParameters", "QPushButton",
         {"readAllTemperature", "saveParamsTemperature", "restoreTemperature",
          "importDefaultsButtonTemperature", "readMotorTemp"}},
        {"temperatureParameters", "QCheckBox", {"TempSensingBox"}},
        {"temperatureParameters", "QDoubleSpinBox",
         {"temperature_trip_threshold", "temperature_foldback_start", "temperature_foldback_end",
          "motor_temperature", "volts_0_deg", "volts_25_deg", "volts_50_deg", "volts_75_deg",
          "volts_100_deg", "volts_125_deg"}},
        {"temperatureParameters", "QComboBox", {"comboBox_tempSensorType"}},
        {"temperatureParameters", "TemperatureFeedbackGraph", {"widget_temperatureSetpointsGraph"}},
        {"pedalAssistParameters", "QPushButton",
         {"readAllPedalAssist", "saveParamsPedalAssist", "restorePedalAssist",
          "importPedalAssistDefaultsButton"}},
        {"pedalAssistParameters", "QComboBox", {"pedal_assist_type", "numAssistLevels"}},
        {"pedalAssistParameters", "QCheckBox", {"usingKM5S"}},
        {"pedalAssistParameters", "QLabel",
         {"km5sMessage", "rpmSliderDisplay", "lowAssistPowerLabel", "medAssistPowerLabel",
          "highAssistPowerPASLabel", "highAssistPowerTorqueThrottleLabel", "lowAssistSpeedLabel",
          "medAssistSpeedLabel", "highAssistSpeedPASLabel", "highAssistSpeedTorqueThrottleLabel"}},
        {"pedalAssistParameters", "QFrame", {"pasConfigFrame", "torqueSensorConfigFrame"}},
        {"pedalAssistParameters", "QWidget", {"pedal_torque_offset", "axle_torque_offset", "assistLevelChart"}},
        {"pedalAssistParameters", "QDoubleSpinBox",
         {"lowAssistPowerSpinbox", "medAssistPowerSpinbox", "highAssistPowerPASSpinbox",
          "torque_pedalgain_spinbox"}},
        {"pedalAssistParameters", "QSlider", {"rpmSlider"}},
        {"pedalAssistParameters", "AssistLevelGraph", {"widget_16"}},
    };
    for (const auto& group : groups) {
        for (const QString& name : group.names)
            QTest::newRow(qPrintable(name)) << group.page << name << group.className;
    }
}

void TestSetupPagesForm::namedObjects()
{
    QFETCH(QString, page);
    QFETCH(QString, name);
    QFETCH(QString, className);

    QWidget* pageContainer = window->findChild<QWidget*>(page);
    QVERIFY(pageContainer);
    const auto matches = pageContainer->findChildren<QWidget*>(name);
    QCOMPARE(matches.size(), 1);
    QCOMPARE(QString(matches.first()->metaObject()->className()), className);
}

void TestSetupPagesForm::graphsAndSliderAreUniqueByClass()
{
    QCOMPARE(ui.tabWidget->findChildren<ThrottleGraph*>(), QList<ThrottleGraph*>{ui.widget_36});
    QCOMPARE(ui.tabWidget->findChildren<SensorlessStartingGraph*>(),
             QList<SensorlessStartingGraph*>{ui.widget_45});
    QCOMPARE(ui.tabWidget->findChildren<TemperatureFeedbackGraph*>(),
             QList<TemperatureFeedbackGraph*>{ui.widget_temperatureSetpointsGraph});
    QCOMPARE(ui.tabWidget->findChildren<AssistLevelGraph*>(), QList<AssistLevelGraph*>{ui.widget_16});
    QCOMPARE(ui.tabWidget->findChildren<QSlider*>(), QList<QSlider*>{ui.rpmSlider});

    QCOMPARE(ui.widget_36->parentWidget(), ui.frame_6);
    QCOMPARE(ui.widget_45->parentWidget(), ui.frame_8);
    QCOMPARE(ui.widget_temperatureSetpointsGraph->parentWidget(), ui.frame_temp_graph);
    QCOMPARE(ui.widget_16->parentWidget(), ui.leftWidget_3);
}

void TestSetupPagesForm::assistLevelTable()
{
    const QStringList prefixes{"level_l", "max_pas_pwr_l", "max_pas_spd_l", "max_pwr_l", "max_spd_l"};
    const QList<QStringList> texts{
        {"1", "2", "3", "4", "5", "6", "7", "8", "9"},
        {"0.1", "0.2", "1.2", "1.3", "2.2", "2.3", "3.2", "3.3", "4"},
        {"12.3", "12.4", "12.5", "12.6", "21.2", "28.8", "29.9", "30", "88"},
        QVector<QString>(9, "8.8").toList(),
        QVector<QString>(9, "12.3").toList(),
    };
    const QStringList headers{"Assist Level", "Max PAS Power (kW)", "Max PAS Speed (km/h)",
                              "Max Power (kW)", "Max Speed (km/h)"};
    for (int row = 0; row < prefixes.size(); ++row) {
        auto* header = qobject_cast<QLabel*>(ui.gridLayout_13->itemAtPosition(row, 0)->widget());
        QVERIFY(header);
        QCOMPARE(header->text(), headers[row]);
        for (int level = 1; level <= 9; ++level) {
            const QString name = prefixes[row] + QString::number(level);
            const auto matches = ui.assistLevelChart->findChildren<QLabel*>(name);
            QCOMPARE(matches.size(), 1);
            QCOMPARE(matches.first()->text(), texts[row][level - 1]);
            QCOMPARE(matches.first()->alignment(), Qt::Alignment(Qt::AlignCenter));
            QCOMPARE(ui.gridLayout_13->itemAtPosition(row, level)->widget(), matches.first());
        }
    }
    QCOMPARE(ui.gridLayout_13->rowCount(), 5);
    QCOMPARE(ui.gridLayout_13->columnCount(), 10);
}

void TestSetupPagesForm::advancedInitialState()
{
    QVERIFY(!ui.doubleSpinBox_3->isEnabled());
    QVERIFY(!ui.ratedSystemVoltageCheckBox->isChecked());
    QVERIFY(!ui.AccessLevelBox->isChecked());
    QVERIFY(ui.ratedSystemVoltageCheckBox->text().isEmpty());
    QVERIFY(ui.AccessLevelBox->text().isEmpty());
    QCOMPARE(ui.label_45->text(), QString("Enable Access Level 3"));
    QCOMPARE(ui.label_67->text(), QString("Access Level 3 Parameters"));
    QCOMPARE(ui.label_45->parentWidget(), ui.AccessLevelBox->parentWidget());

    const auto widgets = formWidgets(ui.advancedScreen);
    for (QWidget* widget : widgets) {
        if (widget == ui.doubleSpinBox_3)
            continue;
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        QVERIFY2(!widget->isHidden(), qPrintable(widget->objectName()));
    }
}

void TestSetupPagesForm::temperatureInitialState()
{
    QWidget* const disabled[] = {ui.temperature_trip_threshold, ui.temperature_foldback_start,
                                 ui.temperature_foldback_end, ui.motor_temperature,
                                 ui.comboBox_tempSensorType, ui.volts_0_deg, ui.volts_25_deg,
                                 ui.volts_50_deg, ui.volts_75_deg, ui.volts_100_deg, ui.volts_125_deg};
    for (QWidget* widget : disabled)
        QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));

    for (QDoubleSpinBox* box : {ui.motor_temperature, ui.doubleSpinBox_97, ui.doubleSpinBox_100}) {
        QVERIFY2(box->isReadOnly(), qPrintable(box->objectName()));
        QCOMPARE(box->buttonSymbols(), QAbstractSpinBox::NoButtons);
    }
    QVERIFY(ui.frame_21->isHidden());
    for (QWidget* row : {ui.widget_91, ui.widget_92, ui.widget_95, ui.widget_96, ui.widget_97,
                         ui.widget_98, ui.widget_99, ui.widget_100})
        QVERIFY(!row->isVisibleTo(ui.temperatureScreen));
    QVERIFY(!ui.TempSensingBox->isChecked());
    QVERIFY(ui.TempSensingBox->text().isEmpty());
    QCOMPARE(ui.comboBox_tempSensorType->count(), 0);
    QVERIFY(!ui.comboBox_tempSensorType->isEditable());
    QCOMPARE(ui.comboBox_tempSensorType->sizeAdjustPolicy(), QComboBox::AdjustToContents);

    // Everything else of the page starts enabled and, apart from the
    // hidden group, shown.
    QSet<QWidget*> expectDisabled(std::begin(disabled), std::end(disabled));
    const auto widgets = formWidgets(ui.temperatureScreen);
    for (QWidget* widget : widgets) {
        QCOMPARE(widget->isHidden(), widget == ui.frame_21);
        QCOMPARE(widget->isEnabled(), !expectDisabled.contains(widget));
    }
    QCOMPARE(ui.gridLayout_16->indexOf(ui.frame_21), 0);
}

void TestSetupPagesForm::pasInitialState()
{
    QVERIFY(ui.rpmSliderWidget->isHidden());
    QCOMPARE(ui.rpmSlider->minimum(), 1);
    QCOMPARE(ui.rpmSlider->maximum(), 1000);
    QCOMPARE(ui.rpmSlider->value(), 1);
    QCOMPARE(ui.rpmSlider->orientation(), Qt::Vertical);
    QCOMPARE(ui.rpmSliderDisplay->text(), QString("000"));
    QVERIFY(!ui.usingKM5S->isChecked());
    QVERIFY(!ui.checkBox_4->isChecked());
    QVERIFY(!ui.checkBox_5->isChecked());
    for (QComboBox* combo : {ui.numAssistLevels, ui.pedal_assist_type, ui.comboBox_22,
                             ui.comboBox_torquesymmetry})
        QCOMPARE(combo->count(), 0);
    QVERIFY(ui.doubleSpinBox_axle_torque_offset->isReadOnly());
    QCOMPARE(ui.doubleSpinBox_axle_torque_offset->buttonSymbols(), QAbstractSpinBox::NoButtons);
    QVERIFY(ui.pasScreen->isEnabled());
    QVERIFY(!ui.pasScreen->autoFillBackground());

    // Only the command source row, the two torque ramps and the RPM slider
    // start hidden.
    QStringList hidden;
    const auto widgets = formWidgets(ui.pasScreen);
    for (QWidget* widget : widgets) {
        if (widget->isHidden())
            hidden << widget->objectName();
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
    }
    hidden.sort();
    QCOMPARE(hidden, QStringList({"rpmSliderWidget", "widget_63", "widget_80", "widget_81"}));
}

void TestSetupPagesForm::keyboardTracking()
{
    // On the Advanced Setup page only the sensorless start rows 110, 109
    // and 108 report every keystroke.
    const QSet<QString> trackingAdvanced{"doubleSpinBox_54", "doubleSpinBox_55", "doubleSpinBox_56"};
    for (QDoubleSpinBox* box : ui.advancedParameters->findChildren<QDoubleSpinBox*>())
        QCOMPARE(box->keyboardTracking(), trackingAdvanced.contains(box->objectName()));

    for (QDoubleSpinBox* box : ui.temperatureParameters->findChildren<QDoubleSpinBox*>()) {
        QVERIFY2(!box->keyboardTracking(), qPrintable(box->objectName()));
        QCOMPARE(box->singleStep(), 0.1);
    }

    const QSet<QString> quietLeft{"medAssistPowerSpinbox", "lowAssistPowerSpinbox",
                                  "medAssistSpeedSpinbox", "lowAssistSpeedSpinbox"};
    for (QDoubleSpinBox* box : ui.leftWidget_3->findChildren<QDoubleSpinBox*>())
        QCOMPARE(box->keyboardTracking(), !quietLeft.contains(box->objectName()));
    for (QDoubleSpinBox* box : ui.rightWidget_3->findChildren<QDoubleSpinBox*>())
        QCOMPARE(box->keyboardTracking(), box != ui.doubleSpinBox_74);
}

void TestSetupPagesForm::sizeLimits()
{
    QCOMPARE(ui.widget_36->minimumSize(), QSize(400, 280));
    QCOMPARE(ui.widget_36->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(ui.widget_45->minimumSize(), QSize(460, 280));
    QCOMPARE(ui.widget_45->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(ui.widget_temperatureSetpointsGraph->minimumSize(), QSize(460, 220));
    QCOMPARE(ui.widget_temperatureSetpointsGraph->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

    // The access switch row asks for more height than it allows.
    QCOMPARE(ui.widget_25->minimumHeight(), 25);
    QCOMPARE(ui.widget_25->maximumHeight(), 20);
    QCOMPARE(ui.AccessLevelBox->minimumWidth(), 20);
    QCOMPARE(ui.AccessLevelBox->maximumWidth(), 20);
    QCOMPARE(ui.ratedSystemVoltageCheckBox->maximumWidth(), 20);
    QCOMPARE(ui.ratedSystemVoltageCheckBox->baseSize(), QSize(20, 20));

    QCOMPARE(ui.doubleSpinBox_14->minimumWidth(), 117);
    QCOMPARE(ui.doubleSpinBox_14->maximumWidth(), 140);
    QCOMPARE(ui.doubleSpinBox_14->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(ui.doubleSpinBox_54->maximumWidth(), 200);
    QCOMPARE(ui.doubleSpinBox_51->maximumWidth(), 140);
    QCOMPARE(ui.widget_5->maximumHeight(), 25);
    QCOMPARE(ui.horizontalWidget_4->maximumHeight(), QWIDGETSIZE_MAX);
    QCOMPARE(ui.label_79->maximumHeight(), 25);

    QCOMPARE(ui.widget_motortemp->maximumHeight(), 35);
    QCOMPARE(ui.horizontalLayout_widget_motortemp->spacing(), 0);
    QCOMPARE(ui.readMotorTemp->maximumSize(), QSize(300, 25));
    QCOMPARE(ui.label_temperatureparameters->maximumHeight(), 40);
    QCOMPARE(ui.label_temperatureparameters->contentsMargins().top(), 5);
    QCOMPARE(ui.label_temperatureparameters->contentsMargins().bottom(), 8);
    QCOMPARE(ui.label_temperature_spacer->minimumSize(), QSize(100, 8));
    QCOMPARE(ui.label_temperature_spacer->maximumHeight(), 10);
    QCOMPARE(ui.comboBox_tempSensorType->maximumWidth(), 140);

    QCOMPARE(ui.highAssistPowerPASSpinbox->maximumWidth(), 170);
    QCOMPARE(ui.doubleSpinBox_63->maximumWidth(), 140);
    QCOMPARE(ui.pedal_assist_type->maximumWidth(), 250);
    QCOMPARE(ui.comboBox_22->maximumWidth(), 200);
    QCOMPARE(ui.numAssistLevels->maximumWidth(), 100);
    QCOMPARE(ui.numAssistLevelsWidget->maximumSize(), QSize(360, 25));
    QCOMPARE(ui.usingKM5S->maximumSize(), QSize(20, 20));
    QCOMPARE(ui.horizontalWidget_22->maximumHeight(), QWIDGETSIZE_MAX);
    QCOMPARE(ui.widget_60->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

void TestSetupPagesForm::accessLevelGroupIsBuiltFirstButStandsLast()
{
    const QObjectList children = ui.rightWidget->children();
    QVERIFY(children.indexOf(ui.AccessLevel3Frame) < children.indexOf(ui.frame_8));
    QVERIFY(children.indexOf(ui.frame_8) < children.indexOf(ui.frame_7));

    int row, column, rowSpan, columnSpan;
    ui.gridLayout_7->getItemPosition(ui.gridLayout_7->indexOf(ui.frame_8), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(row, 3);
    ui.gridLayout_7->getItemPosition(ui.gridLayout_7->indexOf(ui.frame_7), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(row, 4);
    ui.gridLayout_7->getItemPosition(ui.gridLayout_7->indexOf(ui.AccessLevel3Frame), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(row, 5);
    ui.gridLayout_8->getItemPosition(ui.gridLayout_8->indexOf(ui.frame_9), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(row, 2);
}

void TestSetupPagesForm::layouts()
{
    QCOMPARE(ui.verticalLayout_19->spacing(), 1);
    QCOMPARE(ui.verticalLayout_19->contentsMargins().top(), 6);
    QCOMPARE(ui.verticalLayout_19->contentsMargins().bottom(), 6);
    QCOMPARE(ui.verticalLayout_13->contentsMargins().top(), 5);
    QCOMPARE(ui.horizontalLayout_ratedSystemVoltage->spacing(), 4);
    QCOMPARE(ui.horizontalLayout_widget_5->spacing(), 0);
    QCOMPARE(ui.horizontalLayout_widget_7->spacing(), 6);
    QCOMPARE(ui.horizontalLayout_widget_5->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(ui.gridLayout_8->horizontalSpacing(), 0);
    QCOMPARE(ui.gridLayout_8->verticalSpacing(), 6);
    QCOMPARE(ui.gridLayout_4->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(ui.horizontalLayout_166->spacing(), 4);
    QCOMPARE(ui.horizontalLayout_166->contentsMargins(), QMargins(0, 0, 0, 6));
    QCOMPARE(ui.verticalLayout_40->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(ui.verticalLayout_28->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(ui.gridLayout_13->contentsMargins().left(), 0);
    QCOMPARE(ui.gridLayout_13->contentsMargins().right(), 0);
    QCOMPARE(ui.rpmSliderLayout->contentsMargins().left(), 1);

    // Rows, buttons and graphs stand in the order they are listed in.
    QCOMPARE(ui.verticalLayout_13->indexOf(ui.widget_36), 7);
    QCOMPARE(ui.verticalLayout_17->indexOf(ui.widget_45), 5);
    QCOMPARE(ui.verticalLayout_temp_graph->indexOf(ui.tempSensorType), 0);
    QCOMPARE(ui.verticalLayout_temp_graph->indexOf(ui.widget_temperatureSetpointsGraph), 7);
    QCOMPARE(ui.verticalLayout_28->indexOf(ui.pedal_assist_type_widget), 1);
    QCOMPARE(ui.verticalLayout_31->indexOf(ui.assistLevelChart), 12);
    QCOMPARE(ui.horizontalLayout_64->indexOf(ui.widget_16), 0);
    QCOMPARE(ui.horizontalLayout_64->indexOf(ui.rpmSliderWidget), 1);
}

void TestSetupPagesForm::fonts()
{
    for (QWidget* content : {ui.advancedParameters, ui.temperatureParameters, ui.pedalAssistParameters})
        QCOMPARE(content->font().pointSize(), 11);
    for (QLabel* header : {ui.label_56, ui.label_67, ui.label_temperature_limits, ui.label_160,
                           ui.label_102, ui.label_118, ui.label_108}) {
        QCOMPARE(header->font().pointSize(), 12);
        QVERIFY(header->font().bold());
        QCOMPARE(header->font().weight(), 75);
        QVERIFY(header->font().underline());
    }
    QCOMPARE(ui.label_76->font().pointSize(), 11);
    QVERIFY(!ui.label_76->font().bold());
}

void TestSetupPagesForm::tooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tooltip");

    QTest::newRow("two blanks, line break") << "label_82"
        << "<p>This is the voltage above the Throttle Max  + Deadband range that is considered a fault in "
           "the throttle signal and will cause the controller to turn off. Note that it also applies below "
           "the throttle low voltage reading, and so too small of a fault range can cause a throttle fault "
           "error when you are doing maximum regen.</p>\n";
    QTest::newRow("two line breaks") << "label_48"
        << "<p>This sets the proportional gain term for vehicle speed limit feedback. It is only relevant if "
           "you are actively using the controller's max vehicle speed setting to limit the top speed of the "
           "motor.</p>\n\n";
    QTest::newRow("bold run") << "label_8"
        << "<p>The Rated System Voltage is a parameter that Norvex uses as a reference to normalize all the "
           "other voltage related values, from the voltage rollbacks to the motor KV constant. Changing your "
           "rated system voltage will change all of these other parameters too, and we recommend leaving this "
           "rated system value alone, even if it doesn't necessarily match with your actual pack's nominal "
           "voltage. <b>Unless you have a very specific reason to change this value, please simply leave it at "
           "the default setting of 48V even if your actual battery is a different voltage.</b> </p>";
    QTest::newRow("restore button") << "restoreAdvanced"
        << "<p>Reload all of the settings that were on the controller when the software launched, so that you "
           "can undo any changes and restore it to its previous state. If more than one controller is "
           "connected, this will load the first controller's settings.</p>";
    QTest::newRow("no tooltip on defaults button") << "importAdvancedDefaultsButton" << "";
    QTest::newRow("sensing switch") << "label_151"
        << "<p>Only check this box if you want the controller to do thermal rollback and have a valid "
           "temperature signal from the motor.  Leave it unchecked if you do not have a temperature signal or "
           "if you want to manage thermal rollback settings via a Ridemeter device.</p>";
    QTest::newRow("failed") << "label_150" << "<p>Failed to generate tooltip</p>";
    QTest::newRow("capital A") << "label_100" << "<p>Todo: Add tooltip</p>";
    QTest::newRow("empty on map label") << "label_volts_0" << "";
    QTest::newRow("empty on graph") << "widget_temperatureSetpointsGraph" << "";
    QTest::newRow("with full stop") << "highAssistPowerPASLabel" << "<p>Todo: add tooltip.</p>";
    QTest::newRow("without full stop") << "highAssistPowerTorqueThrottleLabel" << "<p>Todo: add tooltip</p>";
    QTest::newRow("levels container") << "numAssistLevelsWidget"
        << "<p>This dropdown has no effect on the controller - its purpose is to alter the graph to provide "
           "an accurate preview of the controller's response at different assist levels. Select a value "
           "equal to the number of assist levels your display supports.</p>";
    QTest::newRow("levels label empty") << "label_120" << "";
    QTest::newRow("rolling start") << "label_119"
        << "<p> If your system will be controlled by a torque sensor, the rolling start feature is "
           "recommended for safety</p>";
    QTest::newRow("no tooltip on torque down") << "label_147" << "";
    QTest::newRow("no tooltip on walk speed") << "label_132" << "";
    QTest::newRow("system configuration") << "label_118"
        << "<p>These parameters control the overall system behaviour while using a remote display. Use the "
           "Pedal Assist Type dropdown to simultaneously set multiple parameters to be compatible with your "
           "chosen device. If your system will be controlled by a torque sensor, the rolling start feature is "
           "recommended for safety.\n\n<br><b> Difference between Axle and Pedal Torque sensors </b>\n"
           "    <br><t>Pedal torque sensors refers to sensors that have integrated torque and cadence sensor. "
           "The cadence sensor needs to be configured to actually start and stop a vehicle. The motor will not "
           "be enabled until the pedals are rotated.\n"
           "    <br><t>Axle torque sensors (TMM4 was the first type supported) or any torque sensor without an "
           "integrated pedal sensor need to be configured to not start a vehicle without pedaling. In the "
           "absence of a cadence sensor the vehicle has to use the rolling start feature so that the motor will "
           "not be enabled until the vehicle is at a minimum speed (assumes the pedal got it to this speed).\n"
           "    <br><t>Axle torque sensors automatically measure the offset during power up. This assumes the "
           "user is not putting pressure on the pedals during power up.\n"
           "    <br><t>Pedal torque sensors need the specific offset to be programmed though.</p>";
}

void TestSetupPagesForm::tooltips()
{
    QFETCH(QString, name);
    QFETCH(QString, tooltip);
    QWidget* widget = window->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->toolTip(), tooltip);
}

void TestSetupPagesForm::temperaturePresetTooltip()
{
    const QString dash(QChar(0x2013));
    const QStringList lines{
        QString(),
        QString(25, ' ') + "<p>This dropdown allows you to preselect one of of the three thermistor types "
                           "used in motors sold by Tamsett:",
        QString(26, ' ') + "<ul>",
        "  <li>10K B3950 " + dash + " This is the thermistor model used in all the hub motors using the "
                                    "L1019 connector plug with a dedicated temperature sensor wire.</li>",
        "  <li>10K B3450 " + dash + " The motors with multiplexed speed / temperature signals (like the "
                                    "Shengyi SX) use a lower Beta thermistor for improved high temperature "
                                    "resolution.</li>",
        "  <li>10K Bafang " + dash + " The Bafang motors with multiplixed Speed/Temp signals have an "
                                     "additional 10K pull-up resistor, which changes the standard B3450 map. "
                                     "Use this setting with Bafang motors.</li>",
        QString(25, ' ') + "</ul>",
        QString(24, ' ') + "</p>",
        QString(23, ' '),
    };
    QCOMPARE(ui.tempSensorType->toolTip(), lines.join('\n'));
    QVERIFY(ui.label_160->toolTip().isEmpty());
    QVERIFY(ui.comboBox_tempSensorType->toolTip().isEmpty());
}

void TestSetupPagesForm::texts()
{
    QCOMPARE(ui.readAllAdvanced->text(), QString("Read Parameters"));
    QCOMPARE(ui.saveParamsTemperature->text(), QString("Save Parameters"));
    QCOMPARE(ui.restorePedalAssist->text(), QString("Restore Parameters"));
    QCOMPARE(ui.importPedalAssistDefaultsButton->text(), QString("Load Default Parameters"));
    QCOMPARE(ui.readMotorTemp->text(), QString("Refresh Motor Temperature Readings"));
    QCOMPARE(ui.label_100->text(), QString("Inferred Temperature Rollback Parameters"));
    QVERIFY(ui.label_temperature_spacer->text().isEmpty());
    QVERIFY(ui.label_temperature_spacer_2->text().isEmpty());
    QVERIFY(ui.temperature_description->wordWrap());
    QVERIFY(ui.temperature_description->text().startsWith("These parameters are applicable if you have a motor"));
    QVERIFY(ui.temperature_description->text().endsWith("erroneous power rollback and over-temperature faults."));
    QCOMPARE(ui.km5sMessage->text(),
             QString("Switching between assist levels requires use of a KM5S display. Without a display "
                     "connected, only the highest assist level will be available."));
    QCOMPARE(ui.label_KM5S->text(), QString("Using KM5S Display"));
    QCOMPARE(ui.label_120->text(), QString("Number of Display Assist Levels"));
    QCOMPARE(ui.label_46->text(), QString("RPM"));
    QCOMPARE(ui.label_116->text(), QString("Load Pedal Sensor Presets"));
    QCOMPARE(ui.label_123->text(), QString("Torque Sensor Configuration"));
    QVERIFY(ui.checkBox_4->text().isEmpty());
    QVERIFY(ui.checkBox_5->text().isEmpty());
    QVERIFY(ui.usingKM5S->text().isEmpty());
}

void TestSetupPagesForm::slotsConnectedByName()
{
    // Nothing ran while the form was built.
    QVERIFY(window->ratedVoltageStates.isEmpty());
    QVERIFY(window->tempSensingStates.isEmpty());

    ui.ratedSystemVoltageCheckBox->setChecked(true);
    ui.ratedSystemVoltageCheckBox->setChecked(false);
    QCOMPARE(window->ratedVoltageStates, QList<int>({Qt::Checked, Qt::Unchecked}));
    ui.TempSensingBox->setChecked(true);
    ui.TempSensingBox->setChecked(false);
    QCOMPARE(window->tempSensingStates, QList<int>({Qt::Checked, Qt::Unchecked}));
}

void TestSetupPagesForm::focusChain()
{
    // Tab leads from each widget to the next: between them stand only
    // widgets that take no tab focus and the inner parts of the previous
    // widget (a spin box's line edit).
    const char* const chain[] = {"readAllAdvanced", "saveParamsAdvanced", "restoreAdvanced",
                                 "doubleSpinBox_20", "doubleSpinBox_3"};
    for (size_t i = 0; i + 1 < std::size(chain); ++i) {
        QWidget* first = find(chain[i]);
        QWidget* second = find(chain[i + 1]);
        QVERIFY(first && second);
        QWidget* next = first->nextInFocusChain();
        while (next != second && (first->isAncestorOf(next) || !(next->focusPolicy() & Qt::TabFocus)))
            next = next->nextInFocusChain();
        QVERIFY2(next == second, qPrintable(QString("%1 does not follow %2").arg(chain[i + 1], chain[i])));
    }
    QCOMPARE(ui.scrollArea_2->focusPolicy(), Qt::NoFocus);
    QCOMPARE(ui.scrollArea_5->focusPolicy(), Qt::NoFocus);
    QCOMPARE(ui.scrollArea_4->focusPolicy(), Qt::NoFocus);
}

QTEST_MAIN(TestSetupPagesForm)
#include "tst_setuppagesform.moc"
