// Frames, CRC and the judgement of replies, against the controller
// simulator over a real pseudo-terminal.

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "portclient.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QString spaced(const QByteArray& frame)
{
    return frame.toHex(' ');
}

// The elapsed time of the simulator's log entries of one direction.
QVector<double> entryTimes(const ControllerSimulator& sim, ControllerSimulator::Direction direction)
{
    QVector<double> times;
    for (const auto& entry : sim.frameLog()) {
        if (entry.direction == direction)
            times << entry.elapsedMs;
    }
    return times;
}

} // namespace

class TestKelvaraComFrames : public QObject
{
    Q_OBJECT

private slots:
    void crc();
    void fillInCrc_data();
    void fillInCrc();
    void niceHex_data();
    void niceHex();
    void statusTexts_data();
    void statusTexts();
    void baudRates_data();
    void baudRates();

    void readAllBlocks();
    void valuesLand_data();
    void valuesLand();
    void writeFrameCarriesValuesWhenBuilt();
    void consoleLines();
    void consoleHex();
    void judgedAtExpiryNotArrival();
    void longReplyKeepsExpectedBytes();
    void badReplyIsSentAgain_data();
    void badReplyIsSentAgain();
    void wrongSlaveNeverStored();
    void exceptionReplyEndsAtOnce();
    void lateDuplicateIsNotTaken();
    void slowFaultRead();
};

void TestKelvaraComFrames::crc()
{
    QCOMPARE(KelvaraCom::calculateCRC("123456789"), hex("374b"));
    QCOMPARE(KelvaraCom::calculateCRC(QByteArray()), hex("ffff"));
}

void TestKelvaraComFrames::fillInCrc_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("read 42 from 258") << hex("01030102002a") << hex("01030102002a6429");
    QTest::newRow("read 125 from 0") << hex("01030000007d") << hex("01030000007d85eb");
    QTest::newRow("write 1 to 508") << hex("011001fc0001020001") << hex("011001fc0001020001636c");
    QTest::newRow("write 32767 to 511") << hex("011001ff0001027fff") << hex("011001ff0001027fffc2ef");
}

void TestKelvaraComFrames::fillInCrc()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, frame);
    QCOMPARE(KelvaraCom::fillInCRC(message), frame);
}

void TestKelvaraComFrames::niceHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("withLineEnd");
    QTest::addColumn<QString>("member");
    QTest::newRow("two bytes") << "0103" << "01 03\n" << "01 03";
    QTest::newRow("three bytes") << "010302" << "01 03 02\n" << "01 03 02";
    QTest::newRow("empty") << "" << "\n" << "";
}

void TestKelvaraComFrames::niceHex()
{
    QFETCH(QString, text);
    QFETCH(QString, withLineEnd);
    QFETCH(QString, member);
    QCOMPARE(::niceHex(text), withLineEnd);
    QCOMPARE(KelvaraCom::niceHex(text), member);
}

void TestKelvaraComFrames::statusTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "Success";
    QTest::newRow("1") << 1 << "Invalid serial port";
    QTest::newRow("2") << 2 << "Communication timeout";
    QTest::newRow("3") << 3 << "Failed sending read message";
    QTest::newRow("4") << 4 << "Controller connected";
    QTest::newRow("5") << 5 << "Controller disconnected";
}

void TestKelvaraComFrames::statusTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(KelvaraCom::getStatusString(KelvaraCom::Status(code)), text);
}

void TestKelvaraComFrames::baudRates_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("taken");
    QTest::newRow("1200") << 1200 << true;
    QTest::newRow("9600") << 9600 << true;
    QTest::newRow("57600") << 57600 << true;
    QTest::newRow("115200") << 115200 << true;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("-9600") << -9600 << false;
    QTest::newRow("14400") << 14400 << false;
    QTest::newRow("250000") << 250000 << false;
}

void TestKelvaraComFrames::baudRates()
{
    QFETCH(int, rate);
    QFETCH(bool, taken);
    Kelvara model;
    KelvaraCom link(&model);
    QCOMPARE(link.getBaud(), 115200);
    QCOMPARE(link.getStatus(), KelvaraCom::StatusFailedSendingReadMessage);
    QCOMPARE(link.getMode(), int(KelvaraCom::IdleMode));
    QCOMPARE(link.setBaud(rate), taken);
    QCOMPARE(link.getBaud(), taken ? rate : 115200);
}

