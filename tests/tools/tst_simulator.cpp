// The controller simulator over a real pseudo-terminal, seen by a client
// that opens the port for every frame: its fault knobs and its commands.

#include "controllersimulator.h"
#include "portclient.h"
#include "replynoise.h"

#include <QTest>

#include <QRegularExpression>

#include <cmath>
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

const auto bytes = [](const char* text) { return QByteArray::fromHex(text); };

// How the line delivered a reply: g whole, c one byte changed, - lost, l
// one byte lost; ? for anything else.
char spoiling(const QByteArray& sent, const QByteArray& delivered)
{
    if (delivered == sent)
        return 'g';
    if (delivered.isEmpty())
        return '-';
    if (delivered.size() == sent.size()) {
        int changed = 0;
        for (int i = 0; i < sent.size(); ++i)
            changed += delivered.at(i) != sent.at(i);
        return changed == 1 ? 'c' : '?';
    }
    if (delivered.size() == sent.size() - 1) {
        for (int i = 0; i < sent.size(); ++i) {
            if (QByteArray(sent).remove(i, 1) == delivered)
                return 'l';
        }
    }
    return '?';
}

// The log's last entry of the direction.
Sim::LogEntry lastOf(const Sim& sim, Sim::Direction direction)
{
    const auto log = sim.frameLog();
    for (auto it = log.crbegin(); it != log.crend(); ++it) {
        if (it->direction == direction)
            return *it;
    }
    return {};
}

// What the noise does to replies, one letter each (see spoiling()).
QString spoilings(ReplyNoise& noise, const QVector<QByteArray>& replies)
{
    QStringList notes;
    QString letters;
    for (const QByteArray& reply : replies)
        letters += spoiling(reply, noise.spoil(reply, &notes));
    return letters;
}

// The reply to a read of register 10, which holds 0x1234.
const QByteArray good = readReply({0x1234});

// What a read of register 10 brought back, as one letter (see knobs_data()).
char kind(const QByteArray& reply)
{
    QList<QByteArray> known = {{}, good, good.left(5), withCrc(bytes("018304"))};
    known << withCrc(bytes("0203021234")) << withCrc(bytes("0104021234"));
    if (known.contains(reply))
        return "-gsxof"[known.indexOf(reply)];
    if (reply == good + good)
        return 'd';
    if (reply.size() == good.size() + 3)
        return reply.startsWith(good) ? 'l' : reply.endsWith(good) ? 'p' : '?';
    const bool badCrc = reply.size() == good.size() && withCrc(reply.left(5)) != reply;
    return badCrc && reply.startsWith(good.left(5)) ? 'c' : '?';
}

