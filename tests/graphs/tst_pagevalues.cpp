// The values that follow the rated voltage and those the graphs keep in
// order, on the device model with the battery-voltage slider and the
// throttle graph bound to it: whatever way led to the rated voltage and the
// values the user gave, Save writes what the shortest way to them writes,
// and each value it writes is one the user gave or one a box named as one
// Save writes (PageProperty). Checked over seeded random sequences on a
// controller whose own values keep the orders and one whose own values
// break them, and on the ways users found wrong.

#include "pageproperty.h"

#include <QtTest>

using namespace PageSequences;

namespace {

// How many sequences a run checks: KELVARA_PAGE_SEQUENCES, else a few
// hundred, from the seed KELVARA_PAGE_FIRST_SEED on (else 1).
int sequenceCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("KELVARA_PAGE_SEQUENCES", &ok);
    return ok && count > 0 ? count : 400;
}

} // namespace

class TestPageValues : public QObject
{
    Q_OBJECT

    const QMap<int, int> sample = PageModel::sampleController();
    std::unique_ptr<PageModel> page;
    std::unique_ptr<PageModel> shortest;
    std::unique_ptr<PageProperty<PageModel>> property;

    // The last box's line of the register; a default one where none names it.
    MovedValue lastToldOf(int address) const
    {
        const QList<PageModel::Box>& boxes = page->boxes;
        for (int k = boxes.size() - 1; k >= 0; --k) {
            for (const MovedValue& move : boxes.at(k).moves) {
                if (move.address == address)
                    return move;
            }
        }
        return MovedValue();
    }

private slots:
    void init()
    {
        page = std::make_unique<PageModel>();
        shortest = std::make_unique<PageModel>();
        property = std::make_unique<PageProperty<PageModel>>(page.get(), shortest.get());
    }
    void cleanup()
    {
        property.reset();
        page.reset();
        shortest.reset();
    }

    // Seeded sequences, every other one on the controller that breaks the
    // orders itself.
    void anyWayWritesWhatTheShortestDoes()
    {
        const int first = qMax(1, qEnvironmentVariableIntValue("KELVARA_PAGE_FIRST_SEED"));
        for (int seed = first; seed < first + sequenceCount(); ++seed) {
            const QList<Step> steps = sequence(quint32(seed), 4 + seed % 13);
            const bool breaking = seed % 2 == 0;
            const QString wrong =
                property->run(steps, breaking ? breakingController(sample) : sample);
            QVERIFY2(wrong.isEmpty(),
                     qPrintable(QStringLiteral("seed %1%2: %3: %4")
                                    .arg(seed)
                                    .arg(breaking ? " (orders broken)" : "")
                                    .arg(describe(steps), wrong)));
        }
    }

    void waysFoundWrong_data()
    {
        QTest::addColumn<bool>("breaking");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("written"); // by the last save
        // The sample controller: 70 = 48 V, 141 = 3584 (42 V), 142 = 3413
        // (40 V), 147 = 5376, 149 = 5291, 194 = 4864 (57 V), 195 = 4992.
        QTest::newRow("rated voltage set back after a save") << false << "70=72; save; 70=48; save"
                                                             << "70=48";
        QTest::newRow("rated voltage set back after a save of a file")
            << false << "f70:84,141:3000; save; 70=48; save"
            << "70=48";
        QTest::newRow("values typed, then 48, 72, 24 and 48 V")
            << false << "141=41.7; 194=42; 70=72; 70=24; 70=48; save"
            << "141=3541 194=3584";
        QTest::newRow("values dragged, then 48, 72, 24 and 48 V")
            << false << "d141=41.7; d194=42; 70=72; 70=24; 70=48; save"
            << "141=3541 194=3584";
        QTest::newRow("48, 72, 90 and 72 V")
            << false << "70=72; 70=90; 70=72; save"
            << "70=72 141=3356 142=3328 147=5120 149=5120 194=3385 195=3413";
        QTest::newRow("a file of 72 V and the controller's values, then 48 V")
            << false << "f70:72,141:3584,142:3413,194:4864,195:4992; 70=48; save"
            << "";
        QTest::newRow("a value typed, then 48, 72 and 48 V on orders broken")
            << true << "194=50; 70=72; 70=48; save"
            << "194=4267";
        QTest::newRow("a value given later pushes one given earlier, until it goes")
            << false << "141=41.7; 194=42; 194=50; save"
            << "141=3558 194=4267";
    }

    // The ways users found Save writing what they did not choose.
    void waysFoundWrong()
    {
        QFETCH(bool, breaking);
        QFETCH(QString, steps);
        QFETCH(QString, written);
        const QString wrong =
            property->run(parseSteps(steps), breaking ? breakingController(sample) : sample);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(describe(property->lastWrites()), written);
    }

    // A move that reads alike is told with its raw values, a value the
    // controller holds since a save as it holds it, and a value entered
    // beyond its limit as entered.
    void toldAsItIs()
    {
        QMap<int, int> controller = sample;
        controller.insert(195, 3414); // 40.0 V at 48 V, 60.01 V at 72 V
        QVERIFY(property->run(parseSteps("70=72; save"), controller).isEmpty());
        QCOMPARE(lastToldOf(195).rawBefore, 3414);
        QCOMPARE(lastToldOf(195).rawAfter, 3413);
        QCOMPARE(property->lastWrites().value(195), 3413);

        // After a save at 72 V the controller holds 147 at 90 V of 72 V:
        // 105 V at 84 V, told so, not as what it held before the save.
        QVERIFY(property->run(parseSteps("70=72; save; 70=84"), sample).isEmpty());
        QCOMPARE(lastToldOf(147).before, 105.0);
        QCOMPARE(lastToldOf(147).after, 90.0);

        QVERIFY(property->run(parseSteps("141=65"), sample).isEmpty());
        const MovedValue start = lastToldOf(141);
        QVERIFY(start.entered);
        QCOMPARE(start.before, 65.0);
        QCOMPARE(start.after, 59.0);
    }
};

QTEST_MAIN(TestPageValues)
#include "tst_pagevalues.moc"
