// The kelvara-sim program: options, clean stop on signals, and a standard
// Modbus master (mbpoll) reading and writing it.

#include "portclient.h"
#include "registerimage.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using Frames::read;

namespace {

const QString simProgram = QStringLiteral(KELVARA_SIM_PROGRAM);

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Register values from mbpoll's output lines "[ref]: \tvalue".
QMap<int, int> mbpollValues(const QByteArray &output)
{
    QMap<int, int> values;
    static const QRegularExpression line(QStringLiteral("^\\[(\\d+)\\]:\\s+(-?\\d+)"),
                                         QRegularExpression::MultilineOption);
    auto it = line.globalMatch(QString::fromLocal8Bit(output));
    while (it.hasNext()) {
        const auto match = it.next();
        values.insert(match.captured(1).toInt(), match.captured(2).toInt());
    }
    return values;
}

} // namespace

class TestSimulatorProgram : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void servesAndStopsOnSigterm();
    void stopsOnSigint();
    void logsFrames();
    void controllerOptions();
    void silentOption();
    void imageOption();
    void defaultImage();
    void badArguments_data();
    void badArguments();
    void linkDoesNotReplaceFiles();

    void mbpollReadsAndWrites();

private:
    // Starts kelvara-sim and returns the path it prints, or an empty string.
    QString startSim(const QStringList &arguments);
    // Stops it with signal and checks it ended cleanly.
    void stopSim(int signal);

    std::unique_ptr<QProcess> process;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestSimulatorProgram::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    process.reset(new QProcess);
}

void TestSimulatorProgram::cleanup()
{
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(5000);
    }
    process.reset();
    dir.reset();
}

QString TestSimulatorProgram::startSim(const QStringList &arguments)
{
    process->start(simProgram, arguments);
    if (!process->waitForStarted(10000))
        return QString();
    while (!process->canReadLine()) {
        if (!process->waitForReadyRead(10000))
            return QString();
    }
    return QString::fromLocal8Bit(process->readLine()).trimmed();
}

void TestSimulatorProgram::stopSim(int signal)
{
    ::kill(static_cast<pid_t>(process->processId()), signal);
    QVERIFY(process->waitForFinished(10000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 0);
}

void TestSimulatorProgram::servesAndStopsOnSigterm()
{
    const QString link = dir->filePath("controller");
    const QString path =
        startSim({"--blank", "--set", "5=77", "--set", "6=-2", "--set", "0x7ff=0xbeef", "--link", link});
    QCOMPARE(path, link);
    QVERIFY2(QFileInfo(link).symLinkTarget().startsWith("/dev/pts/"), qPrintable(QFileInfo(link).symLinkTarget()));

    PortClient client(link);
    QCOMPARE(Frames::values(client.exchange(read(4, 3), 11)), (QVector<quint16>{0, 77, 65534}));
    QCOMPARE(Frames::values(client.exchange(read(2047, 1), 7)), (QVector<quint16>{0xbeef}));

    stopSim(SIGTERM);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimulatorProgram::stopsOnSigint()
{
    const QString path = startSim({"--blank"});
    QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
    QCOMPARE(PortClient(path).exchange(read(0, 1), 7).size(), 7);
    stopSim(SIGINT);
}

void TestSimulatorProgram::logsFrames()
{
    const QString path = startSim({"--blank", "--log"});
    QCOMPARE(PortClient(path).exchange(read(5, 2), 9).size(), 9);
    QTRY_VERIFY(process->bytesAvailable() > 0 && process->peek(4096).count('\n') >= 2);
    const QString output = QString::fromLocal8Bit(process->readAll());
    QVERIFY2(output.contains(QRegularExpression(" ms -> 01 03 00 05 00 02 [0-9a-f]{2} [0-9a-f]{2}\n")),
             qPrintable(output));
    QVERIFY2(output.contains(" ms <- 01 03 04 00 00 00 00 "), qPrintable(output));
    stopSim(SIGTERM);
}

void TestSimulatorProgram::controllerOptions()
{
    const QString path = startSim({"--blank", "--flash-fail", "--torque", "300", "--delay", "100"});
    PortClient client(path);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(client.exchange(hex("011001ff0001027fffc2ef"), 8).size(), 8);
    QVERIFY(clock.elapsed() >= 99);
    QCOMPARE(Frames::values(client.exchange(read(511, 1), 7)), QVector<quint16>{32767});
    QCOMPARE(Frames::values(client.exchange(read(477, 1), 7)), QVector<quint16>{300});
    stopSim(SIGTERM);

    // Without --flash-fail the save is confirmed; --corrupt-crc spoils the first replies.
    const QString second = startSim({"--blank", "--corrupt-crc", "1"});
    PortClient other(second);
    const QByteArray spoilt = other.exchange(hex("011001ff0001027fffc2ef"), 8);
    QCOMPARE(spoilt.size(), 8);
    QVERIFY(Frames::withCrc(spoilt.left(6)) != spoilt);
    QCOMPARE(Frames::values(other.exchange(read(511, 1), 7)), QVector<quint16>{4096});
    stopSim(SIGTERM);
}

void TestSimulatorProgram::silentOption()
{
    const QString path = startSim({"--blank", "--silent"});
    QCOMPARE(PortClient(path).exchange(read(0, 1), 7, 300), QByteArray());
    stopSim(SIGTERM);
}

void TestSimulatorProgram::imageOption()
{
    QFile image(dir->filePath("image.xml"));
    QVERIFY(image.open(QIODevice::WriteOnly));
    image.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ArrayOfSerializableParameter>\n"
                "<SerializableParameter><Address>71</Address><Value>90</Value><Notes>x</Notes>"
                "</SerializableParameter>\n"
                "<SerializableParameter><Address>72</Address><Value>-5</Value></SerializableParameter>\n"
                "</ArrayOfSerializableParameter>\n");
    image.close();

    // --set goes over the image.
    const QString path = startSim({"--blank", "--image", image.fileName(), "--set", "72=6"});
    QCOMPARE(Frames::values(PortClient(path).exchange(read(70, 3), 11)), (QVector<quint16>{0, 90, 6}));
    stopSim(SIGTERM);
}

void TestSimulatorProgram::defaultImage()
{
    const QString path = startSim({});
    QVERIFY(!path.isEmpty());
    PortClient client(path);
    RegisterImage::Values expected;
    QString error;
    QVERIFY2(RegisterImage::load(QStringLiteral(KELVARA_SIM_IMAGE), &expected, &error), qPrintable(error));
    QVERIFY(expected.contains(256));
    for (int first = 0; first < 2048; first += 125) {
        const int count = qMin(125, 2048 - first);
        const QVector<quint16> values = Frames::values(client.exchange(read(first, count), 2 * count + 5));
        QCOMPARE(values.size(), count);
        for (int i = 0; i < count; ++i)
            QCOMPARE(values.at(i), expected.value(first + i, 0));
    }
    stopSim(SIGTERM);
}

void TestSimulatorProgram::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing image") << QStringList{"--image", "/nonexistent/image.xml"} << 1
                                   << "/nonexistent/image.xml";
    QTest::newRow("set without value") << QStringList{"--set", "5"} << 2 << "ADDRESS=VALUE";
    QTest::newRow("set out of range") << QStringList{"--set", "5=70000"} << 2 << "65535";
    QTest::newRow("delay not a number") << QStringList{"--delay", "soon"} << 2 << "--delay";
    QTest::newRow("torque not a number") << QStringList{"--torque", "high"} << 2 << "--torque";
    QTest::newRow("stray argument") << QStringList{"extra"} << 2 << "extra";
    QTest::newRow("short hall table") << QStringList{"--hall-table", "15,2,4"} << 2 << "--hall-table";
    QTest::newRow("no such phase") << QStringList{"--dead-phase", "red"} << 2 << "red";
}

