// The request engine: queues, state machines, retransmission with the
// doubling timeout and the failure report.

#include "linkcases.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestKelvaraComEngine : public QObject
{
    Q_OBJECT

private slots:
    // No answer: four sends waiting t, 2t, 4t and 8t, then the failure report.
    void unansweredReadFails()
    {
        SimulatedLink t(100);
        t.sim.setSilent(true);
        QStringList retryTexts;
        QObject::connect(t.link.get(), &KelvaraCom::timeoutOccured,
                         [&] { retryTexts << t.link->getReplyText(); });
        QSignalSpy errors(t.link.get(), &KelvaraCom::errorMessage);
        const double start = t.sim.elapsedMs();

        t.link->oneRead(10);
        QVERIFY(t.waitFor("errorMessage(Read Fail)"));
        const double end = t.sim.elapsedMs();

        const QString frame = spaced(Frames::read(10, 1));
        QCOMPARE(t.requests(), QStringList({frame, frame, frame, frame}));
        // Each wait about its rung of the ladder or longer: a loaded machine
        // may make any of them late, so only their sum has a ceiling.
        const QVector<double> sent = entryTimes(t.sim) << end;
        for (int i = 0; i < 4; ++i) {
            const double gap = sent.at(i + 1) - sent.at(i);
            QVERIFY2(gap >= 0.6 * (100 << i),
                     qPrintable(QString("wait %1: %2 ms").arg(i).arg(gap)));
        }
        QVERIFY(end - start < 1.6 * (100 + 200 + 400 + 800));

        QCOMPARE(retryTexts,
                 QStringList({"TIMEOUT   - Increasing Timeout speed by x2: 200\n",
                              "TIMEOUT   - Increasing Timeout speed by x2: 400\n",
                              "TIMEOUT   - Increasing Timeout speed by x2: 800\n"}));
        QCOMPARE(
            t.events,
            QStringList({"timeoutOccured", "timeoutOccured", "timeoutOccured", "replyProcessed",
                         "enableSaveButtons(true)", "comError", "errorMessage(Read Fail)"}));
        QCOMPARE(errors.first().at(1).toString(), failureText("0", "- Timeout Error", true));
        QCOMPARE(t.link->getReplyText(),
                 QString("Communication Error: - Timeout Error - Error code: 0"));
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusCommunicationTimeout);
        QCOMPARE(t.link->getTimeoutTime(), 100);
        QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
    }

    // A failure empties both queues: a write waiting behind a failed read is
    // dropped, not sent; the link works again afterwards.
    void failureDropsWaitingWork()
    {
        SimulatedLink t(20);
        t.sim.setSilentAtAddress(10);
        t.link->oneRead(10);
        t.link->oneWrite(508);
        t.link->oneRead(20);
        QVERIFY(t.waitFor("errorMessage(Read Fail)"));
        QVERIFY(!t.link->isReadQueued(20, 1));
        QVERIFY(!t.events.contains("comSuccess"));

        t.link->oneRead(30);
        QVERIFY(t.waitFor("comSuccess"));
        const QString first = spaced(Frames::read(10, 1));
        QCOMPARE(t.requests(),
                 QStringList({first, first, first, first, spaced(Frames::read(30, 1))}));
    }

    void portThatCannotOpen()
    {
        SimulatedLink t;
        t.link->setCurrentPortName("/dev/kelvara-no-such-port");
        QSignalSpy connectErrors(t.link.get(), &KelvaraCom::comConnectError);
        QSignalSpy errors(t.link.get(), &KelvaraCom::errorMessage);

        t.link->oneRead(10);
        QCOMPARE(connectErrors.size(), 1);
        QVERIFY(t.waitFor("errorMessage(Read Fail)"));
        const int error = connectErrors.first().at(0).toInt();
        QVERIFY(error != 0);
        QCOMPARE(t.only({"enableSaveButtons(true)", "comError", "errorMessage(Read Fail)"}),
                 QStringList({"enableSaveButtons(true)", "comError", "errorMessage(Read Fail)"}));
        QCOMPARE(errors.first().at(1).toString(),
                 failureText(QString::number(error), connectErrors.first().at(1).toString()));
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusFailedSendingReadMessage);

        // The open error is not carried over to a later timeout on a good port;
        // an unanswered write is sent four times too.
        t.link->setCurrentPortName(t.sim.portName());
        t.sim.setSilent(true);
        errors.clear();
        t.link->oneWrite(508);
        QVERIFY(t.waitFor("errorMessage(Write Fail)"));
        QCOMPARE(t.sim.requestCount(), 4);
        QCOMPARE(t.events.count("comSuccess"), 0);
        QCOMPARE(errors.first().at(1).toString(),
                 failureText("0", "- Timeout Error", true, "write"));
    }

    void portVanishesMidExchange_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("atRequest");
        QTest::newRow("read") << false << 1;
        QTest::newRow("third block of a read-all") << false << 3;
        QTest::newRow("write") << true << 1;
    }

    // The terminal closes while a reply is awaited: a failure, then the link
    // serves the next port. The link knows the terminal by a name of the
    // test's own, gone before the terminal closes: the number it frees may
    // be another test's terminal by the time the link opens the port again.
    void portVanishesMidExchange()
    {
        QFETCH(bool, write);
        QFETCH(int, atRequest);
        SimulatedLink t;
        QTemporaryDir names;
        const QString name = names.filePath("port");
        QVERIFY(QFile::link(t.sim.portName(), name));
        t.link->setCurrentPortName(name);
        QObject remover;
        QObject::connect(&t.sim, &ControllerSimulator::frameLogged, &remover,
                         [&](const ControllerSimulator::LogEntry& entry) {
                             if (entry.note == "terminal closed")
                                 QFile::remove(name);
                         });
        t.sim.closeTerminalAtRequest(atRequest);
        write ? t.link->oneWrite(508) : atRequest > 1 ? t.link->readAll() : t.link->oneRead(10);
        QVERIFY(t.waitFor(write ? "errorMessage(Write Fail)" : "errorMessage(Read Fail)"));
        QVERIFY(!t.sim.isRunning());
        QCOMPARE(t.sim.requestCount(), atRequest);
        QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));

        QVERIFY(t.sim.start());
        t.link->setCurrentPortName(t.sim.portName());
        t.link->oneRead(10);
        QVERIFY(t.waitFor("comSuccess"));
    }

    // A line that never falls quiet after a late answer must not hold the next
    // request for good.
    void noisyLineStillEndsTheRequest()
    {
        SimulatedLink t(30);
        t.sim.setReplyDelay(45); // answered in the second wait
        t.link->oneRead(10);
        QVERIFY(t.waitFor("comSuccess"));
        t.sim.setLineNoise(5);
        t.events.clear();
        t.link->oneRead(20);
        QVERIFY(t.waitForAny({"comSuccess", "errorMessage(Read Fail)"}));
    }
};

QTEST_GUILESS_MAIN(TestKelvaraComEngine)
#include "tst_kelvaracomengine.moc"
