// The longest silence of the controller that the window rides out, on Basic
// Setup and on the Dashboard:
//
//   kelvara-bench-silence [--phases N] [--step MS] [--longest MS]
//
// The suite's window, built and shown as the program shows it, is connected
// to kelvara-sim in a process of its own: one controller behind a USB
// adapter that stays plugged in, its cable pulled and put back by commands
// on the simulator's standard input ("move 1 after MS"), so that frames are
// lost on the real wire. No settings file: the default reply timeout of
// 250 ms. A silence is ridden out when the window does not declare the
// controller lost for it.
//
// The silences start at N (4) phases spread over the window's once-a-second
// connection check. At each phase the longest silence ridden out is searched
// on both pages by halving, to steps of MS (100) up to --longest (6000), the
// trials of the two pages taking turns so that a busy machine weighs on both
// alike. Printed: the longest silence ridden out at each phase on each page,
// their means and the ratio Dashboard / Basic Setup (goal: about 1; exit
// status 1 outside 0.8 to 1.25).

#include "benchwindow.h"
#include "kelvaracom.h"
#include "mainwindow.h"
#include "simulatorprocess.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const int timeLimitSeconds = 7200;
const int monitorIntervalMs = 1000;
const int reconnectLimitMs = 60000;
// Connection checks after the cable is back: a loss the silence leads to is
// declared by then.
const int checksAfterSilence = 3;
const double lowestGoodRatio = 0.8;
const double highestGoodRatio = 1.25;

struct Page
{
    const char* name;
    const char* widget;
};
const Page basicSetup = {"Basic Setup", "releaseScreen"};
const Page dashboard = {"Dashboard", "dashboardScreen"};

// The longest silence ridden out lies between these; the search halves the
// gap until it is one step.
struct Search
{
    int riddenOut = 0;
    int lost;
    bool isDone(int step) const { return lost - riddenOut <= step; }
    int next(int step) const { return riddenOut + ((lost - riddenOut) / 2 / step) * step; }
};

class SilenceBench
{
public:
    bool start()
    {
        if (!sim.start({"--controller", "238=4711"})) {
            std::fprintf(stderr, "%s\n", qPrintable(sim.errorString()));
            return false;
        }
        window = startConnectedWindow(sim, QString::fromLatin1(basicSetup.widget));
        if (!window) {
            std::fprintf(stderr, "the window did not connect to %s\n", qPrintable(sim.portPath()));
            return false;
        }
        link = window->link();
        monitor = window->findChild<QTimer*>("monitorTimer");
        QObject::connect(monitor, &QTimer::timeout, [this] { ++checks; });
        QObject::connect(link, &KelvaraCom::controllerDisconnected, [this] { ++losses; });
        QObject::connect(link, &KelvaraCom::readAllComplete, [this] { ++readAlls; });
        QObject::connect(&sim, &SimulatorProcess::said, [this](const QByteArray& line) {
            if (line == "cable on controller 1")
                ++returns;
        });
        return true;
    }

    // Whether the window rides out a silence of silenceMs on the page, begun
    // phaseMs after a connection check.
    bool ridesOut(const Page& page, int phaseMs, int silenceMs)
    {
        settleOn(page);
        const int checksBefore = checks;
        waitUntil([&] { return checks > checksBefore; }, 2 * monitorIntervalMs);
        QEventLoop loop;
        QTimer::singleShot(phaseMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();

        const int lossesBefore = losses;
        const int returnsBefore = returns;
        sim.tell("move 1 after " + QByteArray::number(silenceMs));
        if (!waitUntil([&] { return returns > returnsBefore; }, silenceMs + 10000)) {
            std::fprintf(stderr, "the simulator did not put the cable back\n");
            std::exit(1);
        }
        const int checksAtReturn = checks;
        waitUntil([&] { return checks >= checksAtReturn + checksAfterSilence; },
                  (checksAfterSilence + 2) * monitorIntervalMs);
        const bool lost = losses > lossesBefore;
        if (lost)
            awaitReconnection();
        return !lost;
    }

private:
    // On the page, connected, with the page's own traffic under way.
    void settleOn(const Page& page)
    {
        auto* tabs = window->findChild<QTabWidget*>("tabWidget");
        tabs->setCurrentWidget(window->findChild<QWidget*>(page.widget));
        waitUntil([this] { return isConnected() && !link->isReadAllQueued(); }, reconnectLimitMs);
        const int checksBefore = checks;
        waitUntil([&] { return checks >= checksBefore + 2; }, 3 * monitorIntervalMs);
    }

    // The window reads the controller twice as it connects again.
    void awaitReconnection()
    {
        const int readAllsBefore = readAlls;
        waitUntil([&] { return isConnected() && readAlls >= readAllsBefore + 2; },
                  reconnectLimitMs);
    }

    bool isConnected() const
    {
        return window->findChild<QAbstractButton*>("readAllAdvanced")->isEnabled();
    }

    // Outlives the window, which talks to it until it goes.
    SimulatorProcess sim;
    std::unique_ptr<MainWindow> window;
    KelvaraCom* link = nullptr;
    QTimer* monitor = nullptr;
    int checks = 0;
    int losses = 0;
    int readAlls = 0;
    int returns = 0;
};

double mean(const QVector<int>& values)
{
    double sum = 0;
    for (const int value : values)
        sum += value;
    return values.isEmpty() ? 0.0 : sum / values.size();
}

} // namespace

