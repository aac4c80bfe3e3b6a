#include "formrows.h"
#include "ui_mainwindow.h"

#include <QDockWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QTranslator>
#include <QtTest>

using FormRows::Key;

namespace {

// The window's whole keyboard focus chain; widgets of pages that are not in
// the form yet are left out when the chain is checked.
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

QStringList menuEntries(const QMenu* menu)
{
    QStringList entries;
    const auto actions = menu->actions();
    for (const QAction* action : actions) {
        if (action->isSeparator())
            entries << "---";
        else if (action->menu())
            entries << action->menu()->objectName();
        else
            entries << action->objectName();
    }
    return entries;
}

// Marks every text it is asked for, so the test sees which texts pass
// through the translation function and under which context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        if (QByteArray(context) != "MainWindow")
            return QString();
        return "[" + QString::fromUtf8(sourceText) + "]";
    }
    bool isEmpty() const override { return false; }
};

} // namespace

// Records the calls of the slots the form connects by name.
class SlotWindow : public QMainWindow
{
    Q_OBJECT

public:
    QList<int> checkBoxStates;
    int listUnsavedClicks = 0;

public slots:
    void on_checkBox_stateChanged(int state) { checkBoxStates << state; }
    void on_list_unsaved_clicked() { ++listUnsavedClicks; }
};

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void keepsAnExistingObjectName();
    void windowNeverTallerThan1000();
    void centralArea();
    void tabs_data();
    void tabs();
    void actions_data();
    void actions();
    void actionOrderAndDefaults();
    void menus_data();
    void menus();
    void textsPassThroughTranslation();
    void slotsConnectedByNameRunOnlyAfterTheBuild();

    void basicSetupRows_data();
    void basicSetupRows();
    void basicSetupRowsAreFoundOnlyInFrames();
    void basicSetupPageStructure();
    void groupFrames_data();
    void groupFrames();
    void basicSetupSpinBoxes_data();
    void basicSetupSpinBoxes();
    void basicSetupInitialStates();
    void basicSetupSizesAfterLayout();
    void voltageSliderIsTheOnlyOne();

    void devScreenGrid_data();
    void devScreenGrid();
    void devScreenTexts_data();
    void devScreenTexts();
    void devScreenInitialStates();

    void pagesShowAndEnableTheirWidgets();
    void tooltips_data();
    void tooltips();
    void fonts();
    void focusChainOrder();
    void tabKeyFollowsTheChain_data();
    void tabKeyFollowsTheChain();

private:
    template<typename T = QWidget>
    T* widget(const QString& name) const
    {
        return window->findChild<T*>(name);
    }
    QWidget* rowByName(const QString& name) const;

    QMainWindow* window = nullptr;
    Ui_MainWindow* ui = nullptr;
};

void TestMainWindowForm::init()
{
    window = new QMainWindow;
    ui = new Ui_MainWindow;
    ui->setupUi(window);
}

void TestMainWindowForm::cleanup()
{
    delete ui;
    ui = nullptr;
    delete window;
    window = nullptr;
}

QWidget* TestMainWindowForm::rowByName(const QString& name) const
{
    const auto rows = FormRows::findRows(ui->displayParameters);
    for (QWidget* row : rows) {
        if (row->objectName() == name)
            return row;
    }
    return nullptr;
}

// ---------------------------------------------------------------- frame

void TestMainWindowForm::windowFrame()
{
    QCOMPARE(window->objectName(), QString("MainWindow"));
    QCOMPARE(window->windowTitle(), QString("Kelvara Suite"));
    QCOMPARE(window->windowModality(), Qt::NonModal);
    QCOMPARE(window->size(), QSize(1200, 940));
    QCOMPARE(window->minimumSize(), QSize(10, 10));
    QCOMPARE(window->maximumSize(), QSize(QWIDGETSIZE_MAX, 1000));
    QCOMPARE(window->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(window->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(window->font().family(), QString("Liberation Sans"));
    QCOMPARE(window->font().pointSize(), 10);
    QVERIFY(!window->documentMode());
    QVERIFY(!window->isDockNestingEnabled());
    QCOMPARE(window->menuBar(), ui->menuBar);
    QCOMPARE(window->centralWidget(), ui->centralWidget);
    QVERIFY(!window->findChild<QStatusBar*>());
    QVERIFY(!window->findChild<QToolBar*>());
    QVERIFY(!window->findChild<QDockWidget*>());
}

void TestMainWindowForm::keepsAnExistingObjectName()
{
    QMainWindow named;
    named.setObjectName("kelvaraMain");
    Ui_MainWindow form;
    form.setupUi(&named);
    QCOMPARE(named.objectName(), QString("kelvaraMain"));
}

void TestMainWindowForm::windowNeverTallerThan1000()
{
    window->show();
    window->resize(1200, 1600);
    QCOMPARE(window->height(), 1000);
}

void TestMainWindowForm::centralArea()
{
    auto* grid = qobject_cast<QGridLayout*>(ui->centralWidget->layout());
    QVERIFY(grid);
    QCOMPARE(grid, ui->gridLayout_6);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 9, 0, 0));
    QCOMPARE(grid->spacing(), 6);
    QCOMPARE(grid->count(), 2);
    QCOMPARE(grid->itemAtPosition(0, 0)->layout(), ui->layout_aboveTabs);
    QCOMPARE(grid->itemAtPosition(1, 0)->widget(), ui->tabWidget);

    // The spacer above the tabs is the only item of its row; the main window
    // changes its height.
    QCOMPARE(ui->layout_aboveTabs->count(), 1);
    QSpacerItem* spacer = ui->layout_aboveTabs->itemAt(0)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(0, 0));
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);

    QCOMPARE(ui->tabWidget->font().pointSize(), 12);
    QCOMPARE(ui->tabWidget->font().family(), QString("Liberation Sans"));
    QCOMPARE(ui->tabWidget->focusPolicy(), Qt::TabFocus);
    QVERIFY(!ui->tabWidget->documentMode());
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
    QFETCH(QString, page);
    QFETCH(QString, title);
    QCOMPARE(ui->tabWidget->count(), 6);
    QCOMPARE(ui->tabWidget->currentIndex(), 0);
    QCOMPARE(ui->tabWidget->widget(index)->objectName(), page);
    QCOMPARE(ui->tabWidget->tabText(index), title);
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
    QFETCH(QString, text);
    QFETCH(bool, checkable);
    auto* action = window->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(action);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->isCheckable(), checkable);
    QVERIFY(!action->isChecked());
    QVERIFY(action->shortcut().isEmpty());
    QVERIFY(action->icon().isNull());
    const bool isPreferences = name == "actionPreferences";
    QCOMPARE(action->menuRole(), isPreferences ? QAction::PreferencesRole : QAction::TextHeuristicRole);
    if (isPreferences) {
        QCOMPARE(action->iconText(), QString("Preferences"));
        QCOMPARE(action->toolTip(), QString("Change baudrate, timeouts, etc"));
    }
}

