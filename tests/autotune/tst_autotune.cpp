// Judging and repairing learnt hall tables; the stationary and the spinning
// motor test, and the wizard's pages through both, against the simulator
// playing a motor.

#include "autotunerig.h"
#include "autotunewizard.h"
#include "cablebench.h"
#include "dynamicautotune.h"
#include "hallchecker.h"
#include "kelvara.h"
#include "latereplies.h"
#include "modalwatcher.h"
#include "operationlimit.h"
#include "parameter.h"
#include "staticautotune.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(CableAdapter::Trigger)

// How the controller a stop is owed to is identified again.
enum class Identified {
    ByRead,                    // the window's complete read of it
    ByCheckBeforeSave,         // the identity check before a write, refused
    ByCheckBeforeDecidingRead, // the one before a read whose answer decides
    ByCheckInARead,            // the one before a block of a read sent again
};
Q_DECLARE_METATYPE(Identified)

using Registers = QVector<quint16>;
using Table = QList<int>;
using Measurements = QList<QPair<double, double>>; // (Rs, Ls)

namespace {

// What a run of either test ended with.
struct Run
{
    QString outcome;
    QList<int> unsaved;
    QString message;
    bool stoppedSpinning = false;
    HallChecker* hall = nullptr;
    std::shared_ptr<QObject> test;
};

// Runs the spinning test (direction flipped) or the stationary one, on test
// time scaled when clockScale is set.
Run runTest(AutotuneRig& rig, bool spinning, int clockScale = 0)
{
    Run run;
    if (spinning) {
        auto* test = new DynamicAutotune(nullptr, rig.model.get(), rig.link.get());
        run.test.reset(test);
        if (clockScale)
            test->setClock(AutotuneRig::fastClock(clockScale));
        run.outcome = rig.run(*test, &DynamicAutotune::dynamicSuccess,
                              &DynamicAutotune::reportError, [&] { test->startTest(true); });
        run.unsaved = test->unsavedAfterRun();
        run.message = test->getErrorMessage();
        run.stoppedSpinning = test->endedWhileSpinning();
        run.hall = test->getHallChecker();
        return run;
    }
    auto* test = new StaticAutotune(nullptr, rig.model.get(), rig.link.get());
    run.test.reset(test);
    if (clockScale)
        test->setClock(AutotuneRig::fastClock(clockScale));
    run.outcome = rig.run(*test, &StaticAutotune::staticSuccess, &StaticAutotune::reportError,
                          [&] { test->startTest(); });
    run.unsaved = test->unsavedAfterRun();
    return run;
}

RigSetup motor(const std::function<void(MotorBehaviour&)>& change)
{
    return [=](AutotuneRig& r) { r.motor(change); };
}

// Controllers A and B (another serial number) behind the cable bench, the
// cable on A, their motors slow enough to be caught at a run, and a link
// that has read A; test logs go to a scratch folder.
struct BenchLink
{
    BenchLink() { QDir::setCurrent(logs.path()); }
    ~BenchLink() { QDir::setCurrent(previous); }

    static std::unique_ptr<ControllerSimulator> controller(int serial)
    {
        auto sim = std::make_unique<ControllerSimulator>();
        if (!sim->start() || !sim->loadImage(QStringLiteral(KELVARA_SIM_IMAGE)))
            return std::unique_ptr<ControllerSimulator>();
        sim->setRegisterValue(238, serial);
        MotorBehaviour motor = sim->motorBehaviour();
        motor.staticMs = 1500, motor.spinMs = 3000;
        sim->setMotorBehaviour(motor);
        return sim;
    }
    // Reads A, as the window does once connected, and waits for the read
    // unless told not to.
    bool start(bool awaitRead = true)
    {
        if (!bench.start(controller(4711), controller(5150)))
            return false;
        link.setCurrentPortName(bench.port());
        link.setDefaultTimeout(40);
        QSignalSpy read(&link, &KelvaraCom::readAllComplete);
        link.readAll();
        if (!awaitRead)
            return true;
        if (!read.wait(operationLimitMs(&link)) || !model.isValid())
            return false;
        bench.clearLogs();
        return true;
    }
    // A's discovery runs never end by themselves.
    void keepRunsOfA()
    {
        MotorBehaviour motor = bench.a->motorBehaviour();
        motor.discoveryStuck = true;
        bench.a->setMotorBehaviour(motor);
    }

    QTemporaryDir logs;
    QString previous = QDir::currentPath();
    CableBench bench;
    Kelvara model;
    KelvaraCom link{&model};
};

const QByteArray stopFrame = QByteArray::fromHex("011001e10001020000"); // 481 := 0
const QByteArray stopReadBack = QByteArray::fromHex("010301e10001");
const QByteArray checkRead = QByteArray::fromHex("010300ed0014"); // registers 237 to 256

// The controller that answers is read as the window reads one, twice; the
// request it got right after the first read's last block (registers 500
// to 510).
QByteArray requestAfterRead(BenchLink& t, const ControllerSimulator& controller)
{
    const int before = controller.requestCount();
    QSignalSpy read(&t.link, &KelvaraCom::readAllComplete);
    t.link.readAll();
    t.link.readAll();
    if (!QTest::qWaitFor([&] { return read.count() >= 2; }, 10000))
        return QByteArray("no read");
    const QVector<QByteArray> frames = controller.requests().mid(before);
    for (int i = 0; i + 1 < frames.size(); ++i) {
        if (frames.at(i).startsWith(QByteArray::fromHex("010301f4000b")))
            return frames.at(i + 1);
    }
    return QByteArray();
}

// The request the controller got right after the identity check's read
// that identified it (the last of a run of them), from its request from on.
QByteArray requestAfterCheck(const ControllerSimulator& controller, int from)
{
    const QVector<QByteArray> frames = controller.requests().mid(from);
    for (int i = 0; i + 1 < frames.size(); ++i) {
        if (frames.at(i).startsWith(checkRead) && !frames.at(i + 1).startsWith(checkRead))
            return frames.at(i + 1);
    }
    return QByteArray("no check");
}

// The first request the controller got, from its request from on, that is
// not a read of the identity check.
QByteArray requestBeyondChecks(const ControllerSimulator& controller, int from)
{
    for (const QByteArray& frame : controller.requests().mid(from)) {
        if (!frame.startsWith(checkRead))
            return frame;
    }
    return QByteArray("none");
}

// Write frames the controller received other than the one given, from its
// request from on.
int writesOtherThan(const ControllerSimulator& controller, int from, const QByteArray& allowed)
{
    const QVector<QByteArray> frames = controller.requests().mid(from);
    return int(std::count_if(frames.cbegin(), frames.cend(), [&](const QByteArray& frame) {
        return frame.size() > 1 && frame.at(1) == 0x10 && !frame.startsWith(allowed);
    }));
}

// A widget of the page on show (earlier pages may still await deletion).
template<class T>
T* shown(QWidget* wizard, const QString& name = QString())
{
    for (T* widget : wizard->findChildren<T*>(name)) {
        if (widget->isVisibleTo(wizard))
            return widget;
    }
    return nullptr;
}

// The text of a note on the page on show; none: empty.
QString noteText(QWidget* wizard, const QString& name)
{
    const QLabel* note = shown<QLabel>(wizard, name);
    return note ? note->text() : QString();
}

QPushButton* button(QWidget* wizard, const QString& name)
{
    return wizard->findChild<QPushButton*>(name);
}

AutotuneWizard* openWizard(AutotuneRig& rig, int clockScale = 20)
{
    auto* wizard = new AutotuneWizard(rig.model.get(), rig.link.get(), nullptr);
    wizard->findChild<StaticAutotune*>()->setClock(AutotuneRig::fastClock(clockScale));
    wizard->findChild<DynamicAutotune*>()->setClock(AutotuneRig::fastClock(clockScale));
    wizard->show();
    return wizard;
}

// Runs the test of the current page until it has ended.
bool launch(AutotuneWizard* wizard)
{
    QPushButton* cancel = button(wizard, "cancel");
    shown<QPushButton>(wizard, "launch")->click();
    return QTest::qWaitFor([&] { return !cancel->isEnabled(); }, 10000)
        && QTest::qWaitFor([&] { return cancel->isEnabled(); }, 10000);
}

QStringList hallRow(QWidget* wizard)
{
    QStringList row;
    auto* table = shown<QTableWidget>(wizard, "hallTable");
    for (int column = 0; column < table->columnCount(); ++column)
        row << table->item(1, column)->text();
    return row;
}

// What the wizard says became of a stop owed.
const QString stopDeliveredText = "The stop was sent to the controller the test was started on, "
                                  "and it reported that its run has ended.";
const QString stopUnansweredText =
    "The stop was sent, but its answer was lost: the frames cannot tell which controller took "
    "it. It will be sent again to the controller the test was started on as soon as that "
    "controller answers again.";
const QString stopOwedText = "The controller the test was started on has not confirmed the stop "
                             "yet: the stop will be sent to it as soon as it answers again.";

bool writesDiscoveryMode(const QByteArray& frame)
{
    return frame.startsWith(QByteArray::fromHex("011001e1000102"));
}

// The cable moves from A to B around a test's limit: the first frame from
// offsetMs after the limit on sets the move off (lost, or reaching A whose
// answer is lost, as frame says), the cable is off every controller for
// gapMs, and the same way back to A backMs after it reached B (never when
// -1).
struct CableMove
{
    bool spinning;
    int offsetMs;
    int gapMs;
    int backMs;
    CableAdapter::TriggerFrame frame;