int main(int argc, char* argv[])
{
    const QString shownOn = prepareBenchApplication();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"phases", "Phases of the silence against the connection check.", "n", "4"});
    parser.addOption({"step", "Resolution of the search, ms.", "ms", "100"});
    parser.addOption({"longest", "Longest silence tried, ms.", "ms", "6000"});
    parser.process(app);
    bool ok = true;
    const int phases = parser.value("phases").toInt(&ok);
    const int step = ok ? parser.value("step").toInt(&ok) : 0;
    const int asked = ok ? parser.value("longest").toInt(&ok) : 0;
    // Whole steps: the search halves the gap in steps.
    const int longest = step > 0 ? asked / step * step : 0;
    if (!ok || phases < 1 || step < 10 || longest < 2 * step) {
        std::fprintf(stderr,
                     "--phases takes a whole number from 1, --step ms from 10, "
                     "--longest ms of two steps at least\n");
        return 2;
    }
    guardBench(timeLimitSeconds);

    QTemporaryDir scratch;
    SilenceBench bench;
    if (!QDir::setCurrent(scratch.path()) || !bench.start())
        return 1;
    std::printf("longest silence of the controller that the real window (%s) rides out, reply "
                "timeout 250 ms, searched to %d ms in steps of %d ms\n",
                qPrintable(shownOn), longest, step);
    std::printf("%10s %14s %14s\n", "phase", basicSetup.name, dashboard.name);
    std::fflush(stdout);

    QVector<int> basicLongest;
    QVector<int> dashboardLongest;
    for (int phase = 0; phase < phases; ++phase) {
        const int phaseMs = phase * monitorIntervalMs / phases;
        Search basic{0, longest + step};
        Search onDashboard{0, longest + step};
        while (!basic.isDone(step) || !onDashboard.isDone(step)) {
            for (auto* turn : {&basic, &onDashboard}) {
                if (turn->isDone(step))
                    continue;
                const Page& page = turn == &basic ? basicSetup : dashboard;
                const int silenceMs = turn->next(step);
                if (bench.ridesOut(page, phaseMs, silenceMs))
                    turn->riddenOut = silenceMs;
                else
                    turn->lost = silenceMs;
            }
        }
        basicLongest << basic.riddenOut;
        dashboardLongest << onDashboard.riddenOut;
        std::printf("%7d ms %11d ms %11d ms\n", phaseMs, basic.riddenOut, onDashboard.riddenOut);
        std::fflush(stdout);
    }

    const double basicMean = mean(basicLongest);
    const double dashboardMean = mean(dashboardLongest);
    const double ratio = basicMean > 0 ? dashboardMean / basicMean : 0.0;
    std::printf("%10s %11.0f ms %11.0f ms\n", "mean", basicMean, dashboardMean);
    std::printf("%s / %s: %.2f (goal: about 1, %.2f to %.2f)\n", dashboard.name, basicSetup.name,
                ratio, lowestGoodRatio, highestGoodRatio);
    return ratio >= lowestGoodRatio && ratio <= highestGoodRatio ? 0 : 1;
}
