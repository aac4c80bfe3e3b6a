// The Dashboard page of the main window's form: the rows the window's logic
// binds, the widgets it takes over by name, and what the user sees before
// any controller is read.

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGraphicsView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QTableWidget>
#include <QTextEdit>
#include <QtTest>

#include "formrows.h"
#include "qled.h"
#include "ui_mainwindow.h"

namespace {

using RowKey = FormRows::Key;

// Keyed by (address, bit); a later row of the same key replaces the earlier
// one, as in the window's map, so widgetsFound tells duplicates apart.
QMap<RowKey, QWidget*> findRows(QWidget* content, int* widgetsFound = nullptr)
{
    QMap<RowKey, QWidget*> rows;
    const auto found = FormRows::findRows(content);
    for (QWidget* row : found)
        rows.insert(FormRows::rowKey(row), row);
    if (widgetsFound)
        *widgetsFound = found.size();
    return rows;
}

const QStringList focusChain = {
    "doubleSpinBox_13", "comboBox_7", "doubleSpinBox_12", "comboBox_2",
    "doubleSpinBox_18", "comboBox_5", "doubleSpinBox_48", "comboBox_3",
    "doubleSpinBox_39", "comboBox_11", "doubleSpinBox_15", "comboBox_8",
    "doubleSpinBox_17", "comboBox_9", "doubleSpinBox_38", "comboBox_10",
    "doubleSpinBox_10", "comboBox_6", "dashboardStartStopButton",
    "clearGraphsButton", "dashboardExportPlot",
};

const QStringList valueSpinBoxes = {
    "doubleSpinBox_13", "doubleSpinBox_12", "doubleSpinBox_18", "doubleSpinBox_48",
    "doubleSpinBox_75", "doubleSpinBox_39", "doubleSpinBox_15", "doubleSpinBox_45",
    "doubleSpinBox_17", "doubleSpinBox_38", "doubleSpinBox_10", "doubleSpinBox_35",
};

const QStringList plotChoosers = {
    "comboBox_7", "comboBox_2", "comboBox_5", "comboBox_3", "comboBox_31", "comboBox_11",
    "comboBox_8", "comboBox_13", "comboBox_9", "comboBox_10", "comboBox_6", "comboBox_12",
};

const QStringList lamps = {
    "widget_47", "widget_pas2_led", "widget_wheelspeed_led", "widget_hallLED3",
    "widget_hallLED2", "widget_hallLED1", "widget_43", "widget_38", "widget_40", "widget_12",
};

} // namespace

class TestDashboardForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageIsTheFifthTab();
    void rows_data();
    void rows();
    void rowKeysAreUnique();
    void throttleLampAddressIsSetByTextSetter();
    void onlyContainersWithAddressAreRows();
    void initialStates();
    void nothingOnThePageIsDisabled();
    void sizeLimits();
    void laidOutSizes();
    void hiddenMotorTemperatureTakesNoRoom();
    void fonts();
    void texts_data();
    void texts();
    void tooltips_data();
    void tooltips();
    void tooltipsSitOnLabels();
    void focusChainOrder();

private:
    template<typename T = QWidget>
    T* find(const QString& name) const
    {
        T* widget = window->findChild<T*>(name);
        if (!widget)
            qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return widget;
    }

    QMainWindow* window = nullptr;
    Ui_MainWindow* ui = nullptr;
};

void TestDashboardForm::init()
{
    window = new QMainWindow;
    ui = new Ui_MainWindow;
    ui->setupUi(window);
}

void TestDashboardForm::cleanup()
{
    delete ui;
    delete window;
    ui = nullptr;
    window = nullptr;
}

