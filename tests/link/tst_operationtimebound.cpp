// The time bound of a link operation against the link itself, on the
// controller simulator: the ladder it counts is the one the link sends, and
// an operation that goes as badly as a line allows makes no more requests
// than it counts. Judged from the simulator's log, never from the clock.

#include "operationtimebound.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QtTest>

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
        const int requestCount = requests.size() - (sendsOfSilent - 1);
        QVERIFY2(requestCount <= bound.writeRequests(true),
                 qPrintable(QString("%1 requests, %2 counted")
                                .arg(requestCount)
                                .arg(bound.writeRequests(true))));
    }
};

QTEST_GUILESS_MAIN(TestOperationTimeBound)
#include "tst_operationtimebound.moc"