    QString name() const
    {
        return QStringLiteral("%1 at %2 ms, gap %3 ms, back after %4 ms%5")
            .arg(spinning ? "spin" : "measurement")
            .arg(offsetMs)
            .arg(gapMs)
            .arg(backMs)
            .arg(frame == CableAdapter::TriggerFrame::ToOld ? ", the frame reaching A" : "");
    }
};

// A test of A whose run never ends by itself, on a bench of its own, with
// the wizard open and the window's connection check and read of a new
// controller, while the cable moves as told. Many run side by side; what
// each did is judged from its adapter's log and its wizard's words.
class CableMoveRun : public QObject
{
public:
    // Test time runs so fast that either limit passes 1.25 s after the
    // first send of the start.
    static constexpr int limitWallMs = 1250;
    static constexpr int checkIntervalMs = 250;

    explicit CableMoveRun(const CableMove& move)
        : move(move)
    {
    }
    ~CableMoveRun() override { delete wizard.data(); }

    QString name() const { return move.name(); }

    bool start()
    {
        if (!t.start(false))
            return false;
        t.keepRunsOfA();
        return true;
    }
    bool isReady() const { return t.model.isValid() && t.link.getMode() == KelvaraCom::IdleMode; }

    void launch()
    {
        t.bench.clearLogs();
        wizard = new AutotuneWizard(&t.model, &t.link, nullptr);
        auto* stationary = wizard->findChild<StaticAutotune*>();
        auto* spinning = wizard->findChild<DynamicAutotune*>();
        stationary->setClock(AutotuneRig::fastClock(5000 / limitWallMs));
        spinning->setClock(AutotuneRig::fastClock(20000 / limitWallMs));
        connect(stationary, &StaticAutotune::reportError, this, [this] { ended = true; });
        connect(spinning, &DynamicAutotune::reportError, this, [this] { ended = true; });
        wizard->show();
        if (move.spinning) {
            button(wizard, "next")->click();
            button(wizard, "next")->click();
        }
        connect(&t.link, &KelvaraCom::frameSent, this, &CableMoveRun::noteFrame);
        // The window reads the controller that answers once it is refused.
        connect(&t.link, &KelvaraCom::errorMessage, this, [this](const QString& title) {
            if (title == QLatin1String(KelvaraCom::otherControllerTitle)) {
                t.link.readAll();
                t.link.readAll();
            }
        });
        connect(&t.bench.adapter, &CableAdapter::moved, this, &CableMoveRun::noteArrival);
        connect(&monitor, &QTimer::timeout, this, [this] {
            t.link.checkConnection();
            if (ended && onB)
                ++checksAfterEnd;
        });
        monitor.start(checkIntervalMs);
        shown<QPushButton>(wizard, "launch")->click();
    }

    // Back on A with the stop delivered; or left on B, the test over, for
    // a few connection checks.
    bool isOver() const
    {
        if (!ended || t.link.getMode() != KelvaraCom::IdleMode)
            return false;
        if (move.backMs < 0)
            return onB && checksAfterEnd >= 6;
        return back && t.link.discoveryStopFate() == OwedStop::Fate::Delivered;
    }

    QStringList faults() const
    {
        QStringList found;
        const Requests all = LateReplies::requests(t.bench.adapter, sent);
        // Answered as the link saw it: within its wait.
        const auto answered = [&](int i) {
            return all.at(i).answeredMs >= 0 && !LateReplies::answeredLate(all.at(i));
        };
        findWritesToB(all, answered, found);
        if (move.backMs >= 0)
            judgeReturn(all, answered, found);
        const QString told = toldFate();
        const QString logged = loggedFate(all, answered);
        if (told != logged)
            found << QStringLiteral("the wizard tells \"%1\", the log \"%2\"").arg(told, logged);
        return found;
    }

private:
    using Requests = QVector<LateReplies::Request>;
    using Answered = std::function<bool(int)>;

    void noteFrame(const QByteArray& frame)
    {
        if (startSent || !writesDiscoveryMode(frame) || frame.at(8) == 0)
            return;
        startSent = true;
        QTimer::singleShot(qMax(0, limitWallMs + move.offsetMs), this, [this] {
            t.bench.moveOn(CableAdapter::Trigger::nextFrame(), t.bench.b.get(), move.gapMs,
                           move.frame);
        });
    }

    void noteArrival(ControllerSimulator* controller)
    {
        if (controller == t.bench.a.get() && onB)
            back = true;
        if (controller != t.bench.b.get() || std::exchange(onB, true) || move.backMs < 0)
            return;
        QTimer::singleShot(move.backMs, this, [this] {
            t.bench.moveOn(CableAdapter::Trigger::nextFrame(), t.bench.a.get(), move.gapMs,
                           move.frame);
        });
    }

    // No write of 481 reaches B once a check has identified it, nor before.
    void findWritesToB(const Requests& all, const Answered& answered, QStringList& found) const
    {
        bool identified = false;
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).controller != t.bench.b.get())
                continue;
            if (writesDiscoveryMode(all.at(i).bytes))
                found << (identified ? "481 written to B after a check identified it"
                                     : "481 written to B");
            identified = identified || (all.at(i).bytes.startsWith(checkRead) && answered(i));
        }
    }

    // Once back, A gets nothing but identity reads before its stop, and the
    // stop within a second of A's first answer the link took, unless it
    // stopped before the cable left it.
    void judgeReturn(const Requests& all, const Answered& answered, QStringList& found) const
    {
        const ControllerSimulator* a = t.bench.a.get();
        if (a->registerValue(481) != 0)
            found << QStringLiteral("A's motor runs");
        const QVector<CableAdapter::LogEntry> log = t.bench.adapter.frameLog();
        double returnMs = -1;
        for (const CableAdapter::LogEntry& entry : log) {
            if (entry.event == CableAdapter::Moved && entry.controller == a)
                returnMs = entry.elapsedMs;
        }
        bool stoppedBefore = false;
        double firstAnswerMs = -1;
        QStringList beforeStop;
        for (int i = 0; i < all.size(); ++i) {
            const LateReplies::Request& request = all.at(i);
            const double sentMs = log.at(request.entry).elapsedMs;
            if (request.controller != a)
                continue;
            const bool stop = request.bytes.startsWith(stopFrame);
            if (sentMs < returnMs) {
                stoppedBefore = stoppedBefore || stop;
                continue;
            }
            if (firstAnswerMs < 0 && answered(i))
                firstAnswerMs = request.answeredMs;
            if (stop) {
                for (const QString& frame : qAsConst(beforeStop))
                    found << "A got " + frame + " before its stop";
                if (!stoppedBefore && firstAnswerMs >= 0 && sentMs - firstAnswerMs > 1000)
                    found << QStringLiteral("A's stop %1 ms after its first answer")
                                 .arg(sentMs - firstAnswerMs);
                return;
            }
            if (!request.bytes.startsWith(checkRead))
                beforeStop << request.bytes.toHex(' ');
        }
        if (!stoppedBefore)
            found << QStringLiteral("A got no stop after it came back");
    }

    // What the wizard's page says became of the stop.
    QString toldFate() const
    {
        const QString text = noteText(wizard, "stopNote");
        if (text.isEmpty())
            return shown<QLabel>(wizard, "controllerNote") ? "owed" : "nothing";
        const int fate =
            QStringList{stopDeliveredText, stopUnansweredText, stopOwedText}.indexOf(text);
        return QStringList{"delivered", "unanswered", "owed"}.value(fate, text);
    }

    // What the log says: the last stop went out unanswered; or it and its
    // read-back right after it were answered by A, whose run it ended; or
    // neither.
    QString loggedFate(const Requests& all, const Answered& answered) const
    {
        int last = -1;
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).bytes.startsWith(stopFrame))
                last = i;
        }
        if (last < 0)
            return "owed";
        if (!answered(last))
            return "unanswered";
        const auto fromA = [&](int i) {
            return i < all.size() && all.at(i).controller == t.bench.a.get() && answered(i);
        };
        const bool ended =
            fromA(last) && fromA(last + 1) && all.at(last + 1).bytes.startsWith(stopReadBack);
        return ended ? "delivered" : "owed";
    }

    CableMove move;
    BenchLink t;
    SentFrames sent{&t.link};
    QTimer monitor;
    QPointer<AutotuneWizard> wizard;
    bool startSent = false;
    bool ended = false;
    bool onB = false;
    bool back = false;
    int checksAfterEnd = 0;
};

} // namespace

