// Read-all on the wire: kelvara-bench-wire [clicks]
//
// An independent slave, kelvara-sim in a process of its own with its log on,
// stamps every request as it arrives. One read-all on the wire runs from the
// first request of its first block to that of the next read-all; its floor
// is five frames of the 250 ms reply timeout, as every exchange lasts its
// full timeout. Measured side by side in one run:
//
//   link alone    four read-alls queued on the link in this process, no window
//   window        the suite's window (built as the program builds it) showing
//                 the Dev Screen, whose console takes a line per register;
//                 "Read All" clicked [clicks] times (10), two read-alls each
//   command line  kelvara-suite -i -a 71 -r, three runs of a scratch copy:
//                 its two read-alls and the read that follows them
//
// Prints the median read-all of each, its ratio to the floor and to the link
// alone. The goal for the window and the command line is at most 1.02 x the
// floor.

#include "benchwindow.h"
#include "commtimer.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "mainwindow.h"
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

struct Figure
{
    const char* name;
    QVector<double> spans;
};

QVector<double> measureLinkAlone(SimulatorProcess& sim)
{
    Kelvara model;
    KelvaraCom link(&model);
    link.setCurrentPortName(sim.portPath());
    const int from = sim.requests().size();
    int completed = 0;
    QObject::connect(&link, &KelvaraCom::readAllComplete, [&] { ++completed; });
    for (int i = 0; i < 4; ++i)
        link.readAll();
    if (!waitUntil([&] { return completed == 4; }, timeLimitMs))
        return {};
    return spansBetween(sim.readStamps(0, firstBlockSize, from));
}

QVector<double> measureWindow(SimulatorProcess& sim, int clicks)
{
    const std::unique_ptr<MainWindow> window = startConnectedWindow(sim, "devScreen");
    if (!window)
        return {};
    int completed = 0;
    QObject::connect(window->link(), &KelvaraCom::readAllComplete, [&] { ++completed; });
    QVector<double> spans;
    auto* readAll = window->findChild<QPushButton*>("readAllDev");
    for (int click = 0; click < clicks; ++click) {
        // A connection check may come between two clicks, never inside one.
        if (!waitUntil([&] { return window->link()->getMode() == KelvaraCom::IdleMode; },
                       timeLimitMs))
            return {};
        const int from = sim.requests().size();
        completed = 0;
        readAll->click();
        if (!waitUntil([&] { return completed == 2; }, timeLimitMs))
            return {};
        spans += spansBetween(sim.readStamps(0, firstBlockSize, from).mid(0, 2));
    }
    // The port is left before the window goes, so no check of it lingers.
    auto* portBox = window->findChild<QComboBox*>("portBox");
    portBox->setCurrentIndex(portBox->findText(QString()));
    return spans;
}

QVector<double> measureCommandLine(SimulatorProcess& sim, const QString& program, int runs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    environment.insert("KELVARA_EXTRA_PORTS", sim.portPath());
    QVector<double> spans;
    for (int run = 0; run < runs; ++run) {
        const int from = sim.requests().size();
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(
            program, {"-i", "-a", QString::number(commandLineAddress), "-r", "-s", sim.portPath()});
        if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeLimitMs)
            || process.exitCode() != 0)
            return {};
        QVector<double> stamps = sim.readStamps(0, firstBlockSize, from);
        const QVector<double> reads = sim.readStamps(commandLineAddress, 1, from);
        if (stamps.size() != 2 || reads.size() != 1)
            return {};
        stamps.append(reads.first());
        spans += spansBetween(stamps);
    }
    return spans;
}

} // namespace

int main(int argc, char* argv[])
{
    prepareBenchApplication();
    QApplication app(argc, argv);
    bool counted = true;
    const int clicks = argc > 1 ? QString(argv[1]).toInt(&counted) : 10;
    if (argc > 2 || !counted || clicks < 1) {
        std::fprintf(stderr, "usage: kelvara-bench-wire [clicks]\n");
        return 2;
    }

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

    const double floorMs = blockCount * CommTimer().getTimeoutTime();
    std::printf(
        "read-all on the wire, stamped by kelvara-sim (pid %lld); floor %d x %.0f ms = %.0f ms\n",
        sim.processId(), blockCount, floorMs / blockCount, floorMs);

    const Figure figures[] = {
        {"link alone", measureLinkAlone(sim)},
        {"window, Dev Screen", measureWindow(sim, clicks)},
        {"command line", measureCommandLine(sim, program, 3)},
    };
    const double baseline = median(figures[0].spans);
    bool complete = true;
    for (const Figure& figure : figures) {
        if (figure.spans.isEmpty()) {
            std::printf("%-20s failed\n", figure.name);
            complete = false;
            continue;
        }
        const double span = median(figure.spans);
        std::printf(
            "%-20s %2d read-alls, median %7.1f ms: %.4f x the floor, %.4f x the link alone\n",
            figure.name, figure.spans.size(), span, span / floorMs, span / baseline);
    }
    std::printf("goal: window and command line at most 1.02 x the floor\n");
    return complete ? 0 : 1;
}