void TestMainWindowForm::actionOrderAndDefaults()
{
    QStringList names;
    const auto children = window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly);
    for (const QAction* action : children)
        names << action->objectName();
    const QStringList expected = {"importXML", "editParameter", "exit", "exportXML", "autotuneAction",
                                  "actionAbout", "actionHelp", "actionPreferences", "fw_v59xx", "fw_v60xx",
                                  "advanced_Export", "advanced_Import", "show_pas_tab", "importDefaultXML",
                                  "factory_Mode", "checkForUpdates"};
    QCOMPARE(names, expected);
}

void TestMainWindowForm::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("File") << "menuFile" << "&File" << "menuBar"
                          << QStringList{"importDefaultXML", "importXML", "exportXML", "---",
                                         "actionPreferences", "menuFWVersion", "menuAdvanced",
                                         "checkForUpdates", "exit", "---"};
    QTest::newRow("Advanced") << "menuAdvanced" << "Advanced" << "menuFile"
                              << QStringList{"advanced_Import", "advanced_Export", "show_pas_tab", "factory_Mode"};
    QTest::newRow("Firmware Version") << "menuFWVersion" << "Firmware Version" << "menuFile"
                                      << QStringList{"fw_v59xx", "fw_v60xx"};
    QTest::newRow("Edit") << "menuEdit" << "&Edit" << "menuBar" << QStringList{"editParameter", "autotuneAction"};
    QTest::newRow("Help") << "menuHelp" << "&Help" << "menuBar" << QStringList{"actionAbout", "actionHelp"};
}

void TestMainWindowForm::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QString, parent);
    QFETCH(QStringList, entries);

    QStringList barEntries;
    const auto barActions = ui->menuBar->actions();
    for (const QAction* action : barActions)
        barEntries << action->menu()->objectName();
    QCOMPARE(barEntries, (QStringList{"menuFile", "menuEdit", "menuHelp"}));
    QCOMPARE(ui->menuBar->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
    QCOMPARE(ui->menuBar->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);

    auto* qmenu = widget<QMenu>(menu);
    QVERIFY(qmenu);
    QCOMPARE(qmenu->title(), title);
    QCOMPARE(qmenu->parent()->objectName(), parent);
    QCOMPARE(menuEntries(qmenu), entries);
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
    QCOMPARE(form.tabWidget->tabText(5), QString("[Dev Screen]"));
    QCOMPARE(form.menuFile->title(), QString("[&File]"));
    QCOMPARE(form.exit->text(), QString("[E&xit]"));
    QCOMPARE(form.actionPreferences->toolTip(), QString("[Change baudrate, timeouts, etc]"));
    QCOMPARE(form.KvLabel->text(), QString("[Kv]"));
    QCOMPARE(form.label_plugbraking->toolTip(),
             QString("[<p>Allow plug braking, which will use battery current to stop at low speeds.</p>]"));
    QCOMPARE(form.hexCheckbox->text(), QString("[Display Communication in Hex]"));
    // Empty texts are set without translation.
    QCOMPARE(form.checkBox->text(), QString());
    QCOMPARE(form.FaultTolerantHallBox->text(), QString());
    QCOMPARE(form.doubleSpinBox_33->toolTip(), QString());
}

void TestMainWindowForm::slotsConnectedByNameRunOnlyAfterTheBuild()
{
    SlotWindow slotWindow;
    Ui_MainWindow form;
    form.setupUi(&slotWindow);
    QVERIFY(slotWindow.checkBoxStates.isEmpty());
    QCOMPARE(slotWindow.listUnsavedClicks, 0);

    form.checkBox->setChecked(true);
    form.checkBox->setChecked(false);
    QCOMPARE(slotWindow.checkBoxStates, (QList<int>{Qt::Checked, Qt::Unchecked}));
    form.list_unsaved->click();
    QCOMPARE(slotWindow.listUnsavedClicks, 1);
}

// ---------------------------------------------------------------- Basic Setup

