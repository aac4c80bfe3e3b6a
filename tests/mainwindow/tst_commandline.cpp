// kelvara-suite's command line, run as a process against the simulated
// controller: help, the "-i" rule, preparation errors, one read, one write.
//
// The program reads "resources/preferences.ini" beside itself, so it runs
// from a scratch copy whose settings give a short reply timeout.

#include "controllersimulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString simulatorMark = QStringLiteral("SIM");
const int quickTimeout = 60;

struct RunResult
{
    QStringList lines;
    QString errors;
    int exitCode = -1;
    qint64 elapsedMs = 0;
};

const QString usageTail = QStringLiteral(
    " -i(nteractive) -r(ead) -w(rite) \"value\" -a(ddr) \"address\" -b(aud) \"baudrate\" "
    "-s(erial) \" port name\" -h(elp)");

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void helpPrintsUsageOnly_data();
    void helpPrintsUsageOnly();
    void optionsNeedInteractive_data();
    void optionsNeedInteractive();
    void parserErrorsExitWithOne_data();
    void parserErrorsExitWithOne();
    void preparationErrors_data();
    void preparationErrors();
    void readPrintsTheValue_data();
    void readPrintsTheValue();
    void writeWaitsForTheFlashSave();
    void writeOfUnsavedRegisterEndsWithItsReply();
    void writeConvertsWithTheControllersRegisters();
    void valueBeyondLimitsIsRefused_data();
    void valueBeyondLimitsIsRefused();
    void refusedWrites_data();
    void refusedWrites();
    void silentControllerFailsPromptly();
    void portPluggedInDuringTheRunIsNotTaken();

private:
    RunResult run(QStringList arguments);

    QTemporaryDir programDir;
    QString program;
    std::unique_ptr<ControllerSimulator> simulator;
};

void TestCommandLine::initTestCase()
{
    QVERIFY(programDir.isValid());
    program = programDir.filePath("kelvara-suite");
    QVERIFY(QFile::copy(QStringLiteral(KELVARA_SUITE_PROGRAM), program));
    QVERIFY(QDir(programDir.path()).mkpath("resources"));
    QSettings settings(programDir.filePath("resources/preferences.ini"), QSettings::IniFormat);
    settings.setValue("commTimeout", quickTimeout);
    settings.sync();

    simulator = std::make_unique<ControllerSimulator>();
    QVERIFY2(simulator->start(), qPrintable(simulator->errorString()));
}

void TestCommandLine::init()
{
    QVERIFY(simulator->loadImage(QStringLiteral(KELVARA_SIM_IMAGES "/controller.xml")));
    simulator->resetFaults();
    simulator->setFlashSaveFails(false);
    simulator->setTorqueCommand(0);
    simulator->clearLog();
}

// Runs the program without a display (it must choose the offscreen
// platform itself) with the simulator offered as a port. "SIM" in an
// argument stands for the simulator's path.
RunResult TestCommandLine::run(QStringList arguments)
{
    for (QString& argument : arguments)
        argument.replace(simulatorMark, simulator->portName());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(name);
    environment.insert("KELVARA_EXTRA_PORTS", simulator->portName());

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::tempPath());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    RunResult result;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.elapsedMs = clock.elapsed();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.lines = out.split('\n', Qt::SkipEmptyParts);
    result.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

void TestCommandLine::helpPrintsUsageOnly_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-h") << QStringList{"-h"};
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("with other options") << QStringList{"-i", "-a", "71", "-r", "-h"};
}

void TestCommandLine::helpPrintsUsageOnly()
{
    QFETCH(QStringList, arguments);
    const RunResult result = run(arguments);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines, QStringList{"usage: " + program + usageTail});
    QCOMPARE(simulator->requestCount(), 0);
}

void TestCommandLine::optionsNeedInteractive_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-a") << QStringList{"-a", "71"};
    QTest::newRow("-w") << QStringList{"-w", "1"};
    QTest::newRow("-b") << QStringList{"-b", "9600"};
}

void TestCommandLine::optionsNeedInteractive()
{
    QFETCH(QStringList, arguments);
    const RunResult result = run(arguments);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines,
             QStringList{"Error: -i(nteractive) argument mandatory for no particularly good reason "
                         "when running "
                         + program + " from the commandline."});
    QCOMPARE(simulator->requestCount(), 0);
}

void TestCommandLine::parserErrorsExitWithOne_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("-x") << QStringList{"-x"} << "Unknown option 'x'.";
    QTest::newRow("--foo") << QStringList{"--foo"} << "Unknown option 'foo'.";
    QTest::newRow("-v") << QStringList{"-v"} << "Unknown option 'v'.";
    QTest::newRow("value missing") << QStringList{"-i", "-r", "-a"} << "Missing value after '-a'.";
}

// Answered by the option parser on standard error, also without a display.
void TestCommandLine::parserErrorsExitWithOne()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const RunResult result = run(arguments);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.lines, QStringList());
    QVERIFY2(result.errors.contains(message), qPrintable(result.errors));
}