void TestDashboardForm::pageIsTheFifthTab()
{
    QCOMPARE(ui->tabWidget->count(), 6);
    QCOMPARE(ui->tabWidget->indexOf(ui->dashboardScreen), 4);
    QCOMPARE(ui->tabWidget->tabText(4), QString("Dashboard"));
    QCOMPARE(ui->tabWidget->currentIndex(), 0);
    QVERIFY(ui->dashboardScreen->isAncestorOf(ui->dashboardParameters));
    QCOMPARE(ui->dashboardPlot->parentWidget(), ui->scrollAreaWidgetContents_3);
    QCOMPARE(ui->scrollArea_3->widget(), ui->scrollAreaWidgetContents_3);
    QCOMPARE(ui->gridLayout->itemAtPosition(1, 0)->widget(), ui->frame_2);
    QCOMPARE(ui->gridLayout->itemAtPosition(1, 1)->widget(), ui->widget_14);
    QVERIFY(!ui->gridLayout->itemAtPosition(0, 0));
}

void TestDashboardForm::rows_data()
{
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("holder");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("chooser");

    auto value = [](const char* container, const char* holder, int address, const char* label,
                     const char* text, const char* spin, const char* combo) {
        QTest::newRow(container) << container << holder << address << -1 << label << text
                                 << spin << combo;
    };
    auto lamp = [](const char* container, const char* holder, int address, int bit,
                   const char* led, const char* label, const char* text) {
        QTest::newRow(container) << container << holder << address << bit << label << text
                                 << led << QString();
    };

    value("dashboardBatteryVoltage", "frame_2", 265, "label_18", "Battery Voltage",
          "doubleSpinBox_13", "comboBox_7");
    value("dashboardBatteryCurrent", "frame_2", 266, "label_17", "Battery Current",
          "doubleSpinBox_12", "comboBox_2");
    value("dashboardMotorCurrent", "frame_2", 262, "label_41", "Motor Current",
          "doubleSpinBox_18", "comboBox_5");
    value("widget_22", "frame_2", 259, "label_64", "Controller Temperature",
          "doubleSpinBox_48", "comboBox_3");
    value("dashboardMotorTemperature", "frame_2", 261, "label_motortemp", "Motor Temperature",
          "doubleSpinBox_75", "comboBox_31");
    lamp("widget_41", "widget_manual2", 276, 3, "widget_47", "label_59", "PAS");
    lamp("widget_pas2", "verticalFrame_digital_2", 276, 4, "widget_pas2_led", "label_pas2",
         "PAS 2");
    lamp("widget_wheelspeed", "verticalFrame_digital_2", 276, 6, "widget_wheelspeed_led",
         "label_wheelspeed_digital", "Wheel Speed Sensor");
    lamp("widget_hall3", "verticalFrame", 276, 2, "widget_hallLED3", "label_hall3", "Blue Hall");
    lamp("widget_hall2", "verticalFrame", 276, 1, "widget_hallLED2", "label_hall2",
         "Yellow Hall");
    lamp("widget_hall1", "verticalFrame", 276, 0, "widget_hallLED1", "label_hall1",
         "Green Hall");
    lamp("widget_42", "verticalFrame_2", 327, 7, "widget_43", "label_54", "Throttle");
    lamp("widget_37", "verticalFrame_2", 327, 0, "widget_38", "label_52", "Brake");
    lamp("widget_39", "verticalFrame_2", 327, 4, "widget_40", "label_53", "Regen");
    lamp("widget_6", "verticalFrame_2", 327, 8, "widget_12", "label_36", "Reverse");
    value("dashboardAnalog1Voltage", "frame_3", 270, "label_analog_1", "Throttle Voltage",
          "doubleSpinBox_39", "comboBox_11");
    value("dashboardThrottleSetpoint", "frame_3", 325, "label_20", "Throttle Setpoint",
          "doubleSpinBox_15", "comboBox_8");
    value("dashboardAnalog2Voltage", "frame_3", 271, "label_analog_2", "Brake 1 Voltage",
          "doubleSpinBox_45", "comboBox_13");
    value("dashboardAnalog3Voltage", "frame_3", 272, "label_analog_3", "Brake 2 Voltage",
          "doubleSpinBox_17", "comboBox_9");
    value("dashboardMotorRPM", "frame_3", 263, "label_39", "Motor RPM",
          "doubleSpinBox_38", "comboBox_10");
    value("dashboardVehicleSpeed", "frame_3", 260, "label_15", "Vehicle Speed",
          "doubleSpinBox_10", "comboBox_6");
    value("dashboardVehicleSpeed_2", "frame_3", 331, "label_58", "Pedal Speed",
          "doubleSpinBox_35", "comboBox_12");
}

