// The spinning motor test against the simulator playing a motor.

#include "autotunerig.h"
#include "dynamicautotune.h"
#include "hallchecker.h"

#include <QtTest>

class TestDynamicAutotune : public QObject
{
    Q_OBJECT

private slots:
    void spinsAndLearns_data();
    void spinsAndLearns();
    void badHallTableGoesSensorless_data();
    void badHallTableGoesSensorless();
    void errorPaths_data();
    void errorPaths();
};

namespace {

QString runTest(DynamicAutotune& test, AutotuneRig& rig, bool flip = false)
{
    return rig.run(test, &DynamicAutotune::dynamicSuccess, &DynamicAutotune::reportError,
                   [&] { test.startTest(flip); });
}

using Registers = QVector<quint16>;

} // namespace

void TestDynamicAutotune::spinsAndLearns_data()
{
    QTest::addColumn<int>("sensorType");
    QTest::addColumn<QList<int>>("sensorTypeWrites");
    QTest::addColumn<QString>("status");
    QTest::newRow("hall sensor") << 0 << QList<int>{1}
                                 << "Hall Sensors Okay.\nUsing Motor Position Sensor Type: Hall sensor start "
                                    "and sensorless run.";
    QTest::newRow("already hall start") << 1 << QList<int>() << "Hall Sensors Okay.\n";
}

void TestDynamicAutotune::spinsAndLearns()
{
    QFETCH(int, sensorType);
    QFETCH(QList<int>, sensorTypeWrites);
    QFETCH(QString, status);
    AutotuneRig rig;
    rig.setRegister(77, sensorType);
    DynamicAutotune test(nullptr, rig.model.get(), rig.link.get());

    QCOMPARE(runTest(test, rig, true), QString("success"));
    QCOMPARE(rig.writesTo(127), QList<int>{3});  // the direction flipped once
    QCOMPARE(rig.writesTo(481), QList<int>{2});
    QCOMPARE(rig.writesTo(77), sensorTypeWrites);
    QCOMPARE(rig.sim.registerValue(72), quint16(1135));
    QCOMPARE(rig.sim.registerValue(79), quint16(27352));  // 300.5 degrees
    QCOMPARE(rig.sim.registerValues(80, 8), (Registers{15, 2, 4, 3, 0, 1, 5, 15}));
    QCOMPARE(rig.sim.registerValue(511), quint16(4096));
    QVERIFY(rig.model->getUnsavedValues().isEmpty());

    QVERIFY(!test.getHallChecker()->isHallFailure());
    QCOMPARE(test.getHallChecker()->getHallOffSet(), -59.5);
    QCOMPARE(test.getHallChecker()->getStatusText(), status);
}

// A bad table leaves the working table alone, runs sensorless and, unlike
// a test that only leaves its values in RAM, saves to flash.
void TestDynamicAutotune::badHallTableGoesSensorless_data()
{
    QTest::addColumn<QList<int>>("table");
    QTest::addColumn<int>("sensorType");
    QTest::addColumn<QString>("status");
    QTest::newRow("cable off") << QList<int>{15, 15, 15, 15, 15, 15, 15, 15} << 1
                               << "No valid hall signals. Maybe the hall cable is disconnected.\n\n"
                                  "Using Motor Position Sensor Type: Sensorless.";
    QTest::newRow("already sensorless") << QList<int>{15, 0, 2, 1, 4, 4, 3, 15} << 2
                                        << "Invalid hall pattern detected. Sensors may be shorted "
                                           "together, or have connection issues.\n";
}

