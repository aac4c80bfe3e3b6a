// The request engine: queues, state machines, retransmission with the
// doubling timeout and the failure report.

#include "kelvaracom.h"
#include "parameter.h"
#include "portclient.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QString spaced(const QByteArray& frame)
{
    return frame.toHex(' ');
}

QVector<double> requestTimes(const ControllerSimulator& sim)
{
    QVector<double> times;
    for (const auto& entry : sim.frameLog()) {
        if (entry.direction == ControllerSimulator::Request)
            times << entry.elapsedMs;
    }
    return times;
}

const char* advice =
    "\n\nIf this error continues to reappear and the connection has been checked, please go to "
    "File->Preferences->Communication Speed, double the 'Communication Timeout' time, and try "
    "again.\n\nIf that does not resolve the issue, it is likely that the CRC check is failing "
    "(data coming from the controller is corrupted), likely due to using a noisy power supply or "
    "electromagnetic interference.Try using a battery instead of a power supply, reducing cable "
    "length, checking connections, and straightening any loops of cable";

QString failureText(const QString& errorCode, const QString& errorText)
{
    return "Communication fail. Could not write parameter(s) requested.\nError code: " + errorCode
        + " " + errorText
        + "\n\nThis is likely a disconnection between the controller and your computer.\n"
          "Ensure your controller is: \n"
          "  - Not running while you're trying to save parameters or autotune\n"
          "  - Connected correctly to the power source\n"
          "  - Connected correctly to the serial cord\n"
          "  - Connected correctly to the computer\n"
          "\nand please try again.";
}

} // namespace

class TestKelvaraComEngine : public QObject
{
    Q_OBJECT

private slots:
    void unansweredReadFails();
    void unansweredWriteFails();
    void readQueuedDuringWriteWaitsForBatchEnd();
    void failureDropsWaitingWork();
    void portThatCannotOpen();
    void timeoutChangeKeepsRunningWait();
    void queueOperations();
    void foreignReplyProcessedDoesNotAdvance();
    void noisyLineStillEndsTheRequest();
};

// No answer: four sends waiting t, 2t, 4t and 8t, then the failure report.
void TestKelvaraComEngine::unansweredReadFails()
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
    // Each wait on its own rung of the ladder, with room for late stamps and
    // timers on a loaded machine.
    const QVector<double> sent = requestTimes(t.sim);
    const QVector<int> waits{100, 200, 400};
    for (int i = 0; i < waits.size(); ++i) {
        const double gap = sent.at(i + 1) - sent.at(i);
        QVERIFY2(gap >= 0.6 * waits.at(i) && gap < 1.6 * waits.at(i),
                 qPrintable(QString("wait %1: %2 ms").arg(i).arg(gap)));
    }
    QVERIFY2(end - sent.last() >= 0.6 * 800, qPrintable(QString::number(end - sent.last())));
    QVERIFY(end - start < 1.6 * (100 + 200 + 400 + 800));

    QCOMPARE(retryTexts, QStringList({"TIMEOUT   - Increasing Timeout speed by x2: 200\n",
                                      "TIMEOUT   - Increasing Timeout speed by x2: 400\n",
                                      "TIMEOUT   - Increasing Timeout speed by x2: 800\n"}));
    QCOMPARE(t.events, QStringList({"timeoutOccured", "timeoutOccured", "timeoutOccured",
                                    "replyProcessed", "enableSaveButtons(true)", "comError",
                                    "errorMessage(Read Fail)"}));
    QCOMPARE(errors.first().at(1).toString(), failureText("0", "- Timeout Error") + advice);
    QCOMPARE(t.link->getReplyText(), QString("Communication Error: - Timeout Error - Error code: 0"));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusCommunicationTimeout);
    QCOMPARE(t.link->getTimeoutTime(), 100);
    QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
}

