#include "controlleridentification.h"
#include "kelvara.h"
#include "parameter.h"

#include <QtTest>

class TestControllerIdentification : public QObject
{
    Q_OBJECT

private slots:
    void identification_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<int>("hardware237");
        QTest::addColumn<int>("hardware1881");
        QTest::addColumn<double>("voltageGain");
        QTest::addColumn<int>("currentRating");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rowFirmware");

        // From 5921 on the high byte of the hardware version names the model.
        QTest::newRow("hardware id 3") << 5921 << 0x0305 << 0 << 0.0 << 0 << "Ostrel V4 Trelby" << 5921;
        QTest::newRow("hardware id 0 falls back to firmware") << 5921 << 0x0005 << 0 << 0.0 << 0 << "Ostrel V4 Z9" << 5921;
        QTest::newRow("hardware id 9 falls back to firmware") << 5921 << 0x0905 << 0 << 0.0 << 0 << "Ostrel V4 Z9" << 5921;
        QTest::newRow("hardware id 7") << 5921 << 0x0700 << 0 << 0.0 << 0 << "Ostrel V5 L10" << 5921;
        QTest::newRow("unknown id, firmware 5931") << 5931 << 0x6400 << 0 << 0.0 << 0 << "Halvik L10" << 5931;
        QTest::newRow("id 6") << 5931 << 0x0612 << 0 << 0.0 << 0 << "Halvik MT" << 5931;
        // From 6000 on the hardware version is register 1881.
        QTest::newRow("6021 id 8 gives first V6 row") << 6021 << 0x0300 << 0x0800 << 0.0 << 0 << "Kelvara V6" << 6019;
        QTest::newRow("6021 invalid id by firmware") << 6021 << 0x0800 << 0x0000 << 0.0 << 0 << "Kelvara V6" << 6021;
        QTest::newRow("6020 invalid id") << 6020 << 0 << 0x0000 << 0.0 << 0 << "Controller" << 5800;
        QTest::newRow("6020 id 1") << 6020 << 0 << 0x0100 << 0.0 << 0 << "Ostrel V4 Z9" << 5921;
        // Below 5921 voltage gain and current rating decide.
        QTest::newRow("Ostrel") << 5900 << 0 << 0 << 27.5 << 80 << "Ostrel" << 5857;
        QTest::newRow("Ostrel at gain 28") << 5900 << 0 << 0 << 28.0 << 80 << "Ostrel" << 5857;
        QTest::newRow("Ostrel at gain 27") << 5900 << 0 << 0 << 27.0 << 50 << "Ostrel" << 5857;
        QTest::newRow("rating 81 between rules") << 5900 << 0 << 0 << 27.5 << 81 << "Controller" << 5800;
        QTest::newRow("Ostrel L10") << 5900 << 0 << 0 << 27.5 << 100 << "Ostrel L10" << 5857;
        QTest::newRow("Ostrel L10 at 119") << 5900 << 0 << 0 << 28.0 << 119 << "Ostrel L10" << 5857;
        QTest::newRow("rating 120 with Ostrel gain") << 5900 << 0 << 0 << 27.5 << 120 << "Controller" << 5800;
        QTest::newRow("Kelvara") << 5900 << 0 << 0 << 32.0 << 130 << "Kelvara" << 5838;
        QTest::newRow("Kelvara at 120") << 5900 << 0 << 0 << 31.0 << 120 << "Kelvara" << 5838;
        QTest::newRow("Kelvara gain 33 rating 139") << 5900 << 0 << 0 << 33.0 << 139 << "Kelvara" << 5838;
        QTest::newRow("rating 140") << 5900 << 0 << 0 << 32.0 << 140 << "Controller" << 5800;
        QTest::newRow("gain 30") << 5900 << 0 << 0 << 30.0 << 130 << "Controller" << 5800;
        QTest::newRow("gain 33.01") << 5900 << 0 << 0 << 33.01 << 130 << "Controller" << 5800;
        QTest::newRow("hardware id ignored below 5921") << 5920 << 0x0300 << 0 << 30.0 << 0 << "Controller" << 5800;
    }

    void identification()
    {
        QFETCH(int, firmware);
        QFETCH(int, hardware237);
        QFETCH(int, hardware1881);
        QFETCH(double, voltageGain);
        QFETCH(int, currentRating);
        QFETCH(QString, name);
        QFETCH(int, rowFirmware);

        const QString fixtures = KELVARA_TEST_FIXTURES;
        Kelvara device(nullptr, fixtures + "/bod_fixture.json", fixtures + "/bod_v6_fixture.json");
        device.setType(4); // the result must not depend on the type before
        device.getParameter(256)->setRegisterValue(firmware);
        device.getParameter(237)->setRegisterValue(hardware237);
        device.getParameter(1881)->setRegisterValue(hardware1881);
        device.getParameter(15)->setValue(voltageGain);
        device.getParameter(0)->setValue(currentRating);
        QCOMPARE(device.getParameter(15)->getValue(), voltageGain);

        identifyControllerType(&device);

        QCOMPARE(device.getControllerType().name, name);
        QCOMPARE(device.getControllerType().firmware, rowFirmware);
    }

    void hardwareVersionRegister()
    {
        QCOMPARE(hardwareVersionAddress(5999), 237);
        QCOMPARE(hardwareVersionAddress(6000), 1881);
    }
};

QTEST_GUILESS_MAIN(TestControllerIdentification)
#include "tst_controlleridentification.moc"
