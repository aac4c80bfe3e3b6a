// The cost of one Dashboard plot sample after a day of graphing, against a
// fresh plot:
//
//   kelvara-bench-dashboard [--hours H] [--marks M] [--rounds N] [--samples N]
//
// Two copies of the suite's window, built and shown as the program shows
// them and each connected to kelvara-sim in a process of its own, are on
// the Dashboard plotting its three values of the start (battery voltage and
// current, motor RPM) with graphing started. One is first given H hours
// (24) of samples at the 350 ms rate, with values that swing slowly and
// jitter as widely at every sample, and graphing paused and resumed M times
// (300) evenly over them, each pause leaving its interruption mark; the other
// is fresh ("Reset Graph" before each of its turns). Then, in turn for N
// rounds (10), each takes N samples (20): the values change, and one sample
// is timed from its start to the end of the plot's repaint.
//
// Printed: the median time a sample in each window and their ratio (goal: at
// most 2; exit status 1 above), the share of a core the day's plot takes at
// the 350 ms rate, and the heap the day's samples took per value kept.

#include "benchwindow.h"
#include "dashboardplot.h"
#include "kelvara.h"
#include "mainwindow.h"
#include "parameter.h"
#include "simulatorprocess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <malloc.h>
#include <memory>

namespace {

const double goalRatio = 2.0;
const double samplingMs = 350.0;
const int timeLimitSeconds = 1800;
const double samplesPerHour = 3600 * 1000 / samplingMs;

qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

struct DashboardWindow
{
    // Outlives the window, which talks to it until it goes.
    SimulatorProcess sim;
    std::unique_ptr<MainWindow> window;
    DashboardPlot* plot = nullptr;
    QCustomPlot* surface = nullptr;
    QList<Parameter*> plotted;
    PaintProbe probe;
    QVector<double> sampleMs;
    qint64 changes = 0;

    bool startSimulator()
    {
        if (!sim.start())
            std::fprintf(stderr, "%s\n", qPrintable(sim.errorString()));
        return sim.errorString().isEmpty();
    }

    bool start()
    {
        window = startConnectedWindow(sim, "dashboardScreen");
        if (!window) {
            std::fprintf(stderr, "the window did not connect to %s\n", qPrintable(sim.portPath()));
            return false;
        }
        plot = window->findChild<DashboardPlot*>();
        surface = window->findChild<QCustomPlot*>("dashboardPlot");
        surface->installEventFilter(&probe);
        const auto choosers =
            window->findChild<QWidget*>("dashboardParameters")->findChildren<QComboBox*>();
        for (const QComboBox* chooser : choosers) {
            QObject* row = chooser->parent();
            while (row && !row->property("address").isValid())
                row = row->parent();
            if (row && chooser->currentIndex() != 0)
                plotted << window->deviceModel()->getParameter(row->property("address").toInt());
        }
        window->findChild<QAbstractButton*>("dashboardStartStopButton")->click();
        QCoreApplication::processEvents();
        return true;
    }

    // A slow swing over the hour with a jitter as wide as the swing at every
    // sample: noisy, as a motor's current and speed are, and the costliest
    // to draw.
    void changeValues()
    {
        const double phase = 2 * M_PI * double(changes++) / samplesPerHour;
        for (int i = 0; i < plotted.size(); ++i) {
            const double swing = std::sin(phase + i) * 1000;
            const double noise = QRandomGenerator::global()->bounded(2000.0) - 1000;
            plotted.at(i)->setRegisterValue(int(2000 + swing + noise));
        }
    }

    // As the user pauses and resumes graphing: the next sample marks it.
    void pauseAndResume()
    {
        auto* button = window->findChild<QAbstractButton*>("dashboardStartStopButton");
        button->click();
        button->click();
    }

    void timeSample()
    {
        changeValues();
        QCoreApplication::processEvents();
        probe.painted = false;
        QElapsedTimer clock;
        clock.start();
        plot->readDashboardValues();
        while (!probe.painted && clock.elapsed() < 5000)
            QCoreApplication::processEvents();
        sampleMs << clock.nsecsElapsed() / 1e6;
    }