void TestMainWindowForm::basicSetupRows_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("labelText");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("editorClass");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("topMargin");

    const QString spin = "QDoubleSpinBox";
    auto add = [](const char* row, int address, int bit, const char* frame, const char* label, const char* text,
                  const char* editor, const QString& editorClass, int spacing, int topMargin = 0) {
        QTest::newRow(row) << row << address << bit << frame << label << text << editor << editorClass << spacing
                           << topMargin;
    };
    add("kvWidget", 72, -1, "motorParams", "KvLabel", "Kv", "KvValue", spin, 4);
    add("polePairsWidget", 78, -1, "motorParams", "polePairsLabel", "Number of Pole Pairs", "polePairsValue", spin, 4);
    add("RsWidget", 75, -1, "motorParams", "RsLabel", "Rs", "RsValue", spin, 4);
    add("LsWidget", 74, -1, "motorParams", "LsLabel", "Ls", "LsValue", spin, 4);
    add("motorPositionSensor", 77, -1, "motorParams", "label_55", "Motor Position Sensor Type", "comboBox",
        "QComboBox", 4);
    add("faultTolerantHall", 127, 1, "motorParams", "label_faultTolerantHall", "Fault Tolerant Hall",
        "FaultTolerantHallBox", "QCheckBox", 4, 4);
    add("ratedMotorPowerWidget", 73, -1, "motorParams", "ratedMotorPowerValue", "Max Power Limit",
        "ratedMotorPowerLabel", spin, 4);
    add("maxMotorPhaseCurr", 71, -1, "motorParams", "label_3", "Max Phase Current", "doubleSpinBox_6", spin, 4);
    add("maxMotorRegenCurr", 154, -1, "motorParams", "label_11", "Max Regen Phase Current", "doubleSpinBox_7", spin,
        4);
    add("enablePlugBraking", 174, 3, "motorParams", "label_plugbraking", "Enable Plug Braking",
        "checkBoxPlugBraking", "QCheckBox", 4, 4);
    add("maxCurrent", 155, -1, "batteryParams", "label_27", "Max Current", "doubleSpinBox_26", spin, 0);
    add("maxRegenAmps", 156, -1, "batteryParams", "label_26", "Max Regen Battery Current", "doubleSpinBox_25", spin,
        4);
    add("maxRegenEnd", 195, -1, "batteryParams", "label_10", "Max Regen Voltage (end)", "doubleSpinBox_5", spin, 4);
    add("maxRegenStart", 194, -1, "batteryParams", "label_9", "Max Regen Voltage (start)", "doubleSpinBox_4", spin,
        4);
    add("lowVoltCutStartWidget", 141, -1, "batteryParams", "label_28", "Low Voltage Cutoff (start)",
        "lowVoltButStartValue", spin, 4);
    add("lowVoltCutEndWidget", 142, -1, "batteryParams", "lowVoltVutEndLabel", "Low Voltage Cutoff (end)",
        "lowVoltCutEndValue", spin, 0);
    add("wheelDiam", 227, -1, "vehicleParams", "label_34", "Wheel Diameter", "doubleSpinBox_32", spin, 0);
    add("maxSpeed", 229, -1, "vehicleParams", "label_35", "Vehicle Maximum Speed", "doubleSpinBox_34", spin, 0);
    add("minRegenSpeed", 206, -1, "vehicleParams", "label_72", "Minimum Regen Speed", "doubleSpinBox_8", spin, 0);
    add("maxReverseSpeed", 230, -1, "vehicleParams", "label_14", "Maximum Reverse Speed", "doubleSpinBox_9", spin, 0);
    add("wheelSpeedPulsesPerRev", 231, -1, "vehicleParams", "label_161", "Wheel Speed Sensor Pulses Per Revolution",
        "doubleSpinBox_108", spin, 0);
    add("currRegBand", 51, -1, "frame", "label_6", "Current Regulator Bandwidth", "doubleSpinBox", spin, 0);
    add("currentRegulatorKp", 7, -1, "frame", "label_2", "Current Regulator Kp", "doubleSpinBox_2", spin, 0);
    add("currentRegulatorKi", 8, -1, "frame", "label_7", "Current Regulator Ki", "doubleSpinBox_22", spin, 0);
    add("widget_24", 52, -1, "frame", "label_66", "PLL Bandwidth", "doubleSpinBox_49", spin, 0);
    add("pllDamping", 53, -1, "frame", "label_73", "PLL Damping", "doubleSpinBox_19", spin, 4);
    add("torqueUp", 220, -1, "torqueParams", "label_30", "Torque Up Ramp", "doubleSpinBox_30", spin, 4);
    add("torqueDown", 221, -1, "torqueParams", "label_31", "Torque Down Ramp", "doubleSpinBox_28", spin, 4);
    add("regenTorqueUp", 224, -1, "torqueParams", "label_32", "Regen Torque Engage Ramp", "doubleSpinBox_31", spin, 4);
    add("regenTorqueDown", 225, -1, "torqueParams", "label_29", "Regen Torque Release Ramp", "doubleSpinBox_29", spin,
        4);
    add("horizontalWidget_3", 212, 6, "frame_4", "label_25", "Enable Virtual Freewheeling", "checkBox", "QCheckBox",
        6);
    add("horizontalWidget_2", 173, -1, "frame_4", "label_21", "Electronic Freewheeling Current", "doubleSpinBox_27",
        spin, 6);
    add("horizontalWidget", 63, -1, "frame_4", "label_12", "Motor Stall Timeout", "doubleSpinBox_33", spin, 6);
    add("widget_28", 129, -1, "frame_5", "label_24", "Max Field Weakening Current", "doubleSpinBox_24", spin, 6);
}