void TestKelvaraComFrames::readAllBlocks()
{
    SimulatedLink t;
    QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete"));

    QCOMPARE(t.requests(), QStringList({
                               "01 03 00 00 00 7d 85 eb",
                               spaced(Frames::read(125, 125)),
                               spaced(Frames::read(250, 125)),
                               spaced(Frames::read(375, 125)),
                               spaced(Frames::read(500, 11)),
                           }));
    QVERIFY(t.requests().last().startsWith("01 03 01 f4 00 0b"));
    QCOMPARE(t.events.filter("replyProcessed").size(), 5);
    QCOMPARE(t.only({"comSuccess", "validated(true)", "readAllComplete"}),
             QStringList({"comSuccess", "validated(true)", "readAllComplete"}));
    QVERIFY(t.model->isValid());
    QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
    QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
    QVERIFY(t.link->getReplyText().startsWith("SUCCESS - Reply: 01 03 16 "));
    QVERIFY(t.link->getReplyText().endsWith("\n"));

    // Every defined register holds the controller's value and is saved.
    for (const int address : {0, 15, 71, 256, 237, 500}) {
        Parameter* parameter = t.model->getParameter(address);
        if (parameter->getName() == "invalid")
            continue;
        QCOMPARE(quint16(parameter->getRegisterValue()), t.sim.registerValue(address));
        QCOMPARE(quint16(t.model->getSavedValues().value(address)), t.sim.registerValue(address));
    }
    QVERIFY(t.model->getUnsavedValues().isEmpty());
}

void TestKelvaraComFrames::valuesLand_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("wire");
    QTest::addColumn<int>("raw");
    QTest::newRow("signed ff38") << 477 << 0xff38 << -200;
    QTest::newRow("signed 00c8") << 477 << 0x00c8 << 200;
    QTest::newRow("unsigned ff38") << 258 << 0xff38 << 65336;
    QTest::newRow("unsigned 8000") << 299 << 0x8000 << 32768;
}

void TestKelvaraComFrames::valuesLand()
{
    QFETCH(int, address);
    QFETCH(int, wire);
    QFETCH(int, raw);
    SimulatedLink t;
    QVERIFY(t.sim.setRegisterValue(address, wire));
    t.model->setValid(true);
    QSignalSpy marks(t.model.get(), &Kelvara::parameterIsOriginal);

    t.link->oneRead(address);
    QVERIFY(t.waitFor("comSuccess"));
    QCOMPARE(t.requests(), QStringList({spaced(Frames::read(address, 1))}));
    QCOMPARE(t.model->getParameter(address)->getRegisterValue(), raw);
    QCOMPARE(t.model->getSavedValues().value(address), raw);
    QVERIFY(!t.model->getUnsavedValues().contains(address));
    // The last word on the register is that it matches the controller.
    QVERIFY(!marks.isEmpty());
    QCOMPARE(marks.last().at(0).toInt(), address);
    QCOMPARE(marks.last().at(1).toInt(), -1);
    QCOMPARE(marks.last().at(2).toBool(), true);
}

void TestKelvaraComFrames::writeFrameCarriesValuesWhenBuilt()
{
    SimulatedLink t;
    Parameter* gain = t.model->getParameter(15); // scale 100
    gain->setValue(30.5);
    t.link->oneWrite(15);
    // The link was idle, so the frame was built at once: a later change does
    // not go out with it.
    gain->setValue(12.0);
    QVERIFY(t.waitFor("comSuccess", 1, 8000));
    QCOMPARE(t.requests().first(), spaced(Frames::write(15, {3050})));
    QCOMPARE(t.sim.registerValue(15), quint16(3050));

    // A negative value goes out in two's complement.
    SimulatedLink u;
    u.model->getParameter(282)->setRegisterValue(-2);
    QVERIFY(u.model->getParameter(282)->isSigned());
    u.link->oneWrite(282);
    QVERIFY(u.waitFor("comSuccess", 1, 8000));
    QCOMPARE(u.requests().first(), spaced(Frames::write(282, {0xfffe})));
}

void TestKelvaraComFrames::consoleLines()
{
    SimulatedLink t;
    QVERIFY(t.sim.setRegisterValue(10, 7));
    QSignalSpy lines(t.link.get(), &KelvaraCom::replyMessageCreated);
    t.link->oneRead(9, 3);
    QVERIFY(t.waitFor("comSuccess"));

    QCOMPARE(lines.size(), 3);
    const QRegularExpression first(
        "^\nRead Res:\n\\d\\d:\\d\\d:\\d\\d  - Addr: 9 - .{35} - Value: \\S+$");
    QVERIFY2(first.match(lines.at(0).at(0).toString()).hasMatch(),
             qPrintable(lines.at(0).at(0).toString()));
    const QString second = lines.at(1).at(0).toString();
    QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d  - Addr: 10 - ").match(second).hasMatch(),
             qPrintable(second));
    QVERIFY(second.endsWith(" - Value: 7"));
    QVERIFY(second.contains(" - " + t.model->getParameter(10)->getName().leftJustified(35) + " - "));
    QVERIFY(lines.at(2).at(0).toString().contains(" - Addr: 11 - "));

    // A write reply: one "Write Res" header on the first register.
    lines.clear();
    t.link->oneWrite(508);
    QVERIFY(t.waitFor("comSuccess", 2));
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.at(0).at(0).toString().startsWith("\nWrite Res:\n"));
}

