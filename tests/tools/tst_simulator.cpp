// The controller simulator over a real pseudo-terminal, seen by a client
// that opens the port for every frame: its answers and its fault knobs.

#include "controllersimulator.h"
#include "portclient.h"

#include <QTest>

#include <functional>
#include <memory>

using Frames::read;
using Frames::readReply;
using Frames::withCrc;
using Frames::write;
using Sim = ControllerSimulator;
using Knob = std::function<void(Sim&)>;
Q_DECLARE_METATYPE(Knob)

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray spoilt(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame.back() ^ 0x01);
    return frame;
}

// count zero registers, but the one at index.
QVector<quint16> zeros(int count, int index = 0, quint16 value = 0)
{
    QVector<quint16> values(count);
    values[index] = value;
    return values;
}

// The reply to a read of register 10, which holds 0x1234.
const QByteArray good = readReply({0x1234});

// What a read of register 10 brought back, as one letter.
char kind(const QByteArray& reply)
{
    const bool crcGood = reply.size() > 2 && withCrc(reply.chopped(2)) == reply;
    if (reply.isEmpty())
        return '-';
    if (reply == good)
        return 'g';
    if (reply.size() == good.size() && reply.startsWith(good.left(5)) && !crcGood)
        return 'c';
    if (reply == good.left(5))
        return 's';
    if (reply.size() == good.size() + 3)
        return reply.startsWith(good) ? 'l' : reply.endsWith(good) ? 'p' : '?';
    const QList<QByteArray> others = {withCrc(hex("018304")), withCrc(hex("0203021234")),
                                      withCrc(hex("0104021234"))};
    return "xof?"[others.contains(reply) ? others.indexOf(reply) : 3];
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Sim> sim;
    std::unique_ptr<PortClient> client;

    // A read of register 10, waiting for the bytes the letter expects.
    QByteArray ask(char expected = 'g')
    {
        const bool partial = expected == '-' || expected == 's';
        const int size = QByteArray("xs-gcof").contains(expected) ? 5 + 2 * (expected != 'x') : 10;
        return client->exchange(read(10, 1), size, partial ? 300 : 3000);
    }

private slots:
    void init()
    {
        sim.reset(new Sim);
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        QVERIFY(sim->setRegisterValue(10, 0x1234));
        client.reset(new PortClient(sim->portName()));
    }

    void cleanup()
    {
        client.reset();
        sim.reset();
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("one register") << read(10, 1) << good;
        QTest::newRow("full block") << read(0, 125) << readReply(zeros(125, 10, 0x1234));
        QTest::newRow("up to the end") << read(1923, 125) << readReply(zeros(125));
        QTest::newRow("write") << write(2045, {1, 0xfffe, 0x8000}) << withCrc(hex("011007fd0003"));
        QTest::newRow("read of 126") << read(0, 126) << withCrc(hex("018303"));
        QTest::newRow("read of 0") << read(0, 0) << withCrc(hex("018303"));
        QTest::newRow("read past the end") << read(2000, 50) << withCrc(hex("018302"));
        QTest::newRow("write of 124") << write(0, QVector<quint16>(124, 1)) << withCrc(hex("019003"));
        QTest::newRow("write past the end") << write(2047, {1, 2}) << withCrc(hex("019002"));
        QTest::newRow("function 6") << withCrc(hex("010600000001")) << withCrc(hex("018601"));
        QTest::newRow("other slave") << read(10, 1, 2) << QByteArray();
        QTest::newRow("broadcast write") << write(0, {5}, 0) << QByteArray();
        QTest::newRow("bad CRC") << spoilt(read(10, 1)) << QByteArray();
    }

    void answers()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QCOMPARE(client->exchange(request, reply.size(), reply.isEmpty() ? 300 : 3000), reply);
        const QVector<quint16> written = {0, 1, 0xfffe, 0x8000};
        QCOMPARE(sim->registerValues(2044, 4), reply.size() == 8 ? written : zeros(4));
        QCOMPARE(sim->registerValues(0, 11), zeros(11, 10, 0x1234));
        const bool badCrc = QTest::currentDataTag() == QByteArray("bad CRC");
        QCOMPARE(sim->requests(), badCrc ? QVector<QByteArray>() : QVector<QByteArray>{request});
        QCOMPARE(sim->frameLog().first().direction, badCrc ? Sim::Discarded : Sim::Request);
        QCOMPARE(sim->replies(), reply.isEmpty() ? QVector<QByteArray>() : QVector<QByteArray>{reply});
        QCOMPARE(ask(), good);  // the next frame starts clean
    }

    // Each letter is what one read of register 10 brings back: g good, -
    // nothing, c a bad CRC, s two bytes short, l three bytes after, p three
    // bytes before, x exception 4, o from slave 2, f with function 4.
    void knobs_data()
    {
        QTest::addColumn<Knob>("knob");
        QTest::addColumn<QString>("replies");
        QTest::newRow("silent") << Knob([](Sim& s) { s.setSilent(true); }) << "---";
        QTest::newRow("silence two") << Knob([](Sim& s) { s.silenceNextRequests(2); }) << "--gg";
        QTest::newRow("silent at 10") << Knob([](Sim& s) { s.setSilentAtAddress(10); }) << "---";
        QTest::newRow("silent at 11") << Knob([](Sim& s) { s.setSilentAtAddress(11); }) << "gg";
        QTest::newRow("bad CRC once") << Knob([](Sim& s) { s.corruptCrc(1); }) << "cgg";
        QTest::newRow("bad CRC thrice") << Knob([](Sim& s) { s.corruptCrc(3); }) << "cccg";
        QTest::newRow("bad CRC always") << Knob([](Sim& s) { s.corruptCrc(Sim::Forever); }) << "ccccc";
        QTest::newRow("short") << Knob([](Sim& s) { s.shortenReplies(2, 1); }) << "sg";
        QTest::newRow("bytes after") << Knob([](Sim& s) { s.lengthenReplies(3, 2); }) << "llg";
        QTest::newRow("bytes before") << Knob([](Sim& s) { s.prefixReplies(3, 1); }) << "pg";
        QTest::newRow("exception") << Knob([](Sim& s) { s.replyWithException(4, 2); }) << "xxg";
        QTest::newRow("exception at 10") << Knob([](Sim& s) { s.setExceptionAtAddress(10, 4); }) << "xxx";
        QTest::newRow("other slave") << Knob([](Sim& s) { s.replyFromSlave(2, 1); }) << "og";
        QTest::newRow("other function") << Knob([](Sim& s) { s.replyWithFunction(4, -1); }) << "fff";
        QTest::newRow("reset") << Knob([](Sim& s) {
            s.setSilent(true);
            s.setSilentAtAddress(10);
            s.corruptCrc(Sim::Forever);
            s.prefixReplies(3, Sim::Forever);
            s.setExceptionAtAddress(10, 4);
            s.duplicateReplies(50, Sim::Forever);
            s.setLineNoise(5);
            s.resetFaults();
        }) << "ggg";
    }

    void knobs()
    {
        QFETCH(Knob, knob);
        QFETCH(QString, replies);
        knob(*sim);
        QString seen;
        for (const QChar expected : replies)
            seen += kind(ask(expected.toLatin1()));
        QCOMPARE(seen, replies);
        if (replies.endsWith("--") || replies.endsWith("xx")) {
            // Still on: a write is not carried out either.
            client->exchange(write(10, {9}), 8, 300);
            QCOMPARE(sim->registerValue(10), quint16(0x1234));
        }
    }

    void replyDelay_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::newRow("none") << 0;
        QTest::newRow("150 ms") << 150;
        QTest::newRow("400 ms") << 400;
    }

    void replyDelay()
    {
        QFETCH(int, delayMs);
        sim->setReplyDelay(delayMs);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ask(), good);
        QVERIFY(clock.elapsed() >= delayMs - 1);
        const auto log = sim->frameLog();
        QCOMPARE(log.size(), 2);
        // Never early; late only by what a loaded machine may add.
        const double logged = log.at(1).elapsedMs - log.at(0).elapsedMs;
        QVERIFY2(logged >= delayMs - 1 && logged < delayMs + 500, qPrintable(QString::number(logged)));
    }

    void lateDuplicate_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("whileClosed");
        QTest::newRow("in the next exchange") << 150 << false;
        QTest::newRow("while the port is closed") << 100 << true;
    }

    void lateDuplicate()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, whileClosed);
        sim->duplicateReplies(delayMs, 1);
        QCOMPARE(ask(), good);
        if (whileClosed)
            QVERIFY(sim->waitForReplies(2));  // the copy waits in the terminal
        QCOMPARE(client->exchange(read(10, 1), 2 * good.size()), good + good);
        const auto log = sim->frameLog();
        const auto copy = std::find_if(log.cbegin(), log.cend(),
                                       [](const Sim::LogEntry& e) { return e.note == "late duplicate"; });
        QVERIFY(copy != log.cend());
        const double after = copy->elapsedMs - log.at(1).elapsedMs;
        QVERIFY2(after >= delayMs - 1 && after < delayMs + 500, qPrintable(QString::number(after)));
    }

    void lineNoise()
    {
        sim->setLineNoise(10);
        const QByteArray noise = client->drain(200);
        QVERIFY2(noise.size() >= 5 && noise.count('\x55') == noise.size(), noise.toHex().constData());
        sim->setLineNoise(0);
        client->drain(50);  // a byte may have been under way
        QCOMPARE(client->drain(100), QByteArray());  // nothing more comes: the wait is the check
    }

    void portVanishesMidExchange()
    {
        sim->closeTerminalAtRequest(2);
        QCOMPARE(ask(), good);
        QCOMPARE(ask('-'), QByteArray());
        QTRY_VERIFY(!sim->isRunning());
        QVERIFY(sim->portName().isEmpty());
        QCOMPARE(sim->frameLog().last().note, QString("terminal closed"));

        QVERIFY(sim->start());
        client.reset(new PortClient(sim->portName()));
        QCOMPARE(ask(), good);
    }

    // A save to flash confirmed or not, a running motor, a fault clear.
    void controllerCommands()
    {
        const QByteArray save = hex("011001ff0001027fffc2ef");
        QCOMPARE(client->exchange(save + read(511, 1), 15).mid(8), readReply({4096}));
        sim->setFlashSaveFails(true);
        QCOMPARE(client->exchange(save + read(511, 1), 15).mid(8), readReply({32767}));
        sim->setTorqueCommand(-300);
        QCOMPARE(client->exchange(read(477, 1), 7), readReply({65236}));

        sim->setRegisterValue(258, 0x0104);
        sim->setRegisterValue(299, 0x0001);
        sim->setRegisterValue(276, 0x00ff);
        const QByteArray clear = hex("011001fc0001020001636c");
        QCOMPARE(client->exchange(clear + read(258, 42), 97).mid(8),
                 readReply(zeros(42, 276 - 258, 0x00ff)));
    }

    void framesAcrossPauses()
    {
        sim->setFrameGap(2000);  // the pauses between fragments stay well inside it
        const QByteArray request = write(20, {7, 8});
        const QList<QByteArray> fragments = {request.left(1), request.mid(1, 6), request.mid(7)};
        QCOMPARE(client->exchange(fragments, 30, 8), withCrc(hex("011000140002")));
        QCOMPARE(sim->requests(), QVector<QByteArray>{request});

        sim->setFrameGap(50);
        QCOMPARE(client->exchange(hex("010300"), 1, 100), QByteArray());
        QVERIFY(sim->waitForEntries(Sim::Discarded, 1));
        QCOMPARE(sim->frameLog().last().note, QString("incomplete frame"));
        QCOMPARE(ask(), good);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
