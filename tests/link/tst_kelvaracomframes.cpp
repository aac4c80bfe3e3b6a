// Frames, CRC and the judgement of replies, on their own and against the
// controller simulator over a real pseudo-terminal.

#include "linkcases.h"
#include "parameter.h"
#include "replyjudgement.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QtTest>

class TestKelvaraComFrames : public QObject
{
    Q_OBJECT

private slots:
    void fillInCrc_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("read 42 from 258") << hex("01030102002a") << hex("01030102002a6429");
        QTest::newRow("read 125 from 0") << hex("01030000007d") << hex("01030000007d85eb");
        QTest::newRow("write 1 to 508") << hex("011001fc0001020001") << hex("011001fc0001020001636c");
        QTest::newRow("write 32767 to 511") << hex("011001ff0001027fff") << hex("011001ff0001027fffc2ef");
    }

    void fillInCrc()
    {
        QFETCH(QByteArray, message);
        QTEST(KelvaraCom::fillInCRC(message), "frame");
        QCOMPARE(KelvaraCom::calculateCRC("123456789"), hex("374b"));
        QCOMPARE(KelvaraCom::calculateCRC(QByteArray()), hex("ffff"));
    }

    void verdict_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("expected");
        const QByteArray read7 = Frames::read(7, 1);
        const QByteArray write508 = Frames::write(508, {1});
        QTest::newRow("read") << read7 << Frames::withCrc(hex("010302002a")) << int(ReplyJudgement::Good);
        // The CRC of these five bytes is ffff: the buffer's fill completes it.
        QTest::newRow("cut off before its CRC") << read7 << hex("010302f624") << int(ReplyJudgement::Bad);
        QTest::newRow("refusal") << read7 << Frames::withCrc(hex("018302")) << int(ReplyJudgement::Rejection);
        QTest::newRow("other slave") << read7 << Frames::withCrc(hex("020302002a")) << int(ReplyJudgement::Bad);
        QTest::newRow("write") << write508 << Frames::withCrc(hex("011001fc0001")) << int(ReplyJudgement::Good);
        QTest::newRow("echo of another write") << write508 << Frames::withCrc(hex("011001fd0001"))
                                               << int(ReplyJudgement::Bad);
    }

    // As the link collects a reply: a buffer of the expected length, filled
    // with 0xff, then the bytes that came.
    void verdict()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, received);
        const int count = (quint8(request.at(4)) << 8) | quint8(request.at(5));
        QByteArray buffer(request.at(1) == 3 ? count * 2 + 5 : 8, char(0xFF));
        buffer.replace(0, received.size(), received);
        QTEST(int(ReplyJudgement::judge(request, buffer, received.size())), "expected");
    }

    void textsAndRates()
    {
        QCOMPARE(::niceHex("010302"), QString("01 03 02\n"));
        QCOMPARE(KelvaraCom::niceHex("010302"), QString("01 03 02"));
        const QStringList statuses{"Success", "Invalid serial port", "Communication timeout",
                                   "Failed sending read message", "Controller connected", "Controller disconnected"};
        for (int code = 0; code < statuses.size(); ++code)
            QCOMPARE(KelvaraCom::getStatusString(KelvaraCom::Status(code)), statuses.at(code));
        Kelvara model;
        KelvaraCom link(&model);
        QCOMPARE(link.getStatus(), KelvaraCom::StatusFailedSendingReadMessage);
        for (const int rate : {1200, 9600, 57600, 115200})
            QVERIFY(link.setBaud(rate) && link.getBaud() == rate);
        for (const int rate : {0, -9600, 14400, 250000})
            QVERIFY(!link.setBaud(rate) && link.getBaud() == 115200);
    }

    void readAllBlocks()
    {
        SimulatedLink t;
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        QCOMPARE(t.requests(), readAllFrames());
        QCOMPARE(t.requests().first(), QString("01 03 00 00 00 7d 85 eb"));
        QVERIFY(t.requests().last().startsWith("01 03 01 f4 00 0b"));
        QCOMPARE(t.events, QStringList({"replyProcessed", "replyProcessed", "replyProcessed", "replyProcessed",
                                        "replyProcessed", "comSuccess", "validated(true)", "readAllComplete"}));
        QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
        QVERIFY(t.link->getReplyText().startsWith("SUCCESS - Reply: 01 03 16 "));
        for (const int address : {0, 15, 71, 256, 237, 500}) {
            QCOMPARE(quint16(t.model->getParameter(address)->getRegisterValue()), t.sim.registerValue(address));
            QCOMPARE(quint16(t.model->getSavedValues().value(address)), t.sim.registerValue(address));
        }
        QVERIFY(t.model->getUnsavedValues().isEmpty());
    }

    void valuesLand_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("wire");
        QTest::addColumn<int>("raw");
        QTest::newRow("signed ff38") << 477 << 0xff38 << -200;
        QTest::newRow("signed 00c8") << 477 << 0x00c8 << 200;
        QTest::newRow("unsigned ff38") << 258 << 0xff38 << 65336;
        QTest::newRow("unsigned 8000") << 299 << 0x8000 << 32768;
    }

    void valuesLand()
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
        QCOMPARE(marks.last(), QVariantList({address, -1, true})); // the last word: as on the controller
    }

    void writeFrameCarriesValuesWhenBuilt()
    {
        SimulatedLink t;
        Parameter* gain = t.model->getParameter(15); // scale 100
        gain->setValue(30.5);
        t.link->oneWrite(15);
        // The link was idle, so the frame was built at once: a later change
        // does not go out with it.
        gain->setValue(12.0);
        t.model->getParameter(282)->setRegisterValue(-2); // signed: two's complement
        t.link->oneWrite(282);
        QVERIFY(t.waitFor("replyProcessed", 2));
        QCOMPARE(t.requests().mid(0, 2),
                 QStringList({spaced(Frames::write(15, {3050})), spaced(Frames::write(282, {0xfffe}))}));
        QCOMPARE(t.sim.registerValue(15), quint16(3050));
    }

    void consoleLines()
    {
        SimulatedLink t;
        QVERIFY(t.sim.setRegisterValue(10, 7));
        QSignalSpy lines(t.link.get(), &KelvaraCom::replyMessageCreated);
        t.link->oneRead(9, 3);
        t.link->oneWrite(508);
        QVERIFY(t.waitFor("comSuccess", 2));
        QCOMPARE(lines.size(), 4);
        const QString time = "\\d\\d:\\d\\d:\\d\\d  - Addr: ";
        const QString name10 = t.model->getParameter(10)->getName().leftJustified(35);
        const QStringList patterns{"^\nRead Res:\n" + time + "9 - .{35} - Value: \\S+$",
                                   "^" + time + "10 - " + QRegularExpression::escape(name10) + " - Value: 7$",
                                   "^" + time + "11 - ", "^\nWrite Res:\n" + time + "508 - "};
        for (int i = 0; i < patterns.size(); ++i) {
            const QString line = lines.at(i).at(0).toString();
            QVERIFY2(QRegularExpression(patterns.at(i)).match(line).hasMatch(), qPrintable(line));
        }

        // In hex: one line of the whole reply each.
        lines.clear();
        t.link->showHexMessage(true);
        QVERIFY(t.sim.setRegisterValue(10, 0x1234));
        t.link->oneRead(10, 2);
        t.link->oneWrite(508);
        QVERIFY(t.waitFor("comSuccess", 4));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).at(0).toString(), spaced(Frames::withCrc(hex("01030412340000"))) + "\n");
        QCOMPARE(lines.at(1).at(0).toString(), spaced(Frames::withCrc(hex("011001fc0001"))) + "\n");
    }

    // With the default 250 ms timeout a reply that is there within a few
    // milliseconds is still judged only when the wait runs out.
    void judgedAtExpiryNotArrival()
    {
        SimulatedLink t(0);
        QCOMPARE(t.link->getTimeoutTime(), 250);
        QVERIFY(t.sim.setRegisterValue(10, 42));
        t.sim.setReplyDelay(20);
        double judgedAt = -1;
        int valueAtArrival = -1;
        QObject::connect(t.link.get(), &KelvaraCom::replyProcessed, [&] { judgedAt = t.sim.elapsedMs(); });
        QObject::connect(&t.sim, &ControllerSimulator::replySent,
                         [&] { valueAtArrival = t.model->getParameter(10)->getRegisterValue(); });
        t.link->oneRead(10);
        QVERIFY(t.waitFor("comSuccess", 1, 2000));
        const double sentAt = entryTimes(t.sim).first();
        QVERIFY(entryTimes(t.sim, ControllerSimulator::Reply).first() - sentAt < 150);
        // Room for a late stamp of the request, and for late timers, under load.
        QVERIFY2(judgedAt - sentAt >= 200 && judgedAt - sentAt < 500, qPrintable(QString::number(judgedAt - sentAt)));
        QCOMPARE(valueAtArrival, 0);
        QCOMPARE(t.model->getParameter(10)->getRegisterValue(), 42);
    }

    void badReply_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* fault : {"silent", "crc", "short", "slave", "function", "garbage", "long"})
            QTest::newRow(fault) << fault;
    }

    // A bad reply is sent again and never stored (a reply from another
    // slave with a good CRC would put its values into the wrong registers);
    // a reply longer than asked keeps its expected bytes and is taken.
    void badReply()
    {
        QFETCH(QString, fault);
        SimulatedLink t;
        QVERIFY(t.sim.setRegisterValue(10, 9));
        const QMap<QString, std::function<void()>> faults{
            {"silent", [&] { t.sim.silenceNextRequests(1); }}, {"crc", [&] { t.sim.corruptCrc(1); }},
            {"short", [&] { t.sim.shortenReplies(1, 1); }},    {"slave", [&] { t.sim.replyFromSlave(2, 1); }},
            {"garbage", [&] { t.sim.prefixReplies(3, 1); }},   {"function", [&] { t.sim.replyWithFunction(4, 1); }},
            {"long", [&] { t.sim.lengthenReplies(2, 1); }}};
        faults.value(fault)();
        QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);
        t.link->oneRead(10);
        QVERIFY(t.waitFor("comSuccess"));
        const bool again = fault != "long";
        QCOMPARE(t.requests(), QVector<QString>(again ? 2 : 1, spaced(Frames::read(10, 1))).toList());
        QCOMPARE(t.events, QStringList({"timeoutOccured", "replyProcessed", "comSuccess"}).mid(again ? 0 : 1));
        QCOMPARE(values.size(), 1); // only the good reply stored anything
        QCOMPARE(t.model->getParameter(10)->getRegisterValue(), 9);
        QCOMPARE(t.link->getReplyText(), "SUCCESS - Reply: " + spaced(Frames::withCrc(hex("0103020009"))) + "\n");
        QCOMPARE(t.link->getTimeoutTime(), again ? 80 : 40); // stays doubled after a retry
    }

    void exceptionReplyEndsAtOnce()
    {
        SimulatedLink t;
        t.sim.replyWithException(2, 1);
        QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);
        QSignalSpy errors(t.link.get(), &KelvaraCom::errorMessage);
        QString replyWhenJudged;
        QObject::connect(t.link.get(), &KelvaraCom::replyProcessed, [&] { replyWhenJudged = t.link->getReplyText(); });
        t.link->oneRead(10);
        QVERIFY(t.waitFor("errorMessage(Read Fail)", 1, 1000));
        QCOMPARE(t.sim.requestCount(), 1);
        QVERIFY(!t.events.contains("timeoutOccured"));
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusInvalidSerialPort);
        const QString refusal =
            "ERROR: Invalid address or number parameters. Reply: " + spaced(Frames::withCrc(hex("018302"))) + "\n";
        QCOMPARE(replyWhenJudged, refusal);
        QCOMPARE(values.size(), 0);
        // The failure report keeps the controller's answer, without timeout advice.
        QCOMPARE(t.link->getReplyText(), refusal);
        QCOMPARE(errors.first().at(1).toString(), failureText("0", refusal.chopped(1)));

        t.sim.replyWithException(4, 1);
        t.link->oneWrite(508);
        QVERIFY(t.waitFor("errorMessage(Write Fail)", 1, 1000));
        QCOMPARE(t.sim.requestCount(), 2);
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusInvalidSerialPort);
    }

    // A copy of a reply that comes after its exchange has ended waits in the
    // terminal; the next exchange must not take it for its own reply.
    void lateDuplicateIsNotTaken()
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

    void slowFaultRead()
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

        // An event loop held up for more than a second makes it slow: the
        // blocking sleep is the stimulus, not a wait for something.
        t.link->setTimeoutTime(30);
        t.link->oneRead(258, 42);
        QThread::msleep(1100);
        QVERIFY(t.waitFor("comSuccess", 2, 3000));
        QCOMPARE(t.sim.requestCount(), 5);
        QCOMPARE(slow.size(), 1);
        QVERIFY(slow.first().first().toInt() >= 1100);
    }
};

QTEST_GUILESS_MAIN(TestKelvaraComFrames)
#include "tst_kelvaracomframes.moc"
