// The fault display on the Basic Setup and Dashboard pages: lamp colours and
// list lines from the three status registers, and Clear Faults against the
// simulator.

#include "windowfixture.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QTabWidget>
#include <QTextEdit>

using namespace WindowFixture;

class TestFaultDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void lampsAndLists_data();
    void lampsAndLists();
    void clearFaults_data();
    void clearFaults();

private:
    QColor lamp(const char* view) const;

    Workspace workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
};

void TestFaultDisplay::initTestCase()
{
    simulator = startSimulator();
    QVERIFY(simulator);
    window = connectedWindow(simulator.get());
    QVERIFY(window);
}

QColor TestFaultDisplay::lamp(const char* view) const
{
    const auto items = window->findChild<QGraphicsView*>(view)->scene()->items();
    return static_cast<QGraphicsEllipseItem*>(items.value(0))->brush().color();
}

void TestFaultDisplay::lampsAndLists_data()
{
    QTest::addColumn<int>("faults");
    QTest::addColumn<int>("faults2");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("lines");
    QTest::newRow("all clear") << 0 << 0 << 0 << QColor(Qt::green) << "";
    QTest::newRow("a warning") << 0 << 0 << 0x80 << QColor(Qt::yellow)
                               << "Warnings[7]: Low Battery Voltage Foldback";
    QTest::newRow("fault and warning") << 0 << 1 << 2 << QColor(Qt::red)
                                       << "Faults2[0]: Parameter CRC Error\n"
                                          "Warnings[1]: Hall Sensor Warning";
    QTest::newRow("faults in bit order") << 0x24 << 0 << 0 << QColor(Qt::red)
                                         << "Faults[2]: Bad Current Sensor Calibration\n"
                                            "Faults[5]: Motor Hall Sensor Fault";
}

void TestFaultDisplay::lampsAndLists()
{
    QFETCH(int, faults);
    QFETCH(int, faults2);
    QFETCH(int, warnings);
    QFETCH(QColor, color);
    Kelvara* model = window->deviceModel();
    model->getParameter(258)->setRegisterValue(faults);
    model->getParameter(299)->setRegisterValue(faults2);
    model->getParameter(277)->setRegisterValue(warnings);
    QCOMPARE(lamp("faultIndicator"), color);
    QCOMPARE(lamp("dashboardFaultIndicator"), color);
    for (const char* list : {"faultText", "dashboardFaultText"})
        QTEST(window->findChild<QTextEdit*>(list)->toPlainText(), "lines");
    for (const char* button : {"clearFaults", "dashboardClearFaults"})
        QCOMPARE(window->findChild<QPushButton*>(button)->isEnabled(), faults || faults2);
}

void TestFaultDisplay::clearFaults_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("button");
    QTest::newRow("Basic Setup") << "releaseScreen" << "clearFaults";
    QTest::newRow("Dashboard") << "dashboardScreen" << "dashboardClearFaults";
}

// A write of 1 to register 508, then a read of the status registers; on the
// Dashboard the next poll waits a full interval.
void TestFaultDisplay::clearFaults()
{
    QFETCH(QString, page);
    QFETCH(QString, button);
    window->findChild<QTabWidget*>("tabWidget")->setCurrentWidget(window->findChild<QWidget*>(page));
    simulator->setRegisterValue(258, 0x20);
    window->link()->oneRead(258, 42);
    QTRY_COMPARE(lamp("faultIndicator"), QColor(Qt::red));
    QVERIFY(waitIdle(window.get()));
    simulator->clearLog();

    auto* refresh = window->findChild<QTimer*>("dashboardRefreshTimer");
    window->findChild<QPushButton*>(button)->click();
    QCOMPARE(refresh->isActive(), page == "dashboardScreen");
    QVERIFY(refresh->remainingTime() < 0 || refresh->remainingTime() > 300);
    QTRY_COMPARE(lamp("faultIndicator"), QColor(Qt::green));
    const auto writes = writeFrames(simulator->requests());
    QCOMPARE(writes, (QList<QPair<int, int>>{{508, 1}}));
    QCOMPARE(requestFrames(simulator->requests(), 3).value(0), qMakePair(258, 42));
    QVERIFY(window->findChild<QTextEdit*>("faultText")->toPlainText().isEmpty());
}

QTEST_MAIN(TestFaultDisplay)
#include "tst_faultdisplay.moc"
