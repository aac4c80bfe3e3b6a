// The kelvara-sim program: its options and their errors, a clean stop on
// signals, and a standard Modbus master (mbpoll) talking to it.

#include "portclient.h"
#include "registerimage.h"
#include "replynoise.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using Frames::read;
using Frames::readReply;
using Frames::withCrc;

namespace {

const QString simProgram = QStringLiteral(KELVARA_SIM_PROGRAM);

// The register values in mbpoll's "[reference]: value" lines, "reference=value ...".
QString mbpollValues(const QString& output)
{
    static const QRegularExpression line("^\\[(\\d+)\\]:\\s+(-?\\d+)",
                                         QRegularExpression::MultilineOption);
    QStringList values;
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const auto match = it.next();
        values << match.captured(1) + '=' + match.captured(2);
    }
    return values.join(' ');
}

// The words of a command line; IMAGE and SOURCE stand for a register image
// and for a file that is none.
QStringList commandLine(const QString& line)
{
    QStringList words = line.split(' ', Qt::SkipEmptyParts);
    words.replaceInStrings(QRegularExpression("^IMAGE$"), KELVARA_SIM_IMAGE);
    return words.replaceInStrings(QRegularExpression("^SOURCE$"), __FILE__);
}

} // namespace

class TestSimulatorProgram : public QObject
{
    Q_OBJECT

private:
    QProcess process;

    // Starts kelvara-sim; the path it prints, or an empty string.
    QString start(const QStringList& arguments)
    {
        process.start(simProgram, arguments);
        while (process.waitForStarted(10000) && !process.canReadLine()) {
            if (!process.waitForReadyRead(10000))
                return QString();
        }
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    // Stops it with signal; it must end cleanly.
    void stop(int signal)
    {
        ::kill(pid_t(process.processId()), signal);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
    }

    // Runs the event loop until the program's standard output (or error)
    // holds the text; what came up to it is taken.
    bool waitForOutput(const QString& text,
                       QProcess::ProcessChannel channel = QProcess::StandardOutput)
    {
        QString& seen = received[channel];
        return QTest::qWaitFor(
            [&] {
                process.setReadChannel(channel);
                seen += QString::fromLocal8Bit(process.readAll());
                const int at = int(seen.indexOf(text));
                if (at >= 0)
                    seen.remove(0, at + int(text.size()));
                return at >= 0;
            },
            10000);
    }
    QString received[2]; // standard output and error, not yet taken

private slots:
    void cleanup()
    {
        received[0].clear();
        received[1].clear();
        process.setReadChannel(QProcess::StandardOutput);
        process.kill();
        process.waitForFinished(5000);
    }

    // request: frames sent in one write; reply: all that comes back.
    void options_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        RegisterImage::Values image;
        QString error;
        QVERIFY2(RegisterImage::load(KELVARA_SIM_IMAGE, &image, &error), qPrintable(error));
        const QByteArray save = QByteArray::fromHex("011001ff0001027fffc2ef");
        const QByteArray saved = withCrc(save.left(6));
        QByteArray spoilt = readReply({0});
        spoilt[6] = char(spoilt.at(6) ^ 0xFF);
        const QByteArray identity = read(237, 2) + read(256, 1);

        QTest::newRow("set") << "--blank --set 5=77 --set 6=-2 --set 0x7ff=0xbeef"
                             << read(4, 3) + read(2047, 1)
                             << readReply({0, 77, 65534}) + readReply({0xbeef});
        QTest::newRow("configured controller")
            << "" << identity << readReply({image[237], image[238]}) + readReply({image[256]});
        QTest::newRow("set over image") << "--blank --image IMAGE --set 238=6 --set 256=7"
                                        << identity << readReply({image[237], 6}) + readReply({7});
        QTest::newRow("torque") << "--blank --torque 300" << read(477, 1) << readReply({300});
        QTest::newRow("flash save")
            << "--blank" << save + read(511, 1) << saved + readReply({4096});
        QTest::newRow("flash fails")
            << "--blank --flash-fail" << save + read(511, 1) << saved + readReply({32767});
        QTest::newRow("silent") << "--blank --silent" << read(0, 1) << QByteArray();
        QTest::newRow("delay") << "--blank --delay 100" << read(0, 1) << readReply({0});
        QTest::newRow("bad CRC") << "--blank --corrupt-crc 1" << read(0, 1) + read(0, 1)
                                 << spoilt + readReply({0});
        QTest::newRow("no noise") << "--blank --noise 0 --seed 9" << read(0, 1) << readReply({0});
    }