void TestKelvaraComEngine::unansweredWriteFails()
{
    SimulatedLink t(20);
    t.sim.setSilent(true);
    t.link->oneWrite(508);
    QVERIFY(t.waitFor("errorMessage(Write Fail)"));
    QCOMPARE(t.sim.requestCount(), 4);
    QCOMPARE(t.only({"enableSaveButtons(true)", "comError", "errorMessage(Write Fail)", "comSuccess"}),
             QStringList({"enableSaveButtons(true)", "comError", "errorMessage(Write Fail)"}));
}

void TestKelvaraComEngine::readQueuedDuringWriteWaitsForBatchEnd()
{
    SimulatedLink t;
    t.link->oneWrite(508);
    t.link->oneRead(258, 74);
    QVERIFY(t.link->isReadQueued(258, 74));
    QVERIFY(!t.link->isReadQueued(74, 258));
    QCOMPARE(t.link->getMode(), int(KelvaraCom::WriteMode));
    QVERIFY(t.waitFor("comSuccess", 2));
    QVERIFY(!t.link->isReadQueued(258, 74));
    QCOMPARE(t.requests(), QStringList({spaced(Frames::write(508, {0})),
                                        spaced(Frames::read(258, 74))}));
    QCOMPARE(t.only({"comSuccess", "enableSaveButtons(true)", "replyProcessed"}),
             QStringList({"replyProcessed", "enableSaveButtons(true)", "comSuccess",
                          "replyProcessed", "comSuccess"}));
}

// A failure empties both queues: a write waiting behind a failed read is
// dropped, not sent.
void TestKelvaraComEngine::failureDropsWaitingWork()
{
    SimulatedLink t(20);
    t.sim.setSilentAtAddress(10);
    t.link->oneRead(10);
    t.link->oneWrite(508);
    t.link->oneRead(20);
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    QVERIFY(!t.link->isReadQueued(20, 1));
    QTest::qWait(100);
    QCOMPARE(t.sim.requestCount(), 4);
    QVERIFY(!t.events.contains("comSuccess"));

    // The link works again afterwards.
    t.link->oneRead(20);
    QVERIFY(t.waitFor("comSuccess"));
    QCOMPARE(t.requests().last(), spaced(Frames::read(20, 1)));
}

void TestKelvaraComEngine::portThatCannotOpen()
{
    SimulatedLink t;
    t.link->setCurrentPortName("/dev/kelvara-no-such-port");
    QCOMPARE(t.link->getPortName(), QString("/dev/kelvara-no-such-port"));
    QSignalSpy connectErrors(t.link.get(), &KelvaraCom::comConnectError);
    QSignalSpy errors(t.link.get(), &KelvaraCom::errorMessage);

    t.link->oneRead(10);
    QCOMPARE(connectErrors.size(), 1);
    QVERIFY(t.events.filter("errorMessage").isEmpty()); // reported 10 ms later
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    const int error = connectErrors.first().at(0).toInt();
    QVERIFY(error != 0);
    QCOMPARE(t.only({"enableSaveButtons(true)", "comError", "errorMessage(Read Fail)"}),
             QStringList({"enableSaveButtons(true)", "comError", "errorMessage(Read Fail)"}));
    QVERIFY(errors.first().at(1).toString().startsWith(
        "Communication fail. Could not write parameter(s) requested.\nError code: "
        + QString::number(error) + " " + connectErrors.first().at(1).toString() + "\n"));
    QVERIFY(!errors.first().at(1).toString().contains("double the 'Communication Timeout'"));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusFailedSendingReadMessage);

    // A write fails at once.
    t.events.clear();
    t.link->oneWrite(508);
    QCOMPARE(t.only({"comError", "errorMessage(Write Fail)"}),
             QStringList({"comError", "errorMessage(Write Fail)"}));
    QCOMPARE(t.sim.requestCount(), 0);

    // The open error is not carried over to a later timeout on a good port.
    t.link->setCurrentPortName(t.sim.portName());
    t.sim.setSilent(true);
    errors.clear();
    t.link->oneRead(10);
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    QCOMPARE(errors.first().at(1).toString(), failureText("0", "- Timeout Error") + advice);
}

