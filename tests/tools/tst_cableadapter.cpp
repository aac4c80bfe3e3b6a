// The adapter whose cable moves between simulated controllers, seen by a
// client that holds its port open: frames follow the cable, a reply under
// way at a move is lost, scheduled moves and their triggers, silence, and
// the logs.

#include "cablebench.h"
#include "portclient.h"

#include <QSignalSpy>
#include <QTest>

using Frames::read;
using Frames::readReply;
using Frames::write;
using Trigger = CableAdapter::Trigger;
using TriggerFrame = CableAdapter::TriggerFrame;
Q_DECLARE_METATYPE(Trigger)
Q_DECLARE_METATYPE(TriggerFrame)

namespace {

// Register 10 tells the controllers apart.
const quint16 valueOfA = 0x0a0a;
const quint16 valueOfB = 0x0b0b;

std::unique_ptr<ControllerSimulator> controllerWith(quint16 value)
{
    auto controller = std::make_unique<ControllerSimulator>();
    if (!controller->start())
        return nullptr;
    controller->setRegisterValue(10, value);
    return controller;
}

// The length of a good reply to the request.
int replyLength(const QByteArray& request)
{
    return request.at(1) == 3 ? 5 + 2 * request.at(5) : 8;
}

// The log in short, runs of one event from one controller as one: "Request
// A, Moved B", with "-" for none.
QString summary(const CableBench& bench)
{
    QStringList items;
    for (const CableAdapter::LogEntry& entry : bench.adapter.frameLog()) {
        const QString who = entry.controller == bench.a.get() ? "A"
            : entry.controller == bench.b.get()               ? "B"
                                                              : "-";
        const QString item = QString("%1 %2").arg(
            QMetaEnum::fromType<CableAdapter::Event>().valueToKey(entry.event), who);
        if (items.isEmpty() || items.last() != item || entry.event == CableAdapter::Request)
            items << item;
    }
    return items.join(", ");
}

// The bytes of the log's entries of the event, one after the other.
QByteArray bytesOf(const QVector<CableAdapter::LogEntry>& log, CableAdapter::Event event)
{
    QByteArray bytes;
    for (const CableAdapter::LogEntry& entry : log) {
        if (entry.event == event)
            bytes += entry.bytes;
    }
    return bytes;
}

} // namespace

class TestCableAdapter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CableBench> bench;

    // A read of register 10: A, B or - for no answer.
    QString whoAnswers(HeldPort& port, int waitMs = 3000)
    {
        const QByteArray reply = port.exchange(read(10, 1), 7, waitMs);
        return reply == readReply({valueOfA}) ? "A"
            : reply == readReply({valueOfB})  ? "B"
            : reply.isEmpty()                 ? "-"
                                              : "?" + reply.toHex();
    }

    // Both controllers received exactly what the adapter says it sent them.
    void verifyLogsAgree()
    {
        QCOMPARE(bench->a->requests(), bench->adapter.requestsTo(bench->a.get()));
        QCOMPARE(bench->b->requests(), bench->adapter.requestsTo(bench->b.get()));
    }