    void options()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        const QString path = start(commandLine(arguments));
        QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(PortClient(path).exchange(request, reply.size(), reply.isEmpty() ? 300 : 3000),
                 reply);
        QVERIFY(clock.elapsed() >= (arguments.contains("--delay") ? 100 : 0));
        stop(SIGINT);
    }

    void logsFrames()
    {
        const QString path = start({"--blank", "--log"});
        QCOMPARE(PortClient(path).exchange(read(5, 2), 9).size(), 9);
        QTRY_VERIFY(process.peek(4096).count('\n') >= 2);
        const QString output = QString::fromLocal8Bit(process.readAll());
        const QRegularExpression request(" ms -> 01 03 00 05 00 02 [0-9a-f]{2} [0-9a-f]{2}\n");
        QVERIFY2(output.contains(request), qPrintable(output));
        QVERIFY2(output.contains(" ms <- 01 03 04 00 00 00 00 "), qPrintable(output));
        stop(SIGTERM);
    }

    // --noise and --seed spoil the replies as the class does for that seed,
    // and the log tells how each was spoilt.
    void noiseAsTheClass()
    {
        const QString path =
            start({"--blank", "--set", "10=4660", "--log", "--noise", "40", "--seed", "11"});
        QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
        HeldPort port(path);
        ReplyNoise twin;
        twin.set(40, 11);
        const QString request = read(10, 1).toHex(' ');
        QString ways;
        for (int i = 0; i < 12; ++i) {
            QStringList notes;
            const QByteArray reply = twin.spoil(readReply({0x1234}), &notes);
            const QString note = notes.isEmpty() ? "\n" : "  (" + notes.first() + ")\n";
            QVERIFY(port.send(read(10, 1)));
            QVERIFY(waitForOutput(" ms -> " + request + note));
            if (!reply.isEmpty()) {
                QVERIFY(waitForOutput(" ms <- " + reply.toHex(' ') + note));
                QCOMPARE(port.receive(reply.size()), reply);
            }
            ways += notes.isEmpty() ? "g" : notes.first().section(' ', -1);
        }
        for (const QString way : {"g", "changed", "lost"})
            QVERIFY2(ways.contains(way), qPrintable(ways));
        stop(SIGINT);
    }

    // Behind the adapter each controller spoils its own replies, controller
    // N from the seed N - 1 on, and the log tells how ("!! N").
    void noiseBehindTheAdapter()
    {
        const QString path = start({"--blank", "--log", "--noise", "100", "--seed", "20",
                                    "--controller", "10=1", "--controller", "10=2"});
        QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
        HeldPort port(path);
        QStringList notesOf[2];
        QByteArray replyOf[2];
        for (int controller : {1, 2}) {
            ReplyNoise twin;
            twin.set(100, 20 + controller - 1);
            replyOf[controller - 1] =
                twin.spoil(readReply({quint16(controller)}), &notesOf[controller - 1]);
        }
        QVERIFY2(notesOf[0] != notesOf[1], "the seeds must tell the controllers apart");
        for (int controller : {1, 2}) {
            if (controller == 2) {
                process.write("move 2\n");
                QVERIFY(waitForOutput("cable on controller 2\n"));
            }
            QVERIFY(port.send(read(10, 1)));
            QVERIFY(waitForOutput(
                QString(" ms !! %1 %2  (%3)\n")
                    .arg(controller)
                    .arg(QString(read(10, 1).toHex(' ')), notesOf[controller - 1].first())));
            const QByteArray& reply = replyOf[controller - 1];
            if (!reply.isEmpty())
                QCOMPARE(port.receive(reply.size()), reply);
        }
        stop(SIGTERM);
    }

    void helpListsTheNoise()
    {
        process.start(simProgram, {"--help"});
        QVERIFY(process.waitForFinished(10000));
        const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(help.contains("--noise <PERCENT>") && help.contains("--seed <N>"),
                 qPrintable(help));
    }

    void badArguments_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing image")
            << "--image /nonexistent/image.xml" << 1 << "/nonexistent/image.xml";
        QTest::newRow("not an image") << "--image SOURCE" << 1 << "line 1";
        QTest::newRow("set without value") << "--set 5" << 2 << "ADDRESS=VALUE";
        QTest::newRow("set address 2048") << "--set 2048=1" << 2 << "2048=1";
        QTest::newRow("set not a number") << "--set 1=abc" << 2 << "1=abc";
        QTest::newRow("set out of range") << "--set 5=70000" << 2 << "65535";
        QTest::newRow("delay not a number") << "--delay soon" << 2 << "--delay";
        QTest::newRow("torque not a number") << "--torque high" << 2 << "--torque";
        QTest::newRow("noise not a number") << "--noise lots" << 2 << "--noise";
        QTest::newRow("noise above all") << "--noise 100.5" << 2 << "--noise";
        QTest::newRow("seed without noise") << "--seed 5" << 2 << "--seed";
        QTest::newRow("seed not a number") << "--noise 5 --seed -1" << 2 << "--seed";
        QTest::newRow("stray argument") << "extra" << 2 << "extra";
        QTest::newRow("short hall table") << "--hall-table 15,2,4" << 2 << "--hall-table";
        QTest::newRow("no such phase") << "--dead-phase red" << 2 << "red";
        QTest::newRow("controller not a number")
            << "--controller 5=1,6=abc" << 2 << "--controller \"6=abc\"";
        QTest::newRow("controller file missing")
            << "--controller 10=1 --controller /nonexistent/b.txt" << 1 << "/nonexistent/b.txt";
    }

    void badArguments()
    {
        QFETCH(QString, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        process.start(simProgram, commandLine(arguments));
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(errors.contains(message), qPrintable(errors));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }

    void link()
    {
        // A file in the way stays, and the program fails.
        QTemporaryDir dir;
        const QString taken = dir.filePath("taken");
        QVERIFY(QFile(taken).open(QIODevice::WriteOnly));
        process.start(simProgram, {"--blank", "--link", taken});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QFileInfo(taken).isFile() && !QFileInfo(taken).isSymLink());

        // A stale link from an earlier run is taken over, and removed at the end.
        const QString link = dir.filePath("controller");
        QVERIFY(QFile::link("/dev/pts/nonexistent", link));
        QCOMPARE(start({"--blank", "--set", "5=77", "--link", link}), link);
        QCOMPARE(PortClient(link).exchange(read(5, 1), 7), readReply({77}));
        stop(SIGTERM);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // Controllers behind one adapter, the cable moved by commands on
    // standard input while a client holds the port open.
    void cableMovedOnCommands()
    {
        const QString path =
            start({"--blank", "--log", "--controller", "10=1", "--controller", "10=2,11=7"});
        QVERIFY2(path.startsWith("/dev/pts/"), qPrintable(path));
        HeldPort port(path);
        QCOMPARE(port.exchange(read(10, 2), 9), readReply({1, 0}));
        QVERIFY(waitForOutput(" ms -> 1 01 03 00 0a 00 02 "));
        QVERIFY(waitForOutput(" ms <- 1 01 03 04 00 01 00 00 "));

        process.write("move 2\n");
        QVERIFY(waitForOutput("cable on controller 2\n"));
        QCOMPARE(port.exchange(read(10, 2), 9), readReply({2, 7}));

        // The write that sets the move off is lost, and so is what follows.
        process.write("unplug on next write\nmove 1 after 100 on next read reaching new\n");
        QVERIFY(waitForOutput("move scheduled: move 1 after 100 on next read reaching new\n"));
        QCOMPARE(port.exchange(Frames::write(20, {1, 2}), 8, 300), QByteArray());
        QVERIFY(waitForOutput("cable on no controller\n"));
        QCOMPARE(port.exchange(read(10, 1), 7, 300), QByteArray());
        QVERIFY(waitForOutput(" ms -> - 01 03 00 0a 00 01 "));
        QVERIFY(waitForOutput("cable on controller 1\n"));
        QCOMPARE(port.exchange(read(10, 1), 7), readReply({1}));
        process.write("where\n");
        QVERIFY(waitForOutput("cable on controller 1\n"));

        // A command it cannot follow is told, and the program goes on.
        process.write("move 3\nunplug on write to 2048\nmove 1 after\n");
        QVERIFY(waitForOutput("no controller \"3\" (1 to 2)\n", QProcess::StandardError));
        QVERIFY(waitForOutput("no such trigger \"write to 2048\"", QProcess::StandardError));
        QVERIFY(waitForOutput("cannot follow \"move 1 after\"", QProcess::StandardError));
        QCOMPARE(port.exchange(read(10, 1), 7), readReply({1}));
        stop(SIGTERM);
    }

    void mbpoll()
    {
        const QString mbpoll = QStandardPaths::findExecutable("mbpoll");
        if (mbpoll.isEmpty())
            QSKIP("mbpoll is not installed");
        const QString path = start({"--blank", "--set", "10=1234", "--set", "11=-2"});
        auto run = [&](const QString& options, const QString& values = QString()) {
            QProcess master;
            master.start(mbpoll,
                         commandLine("-m rtu -b 115200 -P none -t 4 -0 -o 2 " + options)
                             + QStringList{path} + commandLine(values));
            master.waitForFinished(20000);
            return QString::fromLocal8Bit(master.readAll() + master.readAllStandardError());
        };
        // Function 16 with more than one value, and the 32767-to-511 save the suite makes.
        QVERIFY(run("-r 20", "7 65528 9").contains("Written 3 references"));
        QVERIFY(run("-r 510", "0 32767").contains("Written 2 references"));
        QCOMPARE(mbpollValues(run("-r 9 -c 4 -1") + run("-r 20 -c 3 -1") + run("-r 511 -c 1 -1")),
                 QString("9=0 10=1234 11=65534 12=0 20=7 21=65528 22=9 511=4096"));
        QVERIFY(run("-r 2047 -c 2 -1").contains("Illegal data address"));
        stop(SIGTERM);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorProgram)
#include "tst_simulatorprogram.moc"
