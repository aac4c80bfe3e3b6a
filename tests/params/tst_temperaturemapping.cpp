#include "kelvara.h"
#include "parameter.h"
#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"

#include <QTemporaryFile>
#include <QtTest>

namespace {

QString fixture(const QString& name)
{
    return QString(KELVARA_TEST_FIXTURES) + "/" + name;
}

QList<float> points(TemperatureSensor* sensor)
{
    return QList<float>(sensor->getMapping(), sensor->getMapping() + TemperatureSensor::pointCount);
}

} // namespace

class TestTemperatureMapping : public QObject
{
    Q_OBJECT

private slots:
    void shippedSensorsThenCurrentValues()
    {
        Kelvara device(nullptr, fixture("bod_fixture.json"), fixture("bod_v6_fixture.json"));
        const int volts[] = {4100, 3200, 2100, 1200, 600, 300};
        for (int i = 0; i < 6; ++i)
            device.getParameter(93 + i)->setRegisterValue(volts[i]);
        TemperatureVoltageMapping empty(&device);
        empty.importFromController();
        QCOMPARE(empty.sensors.size(), 1);

        TemperatureVoltageMapping table(&device);
        table.importFromJSON();
        table.importFromController();
        QStringList names;
        for (TemperatureSensor* sensor : qAsConst(table.sensors))
            names << sensor->getName();
        QCOMPARE(names,
                 QStringList(
                     {"10k ntc, B=3950", "10k ntc, B=3450", "10k ntc, Bafang", "Current Values"}));
        QCOMPARE(points(table.sensors.at(0)),
                 QList<float>({4.353f, 3.333f, 2.088f, 1.147f, 0.611f, 0.334f}));
        QCOMPARE(points(table.sensors.at(3)), QList<float>({4.1f, 3.2f, 2.1f, 1.2f, 0.6f, 0.3f}));
        QCOMPARE(points(empty.sensors.at(0)), points(table.sensors.at(3)));

        // The current values are refreshed in place.
        TemperatureSensor* current = table.sensors.last();
        device.getParameter(98)->setRegisterValue(250);
        table.importFromController();
        QCOMPARE(table.sensors.size(), 4);
        QCOMPARE(table.sensors.last(), current);
        QCOMPARE(current->getMapping()[5], 0.25f);

        // The raw values too, as the registers hold them.
        device.getParameter(93)->setRegisterValueUnlimited(6000);
        table.importFromController();
        QCOMPARE(table.currentRawValues(), (QVector<int>{6000, 3200, 2100, 1200, 600, 250}));
    }

    void sensorFiles_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QList<float>>("mapping");
        QTest::newRow("read every twenty-five degrees") << QByteArray(
            R"({"0": {"name": "Odd", "mappings": {"0": 4.0, "20": 3.6, "40": 3.1, "60": 2.4,
                "80": 1.9, "100": 1.5}}})") << QList<float>({4.0f, 0.0f, 0.0f, 0.0f, 1.5f, 0.0f});
        QTest::newRow("fewer members, fewer points")
            << QByteArray(R"({"0": {"name": "Short", "mappings": {"0": 4.0, "25": 3.0}}})")
            << QList<float>({4.0f, 3.0f, -1.0f, -1.0f, -1.0f, -1.0f});
        QTest::newRow("points beyond six ignored, no name")
            << QByteArray(
                   R"({"0": {"mappings": {"0": 4.0, "25": 3.0, "50": 2.0, "75": 1.5, "100": 1.0,
                "125": 0.5, "150": 0.3, "175": 0.2}}})")
            << QList<float>({4.0f, 3.0f, 2.0f, 1.5f, 1.0f, 0.5f});
        QTest::newRow("not an object") << QByteArray("[1, 2]") << QList<float>();
    }

    void sensorFiles()
    {
        QFETCH(QByteArray, json);
        QFETCH(QList<float>, mapping);
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(json);
        file.flush();
        Kelvara device(nullptr, fixture("bod_fixture.json"), fixture("bod_v6_fixture.json"));
        TemperatureVoltageMapping table(&device);
        if (mapping.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, "Document is not object. Abort.");
        table.importFromJSON(file.fileName());
        QCOMPARE(table.sensors.size(), mapping.isEmpty() ? 0 : 1);
        if (!mapping.isEmpty()) {
            QCOMPARE(points(table.sensors.first()), mapping);
            QVERIFY(table.sensors.first()->hasName());
        }

        QTest::ignoreMessage(QtDebugMsg, "Could not open JSON file.");
        QTest::ignoreMessage(QtDebugMsg, "Document is not object. Abort.");
        table.importFromJSON("/nonexistent/map.json");
        QCOMPARE(table.sensors.size(), mapping.isEmpty() ? 0 : 1);
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