void TestMainWindowForm::basicSetupRows()
{
    QFETCH(QString, row);
    QFETCH(int, address);
    QFETCH(int, bit);
    QFETCH(QString, frame);
    QFETCH(QString, label);
    QFETCH(QString, labelText);
    QFETCH(QString, editor);
    QFETCH(QString, editorClass);
    QFETCH(int, spacing);
    QFETCH(int, topMargin);

    QWidget* container = rowByName(row);
    QVERIFY2(container, "row not found below a frame of displayParameters");
    QCOMPARE(container->metaObject(), &QWidget::staticMetaObject);
    QCOMPARE(FormRows::rowKey(container), Key(address, bit));
    QCOMPARE(container->property("address").type(), QVariant::Int);
    QCOMPARE(container->property("bit").isValid(), bit >= 0);
    QVERIFY(!container->property("level3access").isValid());

    QWidget* ancestor = container->parentWidget();
    while (ancestor && !qobject_cast<QFrame*>(ancestor))
        ancestor = ancestor->parentWidget();
    QVERIFY(ancestor);
    QCOMPARE(ancestor->objectName(), frame);

    QLabel* rowLabel = FormRows::rowLabel(container);
    QVERIFY(rowLabel);
    QCOMPARE(rowLabel->objectName(), label);
    QCOMPARE(rowLabel->text(), labelText);
    QVERIFY(!rowLabel->toolTip().isEmpty());

    QWidget* rowEditor = FormRows::rowEditor(container);
    QVERIFY(rowEditor);
    QCOMPARE(rowEditor->objectName(), editor);
    QCOMPARE(rowEditor->metaObject()->className(), editorClass.toLatin1().constData());
    QVERIFY(rowEditor->toolTip().isEmpty());
    QVERIFY(container->toolTip().isEmpty());

    // One label and one editor, in that order, on a box layout without margins.
    auto* layout = qobject_cast<QHBoxLayout*>(container->layout());
    QVERIFY(layout);
    QCOMPARE(layout->count(), 2);
    QCOMPARE(layout->itemAt(0)->widget(), rowLabel);
    QCOMPARE(layout->itemAt(1)->widget(), rowEditor);
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), QMargins(0, topMargin, 0, 0));
    QCOMPARE(rowLabel->parentWidget(), container);
    QCOMPARE(rowEditor->parentWidget(), container);
}

void TestMainWindowForm::basicSetupRowsAreFoundOnlyInFrames()
{
    const auto rows = FormRows::findRows(ui->displayParameters);
    QCOMPARE(rows.size(), 34);

    QSet<Key> keys;
    for (const QWidget* row : rows) {
        const Key key = FormRows::rowKey(row);
        QVERIFY2(!keys.contains(key), qPrintable(QString("duplicate key %1/%2").arg(key.first).arg(key.second)));
        keys.insert(key);
    }

    // Every widget carrying "address" on the page is reachable through a frame.
    int withAddress = 0;
    const auto all = ui->displayParameters->findChildren<QWidget*>();
    for (const QWidget* w : all) {
        if (w->property("address").isValid())
            ++withAddress;
    }
    QCOMPARE(withAddress, rows.size());

    // Of the three check boxes only the bit rows carry "bit".
    int bitRows = 0;
    for (const QWidget* row : rows) {
        if (row->property("bit").isValid()) {
            ++bitRows;
            QVERIFY(qobject_cast<QCheckBox*>(FormRows::rowEditor(row)));
        }
    }
    QCOMPARE(bitRows, 3);
}

void TestMainWindowForm::basicSetupPageStructure()
{
    QCOMPARE(ui->releaseScreen->layout()->itemAt(0)->widget(), ui->scrollArea);
    QCOMPARE(ui->scrollArea->widget(), ui->scrollAreaWidgetContents_2);
    QCOMPARE(ui->displayParameters->parentWidget(), ui->scrollAreaWidgetContents_2);
    QCOMPARE(ui->scrollArea->focusPolicy(), Qt::NoFocus);
    QCOMPARE(ui->scrollArea->frameShape(), QFrame::NoFrame);
    QVERIFY(ui->scrollArea->widgetResizable());

    struct Cell {
        QWidget* widget;
        int row, column, rowSpan, columnSpan;
        Qt::Alignment alignment;
    };
    const QList<Cell> cells = {
        {ui->widget, 0, 1, 1, 1, {}},
        {ui->widget_15, 0, 2, 1, 1, {}},
        {ui->widget_2, 1, 1, 2, 1, {}},
        {ui->widget_3, 1, 2, 1, 1, Qt::AlignTop},
        {ui->frame_5, 2, 2, 1, 1, Qt::AlignTop},
    };
    QGridLayout* grid = ui->gridLayout_2;
    QCOMPARE(grid->count(), cells.size());
    for (const Cell& cell : cells) {
        const int index = grid->indexOf(cell.widget);
        QVERIFY2(index >= 0, qPrintable(cell.widget->objectName()));
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(QList<int>({row, column, rowSpan, columnSpan}),
                 QList<int>({cell.row, cell.column, cell.rowSpan, cell.columnSpan}));
        QCOMPARE(grid->itemAt(index)->alignment(), cell.alignment);
    }
    // The buttons stand above the columns: read and save over the left one.
    QCOMPARE(ui->readAll->parentWidget(), ui->widget);
    QCOMPARE(ui->saveParamsBasic->parentWidget(), ui->widget);
    QCOMPARE(ui->restore->parentWidget(), ui->widget_15);
    QCOMPARE(ui->importDefaultsButton->parentWidget(), ui->widget_15);
    QCOMPARE(ui->verticalLayout_22->indexOf(ui->frame_4), 3);
    QCOMPARE(ui->verticalLayout_22->itemAt(3)->alignment(), Qt::AlignTop);
}

