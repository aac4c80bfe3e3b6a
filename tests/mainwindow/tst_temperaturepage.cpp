// The Temperature page: the tab by controller type, a sensor preset's curve.

#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"
#include "windowfixture.h"

using namespace WindowFixture;

class TestTemperaturePage : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    bool voltageBoxesEnabled(bool enabled) const
    {
        for (int degrees = 0; degrees <= 125; degrees += 25) {
            if (f.find(QString("volts_%1_deg").arg(degrees))->isEnabled() != enabled)
                return false;
        }
        return true;
    }

private slots:
    void initTestCase() { QVERIFY(f.start()); }

    void tabFollowsTheControllerType_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<int>("index");
        QTest::newRow("no sensor input") << 5800 << -1;
        QTest::newRow("sensor input") << 5921 << 2;
    }
    void tabFollowsTheControllerType()
    {
        QFETCH(int, firmware);
        QFETCH(int, index);
        f.simulator->setRegisterValue(256, firmware);
        QVERIFY(f.readAll());
        QCOMPARE(f.find<QTabWidget>("tabWidget")->indexOf(f.find("temperatureScreen")), index);
        QCOMPARE(f.window->devIndex(), index < 0 ? 3 : 4);
    }

    // A preset locks the boxes until the controller's own curve is back.
    void presetWritesItsCurve()
    {
        auto* sensors = f.find<QComboBox>("comboBox_tempSensorType");
        TemperatureVoltageMapping table(f.window->deviceModel());
        table.importFromJSON();
        sensors->setCurrentIndex(0);
        QVERIFY(voltageBoxesEnabled(false));

        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        f.find<QPushButton>("saveParamsTemperature")->click();
        QVERIFY(saved.wait(8000));
        for (int point = 0; point < TemperatureSensor::pointCount; ++point)
            QCOMPARE(int(f.simulator->registerValue(93 + point)), qRound(table.sensors.at(0)->getMapping()[point] * 1000));
        QCOMPARE(sensors->currentText(), QString("Current Values"));
        QVERIFY(voltageBoxesEnabled(true));
        sensors->setCurrentIndex(-1); // an empty selection writes nothing
        QVERIFY(f.window->deviceModel()->getUnsavedValues().isEmpty());
    }
};

QTEST_MAIN(TestTemperaturePage)
#include "tst_temperaturepage.moc"
