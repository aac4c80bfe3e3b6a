#ifndef BENCHWINDOW_H
#define BENCHWINDOW_H

#include "simulatorprocess.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class MainWindow;

// The suite's window in a benchmark, started as the program starts it.

// Before the application object exists: the display when there is one,
// otherwise an X server of the benchmark's own (Xvfb at 96 dpi, as on a
// desktop) or, without Xvfb, the offscreen platform; and the program's own
// attributes. Returns where the windows are shown, for the report.
QString prepareBenchApplication();

// No box may hold a benchmark up: from now on any modal window is closed
// soon after it opens, with a line on standard error, unless the benchmark
// answers its boxes itself (closeBoxes false); and the process ends (status
// 3, with a line) once it has run for limitSeconds.
void guardBench(int limitSeconds, bool closeBoxes = true);

// Runs the event loop until condition() holds; false when the time ran out.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

// Builds and shows the window on the page named (empty: the page it opens
// on) and connects it to the simulator; null when the two read-alls of the
// connection did not complete within timeLimitMs. The simulator's port is
// offered through KELVARA_EXTRA_PORTS, which must name every simulator's
// port before the first of several windows is built: a port that appears
// becomes current.
std::unique_ptr<MainWindow> startConnectedWindow(SimulatorProcess& sim, const QString& page,
                                                 int timeLimitMs = 30000);

// The window run from a scratch working folder, so with no settings file
// (the default reply timeout), and connected to a simulator of its own.
struct ScratchWindow
{
    ScratchWindow();
    ~ScratchWindow();

    // Starts both, the window on the page named; false, with a line on
    // standard error, when either did not.
    bool start(const QString& page = QString());

    QTemporaryDir scratch;
    SimulatorProcess sim;
    std::unique_ptr<MainWindow> window;
};

// Notes a paint of the widget it watches: the end of what a step costs the
// user.
class PaintProbe : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

// User and system CPU time this process has taken so far.
double processCpuSeconds();

#endif // BENCHWINDOW_H