void TestDashboardForm::rows()
{
    QFETCH(QString, container);
    QFETCH(QString, holder);
    QFETCH(int, address);
    QFETCH(int, bit);
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(QString, editor);
    QFETCH(QString, chooser);

    const auto rows = findRows(ui->dashboardParameters);
    QWidget* row = rows.value(RowKey(address, bit));
    QVERIFY2(row, "no row under the key");
    QCOMPARE(row->objectName(), container);
    QCOMPARE(QString(row->metaObject()->className()), QString("QWidget"));
    QCOMPARE(row->parentWidget(), find(holder));

    // The window relabels the first label it finds below the row.
    QLabel* rowLabel = row->findChild<QLabel*>();
    QVERIFY(rowLabel);
    QCOMPARE(rowLabel->objectName(), label);
    QCOMPARE(rowLabel->text(), text);

    auto* layout = qobject_cast<QHBoxLayout*>(row->layout());
    QVERIFY(layout);
    QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(layout->spacing(), 6);
    if (chooser.isEmpty()) {
        // Lamp row: the lamp stands before its label.
        QCOMPARE(layout->count(), 2);
        auto* led = qobject_cast<QLed*>(layout->itemAt(0)->widget());
        QVERIFY(led);
        QCOMPARE(led->objectName(), editor);
        QCOMPARE(led->parentWidget(), row);
        QCOMPARE(layout->itemAt(1)->widget(), rowLabel);
        QVERIFY(!row->findChild<QDoubleSpinBox*>());
        QVERIFY(!row->findChild<QComboBox*>());
    } else {
        QCOMPARE(layout->count(), 3);
        QCOMPARE(layout->itemAt(0)->widget(), rowLabel);
        auto* spin = qobject_cast<QDoubleSpinBox*>(layout->itemAt(1)->widget());
        QVERIFY(spin);
        QCOMPARE(spin->objectName(), editor);
        auto* combo = qobject_cast<QComboBox*>(layout->itemAt(2)->widget());
        QVERIFY(combo);
        QCOMPARE(combo->objectName(), chooser);
        QVERIFY(!row->findChild<QLed*>());
    }
}

void TestDashboardForm::rowKeysAreUnique()
{
    int widgets = 0;
    const auto rows = findRows(ui->dashboardParameters, &widgets);
    QCOMPARE(widgets, 22);
    QCOMPARE(rows.size(), 22);

    int lampRows = 0;
    for (QWidget* row : rows)
        lampRows += row->property("bit").isValid() ? 1 : 0;
    QCOMPARE(lampRows, 10);
}

void TestDashboardForm::throttleLampAddressIsSetByTextSetter()
{
    const QVariant address = ui->widget_42->property("address");
    QCOMPARE(address.userType(), int(QMetaType::QString));
    QCOMPARE(address.toString(), QString("327"));
    QCOMPARE(ui->widget_42->property("bit"), QVariant(7));

    // The property is a text of the form: running the text setter again
    // restores it, and the row is read as the integer 327 like its neighbours.
    ui->widget_42->setProperty("address", QVariant());
    QVERIFY(!findRows(ui->dashboardParameters).contains(RowKey(327, 7)));
    ui->retranslateUi(window);
    QCOMPARE(findRows(ui->dashboardParameters).value(RowKey(327, 7)), ui->widget_42);

    for (QWidget* row : {ui->widget_37, ui->widget_39, ui->widget_6})
        QCOMPARE(row->property("address").userType(), int(QMetaType::Int));
}

