// The time bound of a link operation against the link itself, on the
// controller simulator: the ladder it counts is the one the link sends, and
// an operation that goes as badly as a line allows, whatever the controller
// answers from any of its requests on, makes no more sends than it counts.
// Judged from the simulator's log and the link's waits, never from the
// clock.

#include "operationtimebound.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QtTest>

#include <functional>

namespace {

const int serialNumberAddress = 238; // of the sample, below firmware 6000

// How the controller answers from a request on, for good.
void answerFromNowOn(ControllerSimulator& sim, const QString& pattern)
{
    if (pattern == "short")
        sim.shortenReplies(1, ControllerSimulator::Forever);
    else if (pattern == "long")
        sim.lengthenReplies(1, ControllerSimulator::Forever);
    else if (pattern == "exception")
        sim.replyWithException(2, ControllerSimulator::Forever);
    else if (pattern == "silence")
        sim.setSilent(true);
    // Whole replies with a bad CRC after a silence, which the identity
    // check stands in.
    else if (pattern == "spoiled after a silence") {
        sim.silenceNextRequests(1);
        sim.corruptCrc(ControllerSimulator::Forever);
    }
    // Another controller behind the cable, which moved in a silence.
    else if (pattern == "another controller") {
        sim.silenceNextRequests(1);
        sim.setRegisterValue(serialNumberAddress, sim.registerValue(serialNumberAddress) ^ 0x5A5A);
    }
}

} // namespace

class TestOperationTimeBound : public QObject
{
    Q_OBJECT

private slots:
    // A read nobody answers is sent as often as the bound's ladder says,
    // with the link's construction timeouts (250 ms, at most 2000 ms) and
    // with a default timeout set.
    void readLadder_data()
    {
        QTest::addColumn<int>("defaultTimeout"); // 0: the construction values
        QTest::addColumn<int>("sends");
        QTest::newRow("construction") << 0 << 5;
        QTest::newRow("40 ms") << 40 << 4;
    }
    void readLadder()
    {
        QFETCH(int, defaultTimeout);
        SimulatedLink t(defaultTimeout);
        t.sim.setSilent(true);
        const OperationTimeBound bound = OperationTimeBound::of(t.link.get());
        t.link->oneRead(71);
        QVERIFY(t.waitFor("errorMessage(Read Fail)", 1, 30000));
        QTEST(t.sim.requestCount(), "sends");
        QCOMPARE(bound.sendsFrom(t.link->getDefaultTimeout()), t.sim.requestCount());
    }

    // A write of a register kept in flash after a complete read: the frame
    // whose answer never comes, sent again after an identity check each
    // time, or the save to flash's own write.
    void writeRequests_data()
    {
        QTest::addColumn<int>("defaultTimeout");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<int>("ladderStart"); // of the frame that is not answered
        QTest::newRow("write unanswered") << 40 << 229 << 40;
        QTest::newRow("flash save's write unanswered") << 300 << 511 << 900;
    }
    void writeRequests()
    {
        QFETCH(int, defaultTimeout);
        QFETCH(int, silentAt);
        QFETCH(int, ladderStart);
        SimulatedLink t(defaultTimeout);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        const OperationTimeBound bound = OperationTimeBound::of(t.link.get());

        t.sim.setSilentAtAddress(silentAt);
        t.sim.clearLog();
        t.model->getParameter(229)->setValue(30.5);
        t.link->oneWrite(229);
        QVERIFY(t.waitFor("comError", 1, 30000));

        const QVector<QByteArray> requests = t.sim.requests();
        const auto startsAt = [](const QByteArray& frame) {
            return (quint8(frame.at(2)) << 8) | quint8(frame.at(3));
        };
        int sendsOfSilent = 0;
        int identityChecks = 0;
        for (const QByteArray& frame : requests) {
            sendsOfSilent += startsAt(frame) == silentAt ? 1 : 0;
            identityChecks += startsAt(frame) == 237 ? 1 : 0;
        }
        QCOMPARE(sendsOfSilent, bound.sendsFrom(ladderStart));
        // One before each send again; every other request answered at once.
        QCOMPARE(identityChecks, sendsOfSilent - 1);
        QVERIFY2(requests.size() <= bound.writes(1, true).sends,
                 qPrintable(QString("%1 sends, %2 counted")
                                .arg(requests.size())
                                .arg(bound.writes(1, true).sends)));
    }

