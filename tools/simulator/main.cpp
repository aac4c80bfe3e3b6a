// kelvara-sim: a simulated controller on a pseudo-terminal, or several
// behind one adapter whose cable moves on commands from standard input,
// served until SIGINT or SIGTERM.

#include "cableadapter.h"
#include "cableconsole.h"
#include "controllersimulator.h"
#include "registerimage.h"
#include "replynoise.h"
#include "simmodbus.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <limits>
#include <memory>
#include <vector>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Signals arrive on a pipe so that the event loop ends in an orderly way
// and the link and the terminal are cleaned up.
bool quitOnSignals(QCoreApplication* app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A log piped into a reader that quits must not kill the simulator.
    ::signal(SIGPIPE, SIG_IGN);
    return ::sigaction(SIGINT, &action, nullptr) == 0
        && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

int intOption(const QCommandLineParser& parser, const QString& name, int min, int max, bool* ok)
{
    bool number = false;
    const int value = parser.value(name).toInt(&number);
    if (!number || value < min || value > max) {
        QTextStream(stderr) << "kelvara-sim: --" << name << " needs a whole number from " << min
                            << " to " << max << ", not \"" << parser.value(name) << "\"\n";
        *ok = false;
    }
    return value;
}

bool makeLink(const QString& linkPath, const QString& target)
{
    const QFileInfo existing(linkPath);
    if (existing.isSymLink()) {
        QFile::remove(linkPath); // left over from an earlier run
    } else if (existing.exists()) {
        QTextStream(stderr) << "kelvara-sim: " << linkPath
                            << " exists and is not a link; not replacing it\n";
        return false;
    }
    if (!QFile::link(target, linkPath)) {
        QTextStream(stderr) << "kelvara-sim: cannot create the link " << linkPath << "\n";
        return false;
    }
    return true;
}

double doubleOption(const QCommandLineParser& parser, const QString& name, double max, bool* ok)
{
    bool number = false;
    const double value = parser.value(name).toDouble(&number);
    if (!number || !(value >= 0.0 && value <= max)) {
        QTextStream(stderr) << "kelvara-sim: --" << name << " needs a number from 0 to " << max
                            << ", not \"" << parser.value(name) << "\"\n";
        *ok = false;
    }
    return value;
}

// Eight sectors (0 to 5, or 15 for a state never seen), e.g. "15,2,4,3,0,1,5,15".
bool parseHallTable(const QString& text, QVector<int>* table)
{
    const QStringList items = text.split(QLatin1Char(','));
    if (items.size() != 8)
        return false;
    table->clear();
    for (const QString& item : items) {
        bool number = false;
        const int sector = item.trimmed().toInt(&number);
        if (!number || sector < 0 || sector > 15)
            return false;
        table->append(sector);
    }
    return true;
}

bool applyMotorOptions(const QCommandLineParser& parser, ControllerSimulator* simulator)
{
    MotorBehaviour motor = simulator->motorBehaviour();
    bool ok = true;
    auto isSet = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    if (isSet("static-ms"))
        motor.staticMs = intOption(parser, QStringLiteral("static-ms"), 0, 600000, &ok);
    if (isSet("spin-ms"))
        motor.spinMs = intOption(parser, QStringLiteral("spin-ms"), 0, 600000, &ok);
    if (isSet("motor-rs"))
        motor.rsMilliOhm = doubleOption(parser, QStringLiteral("motor-rs"), 600.0, &ok);
    if (isSet("motor-ls"))
        motor.lsMicroHenry = doubleOption(parser, QStringLiteral("motor-ls"), 6000.0, &ok);
    if (isSet("motor-kv"))
        motor.kv = doubleOption(parser, QStringLiteral("motor-kv"), 600.0, &ok);
    if (isSet("hall-offset"))
        motor.hallOffsetDegrees = doubleOption(parser, QStringLiteral("hall-offset"), 719.9, &ok);
    if (isSet("spin-fault"))
        motor.spinFaults = intOption(parser, QStringLiteral("spin-fault"), 0, 65535, &ok);
    if (isSet("hall-table")
        && !parseHallTable(parser.value(QStringLiteral("hall-table")), &motor.hallTable)) {
        QTextStream(stderr)
            << "kelvara-sim: --hall-table needs eight sectors 0 to 15 separated by commas\n";
        ok = false;
    }
    const QStringList phases = {QStringLiteral("blue"), QStringLiteral("yellow"),
                                QStringLiteral("green")};
    for (const QString& phase : parser.values(QStringLiteral("dead-phase"))) {
        const int index = int(phases.indexOf(phase.toLower()));
        if (index < 0) {
            QTextStream(stderr) << "kelvara-sim: --dead-phase takes blue, yellow or green, not \""
                                << phase << "\"\n";
            ok = false;
        } else {
            motor.deadPhases |= 1 << index;
        }
    }
    motor.connected = !isSet("no-motor");
    motor.inconsistent = isSet("inconsistent");
    motor.stall = isSet("stall");
    motor.discoveryStuck = isSet("discovery-stuck");
    motor.stickyFaults = isSet("sticky-faults");
    simulator->setMotorBehaviour(motor);
    return ok;
}

void printEntry(const ControllerSimulator::LogEntry& entry)
{
    static const char* const arrows[] = {"->", "<-", "xx"};
    QTextStream(stdout) << SimModbus::logLine(
        entry.elapsedMs, QLatin1String(arrows[entry.direction]), entry.bytes, entry.note)
                        << Qt::endl;
}

// Every option of the simulator, with its help text.
void describeOptions(QCommandLineParser* parser)
{
    parser->setApplicationDescription(QStringLiteral(
        "Simulated Kelvara controller: a Modbus RTU slave (address 1) on a pseudo-terminal.\n"
        "Prints the path to connect to and serves until interrupted.\n"
        "Registers start as a configured controller (an Ostrel V4 Trelby), or all zero with --blank.\n"
        "With --controller, several controllers behind one USB adapter whose cable moves on\n"
        "commands from standard input: move N [after MS] [on TRIGGER] [reaching old|reaching new],\n"
        "unplug [on TRIGGER], where; TRIGGER: next frame, next read, next write, frame K,\n"
        "read at ADDR, write to ADDR, touching ADDR."));
    parser->addHelpOption();
    parser->addOptions({
        {QStringLiteral("image"),
         QStringLiteral("Load register values from FILE (parameter XML file, "
                        "or \"address value\" lines)."),
         QStringLiteral("FILE")},
        {QStringLiteral("blank"), QStringLiteral("Start from all registers zero.")},
        {QStringLiteral("set"), QStringLiteral("Set register ADDR to VALUE (repeatable)."),
         QStringLiteral("ADDR=VALUE")},
        {QStringLiteral("link"),
         QStringLiteral("Create a symbolic link PATH to the terminal; removed on exit."),
         QStringLiteral("PATH")},
        {QStringLiteral("controller"),
         QStringLiteral("A controller behind the adapter (repeatable; the cable starts on the "
                        "first): the other options, then REGISTERS, a register FILE or "
                        "ADDR=VALUE,ADDR=VALUE..."),
         QStringLiteral("REGISTERS")},
        {QStringLiteral("log"), QStringLiteral("Print every frame with its time.")},
        {QStringLiteral("flash-fail"),
         QStringLiteral("Never confirm a save to flash (register 511).")},
        {QStringLiteral("torque"),
         QStringLiteral("Set the torque command (register 477): motor running."),
         QStringLiteral("VALUE")},
        {QStringLiteral("silent"), QStringLiteral("Answer nothing.")},
        {QStringLiteral("delay"), QStringLiteral("Delay every reply by MS milliseconds."),
         QStringLiteral("MS")},
        {QStringLiteral("corrupt-crc"), QStringLiteral("Spoil the CRC of the first N replies."),
         QStringLiteral("N")},
        {QStringLiteral("noise"),
         QStringLiteral("Spoil PERCENT of the replies at random, each one way of three: a "
                        "byte changed, the reply lost or a byte lost; which ways, --noise-kind "
                        "says (by default the three evenly)."),
         QStringLiteral("PERCENT")},
        {QStringLiteral("noise-kind"),
         QStringLiteral("How --noise spoils a reply: mixed (the three ways, evenly; the "
                        "default), silence (the reply lost) or short (a byte lost)."),
         QStringLiteral("KIND")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of --noise (1): the same seed spoils the same replies; controller "
                        "N behind the adapter takes N - 1 more."),
         QStringLiteral("N")},
        {QStringLiteral("static-ms"),
         QStringLiteral("A stationary measurement (481 := 1) lasts MS (1500)."),
         QStringLiteral("MS")},
        {QStringLiteral("spin-ms"),
         QStringLiteral("The spinning test (481 := 2) lasts MS (15000)."), QStringLiteral("MS")},
        {QStringLiteral("motor-rs"),
         QStringLiteral("Winding resistance the motor measures (62.4 mOhm)."),
         QStringLiteral("MOHM")},
        {QStringLiteral("motor-ls"),
         QStringLiteral("Winding inductance the motor measures (184 uH)."), QStringLiteral("UH")},
        {QStringLiteral("motor-kv"),
         QStringLiteral("Speed constant the spin learns (11.35 RPM/V)."), QStringLiteral("RPMV")},
        {QStringLiteral("hall-offset"),
         QStringLiteral("Hall offset the spin learns (300.5 degrees)."), QStringLiteral("DEG")},
        {QStringLiteral("hall-table"),
         QStringLiteral("Sector of hall states 0..7, 15 for unseen "
                        "(15,2,4,3,0,1,5,15)."),
         QStringLiteral("LIST")},
        {QStringLiteral("no-motor"),
         QStringLiteral("No motor on the phases: no current, nothing measured or learnt.")},
        {QStringLiteral("inconsistent"),
         QStringLiteral("Every second measurement reads 20 % high.")},
        {QStringLiteral("stall"), QStringLiteral("The motor never turns during the spin.")},
        {QStringLiteral("dead-phase"),
         QStringLiteral("No current on PHASE (blue, yellow, green; repeatable)."),
         QStringLiteral("PHASE")},
        {QStringLiteral("spin-fault"),
         QStringLiteral("Raise these bits of register 258 when the spin ends."),
         QStringLiteral("BITS")},
        {QStringLiteral("discovery-stuck"), QStringLiteral("Register 481 never returns to 0.")},
        {QStringLiteral("sticky-faults"),
         QStringLiteral("A fault clear (508 := 1) leaves the faults.")},
    });
}

