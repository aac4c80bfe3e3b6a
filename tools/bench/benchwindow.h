#ifndef BENCHWINDOW_H
#define BENCHWINDOW_H

#include <QString>

#include <functional>
#include <memory>

class MainWindow;
class SimulatorProcess;

// The suite's window in a benchmark, started as the program starts it.

// Before the application object exists: the display when there is one,
// otherwise the offscreen platform, and the program's own attributes.
void prepareBenchApplication();

// Runs the event loop until condition() holds; false when the time ran out.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

// Builds and shows the window on the page named (empty: the page it opens
// on) and connects it to the simulator; null when the two read-alls of the
// connection did not complete.
std::unique_ptr<MainWindow> startConnectedWindow(SimulatorProcess& sim, const QString& page);

// User and system CPU time this process has taken so far.
double processCpuSeconds();

#endif // BENCHWINDOW_H