    // A stop owed goes before a read, after the identity check: a controller
    // of firmware 6000 on (three identity reads) answers the check and the
    // stop each time, and loses the stop's read-back, until the read's tries
    // are used up. Each try costs a whole check, the stop and its read-back:
    // more than a request alone is counted, within the stop's term.
    void owedStopCostsItsTerm()
    {
        SimulatedLink t(20);
        KelvaraCom* link = t.link.get();
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.sim.setRegisterValue(256, 6019);
        t.sim.setRegisterValue(1881, 0x0805);
        t.sim.setRegisterValue(2017, 4711);
        link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        t.sim.clearLog();
        QObject::connect(&t.sim, &ControllerSimulator::requestReceived, [&](QByteArray frame) {
            if (frame.startsWith(QByteArray::fromHex("011001e10001020000"))) // 481 := 0
                t.sim.loseRepliesAtAddress(481);
        });
        const OperationTimeBound bound = OperationTimeBound::of(link);
        link->checkConnection();
        link->stopDiscoveryRun(link->readController());
        link->oneRead(71);
        QVERIFY(t.waitFor("errorMessage(Read Fail)", 1, 30000));
        OperationTimeBound::Cost cost = bound.connectionCheck();
        cost += bound.request();
        const int sends = t.sim.requestCount();
        QVERIFY2(sends > cost.sends, qPrintable(QString::number(sends)));
        cost += bound.owedStop();
        QVERIFY2(sends <= cost.sends,
                 qPrintable(QString("%1 sends, %2 counted").arg(sends).arg(cost.sends)));
    }

    // Whatever the controller answers from any request of an operation on,
    // the operation comes back to rest within its bound, counted in the
    // sends the controller received and in the waits the link gave them.
    void everyOperationEnds_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("from"); // the request the pattern starts at
        QTest::addColumn<QString>("pattern");
        // Requests of each operation when all goes well.
        const QVector<QPair<QString, int>> operations = {
            {"read", 1},  {"deciding read", 1}, {"read-all", 5}, {"save", 3},
            {"flash", 2}, {"check", 1},         {"poll", 1}};
        for (const auto& operation : operations) {
            for (int from = 1; from <= operation.second; ++from) {
                for (const QString pattern : {"short", "long", "exception", "silence",
                                              "another controller", "spoiled after a silence"})
                    QTest::addRow("%s from request %d, %s", qPrintable(operation.first), from,
                                  qPrintable(pattern))
                        << operation.first << from << pattern;
            }
        }
    }
    void everyOperationEnds()
    {
        QFETCH(QString, operation);
        QFETCH(int, from);
        QFETCH(QString, pattern);
        SimulatedLink t(20);
        KelvaraCom* link = t.link.get();
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        t.sim.clearLog();
        const OperationTimeBound bound = OperationTimeBound::of(link);
        qint64 waitsMs = 0;
        QObject counter;
        QObject::connect(link, &KelvaraCom::frameSent, &counter,
                         [&] { waitsMs += link->getTimeoutTime(); });
        int wholeReplies = from - 1;
        if (wholeReplies == 0)
            answerFromNowOn(t.sim, pattern);
        QObject::connect(&t.sim, &ControllerSimulator::replySent, &counter, [&] {
            if (wholeReplies > 0 && --wholeReplies == 0)
                answerFromNowOn(t.sim, pattern);
        });

        const QMap<QString, std::function<OperationTimeBound::Cost()>> operations = {
            {"read",
             [&] {
                 link->oneRead(71);
                 return bound.request();
             }},
            {"deciding read",
             [&] {
                 link->queueDecidingRead(71, 1);
                 return bound.request();
             }},
            {"read-all",
             [&] {
                 link->readAll();
                 return bound.readAll();
             }},
            {"save",
             [&] {
                 t.model->getParameter(229)->setValue(30.5);
                 link->writeAll();
                 return bound.writes(1, true);
             }},
            {"flash",
             [&] {
                 link->flashSaveAutotune();
                 return bound.flashSave();
             }},
            {"check",
             [&] {
                 link->checkConnection();
                 return bound.connectionCheck();
             }},
            {"poll", [&] {
                 link->pollStatus(258, 74);
                 return bound.request();
             }}};
        const OperationTimeBound::Cost cost = operations.value(operation)();
        QVERIFY(link->getMode() != KelvaraCom::IdleMode);
        // A link that goes beyond its bound has failed already.
        QTRY_VERIFY_WITH_TIMEOUT(
            link->getMode() == KelvaraCom::IdleMode || t.sim.requestCount() > cost.sends, 60000);
        QVERIFY2(
            t.sim.requestCount() <= cost.sends,
            qPrintable(QString("%1 sends, %2 counted").arg(t.sim.requestCount()).arg(cost.sends)));
        QVERIFY2(waitsMs <= cost.waitsMs,
                 qPrintable(QString("%1 ms of waits, %2 counted").arg(waitsMs).arg(cost.waitsMs)));
    }
};

QTEST_GUILESS_MAIN(TestOperationTimeBound)
#include "tst_operationtimebound.moc"