// The registers to start from: a whole controller (identity and status
// registers included) unless --blank, then --image and every --set; 0, or
// the exit code after an error line.
int loadRegisters(const QCommandLineParser& parser, ControllerSimulator* simulator)
{
    if (!parser.isSet(QStringLiteral("blank"))
        && !simulator->loadImage(QStringLiteral(":/simulator/controller.xml")))
        QTextStream(stderr) << "kelvara-sim: warning: " << simulator->errorString() << "\n";
    if (parser.isSet(QStringLiteral("image"))
        && !simulator->loadImage(parser.value(QStringLiteral("image")))) {
        QTextStream(stderr) << "kelvara-sim: " << simulator->errorString() << "\n";
        return 1;
    }
    for (const QString& assignment : parser.values(QStringLiteral("set"))) {
        int address = 0;
        quint16 value = 0;
        QString error;
        if (!RegisterImage::parseAssignment(assignment, &address, &value, &error)) {
            QTextStream(stderr) << "kelvara-sim: --set " << error << "\n";
            return 2;
        }
        simulator->setRegisterValue(address, value);
    }
    return 0;
}

// --noise and its --seed, the seed moved on by seedOffset; false after an
// error line.
bool applyNoiseOptions(const QCommandLineParser& parser, ControllerSimulator* simulator,
                       int seedOffset)
{
    bool ok = true;
    if (!parser.isSet(QStringLiteral("noise"))) {
        if (parser.isSet(QStringLiteral("seed"))) {
            QTextStream(stderr) << "kelvara-sim: --seed is the seed of --noise, which is not set\n";
            ok = false;
        }
        if (parser.isSet(QStringLiteral("noise-kind"))) {
            QTextStream(stderr) << "kelvara-sim: --noise-kind is the kind of --noise, which is "
                                   "not set\n";
            ok = false;
        }
        return ok;
    }
    ReplyNoise::Kind kind = ReplyNoise::Mixed;
    if (parser.isSet(QStringLiteral("noise-kind"))
        && !ReplyNoise::kindFromName(parser.value(QStringLiteral("noise-kind")), &kind)) {
        QTextStream(stderr) << "kelvara-sim: --noise-kind takes mixed, silence or short\n";
        ok = false;
    }
    const double percent = doubleOption(parser, QStringLiteral("noise"), 100.0, &ok);
    int seed = 1;
    if (parser.isSet(QStringLiteral("seed")))
        seed = intOption(parser, QStringLiteral("seed"), 0, std::numeric_limits<int>::max(), &ok);
    if (ok)
        simulator->setNoise(percent, quint32(seed) + quint32(seedOffset), kind);
    return ok;
}

