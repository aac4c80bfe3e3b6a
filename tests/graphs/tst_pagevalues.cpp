// What Save writes of the values that follow the rated voltage and those
// the graphs keep in order (PageProperty), on the device model with the
// slider and the throttle graph bound to it: over seeded sequences, and on
// the ways users found wrong.

#include "pageproperty.h"

#include <QtTest>

using namespace PageSequences;

class TestPageValues : public QObject
{
    Q_OBJECT

    const QMap<int, int> sample = PageModel::sampleController();
    PageModel page;
    PageModel shortest;
    PageProperty<PageModel> property{&page, &shortest};

private slots:
    // Seeded sequences; kelvara-bench-pagevalues runs many more.
    void anyWayWritesWhatTheShortestDoes()
    {
        for (int seed = 1; seed <= 400; ++seed) {
            const QString wrong = property.runSeed(seed, sample);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    }

    void waysFoundWrong_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("written"); // by the last save
        // The sample controller: 70 = 48 V, 141 = 3584 (42 V), 142 = 3413
        // (40 V), 147 = 5376, 149 = 5291, 194 = 4864 (57 V), 195 = 4992.
        QTest::newRow("rated voltage set back after a save") << "70=72; save; 70=48; save"
                                                             << "70=48";
        QTest::newRow("rated voltage set back after a save of a file")
            << "f70:84,141:3000; save; 70=48; save"
            << "70=48";
        QTest::newRow("values dragged, then 48, 72, 24 and 48 V")
            << "d141=41.7; d194=42; 70=72; 70=24; 70=48; save"
            << "141=3541 194=3584";
        QTest::newRow("a file of 72 V and the controller's values, then 48 V")
            << "f70:72,141:3584,142:3413,194:4864,195:4992; 70=48; save"
            << "";
        QTest::newRow("a value given later pushes one given earlier, until it goes")
            << "141=41.7; 194=42; 194=50; save"
            << "141=3558 194=4267";
    }

    // The ways users found Save writing what they did not choose.
    void waysFoundWrong()
    {
        QFETCH(QString, steps);
        QFETCH(QString, written);
        const QString wrong = property.run(steps, sample);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(describe(property.lastWrites()), written);
    }

    // After a save at 72 V the controller holds 147 at 90 V of 72 V: at
    // 84 V it is told as 105 V before, not as what it held before the save.
    void toldAsSaved()
    {
        QVERIFY(property.run("70=72; save; 70=84", sample).isEmpty());
        for (const MovedValue& move : page.boxes.constLast().moves) {
            if (move.address == 147) {
                QCOMPARE(move.before, 105.0);
                QCOMPARE(move.after, 90.0);
                return;
            }
        }
        QFAIL("147 not told");
    }
};

QTEST_MAIN(TestPageValues)
#include "tst_pagevalues.moc"
