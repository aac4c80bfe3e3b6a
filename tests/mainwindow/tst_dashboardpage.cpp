// The Dashboard page: polling only while shown, and the actions it switches.

#include "windowfixture.h"

#include <QAction>

using namespace WindowFixture;

class TestDashboardPage : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    int polls() const { return requestFrames(f.simulator->requests(), 3).count(qMakePair(258, 74)); }

private slots:
    void initTestCase() { QVERIFY(f.start()); }

    void pollsOnlyWhileShown()
    {
        f.showPage("dashboardScreen");
        f.simulator->setRegisterValue(256, 5800); // a type without the Temperature page
        QVERIFY(f.readAll());
        QCOMPARE(f.find<QTabWidget>("tabWidget")->indexOf(f.find("temperatureScreen")), -1);
        QCOMPARE(f.window->dashboardIndex(), 2);
        f.simulator->clearLog();
        QTRY_VERIFY(polls() >= 2);

        f.showPage("releaseScreen");
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        QTest::qWait(800); // two polling intervals
        QCOMPARE(polls(), 0);
    }

    // Autotune and the exports need a controller, whichever way they come back.
    void actionsNeedAControllerOffThePage()
    {
        const QStringList names = {"autotuneAction", "exportXML", "advanced_Export", "importXML"};
        f.showPage("dashboardScreen");
        for (const QString& name : names)
            QVERIFY(!f.find<QAction>(name)->isEnabled());
        f.window->controllerDisconnected();
        f.showPage("releaseScreen");
        for (const QString& name : names)
            QCOMPARE(f.find<QAction>(name)->isEnabled(), name == "importXML");
    }
};

QTEST_MAIN(TestDashboardPage)
#include "tst_dashboardpage.moc"