void TestDynamicAutotune::badHallTableGoesSensorless()
{
    QFETCH(QList<int>, table);
    QFETCH(int, sensorType);
    QFETCH(QString, status);
    AutotuneRig rig;
    rig.setRegister(77, sensorType);
    rig.motor([&](MotorBehaviour& m) { m.hallTable = table.toVector(); });
    const Registers workingTable = rig.sim.registerValues(80, 8);
    DynamicAutotune test(nullptr, rig.model.get(), rig.link.get());

    QCOMPARE(runTest(test, rig), QString("success"));
    QVERIFY(test.getHallChecker()->isHallFailure());
    QCOMPARE(test.getHallChecker()->getStatusText(), status);
    QCOMPARE(test.getHallChecker()->getWarningText(), QString("Warning: Hall sensor error"));
    QCOMPARE(rig.sim.registerValue(77), quint16(2));
    QCOMPARE(rig.sim.registerValues(80, 8), workingTable);
    QCOMPARE(rig.sim.registerValue(511), quint16(4096));
    QVERIFY(rig.model->getUnsavedValues().isEmpty());
}

void TestDynamicAutotune::errorPaths_data()
{
    QTest::addColumn<RigSetup>("setup");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stoppedSpinning");
    const QString stall = "The spinning autotune test could not complete properly";
    auto motor = [](std::function<void(MotorBehaviour&)> change) {
        return RigSetup([=](AutotuneRig& r) { r.motor(change); });
    };

    QTest::newRow("fault before the spin") << RigSetup([](AutotuneRig& r) { r.setRegister(299, 1); })
                                           << "error 4" << "" << false;
    QTest::newRow("stall") << motor([](MotorBehaviour& m) { m.stall = true; })
                           << "error 5" << stall << false;
    QTest::newRow("no motor") << motor([](MotorBehaviour& m) { m.connected = false; })
                              << "error 5"
                              << stall + ".*\n\\*No phase currents detected. Please ensure that all 3 "
                                         "phases are connected to motor windings.\n" << false;
    QTest::newRow("fault after the spin, yellow dead")
        << motor([](MotorBehaviour& m) { m.spinFaults = 2; m.deadPhases = 2; })
        << "error 5" << "^No current detected on Yellow phase. Please check motor connection and try again.\n$"
        << false;
    QTest::newRow("spin never ends") << motor([](MotorBehaviour& m) { m.discoveryStuck = true; })
                                     << "error 1" << "" << true;
    QTest::newRow("controller stops answering mid-spin") << RigSetup([](AutotuneRig& r) {
        QObject::connect(&r.sim, &ControllerSimulator::requestReceived, [&r](const QByteArray& frame) {
            if (frame.toHex().startsWith("011001e1"))  // the start of the spin
                r.sim.setSilent(true);
        });
    }) << "error 1" << "" << true;
    QTest::newRow("motor running at the flash save") << RigSetup([](AutotuneRig& r) {
        r.sim.setFlashSaveFails(true);
        r.sim.setTorqueCommand(200);
    }) << "error 3" << "" << false;
}

void TestDynamicAutotune::errorPaths()
{
    QFETCH(RigSetup, setup);
    QFETCH(QString, outcome);
    QFETCH(QString, message);
    QFETCH(bool, stoppedSpinning);
    AutotuneRig rig;
    // Test time runs 12 times faster: a spin of 1250 ms (15 s) ends after
    // the stall watch (5 to 14 s), and its end is seen before the 20 s limit
    // (1667 ms) even when a loaded machine holds up the polls for a while.
    rig.motor([](MotorBehaviour& m) { m.spinMs = 1250; });
    setup(rig);
    DynamicAutotune test(nullptr, rig.model.get(), rig.link.get());
    test.setClock(AutotuneRig::fastClock(12));

    QCOMPARE(runTest(test, rig, true), outcome);
    QVERIFY2(QRegularExpression(message, QRegularExpression::DotMatchesEverythingOption)
                 .match(test.getErrorMessage())
                 .hasMatch(),
             qPrintable(test.getErrorMessage()));
    QCOMPARE(test.endedWhileSpinning(), stoppedSpinning);
    QCOMPARE(rig.writesTo(481).endsWith(0), stoppedSpinning);
    // The flipped direction reached no flash: unsaved again.
    QVERIFY(test.unsavedAfterRun().contains(127));
    QVERIFY(rig.model->getUnsavedValues().contains(127));
    QVERIFY(rig.logs().value(0).endsWith("End of Test\n"));
}

QTEST_MAIN(TestDynamicAutotune)
#include "tst_dynamicautotune.moc"
