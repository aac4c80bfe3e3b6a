// The PAS Setup page without a controller: its tab and the level table.

#include "windowfixture.h"

#include <QAction>

using namespace WindowFixture;

class TestPasPage : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    Parameter* parameter(int address) const { return f.window->deviceModel()->getParameter(address); }
    QString column(const QString& name) const
    {
        QStringList texts;
        for (int row = 1; row <= 9; ++row)
            texts << f.find<QLabel>(name + QString::number(row))->text();
        return texts.join(',');
    }

private slots:
    void initTestCase()
    {
        f.window = std::make_unique<MainWindow>();
        f.window->initDraggableGraphs();
    }

    void tabFollowsRegister208AndTheMenu()
    {
        auto* tabs = f.find<QTabWidget>("tabWidget");
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), -1);
        parameter(208)->setValue(2);
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), 3);
        QVERIFY(f.find<QAction>("show_pas_tab")->isChecked());
        QCOMPARE(f.window->devIndex(), 5);
        parameter(208)->setValue(1);
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), 3);
        f.find<QAction>("show_pas_tab")->trigger();
        QCOMPARE(tabs->indexOf(f.find("pasScreen")), -1);
        QCOMPARE(f.window->dashboardIndex(), 3);
    }

    // Assist levels 1 and 2 are fractions of the limits; a limit of 0 leaves it empty.
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
        f.find<QComboBox>("numAssistLevels")->setCurrentText(levels);
        QTEST(column("level_l"), "numbers");
        QTEST(column("max_pwr_l"), "power");
        QTEST(column("max_pas_spd_l"), "pasSpeed");
        QCOMPARE(f.find<QLabel>("max_pas_pwr_l1")->text(), QString("0.1"));
    }
};

QTEST_MAIN(TestPasPage)
#include "tst_paspage.moc"
