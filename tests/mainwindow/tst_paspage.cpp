// The PAS Setup page without a controller: the tab from register 208 and the
// menu, the layout by control source and sensor type, the per-level table
// for 3, 5 and 9 levels and with limits at 0, and the KM5S box.

#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

class TestPasPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void tabFollowsRegister208AndTheMenu();
    void layoutFollowsSourceAndSensor_data();
    void layoutFollowsSourceAndSensor();
    void levelTable_data();
    void levelTable();
    void km5sBoxFollowsItsRegisters();

private:
    void set(int address, double value) { window->deviceModel()->getParameter(address)->setValue(value); }
    QString column(const char* name) const;

    Workspace workspace;
    std::unique_ptr<MainWindow> window;
};

void TestPasPage::initTestCase()
{
    qunsetenv("KELVARA_EXTRA_PORTS");
    window = std::make_unique<MainWindow>();
    window->initDraggableGraphs();
}

// The nine labels of a table column, joined by ",".
QString TestPasPage::column(const char* name) const
{
    QStringList texts;
    for (int row = 1; row <= 9; ++row)
        texts << window->findChild<QLabel*>(name + QString::number(row))->text();
    return texts.join(',');
}

void TestPasPage::tabFollowsRegister208AndTheMenu()
{
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    auto* action = window->findChild<QAction*>("show_pas_tab");
    QWidget* pas = window->findChild<QWidget*>("pasScreen");
    QCOMPARE(tabs->indexOf(pas), -1);
    set(208, 2);
    QCOMPARE(tabs->indexOf(pas), 3);
    QVERIFY(action->isChecked());
    QCOMPARE(window->dashboardIndex(), 4);
    QCOMPARE(window->devIndex(), 5);
    set(208, 1);
    QCOMPARE(tabs->indexOf(pas), 3);

    action->trigger();
    QCOMPARE(tabs->indexOf(pas), -1);
    QCOMPARE(window->dashboardIndex(), 3);
    action->trigger();
    QCOMPARE(tabs->indexOf(pas), 3);
    QCOMPARE(tabs->tabText(3), QString("PAS Setup"));
}

void TestPasPage::layoutFollowsSourceAndSensor_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("hidden");
    QTest::addColumn<QString>("figure");
    QTest::newRow("throttle") << 1 << 5 << "pasConfigFrame pedal_torque_offset" << " X)";
    QTest::newRow("pedal, axle torque")
        << 2 << 5 << "widget_16 pasConfigFrame pedal_torque_offset widget_84 pas_max_power widget_85 widget_82"
        << " X)";
    QTest::newRow("pedal, cadence") << 2 << 0
                                    << "torqueSensorConfigFrame axle_torque_offset widget_84 widget_85 torque_pedalgain"
                                    << " W)";
}

void TestPasPage::layoutFollowsSourceAndSensor()
{
    QFETCH(int, source);
    QFETCH(int, sensor);
    QFETCH(QString, hidden);
    QFETCH(QString, figure);
    set(208, source);
    set(211, sensor);
    for (const char* name : {"widget_16", "pasConfigFrame", "torqueSensorConfigFrame", "pedal_torque_offset",
                             "axle_torque_offset", "widget_84", "pas_max_power", "widget_85", "widget_82",
                             "torque_pedalgain"})
        QVERIFY2(window->findChild<QWidget*>(name)->isHidden() == hidden.split(' ').contains(name), name);
    QVERIFY(window->findChild<QDoubleSpinBox*>("lowAssistPowerSpinbox")->suffix().endsWith(figure));
}

void TestPasPage::levelTable_data()
{
    QTest::addColumn<QString>("levels");
    QTest::addColumn<double>("maxPower");
    QTest::addColumn<double>("maxSpeed");
    QTest::addColumn<QString>("numbers");
    QTest::addColumn<QString>("power");
    QTest::addColumn<QString>("pasSpeed");
    QTest::newRow("9 levels") << "9" << 1000.0 << 32.0 << "1,2,3,4,5,6,7,8,9"
                              << "0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1.0" << "8,10,12,14,16,20,24,28,32";
    QTest::newRow("5 levels") << "5" << 1000.0 << 32.0 << "1,-,2,-,3,-,4,-,5"
                              << "0.2,,0.4,,0.6,,0.8,,1.0" << "8,,12,,16,,24,,32";
    QTest::newRow("3 levels") << "3" << 1000.0 << 32.0 << "1,-,-,-,2,-,-,-,3" << "0.2,,,,0.6,,,,1.0"
                              << "8,,,,16,,,,32";
    QTest::newRow("no power limit") << "3" << 0.0 << 32.0 << "1,-,-,-,2,-,-,-,3" << ",,,,,,,,"
                                    << "8,,,,16,,,,32";
    QTest::newRow("no speed limit") << "3" << 1000.0 << 0.0 << "1,-,-,-,2,-,-,-,3" << "0.2,,,,0.6,,,,1.0"
                                    << ",,,,,,,,";
}

// Assist levels 1 and 2 are fractions of the power limits.
void TestPasPage::levelTable()
{
    QFETCH(QString, levels);
    QFETCH(double, maxPower);
    QFETCH(double, maxSpeed);
    set(219, 0.2);
    set(245, 0.6);
    set(73, maxPower);
    set(122, 500);
    set(241, 8);
    set(246, 16);
    set(229, maxSpeed);
    set(124, 32);
    window->findChild<QComboBox*>("numAssistLevels")->setCurrentText(levels);
    QTEST(column("level_l"), "numbers");
    QTEST(column("max_pwr_l"), "power");
    QTEST(column("max_pas_spd_l"), "pasSpeed");
    QCOMPARE(window->findChild<QLabel*>("max_pas_pwr_l1")->text(), QString("0.1"));
    QCOMPARE(window->findChild<QLabel*>("level_l2")->isEnabled(), levels == "9");
}

void TestPasPage::km5sBoxFollowsItsRegisters()
{
    Kelvara* model = window->deviceModel();
    auto* box = window->findChild<QCheckBox*>("usingKM5S");
    box->setChecked(true);
    QCOMPARE(model->getParameter(210)->getRegisterValue(), 2);
    QCOMPARE(model->getParameter(66)->getRegisterValue(), 8);
    QVERIFY(model->getParameter(212)->getRegisterValue() & 0x8000);
    model->getParameter(66)->setRegisterValue(0);
    QVERIFY(!box->isChecked());
    QCOMPARE(model->getParameter(210)->getRegisterValue(), 2);
}

QTEST_MAIN(TestPasPage)
#include "tst_paspage.moc"