void TestSimulatorProgram::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    process->start(simProgram, arguments);
    QVERIFY(process->waitForFinished(10000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), exitCode);
    const QString errors = QString::fromLocal8Bit(process->readAllStandardError());
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(process->readAllStandardOutput().isEmpty());
}

void TestSimulatorProgram::linkDoesNotReplaceFiles()
{
    const QString taken = dir->filePath("taken");
    QFile file(taken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();

    process->start(simProgram, {"--blank", "--link", taken});
    QVERIFY(process->waitForFinished(10000));
    QCOMPARE(process->exitCode(), 1);
    QVERIFY(QFile(taken).open(QIODevice::ReadOnly));
    QVERIFY(!QFileInfo(taken).isSymLink());

    // A stale link from an earlier run is taken over.
    const QString stale = dir->filePath("stale");
    QVERIFY(QFile::link("/dev/pts/nonexistent", stale));
    QCOMPARE(startSim({"--blank", "--link", stale}), stale);
    QVERIFY(QFileInfo(stale).symLinkTarget().startsWith("/dev/pts/"));
    QVERIFY(QFileInfo::exists(stale));
    stopSim(SIGTERM);
    QVERIFY(!QFileInfo(stale).isSymLink());
}

void TestSimulatorProgram::mbpollReadsAndWrites()
{
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty())
        QSKIP("mbpoll is not installed");

    const QString link = dir->filePath("controller");
    QCOMPARE(startSim({"--blank", "--set", "10=1234", "--set", "11=-2", "--link", link}), link);
    const QStringList common{"-m", "rtu", "-a", "1", "-b", "115200", "-P", "none", "-t", "4", "-0", "-o", "2"};

    auto run = [&](const QStringList &arguments, QByteArray *output) {
        QProcess master;
        master.start(mbpoll, common + arguments);
        if (!master.waitForFinished(20000))
            return -1;
        *output = master.readAllStandardOutput() + master.readAllStandardError();
        return master.exitCode();
    };

    QByteArray output;
    QCOMPARE(run({"-r", "9", "-c", "4", "-1", link}, &output), 0);
    QMap<int, int> values = mbpollValues(output);
    QCOMPARE(values.value(9, -1), 0);
    QCOMPARE(values.value(10, -1), 1234);
    QCOMPARE(values.value(11, -1), 65534);
    QCOMPARE(values.value(12, -1), 0);

    // Written with function 16 (more than one value), read back.
    QCOMPARE(run({"-r", "20", link, "7", "65528", "9"}, &output), 0);
    QVERIFY2(output.contains("Written 3 references"), output.constData());
    QCOMPARE(run({"-r", "20", "-c", "3", "-1", link}, &output), 0);
    values = mbpollValues(output);
    QCOMPARE(values.value(20, -1), 7);
    QCOMPARE(values.value(21, -1), 65528);
    QCOMPARE(values.value(22, -1), 9);

    // The same 32767-to-511 save the suite makes.
    QCOMPARE(run({"-r", "510", link, "0", "32767"}, &output), 0);
    QCOMPARE(run({"-r", "511", "-c", "1", "-1", link}, &output), 0);
    QCOMPARE(mbpollValues(output).value(511, -1), 4096);

    // Illegal addresses come back as a Modbus exception, which mbpoll names.
    run({"-r", "2047", "-c", "2", "-1", link}, &output);
    QVERIFY2(output.contains("Illegal data address"), output.constData());

    stopSim(SIGTERM);
}

QTEST_GUILESS_MAIN(TestSimulatorProgram)
#include "tst_simulatorprogram.moc"