class TestAutotune : public QObject
{
    Q_OBJECT

    std::unique_ptr<Kelvara> model{new Kelvara};

    // The learnt table, also taken as the working table.
    void learn(const Table& table)
    {
        for (int state = 0; state < 8; ++state) {
            model->getParameter(440 + state)->setRegisterValue(table.value(state));
            model->getParameter(80 + state)->setRegisterValue(table.value(state));
        }
    }

private slots:
    void judgesTables_data()
    {
        QTest::addColumn<Table>("table");
        QTest::addColumn<bool>("errors");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("description");

        QTest::newRow("good") << Table{15, 0, 2, 1, 4, 5, 3, 15} << false << true << "";
        QTest::newRow("60 degree halls") << Table{0, 1, 15, 2, 3, 15, 4, 5} << false << false << "";
        QTest::newRow("4 twice, 5 missing")
            << Table{15, 0, 2, 1, 4, 4, 3, 15} << true << false
            << "Invalid hall pattern detected. Sensors may be shorted "
               "together, or have connection issues.\n";
        QTest::newRow("cable off")
            << Table{15, 15, 15, 15, 15, 15, 15, 15} << true << false
            << "No valid hall signals. Maybe the hall cable is disconnected.\n";
        QTest::newRow("sector 7") << Table{15, 0, 2, 1, 4, 7, 3, 15} << true << true
                                  << "Invalid hall pattern detected. Sensors may be shorted "
                                     "together, or have connection issues.\n";
    }

    void judgesTables()
    {
        QFETCH(Table, table);
        QFETCH(bool, errors);
        QFETCH(bool, valid);
        QFETCH(QString, description);
        learn(table);
        HallChecker checker(nullptr, model.get());
        QCOMPARE(checker.hallSensorErrors(), errors);
        QCOMPARE(checker.areHallsValid(), valid);
        if (errors && !description.isEmpty())
            QCOMPARE(checker.describeHallError(), description);
    }

    void repairsOneDuplicate_data()
    {
        QTest::addColumn<Table>("table");
        QTest::addColumn<Table>("repaired");
        QTest::newRow("wraps to 0")
            << Table{15, 5, 1, 2, 3, 4, 5, 15} << Table{15, 5, 1, 2, 3, 4, 0, 15};
    }

    void repairsOneDuplicate()
    {
        QFETCH(Table, table);
        QFETCH(Table, repaired);
        learn(table);
        HallChecker(nullptr, model.get()).adjustHallValues();
        Table working;
        for (int state = 0; state < 8; ++state)
            working << int(model->getParameter(80 + state)->getValue());
        QCOMPARE(working, repaired);
    }

    // Measurements (Rs, Ls) agree when every two are within 10 % of the
    // smaller one, in both values.
    void agreementWithinTenPercent_data()
    {
        QTest::addColumn<Measurements>("measured");
        QTest::addColumn<bool>("agree");
        QTest::newRow("9 % apart") << Measurements{{100, 200}, {109, 218}, {104, 212}} << true;
        QTest::newRow("Rs 11 % apart") << Measurements{{100, 200}, {105, 200}, {111, 200}} << false;
        QTest::newRow("Ls 11 % apart, larger first") << Measurements{{62, 222}, {62, 200}} << false;
        QTest::newRow("a zero") << Measurements{{62, 184}, {0, 184}} << false;
    }

    void agreementWithinTenPercent()
    {
        QFETCH(Measurements, measured);
        QTEST(StaticAutotune::areWithinTenPercent(&measured), "agree");
    }

    void stationaryMeasuresWritesAndSaves()
    {
        AutotuneRig rig;
        rig.model->getParameter(70)->setValue(72.0);
        rig.model->getParameter(72)->setValue(100.0); // 100 x 10 x 72 > 61400: capped
        rig.model->getParameter(78)->setValue(10.0);

        QCOMPARE(runTest(rig, false).outcome, QString("success"));
        QCOMPARE(rig.writesTo(481), (QList<int>{1, 1, 1}));
        QCOMPARE(rig.writesTo(72), QList<int>{8528}); // 61400 / 720
        // The means of 62.4 mOhm and 184 uH measured x1.00, x1.01 and x1.02.
        QCOMPARE(rig.sim.registerValues(74, 2), (Registers{1858, 6302}));
        QCOMPARE(rig.sim.registerValue(511), quint16(4096));
        // Not the test's to write: 70, and the voltages whose controller
        // values lie beyond their limits at the new nominal voltage.
        QCOMPARE(rig.model->getUnsavedValues().keys(), (QList<int>{70, 141, 147, 149, 194, 195}));

        const QStringList logs = rig.logs();
        QCOMPARE(logs.size(), 1);
        QVERIFY(logs[0].contains("Addr: 75: Rs                                  - Value: 63.02\n"));
        QVERIFY(logs[0].endsWith(
            "Addr: 511: Write Parameters to Flash           - Value: 4096\nEnd of Test\n"));
    }

    // A bad table leaves the working table alone, runs sensorless and, unlike
    // a test that only leaves its values in RAM, saves to flash.
    void spinLearnsHalls_data()
    {
        QTest::addColumn<int>("sensorType");
        QTest::addColumn<QList<int>>("table"); // learnt by the motor; empty: a good one
        QTest::addColumn<QString>("status");
        QTest::addColumn<QList<int>>("sensorTypeWrites");
        QTest::newRow("hall sensor") << 0 << QList<int>()
                                     << "Hall Sensors Okay.\nUsing Motor Position Sensor "
                                        "Type: Hall sensor start and sensorless run."
                                     << QList<int>{1};
        QTest::newRow("cable off")
            << 1 << QList<int>{15, 15, 15, 15, 15, 15, 15, 15}
            << "No valid hall signals. Maybe the hall cable is disconnected.\n\n"
               "Using Motor Position Sensor Type: Sensorless."
            << QList<int>{2};
    }

    void spinLearnsHalls()
    {
        QFETCH(int, sensorType);
        QFETCH(QList<int>, table);
        AutotuneRig rig;
        rig.setRegister(77, sensorType);
        if (!table.isEmpty())
            rig.motor([&](MotorBehaviour& m) { m.hallTable = table.toVector(); });
        const Registers workingTable = rig.sim.registerValues(80, 8);

        const Run run = runTest(rig, true);
        QCOMPARE(run.outcome, QString("success"));
        QTEST(run.hall->getStatusText(), "status");
        QTEST(rig.writesTo(77), "sensorTypeWrites");
        QCOMPARE(rig.writesTo(127), QList<int>{3}); // the direction flipped once
        QCOMPARE(rig.sim.registerValue(511), quint16(4096));
        QVERIFY(rig.model->getUnsavedValues().isEmpty());
        QCOMPARE(run.hall->isHallFailure(), !table.isEmpty());
        if (!table.isEmpty()) {
            QCOMPARE(run.hall->getWarningText(), QString("Warning: Hall sensor error"));
            QCOMPARE(rig.sim.registerValues(80, 8), workingTable);
            return;
        }
        QCOMPARE(rig.writesTo(481), QList<int>{2});
        QCOMPARE(rig.sim.registerValue(72), quint16(1135));
        QCOMPARE(rig.sim.registerValue(79), quint16(27352)); // 300.5 degrees
        QCOMPARE(rig.sim.registerValues(80, 8), (Registers{15, 2, 4, 3, 0, 1, 5, 15}));
        QCOMPARE(run.hall->getHallOffSet(), -59.5);
    }