void TestCommandLine::preparationErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");

    QTest::newRow("no address") << QStringList{"-i", "-r", "-s", "SIM"} << "No address found";
    // The address is judged before the port.
    QTest::newRow("no address, unknown port") << QStringList{"-i", "-r", "-s", "/dev/nonesuch"}
                                              << "No address found";
    QTest::newRow("bad address, unknown port")
        << QStringList{"-i", "-a", "3000", "-r", "-s", "/dev/nonesuch"} << "Invalid address 3000";
    QTest::newRow("address not a number") << QStringList{"-i", "-a", "12x", "-r"} << "Invalid address 12x";
    QTest::newRow("address too long") << QStringList{"-i", "-a", "99999999999999999999", "-r"}
                                      << "Invalid address 99999999999999999999";
    QTest::newRow("no port") << QStringList{"-i", "-a", "71", "-r"} << "No serial port given";
    QTest::newRow("address without parameter") << QStringList{"-i", "-a", "600", "-r", "-s", "SIM"}
                                               << "Invalid address 600";
    QTest::newRow("unknown port") << QStringList{"-i", "-a", "71", "-r", "-s", "/dev/nonesuch"}
                                  << "Could not find port /dev/nonesuch";
    QTest::newRow("no command") << QStringList{"-i", "-a", "71", "-s", "SIM"} << "Missing recognized command";
    QTest::newRow("baud not a number") << QStringList{"-i", "-a", "71", "-r", "-b", "fast"}
                                       << "Unable to interpret baud rate (\"fast\")";
    QTest::newRow("baud not standard") << QStringList{"-i", "-a", "71", "-r", "-b", "12345"}
                                       << "Unable to set baud rate (to \"12345\")";
    QTest::newRow("value not a number") << QStringList{"-i", "-a", "71", "-w", "abc", "-s", "SIM"}
                                        << "Unable to interpret value (\"abc\")";
    QTest::newRow("value not finite") << QStringList{"-i", "-a", "71", "-w", "nan", "-s", "SIM"}
                                      << "Unable to interpret value (\"nan\")";
    QTest::newRow("read-only register") << QStringList{"-i", "-a", "256", "-w", "5", "-s", "SIM"}
                                        << "Address 256 is read-only";
}

// Each error is one line, ends the program with status 255 (main's -1)
// before anything is read or written.
void TestCommandLine::preparationErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    const RunResult result = run(arguments);
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(result.lines, QStringList{line});
    QCOMPARE(simulator->requestCount(), 0);
}

void TestCommandLine::readPrintsTheValue_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("printed");

    QTest::newRow("whole amperes") << 71 << 70 << "70";
    QTest::newRow("two decimals") << 72 << 1234 << "12.34";
    QTest::newRow("enum code") << 77 << 2 << "2";
}

void TestCommandLine::readPrintsTheValue()
{
    QFETCH(int, address);
    QFETCH(int, raw);
    QFETCH(QString, printed);
    simulator->setRegisterValue(address, raw);
    const RunResult result = run({"-i", "-a", QString::number(address), "-r", "-s", "SIM"});
    QCOMPARE(result.lines, QStringList{printed});
    QCOMPARE(result.exitCode, 0);
    // Nothing is written by a read.
    const auto requests = simulator->requests();
    for (const QByteArray& frame : requests)
        QCOMPARE(quint8(frame.at(1)), quint8(0x03));
}