// A timeout changed while a reply is awaited applies from the next frame:
// the running wait keeps its length.
void TestKelvaraComEngine::timeoutChangeKeepsRunningWait()
{
    SimulatedLink t(200);
    double judgedAt = -1;
    QObject::connect(t.link.get(), &KelvaraCom::replyProcessed, [&] {
        if (judgedAt < 0)
            judgedAt = t.sim.elapsedMs();
    });
    t.link->oneRead(10);
    QVERIFY(t.sim.waitForRequests(1));
    QTest::qWait(60);
    t.link->setTimeoutTime(1000);
    t.link->setDefaultTimeout(1500);
    t.link->oneWrite(508); // resets the timeout to the (new) default
    QVERIFY(t.waitFor("replyProcessed", 1, 3000));
    // The simulator stamps the request when it has read it, after the link
    // started its wait, later still on a loaded machine.
    const double sentAt = requestTimes(t.sim).first();
    QVERIFY2(judgedAt - sentAt >= 100 && judgedAt - sentAt < 800,
             qPrintable(QString::number(judgedAt - sentAt)));
    QCOMPARE(t.link->getTimeoutTime(), 1500);
}

void TestKelvaraComEngine::queueOperations()
{
    SimulatedLink t;
    // Nothing queued: nothing sent, nothing reported.
    t.link->queueMultipleReads({});
    QTest::qWait(60);
    QCOMPARE(t.sim.requestCount(), 0);
    QVERIFY(t.events.isEmpty());

    t.link->queueMultipleReads({{2, 10}, {3, 20}});
    t.link->queueRead(30, 1);
    QVERIFY(t.link->isReadQueued(20, 3));
    QVERIFY(t.waitFor("comSuccess"));
    QCOMPARE(t.requests(), QStringList({spaced(Frames::read(10, 2)), spaced(Frames::read(20, 3)),
                                        spaced(Frames::read(30, 1))}));
    QCOMPARE(t.events.count("comSuccess"), 1);

    t.sim.clearLog();
    t.link->queueMultipleWrites({{1, 508}, {1, 509}});
    QVERIFY(t.waitFor("comSuccess", 2));
    QCOMPARE(t.requests(), QStringList({spaced(Frames::write(508, {0})), spaced(Frames::write(509, {0}))}));
}

// Only the judgement of the frame a machine sent makes it go on; another
// replyProcessed() in between must not make it send its next block early.
void TestKelvaraComEngine::foreignReplyProcessedDoesNotAdvance()
{
    SimulatedLink t(300);
    QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
    t.link->readAll();
    QVERIFY(t.sim.waitForRequests(1));
    emit t.link->replyProcessed();
    QVERIFY(t.sim.waitForRequests(2));
    emit t.link->replyProcessed();
    emit t.link->replyProcessed();
    QVERIFY(t.waitFor("readAllComplete"));
    QVERIFY(!t.events.contains("comError"));
    const QVector<double> sent = requestTimes(t.sim);
    QCOMPARE(sent.size(), 5);
    // A block sent on another's judgement would follow at once.
    for (int i = 1; i < sent.size(); ++i)
        QVERIFY2(sent.at(i) - sent.at(i - 1) >= 150, qPrintable(QString::number(sent.at(i) - sent.at(i - 1))));
    QVERIFY(t.model->isValid());
}

// A line that never falls quiet after a late answer must not hold the next
// request for good.
void TestKelvaraComEngine::noisyLineStillEndsTheRequest()
{
    SimulatedLink t(30);
    t.sim.setReplyDelay(45); // answered in the second wait
    t.link->oneRead(10);
    QVERIFY(t.waitFor("comSuccess"));
    t.sim.setLineNoise(5);
    t.events.clear();
    t.link->oneRead(20);
    QVERIFY(t.waitForAny({"comSuccess", "errorMessage(Read Fail)"}, 5000));
}

QTEST_GUILESS_MAIN(TestKelvaraComEngine)
#include "tst_kelvaracomengine.moc"
