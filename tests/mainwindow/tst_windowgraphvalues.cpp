// The registers the graph editors and the battery-voltage slider show, in
// the real window against the simulated controller, judged by what Save
// sends: a value typed into a row is written as typed, or held by a rule of
// its graph and named, and typed back leaves nothing to write; the rated
// voltage, which scales the slider's registers, over its whole range and
// beyond, typed, from a file and read from the controller, never loops and
// writes nothing the user did not choose.

#include "graphwindow.h"

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace GraphWindow;

namespace {

const int ratedVoltageAddress = 70;

} // namespace

class TestWindowGraphValues : public QObject
{
    Q_OBJECT
    Fixture w;

    // Registers whose values the rated voltage scales or limits.
    QList<int> followingRatedVoltage() const
    {
        QList<int> following;
        const QMap<int, Parameter*> parameters = w.f->model()->getAllParameters();
        Parameter* rated = w.f->model()->getParameter(ratedVoltageAddress);
        for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
            if (it.value()->referencedParameters().contains(rated))
                following << it.key();
        }
        return following;
    }

    // The orders that the controller's values break where Save wrote one of
    // them, on the display grid of each value.
    QString judgeOrders() const
    {
        const ControllerSimulator& controller = *w.f->simulator;
        auto shown = [&](int address, double scale, int decimals) {
            const double p = std::pow(10.0, decimals);
            return std::floor(controller.registerValue(address) / scale * p + 0.5) / p;
        };
        auto written = [&](const QList<int>& addresses) {
            return std::any_of(addresses.begin(), addresses.end(), [&](int address) {
                return int(controller.registerValue(address)) != w.replaced.value(address);
            });
        };
        const double perVolt = 4096.0 / controller.registerValue(ratedVoltageAddress);
        QStringList broken;
        const QList<int> cutoffs{142, 141, 194, 195};
        for (int k = 0; k < 3; ++k) {
            if (written(cutoffs.mid(k, 2))
                && shown(cutoffs[k + 1], perVolt, 1) < shown(cutoffs[k], perVolt, 1) + 0.5 - 1e-9)
                broken << QString("%1 below %2").arg(cutoffs[k + 1]).arg(cutoffs[k]);
        }
        auto volts = [&](int address) { return shown(address, 819.2, 2); };
        if (written({213, 214, 151}) && volts(213) < volts(214) + qMax(2 * volts(151), 0.2) - 1e-9)
            broken << "throttle";
        if (written({215, 216}) && std::fabs(volts(215) - volts(216)) < 0.2 - 1e-9)
            broken << "brake";
        return broken.join(", ");
    }

    // What a save wrote besides the rated voltage, that does not follow it.
    QList<int> writtenNotFollowing(QMap<int, int> written) const
    {
        written.remove(ratedVoltageAddress);
        QList<int> others;
        const QList<int> following = followingRatedVoltage();
        for (int address : written.keys()) {
            if (!following.contains(address))
                others << address;
        }
        return others;
    }

    // One step: "A=V" types V into register A's row, "dA=V" drags its
    // thumb to V, "fA=V" opens a file that gives it the raw value V; V is a
    // number, "R" the rated voltage given, "@B+d" the value register B shows
    // now plus d, or "back" what the controller holds.
    void take(const QString& step, int rated = 0)
    {
        Kelvara* model = w.f->model();
        const QChar kind = step.at(0).isLetter() ? step.at(0) : QChar();
        const int address = step.mid(kind.isNull() ? 0 : 1).section('=', 0, 0).toInt();
        const QString value = step.section('=', 1).replace('R', QString::number(rated));
        if (kind == 'f') {
            w.openFile(entry(QByteArray::number(address).constData(), qPrintable(value)));
            return;
        }
        Parameter* parameter = model->getParameter(address);
        double typed = value.toDouble();
        if (value == "back")
            typed = parameter->asValue(model->getSavedValues().value(address));
        else if (value.startsWith('@'))
            typed =
                model->getParameter(value.mid(1, 3).toInt())->getValue() + value.mid(4).toDouble();
        if (kind == 'd') {
            dragInScene(w.item(Slider, QList<int>{142, 141, 194, 195}.indexOf(address)),
                        w.scenePoint(Slider, QPointF(0, typed)));
            QCoreApplication::processEvents();
        } else {
            w.f->type(address, typed);
        }
    }

