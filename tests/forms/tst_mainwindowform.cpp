// The main window's form where the window's logic relies on it: the rows it
// binds by "address" and "bit", the widgets it takes by name or class, the
// states it builds on, and texts users see that carry odd spellings.

#include "formrows.h"
#include "messagecapture.h"
#include "ui_mainwindow.h"

#include <QtTest>

namespace {

// Each page's rows as "address[.bit]" and the editor bound: none a spin box,
// c a combo box, x a check box, l a lamp.
const char* const pageRows[][2] = {
    {"displayParameters",
     "72 78 75 74 77c 127.1x 73 71 154 174.3x 155 156 195 194 141 142 227 229 206 230 231 51 "
     "7 8 52 53 220 221 224 225 212.6x 173 63 129"},
    {"advancedParameters", "214 213 151 152 216 215 148 150 147 149 70 48 47 110 106 109 108 9 10"},
    {"temperatureParameters",
     "212.5x 90 91 92 261 398 298 99 100 101 102 103 104 105 93 94 95 96 97 98"},
    {"pedalAssistParameters",
     "179 73 122 245 219 229 124 246 241 208c 230 212.11x 253 205 212.9x 178c 180 181 182 "
     "349 183 222 223 220 221 234 235 232 233 175 176 228"},
    {"dashboardParameters",
     "265 266 262 259 261 276.3l 276.4l 276.6l 276.2l 276.1l 276.0l 327.7l 327.0l 327.4l "
     "327.8l 270 325 271 272 263 260 331"},
};

QString rowText(const QWidget* row)
{
    const FormRows::Key key = FormRows::rowKey(row);
    QString text =
        QString::number(key.first) + (key.second >= 0 ? "." + QString::number(key.second) : "");
    const QWidget* editor = FormRows::rowEditor(row);
    if (qobject_cast<const QComboBox*>(editor))
        return text + 'c';
    if (qobject_cast<const QCheckBox*>(editor))
        return text + 'x';
    return editor ? text : text + (row->findChild<QLed*>() ? "l" : "?");
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The form's own named widgets below the pages that pass the test.
QStringList pageWidgets(const QTabWidget* tabs, bool (*pick)(const QWidget*))
{
    QStringList names;
    for (int page = 0; page < tabs->count(); ++page) {
        for (const QWidget* w : tabs->widget(page)->findChildren<QWidget*>()) {
            if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_") && pick(w))
                names << w->objectName();
        }
    }
    return sorted(names);
}

} // namespace

// Records the slots the form connects by name.
class SlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    QStringList calls;

public slots:
    void on_checkBox_stateChanged(int state) { calls << QString("checkBox %1").arg(state); }
    void on_list_unsaved_clicked() { calls << "list_unsaved"; }
    void on_ratedSystemVoltageCheckBox_stateChanged(int state)
    {
        calls << QString("rated %1").arg(state);
    }
    void on_TempSensingBox_stateChanged(int state) { calls << QString("sensing %1").arg(state); }
};

class TestMainWindowForm : public QObject
{
    Q_OBJECT
    SlotWindow window;
    Ui_MainWindow ui;

    QWidget* widget(const QString& name) { return window.findChild<QWidget*>(name); }

private slots:
    void initTestCase()
    {
        MessageCapture log;
        ui.setupUi(&window);
        QCOMPARE(log.messages(), QStringList());
    }

