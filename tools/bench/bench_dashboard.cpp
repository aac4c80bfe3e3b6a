// CPU and memory of the Dashboard's live polling and plotting, against the
// same window on another page.
//
//   kelvara-bench-dashboard [--seconds N] [--warmup N]
//
// Two copies of this program run side by side, each the suite's window
// connected to kelvara-sim in a process of its own (reply timeout 250 ms,
// the default). One shows the Dashboard with every plot chooser on an axis
// and graphing started; the other stays on Basic Setup. After a warm-up
// (120 s: the Dev Screen console, which the polls feed, fills to its line
// limit meanwhile) each measures its CPU time and heap over the period
// (600 s by default).
//
// Printed: both CPU figures in % of one core, the heap growth of both, that
// of the Dashboard also per plotted value kept, and the lines of each
// console (a console still filling grows the heap too). Exit status 1 when
// the Dashboard takes 3 % of a core or more, or its heap grows by more than
// the values kept account for.

#include "benchwindow.h"
#include "mainwindow.h"
#include "simulatorprocess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <qcustomplot.h>

#include <cstdio>
#include <malloc.h>

namespace {

const double cpuLimitPercent = 3.0;
// A kept value costs its plot point and its export cell, a few dozen bytes.
const double bytesPerValueLimit = 256.0;
const int chooserLeftAxis = 1;

struct Figures
{
    double cpuSeconds = 0;
    double wallSeconds = 0;
    qint64 heapGrowth = 0;
    qint64 valuesKept = 0;
    int consoleBefore = 0;
    int consoleAfter = 0;

    double cpuPercent() const { return wallSeconds > 0 ? 100.0 * cpuSeconds / wallSeconds : 0; }
};

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int consoleLines(MainWindow& window)
{
    return window.findChild<QPlainTextEdit*>("replyText")->blockCount();
}

qint64 plottedValues(MainWindow& window)
{
    qint64 count = 0;
    auto* plot = window.findChild<QCustomPlot*>("dashboardPlot");
    for (int i = 0; i < plot->graphCount(); ++i)
        count += plot->graph(i)->dataCount();
    return count;
}

// Every chooser on the left axis, then graphing started.
void plotEverything(MainWindow& window)
{
    auto* rows = window.findChild<QWidget*>("dashboardParameters");
    for (QComboBox* chooser : rows->findChildren<QComboBox*>())
        chooser->setCurrentIndex(chooserLeftAxis);
    window.findChild<QAbstractButton*>("dashboardStartStopButton")->click();
}

// One window with its simulator; prints its figures as one line.
int runWindow(bool dashboard, int warmupS, int seconds)
{
    // No settings file: the default reply timeout.
    QTemporaryDir scratch;
    SimulatorProcess sim;
    if (!QDir::setCurrent(scratch.path()) || !sim.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.errorString()));
        return 1;
    }
    const std::unique_ptr<MainWindow> window =
        startConnectedWindow(sim, dashboard ? QStringLiteral("dashboardScreen") : QString());
    if (!window) {
        std::fprintf(stderr, "the window did not connect to %s\n", qPrintable(sim.portPath()));
        return 1;
    }
    if (dashboard)
        plotEverything(*window);
    runFor(warmupS * 1000);

    Figures figures;
    const qint64 heap = heapInUse();
    const qint64 values = plottedValues(*window);
    figures.consoleBefore = consoleLines(*window);
    const double cpu = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    figures.cpuSeconds = processCpuSeconds() - cpu;
    figures.wallSeconds = wall.nsecsElapsed() / 1e9;
    figures.heapGrowth = heapInUse() - heap;
    figures.valuesKept = plottedValues(*window) - values;
    figures.consoleAfter = consoleLines(*window);
    std::printf("%f %f %lld %lld %d %d\n", figures.cpuSeconds, figures.wallSeconds,
                static_cast<long long>(figures.heapGrowth),
                static_cast<long long>(figures.valuesKept), figures.consoleBefore,
                figures.consoleAfter);
    return 0;
}

bool readFigures(QProcess& child, Figures* figures)
{
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || fields.size() != 6)
        return false;
    figures->cpuSeconds = fields.at(0).toDouble();
    figures->wallSeconds = fields.at(1).toDouble();
    figures->heapGrowth = fields.at(2).toLongLong();
    figures->valuesKept = fields.at(3).toLongLong();
    figures->consoleBefore = fields.at(4).toInt();
    figures->consoleAfter = fields.at(5).toInt();
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    prepareBenchApplication();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"seconds", "Measured period in seconds.", "n", "600"});
    parser.addOption({"warmup", "Seconds before the period.", "n", "120"});
    parser.addOption(
        {"window", "Internal: run one window, on the Dashboard or another page.", "page"});
    parser.process(app);
    bool ok = true;
    const int seconds = parser.value("seconds").toInt(&ok);
    const int warmup = ok ? parser.value("warmup").toInt(&ok) : 0;
    if (!ok || seconds < 1 || warmup < 0) {
        std::fprintf(stderr, "--seconds and --warmup take whole seconds\n");
        return 2;
    }
    if (parser.isSet("window"))
        return runWindow(parser.value("window") == QLatin1String("dashboard"), warmup, seconds);

    QProcess children[2];
    const char* const pages[2] = {"dashboard", "other"};
    for (int i = 0; i < 2; ++i) {
        children[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        children[i].start(QCoreApplication::applicationFilePath(),
                          {"--window", pages[i], "--seconds", QString::number(seconds), "--warmup",
                           QString::number(warmup)});
    }
    std::printf("Dashboard plotting every chooser row against Basic Setup, side by side: "
                "%d s warm-up, %d s measured\n",
                warmup, seconds);
    std::fflush(stdout);
    Figures figures[2];
    for (int i = 0; i < 2; ++i) {
        children[i].waitForFinished(-1);
        if (!readFigures(children[i], &figures[i])) {
            std::fprintf(stderr, "a window failed\n");
            return 1;
        }
    }

    const Figures& dashboard = figures[0];
    const Figures& other = figures[1];
    const double bytesPerValue =
        dashboard.valuesKept > 0 ? double(dashboard.heapGrowth) / dashboard.valuesKept : 0;
    std::printf("CPU: Dashboard %.2f %% of a core, Basic Setup %.2f %% (limit %.1f %%)\n",
                dashboard.cpuPercent(), other.cpuPercent(), cpuLimitPercent);
    std::printf("heap: Dashboard %+.1f KiB for %lld values kept (%.0f bytes each, limit %.0f), "
                "Basic Setup %+.1f KiB\n",
                dashboard.heapGrowth / 1024.0, static_cast<long long>(dashboard.valuesKept),
                bytesPerValue, bytesPerValueLimit, other.heapGrowth / 1024.0);
    std::printf(
        "Dev Screen console lines (limit 10000): Dashboard %d to %d, Basic Setup %d to %d\n",
        dashboard.consoleBefore, dashboard.consoleAfter, other.consoleBefore, other.consoleAfter);
    const bool within = dashboard.cpuPercent() < cpuLimitPercent && dashboard.valuesKept > 0
        && bytesPerValue <= bytesPerValueLimit;
    return within ? 0 : 1;
}