void TestDashboardForm::onlyContainersWithAddressAreRows()
{
    QVERIFY(!ui->widget_manual2->property("address").isValid());
    QVERIFY(!ui->widget_manual2->property("bit").isValid());
    QCOMPARE(ui->widget_41->parentWidget(), ui->widget_manual2);

    // A widget carrying only "bit" is no row.
    ui->widget_manual2->setProperty("bit", 5);
    QCOMPARE(findRows(ui->dashboardParameters).size(), 22);
}

void TestDashboardForm::initialStates()
{
    QVERIFY(ui->dashboardMotorTemperature->isHidden());
    for (QWidget* row : findRows(ui->dashboardParameters)) {
        if (row != ui->dashboardMotorTemperature)
            QVERIFY2(!row->isHidden(), qPrintable(row->objectName()));
    }

    for (const QString& name : valueSpinBoxes) {
        auto* spin = find<QDoubleSpinBox>(name);
        QVERIFY2(spin->isReadOnly(), qPrintable(name));
        QCOMPARE(spin->buttonSymbols(), QAbstractSpinBox::NoButtons);
        QCOMPARE(spin->value(), 0.0);
        QCOMPARE(spin->maximum(), 99.99);
        const bool temperature = name == "doubleSpinBox_48" || name == "doubleSpinBox_75";
        QCOMPARE(spin->minimum(), temperature ? -99.0 : 0.0);
    }
    for (const QString& name : plotChoosers)
        QCOMPARE(find<QComboBox>(name)->count(), 0);

    QCOMPARE(ui->hallTableWidget->rowCount(), 0);
    QCOMPARE(ui->hallTableWidget->columnCount(), 0);
    QVERIFY(ui->dashboardFaultText->isReadOnly());
    QVERIFY(ui->dashboardFaultText->toPlainText().isEmpty());
    QVERIFY(ui->dashboardFaultIndicator->inherits("QGraphicsView"));
    QVERIFY(!ui->dashboardFaultIndicator->scene());
    QVERIFY(ui->dashboardPlot->inherits("QCustomPlot"));

    QCOMPARE(ui->scrollArea_3->focusPolicy(), Qt::NoFocus);
    QVERIFY(ui->scrollArea_3->widgetResizable());
    QCOMPARE(ui->scrollArea_3->frameShape(), QFrame::NoFrame);
    QCOMPARE(ui->dashboardFaultIndicator->focusPolicy(), Qt::NoFocus);
    QCOMPARE(ui->dashboardClearFaults->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(ui->dashboardFaultText->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(ui->gridLayout->sizeConstraint(), QLayout::SetMinimumSize);
    QCOMPARE(ui->hallTableWidget->styleSheet(),
             QString("QTableView::item\n{\nfont-size: 9px;\n}"));
}

void TestDashboardForm::nothingOnThePageIsDisabled()
{
    const auto widgets = ui->dashboardScreen->findChildren<QWidget*>();
    for (QWidget* widget : widgets)
        QVERIFY2(widget->isEnabledTo(ui->dashboardScreen), qPrintable(widget->objectName()));
}

void TestDashboardForm::sizeLimits()
{
    for (const QString& name : valueSpinBoxes) {
        auto* spin = find<QDoubleSpinBox>(name);
        QCOMPARE(spin->minimumWidth(), 117);
        QCOMPARE(spin->maximumWidth(), 140);
    }
    for (const QString& name : plotChoosers) {
        auto* combo = find<QComboBox>(name);
        QCOMPARE(combo->minimumWidth(), name == "comboBox_11" ? 100 : 90);
        QCOMPARE(combo->maximumWidth(), 110);
    }
    for (const QString& name : lamps) {
        auto* led = find<QLed>(name);
        QCOMPARE(led->minimumSize(), QSize(20, 20));
        QCOMPARE(led->maximumSize(), QSize(20, 20));
    }
    QCOMPARE(ui->dashboardFaultIndicator->minimumSize(), QSize(30, 30));
    QCOMPARE(ui->dashboardFaultIndicator->maximumSize(), QSize(30, 30));
    QCOMPARE(ui->dashboardFaultIndicator->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(ui->dashboardFaultText->minimumHeight(), 50);
    QCOMPARE(ui->dashboardFaultText->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(ui->dashboardPlot->minimumHeight(), 350);
    QCOMPARE(ui->dashboardStartStopButton->maximumWidth(), 221);
    QCOMPARE(ui->clearGraphsButton->maximumWidth(), 221);
    // Minimum above maximum on purpose: the minimum wins.
    QCOMPARE(ui->dashboardExportPlot->minimumWidth(), 221);
    QCOMPARE(ui->dashboardExportPlot->maximumWidth(), 196);
    QCOMPARE(ui->horizontalLayout_46->contentsMargins(), QMargins(0, 0, 0, 15));
    QCOMPARE(ui->horizontalLayout_53->contentsMargins(), QMargins(6, 0, 0, 0));
}

void TestDashboardForm::laidOutSizes()
{
    window->show();
    ui->tabWidget->setCurrentWidget(ui->dashboardScreen);
    QVERIFY(QTest::qWaitForWindowExposed(window));

    QCOMPARE(ui->dashboardExportPlot->width(), 221);
    for (const QString& name : lamps)
        QCOMPARE(find<QLed>(name)->size(), QSize(20, 20));
    QCOMPARE(ui->dashboardFaultIndicator->size(), QSize(30, 30));
    QVERIFY(ui->dashboardPlot->height() >= 350);
}

void TestDashboardForm::hiddenMotorTemperatureTakesNoRoom()
{
    window->show();
    ui->tabWidget->setCurrentWidget(ui->dashboardScreen);
    QVERIFY(QTest::qWaitForWindowExposed(window));

    const int spacing = ui->verticalLayout_11->spacing();
    QCOMPARE(ui->line1->geometry().top(), ui->widget_22->geometry().bottom() + 1 + spacing);

    ui->dashboardMotorTemperature->show();
    QTRY_COMPARE(ui->line1->geometry().top(),
                 ui->dashboardMotorTemperature->geometry().bottom() + 1 + spacing);
}

void TestDashboardForm::fonts()
{
    QCOMPARE(ui->dashboardParameters->font().pointSize(), 11);
    QCOMPARE(ui->label_18->font().pointSize(), 11);
    QCOMPARE(ui->label_hallTitle->font().pointSize(), 12);
    QCOMPARE(ui->label_37->font().pointSize(), 12);
    QCOMPARE(ui->label_63->font().pointSize(), 12);
    QVERIFY(ui->label_63->font().underline());
    QCOMPARE(ui->hallTableWidget->font().pointSize(), 9);
    QCOMPARE(ui->dashboardFaultText->font().family(), QString("Liberation Mono"));
    QCOMPARE(ui->dashboardFaultText->font().pointSize(), 11);
}

void TestDashboardForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    QTest::newRow("hall title") << "label_hallTitle" << " Digital Signals: ";
    QTest::newRow("flags title") << "label_37" << "Ebike Flags: ";
    QTest::newRow("faults title") << "label_63" << "Faults";
    QTest::newRow("clear faults") << "dashboardClearFaults" << "Clear Faults";
    QTest::newRow("start/stop") << "dashboardStartStopButton" << "Start/Stop Graph";
    QTest::newRow("reset") << "clearGraphsButton" << "Reset Graph";
    QTest::newRow("export") << "dashboardExportPlot" << "Export Graph Data";
}

void TestDashboardForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);

    QWidget* widget = find(name);
    QCOMPARE(widget->property("text").toString(), text);
}

void TestDashboardForm::tooltips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tip");

    QTest::newRow("label_17") << "label_17"
        << QString::fromUtf8("<p>This is a real-time display of the battery current that the controller calculates to be flowing out of the battery pack. You can choose to plot this current on one of the graph axis with the drop down selector beside it. </p>");
    QTest::newRow("label_64") << "label_64"
        << QString::fromUtf8("<p>This is the measured internal temperature of the controller's circuit board. As the controller approaches 90°C it will go into thermal rollback and automatically limit the output phase current. You can choose to plot this controller temperature on one of the graph axis with the drop down selector beside it and monitor how the controller heats up under use.</p>");
    QTest::newRow("label_hallTitle") << "label_hallTitle"
        << QString::fromUtf8("<p>This shows the state of several digital signals, including the three Hall Signal lines on the controller. An ON LED indicates 5V and an OFF LED indicates 0V. When plugged into a motor, the 3 Hall signals should each toggle on and off as the wheel is turned.</p>");
    QTest::newRow("label_54") << "label_54"
        << QString::fromUtf8("<p>This indicator will turn green when the controller believes that the throttle signal is active, i.e. when it's higher than the Throttle Low Voltage Reading.</p>");
    QTest::newRow("label_36") << "label_36"
        << QString::fromUtf8("<p>This indicator will turn green when the controller is running in reverse mode as a result of the Fwd/Rev input wire (brown cable under the throttle cable sheath) being shorted to Ground.</p>");
    QTest::newRow("label_20") << "label_20"
        << QString::fromUtf8("<p>This is the throttle voltage but scaled into a 0%-100% range as based on the throttle map. 0% means that the controller is putting out no torque, while 100% is commanding the maximum phase current and motor torque. This scaled signal can also be plotted on one of the graph axes.</p>");
    QTest::newRow("label_63") << "label_63"
        << QString::fromUtf8("<p>If the controller has any fault condition then the LED will go red and the list of faults will be shown in the text box. The Clear Faults button is necessary to reset the fault flags so that the controller will run again. If there are only warning conditions, then the LED will turn yellow and display the appropriate warning message.</p>");
    QTest::newRow("dashboardExportPlot") << "dashboardExportPlot"
        << QString::fromUtf8("<p>This will export all the data in the current graph to a .csv format file so that you can open and analyze it in a spreadsheet or other application.</p>");
    QTest::newRow("clear faults has none") << "dashboardClearFaults" << QString();
}

