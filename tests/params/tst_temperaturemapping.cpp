#include "kelvara.h"
#include "parameter.h"
#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"

#include <QTemporaryFile>
#include <QtTest>

#include <cmath>

namespace {

QString fixture(const QString& name)
{
    return QString(KELVARA_TEST_FIXTURES) + "/" + name;
}

QList<float> points(TemperatureSensor* sensor)
{
    const float* mapping = sensor->getMapping();
    return QList<float>(mapping, mapping + TemperatureSensor::pointCount);
}

} // namespace

class TestTemperatureMapping : public QObject
{
    Q_OBJECT

private:
    Kelvara* device = nullptr;

    void writeSensorFile(QTemporaryFile* file, const QByteArray& json)
    {
        QVERIFY(file->open());
        file->write(json);
        file->flush();
    }

private slots:
    void init()
    {
        device = new Kelvara(nullptr, fixture("bod_fixture.json"), fixture("bod_v6_fixture.json"));
        const int volts[] = {4100, 3200, 2100, 1200, 600, 300};
        for (int i = 0; i < 6; ++i)
            device->getParameter(93 + i)->setRegisterValue(volts[i]);
    }

    void cleanup()
    {
        delete device;
    }

    void shippedSensorsThenCurrentValues()
    {
        TemperatureVoltageMapping table(device);
        table.importFromJSON();
        table.importFromController();
        QCOMPARE(table.sensors.size(), 4);
        QStringList names;
        for (TemperatureSensor* sensor : qAsConst(table.sensors))
            names << sensor->getName();
        QCOMPARE(names, QStringList({"10k ntc, B=3950", "10k ntc, B=3450", "10k ntc, Bafang",
                                     "Current Values"}));
        QCOMPARE(points(table.sensors.at(0)),
                 QList<float>({4.353f, 3.333f, 2.088f, 1.147f, 0.611f, 0.334f}));
        QCOMPARE(points(table.sensors.at(1)),
                 QList<float>({4.262f, 3.333f, 2.247f, 1.374f, 0.816f, 0.492f}));
        QCOMPARE(points(table.sensors.at(2)),
                 QList<float>({4.482f, 3.750f, 2.752f, 1.812f, 1.132f, 0.703f}));
        QCOMPARE(points(table.sensors.at(3)),
                 QList<float>({4.1f, 3.2f, 2.1f, 1.2f, 0.6f, 0.3f}));
        QVERIFY(table.sensors.at(0)->hasName() && table.sensors.at(0)->hasMapping());
    }

    void currentValuesRefreshInPlace()
    {
        TemperatureVoltageMapping table(device);
        table.importFromJSON();
        table.importFromController();
        TemperatureSensor* current = table.sensors.last();
        device->getParameter(98)->setRegisterValue(250);
        table.importFromController();
        QCOMPARE(table.sensors.size(), 4);
        QCOMPARE(table.sensors.last(), current);
        QCOMPARE(current->getMapping()[5], 0.25f);
    }

    void emptyListGetsCurrentValues()
    {
        TemperatureVoltageMapping table(device);
        table.importFromController();
        QCOMPARE(table.sensors.size(), 1);
        QCOMPARE(table.sensors.first()->getName(), QString("Current Values"));
        QCOMPARE(table.sensors.first()->getMapping()[0], 4.1f);
    }

    void pointsAreReadEveryTwentyFiveDegrees()
    {
        QTemporaryFile file;
        writeSensorFile(&file, R"({"0": {"name": "Odd", "mappings": {"0": 4.0, "20": 3.6,
            "40": 3.1, "60": 2.4, "80": 1.9, "100": 1.5}}})");
        TemperatureVoltageMapping table(device);
        table.importFromJSON(file.fileName());
        QCOMPARE(table.sensors.size(), 1);
        QCOMPARE(points(table.sensors.first()), QList<float>({4.0f, 0.0f, 0.0f, 0.0f, 1.5f, 0.0f}));
    }

    void fewerMembersReadFewerPoints()
    {
        QTemporaryFile file;
        writeSensorFile(&file, R"({"0": {"name": "Short", "mappings": {"0": 4.0, "25": 3.0}}})");
        TemperatureVoltageMapping table(device);
        table.importFromJSON(file.fileName());
        QCOMPARE(points(table.sensors.first()), QList<float>({4.0f, 3.0f, -1.0f, -1.0f, -1.0f, -1.0f}));
    }

    void pointsBeyondSixAreIgnored()
    {
        QTemporaryFile file;
        writeSensorFile(&file, R"({"0": {"mappings": {"0": 4.0, "25": 3.0, "50": 2.0, "75": 1.5,
            "100": 1.0, "125": 0.5, "150": 0.3, "175": 0.2}}})");
        TemperatureVoltageMapping table(device);
        table.importFromJSON(file.fileName());
        QCOMPARE(points(table.sensors.first()), QList<float>({4.0f, 3.0f, 2.0f, 1.5f, 1.0f, 0.5f}));
        QVERIFY(table.sensors.first()->hasName());
        QCOMPARE(table.sensors.first()->getName(), QString());
    }

    void brokenFilesLeaveTheListEmpty()
    {
        TemperatureVoltageMapping table(device);
        QTest::ignoreMessage(QtDebugMsg, "Could not open JSON file.");
        QTest::ignoreMessage(QtDebugMsg, "Document is not object. Abort.");
        table.importFromJSON("/nonexistent/map.json");
        QVERIFY(table.sensors.isEmpty());

        QTemporaryFile file;
        writeSensorFile(&file, "[1, 2]");
        QTest::ignoreMessage(QtDebugMsg, "Document is not object. Abort.");
        table.importFromJSON(file.fileName());
        QVERIFY(table.sensors.isEmpty());
    }

    void negativePointsGiveNoMapping()
    {
        TemperatureSensor sensor;
        for (int i = 0; i < 6; ++i)
            sensor.setMapping(i, -2.0f);
        QVERIFY(!sensor.hasMapping());
        sensor.setMapping(6, 1.0f); // no seventh point
        QVERIFY(!sensor.hasMapping());
        sensor.setMapping(3, 0.0f);
        QVERIFY(sensor.hasMapping());
        sensor.setMapping(3, -1.0f); // never cleared
        QVERIFY(sensor.hasMapping());
    }
};

QTEST_GUILESS_MAIN(TestTemperatureMapping)
#include "tst_temperaturemapping.moc"
