// Frames, CRC and the judgement of replies, on their own and against the
// controller simulator over a real pseudo-terminal.

#include "latereplies.h"
#include "linkcases.h"
#include "parameter.h"
#include "replyjudgement.h"
#include "sentframes.h"
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
        QTest::newRow("write 1 to 508")
            << hex("011001fc0001020001") << hex("011001fc0001020001636c");
        QTest::newRow("write 32767 to 511")
            << hex("011001ff0001027fff") << hex("011001ff0001027fffc2ef");
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
        QTest::newRow("read") << read7 << Frames::withCrc(hex("010302002a"))
                              << int(ReplyJudgement::Good);
        // The CRC of these five bytes is ffff: the buffer's fill completes it.
        QTest::newRow("cut off before its CRC")
            << read7 << hex("010302f624") << int(ReplyJudgement::Bad);
        QTest::newRow("refusal") << read7 << Frames::withCrc(hex("018302"))
                                 << int(ReplyJudgement::Rejection);
        // Whole, but not this request's answer: the controller answered.
        QTest::newRow("other slave")
            << read7 << Frames::withCrc(hex("020302002a")) << int(ReplyJudgement::Garbled);
        QTest::newRow("bad CRC") << read7 << hex("010302002a0000") << int(ReplyJudgement::Garbled);
        QTest::newRow("short") << read7 << hex("010302002a") << int(ReplyJudgement::Bad);
        QTest::newRow("write") << write508 << Frames::withCrc(hex("011001fc0001"))
                               << int(ReplyJudgement::Good);
        QTest::newRow("echo of another write")
            << write508 << Frames::withCrc(hex("011001fd0001")) << int(ReplyJudgement::Garbled);
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

    // Whatever the line does to one of the controller's replies (a byte
    // changed to anything, a byte lost, the rest cut off, noise before it),
    // what comes holds an answer of the controller; noise alone, any run of
    // one byte but the slave address or a function, holds none.
    void answersAreToldFromNoise()
    {
        const QList<QByteArray> replies = {Frames::withCrc(hex("010302002a")),
                                           Frames::withCrc(hex("011001fc0001")),
                                           Frames::withCrc(hex("018302"))};
        for (const QByteArray& reply : replies) {
            for (int i = 0; i < reply.size(); ++i) {
                for (int value = 0; value < 256; ++value) {
                    QByteArray changed = reply;
                    changed[i] = char(value);
                    QVERIFY2(ReplyJudgement::holdsAnswer(changed), changed.toHex().data());
                }
                QVERIFY(ReplyJudgement::holdsAnswer(QByteArray(reply).remove(i, 1)));
                QVERIFY(ReplyJudgement::holdsAnswer(reply.left(i + 1)));
                QVERIFY(ReplyJudgement::holdsAnswer(QByteArray(i + 1, char(0xFF)) + reply));
            }
        }
        for (int value = 0; value < 256; ++value) {
            const bool begins =
                value == 0x01 || value == 0x03 || value == 0x10 || value == 0x83 || value == 0x90;
            for (const int length : {1, 2, 7, 255})
                QCOMPARE(ReplyJudgement::holdsAnswer(QByteArray(length, char(value))), begins);
        }
        QVERIFY(!ReplyJudgement::holdsAnswer(QByteArray()));
    }

    void readAllBlocks()
    {
        SimulatedLink t;
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        QCOMPARE(t.requests(), readAllFrames());
        QCOMPARE(
            t.events,
            QStringList({"replyProcessed", "replyProcessed", "replyProcessed", "replyProcessed",
                         "replyProcessed", "comSuccess", "validated(true)", "readAllComplete"}));
        QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
        QVERIFY(t.link->getReplyText().startsWith("SUCCESS - Reply: 01 03 16 "));
        for (const int address : {0, 15, 71, 256, 237, 500}) {
            QCOMPARE(quint16(t.model->getParameter(address)->getRegisterValue()),
                     t.sim.registerValue(address));
            QCOMPARE(quint16(t.model->getSavedValues().value(address)),
                     t.sim.registerValue(address));
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
        QCOMPARE(marks.last(),
                 QVariantList({address, -1, true})); // the last word: as on the controller
    }

    void badReply_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("wait");    // the default timeout
        QTest::addColumn<int>("timeout"); // after the good reply
        // No reply, or one still coming as the wait ran out: the wait
        // doubles, and stays doubled.
        QTest::newRow("silent") << "silent" << 40 << 80;
        QTest::newRow("short, cut as the wait ran out") << "short, late" << 400 << 800;
        // A whole reply, spoiled, or one short of a byte long before the
        // wait ran out: it came in time, so the wait stays.
        QTest::newRow("short, in time") << "short" << 400 << 400;
        for (const char* fault : {"crc", "slave", "function", "garbage"})
            QTest::newRow(fault) << fault << 40 << 40;
        QTest::newRow("long") << "long" << 40 << 40;
    }

    // A bad reply is sent again and never stored (a reply from another
    // slave with a good CRC would put its values into the wrong registers);
    // a reply longer than asked keeps its expected bytes and is taken.
    void badReply()
    {
        QFETCH(QString, fault);
        QFETCH(int, wait);
        SimulatedLink t(wait);
        QVERIFY(t.sim.setRegisterValue(10, 9));
        const QMap<QString, std::function<void()>> faults{
            {"silent", [&] { t.sim.silenceNextRequests(1); }},
            {"crc", [&] { t.sim.corruptCrc(1); }},
            {"short", [&] { t.sim.shortenReplies(1, 1); }},
            // Past half the wait, however loaded the machine.
            {"short, late",
             [&] {
                 t.sim.setReplyDelay(wait * 5 / 8);
                 t.sim.shortenReplies(1, 1);
             }},
            {"slave", [&] { t.sim.replyFromSlave(2, 1); }},
            {"garbage", [&] { t.sim.prefixReplies(3, 1); }},
            {"function", [&] { t.sim.replyWithFunction(4, 1); }},
            {"long", [&] { t.sim.lengthenReplies(2, 1); }}};
        faults.value(fault)();
        QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);
        t.link->oneRead(10);
        QVERIFY(t.waitFor("comSuccess"));
        const bool again = fault != "long";
        QCOMPARE(t.requests(),
                 QVector<QString>(again ? 2 : 1, spaced(Frames::read(10, 1))).toList());
        QCOMPARE(
            t.events,
            QStringList({"timeoutOccured", "replyProcessed", "comSuccess"}).mid(again ? 0 : 1));
        QCOMPARE(values.size(), 1); // only the good reply stored anything
        QCOMPARE(t.model->getParameter(10)->getRegisterValue(), 9);
        QCOMPARE(t.link->getReplyText(),
                 "SUCCESS - Reply: " + spaced(Frames::withCrc(hex("0103020009"))) + "\n");
        QTEST(t.link->getTimeoutTime(), "timeout"); // a doubled one stays after a retry
    }

    void exceptionReplyEndsAtOnce_data()
    {
        QTest::addColumn<QString>(
            "request");                      // "read 10", "read-all", "write 509", "save, ...", ...
        QTest::addColumn<int>("code");       // of the exception, at the request's address
        QTest::addColumn<QString>("title");  // of the failure report
        QTest::addColumn<QString>("action"); // what the controller did, as told
        QTest::addColumn<int>("requests");   // sent in all
        QTest::addColumn<bool>("held");      // the write may still land, and is held so
        const auto row = [](const char* tag, const QString& request, int code, const QString& title,
                            const QString& action, int requests, bool held = false) {
            QTest::newRow(tag) << request << code << title << action << requests << held;
        };
        row("read, 2", "read 10", 2, "Read Fail",
            "refused the read of register 10: exception 2, illegal data address", 1);
        row("block of a read-all, 4", "read-all", 4, "Read Fail",
            "refused the read of registers 250 to 374: exception 4, slave device failure", 3);
        // The write a Read begins with.
        row("write, 2", "write 509", 2, "Write Fail",
            "refused the write of register 509: exception 2, illegal data address", 1);
        // Taken, to be carried out later: it may land, and is held as a
        // write whose answer never came.
        row("write kept in flash, 5", "write 229", 5, "Write Fail",
            "took the write of register 229 but did not confirm it: exception 5, acknowledge", 1,
            true);
        row("save to flash, its read-back", "save, read-back", 4, "Save to Flash Fail",
            "The controller did not confirm the save to flash: it may or may not hold the values "
            "in flash, and they stay marked until a save to flash is confirmed.\nThe save to flash "
            "could not be completed: the controller refused the read of register 511: exception "
            "4, slave device failure.",
            3);
        // The torque command was not read: nothing says the motor runs, and
        // the refusal is named.
        row("save to flash refused, torque read refused", "save, torque", 4, "Save to Flash Fail",
            "The controller answered that it did not save the values to its flash, and then "
            "refused the read of register 477: exception 4, slave device failure.\n\n",
            4);
    }
    // The controller's answer ends the request: sent again, the frame would
    // get the same one. The box names the request it refused and the reason
    // it gave, with no word of a disconnection or advice on the timeout.
    void exceptionReplyEndsAtOnce()
    {
        QFETCH(QString, request);
        QFETCH(int, code);
        QFETCH(QString, title);
        QFETCH(QString, action);
        QFETCH(int, requests);
        QFETCH(bool, held);
        SimulatedLink t;
        QSignalSpy values(t.model->getParameter(10), &Parameter::valueSet);
        QSignalSpy errors(t.link.get(), &KelvaraCom::errorMessage);
        QString replyWhenJudged;
        QObject::connect(t.link.get(), &KelvaraCom::replyProcessed,
                         [&] { replyWhenJudged = t.link->getReplyText(); });
        QObject refuser;
        const bool save = request.startsWith("save");
        if (request == "read-all") {
            t.sim.setExceptionAtAddress(250, code);
            t.link->readAll();
        } else if (save) {
            t.model->setValid(true);
            t.model->getParameter(15)->setValue(30.0);
            if (request.endsWith("read-back")) {
                // Once the write of 511 is answered.
                QObject::connect(&t.sim, &ControllerSimulator::replySent, &refuser,
                                 [&](const QByteArray& reply) {
                                     if (reply.startsWith(QByteArray::fromHex("011001ff")))
                                         t.sim.replyWithException(code, 1);
                                 });
            } else {
                t.sim.setFlashSaveFails(true);
                t.sim.setExceptionAtAddress(477, code);
                t.model->getParameter(477)->setRegisterValue(800);
            }
            t.link->writeAll();
        } else {
            t.sim.replyWithException(code, 1);
            const int address = request.section(' ', 1).toInt();
            if (request.startsWith("read"))
                t.link->oneRead(address);
            else
                t.link->oneWrite(address);
        }
        QVERIFY(t.waitFor("errorMessage(" + title + ")"));
        // Sent once each; a request sent again is what a loaded machine
        // cost, where its answer came back after the wait had run out.
        const int lateSends = t.sim.requestCount() - t.requestsInTime().size();
        QCOMPARE(t.sim.requestCount() - lateSends, requests);
        QVERIFY(lateSends > 0 || !t.events.contains("timeoutOccured"));
        QVERIFY(!t.events.contains("motorRunning"));
        QCOMPARE(values.size(), 0);
        const QString text = errors.first().at(1).toString();
        for (const char* untrue : {"disconnection", "Timeout", "noise", "Error code"})
            QVERIFY2(!text.contains(untrue), qPrintable(text));
        if (save) {
            QVERIFY2(text.contains(action), qPrintable(text));
            return;
        }
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusInvalidSerialPort);
        const QString operation = request.startsWith("read") ? "read" : "write";
        QCOMPARE(text,
                 "Communication fail. Could not " + operation + " parameter(s) requested.\nThe "
                     + operation + " could not be completed: the controller " + action + ".");
        // The console's line, kept by the failure report.
        const QVector<QByteArray> replies = t.sim.replies();
        const auto refusal =
            std::find_if(replies.cbegin(), replies.cend(), [](const QByteArray& r) {
                return r.size() > 1 && (quint8(r.at(1)) & 0x80);
            });
        QVERIFY(refusal != replies.cend());
        const QString line =
            "ERROR: The controller " + action + ". Reply: " + spaced(*refusal) + "\n";
        QCOMPARE(replyWhenJudged, line);
        QCOMPARE(t.link->getReplyText(), line);
        QCOMPARE(t.link->unansweredWrites().contains(229), held);
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
};

QTEST_GUILESS_MAIN(TestKelvaraComFrames)
#include "tst_kelvaracomframes.moc"
