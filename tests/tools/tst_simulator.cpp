// The controller simulator over a real pseudo-terminal, reached through
// QSerialPort with the port opened and closed for every frame.

#include "controllersimulator.h"
#include "portclient.h"
#include "registerimage.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using Frames::read;
using Frames::write;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray readReply(const QVector<quint16> &values)
{
    QByteArray frame = hex("0103");
    frame.append(static_cast<char>(values.size() * 2));
    for (const quint16 value : values) {
        frame.append(static_cast<char>(value >> 8));
        frame.append(static_cast<char>(value & 0xFF));
    }
    return Frames::withCrc(frame);
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startAndStop();
    void readRoundTrip_data();
    void readRoundTrip();
    void writeRoundTrip();
    void manyOpensAndCloses();
    void flashSaveAndTorque();
    void faultClear();
    void rejectedRequests_data();
    void rejectedRequests();
    void otherSlaveGetsNoAnswer();
    void badCrcRequestIsDropped();
    void frameInFragments();
    void partialFrameIsDropped();
    void images();
    void logAndTiming();
    void waitingForRequests();
    void apiFromAnotherThread();

private:
    std::unique_ptr<ControllerSimulator> sim;
    std::unique_ptr<PortClient> client;
};

void TestSimulator::init()
{
    sim.reset(new ControllerSimulator);
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    client.reset(new PortClient(sim->portName()));
}

void TestSimulator::cleanup()
{
    client.reset();
    sim.reset();
}

void TestSimulator::startAndStop()
{
    const QString path = sim->portName();
    QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
    QVERIFY(QFile::exists(path));
    QVERIFY(sim->isRunning());

    sim->stop();
    QVERIFY(!sim->isRunning());
    QVERIFY(sim->portName().isEmpty());
    QVERIFY(sim->start());
    QVERIFY(sim->portName().startsWith("/dev/pts/"));
    QCOMPARE(PortClient(sim->portName()).exchange(read(0, 1), 7), readReply({0}));
}

void TestSimulator::readRoundTrip_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("count");
    QTest::newRow("one register") << 71 << 1;
    QTest::newRow("status block") << 258 << 42;
    QTest::newRow("full block") << 0 << 125;
    QTest::newRow("last register") << 2047 << 1;
    QTest::newRow("up to the end") << 1923 << 125;
}

void TestSimulator::readRoundTrip()
{
    QFETCH(int, address);
    QFETCH(int, count);
    QVector<quint16> values;
    for (int i = 0; i < count; ++i) {
        const quint16 value = static_cast<quint16>((address + i) * 31 + 0x8000);
        QVERIFY(sim->setRegisterValue(address + i, value));
        values.append(value);
    }

    const QByteArray request = read(address, count);
    const QByteArray expected = readReply(values);
    QCOMPARE(client->exchange(request, expected.size()), expected);

    QCOMPARE(sim->requests(), QVector<QByteArray>{request});
    QCOMPARE(sim->replies(), QVector<QByteArray>{expected});
}

void TestSimulator::writeRoundTrip()
{
    const QByteArray request = write(10, {1, 0xfffe, 0x8000});
    QCOMPARE(client->exchange(request, 8), Frames::withCrc(hex("0110000a0003")));
    QCOMPARE(sim->registerValues(9, 5), (QVector<quint16>{0, 1, 0xfffe, 0x8000, 0}));

    // A second open sees the written values.
    QCOMPARE(Frames::values(client->exchange(read(10, 3), 11)), (QVector<quint16>{1, 0xfffe, 0x8000}));

    // Negative values through the API are two's complement.
    QVERIFY(sim->setRegisterValue(12, -200));
    QCOMPARE(sim->registerValue(12), quint16(65336));
    QVERIFY(!sim->setRegisterValue(12, 65536));
    QVERIFY(!sim->setRegisterValue(12, -32769));
    QVERIFY(!sim->setRegisterValue(2048, 1));
    QCOMPARE(sim->registerValue(12), quint16(65336));
}

void TestSimulator::manyOpensAndCloses()
{
    for (int i = 0; i < 30; ++i) {
        QVERIFY(sim->setRegisterValue(100, i));
        const QByteArray reply = client->exchange(read(100, 1), 7);
        QVERIFY2(!reply.isEmpty(), qPrintable(client->error()));
        QCOMPARE(reply, readReply({static_cast<quint16>(i)}));
    }
    QCOMPARE(sim->requestCount(), 30);
    QCOMPARE(sim->replyCount(), 30);
}

