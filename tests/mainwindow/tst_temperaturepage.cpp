// The Temperature page against the simulator: the tab by controller type, a
// sensor preset's curve in registers 93 to 98, the motor temperature read.

#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"
#include "windowfixture.h"

#include <QDoubleSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

class TestTemperaturePage : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    QList<bool> voltageBoxesEnabled() const
    {
        QList<bool> enabled;
        for (int degrees = 0; degrees <= 125; degrees += 25)
            enabled << f.find(QString("volts_%1_deg").arg(degrees))->isEnabled();
        return enabled;
    }

private slots:
    void initTestCase() { QVERIFY(f.start()); }
    void cleanupTestCase() { f.window.reset(); }

    void tabFollowsTheControllerType_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<int>("index");
        QTest::newRow("no sensor input") << 5800 << -1;
        QTest::newRow("again") << 5800 << -1;
        QTest::newRow("sensor input") << 5921 << 2;
        QTest::newRow("and again") << 5921 << 2;
    }
    void tabFollowsTheControllerType()
    {
        QFETCH(int, firmware);
        QFETCH(int, index);
        f.simulator->setRegisterValue(256, firmware);
        QSignalSpy done(f.window->link(), &KelvaraCom::readAllComplete);
        f.window->onReadAllClicked();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 8000);
        QCOMPARE(f.find<QTabWidget>("tabWidget")->indexOf(f.find("temperatureScreen")), index);
        QCOMPARE(f.window->devIndex(), index < 0 ? 3 : 4);
        QVERIFY(waitIdle(f.window.get()));
    }

    // A preset locks the boxes until the controller's own curve is back.
    void presetWritesItsCurve()
    {
        auto* sensors = f.find<QComboBox>("comboBox_tempSensorType");
        QCOMPARE(sensors->currentText(), QString("Current Values"));
        TemperatureVoltageMapping table(f.window->deviceModel());
        table.importFromJSON();
        sensors->setCurrentIndex(0);
        QVERIFY(!voltageBoxesEnabled().contains(true));

        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        f.find<QPushButton>("saveParamsTemperature")->click();
        QVERIFY(saved.wait(8000));
        for (int point = 0; point < TemperatureSensor::pointCount; ++point)
            QCOMPARE(int(f.simulator->registerValue(93 + point)), qRound(table.sensors.at(0)->getMapping()[point] * 1000));
        QCOMPARE(sensors->currentText(), QString("Current Values"));
        QVERIFY(!voltageBoxesEnabled().contains(false));
    }

    void motorTemperatureIsReadOnRequest()
    {
        QVERIFY(waitIdle(f.window.get()));
        f.simulator->clearLog();
        f.find<QPushButton>("readMotorTemp")->click();
        QVERIFY(waitIdle(f.window.get()));
        auto reads = requestFrames(f.simulator->requests(), 3);
        reads.removeAll(qMakePair(258, 42)); // the connection check
        QCOMPARE(reads, (QList<QPair<int, int>>{{261, 1}, {398, 1}}));
    }
};

QTEST_MAIN(TestTemperaturePage)
#include "tst_temperaturepage.moc"
