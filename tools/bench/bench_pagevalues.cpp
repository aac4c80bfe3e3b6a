// Seeded sequences of rated voltages, typed, dragged and file values, saves
// and reads on the device model with the slider and the throttle graph, many
// more than the test suite runs (tests/graphs/tst_pagevalues): each save
// must write what the shortest way to the same values writes, and only
// values given or told as written (tests/common/pageproperty.h).
//
//   kelvara-bench-pagevalues [sequences [first seed]]
//
// Runs 20000 sequences from seed 1 by default, every other one on a
// controller whose own values break the orders; prints the time a sequence
// takes and each sequence that fails. The exit status is 1 when any fails.

#include "pageproperty.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, QString(argv[1]).toInt()) : 20000;
    const int first = argc > 2 ? qMax(1, QString(argv[2]).toInt()) : 1;
    const QMap<int, int> sample = PageModel::sampleController();
    PageModel page;
    PageModel shortest;
    PageProperty<PageModel> property(&page, &shortest);
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    for (int seed = first; seed < first + count; ++seed) {
        const QString wrong = property.runSeed(seed, sample);
        if (!wrong.isEmpty()) {
            ++failed;
            std::printf("%s\n", qPrintable(wrong));
        }
    }
    std::printf("%d sequences, %d failed, %.2f ms a sequence\n", count, failed,
                clock.nsecsElapsed() / 1e6 / count);
    return failed > 0 ? 1 : 0;
}