    int drawnPoints() const
    {
        int points = 0;
        for (int i = 0; i < surface->graphCount(); ++i)
            points += surface->graph(i)->dataCount();
        return points;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    const QString shownOn = prepareBenchApplication();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"hours", "Hours of samples the day's plot holds first.", "h", "24"});
    parser.addOption({"marks", "Interruption marks among the day's samples.", "m", "300"});
    parser.addOption({"rounds", "Rounds of timed samples in each window.", "n", "10"});
    parser.addOption({"samples", "Timed samples per window and round.", "n", "20"});
    parser.process(app);
    bool ok = true;
    const double hours = parser.value("hours").toDouble(&ok);
    const int marks = ok ? parser.value("marks").toInt(&ok) : 0;
    const int rounds = ok ? parser.value("rounds").toInt(&ok) : 0;
    const int samples = ok ? parser.value("samples").toInt(&ok) : 0;
    if (!ok || hours < 0 || marks < 0 || rounds < 1 || samples < 1) {
        std::fprintf(stderr,
                     "--hours takes hours, --marks, --rounds and --samples whole numbers\n");
        return 2;
    }
    guardBench(timeLimitSeconds);

    // No settings file: the default reply timeout.
    QTemporaryDir scratch;
    DashboardWindow fresh;
    DashboardWindow day;
    if (!QDir::setCurrent(scratch.path()) || !fresh.startSimulator() || !day.startSimulator())
        return 1;
    qputenv("KELVARA_EXTRA_PORTS",
            QFile::encodeName(fresh.sim.portPath() + ':' + day.sim.portPath()));
    if (!fresh.start() || !day.start())
        return 1;
    const auto prefill = qint64(hours * samplesPerHour);
    std::printf("Dashboard plot of %d values in the real window (%s): %lld samples and %d "
                "interruption marks first\n",
                day.plotted.size(), qPrintable(shownOn), static_cast<long long>(prefill), marks);
    std::fflush(stdout);
    const qint64 heapBefore = heapInUse();
    QElapsedTimer prefillClock;
    prefillClock.start();
    // The marks fall evenly among the samples, the last just before the end.
    const qint64 markEvery = marks > 0 ? std::max<qint64>(1, prefill / marks) : 0;
    int marked = 0;
    for (qint64 i = 0; i < prefill; ++i) {
        if (marked < marks && (i + 1) % markEvery == 0) {
            day.pauseAndResume();
            ++marked;
        }
        day.changeValues();
        day.plot->readDashboardValues();
        // The windows keep talking to their controllers meanwhile.
        if (i % 1000 == 0)
            QCoreApplication::processEvents();
    }
    const qint64 heapGrowth = heapInUse() - heapBefore;
    const double prefillSeconds = prefillClock.elapsed() / 1000.0;
    const qint64 valuesKept = prefill * day.plotted.size();

    auto* reset = fresh.window->findChild<QAbstractButton*>("clearGraphsButton");
    for (int round = 0; round < rounds; ++round) {
        reset->click();
        for (int i = 0; i < samples; ++i)
            fresh.timeSample();
        for (int i = 0; i < samples; ++i)
            day.timeSample();
    }

    const double freshMs = median(fresh.sampleMs);
    const double dayMs = median(day.sampleMs);
    const double ratio = dayMs / freshMs;
    std::printf("the day's samples taken in %.1f s\n", prefillSeconds);
    std::printf("a sample and its repaint, median of %d in turn: fresh %.3f ms, after %g hours "
                "and %d interruptions %.3f ms (%d points drawn): ratio %.2f (goal at most %.0f)\n",
                rounds * samples, freshMs, hours, marked, dayMs, day.drawnPoints(), ratio,
                goalRatio);
    std::printf("at one sample each %.0f ms the day's plot takes %.2f %% of a core\n", samplingMs,
                100.0 * dayMs / samplingMs);
    std::printf("heap: %+.1f MiB for %lld values kept, %.1f bytes a value\n",
                heapGrowth / (1024.0 * 1024.0), static_cast<long long>(valuesKept),
                valuesKept > 0 ? double(heapGrowth) / valuesKept : 0.0);
    return ratio <= goalRatio ? 0 : 1;
}