void TestSimulator::flashSaveAndTorque()
{
    const QByteArray save = hex("011001ff0001027fffc2ef");
    QCOMPARE(client->exchange(save, 8).size(), 8);
    QCOMPARE(client->exchange(read(511, 1), 7), readReply({4096}));

    sim->setFlashSaveFails(true);
    QCOMPARE(client->exchange(save, 8).size(), 8);
    QCOMPARE(client->exchange(read(511, 1), 7), readReply({32767}));

    sim->setTorqueCommand(-300);
    QCOMPARE(client->exchange(read(477, 1), 7), readReply({static_cast<quint16>(-300)}));

    sim->setFlashSaveFails(false);
    QCOMPARE(client->exchange(save, 8).size(), 8);
    QCOMPARE(client->exchange(read(511, 1), 7), readReply({4096}));
}

void TestSimulator::faultClear()
{
    sim->setRegisterValue(258, 0x0104);
    sim->setRegisterValue(299, 0x0001);
    sim->setRegisterValue(276, 0x00ff);
    QCOMPARE(client->exchange(hex("011001fc0001020001636c"), 8).size(), 8);

    const QVector<quint16> status = Frames::values(client->exchange(hex("010301020 02a6429"), 89));
    QCOMPARE(status.size(), 42);
    QCOMPARE(status.at(0), quint16(0));         // 258
    QCOMPARE(status.at(299 - 258), quint16(0)); // 299
    QCOMPARE(status.at(276 - 258), quint16(0x00ff));
}

void TestSimulator::rejectedRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("read of 126") << read(0, 126) << Frames::withCrc(hex("018303"));
    QTest::newRow("read of 0") << read(0, 0) << Frames::withCrc(hex("018303"));
    QTest::newRow("read past the end") << read(2000, 50) << Frames::withCrc(hex("018302"));
    QTest::newRow("write of 124") << write(0, QVector<quint16>(124, 1)) << Frames::withCrc(hex("019003"));
    QTest::newRow("write past the end") << write(2047, {1, 2}) << Frames::withCrc(hex("019002"));
    QTest::newRow("write single register") << Frames::withCrc(hex("010600000001")) << Frames::withCrc(hex("018601"));
}

void TestSimulator::rejectedRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QCOMPARE(client->exchange(request, reply.size()), reply);
    QCOMPARE(sim->registerValue(0), quint16(0));
    QCOMPARE(sim->registerValue(2047), quint16(0));
}

void TestSimulator::otherSlaveGetsNoAnswer()
{
    QCOMPARE(client->exchange(read(0, 1, 2), 7, 300), QByteArray());
    QCOMPARE(client->exchange(write(0, {5}, 0), 8, 300), QByteArray());
    QCOMPARE(sim->registerValue(0), quint16(0));

    const auto log = sim->frameLog();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0).direction, ControllerSimulator::Request);
    QCOMPARE(log.at(0).note, QStringLiteral("for another slave"));
    QCOMPARE(client->exchange(read(0, 1), 7), readReply({0}));
}

void TestSimulator::badCrcRequestIsDropped()
{
    QByteArray request = read(0, 1);
    request[7] = static_cast<char>(request.at(7) ^ 0x01);
    QCOMPARE(client->exchange(request, 7, 300), QByteArray());
    const auto log = sim->frameLog();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.at(0).direction, ControllerSimulator::Discarded);
    QCOMPARE(log.at(0).bytes, request);
    QCOMPARE(log.at(0).note, QStringLiteral("bad CRC"));

    QCOMPARE(client->exchange(read(0, 1), 7), readReply({0}));
}

void TestSimulator::frameInFragments()
{
    sim->setFrameGap(2000);  // pauses between fragments stay well inside it
    sim->setRegisterValue(20, 0x1234);
    sim->setRegisterValue(21, 0x5678);
    const QByteArray request = write(20, {7, 8});
    const QByteArray reply = client->exchangeInFragments({request.left(1), request.mid(1, 6), request.mid(7)}, 30, 8);
    QCOMPARE(reply, Frames::withCrc(hex("011000140002")));
    QCOMPARE(sim->requests(), QVector<QByteArray>{request});
    QCOMPARE(sim->registerValues(20, 2), (QVector<quint16>{7, 8}));

    // Two frames in one write are two requests.
    const QByteArray both = client->exchange(read(20, 1) + read(21, 1), 14);
    QCOMPARE(both, readReply({7}) + readReply({8}));
}