// --torque, --delay and --corrupt-crc; false after an error line.
bool applyReplyOptions(const QCommandLineParser& parser, ControllerSimulator* simulator)
{
    bool ok = true;
    if (parser.isSet(QStringLiteral("torque"))) {
        quint16 torque = 0;
        if (RegisterImage::parseValue(parser.value(QStringLiteral("torque")), &torque)) {
            simulator->setTorqueCommand(torque);
        } else {
            QTextStream(stderr)
                << "kelvara-sim: --torque needs a whole number from -32768 to 65535\n";
            ok = false;
        }
    }
    if (parser.isSet(QStringLiteral("delay")))
        simulator->setReplyDelay(intOption(parser, QStringLiteral("delay"), 0, 60000, &ok));
    if (parser.isSet(QStringLiteral("corrupt-crc")))
        simulator->corruptCrc(intOption(parser, QStringLiteral("corrupt-crc"), 0, 1000000, &ok));
    return ok;
}

// The terminal (and the --link to it) announced and served until SIGINT or
// SIGTERM; the exit code.
int serveOn(QCoreApplication* app, const QString& terminal, const QString& linkPath,
            const QString& what)
{
    if (!linkPath.isEmpty() && !makeLink(linkPath, terminal))
        return 1;
    QTextStream(stdout) << (linkPath.isEmpty() ? terminal : linkPath) << Qt::endl;
    QTextStream(stderr) << "kelvara-sim: " << what << " on " << terminal
                        << (linkPath.isEmpty() ? QString()
                                               : QStringLiteral(" (linked as %1)").arg(linkPath))
                        << "; stop with Ctrl+C\n";

    const int result = app->exec();

    // Only our own link goes; another run may have taken the name over.
    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == terminal)
        QFile::remove(linkPath);
    return result;
}

