// The fault display of both pages: lamps, lists and Clear Faults.

#include "windowfixture.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsView>
#include <QTextEdit>

using namespace WindowFixture;

class TestFaultDisplay : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    QColor lamp(const char* view) const
    {
        const auto items = f.find<QGraphicsView>(view)->scene()->items();
        return static_cast<QGraphicsEllipseItem*>(items.value(0))->brush().color();
    }

private slots:
    void initTestCase() { QVERIFY(f.start()); }

    void lampsAndLists_data()
    {
        QTest::addColumn<QList<int>>("registers"); // 258, 299, 277
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QString>("lines");
        QTest::newRow("all clear") << QList<int>{0, 0, 0} << QColor(Qt::green) << "";
        QTest::newRow("a warning") << QList<int>{0, 0, 0x80} << QColor(Qt::yellow)
                                   << "Warnings[7]: Low Battery Voltage Foldback";
        QTest::newRow("fault and warning") << QList<int>{0, 1, 2} << QColor(Qt::red)
                                           << "Faults2[0]: Parameter CRC Error\nWarnings[1]: Hall Sensor Warning";
        QTest::newRow("faults in bit order") << QList<int>{0x24, 0, 0} << QColor(Qt::red)
                                             << "Faults[2]: Bad Current Sensor Calibration\n"
                                                "Faults[5]: Motor Hall Sensor Fault";
    }
    void lampsAndLists()
    {
        QFETCH(QList<int>, registers);
        QFETCH(QColor, color);
        for (int i = 0; i < 3; ++i)
            f.window->deviceModel()->getParameter(QList<int>{258, 299, 277}.at(i))->setRegisterValue(registers.at(i));
        QCOMPARE(lamp("faultIndicator"), color);
        QCOMPARE(lamp("dashboardFaultIndicator"), color);
        for (const char* list : {"faultText", "dashboardFaultText"})
            QTEST(f.find<QTextEdit>(list)->toPlainText(), "lines");
        for (const char* button : {"clearFaults", "dashboardClearFaults"})
            QCOMPARE(f.find(button)->isEnabled(), registers.at(0) || registers.at(1));
    }

    // 1 written to register 508; on the Dashboard the next poll waits.
    void clearFaults_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("button");
        QTest::newRow("Basic Setup") << "releaseScreen" << "clearFaults";
        QTest::newRow("Dashboard") << "dashboardScreen" << "dashboardClearFaults";
    }
    void clearFaults()
    {
        QFETCH(QString, page);
        QFETCH(QString, button);
        f.showPage(page);
        f.simulator->setRegisterValue(258, 0x20);
        f.window->link()->oneRead(258, 42);
        QTRY_COMPARE(lamp("faultIndicator"), QColor(Qt::red));
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();

        auto* refresh = f.find<QTimer>("dashboardRefreshTimer");
        f.find<QPushButton>(button)->click();
        QCOMPARE(refresh->isActive(), page == "dashboardScreen");
        QVERIFY(refresh->remainingTime() < 0 || refresh->remainingTime() > 300);
        QTRY_COMPARE(lamp("faultIndicator"), QColor(Qt::green));
        QCOMPARE(writeFrames(f.simulator->requests()), (QList<QPair<int, int>>{{508, 1}}));
    }
};

QTEST_MAIN(TestFaultDisplay)
#include "tst_faultdisplay.moc"