void TestMainWindowForm::groupFrames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("text");
    QTest::newRow("motorParams") << "motorParams" << "motorLabel" << "Motor Settings";
    QTest::newRow("batteryParams") << "batteryParams" << "batteryLabel" << "Battery Limits";
    QTest::newRow("vehicleParams") << "vehicleParams" << "label_5" << "Vehicle Parameters";
    QTest::newRow("faultsframe") << "faultsframe" << "label_13" << "Faults and Warnings";
    QTest::newRow("frame") << "frame" << "label_65" << "Feedback Bandwidth Tuning";
    QTest::newRow("torqueParams") << "torqueParams" << "label_4" << "Output Torque Ramping";
    QTest::newRow("frame_4") << "frame_4" << "label_23" << "Virtual Electronic Freewheeling";
    QTest::newRow("frame_5") << "frame_5" << "label_33" << "Top Speed Overdrive";
}

void TestMainWindowForm::groupFrames()
{
    QFETCH(QString, frame);
    QFETCH(QString, header);
    QFETCH(QString, text);
    auto* groupFrame = widget<QFrame>(frame);
    QVERIFY(groupFrame);
    QCOMPARE(groupFrame->metaObject(), &QFrame::staticMetaObject);
    QCOMPARE(groupFrame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(groupFrame->frameShadow(), QFrame::Plain);

    auto* headerLabel = widget<QLabel>(header);
    QVERIFY(headerLabel);
    QVERIFY(groupFrame->isAncestorOf(headerLabel));
    QCOMPARE(headerLabel->text(), text);
    QCOMPARE(headerLabel->font().pointSize(), 12);
    QCOMPARE(headerLabel->font().weight(), 75);
    QVERIFY(headerLabel->font().underline());
    QVERIFY(!headerLabel->toolTip().isEmpty());
}

void TestMainWindowForm::basicSetupSpinBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("step");
    QTest::addColumn<bool>("tracking");

    const QStringList plain = {"KvValue", "polePairsValue", "RsValue", "LsValue", "doubleSpinBox_6",
                               "doubleSpinBox_7", "doubleSpinBox_26", "doubleSpinBox_25", "doubleSpinBox_5",
                               "lowVoltCutEndValue", "doubleSpinBox_32", "doubleSpinBox_34", "doubleSpinBox_9",
                               "doubleSpinBox_108", "doubleSpinBox", "doubleSpinBox_30", "doubleSpinBox_28",
                               "doubleSpinBox_31", "doubleSpinBox_29", "doubleSpinBox_33", "doubleSpinBox_24"};
    for (const QString& name : plain)
        QTest::newRow(qPrintable(name)) << name << 0.0 << 99.99 << 1.0 << false;
    for (const char* name : {"doubleSpinBox_8", "doubleSpinBox_2", "doubleSpinBox_22", "doubleSpinBox_49",
                             "doubleSpinBox_19"})
        QTest::newRow(name) << name << 0.0 << 99.99 << 1.0 << true;
    QTest::newRow("ratedMotorPowerLabel") << "ratedMotorPowerLabel" << 0.0 << 9999.0 << 50.0 << false;
    QTest::newRow("doubleSpinBox_4") << "doubleSpinBox_4" << -99.99 << 99.99 << 1.0 << false;
    QTest::newRow("lowVoltButStartValue") << "lowVoltButStartValue" << -99.99 << 99.99 << 1.0 << false;
    QTest::newRow("doubleSpinBox_27") << "doubleSpinBox_27" << 0.0 << 99.99 << 0.1 << false;
}

void TestMainWindowForm::basicSetupSpinBoxes()
{
    QFETCH(QString, name);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, step);
    QFETCH(bool, tracking);
    auto* spinBox = widget<QDoubleSpinBox>(name);
    QVERIFY(spinBox);
    QCOMPARE(spinBox->minimum(), minimum);
    QCOMPARE(spinBox->maximum(), maximum);
    QCOMPARE(spinBox->singleStep(), step);
    QCOMPARE(spinBox->decimals(), 2);
    QCOMPARE(spinBox->value(), 0.0);
    QVERIFY(spinBox->prefix().isEmpty());
    QVERIFY(spinBox->suffix().isEmpty());
    QVERIFY(!spinBox->isReadOnly());
    QCOMPARE(spinBox->keyboardTracking(), tracking);

    // Typing emits a change per keystroke only with keyboard tracking.
    QSignalSpy changes(spinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged));
    spinBox->selectAll();
    QTest::keyClicks(spinBox, "12");
    QCOMPARE(changes.size(), tracking ? 2 : 0);
}

