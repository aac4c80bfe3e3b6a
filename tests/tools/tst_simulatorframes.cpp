// Frame code and register images of the controller simulator, without a terminal.

#include "registerimage.h"
#include "simmodbus.h"

#include <QTest>

using SimModbus::fromHex;

class TestSimulatorFrames : public QObject
{
    Q_OBJECT

private slots:
    void workedFrames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::newRow("read 42 from 258") << "01 03 01 02 00 2a 64 29";
        QTest::newRow("read 125 from 0") << "01 03 00 00 00 7d 85 eb";
        QTest::newRow("write 1 to 508") << "01 10 01 fc 00 01 02 00 01 63 6c";
        QTest::newRow("write 32767 to 511") << "01 10 01 ff 00 01 02 7f ff c2 ef";
    }

    void workedFrames()
    {
        QFETCH(QString, frame);
        QCOMPARE(SimModbus::crc16("123456789"), quint16(0x4B37));
        const QByteArray bytes = fromHex(frame);
        QCOMPARE(SimModbus::withCrc(bytes.left(bytes.size() - 2)), bytes);
        QCOMPARE(SimModbus::requestLength(bytes), bytes.size());
        QCOMPARE(SimModbus::toHex(bytes), frame);
        for (int i = 0; i < bytes.size() * 8; ++i) {
            QByteArray spoilt = bytes;
            spoilt[i / 8] = char(spoilt.at(i / 8) ^ (1 << (i % 8)));
            QVERIFY2(!SimModbus::hasValidCrc(spoilt), qPrintable(QStringLiteral("bit %1").arg(i)));
        }
    }

    void requestLength_data()
    {
        QTest::addColumn<QString>("head");
        QTest::addColumn<int>("length");
        QTest::newRow("address only") << "01" << SimModbus::NeedMoreBytes;
        QTest::newRow("read") << "01 03" << 8;
        QTest::newRow("write, no byte count") << "01 10 00 00 00 02" << SimModbus::NeedMoreBytes;
        QTest::newRow("write of two") << "01 10 00 00 00 02 04" << 13;
        QTest::newRow("write single register") << "01 06" << SimModbus::UnknownLength;
    }

    void requestLength()
    {
        QFETCH(QString, head);
        QFETCH(int, length);
        QCOMPARE(SimModbus::requestLength(fromHex(head)), length);
    }

    // result: "address=value ..." as read, or "!" and where a refused image is wrong.
    void images_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("result");
        const QByteArray head = "<ArrayOfSerializableParameter><SerializableParameter>";
        const QByteArray tail = "</SerializableParameter></ArrayOfSerializableParameter>";
        const QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + head
            + "<Address>71</Address><Value>90</Value><Notes>90 A</Notes></SerializableParameter>\n"
              "<SerializableParameter><Address>2047</Address><Value>-200</Value>"
            + tail;
        const QByteArray text = "# address value\n10 1234\n\n  11\t-1   # comment\n12=0x7fff\n";
        QTest::newRow("xml") << xml << "71=90 2047=65336";
        QTest::newRow("text") << text << "10=1234 11=65535 12=32767";
        QTest::newRow("wrong root") << QByteArray("<Other/>") << "!line 1";
        QTest::newRow("unclosed") << QByteArray(head).replace("><", ">\n<") << "!line 2";
        QTest::newRow("no value") << head + "<Address>3</Address>" + tail << "!Value";
        QTest::newRow("address 2048")
            << head + "<Address>2048</Address><Value>1</Value>" + tail << "!Address";
        QTest::newRow("value 65536") << head + "<Address>1</Address><Value>65536</Value>" + tail
                                     << "!Value";
        QTest::newRow("text not a number") << QByteArray("1 2\n3 x\n") << "!line 2";
        QTest::newRow("text three fields") << QByteArray("1 2 3\n") << "!line 1";
        QTest::newRow("text value too small") << QByteArray("1 -32769\n") << "!line 1";
    }

    void images()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, result);
        const bool refused = result.startsWith('!');
        RegisterImage::Values image{{5, 55}};  // a refused image leaves it alone
        QString error;
        QCOMPARE(RegisterImage::parse(data, &image, &error), !refused);
        QStringList read;
        for (auto it = image.cbegin(); it != image.cend(); ++it)
            read << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
        if (refused) {
            QVERIFY2(error.contains(result.mid(1)), qPrintable(error));
            QCOMPARE(read.join(' '), QString("5=55"));
        } else {
            QCOMPARE(read.join(' '), "5=55 " + result);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimulatorFrames)
#include "tst_simulatorframes.moc"
