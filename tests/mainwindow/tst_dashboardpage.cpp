// The Dashboard page against the simulator: the live status block is polled
// only while the page is shown, also when a tab in front of it goes, and the
// actions the page switches.

#include "windowfixture.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

class TestDashboardPage : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    int polls() const { return requestFrames(f.simulator->requests(), 3).count(qMakePair(258, 74)); }
    void show(const char* page) { f.find<QTabWidget>("tabWidget")->setCurrentWidget(f.find(page)); }
    bool readTwice()
    {
        QSignalSpy done(f.window->link(), &KelvaraCom::readAllComplete);
        f.window->onReadAllClicked();
        return QTest::qWaitFor([&] { return done.count() == 2; }, 8000) && waitIdle(f.window.get());
    }

private slots:
    void initTestCase() { QVERIFY(f.start()); }
    void cleanupTestCase() { f.window.reset(); }

    void pollsOnlyWhileShown()
    {
        show("dashboardScreen");
        f.simulator->setRegisterValue(263, 3000);
        Parameter* rpm = f.window->deviceModel()->getParameter(263);
        QTRY_COMPARE(rpm->getRegisterValue(), 3000);
        QTRY_COMPARE(f.find("dashboardMotorRPM")->findChild<QDoubleSpinBox*>()->value(), rpm->getValue());

        f.simulator->setRegisterValue(256, 5800); // a type without the Temperature page
        QVERIFY(readTwice());
        QCOMPARE(f.find<QTabWidget>("tabWidget")->indexOf(f.find("temperatureScreen")), -1);
        QCOMPARE(f.window->dashboardIndex(), 2);
        f.simulator->clearLog();
        QTRY_VERIFY(polls() >= 2);

        show("releaseScreen");
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        QTest::qWait(800); // two polling intervals
        QCOMPARE(polls(), 0);
        f.simulator->setRegisterValue(256, 5921);
        QVERIFY(readTwice());
    }

    // Autotune and the exports need a controller, whichever way they come back.
    void actionsNeedAControllerOffThePage()
    {
        const QStringList names = {"autotuneAction", "exportXML", "advanced_Export", "importXML"};
        show("dashboardScreen");
        for (const QString& name : names)
            QVERIFY(!f.find<QAction>(name)->isEnabled());
        f.window->controllerDisconnected();
        show("releaseScreen");
        for (const QString& name : names)
            QCOMPARE(f.find<QAction>(name)->isEnabled(), name == "importXML");
    }
};

QTEST_MAIN(TestDashboardPage)
#include "tst_dashboardpage.moc"