    void errorPaths_data()
    {
        QTest::addColumn<bool>("spinning");
        QTest::addColumn<RigSetup>("setup");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("message");
        // The run left going: "sent" its stop, "owed" one no controller
        // answered to be identified for.
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QList<int>>("unsaved"); // written by the test, unsaved again
        const QList<int> constants{78};
        const QString stall = "The spinning autotune test could not complete properly";
        // From the spin's start: no check is answered.
        const RigSetup linkLost = [](AutotuneRig& r) {
            QObject::connect(&r.sim, &ControllerSimulator::requestReceived, [&r](QByteArray frame) {
                if (frame.startsWith(QByteArray::fromHex("011001e10001020002"))) // 481 := 2
                    r.sim.setSilent(true);
            });
        };
        const RigSetup flashRefused = [](AutotuneRig& r) {
            r.sim.setFlashSaveFails(true);
            r.sim.setTorqueCommand(200);
        };
        const auto row = [](const char* tag, bool spinning, const RigSetup& setup,
                            const char* outcome, const QString& message, const char* stop,
                            const QList<int>& unsaved) {
            QTest::newRow(tag) << spinning << setup << QString(outcome) << message << QString(stop)
                               << unsaved;
        };

        row("inconsistent", false, motor([](MotorBehaviour& m) { m.inconsistent = true; }),
            "error 1", "", "", constants);
        row("measurement never ends", false,
            motor([](MotorBehaviour& m) { m.discoveryStuck = true; }), "error 0", "", "sent",
            constants);
        row("motor running at the flash save", false, flashRefused, "error 3", "", "",
            {74, 75, 78});
        row("stall", true, motor([](MotorBehaviour& m) { m.stall = true; }), "error 5", stall, "",
            {127});
        row("no motor", true, motor([](MotorBehaviour& m) { m.connected = false; }), "error 5",
            stall
                + ".*\n\\*No phase currents detected. Please ensure that all 3 "
                  "phases are connected to motor windings.\n",
            "", {127});
        row("link lost during the spin", true, linkLost, "error 1", "", "owed", {127});
        row("fault after the spin, yellow dead", true,
            motor([](MotorBehaviour& m) { m.spinFaults = 2, m.deadPhases = 2; }), "error 5",
            "^No current detected on Yellow phase. Please check motor connection and try again.\n$",
            "", {127});
    }

    void errorPaths()
    {
        QFETCH(bool, spinning);
        QFETCH(RigSetup, setup);
        QFETCH(QString, message);
        QFETCH(QString, stop);
        QFETCH(QList<int>, unsaved);
        AutotuneRig rig;
        rig.model->getParameter(78)->setValue(12.0);
        // Test time runs 12 times faster: a spin of 1250 ms (15 s) ends after
        // the stall watch (5 to 14 s), and its end is seen before the 20 s
        // limit (1667 ms) even when a loaded machine holds up the polls.
        rig.motor([](MotorBehaviour& m) { m.spinMs = 1250; });
        setup(rig);

        const Run run = runTest(rig, spinning, spinning ? 12 : 10);
        QTEST(run.outcome, "outcome");
        QVERIFY2(QRegularExpression(message, QRegularExpression::DotMatchesEverythingOption)
                     .match(run.message)
                     .hasMatch(),
                 qPrintable(run.message));
        QCOMPARE(run.stoppedSpinning, spinning && !stop.isEmpty());
        QCOMPARE(rig.link->discoveryStopFate(),
                 stop == "sent"       ? OwedStop::Fate::Delivered
                     : stop == "owed" ? OwedStop::Fate::Owed
                                      : OwedStop::Fate::None);
        // No stop goes to a controller that no check has found answering.
        QCOMPARE(rig.writesTo(481).endsWith(0), stop == "sent");
        // The stationary test tells all it left unsaved; of the spinning one
        // the flipped direction, which reached no flash, is checked.
        if (!spinning)
            QCOMPARE(run.unsaved, unsaved);
        for (const int address : unsaved)
            QVERIFY(run.unsaved.contains(address)
                    && rig.model->getUnsavedValues().contains(address));
        QVERIFY(rig.model->getUnsavedValues().contains(78));
        QVERIFY(!rig.model->getUnsavedValues().contains(481)); // the stop is no edit to save
        QVERIFY(rig.logs().value(0).endsWith("End of Test\n"));
        // A spin that failed takes no Kv and no hall offset.
        if (spinning)
            QCOMPARE(rig.writesTo(72) + rig.writesTo(79), QList<int>());
    }

    // A spin whose link drops every frame from its start: the run fails and
    // its controller is owed the stop. While nothing answers, the link asks
    // who answers (at the window's connection checks, or by itself once a
    // second while a box holds them) and sends no stop. Once the controller
    // answers such a check, the stop is the next frame, its read-back
    // follows (the test and its wizard may be gone by then), and no more.
    void stopGoesOnceTheControllerAnswers_data()
    {
        QTest::addColumn<bool>("windowChecks");
        QTest::newRow("the window checks the connection") << true;
        QTest::newRow("a box holds the window's checks") << false;
    }

    void stopGoesOnceTheControllerAnswers()
    {
        QFETCH(bool, windowChecks);
        AutotuneRig rig;
        rig.motor([](MotorBehaviour& m) { m.spinMs = 600000; }); // turns until stopped
        bool runEnded = false;
        int checksDropped = 0;
        QObject::connect(&rig.sim, &ControllerSimulator::requestReceived, [&](QByteArray frame) {
            if (frame.startsWith(QByteArray::fromHex("011001e10001020002"))) // 481 := 2
                rig.sim.dropRequestsFor(60000);
            // The controller answers again once two checks after the run went unanswered.
            if (runEnded && frame.startsWith(checkRead) && ++checksDropped == 2)
                rig.sim.dropRequestsFor(0);
        });
        QTimer monitor; // the window's connection check
        QObject::connect(&monitor, &QTimer::timeout, rig.link.get(), &KelvaraCom::checkConnection);
        if (windowChecks)
            monitor.start(100);

        Run run = runTest(rig, true);
        QCOMPARE(run.outcome, QString("error 1"));
        QVERIFY(run.stoppedSpinning);
        runEnded = true;
        run.test.reset();
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.registerValue(481), quint16(0), 20000);