// How many bytes a reply of the kind has (see knobs_data()).
int replySize(char kind)
{
    switch (kind) {
    case 'x':
        return 5;
    case 'l':
    case 'p':
        return 10;
    case 'd':
        return 14;
    default:
        return 7;
    }
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Sim> sim;
    std::unique_ptr<PortClient> client;

    // A read of register 10, waiting for as many bytes as the letter expects.
    QByteArray ask(char expected = 'g')
    {
        return client->exchange(read(10, 1), replySize(expected),
                                QByteArray("-s").contains(expected) ? 300 : 3000);
    }

private slots:
    void init()
    {
        sim.reset(new Sim);
        QVERIFY2(sim->start(), qPrintable(sim->errorString()));
        QVERIFY(sim->setRegisterValue(10, 0x1234));
        client.reset(new PortClient(sim->portName()));
    }

    // Each letter is what one read of register 10 brings back: g good, -
    // nothing, c a bad CRC, s two bytes short, l three bytes after, p three
    // bytes before, x exception 4, o from slave 2, f with function 4, d two
    // good replies (the request taken twice).
    void knobs_data()
    {
        QTest::addColumn<Knob>("knob");
        QTest::addColumn<QString>("replies");
        QTest::newRow("silent") << Knob([](Sim& s) { s.setSilent(true); }) << "---";
        QTest::newRow("silence two") << Knob([](Sim& s) { s.silenceNextRequests(2); }) << "--gg";
        QTest::newRow("silent at 10") << Knob([](Sim& s) { s.setSilentAtAddress(10); }) << "---";
        QTest::newRow("silent at 11") << Knob([](Sim& s) { s.setSilentAtAddress(11); }) << "gg";
        QTest::newRow("reply lost at 10")
            << Knob([](Sim& s) { s.loseRepliesAtAddress(10, 2); }) << "--g";
        QTest::newRow("reply lost at 11")
            << Knob([](Sim& s) { s.loseRepliesAtAddress(11); }) << "gg";
        QTest::newRow("dropping") << Knob([](Sim& s) { s.dropRequestsFor(60000); }) << "---";
        QTest::newRow("bad CRC once") << Knob([](Sim& s) { s.corruptCrc(1); }) << "cgg";
        QTest::newRow("bad CRC always") << Knob([](Sim& s) { s.corruptCrc(-1); }) << "ccccc";
        QTest::newRow("bad CRC at 10") << Knob([](Sim& s) { s.setBadCrcAtAddress(10); }) << "ccc";
        QTest::newRow("bad CRC at 11") << Knob([](Sim& s) { s.setBadCrcAtAddress(11); }) << "ggg";
        QTest::newRow("every other silent") << Knob([](Sim& s) { s.silenceEvery(2); }) << "g-g-g";
        QTest::newRow("short") << Knob([](Sim& s) { s.shortenReplies(2, 1); }) << "sg";
        QTest::newRow("bytes after") << Knob([](Sim& s) { s.lengthenReplies(3, 2); }) << "llg";
        QTest::newRow("bytes before") << Knob([](Sim& s) { s.prefixReplies(3, 1); }) << "pg";
        QTest::newRow("exception") << Knob([](Sim& s) { s.replyWithException(4, 2); }) << "xxg";
        QTest::newRow("exception at 10")
            << Knob([](Sim& s) { s.setExceptionAtAddress(10, 4); }) << "xxx";
        QTest::newRow("other slave") << Knob([](Sim& s) { s.replyFromSlave(2, 1); }) << "og";
        QTest::newRow("other function")
            << Knob([](Sim& s) { s.replyWithFunction(4, -1); }) << "fff";
        QTest::newRow("each request twice")
            << Knob([](Sim& s) { s.takeRequestsTwice(2); }) << "ddg";
        QTest::newRow("no noise") << Knob([](Sim& s) { s.setNoise(0, 5); }) << "ggg";
        QTest::newRow("reset") << Knob([](Sim& s) {
            s.setNoise(100);
            s.setSilent(true);
            s.corruptCrc(-1);
            s.setExceptionAtAddress(10, 4);
            s.dropRequestsFor(60000);
            s.duplicateReplies(50, -1);
            s.setLineNoise(5);
            s.setBadCrcAtAddress(10);
            s.silenceEvery(2);
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

    // A reply delayed, or taking its time on a slow line, and sent again
    // later; the copy may go out while no client has the port open and then
    // waits in the terminal.
    void lateReplies_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("lineRate"); // bit/s; 0: no time on the line
        QTest::addColumn<int>("copyMs");   // -1: no copy
        QTest::addColumn<bool>("whileClosed");
        QTest::addColumn<int>("takesMs"); // from the request to the reply
        QTest::newRow("at once") << 0 << 0 << -1 << false << 0;
        QTest::newRow("150 ms") << 150 << 0 << -1 << false << 150;
        QTest::newRow("400 ms") << 400 << 0 << -1 << false << 400;
        QTest::newRow("copy in the next exchange") << 0 << 0 << 150 << false << 0;
        QTest::newRow("copy while the port is closed") << 20 << 0 << 100 << true << 20;
        // Seven bytes of ten bits.
        QTest::newRow("1200 bit/s") << 0 << 1200 << -1 << false << 59;
        QTest::newRow("100 ms, then 9600 bit/s") << 100 << 9600 << -1 << false << 108;
    }

    void lateReplies()
    {
        QFETCH(int, delayMs);
        QFETCH(int, lineRate);
        QFETCH(int, copyMs);
        QFETCH(bool, whileClosed);
        QFETCH(int, takesMs);
        sim->setReplyDelay(delayMs);
        sim->setLineRate(lineRate);
        sim->duplicateReplies(copyMs, copyMs < 0 ? 0 : 1);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ask(), good);
        QVERIFY(clock.elapsed() >= takesMs);
        if (whileClosed)
            QVERIFY(sim->waitForReplies(2));
        if (copyMs >= 0)
            QCOMPARE(client->exchange(read(10, 1), 2 * good.size()), good + good);
        // Never early; late only by what a loaded machine may add. Both are
        // timed from the request: the first reply may be late by itself.
        const auto log = sim->frameLog();
        QCOMPARE(log.at(0).note.contains(QString("reply delayed %1 ms").arg(takesMs)), takesMs > 0);
        QVector<double> late = {log.at(1).elapsedMs - log.at(0).elapsedMs - takesMs};
        for (const Sim::LogEntry& entry : log) {
            if (entry.note == "late duplicate")
                late << entry.elapsedMs - log.at(0).elapsedMs - takesMs - copyMs;
        }
        QCOMPARE(late.size(), copyMs < 0 ? 1 : 2);
        for (double ms : late)
            QVERIFY2(ms >= -1 && ms < 500, qPrintable(QString::number(ms)));
    }

    // Unlike a silent controller, one whose reply is lost has done what it
    // was asked.
    void lostReplyIsCarriedOut()
    {
        sim->loseRepliesAtAddress(10);
        QCOMPARE(client->exchange(write(10, {9}), 8, 300), QByteArray());
        QCOMPARE(sim->registerValue(10), quint16(9));
        QCOMPARE(sim->frameLog().last().note, QString("reply lost"));
        QCOMPARE(client->exchange(write(10, {7}), 8), withCrc(bytes("0110000a0001")));
    }

    void lineNoise_data()
    {
        QTest::addColumn<char>("byte");
        QTest::newRow("0x55") << '\x55';
        QTest::newRow("an idle line's 0xFF") << '\xff';
    }
    void lineNoise()
    {
        QFETCH(char, byte);
        sim->setLineNoise(10, byte);
        const QByteArray noise = client->drain(200);
        QVERIFY2(noise.size() >= 5 && noise.count(byte) == noise.size(), noise.toHex().data());
        sim->setLineNoise(0);
        client->drain(50);                          // a byte may have been under way
        QCOMPARE(client->drain(100), QByteArray()); // nothing more comes: the wait is the check
    }

    // A share of the replies spoilt, evenly one way of three, each spoilt
    // reply told; a changed byte never leaves the CRC good.
    void noiseShare_data()
    {
        QTest::addColumn<double>("percent");
        QTest::newRow("off") << 0.0;
        QTest::newRow("2 %") << 2.0;
        QTest::newRow("5 %") << 5.0;
        QTest::newRow("10 %") << 10.0;
        QTest::newRow("all") << 100.0;
    }

    void noiseShare()
    {
        QFETCH(double, percent);
        const int count = 30000;
        QVector<QByteArray> replies;
        for (int i = 0; i < count; ++i)
            replies << (i % 2 ? readReply({quint16(i)}) : withCrc(bytes("0110000a0001")));
        ReplyNoise noise;
        noise.set(percent, 42);
        QCOMPARE(noise.isOn(), percent > 0);
        QStringList notes;
        QString letters;
        for (const QByteArray& reply : replies) {
            const QByteArray delivered = noise.spoil(reply, &notes);
            letters += spoiling(reply, delivered);
            if (letters.endsWith('c'))
                QVERIFY(withCrc(delivered.left(delivered.size() - 2)) != delivered);
        }
        QCOMPARE(letters.count('?'), 0);
        const int spoilt = count - int(letters.count('g'));
        QCOMPARE(notes.size(), spoilt);
        QCOMPARE(int(notes.filter(QRegularExpression("^noise: byte \\d+ of \\d+ changed$")).size()),
                 int(letters.count('c')));
        QCOMPARE(notes.filter("noise: reply lost").size(), int(letters.count('-')));
        QCOMPARE(int(notes.filter(QRegularExpression("^noise: byte \\d+ of \\d+ lost$")).size()),
                 int(letters.count('l')));
        // Five standard deviations of the counts; the seed makes them fixed.
        const double expected = count * percent / 100;
        const double spread = 5 * std::sqrt(expected * (1 - percent / 100)) + 1;
        QVERIFY2(std::abs(spoilt - expected) <= spread, qPrintable(QString::number(spoilt)));
        for (const char way : {'c', '-', 'l'}) {
            const double third = spoilt / 3.0;
            QVERIFY2(std::abs(letters.count(way) - third) <= 5 * std::sqrt(third) + 1,
                     qPrintable(QString("%1: %2").arg(way).arg(letters.count(way))));
        }
    }

    // A seed spoils the same replies, by their order, the same way, whatever
    // their length; another seed spoils others.
    void noiseFollowsSeed()
    {
        QVector<QByteArray> shortReplies(400, readReply({1}));
        QVector<QByteArray> longReplies(400, readReply(QVector<quint16>(125, 7)));
        ReplyNoise noise;
        noise.set(30, 7);
        const QString first = spoilings(noise, shortReplies);
        noise.set(30, 7);
        QCOMPARE(spoilings(noise, longReplies), first);
        noise.set(30, 7);
        QCOMPARE(spoilings(noise, shortReplies), first);
        noise.set(30, 8);
        QVERIFY(spoilings(noise, shortReplies) != first);
        // A spoilt reply is spoilt at a higher rate too: one draw decides.
        noise.set(60, 7);
        const QString more = spoilings(noise, shortReplies);
        for (int i = 0; i < first.size(); ++i)
            QVERIFY(first.at(i) == 'g' || more.at(i) == first.at(i));
    }

    // On the wire: the client gets what the log says was sent, nothing for a
    // lost reply, and a request whose reply was lost was carried out.
    void noiseOnTheWire()
    {
        sim->setNoise(50, 3);
        HeldPort port(sim->portName());
        QVERIFY(port.isOpen());
        QString seen;
        int replies = 0;
        for (quint16 value = 1; value <= 24; ++value) {
            const QByteArray request = write(10, {value});
            QVERIFY(port.send(request));
            QVERIFY(sim->waitForRequests(value));
            const Sim::LogEntry asked = lastOf(*sim, Sim::Request);
            QCOMPARE(asked.bytes, request);
            QByteArray delivered;
            if (asked.note != "noise: reply lost") {
                QVERIFY(sim->waitForReplies(++replies));
                const Sim::LogEntry sent = lastOf(*sim, Sim::Reply);
                QCOMPARE(sent.note, asked.note);
                delivered = port.receive(sent.bytes.size());
                QCOMPARE(delivered, sent.bytes);
            }
            seen += spoiling(withCrc(request.left(6)), delivered);
            QCOMPARE(sim->registerValue(10), value);
        }
        QCOMPARE(port.receive(0, 100), QByteArray()); // nothing more: the wait is the check
        ReplyNoise twin;
        twin.set(50, 3);
        QCOMPARE(seen, spoilings(twin, QVector<QByteArray>(24, withCrc(bytes("0110000a0001")))));
        for (const char way : {'g', 'c', '-', 'l'})
            QVERIFY2(seen.contains(way), qPrintable(seen));
    }

    void portVanishesMidExchange()
    {
        sim->closeTerminalAtRequest(2);
        QCOMPARE(ask(), good);
        QCOMPARE(ask('-'), QByteArray());
        QTRY_VERIFY(!sim->isRunning());
        QCOMPARE(sim->frameLog().last().note, QString("terminal closed"));
        QVERIFY(sim->start());
        client.reset(new PortClient(sim->portName()));
        QCOMPARE(ask(), good);
    }

    // A save to flash confirmed or not, a running motor, a fault clear.
    void controllerCommands()
    {
        const QByteArray save = bytes("011001ff0001027fffc2ef");
        QCOMPARE(client->exchange(save + read(511, 1), 15).mid(8), readReply({4096}));
        sim->setFlashSaveFails(true);
        QCOMPARE(client->exchange(save + read(511, 1), 15).mid(8), readReply({32767}));
        sim->setTorqueCommand(-300);
        QCOMPARE(client->exchange(read(477, 1), 7), readReply({65236}));
        sim->setRegisterValue(258, 0x0104);
        sim->setRegisterValue(276, 0x00ff);
        sim->setRegisterValue(299, 0x0001);
        const QByteArray clear = bytes("011001fc0001020001636c");
        QCOMPARE(client->exchange(clear + read(258, 1) + read(276, 1) + read(299, 1), 29).mid(8),
                 readReply({0}) + readReply({0x00ff}) + readReply({0}));
    }

    void spinLearnsOnlyWithAMotor_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QVector<quint16>>("learnt"); // 440..447, 460 and 462
        QTest::newRow("a motor") << true << QVector<quint16>{15, 2, 4, 3, 0, 1, 5, 15, 27352, 1135};
        // No rotation, no results: the hall offset and Kv held before stay.
        QTest::newRow("no motor") << false
                                  << QVector<quint16>{15, 15, 15, 15, 15, 15, 15, 15, 7, 9};
    }

    // A spin (481 := 2) ends by setting 481 back to 0, with what it learnt.
    void spinLearnsOnlyWithAMotor()
    {
        QFETCH(bool, connected);
        QFETCH(QVector<quint16>, learnt);
        MotorBehaviour motor;
        motor.connected = connected;
        motor.spinMs = 50;
        sim->setMotorBehaviour(motor);
        QVERIFY(sim->setRegisterValue(460, 7) && sim->setRegisterValue(462, 9));
        QCOMPARE(client->exchange(write(481, {2}), 8), withCrc(bytes("011001e10001")));
        QTRY_COMPARE(client->exchange(read(481, 1), 7), readReply({0}));
        const QByteArray table = client->exchange(read(440, 23), 51);
        QCOMPARE(table.size(), 51);
        QVector<quint16> seen;
        for (const int index : {0, 1, 2, 3, 4, 5, 6, 7, 20, 22})
            seen << quint16(quint8(table.at(3 + 2 * index)) << 8 | quint8(table.at(4 + 2 * index)));
        QCOMPARE(seen, learnt);
    }

    void framesAcrossPauses()
    {
        sim->setFrameGap(2000); // the 30 ms between fragments stay well inside it
        const QByteArray request = write(20, {7, 8});
        const QList<QByteArray> fragments = {request.left(1), request.mid(1, 6), request.mid(7)};
        QCOMPARE(client->exchange(fragments, 8), withCrc(bytes("011000140002")));
        QCOMPARE(sim->requests(), QVector<QByteArray>{request});
        sim->setFrameGap(50);
        QCOMPARE(client->exchange(bytes("010300"), 1, 100), QByteArray());
        QVERIFY(sim->waitForEntries(Sim::Discarded, 1));
        QCOMPARE(sim->frameLog().last().note, QString("incomplete frame"));
        QCOMPARE(ask(), good);
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
