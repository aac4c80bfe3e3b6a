// Every fault knob of the controller simulator, seen by a client that
// opens the port for each frame.

#include "controllersimulator.h"
#include "portclient.h"

#include <QElapsedTimer>
#include <QTest>

#include <memory>

using Frames::read;
using Frames::write;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Reply to a read of one register holding 0x1234.
const QByteArray goodReply = Frames::withCrc(hex("0103021234"));

// How long a client waits for a reply that must not come.
constexpr int NoReplyWaitMs = 300;

bool crcGood(const QByteArray &frame)
{
    return frame.size() >= 4 && Frames::withCrc(frame.left(frame.size() - 2)) == frame;
}

} // namespace

class TestSimulatorKnobs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void silentAlways();
    void silenceNextRequests();
    void silentAtAddress();
    void replyDelay_data();
    void replyDelay();
    void corruptCrc_data();
    void corruptCrc();
    void shortReply();
    void longReply();
    void exceptionReply();
    void replyFromOtherSlave();
    void replyWithOtherFunction();
    void lateDuplicateInNextExchange();
    void lateDuplicateWaitsForNextOpen();
    void resetFaults();

private:
    // One read of register 10 (holding 0x1234).
    QByteArray ask(int expectedBytes = goodReply.size(), int waitMs = 3000);

    std::unique_ptr<ControllerSimulator> sim;
    std::unique_ptr<PortClient> client;
};

void TestSimulatorKnobs::init()
{
    sim.reset(new ControllerSimulator);
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    sim->setRegisterValue(10, 0x1234);
    client.reset(new PortClient(sim->portName()));
}

void TestSimulatorKnobs::cleanup()
{
    client.reset();
    sim.reset();
}

QByteArray TestSimulatorKnobs::ask(int expectedBytes, int waitMs)
{
    return client->exchange(read(10, 1), expectedBytes, waitMs);
}

void TestSimulatorKnobs::silentAlways()
{
    sim->setSilent(true);
    QCOMPARE(ask(7, NoReplyWaitMs), QByteArray());
    QCOMPARE(client->exchange(write(10, {1}), 8, NoReplyWaitMs), QByteArray());
    QCOMPARE(sim->requestCount(), 2);
    QCOMPARE(sim->replyCount(), 0);
    QCOMPARE(sim->frameLog().at(0).note, QStringLiteral("silent"));
    // A silent controller does not act either.
    QCOMPARE(sim->registerValue(10), quint16(0x1234));

    sim->setSilent(false);
    QCOMPARE(ask(), goodReply);
}

void TestSimulatorKnobs::silenceNextRequests()
{
    sim->silenceNextRequests(2);
    QCOMPARE(ask(7, NoReplyWaitMs), QByteArray());
    QCOMPARE(ask(7, NoReplyWaitMs), QByteArray());
    QCOMPARE(ask(), goodReply);
    QCOMPARE(ask(), goodReply);

    // Requests for other slaves do not use up the count.
    sim->silenceNextRequests(1);
    QCOMPARE(client->exchange(read(10, 1, 5), 7, NoReplyWaitMs), QByteArray());
    QCOMPARE(ask(7, NoReplyWaitMs), QByteArray());
    QCOMPARE(ask(), goodReply);
}

void TestSimulatorKnobs::silentAtAddress()
{
    sim->setSilentAtAddress(258);
    QCOMPARE(client->exchange(read(258, 42), 89, NoReplyWaitMs), QByteArray());
    QCOMPARE(ask(), goodReply);
    QCOMPARE(client->exchange(read(258, 42), 89, NoReplyWaitMs), QByteArray());
    QCOMPARE(sim->frameLog().at(0).note, QStringLiteral("silent at address 258"));

    sim->setSilentAtAddress(258, false);
    QCOMPARE(client->exchange(read(258, 42), 89).size(), 89);
}

void TestSimulatorKnobs::replyDelay_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::newRow("none") << 0;
    QTest::newRow("150 ms") << 150;
    QTest::newRow("400 ms") << 400;
}

void TestSimulatorKnobs::replyDelay()
{
    QFETCH(int, delayMs);
    sim->setReplyDelay(delayMs);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(ask(), goodReply);
    const qint64 seen = clock.elapsed();

    const auto log = sim->frameLog();
    QCOMPARE(log.size(), 2);
    const double logged = log.at(1).elapsedMs - log.at(0).elapsedMs;
    // Never early; late only by what a loaded machine may add.
    QVERIFY2(logged >= delayMs - 1, qPrintable(QString::number(logged)));
    QVERIFY2(logged < delayMs + 500, qPrintable(QString::number(logged)));
    QVERIFY(seen >= delayMs - 1);
}

void TestSimulatorKnobs::corruptCrc_data()
{
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("pattern");  // b: bad CRC, g: good, per exchange
    QTest::newRow("once") << 1 << "bgg";
    QTest::newRow("three times") << 3 << "bbbg";
    QTest::newRow("forever") << int(ControllerSimulator::Forever) << "bbbbb";
    QTest::newRow("off") << 0 << "gg";
}

void TestSimulatorKnobs::corruptCrc()
{
    QFETCH(int, times);
    QFETCH(QString, pattern);
    sim->corruptCrc(times);
    for (const QChar expected : pattern) {
        const QByteArray reply = ask();
        QCOMPARE(reply.size(), goodReply.size());
        QCOMPARE(reply.left(5), goodReply.left(5));
        QCOMPARE(crcGood(reply), expected == 'g');
    }
}

