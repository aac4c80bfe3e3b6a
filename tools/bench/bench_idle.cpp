// Idle CPU and memory of the connected window:
//   kelvara-bench-idle [seconds] [--dev-screen]
//
// The suite's window (built as the program builds it) is connected to
// kelvara-sim in a process of its own and shows the page it opens on, or
// with --dev-screen the Dev Screen and its console. Nothing is asked of it,
// so it only rescans the serial ports and checks the connection once a
// second; each check's reply goes into the console (42 lines), which keeps
// its last 10000 lines. Over the stated period (600 s by
// default) the program prints, for each tenth of it, the CPU time the
// window's process took (in % of one core) and its resident memory. The
// first tenth is the baseline: the last tenth's CPU and memory are printed
// as ratios to it. Goals: below 0.5 % of a core, flat (ratio near 1).

#include "benchwindow.h"
#include "mainwindow.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

const int slices = 10;

double residentMegabytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * sysconf(_SC_PAGESIZE) / (1024.0 * 1024.0);
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Slice
{
    double cpuPercent;
    double megabytes;
};

} // namespace

int main(int argc, char* argv[])
{
    const QString shownOn = prepareBenchApplication();
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool devScreen = arguments.removeAll("--dev-screen") > 0;
    bool counted = true;
    const int seconds = arguments.isEmpty() ? 600 : arguments.first().toInt(&counted);
    if (arguments.size() > 1 || !counted || seconds < slices) {
        std::fprintf(stderr, "usage: kelvara-bench-idle [seconds, at least %d] [--dev-screen]\n",
                     slices);
        return 2;
    }

    guardBench(seconds + 300);

    // The default reply timeout of 250 ms.
    ScratchWindow scratch;
    if (!scratch.start(devScreen ? "devScreen" : ""))
        return 1;

    std::printf("idle window (%s) on %s, connected to kelvara-sim, %d s in %d slices\n",
                qPrintable(shownOn), devScreen ? "the Dev Screen" : "its first page", seconds,
                slices);
    std::printf("slice  end (s)   CPU (%% of a core)   resident (MB)\n");
    QVector<Slice> measured;
    const int sliceMs = seconds * 1000 / slices;
    for (int slice = 1; slice <= slices; ++slice) {
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(sliceMs);
        const double cpu = 100.0 * (processCpuSeconds() - cpuBefore) / (wall.nsecsElapsed() / 1e9);
        measured.append({cpu, residentMegabytes()});
        std::printf("%5d  %7d   %17.2f   %13.1f\n", slice, slice * sliceMs / 1000, cpu,
                    measured.last().megabytes);
        std::fflush(stdout);
    }
    const Slice first = measured.first();
    const Slice last = measured.last();
    std::printf("last tenth against the first: CPU %.2f %% against %.2f %% (ratio %.2f), "
                "memory %.1f MB against %.1f MB (ratio %.3f)\n",
                last.cpuPercent, first.cpuPercent, last.cpuPercent / qMax(first.cpuPercent, 0.01),
                last.megabytes, first.megabytes, last.megabytes / first.megabytes);
    std::printf("goal: below 0.5 %% of a core, flat\n");
    return 0;
}
