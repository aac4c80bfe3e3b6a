// The stationary motor test against the simulator playing a motor.

#include "autotunerig.h"
#include "parameter.h"
#include "staticautotune.h"

#include <QtTest>

class TestStaticAutotune : public QObject
{
    Q_OBJECT

private slots:
    void tenPercentRule_data();
    void tenPercentRule();
    void measuresWritesAndSaves();
    void errorPaths_data();
    void errorPaths();
};

using Measurements = QList<QPair<double, double>>;

namespace {

QString runTest(StaticAutotune& test, AutotuneRig& rig)
{
    return rig.run(test, &StaticAutotune::staticSuccess, &StaticAutotune::reportError, [&] { test.startTest(); });
}

} // namespace

void TestStaticAutotune::tenPercentRule_data()
{
    QTest::addColumn<Measurements>("measurements");
    QTest::addColumn<bool>("consistent");
    QTest::newRow("three close") << Measurements{{10.0, 50.0}, {10.9, 54.0}, {10.5, 52.0}}
                                 << true;
    QTest::newRow("Rs 12 % apart") << Measurements{{10.0, 50.0}, {11.2, 50.0}} << false;
    QTest::newRow("exactly 10 %") << Measurements{{10.0, 50.0}, {11.0, 55.0}} << true;
    QTest::newRow("all zero") << Measurements{{0, 0}, {0, 0}, {0, 0}} << false;
}

void TestStaticAutotune::tenPercentRule()
{
    QFETCH(Measurements, measurements);
    QFETCH(bool, consistent);
    QCOMPARE(StaticAutotune::areWithinTenPercent(&measurements), consistent);
}

void TestStaticAutotune::measuresWritesAndSaves()
{
    AutotuneRig rig;
    rig.model->getParameter(70)->setValue(72.0);
    rig.model->getParameter(72)->setValue(100.0);  // 100 x 10 x 72 > 61400: capped
    rig.model->getParameter(78)->setValue(10.0);
    StaticAutotune test(nullptr, rig.model.get(), rig.link.get());

    QCOMPARE(runTest(test, rig), QString("success"));
    QCOMPARE(rig.writesTo(481), (QList<int>{1, 1, 1}));
    QCOMPARE(rig.writesTo(72), QList<int>{8528});  // 61400 / 720
    // The means of 62.4 mOhm and 184 uH measured x1.00, x1.01 and x1.02.
    QCOMPARE(rig.sim.registerValue(75), quint16(6302));
    QCOMPARE(rig.sim.registerValue(74), quint16(1858));
    QCOMPARE(rig.sim.registerValue(511), quint16(4096));
    QCOMPARE(rig.model->getUnsavedValues().keys(), QList<int>{70});  // not the test's to write
    QVERIFY(test.unsavedAfterRun().isEmpty());

    const QStringList logs = rig.logs();
    QCOMPARE(logs.size(), 1);
    QVERIFY(logs[0].contains(" Static.txt\n"));
    QVERIFY(logs[0].contains("Addr: 75: Rs                                  - Value: 63.02\n"));
    QVERIFY(logs[0].endsWith("Addr: 511: Write Parameters to Flash           - Value: 4096\nEnd of Test\n"));
}

void TestStaticAutotune::errorPaths_data()
{
    using Setup = RigSetup;
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("measurementStopped");
    QTest::addColumn<QList<int>>("unsaved");  // written by the test, unsaved again
    const QList<int> constants{78};

    QTest::newRow("inconsistent") << Setup([](AutotuneRig& r) { r.motor([](MotorBehaviour& m) { m.inconsistent = true; }); })
                                  << "error 1" << false << constants;
    QTest::newRow("no motor") << Setup([](AutotuneRig& r) { r.motor([](MotorBehaviour& m) { m.connected = false; }); })
                              << "error 1" << false << constants;
    QTest::newRow("fault stays") << Setup([](AutotuneRig& r) {
        r.setRegister(258, 2);
        r.motor([](MotorBehaviour& m) { m.stickyFaults = true; });
    }) << "error 2" << false << QList<int>();
    QTest::newRow("measurement never ends")
        << Setup([](AutotuneRig& r) { r.motor([](MotorBehaviour& m) { m.discoveryStuck = true; }); })
        << "error 0" << true << constants;
    QTest::newRow("motor running at the flash save") << Setup([](AutotuneRig& r) {
        r.sim.setFlashSaveFails(true);
        r.sim.setTorqueCommand(200);
    }) << "error 3" << false << QList<int>{74, 75, 78};
    QTest::newRow("answers too late mid-test") << Setup([](AutotuneRig& r) {
        QObject::connect(&r.sim, &ControllerSimulator::requestReceived, [&r](const QByteArray& frame) {
            if (frame.toHex().startsWith("011001e1"))  // the start of a measurement
                r.sim.setReplyDelay(3000);
        });
    }) << "error 0" << true << constants;
}

void TestStaticAutotune::errorPaths()
{
    QFETCH(RigSetup, setup);
    QFETCH(QString, outcome);
    QFETCH(bool, measurementStopped);
    QFETCH(QList<int>, unsaved);
    AutotuneRig rig;
    rig.model->getParameter(78)->setValue(12.0);
    setup(rig);
    StaticAutotune test(nullptr, rig.model.get(), rig.link.get());
    test.setClock(AutotuneRig::fastClock());

    QCOMPARE(runTest(test, rig), outcome);
    QCOMPARE(test.unsavedAfterRun(), unsaved);
    for (const int address : unsaved + QList<int>{78})
        QVERIFY(rig.model->getUnsavedValues().contains(address));
    QCOMPARE(rig.writesTo(481).endsWith(0), measurementStopped);
    QVERIFY(rig.logs().value(0).endsWith("End of Test\n"));
}

QTEST_MAIN(TestStaticAutotune)
#include "tst_staticautotune.moc"