void TestCommandLine::writeWaitsForTheFlashSave()
{
    const RunResult result = run({"-i", "-a", "229", "-w", "33.3", "-s", "SIM"});
    QCOMPARE(result.lines, QStringList{"Write success"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(int(simulator->registerValue(229)), 333);
    QCOMPARE(int(simulator->registerValue(511)), 4096);

    QStringList writes;
    const auto requests = simulator->requests();
    for (const QByteArray& frame : requests) {
        if (quint8(frame.at(1)) == 0x10)
            writes << frame.mid(2, 4).toHex();
    }
    QCOMPARE(writes, (QStringList{"00e50001", "01ff0001"}));
    // The flash save was read back before success was printed.
    QVERIFY(requests.last().startsWith(QByteArray::fromHex("010301ff0001")));
}

void TestCommandLine::writeOfUnsavedRegisterEndsWithItsReply()
{
    const RunResult result = run({"-i", "-a", "509", "-w", "7", "-s", "SIM"});
    QCOMPARE(result.lines, QStringList{"Write success"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(int(simulator->registerValue(509)), 7);
    for (const QByteArray& frame : simulator->requests())
        QVERIFY(!frame.startsWith(QByteArray::fromHex("011001ff")));
    QVERIFY(result.elapsedMs < 5000);
}

// The port is chosen before the preparatory reads, so the value is converted
// with the controller's Max Phase Current (70 A), not the built-in 90 A.
void TestCommandLine::writeConvertsWithTheControllersRegisters()
{
    const RunResult result = run({"-i", "-a", "154", "-w", "35", "-s", "SIM"});
    QCOMPARE(result.lines, QStringList{"Write success"});
    QCOMPARE(int(simulator->registerValue(154)), 2048); // 35 x 4096 / 70
}

void TestCommandLine::valueBeyondLimitsIsRefused_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("line");

    QTest::newRow("above the maximum") << 229 << "200"
                                       << "Value \"200\" is outside the limits of address 229 (0 to 120)";
    QTest::newRow("below the minimum") << 229 << "-0.5"
                                       << "Value \"-0.5\" is outside the limits of address 229 (0 to 120)";
    // The limit follows the controller's Controller Output Current Rating
    // (96 A: 0.75 x 96 - 1 = 71 A), not the built-in one.
    QTest::newRow("limit from the controller") << 154 << "72"
                                               << "Value \"72\" is outside the limits of address 154 (1 to 71)";
    QTest::newRow("enum value not listed") // would cut the controller off
        << 4 << "97" << "Value \"97\" is not one of the values of address 4 (12, 96, 192, 384, 576, 1152)";
}

// A value beyond the register's limits would be put onto the limit and
// written as if asked for: it is refused and nothing is written.
void TestCommandLine::valueBeyondLimitsIsRefused()
{
    QFETCH(int, address);
    QFETCH(QString, value);
    QFETCH(QString, line);
    const quint16 before = simulator->registerValue(address);

    const RunResult result = run({"-i", "-a", QString::number(address), "-w", value, "-s", "SIM"});
    QCOMPARE(result.lines, QStringList{line});
    QVERIFY(result.exitCode != 0);
    QCOMPARE(simulator->registerValue(address), before);
    for (const QByteArray& frame : simulator->requests())
        QCOMPARE(quint8(frame.at(1)), quint8(0x03));
}

void TestCommandLine::refusedWrites_data()
{
    QTest::addColumn<bool>("flashFails");
    QTest::addColumn<int>("torque");
    QTest::addColumn<bool>("writeUnanswered");
    QTest::addColumn<int>("exception");
    QTest::addColumn<QString>("reason"); // and what the line goes on with

    QTest::newRow("flash save not confirmed") << true << 0 << false << 0 << "Save to Flash Fail'";
    QTest::newRow("motor running") << true << 8 << false << 0 << "Save Error'";
    QTest::newRow("write unanswered") << false << 0 << true << 0 << "Communication timeout'";
    QTest::newRow("write refused") << false << 0 << false << 2 << "Invalid serial port', last message: "
                                      "'ERROR: Invalid address or number parameters. Reply: 01 90 02 cd c1'";
}

// A write that is not confirmed prints one failure line and ends at once
// with a failure status, never "Write success".
void TestCommandLine::refusedWrites()
{
    QFETCH(bool, flashFails);
    QFETCH(int, torque);
    QFETCH(bool, writeUnanswered);
    QFETCH(int, exception);
    QFETCH(QString, reason);
    simulator->setFlashSaveFails(flashFails);
    simulator->setTorqueCommand(torque);
    simulator->setSilentAtAddress(229, writeUnanswered);
    simulator->setExceptionAtAddress(229, exception);

    const RunResult result = run({"-i", "-a", "229", "-w", "31", "-s", "SIM"});
    simulator->setSilentAtAddress(229, false);
    simulator->setExceptionAtAddress(229, 0);
    QVERIFY2(result.lines.size() == 1, qPrintable(result.lines.join('|')));
    QVERIFY2(result.lines.first().startsWith("Fail with error: '" + reason), qPrintable(result.lines.first()));
    QVERIFY(result.lines.first().endsWith('\''));
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.elapsedMs < 5000);
}

void TestCommandLine::silentControllerFailsPromptly()
{
    simulator->setSilent(true);
    const RunResult result = run({"-i", "-a", "71", "-r", "-s", "SIM"});
    QCOMPARE(result.lines.size(), 1);
    QVERIFY2(result.lines.first().startsWith("Fail with error: 'Communication timeout', last message: '"),
             qPrintable(result.lines.first()));
    QVERIFY(result.exitCode != 0);
    // Two unanswered read-alls and no wait for a result that cannot come.
    QVERIFY(result.elapsedMs < 6000);
    simulator->setSilent(false);
}

// The window makes a newly plugged-in port the current one; a command-line
// write must still reach the port it was given.
void TestCommandLine::portPluggedInDuringTheRunIsNotTaken()
{
    ControllerSimulator other;
    QVERIFY(other.start());
    QVERIFY(other.loadImage(QStringLiteral(KELVARA_SIM_IMAGES "/controller.xml")));
    QTemporaryDir linkDir;
    const QString lateLink = linkDir.filePath("late-port");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(name);
    environment.insert("KELVARA_EXTRA_PORTS", simulator->portName() + ':' + lateLink);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, {"-i", "-a", "229", "-w", "30.5", "-s", simulator->portName()});
    QVERIFY(process.waitForStarted());
    // After the port scan at start-up, before the write.
    QTest::qWait(400);
    QVERIFY(QFile::link(other.portName(), lateLink));
    QVERIFY(process.waitForFinished(20000));

    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), QString("Write success\n"));
    QCOMPARE(int(simulator->registerValue(229)), 305);
    QCOMPARE(other.requestCount(), 0);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