void TestMainWindowForm::basicSetupInitialStates()
{
    QVERIFY(!ui->doubleSpinBox_27->isEnabled());
    for (QCheckBox* box : {ui->FaultTolerantHallBox, ui->checkBoxPlugBraking, ui->checkBox}) {
        QVERIFY(!box->isChecked());
        QVERIFY(box->text().isEmpty());
    }
    QCOMPARE(ui->comboBox->count(), 0);
    QVERIFY(!ui->comboBox->isEditable());
    QCOMPARE(ui->comboBox->sizeAdjustPolicy(), QComboBox::AdjustToContents);
    QVERIFY(ui->faultText->isReadOnly());
    QVERIFY(ui->faultText->toPlainText().isEmpty());
    QCOMPARE(ui->faultText->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(ui->clearFaults->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(ui->faultIndicator->focusPolicy(), Qt::NoFocus);
    QVERIFY(!ui->faultIndicator->scene());
    QCOMPARE(ui->label_12->textFormat(), Qt::AutoText);

    // Only the freewheeling current starts disabled on the page.
    QStringList disabled;
    const auto all = ui->releaseScreen->findChildren<QWidget*>();
    for (const QWidget* w : all) {
        if (w->testAttribute(Qt::WA_ForceDisabled) && !w->parentWidget()->testAttribute(Qt::WA_ForceDisabled))
            disabled << w->objectName();
    }
    QCOMPARE(disabled, QStringList{"doubleSpinBox_27"});
}

void TestMainWindowForm::basicSetupSizesAfterLayout()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // The slider's maximum height lies below its minimum; the minimum wins.
    QCOMPARE(ui->voltageCutoffSlider->minimumSize(), QSize(80, 200));
    QCOMPARE(ui->voltageCutoffSlider->maximumSize(), QSize(80, 190));
    QCOMPARE(ui->voltageCutoffSlider->size(), QSize(80, 200));

    QCOMPARE(ui->horizontalWidget_3->height(), 25);
    QVERIFY(ui->torqueUp->height() <= 35);
    QVERIFY(ui->maxCurrent->height() <= 25);
    for (QWidget* row : {ui->horizontalWidget_2, ui->horizontalWidget, ui->widget_28})
        QVERIFY(row->height() <= 25);
    QCOMPARE(ui->faultIndicator->size(), QSize(30, 30));
    QVERIFY(ui->faultText->height() >= 50 && ui->faultText->height() <= 120);
    QCOMPARE(ui->FaultTolerantHallBox->width(), 20);
    QVERIFY(ui->checkBoxPlugBraking->width() <= 20);
    QVERIFY(ui->checkBox->width() <= 20);

    // No row label is squeezed below the room its text needs, and label and
    // editor of a row share one line.
    const auto rows = FormRows::findRows(ui->displayParameters);
    for (const QWidget* row : rows) {
        const QLabel* label = FormRows::rowLabel(row);
        const QWidget* editor = FormRows::rowEditor(row);
        QVERIFY2(label->width() >= label->minimumSizeHint().width(), qPrintable(label->objectName()));
        QVERIFY2(label->geometry().right() < editor->geometry().left(), qPrintable(row->objectName()));
        QVERIFY2(qAbs(label->geometry().center().y() - editor->geometry().center().y()) <= 2,
                 qPrintable(row->objectName()));
    }
}

void TestMainWindowForm::voltageSliderIsTheOnlyOne()
{
    const auto sliders = ui->tabWidget->findChildren<VoltageCutoffSlider*>();
    QCOMPARE(sliders.size(), 1);
    QCOMPARE(sliders.first(), ui->voltageCutoffSlider);
    QCOMPARE(ui->voltageCutoffSlider->parentWidget(), ui->batteryParams);
    QCOMPARE(ui->gridLayout_5->indexOf(ui->voltageCutoffSlider), 1);
    int row, column, rowSpan, columnSpan;
    ui->gridLayout_5->getItemPosition(1, &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(1, 1));
}

// ---------------------------------------------------------------- Dev Screen

void TestMainWindowForm::devScreenGrid_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("columnSpan");
    auto add = [](const char* name, int row, int column, int columnSpan = 1) {
        QTest::newRow(name) << name << row << column << columnSpan;
    };
    add("addressLabel", 2, 0);
    add("addressInput", 2, 1, 2);
    add("nameLabel", 3, 0);
    add("name", 3, 1, 2);
    add("HWIDLabel", 3, 4);
    add("HWID_Display", 3, 5);
    add("valueLabel", 4, 0);
    add("valueDisplay", 4, 1, 2);
    add("batchLabel", 4, 4);
    add("batchDisplay", 4, 5);
    add("write", 5, 1);
    add("read", 5, 2);
    add("serialNumLabel", 5, 4);
    add("serialNumDisplay", 5, 5);
    add("hr2", 6, 0, 6);
    add("label", 7, 0);
    add("numUnsaved", 7, 1);
    add("list_unsaved", 7, 2);
    add("writeAllDev", 7, 3);
    add("readAllDev", 7, 4, 2);
    add("hr3", 8, 0, 6);
    add("hexCheckboxContainer", 9, 0, 2);
    add("replyText", 11, 0, 6);
    add("pushButton", 12, 4, 2);
}

void TestMainWindowForm::devScreenGrid()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, columnSpan);
    QGridLayout* grid = ui->gridLayout_3;
    QCOMPARE(grid->count(), 24);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), ui->devScreenWidget);
    const int index = grid->indexOf(w);
    QVERIFY(index >= 0);
    int r, c, rs, cs;
    grid->getItemPosition(index, &r, &c, &rs, &cs);
    QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({row, column, 1, columnSpan}));
    QCOMPARE(grid->itemAt(index)->alignment(), Qt::Alignment());
}