private slots:
    void init()
    {
        bench = std::make_unique<CableBench>();
        QVERIFY(bench->start(controllerWith(valueOfA), controllerWith(valueOfB)));
        QCOMPARE(bench->adapter.controller(), bench->a.get());
        bench->clearLogs();
    }

    void framesOnOneOpenPortFollowTheCable()
    {
        HeldPort port(bench->port());
        QVERIFY(port.isOpen());
        QCOMPARE(whoAnswers(port), QString("A"));
        QVERIFY(bench->adapter.plugInto(bench->b.get()));
        QCOMPARE(whoAnswers(port), QString("B"));
        QVERIFY(bench->adapter.unplug());
        QCOMPARE(whoAnswers(port, 300), QString("-"));
        QVERIFY(bench->adapter.plugInto(bench->a.get()));
        QCOMPARE(whoAnswers(port), QString("A"));
        QCOMPARE(bench->destinations(), QString("AB-A"));
        QCOMPARE(bench->lostFrames(), QVector<QByteArray>{read(10, 1)});
        verifyLogsAgree();
    }

    // The adapter's port outlives its clients, as an adapter's device does.
    void portStaysBetweenOpens()
    {
        PortClient client(bench->port());
        QCOMPARE(client.exchange(read(10, 1), 7), readReply({valueOfA}));
        QVERIFY(bench->adapter.plugInto(bench->b.get()));
        QCOMPARE(client.exchange(read(10, 1), 7), readReply({valueOfB}));
    }

    // A's answer comes once the cable is on B: moved by hand while A takes
    // its time, or right after the frame reached A.
    void replyUnderWayAtTheMoveIsLost_data()
    {
        QTest::addColumn<bool>("byHand");
        QTest::newRow("by hand") << true;
        QTest::newRow("after the frame") << false;
    }

    void replyUnderWayAtTheMoveIsLost()
    {
        QFETCH(bool, byHand);
        HeldPort port(bench->port());
        if (byHand) {
            bench->a->setReplyDelay(1500); // time enough for the move on a busy machine
            QVERIFY(port.send(read(10, 1)));
            QVERIFY(bench->a->waitForRequests(1));
            QVERIFY(bench->adapter.plugInto(bench->b.get()));
        } else {
            QVERIFY(
                bench->adapter.moveOn(Trigger::nextRead(), {bench->b.get()}, TriggerFrame::ToOld));
            QVERIFY(port.send(read(10, 1)));
        }
        QVERIFY(bench->a->waitForReplies(1)); // A answered, to a cable no longer there
        QTRY_COMPARE(bytesOf(bench->adapter.frameLog(), CableAdapter::Dropped),
                     readReply({valueOfA}));
        QCOMPARE(port.receive(0, 300), QByteArray());
        QCOMPARE(whoAnswers(port), QString("B"));

        QTRY_COMPARE(summary(*bench), QString("Request A, Moved B, Dropped A, Request B, Reply B"));
        const auto log = bench->adapter.frameLog();
        QCOMPARE(bytesOf(log, CableAdapter::Reply), readReply({valueOfB}));
        for (int i = 1; i < log.size(); ++i)
            QVERIFY(log.at(i).elapsedMs >= log.at(i - 1).elapsedMs);
        verifyLogsAgree();
    }

    // Each frame is sent and its answer awaited. destinations: where each
    // went, A, B, or - when lost; setOff: the frame that set the move off.
    void triggers_data()
    {
        QTest::addColumn<Trigger>("trigger");
        QTest::addColumn<TriggerFrame>("frame");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::addColumn<QString>("destinations");
        QTest::addColumn<int>("setOff");
        const QByteArray r10 = read(10, 1);
        const QByteArray w20 = write(20, {1, 2});
        const QByteArray save = write(510, {0, 32767});
        const QList<QByteArray> readsAndWrites = {r10, w20, r10, w20, r10};
        const auto lost = TriggerFrame::Lost;

        QTest::newRow("next write")
            << Trigger::nextWrite() << lost << readsAndWrites << "A-BBB" << 1;
        QTest::newRow("next write, to the old one")
            << Trigger::nextWrite() << TriggerFrame::ToOld << readsAndWrites << "AABBB" << 1;
        QTest::newRow("next write, to the new one")
            << Trigger::nextWrite() << TriggerFrame::ToNew << readsAndWrites << "ABBBB" << 1;
        QTest::newRow("second write")
            << Trigger::nextWrite().nth(2) << lost << readsAndWrites << "AAA-B" << 3;
        QTest::newRow("next read")
            << Trigger::nextRead() << lost << QList<QByteArray>{w20, w20, r10, w20} << "AA-B" << 2;
        QTest::newRow("third frame")
            << Trigger::nextFrame().nth(3) << lost << readsAndWrites << "AA-BB" << 2;
        QTest::newRow("read of the second block")
            << Trigger::readAt(125) << lost
            << QList<QByteArray>{read(0, 125), read(124, 2), read(125, 125), read(250, 125)}
            << "AA-B" << 2;
        QTest::newRow("write of 511")
            << Trigger::writeTo(511) << lost
            << QList<QByteArray>{read(511, 1), write(509, {0, 0}), save, read(511, 1)} << "AA-B"
            << 2;
        QTest::newRow("write of 511, to the old one")
            << Trigger::writeTo(511) << TriggerFrame::ToOld
            << QList<QByteArray>{write(509, {0, 0}), save, read(511, 1)} << "AAB" << 1;
        QTest::newRow("read touching 481")
            << Trigger::touching(481) << lost
            << QList<QByteArray>{read(470, 11), read(482, 2), read(480, 2), r10} << "AA-B" << 2;
        QTest::newRow("write touching 481")
            << Trigger::touching(481) << lost
            << QList<QByteArray>{write(479, {0, 0}), write(481, {1, 0}), r10} << "A-B" << 1;
    }

    void triggers()
    {
        QFETCH(Trigger, trigger);
        QFETCH(TriggerFrame, frame);
        QFETCH(QList<QByteArray>, frames);
        QFETCH(QString, destinations);
        QFETCH(int, setOff);
        QSignalSpy moved(&bench->adapter, &CableAdapter::moved);
        QVERIFY(bench->adapter.moveOn(trigger, {bench->b.get()}, frame));
        HeldPort port(bench->port());
        for (int i = 0; i < frames.size(); ++i) {
            // The old controller's answer to the frame it took comes too late.
            const bool answered =
                destinations.at(i) != '-' && !(frame == TriggerFrame::ToOld && i == setOff);
            const int length = replyLength(frames.at(i));
            QCOMPARE(port.exchange(frames.at(i), length, answered ? 3000 : 300).size(),
                     answered ? length : 0);
        }
        QCOMPARE(bench->destinations(), destinations);
        verifyLogsAgree();
        QTRY_COMPARE(moved.count(), 1);
        QCOMPARE(moved.first().at(0).value<ControllerSimulator*>(), bench->b.get());
        const auto log = bench->adapter.frameLog();
        const auto marked = std::find_if(log.cbegin(), log.cend(), [](const auto& entry) {
            return entry.note.contains("set a move off");
        });
        QVERIFY(marked != log.cend());
        QCOMPARE(marked->bytes, frames.at(setOff));
    }

    // Moves are taken in turn, each counting frames from when the one
    // before has ended.
    void movesInTurn()
    {
        QVERIFY(bench->moveToB(Trigger::readAt(125), 0));
        QVERIFY(bench->moveOn(Trigger::nextRead(), bench->a.get(), 0));
        QVERIFY(bench->moveOn(Trigger::nextWrite(), nullptr, 0, TriggerFrame::ToOld));
        HeldPort port(bench->port());
        for (const QByteArray& frame : {read(0, 2), read(125, 1), write(6, {0, 1}), read(2, 1),
                                        read(4, 1), write(6, {0, 1}), read(8, 1)}) {
            port.exchange(frame, replyLength(frame), 300);
        }
        QCOMPARE(bench->destinations(), QString("A-B-AA-"));
        verifyLogsAgree();
        QCOMPARE(bench->adapter.controller(), nullptr);
    }

    void cancelledMovesDoNotHappen()
    {
        QVERIFY(bench->moveToB(Trigger::nextFrame(), 0));
        bench->adapter.cancelMoves();
        HeldPort port(bench->port());
        QCOMPARE(whoAnswers(port) + whoAnswers(port), QString("AA"));
    }

    // Off every controller, every frame is lost until the cable is on one
    // again: at the route's next stop, or when moved by hand.
    void silence()
    {
        QSignalSpy moved(&bench->adapter, &CableAdapter::moved);
        QVERIFY(bench->moveToB(Trigger::nextWrite(), 60000));
        HeldPort port(bench->port());
        QCOMPARE(port.exchange(write(20, {1, 2}), 8, 300), QByteArray());
        QTRY_COMPARE(moved.count(), 1);
        QCOMPARE(moved.first().at(0).value<ControllerSimulator*>(), nullptr);
        QCOMPARE(whoAnswers(port, 300) + whoAnswers(port, 300), QString("--"));
        QVERIFY(bench->adapter.plugInto(bench->a.get())); // ends the route
        QCOMPARE(whoAnswers(port), QString("A"));
        QCOMPARE(bench->destinations(), QString("---A"));
        QCOMPARE(bench->b->requestCount(), 0);

        // A silence that runs out: never shorter than asked.
        moved.clear();
        QVERIFY(bench->moveToB(Trigger::nextRead(), 300));
        QCOMPARE(whoAnswers(port, 300), QString("-"));
        QVERIFY(bench->waitUntilOn(bench->b.get()));
        QCOMPARE(whoAnswers(port), QString("B"));
        QTRY_COMPARE(moved.count(), 2);
        QVector<double> movedAt;
        for (const CableAdapter::LogEntry& entry : bench->adapter.frameLog()) {
            if (entry.event == CableAdapter::Moved)
                movedAt << entry.elapsedMs;
        }
        QCOMPARE(movedAt.size(), 4);
        QVERIFY2(movedAt.at(3) - movedAt.at(2) >= 299.0,
                 qPrintable(QString::number(movedAt.at(3) - movedAt.at(2))));
    }

    // A controller whose simulator stops takes nothing more; started anew,
    // it is reached again.
    // A noisy controller's replies reach the client as they left it, spoilt
    // ones byte for byte; a lost one is no reply at all.
    void noiseIsPassedOn()
    {
        bench->a->setNoise(60, 5);
        HeldPort port(bench->port());
        QByteArray received;
        int replies = 0;
        for (int i = 1; i <= 15; ++i) {
            QVERIFY(port.send(read(10, 1)));
            QVERIFY(bench->a->waitForRequests(i));
            if (bench->a->frameLog().last().direction == ControllerSimulator::Request
                && bench->a->frameLog().last().note == "noise: reply lost")
                continue;
            QVERIFY(bench->a->waitForReplies(++replies));
            received += port.receive(bench->a->replies().last().size());
        }
        QVERIFY2(replies > 0 && replies < 15, qPrintable(QString::number(replies)));
        QCOMPARE(received, bench->a->replies().toList().join());
        QCOMPARE(bytesOf(bench->adapter.frameLog(), CableAdapter::Reply), received);
        QCOMPARE(port.receive(0, 100), QByteArray()); // nothing more: the wait is the check
        QVERIFY(received.count(readReply({valueOfA})) < replies);
        verifyLogsAgree();
    }

    void controllerStartedAnew()
    {
        HeldPort port(bench->port());
        bench->a->stop();
        QCOMPARE(whoAnswers(port, 300), QString("-"));
        QVERIFY(bench->a->start());
        QVERIFY(bench->adapter.plugInto(bench->a.get()));
        QCOMPARE(whoAnswers(port), QString("A"));
    }

    void movesThatCannotBe()
    {
        bench->b->stop();
        QVERIFY(!bench->adapter.plugInto(bench->b.get()));
        QCOMPARE(bench->adapter.errorString(), QString("the controller is not running"));
        QVERIFY(!bench->adapter.follow({}));
        QCOMPARE(bench->adapter.controller(), bench->a.get()); // still where it was
        CableAdapter idle;
        QVERIFY(!idle.plugInto(bench->a.get()));
        QCOMPARE(idle.errorString(), QString("the adapter is not running"));
    }
};

QTEST_GUILESS_MAIN(TestCableAdapter)
#include "tst_cableadapter.moc"