// Every option that shapes a controller applied to it, its registers (a register
// file or ADDR=VALUE,...) last; 0, or the exit code after an error line.
// Controllers behind the adapter are numbered from 0 here.
int setUp(const QCommandLineParser& parser, ControllerSimulator* simulator,
          const QString& registers = QString(), int controllerIndex = 0)
{
    if (const int failure = loadRegisters(parser, simulator))
        return failure;
    // Every bad value is told before the exit.
    bool ok = applyReplyOptions(parser, simulator);
    if (!applyNoiseOptions(parser, simulator, controllerIndex))
        ok = false;
    if (!applyMotorOptions(parser, simulator))
        ok = false;
    if (!ok)
        return 2;
    simulator->setFlashSaveFails(parser.isSet(QStringLiteral("flash-fail")));
    simulator->setSilent(parser.isSet(QStringLiteral("silent")));
    if (registers.isEmpty())
        return 0;
    if (!QFileInfo::exists(registers) && registers.contains(QLatin1Char('='))) {
        for (const QString& assignment : registers.split(QLatin1Char(','))) {
            int address = 0;
            quint16 value = 0;
            QString error;
            if (!RegisterImage::parseAssignment(assignment.trimmed(), &address, &value, &error)) {
                QTextStream(stderr) << "kelvara-sim: --controller " << error << "\n";
                return 2;
            }
            simulator->setRegisterValue(address, value);
        }
    } else if (!simulator->loadImage(registers)) {
        QTextStream(stderr) << "kelvara-sim: --controller: " << simulator->errorString() << "\n";
        return 1;
    }
    return 0;
}

