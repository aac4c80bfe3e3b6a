// Read-all on the wire: kelvara-bench-wire [rounds]
//
// An independent slave, kelvara-sim in a process of its own with its log on,
// stamps every request as it arrives. One read-all on the wire runs from the
// first request of its first block to that of the next read-all; its floor
// is five frames of the 250 ms reply timeout, as every exchange lasts its
// full timeout. Measured in turn, [rounds] times (6), so that the load of
// the machine weighs on all alike:
//
//   minimal master  two read-alls of the smallest master with the same
//                   timing (the machine's own share over the floor)
//   link alone      two read-alls queued on the link in this process
//   window          the suite's window (built as the program builds it)
//                   showing the Dev Screen, whose console takes a line per
//                   register: "Read All" clicked, two read-alls; between its
//                   turns the window is on the port list's empty entry
//   command line    kelvara-suite -i -a 71 -r from a scratch copy: its two
//                   read-alls and the read that follows them
//
// Prints the median read-all of each, its ratio to the floor and to the
// minimal master. Goal for the window and the command line: at most 1.01 x
// the floor on a quiet machine, 1.02 x on a busy one.

#include "benchwindow.h"
#include "commtimer.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "mainwindow.h"
#include "minimalmaster.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const int blockCount = 5;
const int firstBlockSize = 125;
const int commandLineAddress = 71;
const int timeLimitMs = 60000;
const int benchTimeLimitSeconds = 1800;

struct Figure
{
    const char* name;
    QVector<double> spans;
    bool failed = false;
};

QVector<double> measureMinimalMaster(SimulatorProcess& sim)
{
    MinimalMaster master(sim.portPath());
    const int from = sim.requests().size();
    // The second read-all's first request ends the first's span.
    if (!master.readAll() || !master.readAll() || !master.readAll())
        return {};
    return spansBetween(sim.readStamps(0, firstBlockSize, from)).mid(0, 2);
}

QVector<double> measureLinkAlone(SimulatorProcess& sim)
{
    Kelvara model;
    KelvaraCom link(&model);
    link.setCurrentPortName(sim.portPath());
    const int from = sim.requests().size();
    int completed = 0;
    QObject::connect(&link, &KelvaraCom::readAllComplete, [&] { ++completed; });
    for (int i = 0; i < 3; ++i)
        link.readAll();
    if (!waitUntil([&] { return completed == 3; }, timeLimitMs))
        return {};
    return spansBetween(sim.readStamps(0, firstBlockSize, from)).mid(0, 2);
}

// Connects the window again (its two read-alls), clicks "Read All" and
// leaves the port.
QVector<double> measureWindow(MainWindow& window, SimulatorProcess& sim)
{
    auto* portBox = window.findChild<QComboBox*>("portBox");
    int completed = 0;
    const auto counter =
        QObject::connect(window.link(), &KelvaraCom::readAllComplete, [&] { ++completed; });
    portBox->setCurrentIndex(portBox->findText(sim.portPath()));
    QVector<double> spans;
    // A connection check may come between two clicks, never inside one.
    const bool connected = waitUntil([&] { return completed >= 2; }, timeLimitMs)
        && waitUntil([&] { return window.link()->getMode() == KelvaraCom::IdleMode; }, timeLimitMs);
    if (connected) {
        const int from = sim.requests().size();
        completed = 0;
        window.findChild<QPushButton*>("readAllDev")->click();
        if (waitUntil([&] { return completed == 2; }, timeLimitMs))
            spans = spansBetween(sim.readStamps(0, firstBlockSize, from));
    }
    QObject::disconnect(counter);
    portBox->setCurrentIndex(portBox->findText(QString()));
    return spans;
}

QVector<double> measureCommandLine(SimulatorProcess& sim, const QString& program)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("KELVARA_EXTRA_PORTS", sim.portPath());
    const int from = sim.requests().size();
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program,
                  {"-i", "-a", QString::number(commandLineAddress), "-r", "-s", sim.portPath()});
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeLimitMs)
        || process.exitCode() != 0)
        return {};
    QVector<double> stamps = sim.readStamps(0, firstBlockSize, from);
    const QVector<double> reads = sim.readStamps(commandLineAddress, 1, from);
    if (stamps.size() != 2 || reads.size() != 1)
        return {};
    stamps.append(reads.first());
    return spansBetween(stamps);
}

void add(Figure& figure, const QVector<double>& spans)
{
    figure.failed = figure.failed || spans.isEmpty();
    figure.spans += spans;
}

} // namespace

int main(int argc, char* argv[])
{
    prepareBenchApplication();
    QApplication app(argc, argv);
    bool counted = true;
    const int rounds = argc > 1 ? QString(argv[1]).toInt(&counted) : 6;
    if (argc > 2 || !counted || rounds < 1) {
        std::fprintf(stderr, "usage: kelvara-bench-wire [rounds]\n");
        return 2;
    }
    guardBench(benchTimeLimitSeconds);

    // No settings file: the default reply timeout of 250 ms.
    QTemporaryDir scratch;
    const QString program = scratch.filePath("kelvara-suite");
    if (!QFile::copy(QCoreApplication::applicationDirPath() + "/kelvara-suite", program)
        || !QDir::setCurrent(scratch.path())) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(program));
        return 1;
    }
    SimulatorProcess sim;
    if (!sim.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.errorString()));
        return 1;
    }
    const std::unique_ptr<MainWindow> window = startConnectedWindow(sim, "devScreen");
    if (!window) {
        std::fprintf(stderr, "the window did not connect to %s\n", qPrintable(sim.portPath()));
        return 1;
    }
    auto* portBox = window->findChild<QComboBox*>("portBox");
    portBox->setCurrentIndex(portBox->findText(QString()));

    const double floorMs = blockCount * CommTimer().getTimeoutTime();
    std::printf("read-all on the wire, stamped by kelvara-sim (pid %lld); floor %d x %.0f ms = "
                "%.0f ms; %d rounds\n",
                sim.processId(), blockCount, floorMs / blockCount, floorMs, rounds);
    std::fflush(stdout);
    Figure figures[] = {{"minimal master", {}},
                        {"link alone", {}},
                        {"window, Dev Screen", {}},
                        {"command line", {}}};
    for (int round = 0; round < rounds; ++round) {
        add(figures[0], measureMinimalMaster(sim));
        add(figures[1], measureLinkAlone(sim));
        add(figures[2], measureWindow(*window, sim));
        add(figures[3], measureCommandLine(sim, program));
    }

    const double baseline = median(figures[0].spans);
    bool complete = true;
    for (const Figure& figure : figures) {
        if (figure.failed) {
            std::printf("%-20s failed\n", figure.name);
            complete = false;
            continue;
        }
        const double span = median(figure.spans);
        std::printf(
            "%-20s %2d read-alls, median %7.1f ms: %.4f x the floor, %.4f x the minimal master\n",
            figure.name, figure.spans.size(), span, span / floorMs, span / baseline);
    }
    std::printf("goal: window and command line at most 1.01 x the floor (1.02 x on a busy "
                "machine)\n");
    return complete ? 0 : 1;
}