void TestSimulatorKnobs::shortReply()
{
    sim->shortenReplies(2, 1);
    QCOMPARE(ask(7, NoReplyWaitMs), goodReply.left(5));
    QCOMPARE(ask(), goodReply);

    // A write reply cut to its first three bytes.
    sim->shortenReplies(5, 1);
    QCOMPARE(client->exchange(write(11, {3}), 8, NoReplyWaitMs), hex("011000"));
    QCOMPARE(sim->registerValue(11), quint16(3));
}

void TestSimulatorKnobs::longReply()
{
    sim->lengthenReplies(3, 1);
    const QByteArray reply = ask(goodReply.size() + 3);
    QCOMPARE(reply.size(), goodReply.size() + 3);
    QCOMPARE(reply.left(goodReply.size()), goodReply);
    QCOMPARE(ask(goodReply.size() + 3, NoReplyWaitMs), goodReply);

    // Spoilt as well: the CRC in its place is wrong, the extra bytes follow.
    sim->lengthenReplies(2, 1);
    sim->corruptCrc(1);
    const QByteArray both = ask(goodReply.size() + 2);
    QCOMPARE(both.size(), goodReply.size() + 2);
    QVERIFY(!crcGood(both.left(goodReply.size())));
}

void TestSimulatorKnobs::exceptionReply()
{
    sim->replyWithException(4, 2);
    QCOMPARE(ask(5), Frames::withCrc(hex("018304")));
    // The rejected write is not carried out.
    QCOMPARE(client->exchange(write(10, {9}), 5), Frames::withCrc(hex("019004")));
    QCOMPARE(sim->registerValue(10), quint16(0x1234));
    QCOMPARE(ask(), goodReply);

    sim->replyWithException(6, 1);
    QCOMPARE(ask(5), Frames::withCrc(hex("018306")));
    sim->setExceptionAtAddress(10, 2); // until switched off
    QCOMPARE(ask(5) + ask(5), Frames::withCrc(hex("018302")).repeated(2));
    sim->setExceptionAtAddress(10, 0);
    QCOMPARE(ask(), goodReply);
}

void TestSimulatorKnobs::replyFromOtherSlave()
{
    sim->replyFromSlave(2, 1);
    const QByteArray reply = ask();
    QCOMPARE(reply, Frames::withCrc(hex("0203021234")));
    QVERIFY(crcGood(reply));
    QCOMPARE(ask(), goodReply);
}

void TestSimulatorKnobs::replyWithOtherFunction()
{
    sim->replyWithFunction(4, ControllerSimulator::Forever);
    QCOMPARE(ask(), Frames::withCrc(hex("0104021234")));
    QCOMPARE(client->exchange(write(10, {1}), 8), Frames::withCrc(hex("0104000a0001")));
    sim->replyWithFunction(4, 0);
    QCOMPARE(ask(), Frames::withCrc(hex("0103020001")));
}

void TestSimulatorKnobs::lateDuplicateInNextExchange()
{
    sim->duplicateReplies(150, 1);
    QCOMPARE(ask(), goodReply);
    QVERIFY(sim->setRegisterValue(10, 0x0042));
    const QByteArray second = Frames::withCrc(hex("0103020042"));

    // The next exchange gets its own reply and the stray copy of the first.
    const QByteArray received = ask(2 * goodReply.size());
    QCOMPARE(received.size(), 2 * goodReply.size());
    QVERIFY2(received == second + goodReply || received == goodReply + second, received.toHex(' ').constData());

    const auto log = sim->frameLog();
    QCOMPARE(log.size(), 5);  // two requests, two replies, one copy
    QCOMPARE(log.at(4).direction, ControllerSimulator::Reply);
    QCOMPARE(log.at(4).note, QStringLiteral("late duplicate"));
    QCOMPARE(log.at(4).bytes, goodReply);
    const double after = log.at(4).elapsedMs - log.at(1).elapsedMs;
    QVERIFY2(after >= 149 && after < 650, qPrintable(QString::number(after)));
}

void TestSimulatorKnobs::lateDuplicateWaitsForNextOpen()
{
    sim->setReplyDelay(20);
    sim->duplicateReplies(100, 1);
    QCOMPARE(ask(), goodReply);
    // Sent while no client has the port open: it waits in the terminal.
    QVERIFY(sim->waitForReplies(2));
    const auto log = sim->frameLog();
    const double after = log.last().elapsedMs - log.first().elapsedMs;
    QVERIFY2(after >= 119 && after < 620, qPrintable(QString::number(after)));

    QCOMPARE(client->drain(NoReplyWaitMs), goodReply);
    QCOMPARE(client->drain(100), QByteArray());
}

void TestSimulatorKnobs::resetFaults()
{
    sim->setSilentAtAddress(10);
    sim->corruptCrc(ControllerSimulator::Forever);
    sim->replyWithException(4, ControllerSimulator::Forever);
    sim->setReplyDelay(1000);
    sim->duplicateReplies(100, ControllerSimulator::Forever);
    sim->setFlashSaveFails(true);
    sim->resetFaults();

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(ask(), goodReply);
    QVERIFY(clock.elapsed() < 900);
    QCOMPARE(client->drain(250), QByteArray());  // no duplicate either

    // Controller behaviour is not a fault and stays.
    QCOMPARE(client->exchange(hex("011001ff0001027fffc2ef"), 8).size(), 8);
    QCOMPARE(sim->registerValue(511), quint16(32767));
}

QTEST_GUILESS_MAIN(TestSimulatorKnobs)
#include "tst_simulatorknobs.moc"