int serveOne(QCoreApplication* app, const QCommandLineParser& parser)
{
    ControllerSimulator simulator;
    if (const int failure = setUp(parser, &simulator))
        return failure;
    if (!simulator.start()) {
        QTextStream(stderr) << "kelvara-sim: " << simulator.errorString() << "\n";
        return 1;
    }
    if (parser.isSet(QStringLiteral("log")))
        QObject::connect(&simulator, &ControllerSimulator::frameLogged, &printEntry);
    return serveOn(app, simulator.portName(), parser.value(QStringLiteral("link")),
                   QStringLiteral("slave 1"));
}

// The controllers of --controller behind one adapter, the cable on the
// first, moved by commands from standard input.
int serveBehindAdapter(QCoreApplication* app, const QCommandLineParser& parser)
{
    const QStringList controllerRegisters = parser.values(QStringLiteral("controller"));
    std::vector<std::unique_ptr<ControllerSimulator>> simulators;
    QVector<ControllerSimulator*> controllers;
    for (const QString& registers : controllerRegisters) {
        simulators.push_back(std::make_unique<ControllerSimulator>());
        controllers << simulators.back().get();
        if (const int failure =
                setUp(parser, controllers.back(), registers, int(controllers.size()) - 1))
            return failure;
        if (!controllers.back()->start()) {
            QTextStream(stderr) << "kelvara-sim: " << controllers.back()->errorString() << "\n";
            return 1;
        }
    }
    CableAdapter adapter;
    if (!adapter.start() || !adapter.plugInto(controllers.first())) {
        QTextStream(stderr) << "kelvara-sim: " << adapter.errorString() << "\n";
        return 1;
    }
    // From here on: the path goes first on the output.
    CableConsole console(&adapter, controllers);
    console.setLogging(parser.isSet(QStringLiteral("log")));
    console.readCommandsFrom(STDIN_FILENO);
    return serveOn(app, adapter.portName(), parser.value(QStringLiteral("link")),
                   QStringLiteral("adapter (controllers 1 to %1 behind it, the cable on 1, "
                                  "moved by commands on standard input)")
                       .arg(controllers.size()));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvara-sim"));

    QCommandLineParser parser;
    describeOptions(&parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "kelvara-sim: unexpected argument \""
                            << parser.positionalArguments().first() << "\"; see --help\n";
        return 2;
    }

    if (!quitOnSignals(&app)) {
        QTextStream(stderr) << "kelvara-sim: cannot install the signal handlers\n";
        return 1;
    }
    return parser.isSet(QStringLiteral("controller")) ? serveBehindAdapter(&app, parser)
                                                      : serveOne(&app, parser);
}