    void rows_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keys");
        for (const auto& page : pageRows)
            QTest::newRow(page[0]) << page[0] << page[1];
    }

    // No row missing or added, and every widget carrying "address" is met
    // through a frame, so none stays unbound.
    void rows()
    {
        QFETCH(QString, page);
        QFETCH(QString, keys);
        QStringList found;
        for (const QWidget* row : FormRows::findRows(widget(page)))
            found << rowText(row);
        QCOMPARE(sorted(found), sorted(keys.split(' ')));
        int withAddress = 0;
        for (const QWidget* w : widget(page)->findChildren<QWidget*>())
            withAddress += w->property("address").isValid();
        QCOMPARE(withAddress, found.size());
    }

    void namedRowParts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("row");
        const QString
            named = // the window reaches these by name and takes them as the row's box or label
            "KvValue=72 doubleSpinBox_6=71 doubleSpinBox_7=154 doubleSpinBox_23=106 doubleSpinBox_27=173 "
            "horizontalWidget_2=173 ratedSystemVoltage=70 currentRegulatorKp=7 currentRegulatorKi=8 "
            "enablePlugBraking=174.3x highAssistPowerPASSpinbox=122 lowAssistPowerSpinbox=219 "
            "medAssistPowerSpinbox=245 torque_pedalgain_spinbox=179 pedal_torque_offset=182 axle_torque_offset=349 "
            "motor_temperature=261 temperature_trip_threshold=90 temperature_foldback_start=91 "
            "temperature_foldback_end=92 volts_0_deg=93 volts_25_deg=94 volts_50_deg=95 volts_75_deg=96 "
            "volts_100_deg=97 volts_125_deg=98 dashboardMotorTemperature=261 dashboardAnalog1Voltage=270 "
            "dashboardAnalog2Voltage=271 dashboardAnalog3Voltage=272 lowAssistPowerLabel=219 medAssistPowerLabel=245 "
            "highAssistPowerPASLabel=122 highAssistPowerTorqueThrottleLabel=73 lowAssistSpeedLabel=241 "
            "medAssistSpeedLabel=246 highAssistSpeedPASLabel=124 highAssistSpeedTorqueThrottleLabel=229";
        for (const QString& pair : named.split(' '))
            QTest::newRow(qPrintable(pair)) << pair.section('=', 0, 0) << pair.section('=', 1);
    }

    void namedRowParts()
    {
        QFETCH(QString, name);
        QWidget* row = widget(name);
        QVERIFY(row);
        while (row && !FormRows::isRow(row))
            row = row->parentWidget();
        QVERIFY(row);
        QTEST(rowText(row), "row");
        if (auto* label = qobject_cast<QLabel*>(widget(name)))
            QCOMPARE(FormRows::rowLabel(row), label);
    }

    // Widgets the window finds by class or by a name built at run time.
    void foundAtRunTime()
    {
        for (const char* className : {"ThrottleGraph", "SensorlessStartingGraph",
                                      "TemperatureFeedbackGraph", "AssistLevelGraph"}) {
            int count = 0;
            for (const QWidget* w : ui.tabWidget->findChildren<QWidget*>())
                count += qstrcmp(w->metaObject()->className(), className) == 0;
            QVERIFY2(count == 1, className);
        }
        QVERIFY(ui.tabWidget->findChild<QSlider*>("rpmSlider"));
        QVERIFY(ui.tabWidget->findChild<QLabel*>("rpmSliderDisplay"));
        QVERIFY(ui.pedalAssistParameters->findChild<QComboBox*>("numAssistLevels"));
        for (const char* column :
             {"level_l", "max_pas_pwr_l", "max_pas_spd_l", "max_pwr_l", "max_spd_l"}) {
            for (int level = 1; level <= 9; ++level)
                QVERIFY(ui.assistLevelChart->findChild<QLabel*>(column + QString::number(level)));
        }
    }

    void slotsConnectedByNameRunOnlyAfterTheBuild()
    {
        QVERIFY(window.calls.isEmpty());
        for (QCheckBox* box : {ui.checkBox, ui.ratedSystemVoltageCheckBox, ui.TempSensingBox})
            box->setChecked(true), box->setChecked(false);
        ui.list_unsaved->click();
        QCOMPARE(window.calls,
                 (QStringList{"checkBox 2", "checkBox 0", "rated 2", "rated 0", "sensing 2",
                              "sensing 0", "list_unsaved"}));
    }

    // The logic fills every chooser, sets every switch and shows, hides,
    // enables and disables from these states on.
    void initialStates()
    {
        for (const QComboBox* combo : ui.tabWidget->findChildren<QComboBox*>())
            QVERIFY2(combo->count() == 0, qPrintable(combo->objectName()));
        for (const QCheckBox* box : ui.tabWidget->findChildren<QCheckBox*>())
            QVERIFY2(!box->isChecked(), qPrintable(box->objectName()));
        for (const QAction* action : window.findChildren<QAction*>())
            QVERIFY2(!action->isChecked(), qPrintable(action->objectName()));
        QCOMPARE(pageWidgets(ui.tabWidget, [](const QWidget* w) { return w->isHidden(); }),
                 QStringList({"dashboardMotorTemperature", "frame_21", "rpmSliderWidget",
                              "widget_63", "widget_80", "widget_81"}));
        QCOMPARE(pageWidgets(ui.tabWidget,
                             [](const QWidget* w) {
                                 return w->testAttribute(Qt::WA_ForceDisabled)
                                     && !w->parentWidget()->testAttribute(Qt::WA_ForceDisabled);
                             }),
                 QStringList({"comboBox_tempSensorType", "doubleSpinBox_27", "doubleSpinBox_3",
                              "motor_temperature", "temperature_foldback_end",
                              "temperature_foldback_start", "temperature_trip_threshold",
                              "volts_0_deg", "volts_100_deg", "volts_125_deg", "volts_25_deg",
                              "volts_50_deg", "volts_75_deg"}));
        QStringList checkable;
        for (const QAction* action : window.findChildren<QAction*>()) {
            if (action->isCheckable())
                checkable << action->objectName();
        }
        QCOMPARE(sorted(checkable),
                 QStringList({"factory_Mode", "fw_v59xx", "fw_v60xx", "show_pas_tab"}));
    }

    // Readings are shown, never edited into the model.
    void readingsAreReadOnly()
    {
        for (const char* name : {"motor_temperature",
                                 "doubleSpinBox_97",
                                 "doubleSpinBox_100",
                                 "doubleSpinBox_axle_torque_offset",
                                 "doubleSpinBox_13",
                                 "doubleSpinBox_12",
                                 "doubleSpinBox_18",
                                 "doubleSpinBox_48",
                                 "doubleSpinBox_75",
                                 "doubleSpinBox_39",
                                 "doubleSpinBox_15",
                                 "doubleSpinBox_45",
                                 "doubleSpinBox_17",
                                 "doubleSpinBox_38",
                                 "doubleSpinBox_10",
                                 "doubleSpinBox_35",
                                 "numUnsaved",
                                 "HWID_Display",
                                 "batchDisplay",
                                 "serialNumDisplay",
                                 "name",
                                 "faultText",
                                 "dashboardFaultText"})
            QVERIFY2(widget(name)->property("readOnly").toBool(), name);
    }

    void properties_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("value");
        const struct
        {
            const char* name;
            const char* property;
            const char* value;
        } rows[] = {
            {"addressInput", "value", "229"},
            {"addressInput", "maximum", "2047"},
            {"valueDisplay", "maximum", "99999999"},
            {"serialNumDisplay", "maximum", "65535"},
            {"numUnsaved", "maximum", "511"},
            {"rpmSlider", "minimum", "1"},
            {"rpmSlider", "maximum", "1000"},
            {"label_hallTitle", "text", " Digital Signals: "},
            {"label_82", "toolTip", "~the Throttle Max  + Deadband range"},
            {"label_64", "toolTip", "~approaches 90°C it will"},
            {"label_150", "toolTip", "<p>Failed to generate tooltip</p>"},
            {"serialNumLabel", "toolTip",
             "<p>This is the Tamsett serial number of the controller.</p>"},
            {"fw_v59xx", "text", "5.9XX"},
        };
        for (const auto& row : rows) {
            QTest::newRow(qPrintable(QString("%1.%2").arg(row.name, row.property)))
                << row.name << row.property << QString::fromUtf8(row.value);
        }
    }

    void properties()
    {
        QFETCH(QString, name);
        QFETCH(QString, property);
        QFETCH(QString, value);
        QObject* object = window.findChild<QObject*>(name);
        QVERIFY(object);
        const QString actual = object->property(qPrintable(property)).toString();
        if (value.startsWith('~')) // a part of a long text
            QVERIFY2(actual.contains(value.mid(1)), qPrintable(actual));
        else
            QCOMPARE(actual, value);
    }

    void titles()
    {
        QCOMPARE(window.windowTitle(), QString("Kelvara Suite"));
        QStringList tabs;
        for (int i = 0; i < ui.tabWidget->count(); ++i)
            tabs << ui.tabWidget->widget(i)->objectName() + ":" + ui.tabWidget->tabText(i);
        QCOMPARE(tabs,
                 QStringList({"releaseScreen:   Basic Setup   ", "advancedScreen:Advanced Setup",
                              "temperatureScreen:Temperature", "pasScreen:PAS Setup",
                              "dashboardScreen:Dashboard", "devScreen:Dev Screen"}));
    }
};

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
