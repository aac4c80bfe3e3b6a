// kelvara-suite's command line, run as a process against the simulated
// controller, from a scratch copy whose settings give a short reply timeout:
// the lines it prints, its exit status and the frames it sends.

#include "cableadapter.h"
#include "controllersimulator.h"

#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

// What the run says of a value it could not confirm in the controller's flash.
const QString valueNotInFlash =
    "The value was written to the controller but not saved to its flash: it is lost when the "
    "controller is switched off.";
const QString writeUnanswered =
    "The controller did not answer the write: it may hold the value, not saved to its flash.";
const QString flashSaveUnconfirmed = "The value was written to the controller, but it did not "
                                     "confirm the save to flash: it may or may not hold the "
                                     "value in flash.";
const QString writeUnansweredByTheOneRead =
    "The value was sent to the controller that was read before the other one answered, which did "
    "not confirm it: it may hold the value, not saved to its flash.";

class TestCommandLine : public QObject
{
    Q_OBJECT
    QTemporaryDir programDir;
    QString program;
    ControllerSimulator simulator;

    QProcessEnvironment environment(const QString& ports) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name); // it must choose the offscreen platform itself
        environment.insert("KELVARA_EXTRA_PORTS", ports);
        return environment;
    }

    // Knobs of the simulator: "flash" (save not confirmed), "torque" (motor
    // running), "mute", "mute@A", "refuse@A" (every request at A refused
    // with exception 2; "refuse@A:n" with exception n), "lose@A" (the next
    // reply to a request at A lost; "lose@A:n" the next n), "spoil@A" (every
    // reply to a request at A with its CRC spoiled), "A=raw".
    static void applyFaults(ControllerSimulator& sim, const QString& faults)
    {
        for (const QString& fault : faults.split(' ', Qt::SkipEmptyParts)) {
            const int at = fault.section(QRegularExpression("[@=:]"), 1, 1).toInt();
            if (fault == "flash" || fault == "torque")
                sim.setFlashSaveFails(true);
            if (fault == "torque")
                sim.setTorqueCommand(8);
            if (fault == "mute")
                sim.setSilent(true);
            if (fault.startsWith("mute@"))
                sim.setSilentAtAddress(at);
            if (fault.startsWith("refuse@"))
                sim.setExceptionAtAddress(at,
                                          fault.contains(':') ? fault.section(':', 1).toInt() : 2);
            if (fault.startsWith("spoil@"))
                sim.setBadCrcAtAddress(at);
            if (fault.startsWith("lose@"))
                sim.loseRepliesAtAddress(at,
                                         fault.contains(':') ? fault.section(':', 1).toInt() : 1);
            if (fault.contains('='))
                sim.setRegisterValue(fault.section('=', 0, 0).toInt(), at);
        }
    }

    // The lines printed, joined by '|', against a pattern whose '*' stands
    // for any text within one line.
    static bool matchesLines(const QString& printed, const QString& pattern)
    {
        QString expression;
        for (const QString& part : pattern.split('*'))
            expression += (expression.isEmpty() ? "" : "[^|]*") + QRegularExpression::escape(part);
        return QRegularExpression(QRegularExpression::anchoredPattern(expression))
            .match(printed)
            .hasMatch();
    }

    // The frame heads (function, address, count) of the requests in the log.
    static QStringList requestHeads(const ControllerSimulator& sim)
    {
        QStringList heads;
        for (const QByteArray& frame : sim.requests())
            heads << frame.mid(1, 5).toHex();
        return heads;
    }

    // The registers of "A=raw ..." that the controller does not hold, as
    // "A=raw" of what it holds; empty when all are as given.
    static QString valuesCheck(const ControllerSimulator& sim, const QString& after)
    {
        QStringList wrong;
        for (const QString& value : after.split(' ', Qt::SkipEmptyParts)) {
            const int address = value.section('=', 0, 0).toInt();
            if (int(sim.registerValue(address)) != value.section('=', 1).toInt())
                wrong << QString("%1=%2").arg(address).arg(sim.registerValue(address));
        }
        return wrong.join(' ');
    }