void TestKelvaraComFrames::consoleHex()
{
    SimulatedLink t;
    QVERIFY(t.sim.setRegisterValue(10, 0x1234));
    t.link->showHexMessage(true);
    QSignalSpy lines(t.link.get(), &KelvaraCom::replyMessageCreated);
    t.link->oneRead(10, 2);
    QVERIFY(t.waitFor("comSuccess"));
    const QByteArray reply = Frames::withCrc(hex("0103041234") + hex("0000"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.at(0).at(0).toString(), spaced(reply) + "\n");

    // A write reply gives one hex text of its eight bytes.
    lines.clear();
    t.link->oneWrite(508);
    QVERIFY(t.waitFor("comSuccess", 2));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.at(0).at(0).toString(), "01 10 01 fc 00 01 " + spaced(t.sim.replies().last().right(2)) + "\n");
}

// With the default 250 ms timeout a reply that is there within a few
// milliseconds is still judged only when the wait runs out.
void TestKelvaraComFrames::judgedAtExpiryNotArrival()
{
    SimulatedLink t(0);
    QCOMPARE(t.link->getTimeoutTime(), 250);
    QVERIFY(t.sim.setRegisterValue(10, 42));
    t.sim.setReplyDelay(20);
    double judgedAt = -1;
    int valueWhenJudged = -1;
    QObject::connect(t.link.get(), &KelvaraCom::replyProcessed, [&] {
        judgedAt = t.sim.elapsedMs();
        valueWhenJudged = t.model->getParameter(10)->getRegisterValue();
    });
    int valueAtArrival = -1;
    QObject::connect(&t.sim, &ControllerSimulator::replySent, [&] {
        valueAtArrival = t.model->getParameter(10)->getRegisterValue();
    });

    t.link->oneRead(10);
    QVERIFY(t.waitFor("comSuccess", 1, 2000));
    const double sentAt = entryTimes(t.sim, ControllerSimulator::Request).first();
    const double repliedAt = entryTimes(t.sim, ControllerSimulator::Reply).first();
    QVERIFY2(repliedAt - sentAt < 150, qPrintable(QString::number(repliedAt - sentAt)));
    // Room for a late stamp of the request, and for late timers, under load.
    QVERIFY2(judgedAt - sentAt >= 200, qPrintable(QString::number(judgedAt - sentAt)));
    QVERIFY2(judgedAt - sentAt < 500, qPrintable(QString::number(judgedAt - sentAt)));
    QCOMPARE(valueAtArrival, 0);
    QCOMPARE(valueWhenJudged, 42);
}

void TestKelvaraComFrames::longReplyKeepsExpectedBytes()
{
    SimulatedLink t;
    QVERIFY(t.sim.setRegisterValue(10, 5));
    t.sim.lengthenReplies(2, 1);
    t.link->oneRead(10);
    QVERIFY(t.waitFor("comSuccess"));
    QCOMPARE(t.sim.requestCount(), 1);
    QCOMPARE(t.model->getParameter(10)->getRegisterValue(), 5);
    QCOMPARE(t.link->getReplyText(), "SUCCESS - Reply: " + spaced(Frames::withCrc(hex("0103020005"))) + "\n");
}

void TestKelvaraComFrames::badReplyIsSentAgain_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("no reply") << "silent";
    QTest::newRow("bad crc") << "crc";
    QTest::newRow("short reply") << "short";
    QTest::newRow("other slave") << "slave";
    QTest::newRow("other function") << "function";
}

void TestKelvaraComFrames::badReplyIsSentAgain()
{
    QFETCH(QString, fault);
    SimulatedLink t;
    QVERIFY(t.sim.setRegisterValue(10, 9));
    if (fault == "silent")
        t.sim.silenceNextRequests(1);
    else if (fault == "crc")
        t.sim.corruptCrc(1);
    else if (fault == "short")
        t.sim.shortenReplies(1, 1);
    else if (fault == "slave")
        t.sim.replyFromSlave(2, 1);
    else
        t.sim.replyWithFunction(4, 1);
    QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);

    t.link->oneRead(10);
    QVERIFY(t.waitFor("comSuccess"));
    const QString frame = spaced(Frames::read(10, 1));
    QCOMPARE(t.requests(), QStringList({frame, frame}));
    QCOMPARE(t.only({"timeoutOccured", "replyProcessed", "comSuccess"}),
             QStringList({"timeoutOccured", "replyProcessed", "comSuccess"}));
    QCOMPARE(values.size(), 1); // only the good reply stored anything
    QCOMPARE(t.model->getParameter(10)->getRegisterValue(), 9);
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
    // The timeout stays doubled after a retry that succeeded.
    QCOMPARE(t.link->getTimeoutTime(), 80);
}

