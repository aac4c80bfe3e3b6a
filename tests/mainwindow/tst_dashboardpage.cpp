// The Dashboard page against the simulator: the live status block is polled
// only while the page is shown (also when a tab in front of it goes), the
// analog inputs are named by their use, the hall lamps follow register 276
// and the page switches the file and autotune actions.

#include "qled.h"
#include "windowfixture.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QTabWidget>

using namespace WindowFixture;

class TestDashboardPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void pollsOnlyWhileShown();
    void pollingGoesOnWhenATabInFrontGoes();
    void analogInputsAreNamedByTheirUse_data();
    void analogInputsAreNamedByTheirUse();
    void hallLamps_data();
    void hallLamps();
    void actionsNeedAControllerOffThePage();

private:
    int polls() const { return requestFrames(simulator->requests(), 3).count(qMakePair(258, 74)); }
    void show(const char* page) { tabs->setCurrentWidget(window->findChild<QWidget*>(page)); }

    Workspace workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
    QTabWidget* tabs = nullptr;
};

void TestDashboardPage::initTestCase()
{
    simulator = startSimulator();
    QVERIFY(simulator);
    window = connectedWindow(simulator.get());
    QVERIFY(window);
    tabs = window->findChild<QTabWidget*>("tabWidget");
}

void TestDashboardPage::pollsOnlyWhileShown()
{
    simulator->clearLog();
    show("dashboardScreen");
    QTRY_VERIFY(polls() >= 2);
    simulator->setRegisterValue(263, 3000);
    Parameter* rpm = window->deviceModel()->getParameter(263);
    QTRY_COMPARE(rpm->getRegisterValue(), 3000);
    auto* box = window->findChild<QWidget*>("dashboardMotorRPM")->findChild<QDoubleSpinBox*>();
    QTRY_COMPARE(box->value(), rpm->getValue());

    show("releaseScreen");
    QVERIFY(waitIdle(window.get()));
    simulator->clearLog();
    QTest::qWait(800); // two polling intervals
    QCOMPARE(polls(), 0);
}

void TestDashboardPage::pollingGoesOnWhenATabInFrontGoes()
{
    show("dashboardScreen");
    simulator->setRegisterValue(256, 5800); // a type without the Temperature page
    QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
    window->onReadAllClicked();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 8000);
    QCOMPARE(tabs->indexOf(window->findChild<QWidget*>("temperatureScreen")), -1);
    QCOMPARE(window->dashboardIndex(), 2);
    simulator->clearLog();
    QTRY_VERIFY(polls() >= 2);

    simulator->setRegisterValue(256, 5921);
    window->onReadAllClicked();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 4, 8000);
    QCOMPARE(tabs->indexOf(window->findChild<QWidget*>("temperatureScreen")), 2);
    QCOMPARE(tabs->currentWidget(), window->findChild<QWidget*>("dashboardScreen"));
    show("releaseScreen");
}

void TestDashboardPage::analogInputsAreNamedByTheirUse_data()
{
    QTest::addColumn<int>("throttle");
    QTest::addColumn<int>("brake");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("throttle on 1, brake on 2")
        << 0 << 1 << QStringList{"Throttle Voltage", "Brake Voltage", "-Analog Input 3 (Brk2) Voltage"};
    QTest::newRow("both on 3") << 2 << 0
                               << QStringList{"-Analog Input 1 (Thrt) Voltage",
                                              "-Analog Input 2 (Brk1) Voltage",
                                              "Throttle and Brake Voltage"};
}

// "-" marks a hidden row, taken off the plot.
void TestDashboardPage::analogInputsAreNamedByTheirUse()
{
    QFETCH(int, throttle);
    QFETCH(int, brake);
    QFETCH(QStringList, names);
    window->deviceModel()->getParameter(247)->setRegisterValue(throttle);
    window->deviceModel()->getParameter(249)->setRegisterValue(brake);
    window->updateDashboardUI();
    for (int input = 0; input < 3; ++input) {
        auto* row = window->findChild<QWidget*>(QString("dashboardAnalog%1Voltage").arg(input + 1));
        const QString name = row->findChild<QLabel*>()->text();
        QCOMPARE((row->isHidden() ? "-" : "") + name, names.at(input));
        QCOMPARE(window->deviceModel()->getParameter(270 + input)->getName(), name);
        if (row->isHidden())
            QCOMPARE(row->findChild<QComboBox*>()->currentIndex(), 0);
    }
}

void TestDashboardPage::hallLamps_data()
{
    QTest::addColumn<int>("inputs");
    QTest::addColumn<QList<QColor>>("colors");
    QTest::newRow("all low: bright") << 0 << QList<QColor>{Qt::green, Qt::yellow, QColor(0, 175, 255)};
    QTest::newRow("all high: faint") << 7 << QList<QColor>{QColor(0, 255, 0, 16), QColor(255, 255, 0, 24),
                                                           QColor(0, 0, 255, 16)};
}

void TestDashboardPage::hallLamps()
{
    QFETCH(int, inputs);
    QFETCH(QList<QColor>, colors);
    window->deviceModel()->getParameter(276)->setRegisterValue(inputs);
    for (int bit = 0; bit < 3; ++bit) {
        auto* row = window->findChild<QWidget*>(QString("widget_hall%1").arg(bit + 1));
        window->updateDashboardLed(row);
        auto* lamp = static_cast<QGraphicsView*>(row->findChild<QLed*>());
        QCOMPARE(static_cast<QGraphicsEllipseItem*>(lamp->scene()->items().value(0))->brush().color(),
                 colors.at(bit));
    }
}

void TestDashboardPage::actionsNeedAControllerOffThePage()
{
    const QStringList names = {"autotuneAction", "exportXML", "advanced_Export", "importXML"};
    show("dashboardScreen");
    for (const QString& name : names)
        QVERIFY(!window->findChild<QAction*>(name)->isEnabled());
    window->controllerDisconnected();
    show("releaseScreen");
    for (const QString& name : names)
        QCOMPARE(window->findChild<QAction*>(name)->isEnabled(), name == "importXML");
}

QTEST_MAIN(TestDashboardPage)
#include "tst_dashboardpage.moc"