private slots:
    void initTestCase()
    {
        program = programDir.filePath("kelvara-suite");
        QVERIFY(QFile::copy(KELVARA_SUITE_PROGRAM, program));
        QDir(programDir.path()).mkpath("resources");
        QSettings(programDir.filePath("resources/preferences.ini"), QSettings::IniFormat)
            .setValue("commTimeout", 60);
        QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    }

    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "SIM" stands for the simulator's port
        QTest::addColumn<QString>("faults");
        QTest::addColumn<int>("status");
        // Lines joined by '|'; a trailing '*' matches any end; "!text": none, text on standard error.
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>(
            "writes"); // heads of function-16 frames; "none": nothing sent; "*": any
        QTest::addColumn<QString>("after"); // "A=raw" held by the controller afterwards

        const QString usage =
            "usage: PROGRAM -i(nteractive) -r(ead) -w(rite) \"value\" -a(ddr) \"address\" "
            "-b(aud) \"baudrate\" -s(erial) \" port name\" -h(elp)";
        const QString needsI =
            "Error: -i(nteractive) argument mandatory for no particularly good reason when "
            "running PROGRAM from the commandline.";
        auto row = [](const char* tag, const QString& arguments, const QString& faults, int status,
                      const QString& out, const QString& writes, const QString& after = {}) {
            QTest::newRow(tag) << arguments.split(' ', Qt::SkipEmptyParts) << faults << status
                               << out << writes << after;
        };
        row("-h", "-h", "", 0, usage, "none");
        row("-a without -i", "-a 71", "", 1, needsI, "none");
        // The option parser answers on standard error, also without a display.
        row("unknown option", "-x", "", 1, "!Unknown option 'x'.", "none");
        row("window without a display", "file.xml", "", 1, "!no display", "none");
        // Answered before the toolkit connects to the display: none needs to be there.
        row("-h, display unreachable", "DISPLAY=:4242 -h", "", 0, usage, "none");
        row("unknown option, display unreachable", "DISPLAY=:4242 -x", "", 1,
            "!Unknown option 'x'.", "none");
        row("toolkit's own option", "-platform offscreen -h", "", 0, usage, "none");
        // Preparation errors: one line, status 255 (main's -1), nothing sent.
        row("no address", "-i -r -s SIM", "", 255, "No address found", "none");
        row("address before the port", "-i -a 3000 -r -s /dev/nonesuch", "", 255,
            "Invalid address 3000", "none");
        row("address not a number", "-i -a 12x -r", "", 255, "Invalid address 12x", "none");
        row("address without parameter", "-i -a 600 -r -s SIM", "", 255, "Invalid address 600",
            "none");
        row("no port", "-i -a 71 -r", "", 255, "No serial port given", "none");
        row("unknown port", "-i -a 71 -r -s /dev/nonesuch", "", 255,
            "Could not find port /dev/nonesuch", "none");
        row("no command", "-i -a 71 -s SIM", "", 255, "Missing recognized command", "none");
        row("baud not a number", "-i -a 71 -r -b fast", "", 255,
            "Unable to interpret baud rate (\"fast\")", "none");
        row("baud not standard", "-i -a 71 -r -b 12345", "", 255,
            "Unable to set baud rate (to \"12345\")", "none");
        row("value not a number", "-i -a 71 -w abc -s SIM", "", 255,
            "Unable to interpret value (\"abc\")", "none");
        row("value not finite", "-i -a 71 -w nan -s SIM", "", 255,
            "Unable to interpret value (\"nan\")", "none");
        row("read-only register", "-i -a 256 -w 5 -s SIM", "", 255, "Address 256 is read-only",
            "none");
        // Reads print the value and write nothing.
        row("read two decimals", "-i -a 72 -r -s SIM", "72=1234", 0, "12.34", "");
        row("read from a silent controller", "-i -a 71 -r -s SIM", "mute", 255,
            "Fail with error: 'Communication timeout', last message: '*'", "");
        // A write is saved to flash and read back before success is printed.
        row("write", "-i -a 229 -w 33.3 -s SIM", "", 0, "Write success", "00e50001,01ff0001",
            "229=333 511=4096");
        row("write of an unsaved register", "-i -a 509 -w 7 -s SIM", "", 0, "Write success",
            "01fd0001", "509=7");
        // Converted with the controller's Max Phase Current (70 A), not the built-in 90 A.
        row("write converted by the controller's registers", "-i -a 154 -w 35 -s SIM", "", 0,
            "Write success", "009a0001,01ff0001", "154=2048");
        // A value beyond the limits would be put onto the limit: refused, nothing written.
        row("above the maximum", "-i -a 229 -w 200 -s SIM", "", 255,
            "Value \"200\" is outside the limits of address 229 (0 to 120)", "");
        row("limit from the controller's rating", "-i -a 154 -w 72 -s SIM", "", 255,
            "Value \"72\" is outside the limits of address 154 (1 to 71)", "");
        row("enum value not listed", "-i -a 4 -w 97 -s SIM", "", 255,
            "Value \"97\" is not one of the values of address 4 (12, 96, 192, 384, 576, 1152)", "");
        // A write not confirmed prints a failure line, never "Write success",
        // and for a register kept in flash what the controller holds.
        row("flash save not confirmed", "-i -a 229 -w 31 -s SIM", "flash", 1,
            "Fail with error: 'Save to Flash Fail', last message: 'The controller did not confirm "
            "the save to flash (register 511 reads 32767)'|"
                + valueNotInFlash,
            "*", "229=310");
        row("motor running", "-i -a 229 -w 31 -s SIM", "torque", 1,
            "Fail with error: 'Save Error', last message: 'The motor is currently running*'|"
                + valueNotInFlash,
            "*", "229=310");
        // The controller takes the save to flash; every answer at 511 is lost.
        row("flash save unanswered", "-i -a 229 -w 31 -s SIM", "lose@511:99", 1,
            "Fail with error: 'Save to Flash Fail', last message: '*'|" + flashSaveUnconfirmed, "*",
            "229=310");
        row("write unanswered", "-i -a 229 -w 31 -s SIM", "mute@229", 1,
            "Fail with error: 'Communication timeout', last message: '*'|" + writeUnanswered, "*");
        // A refusal is the controller's answer, named as such; nothing was
        // written.
        row("write refused", "-i -a 229 -w 31 -s SIM", "refuse@229", 1,
            "Fail with error: 'Refused by the controller', last message: 'ERROR: The controller "
            "refused the write of register 229: exception 2, illegal data address. Reply: 01 90 "
            "02 cd c1'",
            "*", "229=450");
        // Taken, to be carried out later: it may still land.
        row("write taken, not confirmed", "-i -a 229 -w 31 -s SIM", "refuse@229:5", 1,
            "Fail with error: 'Not confirmed by the controller', last message: 'ERROR: The "
            "controller took the write of register 229 but did not confirm it: exception 5, "
            "acknowledge. Reply: 01 90 05 8c 03'|The controller did not confirm the write: it may "
            "hold the value, not saved to its flash.",
            "00e50001");
        // Every answer came in time, spoiled: told as such, not as a time-out.
        row("write answered spoiled", "-i -a 229 -w 31 -s SIM", "spoil@229", 1,
            "Fail with error: 'Replies spoiled on the line', last message: 'Communication Error: "
            "- Replies spoiled on the line - Error code: 0'|The controller's answers to the write "
            "came spoiled: it may hold the value, not saved to its flash.",
            "00e50001,00e50001,00e50001,00e50001", "229=310");
        // Not saved, and the torque command refused: both named.
        row("torque read refused", "-i -a 229 -w 31 -s SIM", "flash refuse@477", 1,
            "Fail with error: 'Save to Flash Fail', last message: 'ERROR: The controller refused "
            "the read of register 477: exception 2, illegal data address. Reply: *'|"
                + valueNotInFlash,
            "*", "229=310");
        // A refused preparatory read is named as in the window, whatever the
        // code; the run ends there, as when the controller answers neither.
        const QStringList codes = {"",
                                   "exception 1, illegal function",
                                   "exception 2, illegal data address",
                                   "exception 3, illegal data value",
                                   "exception 4, slave device failure",
                                   "exception 5, acknowledge",
                                   "exception 6, slave device busy",
                                   "exception 7"};
        for (int code = 1; code < codes.size(); ++code) {
            const bool acknowledged = code == 5;
            QTest::addRow("preparatory read refused, exception %d", code)
                << QString("-i -a 71 -r -s SIM").split(' ') << QString("refuse@250:%1").arg(code)
                << 255
                << QString("Fail with error: '%1 by the controller', last message: 'ERROR: The "
                           "controller %2 the read of registers 250 to 374%3: %4. Reply: *'")
                       .arg(acknowledged ? "Not confirmed" : "Refused",
                            acknowledged ? "took" : "refused",
                            acknowledged ? " but did not confirm it" : "", codes.at(code))
                << "" << QString();
        }
        // From firmware 6000 on the read of all parameters reads the
        // hardware version beyond its blocks.
        row("identity read refused", "-i -a 71 -r -s SIM", "256=6100 refuse@1881", 255,
            "Fail with error: 'Refused by the controller', last message: 'ERROR: The controller "
            "refused the read of register 1881: exception 2, illegal data address. Reply: *'",
            "");
        row("read refused, exception 4", "-i -a 72 -r -s SIM", "refuse@72:4", 1,
            "Fail with error: 'Refused by the controller', last message: 'ERROR: The controller "
            "refused the read of register 72: exception 4, slave device failure. Reply: 01 83 04 "
            "40 f3'",
            "");
    }
    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, faults);
        QFETCH(QString, out);
        QFETCH(QString, writes);
        QVERIFY(simulator.loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
        simulator.resetFaults();
        simulator.setFlashSaveFails(false);
        simulator.setTorqueCommand(0);
        applyFaults(simulator, faults);
        simulator.clearLog();
        arguments.replaceInStrings("SIM", simulator.portName());

        QProcessEnvironment variables = environment(simulator.portName());
        if (arguments.value(0).startsWith("DISPLAY="))
            variables.insert("DISPLAY", arguments.takeFirst().section('=', 1));
        QProcess process;
        process.setProcessEnvironment(variables);
        process.setWorkingDirectory(QDir::tempPath());
        double printedAt = -1; // on the simulator's clock
        connect(&process, &QProcess::readyReadStandardOutput, [&] {
            if (printedAt < 0)
                printedAt = simulator.elapsedMs();
        });
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QTEST(process.exitCode(), "status");
        const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput())
                                    .split('\n', Qt::SkipEmptyParts)
                                    .join('|');
        out.replace("PROGRAM", program);
        if (out.contains('*'))
            QVERIFY2(matchesLines(printed, out), qPrintable(printed));
        else if (out.startsWith('!'))
            QVERIFY(printed.isEmpty()
                    && process.readAllStandardError().contains(out.mid(1).toUtf8()));
        else
            QCOMPARE(printed, out);

        // Fails end at once, not at the run's 5 s time limit: the result
        // follows the last request by far less, however busy the machine.
        const auto log = simulator.frameLog();
        for (auto entry = log.crbegin(); entry != log.crend(); ++entry) {
            if (entry->direction == ControllerSimulator::Request) {
                const double gap = printedAt - entry->elapsedMs;
                QVERIFY2(gap < 3000, qPrintable(QString::number(gap)));
                break;
            }
        }
        const QVector<QByteArray> requests = simulator.requests();
        QStringList heads;
        for (const QByteArray& frame : requests) {
            if (quint8(frame.at(1)) == 0x10)
                heads << frame.mid(2, 4).toHex();
        }
        if (writes == "none")
            QCOMPARE(requests.size(), 0);
        else if (writes != "*")
            QCOMPARE(heads.join(','), writes);
        if (writes.endsWith("01ff0001"))
            QVERIFY(requests.last().startsWith(QByteArray::fromHex("010301ff0001")));
        QFETCH(QString, after);
        QVERIFY2(valuesCheck(simulator, after).isEmpty(),
                 qPrintable(valuesCheck(simulator, after)));
    }

    // A rate given with -b whose replies outlast the stored 60 ms timeout:
    // the timeout is held to what a frame takes at that rate, every request
    // is answered at its first send, and a write ends with its flash save.
    // Against controllers whose replies take their time at 1200 bit/s, a
    // read and a write side by side.
    void slowRateHoldsTheTimeout()
    {
        ControllerSimulator reader;
        ControllerSimulator writer;
        QProcess read;
        QProcess write;
        const QList<QPair<ControllerSimulator*, QProcess*>> runs = {{&reader, &read},
                                                                    {&writer, &write}};
        const QList<QStringList> arguments = {{"-i", "-a", "71", "-r"},
                                              {"-i", "-a", "229", "-w", "30.5"}};
        for (int i = 0; i < runs.size(); ++i) {
            ControllerSimulator* sim = runs.at(i).first;
            QVERIFY(sim->start() && sim->loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
            sim->setLineRate(1200);
            runs.at(i).second->setProcessEnvironment(environment(sim->portName()));
            runs.at(i).second->start(
                program, arguments.at(i) + QStringList{"-b", "1200", "-s", sim->portName()});
        }
        for (const auto& run : runs)
            QVERIFY(run.second->waitForFinished(180000));
        QCOMPARE(QString::fromLocal8Bit(read.readAllStandardOutput()), QString("70\n"));
        QCOMPARE(read.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(write.readAllStandardOutput()), QString("Write success\n"));
        QCOMPARE(write.exitCode(), 0);
        QCOMPARE(int(writer.registerValue(229)), 305);
        // Two read-alls of five blocks each, then the read; or the write,
        // the flash save and its read-back.
        QCOMPARE(reader.requestCount(), 11);
        QCOMPARE(writer.requestCount(), 13);
    }

    // At a slow rate the preparatory reads, the write, the identity check
    // after a lost reply and the save to flash with its read-back take a
    // minute and more: the run waits for the link's outcome and tells it,
    // and never ends while a frame of its operation is still to come. Each
    // case against a controller of its own whose replies take their time as
    // on a line of the rate, the cases side by side.
    void slowRateWrites_data()
    {
        QTest::addColumn<int>("rate");
        QTest::newRow("1200 bit/s") << 1200;
        QTest::newRow("9600 bit/s") << 9600;
    }
    void slowRateWrites()
    {
        QFETCH(int, rate);
        struct Case
        {
            QString name;
            QString arguments;
            QString faults; // as in runs()
            // Another controller answers from the operation's first frame
            // (the read or the write) on: the register that tells it, and
            // its value.
            QPair<int, int> movedAtOperation;
            int status;
            QString out;      // as in runs()
            QString lastHead; // of the operation's last request: nothing may follow it
            int writes;       // of register 229
            QString after;
        };
        const QString write = "-a 229 -w 30.5";
        const QString flashReadBack = "0301ff0001";
        const QList<Case> cases = {
            {"clean", write, "", {}, 0, "Write success", flashReadBack, 1, "229=305 511=4096"},
            {"flash save not confirmed",
             write,
             "flash",
             {},
             1,
             "Fail with error: 'Save to Flash Fail', last message: 'The controller did not "
             "confirm the save to flash (register 511 reads 32767)'|"
                 + valueNotInFlash,
             "0301dd0001",
             1,
             "229=305"},
            // Carried out, its reply lost: the controller is identified, the
            // write sent again and saved to flash.
            {"write reply lost",
             write,
             "lose@229",
             {},
             0,
             "Write success",
             flashReadBack,
             2,
             "229=305 511=4096"},
            // The identity check finds another serial number: nothing more
            // is written.
            {"another controller answers",
             write,
             "lose@229",
             {238, 4242},
             1,
             "Fail with error: 'Another Controller', last message: 'A controller other than "
             "the one that was read answered: nothing was written to it'|"
                 + writeUnansweredByTheOneRead,
             "0300ed0014",
             1,
             ""},
            {"read reply lost", "-a 71 -r", "lose@71", {}, 0, "70", "0300470001", 0, ""},
            // Its value is not printed as the one read.
            {"another controller answers the read",
             "-a 71 -r",
             "lose@71",
             {238, 4242},
             1,
             "Fail with error: 'Another Controller', last message: 'A controller other than "
             "the one that was read answered: the read was not sent to it'",
             "0300ed0014",
             0,
             ""},
        };

        // Declared before the processes, whose handlers use them.
        QVector<double> printedAt(cases.size(), -1); // on each simulator's clock
        std::vector<std::unique_ptr<ControllerSimulator>> sims;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < cases.size(); ++i) {
            const Case& c = cases.at(i);
            sims.emplace_back(new ControllerSimulator);
            ControllerSimulator* sim = sims.back().get();
            QVERIFY(sim->start() && sim->loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
            sim->setLineRate(rate);
            applyFaults(*sim, c.faults);
            if (c.movedAtOperation.first > 0) {
                // Well before the identity check: the operation's wait and a
                // quiet line come first.
                const QByteArray head =
                    QString::asprintf("%02x%04x", c.arguments.contains("-w") ? 16 : 3,
                                      c.arguments.section(' ', 1, 1).toInt())
                        .toLatin1();
                connect(sim, &ControllerSimulator::requestReceived,
                        [sim, head, moved = c.movedAtOperation](const QByteArray& frame) {
                            if (frame.mid(1, 3).toHex() == head)
                                sim->setRegisterValue(moved.first, moved.second);
                        });
            }
            processes.emplace_back(new QProcess);
            QProcess* process = processes.back().get();
            process->setProcessEnvironment(environment(sim->portName()));
            connect(process, &QProcess::readyReadStandardOutput, [&printedAt, sim, i] {
                if (printedAt[i] < 0)
                    printedAt[i] = sim->elapsedMs();
            });
            process->start(program,
                           QStringList{"-i"} + c.arguments.split(' ')
                               + QStringList{"-b", QString::number(rate), "-s", sim->portName()});
        }
        const auto allFinished = [&processes] {
            return std::all_of(processes.cbegin(), processes.cend(), [](const auto& process) {
                return process->state() == QProcess::NotRunning;
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(allFinished(), 400000);

        for (int i = 0; i < cases.size(); ++i) {
            const Case& c = cases.at(i);
            const ControllerSimulator& sim = *sims.at(i);
            QProcess& process = *processes.at(i);
            const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput())
                                        .split('\n', Qt::SkipEmptyParts)
                                        .join('|');
            const QStringList heads = requestHeads(sim);
            const QString what = c.name + ": " + printed + " after " + heads.join(',');
            QVERIFY2(matchesLines(printed, c.out), qPrintable(what));
            QVERIFY2(process.exitCode() == c.status, qPrintable(what));
            QVERIFY2(valuesCheck(sim, c.after).isEmpty(),
                     qPrintable(c.name + ": " + valuesCheck(sim, c.after)));

            // The operation ran to its end before the run told it: its last
            // request was answered, and nothing was sent after it.
            QVERIFY2(!heads.isEmpty() && heads.last() == c.lastHead, qPrintable(what));
            int lost = 0;
            for (const auto& entry : sim.frameLog()) {
                if (entry.direction == ControllerSimulator::Request) {
                    QVERIFY2(entry.elapsedMs < printedAt.at(i), qPrintable(what));
                    lost += entry.note.contains("reply lost") ? 1 : 0;
                }
            }
            QVERIFY2(sim.replyCount() == sim.requestCount() - lost, qPrintable(what));

            // A write sent again only once the controller had been
            // identified as the one read.
            const QString writeHead = "1000e50001";
            QVERIFY2(heads.count(writeHead) == c.writes, qPrintable(what));
            if (c.writes > 1) {
                const int first = heads.indexOf(writeHead);
                QVERIFY2(
                    heads.mid(first, heads.lastIndexOf(writeHead) - first).contains("0300ed0014"),
                    qPrintable(what));
            }
        }
    }

    // The window makes a newly plugged-in port the current one; a
    // command-line write must still reach the port it was given.
    void portPluggedInDuringTheRunIsNotTaken()
    {
        QVERIFY(simulator.loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
        simulator.resetFaults();
        simulator.clearLog();
        ControllerSimulator other;
        QVERIFY(other.start() && other.loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
        QTemporaryDir linkDir;
        const QString lateLink = linkDir.filePath("late-port");
        QProcess process;
        process.setProcessEnvironment(environment(simulator.portName() + ':' + lateLink));
        process.start(program, {"-i", "-a", "229", "-w", "30.5", "-s", simulator.portName()});
        // After the port scan at start-up, while the run talks to its port.
        QTRY_VERIFY_WITH_TIMEOUT(simulator.requestCount() > 0, 10000);
        QVERIFY(QFile::link(other.portName(), lateLink));
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()),
                 QString("Write success\n"));
        QCOMPARE(int(simulator.registerValue(229)), 305);
        QCOMPARE(other.requestCount(), 0);
    }

    void anotherControllerDuringTheWrite_data()
    {
        QTest::addColumn<bool>("movedAtTheWrite"); // else at the save's read-back
        QTest::addColumn<QString>("note");         // the line after the failure
        QTest::newRow("the write lost") << true << writeUnansweredByTheOneRead;
        QTest::newRow("the save's read-back lost")
            << false
            << "The value was written to the controller that was read before the other one "
               "answered. It did not confirm the save to flash: it may or may not hold the value "
               "in flash.";
    }

    // The cable moves to another controller while a register kept in flash
    // is written: what the run says of the controller that was read is what
    // the frames show, as the window tells it.
    void anotherControllerDuringTheWrite()
    {
        QFETCH(bool, movedAtTheWrite);
        QFETCH(QString, note);
        ControllerSimulator a;
        ControllerSimulator b;
        for (ControllerSimulator* sim : {&a, &b})
            QVERIFY(sim->start() && sim->loadImage(KELVARA_SIM_IMAGES "/controller.xml"));
        b.setRegisterValue(238, 4242); // another serial number
        CableAdapter adapter;
        QVERIFY(adapter.start() && adapter.plugInto(&a));
        QVERIFY(adapter.moveOn(movedAtTheWrite ? CableAdapter::Trigger::writeTo(229)
                                               : CableAdapter::Trigger::readAt(511),
                               {CableAdapter::silence(300), &b}));
        QProcess process;
        process.setProcessEnvironment(environment(adapter.portName()));
        process.start(program, {"-i", "-a", "229", "-w", "30.5", "-s", adapter.portName()});
        QVERIFY(process.waitForFinished(300000));
        const QStringList printed =
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(printed.value(0).startsWith("Fail with error: 'Another Controller'"));
        QCOMPARE(printed.value(1), note);
        // Written only where the controller that was read answered the write.
        bool answered = false;
        const QVector<CableAdapter::LogEntry> log = adapter.frameLog();
        for (int i = 1; i < log.size(); ++i) {
            answered = answered
                || (log.at(i).event == CableAdapter::Reply && log.at(i).controller == &a
                    && log.at(i - 1).bytes.startsWith(QByteArray::fromHex("011000e5")));
        }
        QCOMPARE(answered, note.contains("written"));
        QVERIFY(b.registerValue(229) != 305);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
