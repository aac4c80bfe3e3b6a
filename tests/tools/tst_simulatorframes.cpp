// Frame code of the controller simulator, without a terminal: CRC, the
// worked frames, the controller's answers and register images.

#include "registerimage.h"
#include "simmodbus.h"

#include <QTemporaryDir>
#include <QTest>

using SimModbus::fromHex;

class TestSimulatorFrames : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckValue();
    void workedFrames_data();
    void workedFrames();
    void requestLength_data();
    void requestLength();


    void xmlImage();
    void textImage();
    void brokenImages_data();
    void brokenImages();
    void assignments_data();
    void assignments();
};

void TestSimulatorFrames::crcCheckValue()
{
    QCOMPARE(SimModbus::crc16("123456789"), quint16(0x4B37));
    QCOMPARE(SimModbus::crc16(QByteArray()), quint16(0xFFFF));
}

void TestSimulatorFrames::workedFrames_data()
{
    QTest::addColumn<QString>("frame");
    QTest::newRow("read 42 from 258") << "01 03 01 02 00 2a 64 29";
    QTest::newRow("read 125 from 0") << "01 03 00 00 00 7d 85 eb";
    QTest::newRow("write 1 to 508") << "01 10 01 fc 00 01 02 00 01 63 6c";
    QTest::newRow("write 32767 to 511") << "01 10 01 ff 00 01 02 7f ff c2 ef";
}

void TestSimulatorFrames::workedFrames()
{
    QFETCH(QString, frame);
    const QByteArray bytes = fromHex(frame);
    QCOMPARE(SimModbus::withCrc(bytes.left(bytes.size() - 2)), bytes);
    QVERIFY(SimModbus::hasValidCrc(bytes));
    QCOMPARE(SimModbus::requestLength(bytes), bytes.size());
    QCOMPARE(SimModbus::toHex(bytes), frame);

    // Any single flipped bit is caught.
    for (int i = 0; i < bytes.size() * 8; ++i) {
        QByteArray spoilt = bytes;
        spoilt[i / 8] = static_cast<char>(spoilt.at(i / 8) ^ (1 << (i % 8)));
        QVERIFY2(!SimModbus::hasValidCrc(spoilt), qPrintable(QStringLiteral("bit %1").arg(i)));
    }
}

void TestSimulatorFrames::requestLength_data()
{
    QTest::addColumn<QString>("head");
    QTest::addColumn<int>("length");
    QTest::newRow("nothing") << "" << SimModbus::NeedMoreBytes;
    QTest::newRow("address only") << "01" << SimModbus::NeedMoreBytes;
    QTest::newRow("read") << "01 03" << 8;
    QTest::newRow("write without byte count") << "01 10 00 00 00 02" << SimModbus::NeedMoreBytes;
    QTest::newRow("write of two") << "01 10 00 00 00 02 04" << 13;
    QTest::newRow("write single register") << "01 06" << SimModbus::UnknownLength;
}

void TestSimulatorFrames::requestLength()
{
    QFETCH(QString, head);
    QFETCH(int, length);
    QCOMPARE(SimModbus::requestLength(fromHex(head)), length);
}

void TestSimulatorFrames::xmlImage()
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ArrayOfSerializableParameter xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
        "    <SerializableParameter>\n"
        "        <Address>71</Address>\n"
        "        <Value>90</Value>\n"
        "        <Notes>Max Phase Current: 90 A</Notes>\n"
        "    </SerializableParameter>\n"
        "    <SerializableParameter><Address>100</Address><Value>-200</Value></SerializableParameter>\n"
        "    <SerializableParameter><Address>2047</Address><Value>65535</Value></SerializableParameter>\n"
        "</ArrayOfSerializableParameter>\n";
    RegisterImage::Values values;
    QString error;
    QVERIFY2(RegisterImage::parse(xml, &values, &error), qPrintable(error));
    QCOMPARE(values.size(), 3);
    QCOMPARE(values.value(71), quint16(90));
    QCOMPARE(values.value(100), quint16(65336));
    QCOMPARE(values.value(2047), quint16(65535));
}