void TestMainWindowForm::devScreenTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("addressLabel") << "addressLabel" << "Address:";
    QTest::newRow("nameLabel") << "nameLabel" << "Name:";
    QTest::newRow("valueLabel") << "valueLabel" << "Value:";
    QTest::newRow("read") << "read" << "Read";
    QTest::newRow("write") << "write" << "Save";
    QTest::newRow("pushButton") << "pushButton" << "Clear";
    QTest::newRow("label") << "label" << "Number of Unsaved Values:";
    QTest::newRow("hexCheckLabel") << "hexCheckLabel" << "Reply:";
    QTest::newRow("hexCheckbox") << "hexCheckbox" << "Display Communication in Hex";
    QTest::newRow("HWIDLabel") << "HWIDLabel" << "Hardware ID:";
    QTest::newRow("batchLabel") << "batchLabel" << "Batch #:";
    QTest::newRow("serialNumLabel") << "serialNumLabel" << "Serial #:";
    QTest::newRow("writeAllDev") << "writeAllDev" << "Save All";
    QTest::newRow("readAllDev") << "readAllDev" << "Read All";
    QTest::newRow("list_unsaved") << "list_unsaved" << "List Unsaved Parameters";
}

void TestMainWindowForm::devScreenTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->property("text").toString(), text);
}

void TestMainWindowForm::devScreenInitialStates()
{
    QCOMPARE(ui->addressInput->value(), 229);
    QCOMPARE(ui->addressInput->minimum(), 0);
    QCOMPARE(ui->addressInput->maximum(), 2047);
    QVERIFY(!ui->addressInput->keyboardTracking());
    ui->addressInput->setValue(5000);
    QCOMPARE(ui->addressInput->value(), 2047);

    QCOMPARE(ui->valueDisplay->decimals(), 2);
    QCOMPARE(ui->valueDisplay->minimum(), -99999999.0);
    QCOMPARE(ui->valueDisplay->maximum(), 99999999.0);
    QCOMPARE(ui->valueDisplay->buttonSymbols(), QAbstractSpinBox::NoButtons);
    QVERIFY(!ui->valueDisplay->keyboardTracking());
    QCOMPARE(ui->valueDisplay->focusPolicy(), Qt::ClickFocus);

    QVERIFY(ui->name->isReadOnly());
    QVERIFY(ui->name->text().isEmpty());
    QCOMPARE(ui->name->focusPolicy(), Qt::ClickFocus);

    struct ReadOnlyBox {
        QSpinBox* box;
        int maximum;
    };
    for (const ReadOnlyBox& entry : {ReadOnlyBox{ui->numUnsaved, 511}, ReadOnlyBox{ui->HWID_Display, 255},
                                     ReadOnlyBox{ui->batchDisplay, 255}, ReadOnlyBox{ui->serialNumDisplay, 65535}}) {
        QCOMPARE(entry.box->minimum(), 0);
        QCOMPARE(entry.box->maximum(), entry.maximum);
        QCOMPARE(entry.box->value(), 0);
        QVERIFY(entry.box->isReadOnly());
        QCOMPARE(entry.box->buttonSymbols(), QAbstractSpinBox::NoButtons);
        QCOMPARE(entry.box->focusPolicy(), Qt::ClickFocus);
    }
    for (QWidget* w : {static_cast<QWidget*>(ui->HWIDLabel), static_cast<QWidget*>(ui->batchLabel),
                       static_cast<QWidget*>(ui->serialNumLabel)})
        QCOMPARE(w->maximumSize(), QSize(90, 40));
    for (QWidget* w : {ui->HWID_Display, ui->batchDisplay, ui->serialNumDisplay})
        QCOMPARE(w->maximumSize(), QSize(120, 40));

    QVERIFY(!ui->hexCheckbox->isChecked());
    QVERIFY(ui->replyText->toPlainText().isEmpty());
    QCOMPARE(ui->replyText->focusPolicy(), Qt::ClickFocus);
    QVERIFY(ui->label->wordWrap());
    QCOMPARE(ui->hr2->frameShape(), QFrame::HLine);
    QCOMPARE(ui->hr3->frameShadow(), QFrame::Sunken);

    // The Dev Screen holds no parameter rows.
    const auto all = ui->devScreen->findChildren<QWidget*>();
    for (const QWidget* w : all)
        QVERIFY2(!w->property("address").isValid(), qPrintable(w->objectName()));
}

// ---------------------------------------------------------------- both pages