        auto stops = [&] {
            QStringList seen;  // "dropped", "answered" or "read back", from the first stop
            QByteArray before; // the request before the first stop
            for (const auto& entry : rig.sim.frameLog()) {
                if (entry.direction != ControllerSimulator::Request)
                    continue;
                if (entry.bytes.startsWith(stopFrame)) {
                    if (seen.isEmpty() && !before.startsWith(checkRead))
                        seen << "after " + before.toHex(' ');
                    seen << (entry.note.isEmpty() ? "answered" : entry.note);
                } else if (!seen.isEmpty() && entry.bytes.startsWith(stopReadBack)
                           && entry.note.isEmpty()) {
                    seen << "read back";
                }
                before = entry.bytes;
            }
            return seen;
        };
        QTRY_VERIFY2(stops().endsWith("read back"), qPrintable(stops().join(", ")));
        QCOMPARE(stops(), (QStringList{"answered", "read back"}));
        // Connection checks go on, the link's own only while the stop is
        // owed; the stop has been delivered.
        if (windowChecks)
            QVERIFY(rig.sim.waitForRequests(rig.sim.requestCount() + 5, 10000));
        else
            QVERIFY(!rig.sim.waitForRequests(rig.sim.requestCount() + 1, 2500));
        QCOMPARE(stops(), (QStringList{"answered", "read back"}));
        QCOMPARE(rig.link->discoveryStopFate(), OwedStop::Fate::Delivered);
        QVERIFY(!rig.model->getUnsavedValues().contains(481));
    }

    // A spin that never ends, on a line where a reply of the spin's polls is
    // lost: the controller is identified before the poll goes out again, and
    // its identity reads go unanswered until the run has ended. When the
    // spin's time limit passes, the run ends at once: the poll gives way, the
    // check goes on for the stop alone, and the stop goes no earlier than a
    // check read the controller answered, and right after it, with its
    // read-back next.
    void spinStopsAtItsLimitDuringACheck()
    {
        AutotuneRig rig;
        rig.link->setDefaultTimeout(250);
        rig.motor([](MotorBehaviour& m) { m.discoveryStuck = true; });
        const QByteArray spin = QByteArray::fromHex("011001e10001020002"); // 481 := 2
        QObject::connect(&rig.sim, &ControllerSimulator::requestReceived, [&](QByteArray frame) {
            if (!frame.startsWith(spin))
                return;
            rig.sim.loseRepliesAtAddress(263, 1);
            rig.sim.setSilentAtAddress(237);
        });
        auto test = std::make_unique<DynamicAutotune>(nullptr, rig.model.get(), rig.link.get());
        // 20 s of test time pass in about 1.7 s, long before the check's five
        // tries (250 to 4000 ms, with the quiet line before each) are over.
        test->setClock(AutotuneRig::fastClock(12));
        // When the stop is decided, the model takes 0 for 481 at once; the
        // controller answers checks from then on.
        int requestsAtTheEnd = -1;
        Parameter* discoveryMode = rig.model->getParameter(481);
        QObject::connect(discoveryMode, &Parameter::valueSet, [&] {
            if (requestsAtTheEnd >= 0 || discoveryMode->getRegisterValue() != 0
                || rig.writesTo(481).isEmpty())
                return;
            requestsAtTheEnd = rig.sim.requestCount();
            rig.sim.setSilentAtAddress(237, false);
        });
        const QString outcome =
            rig.run(*test, &DynamicAutotune::dynamicSuccess, &DynamicAutotune::reportError,
                    [&] { test->startTest(false); });
        QCOMPARE(outcome, QString("error 1"));
        QVERIFY(test->endedWhileSpinning());
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.registerValue(481), quint16(0), 10000);
        QVERIFY(requestsAtTheEnd > 0);
        QStringList requests; // from the end of the run: each request, "answered" or not
        for (const auto& entry : rig.sim.frameLog()) {
            if (entry.direction == ControllerSimulator::Request)
                requests << entry.bytes.toHex(' ') + (entry.note.isEmpty() ? "" : " unanswered");
        }
        requests = requests.mid(requestsAtTheEnd);
        const int stopAt =
            requests.indexOf(QRegularExpression("^" + stopFrame.toHex(' ') + " .. ..$"));
        QVERIFY2(stopAt >= 1, qPrintable(requests.join('\n')));
        // Only check reads before it, the one right before it answered.
        for (int i = 0; i < stopAt; ++i)
            QVERIFY2(requests.at(i).startsWith(checkRead.toHex(' ')), qPrintable(requests.at(i)));
        QVERIFY2(!requests.at(stopAt - 1).endsWith("unanswered"), qPrintable(requests.join('\n')));
        QVERIFY(requests.value(stopAt + 1).startsWith(stopReadBack.toHex(' ')));
        QVERIFY(!rig.events.contains("errorMessage(Read Fail)"));
        QCOMPARE(rig.link->discoveryStopFate(), OwedStop::Fate::Delivered);
    }

    // A's spin or winding measurement never ends by itself. The cable moves
    // to B at every 50 ms from 1 s before the test's limit to 0.5 s after
    // it, each offset once for each test, with gaps of 0, 200 and 1500 ms
    // and a way back to A after 0.2 s, 2 s, 10 s or never in turn, the
    // frame that sets a move off lost or reaching the controller the cable
    // leaves; with nothing but the window's connection checks after the
    // return. From the adapter's log: no write of 481 reaches B; once back,
    // A gets nothing but identity reads before its stop, and the stop within
    // a second of A's first answer; the wizard says what the log shows
    // became of the stop. The runs go side by side, each on a bench of its
    // own.
    void stopOwedAroundTheLimit()
    {
        const int backs[] = {200, 2000, 10000, -1};
        const int gaps[] = {0, 200, 1500};
        const QString previous = QDir::currentPath(); // each bench has its logs' folder
        std::vector<std::unique_ptr<CableMoveRun>> runs;
        for (const bool spinning : {true, false}) {
            for (int i = 0; i <= 30; ++i) {
                const auto frame = (i / 4 + int(spinning)) % 3 == 2
                    ? CableAdapter::TriggerFrame::ToOld
                    : CableAdapter::TriggerFrame::Lost;
                runs.push_back(std::make_unique<CableMoveRun>(
                    CableMove{spinning, -1000 + 50 * i, gaps[(i / 4) % 3],
                              backs[(i + int(spinning)) % 4], frame}));
            }
        }
        const auto all = [&runs](bool (CableMoveRun::*state)() const) {
            return std::all_of(runs.begin(), runs.end(),
                               [&](auto& run) { return (*run.*state)(); });
        };
        for (auto& run : runs)
            QVERIFY2(run->start(), qPrintable(run->name()));
        QVERIFY(QTest::qWaitFor([&] { return all(&CableMoveRun::isReady); }, 20000));
        for (auto& run : runs)
            run->launch();
        const bool over = QTest::qWaitFor([&] { return all(&CableMoveRun::isOver); }, 60000);
        QStringList found;
        for (auto& run : runs) {
            for (const QString& fault : run->faults())
                found << run->name() + ": " + fault;
            if (!run->isOver())
                found << run->name() + ": not over";
        }
        runs.clear();
        QDir::setCurrent(previous);
        QVERIFY2(over && found.isEmpty(), qPrintable(found.join('\n')));
    }

    void startAnsweredLate_data()
    {
        QTest::addColumn<bool>("spinning");
        QTest::addColumn<RigSetup>("setup");
        QTest::addColumn<QList<int>>("starts"); // written to 481; a stop last
        QTest::addColumn<int>("lost");          // requests lost from the start on
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("clockScale");
        // On test time 4 times faster: the spin's 20 s limit takes 5000 ms
        // from the first send of the start, a measurement's 5 s 1250 ms. The
        // start is lost, and so are the first two reads of the identity
        // check that follows, three of its four tries; it goes out again
        // 0.8 s after its first send.
        QTest::newRow("spin, in time after its lost start")
            << true << motor([](MotorBehaviour& m) { m.spinMs = 2000; }) << QList<int>{2, 2} << 3
            << "success" << 4;
        QTest::newRow("spin cut short by its lost start")
            << true << motor([](MotorBehaviour& m) { m.spinMs = 4300; }) << QList<int>{2, 2, 0} << 3
            << "error 7" << 4;
        // At 8 times faster the limit (625 ms) passes before the start goes
        // out again: it is not sent.
        QTest::newRow("measurement cut short by its lost start")
            << false << motor([](MotorBehaviour& m) { m.staticMs = 700; }) << QList<int>{1, 0} << 3
            << "error 5" << 8;
        // The start alone is lost three times; each send after a silence
        // follows an identity check of 250 ms: the sends go at 0, 500, 1250
        // and 2500 ms, the fourth waiting 2000 ms for the answer. At 3 times
        // the wall clock, a measurement's limit (1667 ms) passes while the
        // third send waits.
        const RigSetup neverEnds = [](AutotuneRig& r) {
            r.link->setDefaultTimeout(250);
            r.motor([](MotorBehaviour& m) { m.discoveryStuck = true; });
            r.sim.setSilentAtAddress(481);
            QObject::connect(&r.sim, &ControllerSimulator::requestReceived, [&r] {
                if (r.writesTo(481).size() == 3)
                    r.sim.setSilentAtAddress(481, false);
            });
        };
        QTest::newRow("spin never ends")
            << true << neverEnds << QList<int>{2, 2, 2, 2, 0} << 0 << "error 7" << 4;
        QTest::newRow("measurement never ends")
            << false << neverEnds << QList<int>{1, 1, 1, 0} << 0 << "error 5" << 3;
        // The controller takes the first start; its answer is lost three
        // times.
        const RigSetup answerLost = [](AutotuneRig& r) {
            r.link->setDefaultTimeout(250);
            r.motor([](MotorBehaviour& m) { m.discoveryStuck = true; });
            r.sim.loseRepliesAtAddress(481, 3);
        };
        QTest::newRow("spin's start answered at its fourth send")
            << true << answerLost << QList<int>{2, 2, 2, 2, 0} << 0 << "error 7" << 4;
        QTest::newRow("measurement's start answered at its fourth send")
            << false << answerLost << QList<int>{1, 1, 1, 0} << 0 << "error 5" << 3;
    }
    // A run's limit counts from the first send of its start, which the
    // controller may have carried out whatever became of its answer. A run
    // that its lost start leaves time enough succeeds; one that does not
    // end in time is stopped as its limit passes, and a lost start or
    // answer is told as what cut the test short.
    void startAnsweredLate()
    {
        QFETCH(bool, spinning);
        QFETCH(RigSetup, setup);
        QFETCH(QList<int>, starts);
        QFETCH(int, lost);
        QFETCH(int, clockScale);
        AutotuneRig rig;
        rig.link->setDefaultTimeout(100);
        setup(rig);
        Parameter* mode = rig.model->getParameter(481);
        QObject::connect(mode, &Parameter::valueSet, [&] {
            if (mode->getRegisterValue() != 0 && rig.writesTo(481).isEmpty())
                rig.sim.silenceNextRequests(lost);
        });
        QTEST(runTest(rig, spinning, clockScale).outcome, "outcome");
        QCOMPARE(rig.writesTo(481), starts);
        if (starts.last() != 0)
            return;
        double firstStart = -1;
        double stop = 0;
        for (const auto& entry : rig.sim.frameLog()) {
            if (entry.direction != ControllerSimulator::Request
                || !entry.bytes.startsWith(QByteArray::fromHex("011001e1000102")))
                continue;
            if (entry.bytes.at(8) == 0)
                stop = entry.elapsedMs;
            else if (firstStart < 0)
                firstStart = entry.elapsedMs;
        }
        // Not before the limit, nor as late as the answered send's count.
        const int limitMs = (spinning ? 20000 : 5000) / clockScale;
        QVERIFY2(stop - firstStart > limitMs - 50 && stop - firstStart < limitMs + 700,
                 qPrintable(QString::number(stop - firstStart)));
    }

    // The torque command read before a test is lost as the cable moves to
    // B, whose motor turns. B's answer decides nothing: the read waits for
    // the identity check, B is refused it, and no box is raised nor test run.
    void motorCheckOfAnotherController()
    {
        BenchLink t;
        QVERIFY(t.start());
        t.bench.b->setTorqueCommand(200);
        QSignalSpy failures(&t.link, &KelvaraCom::errorMessage);
        ModalWatcher watcher;
        QPointer<AutotuneWizard> wizard = new AutotuneWizard(&t.model, &t.link, nullptr);
        wizard->show();
        QVERIFY(t.bench.moveOn(CableBench::Trigger::readAt(477), t.bench.b.get(), 0));
        shown<QPushButton>(wizard, "launch")->click();
        QVERIFY(failures.wait(5000));
        QCOMPARE(failures.first().first().toString(), QString("Another Controller"));
        QCOMPARE(watcher.count(), 0);
        QVERIFY(button(wizard, "cancel")->isEnabled());
        const QVector<QByteArray> ofB = t.bench.b->requests(); // the check's read of 237 to 256
        QVERIFY(ofB.size() == 1 && ofB.first().startsWith(checkRead));
        wizard->close();
        QTRY_VERIFY(wizard.isNull());
    }

    // A spin of A that never ends is stopped at its limit, and the stop is
    // lost as the cable moves to B. It goes again only once a check has said
    // who answers: the link's own check finds B, which gets neither the stop
    // nor its read-back, over its read (as the window reads a new
    // controller) and the window's checks; A gets the stop first once the
    // cable is back and A is read.
    void stopEndedOnlyByTheControllerStopped()
    {
        BenchLink t;
        QVERIFY(t.start());
        t.keepRunsOfA();
        auto received = [](const ControllerSimulator& controller, const QByteArray& start) {
            const QVector<QByteArray> frames = controller.requests();
            return int(std::count_if(frames.cbegin(), frames.cend(), [&](const QByteArray& frame) {
                return frame.startsWith(start);
            }));
        };
        DynamicAutotune test(nullptr, &t.model, &t.link);
        test.setClock(AutotuneRig::fastClock(12));
        QVERIFY(t.bench.moveOn(CableBench::Trigger::writeTo(481).nth(2), t.bench.b.get(), 0));
        test.startTest(false);
        QTRY_VERIFY_WITH_TIMEOUT(received(*t.bench.b, checkRead) > 0, 15000);
        QCOMPARE(t.bench.lostFrames().size(), 1); // the stop
        QVERIFY(t.bench.lostFrames().first().startsWith(stopFrame));
        QCOMPARE(t.link.discoveryStopFate(), OwedStop::Fate::Unanswered);
        QCOMPARE(received(*t.bench.b, stopFrame) + received(*t.bench.b, stopReadBack), 0);

        QSignalSpy read(&t.link, &KelvaraCom::readAllComplete);
        t.link.readAll();
        QVERIFY(read.wait(5000));
        QTimer monitor; // the window's connection check
        connect(&monitor, &QTimer::timeout, &t.link, &KelvaraCom::checkConnection);
        monitor.start(100);
        QVERIFY(t.bench.b->waitForRequests(t.bench.b->requestCount() + 5, 10000));
        QCOMPARE(received(*t.bench.b, stopFrame) + received(*t.bench.b, stopReadBack), 0);
        const int fromRequest = t.bench.a->requestCount();
        QVERIFY(t.bench.moveNow(t.bench.a.get()));
        // The window reads A as it checks the connection. A move that lost
        // an exchange has A identified by a check first, one that lost none
        // by the read.
        const QByteArray afterRead = requestAfterRead(t, *t.bench.a);
        const QByteArray first = requestBeyondChecks(*t.bench.a, fromRequest);
        QVERIFY2(first.startsWith(stopFrame) || afterRead.startsWith(stopFrame),
                 (first.toHex(' ') + ", " + afterRead.toHex(' ')).constData());
        QTRY_COMPARE(int(t.bench.a->registerValue(481)), 0);
        QCOMPARE(received(*t.bench.b, stopFrame), 0);
    }

    void stopOwedToTheControllerTested_data()
    {
        QTest::addColumn<bool>("spinning");
        QTest::addColumn<CableAdapter::Trigger>("move");
        QTest::addColumn<Identified>("identified");
        const CableAdapter::Trigger pollOfSpin = CableAdapter::Trigger::readAt(481).nth(2);
        const CableAdapter::Trigger pollOfMeasurement = CableAdapter::Trigger::readAt(282).nth(2);
        QTest::newRow("spin") << true << pollOfSpin << Identified::ByRead;
        QTest::newRow("winding measurement") << false << pollOfMeasurement << Identified::ByRead;
        QTest::newRow("spin, the check before a Save")
            << true << pollOfSpin << Identified::ByCheckBeforeSave;
        QTest::newRow("winding measurement, the check before a deciding read")
            << false << pollOfMeasurement << Identified::ByCheckBeforeDecidingRead;
        QTest::newRow("spin, the check in a read of A")
            << true << pollOfSpin << Identified::ByCheckInARead;
    }
    // A's run never ends by itself. The cable moves to B 0.1 s into a
    // silence during a poll of the run, well inside the tries of the poll
    // (40 ms at first), and B is refused the test's read.
    // The window reads B; the cable comes back to A, which is identified
    // again by the window's read of it, or by the check before the user's
    // Save or a read whose answer decides something (both refused, B being
    // the controller read). Or the cable comes back before B is read, and
    // a block of the window's read of A is lost: the check before the block
    // goes again identifies A. The stop is the very next request A gets,
    // and B never gets one. The wizard tells that the stop is owed, then
    // that it reached A.
    void stopOwedToTheControllerTested()
    {
        QFETCH(bool, spinning);
        QFETCH(CableAdapter::Trigger, move);
        QFETCH(Identified, identified);
        BenchLink t;
        QVERIFY(t.start());
        t.keepRunsOfA();
        QPointer<AutotuneWizard> wizard = new AutotuneWizard(&t.model, &t.link, nullptr);
        wizard->show();
        if (spinning) {
            button(wizard, "next")->click();
            button(wizard, "next")->click();
        }
        QSignalSpy refused(&t.link, &KelvaraCom::otherControllerAnswered);
        QVERIFY(t.bench.moveOn(move, t.bench.b.get(), 100));
        QVERIFY(launch(wizard));
        QVERIFY(!refused.isEmpty());
        auto* note = shown<QLabel>(wizard, "controllerNote");
        QVERIFY(note);
        QVERIFY(note->text().contains("the stop will be sent to it as soon as it is identified"));

        if (identified != Identified::ByCheckInARead)
            requestAfterRead(t, *t.bench.b);
        QVERIFY(t.bench.moveNow(t.bench.a.get()));
        const int fromRequest = t.bench.a->requestCount();
        QByteArray next;
        if (identified == Identified::ByRead) {
            next = requestAfterRead(t, *t.bench.a);
        } else if (identified == Identified::ByCheckInARead) {
            QVERIFY(t.bench.moveOn(CableAdapter::Trigger::readAt(250), t.bench.a.get(), 0));
            requestAfterRead(t, *t.bench.a);
            next = requestAfterCheck(*t.bench.a, fromRequest);
        } else {
            QSignalSpy failed(&t.link, &KelvaraCom::errorMessage);
            // As the window does once a box is closed: the cable may have moved.
            t.link.identifyBeforeNextWrite();
            if (identified == Identified::ByCheckBeforeSave) {
                Parameter* speed = t.model.getParameter(229);
                speed->setValue(speed->getValue() + 1);
                t.link.writeAll();
            } else {
                t.link.queueDecidingRead(477, 1);
            }
            QVERIFY(failed.wait(5000));
            QCOMPARE(failed.first().first().toString(), QString("Another Controller"));
            // The window reads the controller that answers, as after any refusal.
            requestAfterRead(t, *t.bench.a);
            next = requestAfterCheck(*t.bench.a, fromRequest);
        }
        QVERIFY2(next.startsWith(stopFrame), next.toHex(' ').constData());
        QTRY_COMPARE(int(t.bench.a->registerValue(481)), 0);
        QTRY_COMPARE(noteText(wizard, "stopNote"), stopDeliveredText);
        // The run, then only its stop, however often it went.
        QList<int> runsOfA;
        for (const QByteArray& frame : t.bench.a->requests()) {
            if (frame.startsWith(QByteArray::fromHex("011001e1000102")))
                runsOfA << quint8(frame.at(8));
        }
        QVERIFY(runsOfA.size() >= 2 && runsOfA.takeFirst() == (spinning ? 2 : 1));
        QCOMPARE(runsOfA.count(0), runsOfA.size());
        QCOMPARE(writesOtherThan(*t.bench.a, fromRequest, stopFrame), 0);
        for (const QByteArray& frame : t.bench.b->requests())
            QCOMPARE(int(frame.at(1)), 3);
        wizard->close();
        QTRY_VERIFY(wizard.isNull());
    }

    // What a failed stationary test wrote is what the controller holds, not
    // in its flash: unsaved whether Kv is set back or left, and written by
    // the next save of another edit before its save to flash.
    void failedTestLeavesItsWritesToSave_data()
    {
        QTest::addColumn<bool>("setBack");
        QTest::newRow("Kv set back") << true;
        QTest::newRow("Kv left") << false;
    }

    void failedTestLeavesItsWritesToSave()
    {
        QFETCH(bool, setBack);
        AutotuneRig rig;
        Parameter* kv = rig.model->getParameter(72);
        const double oldKv = kv->getValue();
        const int oldRaw = kv->getRegisterValue();
        kv->setValue(25.0);
        rig.motor([](MotorBehaviour& m) { m.connected = false; }); // "Motor Not Detected"

        const Run run = runTest(rig, false); // on the wall clock: no wait runs out
        QCOMPARE(run.outcome, QString("error 1"));
        QCOMPARE(run.unsaved, QList<int>{72});
        QCOMPARE(rig.sim.registerValue(72), quint16(2500));
        if (setBack)
            kv->setValue(oldKv);
        QCOMPARE(rig.model->getUnsavedValues().keys(), QList<int>{72});

        rig.model->getParameter(109)->setValue(rig.model->getParameter(109)->getValue() + 100);
        rig.link->writeAll();
        QVERIFY(rig.waitFor("flashSaveComplete"));
        const int kept = setBack ? oldRaw : 2500;
        QCOMPARE(rig.writesTo(72), (QList<int>{2500, kept}));
        QCOMPARE(int(rig.sim.registerValue(72)), kept);
        QVERIFY(rig.model->getUnsavedValues().isEmpty());
    }

    void bothTestsEndToEnd()
    {
        AutotuneRig rig;
        QPointer<AutotuneWizard> wizard = openWizard(rig, 1);
        shown<QDoubleSpinBox>(wizard, "polePairsInput")->setValue(23.0);
        shown<QDoubleSpinBox>(wizard, "KvInput")->setValue(12.0);
        QVERIFY(rig.model->getUnsavedValues().contains(72));

        QVERIFY(launch(wizard));
        QCOMPARE(wizard->getPageState(), int(AutotuneWizard::StaticDone));
        QCOMPARE(shown<QDoubleSpinBox>(wizard, "RsValue")->text(), QString("63.02 mOhms"));
        QCOMPARE(shown<QDoubleSpinBox>(wizard, "LsValue")->text(), QString("185.8 uH"));

        button(wizard, "next")->click();
        QCOMPARE(wizard->getPageState(), int(AutotuneWizard::WarningPage));
        button(wizard, "next")->click();
        shown<QCheckBox>(wizard, "filpDirection")->setChecked(true);

        QVERIFY(launch(wizard));
        QCOMPARE(wizard->getPageState(), int(AutotuneWizard::SpinningPage));
        QVERIFY(!shown<QCheckBox>(wizard, "filpDirection")->isChecked());
        QCOMPARE(rig.writesTo(127), QList<int>{3});
        QCOMPARE(shown<QDoubleSpinBox>(wizard, "KvValue")->text(), QString("11.35 RPM/V"));
        QCOMPARE(shown<QLabel>(wizard, "hallOffsetValue_2")->text(), QString("-59.5 degrees"));
        QVERIFY(!shown<QLabel>(wizard, "hallWarning"));
        QCOMPARE(shown<QLabel>(wizard, "hallStandardLabel")->text(),
                 QString("Bafang standard hall pattern detected."));
        QCOMPARE(hallRow(wizard), (QStringList{"-", "2", "4", "3", "0", "1", "5", "-"}));
        QVERIFY(rig.model->getUnsavedValues().isEmpty());

        button(wizard, "next")->click();
        button(wizard, "next")->click(); // Finish
        QTRY_VERIFY(wizard.isNull());
        QCOMPARE(rig.logs().size(), 2);
    }

    void errorPages_data()
    {
        QTest::addColumn<RigSetup>("setup");
        QTest::addColumn<bool>("spinning");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QString>("faults"); // the fault list shown, when any
        auto faults = [](int faults, int faults2) {
            return RigSetup([=](AutotuneRig& r) {
                r.setRegister(258, faults);
                r.setRegister(299, faults2);
            });
        };
        const QStringList unsaved{"unsavedNote"};
        QTest::newRow("three faults")
            << faults(0x1, 0x41) << true << "FaultError" << unsaved
            << "*Controller Over Voltage\n*Parameter CRC Error\n*Hall Stall";
        QTest::newRow("fault after the spin") << RigSetup([](AutotuneRig& r) {
            r.motor([](MotorBehaviour& m) { m.spinFaults = 1; });
            r.setRegister(109, 15000);
        }) << true << "MotionFaultError" << unsaved
                                              << "*Controller Over Voltage";
        // No fault bit explains a stall: the test's own explanation does;
        // where fault bits are set, they are the list.
        QTest::newRow("stall: the test's explanation")
            << motor([](MotorBehaviour& m) { m.stall = true; }) << true << "MotionFaultError"
            << unsaved
            << "The spinning autotune test could not complete properly with these starting "
               "parameters. If the motor appeared to repeatedly spin and stop, spin and stop, "
               "then the sensorless self-starting values (Alignment Time, Spinnup Time and "
               "Autostart Max RPM) likely need adjustment to suit your motor.";
        QTest::newRow("stall with a fault: the fault")
            << motor([](MotorBehaviour& m) { m.stall = true, m.spinFaults = 1; }) << true
            << "MotionFaultError" << unsaved << "*Controller Over Voltage";
        QTest::newRow("spin never ends")
            << motor([](MotorBehaviour& m) { m.discoveryStuck = true; }) << true << "CommError"
            << QStringList{"motorNote", "stopNote", "unsavedNote"} << "";
        QTest::newRow("measurement never ends")
            << motor([](MotorBehaviour& m) { m.discoveryStuck = true; }) << false << "CommError"
            << QStringList{"stopNote", "unsavedNote"} << "";
        // Its start's answer lost once, the spin is not seen to end: the page
        // stays for another run, with no word of a broken connection.
        QTest::newRow("spin cut short by its lost start")
            << RigSetup([](AutotuneRig& r) {
                   r.motor([](MotorBehaviour& m) { m.discoveryStuck = true; });
                   r.sim.loseRepliesAtAddress(481);
               })
            << true << "SecondAutotuneTest"
            << QStringList{"startNote", "motorNote", "stopNote", "unsavedNote"} << "";
    }

    void errorPages()
    {
        QFETCH(RigSetup, setup);
        QFETCH(bool, spinning);
        QFETCH(QString, page);
        QFETCH(QStringList, notes);
        QFETCH(QString, faults);
        AutotuneRig rig;
        rig.motor([](MotorBehaviour& m) { m.spinMs = 800; });
        setup(rig);
        QPointer<AutotuneWizard> wizard = openWizard(rig);
        shown<QDoubleSpinBox>(wizard, "polePairsInput")->setValue(12.0);
        if (spinning) {
            button(wizard, "next")->click();
            button(wizard, "next")->click();
        }

        QVERIFY(launch(wizard));
        QVERIFY(shown<QWidget>(wizard, page));
        QCOMPARE(button(wizard, "next")->isEnabled(), page == "SecondAutotuneTest");
        QVERIFY(button(wizard, "back")->isEnabled());
        for (const QString& note : notes)
            QVERIFY2(shown<QLabel>(wizard, note), qPrintable(note));
        QVERIFY(!shown<QLabel>(wizard, notes.contains("motorNote") ? "none" : "motorNote"));
        if (auto* list = shown<QLabel>(wizard, "faultDescriptionLabel"))
            QCOMPARE(list->text(), faults);
        if (auto* list = shown<QTextBrowser>(wizard, "faultText"))
            QCOMPARE(list->toPlainText(), faults);

        // The stop reached the controller, and the page says so.
        if (notes.contains("stopNote"))
            QTRY_COMPARE(noteText(wizard, "stopNote"), stopDeliveredText);
        if (page == "MotionFaultError" && rig.sim.registerValue(109) == 15000) {
            // A spin-up time beyond the box's form range is shown, not clamped.
            QCOMPARE(shown<QDoubleSpinBox>(wizard, "doubleSpinBox_3")->value(), 15000.0);
            QCOMPARE(rig.model->getParameter(109)->getValue(), 15000.0);
        }
        button(wizard, "cancel")->click();
        QTRY_VERIFY(wizard.isNull());
    }

    void refusesWhileMotorTurnsOrTestRuns()
    {
        AutotuneRig rig;
        ModalWatcher watcher;
        QPointer<AutotuneWizard> wizard = openWizard(rig, 1);
        rig.sim.setTorqueCommand(41); // 1 %
        shown<QPushButton>(wizard, "launch")->click();
        QTRY_COMPARE(watcher.count(), 1);
        QCOMPARE(watcher.titles()[0], QString("Motor is Running"));
        QCOMPARE(watcher.texts()[0],
                 QString("To start this test, you must stop you motor from running. \nPlease "
                         "make sure your throttle is not on before starting the test."));
        QVERIFY(rig.logs().isEmpty());

        rig.sim.setTorqueCommand(0), rig.sim.setFlashSaveFails(true);
        shown<QPushButton>(wizard, "launch")->click();
        QTRY_VERIFY(!button(wizard, "cancel")->isEnabled());
        rig.sim.setTorqueCommand(200); // turning by the save to flash: refused
        wizard->close();
        QTest::keyClick(wizard, Qt::Key_Escape);
        QTRY_COMPARE(watcher.count(), 3);
        QCOMPARE(watcher.texts().mid(1),
                 (QStringList{"Still running motor test...[3]", "Still running motor test...[2]"}));
        QVERIFY(wizard->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(button(wizard, "cancel")->isEnabled(), 10000);
        QVERIFY(shown<QLabel>(wizard, "unsavedNote"));
        wizard->close();
        QTRY_VERIFY(wizard.isNull());
    }

    void testOfAnotherController_data()
    {
        QTest::addColumn<bool>("spinning");
        QTest::addColumn<CableAdapter::Trigger>("move");
        QTest::addColumn<bool>("toB");            // false: a frame lost, A answers again
        QTest::addColumn<bool>("resultsWritten"); // the move falls on their save to flash
        // A poll of the spin, and a read of the measurement's phase currents.
        const auto spinPoll = CableAdapter::Trigger::readAt(481).nth(2);
        const auto currents = CableAdapter::Trigger::readAt(282).nth(2);
        QTest::newRow("spin, B") << true << spinPoll << true << false;
        QTest::newRow("winding measurement, B") << false << currents << true << false;
        QTest::newRow("spin, A again") << true << spinPoll << false << false;
        QTest::newRow("winding measurement, A again") << false << currents << false << false;
        // The spin's results reach A; its save to flash goes to B.
        QTest::newRow("spin's save to flash, B")
            << true << CableAdapter::Trigger::writeTo(511) << true << true;
    }
    // The cable moves to B while A runs a test, behind an adapter that stays
    // plugged in: nothing of the test reaches B, nothing of B is taken as
    // the test's results, and the wizard says that A's motor may turn.
    void testOfAnotherController()
    {
        QFETCH(bool, spinning);
        QFETCH(CableAdapter::Trigger, move);
        QFETCH(bool, toB);
        QFETCH(bool, resultsWritten);
        BenchLink t;
        QVERIFY(t.start());
        CableBench& bench = t.bench;
        Kelvara& model = t.model;
        KelvaraCom& link = t.link;
        QSignalSpy read(&link, &KelvaraCom::readAllComplete);
        const QMap<int, int> savedBefore = model.getSavedValues();
        QList<int> heldAtReport;
        connect(&link, &KelvaraCom::errorMessage, &link,
                [&] { heldAtReport = model.heldOutsideFlash(); });

        QPointer<AutotuneWizard> wizard = new AutotuneWizard(&model, &link, nullptr);
        wizard->show();
        if (spinning) {
            button(wizard, "next")->click();
            button(wizard, "next")->click();
        }
        QVERIFY(bench.moveOn(move, toB ? bench.b.get() : bench.a.get(), 0));
        QVERIFY(launch(wizard));
        if (!toB) {
            QCOMPARE(wizard->getPageState(),
                     int(spinning ? AutotuneWizard::SpinningPage : AutotuneWizard::StaticDone));
            QCOMPARE(bench.lostFrames().size(), 1);
            QVERIFY(bench.b->requests().isEmpty());
            wizard->close();
            QTRY_VERIFY(wizard.isNull());
            return;
        }

        if (resultsWritten) {
            for (const QByteArray& frame : bench.b->requests())
                QCOMPARE(int(frame.at(1)), 3);
            QCOMPARE(int(bench.a->registerValue(511)), 0); // the save never reached A
            // What A took stays outside its flash, also over a read of A
            // that shows it.
            QList<int> changed;
            for (const int address : {72, 79, 80}) {
                if (bench.a->registerValue(address) != savedBefore.value(address))
                    changed << address;
            }
            QVERIFY(!changed.isEmpty());
            // The window names them from the failure report on.
            for (const int address : qAsConst(changed))
                QVERIFY2(heldAtReport.contains(address), qPrintable(QString::number(address)));
            // B is read, as the window reads a controller that was refused,
            // then A again.
            for (ControllerSimulator* controller : {bench.b.get(), bench.a.get()}) {
                QVERIFY(bench.moveNow(controller));
                read.clear();
                link.readAll();
                QVERIFY(read.wait(5000) && model.isValid());
            }
            for (const int address : qAsConst(changed))
                QVERIFY2(model.heldOutsideFlash().contains(address)
                             && model.getUnsavedValues().contains(address),
                         qPrintable(QString::number(address)));
            wizard->close();
            QTRY_VERIFY(wizard.isNull());
            return;
        }
        QVERIFY(shown<QWidget>(wizard, "CommError"));
        auto* note = shown<QLabel>(wizard, "controllerNote");
        QVERIFY(note);
        // Spin and measurement alike: A's run is owed a stop.
        QVERIFY(note->text().contains("the stop will be sent to it as soon as it is identified"));
        QVERIFY(!shown<QLabel>(wizard, "unsavedNote"));
        // A's run went on by itself, no stop sent after it; B got no write
        // and no read beyond its identity.
        QList<int> runsOfA;
        for (const QByteArray& frame : bench.a->requests()) {
            if (quint8(frame.at(1)) == 16 && frame.mid(2, 2) == QByteArray::fromHex("01e1"))
                runsOfA << quint8(frame.at(8));
        }
        QCOMPARE(runsOfA, QList<int>{spinning ? 2 : 1});
        for (const QByteArray& frame : bench.b->requests()) {
            const int address = (quint8(frame.at(2)) << 8) | quint8(frame.at(3));
            QCOMPARE(int(frame.at(1)), 3);
            QVERIFY2(address == 237, qPrintable(frame.toHex(' ')));
        }
        QVERIFY(!bench.b->requests().isEmpty());
        wizard->close();
        QTRY_VERIFY(wizard.isNull());
    }
};

QTEST_MAIN(TestAutotune)
#include "tst_autotune.moc"
