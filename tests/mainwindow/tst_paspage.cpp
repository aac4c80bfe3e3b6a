// The PAS Setup page without a controller: the tab from register 208 and the
// menu, the layout by source and sensor, and the level table.

#include "windowfixture.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

class TestPasPage : public QObject
{
    Q_OBJECT
    Workspace workspace;
    std::unique_ptr<MainWindow> window;

    template<typename T = QWidget>
    T* find(const QString& name) const { return window->findChild<T*>(name); }
    Parameter* parameter(int address) const { return window->deviceModel()->getParameter(address); }
    QString column(const QString& name) const
    {
        QStringList texts;
        for (int row = 1; row <= 9; ++row)
            texts << find<QLabel>(name + QString::number(row))->text();
        return texts.join(',');
    }

private slots:
    void initTestCase()
    {
        qunsetenv("KELVARA_EXTRA_PORTS");
        window = std::make_unique<MainWindow>();
        window->initDraggableGraphs();
    }
    void cleanupTestCase() { window.reset(); }

    void tabFollowsRegister208AndTheMenu()
    {
        auto* tabs = find<QTabWidget>("tabWidget");
        QCOMPARE(tabs->indexOf(find("pasScreen")), -1);
        parameter(208)->setValue(2);
        QCOMPARE(tabs->indexOf(find("pasScreen")), 3);
        QVERIFY(find<QAction>("show_pas_tab")->isChecked());
        QCOMPARE(window->devIndex(), 5);
        parameter(208)->setValue(1);
        QCOMPARE(tabs->indexOf(find("pasScreen")), 3);
        find<QAction>("show_pas_tab")->trigger();
        QCOMPARE(tabs->indexOf(find("pasScreen")), -1);
        QCOMPARE(window->dashboardIndex(), 3);
    }

    void layoutFollowsSourceAndSensor_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("sensor");
        QTest::addColumn<QString>("hidden");
        QTest::addColumn<QString>("figure");
        QTest::newRow("pedal, axle torque")
            << 2 << 5 << "widget_16 pasConfigFrame pedal_torque_offset widget_84 pas_max_power widget_85 widget_82"
            << " X)";
        QTest::newRow("pedal, cadence")
            << 2 << 0 << "torqueSensorConfigFrame axle_torque_offset widget_84 widget_85 torque_pedalgain" << " W)";
    }
    void layoutFollowsSourceAndSensor()
    {
        QFETCH(int, source);
        QFETCH(int, sensor);
        QFETCH(QString, hidden);
        QFETCH(QString, figure);
        parameter(208)->setValue(source);
        parameter(211)->setValue(sensor);
        for (const char* name : {"widget_16", "pasConfigFrame", "torqueSensorConfigFrame", "pedal_torque_offset",
                                 "axle_torque_offset", "widget_84", "pas_max_power", "widget_85", "widget_82",
                                 "torque_pedalgain"})
            QVERIFY2(find(name)->isHidden() == hidden.split(' ').contains(name), name);
        QVERIFY(find<QDoubleSpinBox>("lowAssistPowerSpinbox")->suffix().endsWith(figure));
    }

    // Assist levels 1 and 2 are fractions of the power limits; a limit of 0
    // leaves its columns empty.
    void levelTable_data()
    {
        QTest::addColumn<QString>("levels");
        QTest::addColumn<double>("maxPower");
        QTest::addColumn<double>("maxSpeed");
        QTest::addColumn<QString>("numbers");
        QTest::addColumn<QString>("power");
        QTest::addColumn<QString>("pasSpeed");
        QTest::newRow("9 levels") << "9" << 1000.0 << 32.0 << "1,2,3,4,5,6,7,8,9"
                                  << "0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1.0" << "8,10,12,14,16,20,24,28,32";
        QTest::newRow("5 levels") << "5" << 1000.0 << 32.0 << "1,-,2,-,3,-,4,-,5" << "0.2,,0.4,,0.6,,0.8,,1.0"
                                  << "8,,12,,16,,24,,32";
        QTest::newRow("3 levels") << "3" << 1000.0 << 32.0 << "1,-,-,-,2,-,-,-,3" << "0.2,,,,0.6,,,,1.0"
                                  << "8,,,,16,,,,32";
        QTest::newRow("no power limit") << "3" << 0.0 << 32.0 << "1,-,-,-,2,-,-,-,3" << ",,,,,,,," << "8,,,,16,,,,32";
        QTest::newRow("no speed limit") << "3" << 1000.0 << 0.0 << "1,-,-,-,2,-,-,-,3" << "0.2,,,,0.6,,,,1.0"
                                        << ",,,,,,,,";
    }
    void levelTable()
    {
        QFETCH(QString, levels);
        QFETCH(double, maxPower);
        QFETCH(double, maxSpeed);
        const QMap<int, double> values = {{219, 0.2}, {245, 0.6}, {73, maxPower}, {122, 500},
                                          {241, 8},   {246, 16},  {229, maxSpeed}, {124, 32}};
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            parameter(it.key())->setValue(it.value());
        find<QComboBox>("numAssistLevels")->setCurrentText(levels);
        QTEST(column("level_l"), "numbers");
        QTEST(column("max_pwr_l"), "power");
        QTEST(column("max_pas_spd_l"), "pasSpeed");
        QCOMPARE(find<QLabel>("max_pas_pwr_l1")->text(), QString("0.1"));
    }

};

QTEST_MAIN(TestPasPage)
#include "tst_paspage.moc"