void TestMainWindowForm::pagesShowAndEnableTheirWidgets()
{
    for (QWidget* page : {ui->releaseScreen, ui->devScreen}) {
        const auto all = page->findChildren<QWidget*>();
        for (const QWidget* w : all) {
            // The form names every widget it makes; unnamed ones and "qt_"
            // ones are the toolkit's own parts, such as scroll bars.
            if (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                continue;
            QVERIFY2(w->isVisibleTo(page), qPrintable(w->objectName()));
            if (w != ui->doubleSpinBox_27 && !ui->doubleSpinBox_27->isAncestorOf(w))
                QVERIFY2(w->isEnabledTo(page), qPrintable(w->objectName()));
        }
    }
}

void TestMainWindowForm::tooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("label_faultTolerantHall")
        << "label_faultTolerantHall"
        << "<p>If Fault Tolerant Hall is set, the controller will try to intelligently work around up to two failing "
           "hall sensors. This only applies if the controller is configured to detect motor position using either "
           "\"Hall sensor only\" or \"Hall sensor start and sensorless run\".</p>";
    QTest::newRow("label_4")
        << "label_4"
        << "<p>The controller allows you to limit how quickly the output torque of the motor ramps up and down, which "
           "can be used to smooth out the throttle response so that there is less 'kick' when the motor "
           "engages.</p>\n<p>Shorter response times allow for a more responsive and faster feel, but that can also be "
           "perceived as jerky. If you have a V3 Ridemeter, we recommend leaving the torque ramps on the controller "
           "fast (&lt;100mS) and use the RM3's throttle output ramping to regulate the smoothness.</p>\n";
    QTest::newRow("label_13")
        << "label_13"
        << "<p>If the controller has any fault condition then the LED will go red and the list of faults will be "
           "shown in the text box. The Clear Faults button is necessary to reset the fault flags so that the "
           "controller will run again. If there are only warning conditions, then the LED will turn yellow and "
           "display the appropriate warning message.</p>\n";
    QTest::newRow("label_72")
        << "label_72"
        << "<p>This is the speed below which regenerative braking is shut off. When you do regenerative brkaing "
           "right to a full stop, the system switches to consuming energy from the battery rather than putting it "
           "back into the pack.</p>";
    QTest::newRow("RsLabel")
        << "RsLabel"
        << "<p>This is the resistance of one motor phase to neutral, so half the resistance you would measure from "
           "phase to phase.  It is normally discovered automatically via the autotune routine</p>";
    QTest::newRow("lowVoltVutEndLabel")
        << "lowVoltVutEndLabel" << "<p>This is the voltage below which there will be no power at all to the system.</p>";
    QTest::newRow("saveParamsBasic") << "saveParamsBasic" << "<p>Save all the modified settings to the controller</p>";
    QTest::newRow("label_12") << "label_12"
                              << "<p>This is the time period with no motion at which the motor is considered to have "
                                 "stalled and the controller stops injecting current.</p>";
    QTest::newRow("valueLabel")
        << "valueLabel"
        << "<p>This is the scaled value of the selected parameter. If you hit \"read\" then it will show the value "
           "currently stored on the controller. You can also edit this field and then hit \"save\" to change the "
           "value on the controller.</p>";
    QTest::newRow("serialNumLabel") << "serialNumLabel" << "<p>This is the Tamsett serial number of the controller.</p>";
    QTest::newRow("doubleSpinBox_33 empty") << "doubleSpinBox_33" << "";
    QTest::newRow("importDefaultsButton none") << "importDefaultsButton" << "";
    QTest::newRow("clearFaults none") << "clearFaults" << "";
}

void TestMainWindowForm::tooltips()
{
    QFETCH(QString, name);
    QFETCH(QString, tooltip);
    QWidget* w = widget(name);
    QVERIFY(w);
    QCOMPARE(w->toolTip(), tooltip);
}

void TestMainWindowForm::fonts()
{
    QCOMPARE(ui->displayParameters->font().pointSize(), 11);
    QCOMPARE(ui->devScreenWidget->font().pointSize(), 11);
    QCOMPARE(ui->label_55->font().pointSize(), 11);
    QCOMPARE(ui->label_55->font().family(), QString("Liberation Sans"));
    QCOMPARE(ui->readAll->font().pointSize(), 11);
    for (QWidget* w : {static_cast<QWidget*>(ui->faultText), static_cast<QWidget*>(ui->replyText)}) {
        QCOMPARE(w->font().family(), QString("Liberation Mono"));
        QCOMPARE(w->font().pointSize(), 11);
    }
    QVERIFY(ui->label_13->font().kerning());
}

// ---------------------------------------------------------------- focus chain

void TestMainWindowForm::focusChainOrder()
{
    QList<QWidget*> chain;
    for (const QString& name : focusChain) {
        if (QWidget* w = widget(name))
            chain << w;
    }
    QCOMPARE(chain.size(), focusChain.size());
    QCOMPARE(chain.first(), ui->tabWidget);
    QCOMPARE(chain.last(), ui->dashboardExportPlot);

    for (int i = 0; i + 1 < chain.size(); ++i) {
        QWidget* first = chain.at(i);
        QWidget* second = chain.at(i + 1);
        const QString pair = first->objectName() + " -> " + second->objectName();

        // The next member of the chain met after the first is the second.
        QWidget* next = first->nextInFocusChain();
        while (next != first && !chain.contains(next))
            next = next->nextInFocusChain();
        QVERIFY2(next == second, qPrintable(pair + ", met " + next->objectName()));

        // Nothing focusable stands between them apart from the first's own
        // parts. The tab widget is the exception: the toolkit puts its
        // follower behind all of its focusable descendants.
        if (first == ui->tabWidget)
            continue;
        next = first->nextInFocusChain();
        while (next != second && (first->isAncestorOf(next) || next->focusPolicy() == Qt::NoFocus))
            next = next->nextInFocusChain();
        QVERIFY2(next == second, qPrintable(pair + ", met " + next->objectName()));
    }
}

void TestMainWindowForm::tabKeyFollowsTheChain_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("Basic Setup") << 0 << "readAll" << "doubleSpinBox_9";
    QTest::newRow("Dev Screen") << 5 << "addressInput" << "pushButton";
}

void TestMainWindowForm::tabKeyFollowsTheChain()
{
    QFETCH(int, page);
    QFETCH(QString, from);
    QFETCH(QString, to);

    window->show();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    ui->tabWidget->setCurrentIndex(page);

    const int start = focusChain.indexOf(from);
    const QStringList expected = focusChain.mid(start, focusChain.indexOf(to) - start + 1);
    widget(from)->setFocus(Qt::TabFocusReason);
    QStringList visited = {QApplication::focusWidget()->objectName()};
    while (visited.size() < expected.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