void TestSimulatorFrames::textImage()
{
    const QByteArray text = "# address value\n"
                            "10 1234\n"
                            "\n"
                            "  11\t-1   # comment\n"
                            "12=0x7fff\n";
    RegisterImage::Values values;
    QString error;
    QVERIFY2(RegisterImage::parse(text, &values, &error), qPrintable(error));
    QCOMPARE(values.size(), 3);
    QCOMPARE(values.value(10), quint16(1234));
    QCOMPARE(values.value(11), quint16(0xffff));
    QCOMPARE(values.value(12), quint16(0x7fff));

    QTemporaryDir dir;
    QFile file(dir.filePath("image.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    values.clear();
    QVERIFY(RegisterImage::load(file.fileName(), &values, &error));
    QCOMPARE(values.size(), 3);

    QVERIFY(!RegisterImage::load(dir.filePath("missing.xml"), &values, &error));
    QVERIFY(error.contains("missing.xml"));
}

void TestSimulatorFrames::brokenImages_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("where");
    QTest::newRow("wrong root") << QByteArray("<Other/>") << "line 1";
    QTest::newRow("unclosed") << QByteArray("<ArrayOfSerializableParameter>\n<SerializableParameter>") << "line 2";
    QTest::newRow("no value")
        << QByteArray("<ArrayOfSerializableParameter><SerializableParameter><Address>3</Address>"
                      "</SerializableParameter></ArrayOfSerializableParameter>")
        << "Value";
    QTest::newRow("address out of range")
        << QByteArray("<ArrayOfSerializableParameter><SerializableParameter><Address>2048</Address>"
                      "<Value>1</Value></SerializableParameter></ArrayOfSerializableParameter>")
        << "Address";
    QTest::newRow("value too large")
        << QByteArray("<ArrayOfSerializableParameter><SerializableParameter><Address>1</Address>"
                      "<Value>65536</Value></SerializableParameter></ArrayOfSerializableParameter>")
        << "Value";
    QTest::newRow("text not a number") << QByteArray("1 2\n3 x\n") << "line 2";
    QTest::newRow("text three fields") << QByteArray("1 2 3\n") << "line 1";
    QTest::newRow("text value too small") << QByteArray("1 -32769\n") << "line 1";
}

void TestSimulatorFrames::brokenImages()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, where);
    RegisterImage::Values values;
    values.insert(5, 55);
    QString error;
    QVERIFY(!RegisterImage::parse(data, &values, &error));
    QVERIFY2(error.contains(where), qPrintable(error));
    QCOMPARE(values.size(), 1);  // nothing taken from a broken image
}

void TestSimulatorFrames::assignments_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("good");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "477=100" << true << 477 << 100;
    QTest::newRow("negative") << "477=-1" << true << 477 << 65535;
    QTest::newRow("hex") << "0x1ff=0x1000" << true << 511 << 4096;
    QTest::newRow("no equals") << "477" << false << 0 << 0;
    QTest::newRow("address too large") << "2048=1" << false << 0 << 0;
    QTest::newRow("value not a number") << "1=abc" << false << 0 << 0;
    QTest::newRow("empty value") << "1=" << false << 0 << 0;
}

void TestSimulatorFrames::assignments()
{
    QFETCH(QString, text);
    QFETCH(bool, good);
    QFETCH(int, address);
    QFETCH(int, value);
    int parsedAddress = -1;
    quint16 parsedValue = 0;
    QString error;
    QCOMPARE(RegisterImage::parseAssignment(text, &parsedAddress, &parsedValue, &error), good);
    if (good) {
        QCOMPARE(parsedAddress, address);
        QCOMPARE(int(parsedValue), value);
    } else {
        QVERIFY2(error.contains(text), qPrintable(error));
    }
}

QTEST_GUILESS_MAIN(TestSimulatorFrames)
#include "tst_simulatorframes.moc"