void TestSimulator::partialFrameIsDropped()
{
    sim->setFrameGap(50);
    QCOMPARE(client->exchange(hex("010300"), 1, 100), QByteArray());
    QVERIFY(sim->waitForEntries(ControllerSimulator::Discarded, 1));
    const auto log = sim->frameLog();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.at(0).bytes, hex("010300"));
    QCOMPARE(log.at(0).note, QStringLiteral("incomplete frame"));

    // The next frame starts clean.
    QCOMPARE(client->exchange(read(0, 1), 7), readReply({0}));
    QCOMPARE(sim->requestCount(), 1);
}

void TestSimulator::images()
{
    QVERIFY(sim->loadImageData("10 1234\n11 -2\n"));
    QCOMPARE(Frames::values(client->exchange(read(10, 2), 9)), (QVector<quint16>{1234, 65534}));

    // A broken image changes nothing and says why.
    QVERIFY(!sim->loadImageData("10 1\n11 x\n"));
    QVERIFY(sim->errorString().contains("line 2"));
    QCOMPARE(sim->registerValue(10), quint16(1234));
    QVERIFY(!sim->loadImage("/nonexistent/image.xml"));
    QVERIFY(sim->errorString().contains("/nonexistent/image.xml"));

    sim->clearRegisters();
    QCOMPARE(sim->registerValue(10), quint16(0));

    // The suite's own initial values, when they are built in.
    if (QFile::exists(ControllerSimulator::defaultImagePath())) {
        RegisterImage::Values expected;
        QString error;
        QVERIFY2(RegisterImage::load(ControllerSimulator::defaultImagePath(), &expected, &error), qPrintable(error));
        QVERIFY(sim->loadDefaultImage());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(sim->registerValue(it.key()), it.value());
    } else {
        QVERIFY(!sim->loadDefaultImage());
        QVERIFY(sim->errorString().contains("InitialValues.xml"));
    }
}

void TestSimulator::logAndTiming()
{
    const double before = sim->elapsedMs();
    const QByteArray reply = client->exchange(read(0, 2), 9);
    const double after = sim->elapsedMs();
    QCOMPARE(reply.size(), 9);

    const auto log = sim->frameLog();
    QCOMPARE(log.size(), 2);
    QCOMPARE(log.at(0).direction, ControllerSimulator::Request);
    QCOMPARE(log.at(0).bytes, read(0, 2));
    QCOMPARE(log.at(1).direction, ControllerSimulator::Reply);
    QCOMPARE(log.at(1).bytes, reply);
    QVERIFY(before <= log.at(0).elapsedMs);
    QVERIFY(log.at(0).elapsedMs <= log.at(1).elapsedMs);
    QVERIFY(log.at(1).elapsedMs <= after);
    // An undelayed reply goes out at once (loose bound for a loaded machine).
    QVERIFY2(log.at(1).elapsedMs - log.at(0).elapsedMs < 200,
             qPrintable(QString::number(log.at(1).elapsedMs - log.at(0).elapsedMs)));

    sim->clearLog();
    QVERIFY(sim->frameLog().isEmpty());
    QCOMPARE(sim->requestCount(), 0);
}

void TestSimulator::waitingForRequests()
{
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!sim->waitForRequests(1, 100));
    QVERIFY(clock.elapsed() >= 100);

    // A client running on another thread; this thread only waits.
    std::unique_ptr<QThread> other(QThread::create([this] {
        PortClient threadClient(sim->portName());
        for (int i = 0; i < 3; ++i)
            threadClient.exchange(read(i, 1), 7);
    }));
    other->start();
    QVERIFY(sim->waitForRequests(3, 10000));
    QVERIFY(sim->waitForReplies(3, 10000));
    QVERIFY(other->wait(10000));
    QCOMPARE(sim->requests().at(2), read(2, 1));
}

void TestSimulator::apiFromAnotherThread()
{
    // Values set from another thread while a client reads stay whole.
    std::unique_ptr<QThread> writer(QThread::create([this] {
        for (int round = 0; round < 2000; ++round)
            sim->setRegisterValue(300 + round % 10, round % 2 ? 0xffff : 0x0000);
    }));
    writer->start();
    for (int i = 0; i < 5; ++i) {
        for (const quint16 value : Frames::values(client->exchange(read(300, 10), 25)))
            QVERIFY(value == 0 || value == 0xffff);
    }
    QVERIFY(writer->wait(10000));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
