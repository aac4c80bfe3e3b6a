// Wall time of one read of all parameters against the controller simulator,
// with the link's default reply timeout of 250 ms.
//
//   kelvara-bench-readall [runs]
//
// A read-all is five frames, and every exchange lasts its full reply timeout
// (replies are judged when the timer runs out), so 5 x 250 ms is its floor.
// For each run (3 by default) the program prints the wall time from
// readAll() to readAllComplete() and its ratio to that floor, then the worst
// ratio. The link may add at most 3 %: the exit status is 1 when the worst
// ratio is above 1.03 (or a read-all fails), 0 otherwise.

#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

const int blocks = 5;
const double allowedRatio = 1.03;

// Milliseconds of one read-all, or -1 when it failed.
double timeReadAll(KelvaraCom& link)
{
    QEventLoop loop;
    bool failed = false;
    const auto done =
        QObject::connect(&link, &KelvaraCom::readAllComplete, &loop, &QEventLoop::quit);
    const auto error = QObject::connect(&link, &KelvaraCom::comError, [&] { failed = true; });
    QTimer::singleShot(30000, &loop, [&] {
        failed = true;
        loop.quit();
    });

    QElapsedTimer clock;
    clock.start();
    link.readAll();
    loop.exec();
    const double elapsed = clock.nsecsElapsed() / 1e6;

    QObject::disconnect(done);
    QObject::disconnect(error);
    return failed ? -1 : elapsed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString(argv[1]).toInt()) : 3;

    ControllerSimulator sim;
    if (!sim.start() || !sim.loadDefaultImage()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    Kelvara model;
    KelvaraCom link(&model);
    link.setCurrentPortName(sim.portName());
    const double floorMs = blocks * link.getTimeoutTime();

    std::printf("read-all, %d blocks, reply timeout %d ms, floor %.0f ms\n", blocks,
                link.getTimeoutTime(), floorMs);
    double worst = 0;
    for (int run = 1; run <= runs; ++run) {
        const double elapsed = timeReadAll(link);
        if (elapsed < 0) {
            std::printf("run %d: read-all failed: %s\n", run, qPrintable(link.getReplyText()));
            return 1;
        }
        const double ratio = elapsed / floorMs;
        worst = std::max(worst, ratio);
        std::printf("run %d: %.1f ms, ratio %.4f\n", run, elapsed, ratio);
    }
    std::printf("worst ratio %.4f (at most %.2f allowed)\n", worst, allowedRatio);
    return worst <= allowedRatio ? 0 : 1;
}