private slots:
    void initTestCase() { QVERIFY(w.start()); }
    void cleanupTestCase() { w.finish(); }
    void init()
    {
        QVERIFY(waitIdle(w.f->window.get()));
        QVERIFY(w.f->model()->getUnsavedValues().isEmpty());
    }
    // The sample controller as it was, and nothing left to write.
    void cleanup() { QVERIFY(w.putBack()); }

    void typedAndTypedBack_data()
    {
        QTest::addColumn<RegisterMap>("controller");
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("typed");
        QTest::addColumn<RegisterMap>("written");
        QTest::addColumn<QList<int>>("named");
        using M = QMap<int, int>;
        using L = QList<int>;
        // Rated voltage 48 V: the cutoffs at 40, 42, 57 and 58.5 V, within
        // limits of 0 to 60 V, the slider's track 19 to 90 V.
        QTest::newRow("cutoff end below the track") << M{} << 142 << 10.0 << M{{142, 853}} << L{};
        QTest::newRow("cutoff start below the end pushes it")
            << M{} << 141 << 10.0 << M{{141, 853}, {142, 811}} << L{142};
        QTest::newRow("regen start below the cutoffs pushes both")
            << M{} << 194 << 20.0 << M{{194, 1707}, {141, 1664}, {142, 1621}} << L{141, 142};
        QTest::newRow("regen start held where the end has room")
            << M{} << 194 << 59.9 << M{{194, 5077}, {195, 5120}} << L{194, 195};
        QTest::newRow("regen end") << M{} << 195 << 59.0 << M{{195, 5035}} << L{};
        // Throttle 1.2 to 3.6 V, no dead band; brake start 0.8 V, maximum 0 V.
        QTest::newRow("throttle start held a pixel below the gap")
            << M{} << 214 << 3.5 << M{{214, 2777}} << L{214};
        QTest::newRow("throttle maximum held at the gap")
            << M{} << 213 << 1.3 << M{{213, 1147}} << L{213};
        QTest::newRow("dead band") << M{} << 151 << 0.05 << M{{151, 41}} << L{};
        QTest::newRow("dead band held at half the span")
            << M{} << 151 << 2.0 << M{{151, 983}} << L{151};
        QTest::newRow("fault range off the plot") << M{} << 152 << 4.0 << M{{152, 3277}} << L{};
        QTest::newRow("brake start held off the maximum")
            << M{} << 216 << 0.1 << M{{216, 164}} << L{216};
        QTest::newRow("brake maximum pushes the start")
            << M{} << 215 << 0.7 << M{{215, 573}, {216, 737}} << L{216};
        QTest::newRow("brake maximum at 5 V") << M{} << 215 << 5.0 << M{{215, 4096}} << L{};
        // A controller whose throttle start lies within the gap of its
        // maximum (4.0 and 4.1 V): shown at its bound, left as it is.
        const M narrow{{213, 3359}, {214, 3277}};
        QTest::newRow("dead band within a narrow throttle")
            << narrow << 151 << 0.03 << M{{151, 25}} << L{};
        QTest::newRow("dead band held within a narrow throttle")
            << narrow << 151 << 0.08 << M{{151, 41}} << L{151};
        QTest::newRow("start typed within a narrow throttle")
            << narrow << 214 << 3.95 << M{{214, 3187}} << L{214};
        // Beyond the other graphs' plots, within the registers' limits.
        QTest::newRow("hold time") << M{} << 110 << 3000.0 << M{{110, 3000}} << L{};
        QTest::newRow("spin-up") << M{} << 109 << 12000.0 << M{{109, 12000}} << L{};
        QTest::newRow("start RPM") << M{} << 108 << 500.0 << M{{108, 500}} << L{};
        QTest::newRow("max power") << M{} << 73 << 4000.0 << M{{73, 4000}} << L{};
        QTest::newRow("assist level 1") << M{} << 219 << 0.9 << M{{219, 3686}} << L{};
        QTest::newRow("PAS power") << M{} << 122 << 3000.0 << M{{122, 3000}} << L{};
        QTest::newRow("map offset") << M{} << 175 << 80.0 << M{{175, 3277}} << L{};
        QTest::newRow("map end") << M{} << 176 << 120.0 << M{{176, 120}} << L{};
        QTest::newRow("temperature voltage") << M{} << 95 << 1.5 << M{{95, 1500}} << L{};
    }

    // Typed and typed back: nothing to write. Typed: the value as typed,
    // or held by a rule of its graph and named; what the rule pushed named
    // in the same box.
    void typedAndTypedBack()
    {
        QFETCH(RegisterMap, controller);
        QFETCH(int, address);
        QFETCH(double, typed);
        QFETCH(RegisterMap, written);
        QFETCH(QList<int>, named);
        QVERIFY(w.useController(controller));
        const double shown = w.f->spinOf(address)->value();
        w.f->type(address, typed);
        w.f->type(address, shown);
        const QMap<int, int> nothing = w.f->save();
        QVERIFY2(nothing.isEmpty(), qPrintable(describe(nothing)));

        const int told = w.limitedTexts().size();
        w.f->type(address, typed);
        const QStringList texts = w.limitedTexts();
        QCOMPARE(texts.size(), told + (named.isEmpty() ? 0 : 1));
        if (!named.isEmpty())
            QCOMPARE(namedIn(texts.last()), named);
        w.rememberController(written.keys());
        QCOMPARE(describe(w.f->save()), describe(written));
    }

    void movesNamed_data()
    {
        QTest::addColumn<QString>("before"); // "A=V" typed first
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("typed");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("heading");
        const QString entered = "These values entered would break the order";
        const QString ordered = "The order these values keep with others moved them";
        const QString limited = "Limits set by other values moved these values, and Save "
                                "Parameters will write them";
        QTest::newRow("held by the throttle's gap")
            << "" << 214 << 3.5 << "Throttle Start Voltage (214): 3.5 V entered, 3.39 V now"
            << entered;
        QTest::newRow("pushed by the brake's gap")
            << "" << 215 << 0.7 << "Brake Start Voltage (216): 0.8 V before, 0.9 V now" << ordered;
        QTest::newRow("pushed by the cutoffs' order")
            << "" << 141 << 10.0 << "Low Voltage Cutoff (End) (142): 40 V before, 9.5 V now"
            << ordered;
        QTest::newRow("moved by a limit of a rated voltage")
            << "" << 70 << 72.0 << "Fast Over Voltage Fault (147): 94.5 V before, 90 V now"
            << limited;
        QTest::newRow("held by a limit, then by the cutoffs' order")
            << "" << 70 << 72.0 << "Max Regen Voltage (Start) (194): 85.5 V before, 59.5 V now"
            << ordered;
        // Beyond its limit of 60 V and the room the regen values leave it.
        QTest::newRow("entered beyond its limit, quoted as entered")
            << "" << 141 << 65.0 << "Low Voltage Cutoff (Start) (141): 65 V entered, 59 V now"
            << entered;
        // 141 pushed down by the regen start and up by the end typed: once
        // the regen start is back, the end still holds it up.
        QTest::newRow("held by the order once the value pushing it is back")
            << "194=40 142=41.8" << 194 << 57.0
            << "Low Voltage Cutoff (Start) (141): 42 V before, 42.3 V now" << ordered;
    }

    // The lines of the box under the reason each value moved: a value
    // entered with what it is held at, a value moved with the value last
    // given to it, one not put back with where it stays.
    void movesNamed()
    {
        QFETCH(QString, before);
        QFETCH(int, address);
        QFETCH(double, typed);
        QFETCH(QString, line);
        QFETCH(QString, heading);
        for (const QString& step : before.split(' ', Qt::SkipEmptyParts))
            take(step);
        const int told = w.limitedTexts().size();
        w.f->type(address, typed);
        const QStringList texts = w.limitedTexts();
        QCOMPARE(texts.size(), told + 1);
        QVERIFY2(paragraphOf(texts.last(), line).startsWith(heading), qPrintable(texts.last()));
    }

    // A limit's move by one raw step, 60.01 V to 60 V, reads alike: it is
    // named with both raw values, and written.
    void moveThatReadsAlikeNamed()
    {
        QVERIFY(w.useController({{195, 3414}}));
        const int told = w.limitedTexts().size();
        w.rememberController(followingRatedVoltage() << ratedVoltageAddress);
        w.f->type(ratedVoltageAddress, 72);
        const QStringList texts = w.limitedTexts();
        QCOMPARE(texts.size(), told + 1);
        QVERIFY2(
            texts.last().contains(
                "\n  Max Regen Voltage (End) (195): 60 V (raw 3414) before, 60 V (raw 3413) now"),
            qPrintable(texts.last()));
        QVERIFY(describe(w.f->save()).contains("195=3413"));
    }

    // The Dev Screen's value box writes the value typed, below the track
    // of the slider as well.
    void devScreenValueBelowTheTrack()
    {
        w.f->find<QSpinBox>("addressInput")->setValue(142);
        w.f->find<QDoubleSpinBox>("valueDisplay")->setValue(10);
        w.rememberController({142});
        QCOMPARE(describe(w.f->save()), QString("142=853"));
    }

    // Every rated voltage typed in turn, and beyond its limits: no value
    // typed loops or crashes the window, and 48 V typed back leaves nothing
    // to write.
    void ratedVoltageSwept()
    {
        w.f->showPage(pageOf(Slider));
        w.f->find<QCheckBox>("ratedSystemVoltageCheckBox")->setChecked(true);
        for (int volts = 0; volts <= 120; ++volts)
            w.f->type(ratedVoltageAddress, volts);
        for (int volts = 120; volts >= 0; volts -= 7)
            w.f->type(ratedVoltageAddress, volts);
        w.f->type(ratedVoltageAddress, 48);
        const QMap<int, int> nothing = w.f->save();
        QVERIFY2(nothing.isEmpty(), qPrintable(describe(nothing)));
    }

    void ratedVoltageSet_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("volts");
        QTest::addColumn<int>("taken"); // within the limits of 12 to 90 V
        for (const char* from : {"typed", "file"}) {
            for (int volts : {8, 12, 20, 21, 24, 47, 90, 100})
                QTest::addRow("%s %d V", from, volts) << from << volts << qBound(12, volts, 90);
        }
    }

    // A rated voltage typed or from a file: Save writes it and the values
    // it scales or limits, nothing else. One from a file set back to what
    // the controller holds leaves nothing to write.
    void ratedVoltageSet()
    {
        QFETCH(QString, from);
        QFETCH(int, volts);
        QFETCH(int, taken);
        auto set = [&] {
            if (from == "typed")
                w.f->type(ratedVoltageAddress, volts);
            else
                w.openFile(entry("70", QByteArray::number(volts).constData()));
        };
        set();
        QCOMPARE(w.f->model()->getParameter(ratedVoltageAddress)->getValue(), double(taken));
        w.f->type(ratedVoltageAddress, 48);
        const QMap<int, int> nothing = w.f->save();
        QVERIFY2(nothing.isEmpty(), qPrintable(describe(nothing)));

        set();
        const QList<int> marked = w.f->model()->getUnsavedValues().keys();
        w.rememberController(marked);
        const QMap<int, int> written = w.f->save();
        QCOMPARE(written.value(ratedVoltageAddress, -1), taken);
        QCOMPARE(writtenNotFollowing(written), QList<int>());
    }

    void ratedVoltageKeepsScaledValues_data()
    {
        QTest::addColumn<int>("volts");
        for (int volts : {13, 24, 47})
            QTest::addRow("%d V", volts) << volts;
    }

    // A rated voltage typed: the values it scales keep the controller's raw
    // values where their limits let them stand; Save writes the rated
    // voltage alone, and an Export carries the controller's values.
    void ratedVoltageKeepsScaledValues()
    {
        QFETCH(int, volts);
        QMap<int, int> controller;
        for (int address : {141, 142, 147, 148, 149, 150, 194, 195})
            controller.insert(address, int(w.f->simulator->registerValue(address)));
        w.f->type(ratedVoltageAddress, volts);
        QMap<int, int> held;
        for (int address : controller.keys())
            held.insert(address, w.f->model()->getParameter(address)->getRegisterValue());
        QCOMPARE(describe(held), describe(controller));
        QCOMPARE(w.f->model()->getUnsavedValues().keys(), QList<int>{ratedVoltageAddress});
        const QMap<int, int> exported = w.exportAll();
        for (int address : controller.keys())
            QCOMPARE(exported.value(address, -1), controller.value(address));
        w.rememberController({ratedVoltageAddress});
        QCOMPARE(describe(w.f->save()), QString("70=%1").arg(volts));
    }

    void orderHoldsForWhatSaveWrites_data()
    {
        QTest::addColumn<int>("rated");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("written");
        // Steps as take() reads them; "save" saves, judges the controller's
        // values and compares what it wrote with the next of written, for
        // rated voltages of 13, 48 and 72 V. At 72 V the cutoffs stand at
        // their limits, 58.5, 59, 59.5 and 60 V, before a step. A value
        // typed keeps the volts typed when the rated voltage changes; the
        // controller's keep their raw values.
        using Saves = QList<QStringList>;
        const QList<std::tuple<const char*, const char*, Saves>> rows = {
            {"cutoff end pushed by the start",
             "70=R; 141=@142; 70=48; save; 141=back; save",
             {{"141=922 142=879", ""},
              {"141=3413 142=3371", ""},
              {"141=4992 194=5035 195=5077", ""}}},
            {"cutoff start pushed by the regen start",
             "70=R; 194=@141; 70=48; save",
             {{"141=930 142=887 194=973"}, {"141=3541 194=3584"}, {"194=5035 195=5077"}}},
            {"regen start pushed by the regen end",
             "70=R; 195=@194; 70=48; save",
             {{"141=1229 142=1186 194=1271 195=1314"}, {"194=4821 195=4864"}, {"195=5077"}}},
            {"cutoff start pushed up by the end typed back",
             "70=R; 141=@142-2; 142=@142+1; 142=back; save",
             {{"70=13 141=3560"},
              {"141=3456"},
              {"70=72 141=3356 142=3328 147=5120 149=5120 194=3385 195=3413"}}},
            // The end dragged to the top stays there once the regen start
            // that pushed it down goes up again.
            {"cutoffs put back by a drag",
             "70=R; d142=90; 194=@194-3; d194=90; save",
             {{"70=13 141=18590 142=18432 194=18747 195=18904"},
              {"141=5035 142=4992 194=5077 195=5120"},
              {"70=72 141=3356 142=3328 147=5120 149=5120 194=3385 195=3413"}}},
            // The maximum typed back last wins: the dead band typed before
            // it is held at half the way from the start.
            {"throttle maximum typed back",
             "70=R; 213=4; 151=1.4; 213=back; save",
             {{"70=13 151=983"},
              {"151=983"},
              {"70=72 141=3356 142=3328 147=5120 149=5120 151=983 194=3385 195=3413"}}},
            {"brake start typed back",
             "70=R; 215=@216-0.1; 216=back; save",
             {{"70=13 215=573 216=737"},
              {"215=573 216=737"},
              {"70=72 141=3356 142=3328 147=5120 149=5120 194=3385 195=3413 215=573 216=737"}}},
            // Pushed by one value and back by another typed next to its own:
            // set back, the first would leave it 0.2 V from that one.
            {"cutoff start not put back within 0.5 V of the end",
             "70=R; 194=@141-2; 142=@141+2.3; 194=back; save",
             {{"70=13 141=3686 142=3529"},
              {"141=3610 142=3567"},
              {"70=72 141=3356 142=3328 147=5120 149=5120 194=3385 195=3413"}}},
            {"regen start not put back within 0.5 V of the end",
             "70=R; 141=@194+2; 195=@194-2.3; 141=back; save",
             {{"70=13 194=4758 195=4915"},
              {"194=4838 195=4881"},
              {"70=72 141=3356 142=3169 147=5120 149=5120 194=3385 195=3413"}}}};
        const QList<int> rated{13, 48, 72};
        for (int k = 0; k < rated.size(); ++k) {
            for (const auto& row : rows)
                QTest::addRow("%s, %d V", std::get<0>(row), rated[k])
                    << rated[k] << std::get<1>(row) << std::get<2>(row).at(k);
        }
    }

    // Typed values, rated voltages, drags and values put back in turn: Save
    // writes the values expected, and what the controller holds after each
    // save keeps the graphs' orders, the cutoffs 0.5 V apart, the throttle's
    // maximum above its start and dead band, the brake values 0.2 V apart.
    void orderHoldsForWhatSaveWrites()
    {
        QFETCH(int, rated);
        QFETCH(QString, steps);
        QFETCH(QStringList, written);
        w.rememberController(followingRatedVoltage()
                             << ratedVoltageAddress << 151 << 213 << 214 << 215 << 216);
        for (const QString& step : steps.split("; ")) {
            if (step != "save") {
                take(step, rated);
                continue;
            }
            QVERIFY(!written.isEmpty());
            QCOMPARE(describe(w.f->save()), written.takeFirst());
            QCOMPARE(judgeOrders(), QString());
        }
    }

    void ratedVoltageRoundTrip_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("trip");
        const QList<QPair<const char*, const char*>> sequences = {
            {"cutoff start typed", "141=42.4"},
            {"regen start typed", "194=45"},
            {"cutoff start pushed by the regen start", "141=41.7; 194=42"},
            {"regen start from a file", "f194=3840"},
            {"cutoff start pushed by a drag", "d194=42.2"}};
        for (const auto& sequence : sequences) {
            for (int trip : {72, 24})
                QTest::addRow("%s, 48 V to %d V and back", sequence.first, trip)
                    << sequence.second << trip;
        }
        QTest::newRow("regen start typed, 24 V to 72 V and back") << "70=24; 194=45" << 72;
        QTest::newRow("cutoff start pushed by the regen start, 48 V to 12 V and back")
            << "141=41.7; 194=42" << 12;
    }

    // Typed values, files and drags, then the rated voltage set to another
    // value and back: Save writes what it writes without that round trip,
    // and the way back tells of no move.
    void ratedVoltageRoundTrip()
    {
        QFETCH(QString, steps);
        QFETCH(int, trip);
        w.rememberController({70, 142, 141, 194, 195});
        for (const QString& step : steps.split("; "))
            take(step);
        const QMap<int, int> without = w.f->save();
        QVERIFY(w.putBack());

        w.rememberController({70, 142, 141, 194, 195});
        for (const QString& step : steps.split("; "))
            take(step);
        const double rated = w.f->model()->getParameter(ratedVoltageAddress)->getValue();
        w.f->type(ratedVoltageAddress, trip);
        const int told = w.limitedTexts().size();
        w.f->type(ratedVoltageAddress, rated);
        QCOMPARE(w.limitedTexts().mid(told), QStringList());
        QCOMPARE(describe(w.f->save()), describe(without));
    }

    void ratedVoltageChains_data()
    {
        QTest::addColumn<RegisterMap>("controller");
        QTest::addColumn<QString>("steps");    // as take() reads them, and "save"
        QTest::addColumn<QString>("written");  // by the last save
        QTest::addColumn<QList<int>>("named"); // by the last step's box
        using M = QMap<int, int>;
        using L = QList<int>;
        QTest::newRow("set back after a save") << M{} << "70=72; save; 70=48"
                                               << "70=48" << L{};
        QTest::newRow("typed values, then 48, 72, 24 and 48 V")
            << M{} << "141=41.7; 194=42; 70=72; 70=24; 70=48"
            << "141=3541 194=3584" << L{};
        QTest::newRow("48, 72, 90 and 72 V")
            << M{} << "70=72; 70=90; 70=72"
            << "70=72 141=3356 142=3328 147=5120 149=5120 194=3385 195=3413"
            << L{141, 142, 147, 149, 194, 195};
        // The cutoffs and the regen values 0.2 V apart at 48 V.
        QTest::newRow("typed, then 48, 72 and 48 V on orders broken")
            << M{{141, 3413}, {142, 3396}, {195, 4881}} << "194=50; 70=72; 70=48"
            << "194=4267" << L{};
    }

    // Chains of rated voltages after typed values and saves: the last save
    // writes what the last rated voltage and the values typed give, the
    // values a save wrote being the controller's own, and the last step's
    // box names each value it moved.
    void ratedVoltageChains()
    {
        QFETCH(RegisterMap, controller);
        QFETCH(QString, steps);
        QFETCH(QString, written);
        QFETCH(QList<int>, named);
        QVERIFY(w.useController(controller));
        w.rememberController(followingRatedVoltage() << ratedVoltageAddress);
        int told = 0;
        for (const QString& step : steps.split("; ")) {
            told = w.limitedTexts().size();
            if (step == "save")
                w.f->save();
            else
                take(step);
        }
        const QStringList texts = w.limitedTexts().mid(told);
        QList<int> namedNow = texts.isEmpty() ? QList<int>() : namedIn(texts.last());
        std::sort(namedNow.begin(), namedNow.end());
        QCOMPARE(namedNow, named);
        QCOMPARE(describe(w.f->save()), written);
    }

    void typedOnBlankController_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("typed");
        QTest::newRow("cutoff start") << 141 << 40.0;
        QTest::newRow("cutoff end") << 142 << 30.0;
        QTest::newRow("regen start") << 194 << 50.0;
    }

    // A controller whose rated voltage reads 0 gives its voltages no scale:
    // a voltage typed cannot be taken, and a box tells so, without a word
    // of writing it.
    void typedOnBlankController()
    {
        QFETCH(int, address);
        QFETCH(double, typed);
        QVERIFY(w.useController({{ratedVoltageAddress, 0}}));
        const int told = w.limitedTexts().size();
        w.f->type(address, typed);
        const QStringList texts = w.limitedTexts();
        QCOMPARE(texts.size(), told + 1);
        QCOMPARE(namedIn(texts.last()), QList<int>{address});
        QVERIFY2(
            texts.last().contains(QString("(%1): %2 V entered, 0 V now").arg(address).arg(typed)),
            qPrintable(texts.last()));
        QVERIFY2(!texts.last().contains("will write"), qPrintable(texts.last()));
        QCOMPARE(w.f->model()->getUnsavedValues().keys(), QList<int>());
        QCOMPARE(w.f->save(), (QMap<int, int>()));
    }

    void ratedVoltageRead_data()
    {
        QTest::addColumn<int>("volts");
        for (int volts : {0, 8, 12, 20, 21, 24, 90, 100, 255})
            QTest::addRow("%d V", volts) << volts;
    }

    // A controller's rated voltage, within the limits or beyond: the
    // graphs show what they can and the read leaves nothing to write.
    void ratedVoltageRead()
    {
        QFETCH(int, volts);
        QVERIFY(w.useController({{ratedVoltageAddress, volts}}));
        QCOMPARE(w.f->model()->getUnsavedValues(), (QMap<int, int>()));
        QCOMPARE(w.f->save(), (QMap<int, int>()));
        for (const auto* thumb : itemsOf<SliderThumb>(w.view(Slider))) {
            QVERIFY(thumb->getPosition() >= 19 - 1e-9);
            QVERIFY(thumb->getPosition() <= 90 + 1e-9);
        }
    }
};

QTEST_MAIN(TestWindowGraphValues)
#include "tst_windowgraphvalues.moc"