void TestDashboardForm::tooltips()
{
    QFETCH(QString, name);
    QFETCH(QString, tip);

    QCOMPARE(find(name)->toolTip(), tip);
}

void TestDashboardForm::tooltipsSitOnLabels()
{
    const auto rows = findRows(ui->dashboardParameters);
    for (QWidget* row : rows) {
        QVERIFY2(row->toolTip().isEmpty(), qPrintable(row->objectName()));
        QVERIFY2(row->findChild<QLabel*>()->toolTip().startsWith("<p>"),
                 qPrintable(row->objectName()));
        for (QWidget* child : row->findChildren<QWidget*>()) {
            if (!qobject_cast<QLabel*>(child))
                QVERIFY2(child->toolTip().isEmpty(), qPrintable(child->objectName()));
        }
    }
}

void TestDashboardForm::focusChainOrder()
{
    // Walking the chain meets the members in the given order; between two
    // neighbours stands nothing that Tab could stop at, apart from the inner
    // parts of the first (a spin box's line edit).
    QWidget* const start = find(focusChain.first());
    QWidget* previous = start;
    int next = 1;
    for (QWidget* w = start->nextInFocusChain(); w != start && next < focusChain.size();
         w = w->nextInFocusChain()) {
        if (w->objectName() == focusChain.at(next)) {
            previous = w;
            ++next;
            continue;
        }
        const bool tabStop = (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus;
        QVERIFY2(!tabStop || previous->isAncestorOf(w),
                 qPrintable(QString("%1 stands between %2 and %3")
                                .arg(w->objectName(), previous->objectName(),
                                     focusChain.at(next))));
    }
    QCOMPARE(next, focusChain.size());
}

QTEST_MAIN(TestDashboardForm)
#include "tst_dashboardform.moc"