// A reply from another slave with a good CRC would put its values into the
// wrong registers: it is never stored, however often it comes.
void TestKelvaraComFrames::wrongSlaveNeverStored()
{
    SimulatedLink t(20);
    QVERIFY(t.sim.setRegisterValue(10, 77));
    t.sim.replyFromSlave(2, ControllerSimulator::Forever);
    QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);
    t.link->oneRead(10);
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    QCOMPARE(t.sim.requestCount(), 4);
    QCOMPARE(values.size(), 0);
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusCommunicationTimeout);
}

void TestKelvaraComFrames::exceptionReplyEndsAtOnce()
{
    SimulatedLink t;
    t.sim.replyWithException(2, 1);
    QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);
    QSignalSpy errors(t.link.get(), &KelvaraCom::errorMessage);
    QString replyWhenJudged;
    QObject::connect(t.link.get(), &KelvaraCom::replyProcessed,
                     [&] { replyWhenJudged = t.link->getReplyText(); });

    t.link->oneRead(10);
    QVERIFY(t.waitFor("errorMessage(Read Fail)", 1, 1000));
    QCOMPARE(t.sim.requestCount(), 1);
    QVERIFY(!t.events.contains("timeoutOccured"));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusInvalidSerialPort);
    const QByteArray exception = Frames::withCrc(hex("018302"));
    QCOMPARE(t.sim.replies().first(), exception);
    const QString refusal = "ERROR: Invalid address or number parameters. Reply: " + spaced(exception);
    QCOMPARE(replyWhenJudged, refusal + "\n");
    QCOMPARE(values.size(), 0);
    // The failure report keeps the controller's answer, without timeout advice.
    QCOMPARE(t.link->getReplyText(), refusal + "\n");
    QVERIFY(errors.first().at(1).toString().contains("Error code: 0 " + refusal + "\n"));
    QVERIFY(!errors.first().at(1).toString().contains("Timeout"));

    // The same for a write.
    t.events.clear();
    t.sim.replyWithException(4, 1);
    t.link->oneWrite(508);
    QVERIFY(t.waitFor("errorMessage(Write Fail)", 1, 1000));
    QCOMPARE(t.sim.requestCount(), 2);
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusInvalidSerialPort);
}

// A copy of a reply that comes after its exchange has ended waits in the
// terminal; the next exchange must not take it for its own reply.
void TestKelvaraComFrames::lateDuplicateIsNotTaken()
{
    SimulatedLink t(30);
    QVERIFY(t.sim.setRegisterValue(10, 0x1111));
    QVERIFY(t.sim.setRegisterValue(20, 0x2222));
    t.sim.duplicateReplies(100, 1);
    t.link->oneRead(10);
    QVERIFY(t.waitFor("comSuccess"));
    QVERIFY(t.sim.waitForReplies(2)); // the copy, sent while the port is closed

    t.link->oneRead(20);
    QVERIFY(t.waitFor("comSuccess", 2));
    QCOMPARE(t.model->getParameter(20)->getRegisterValue(), 0x2222);
    QCOMPARE(t.model->getParameter(10)->getRegisterValue(), 0x1111);
    QCOMPARE(t.sim.requestCount(), 2);
}

void TestKelvaraComFrames::slowFaultRead()
{
    SimulatedLink t(30);
    t.sim.silenceNextRequests(3);
    QSignalSpy slow(t.link.get(), &KelvaraCom::macSlowFaultRead);
    t.link->oneRead(258, 42);
    QVERIFY(t.waitFor("comSuccess", 1, 3000));
    // Judged at the fourth send: 30 + 60 + 120 + 240 = 450 ms, below the
    // bound of 240 + 1000 ms.
    QCOMPARE(t.sim.requestCount(), 4);
    QCOMPARE(slow.size(), 0);

    // An event loop held up for more than a second makes it slow.
    t.link->setTimeoutTime(30);
    t.link->oneRead(258, 42);
    QThread::msleep(1100);
    QVERIFY(t.waitFor("comSuccess", 2, 3000));
    QCOMPARE(t.sim.requestCount(), 5);
    QCOMPARE(slow.size(), 1);
    QVERIFY(slow.first().first().toInt() >= 1100);
}

QTEST_GUILESS_MAIN(TestKelvaraComFrames)
#include "tst_kelvaracomframes.moc"
