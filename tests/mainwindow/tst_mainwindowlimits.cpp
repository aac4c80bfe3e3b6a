// Only values the user chose reach the controller: the main window against
// the simulated controller, judged from what the controller received.
// Restore brings back no command, a register the user did not change goes
// out as the controller holds it, a controller value beyond the limits is
// told and scales what depends on it as the controller means it, and a
// value that a limit moved is told and goes back with its cause.

#include "autotunelink.h"
#include "defaultstore.h"
#include "pasdeviceloader.h"
#include "staticautotune.h"
#include "windowfixture.h"
#include "xmltranslatortesting.h"

#include <algorithm>

using namespace WindowFixture;

namespace {

const int ratedVoltage = 70;       // 48 V in the sample controller
const int phaseCurrent = 71;       // 70 A
const int powerLimit = 73;         // 2000 W, at most 9999 W
const int polePairs = 78;          // 23, at least 1
const int fastUnderVoltage = 148;  // scaled by 70
const int wheelDiameter = 227;     // an ordinary register
const int regenPhaseCurrent = 154; // scaled by 71

} // namespace

class TestMainWindowLimits : public QObject
{
    Q_OBJECT
    QTemporaryDir home;
    std::unique_ptr<SimulatedWindow> f;
    std::unique_ptr<ModalWatcher> boxes;

    // A window connected to the sample controller holding these values at
    // its first read; every box goes to the watcher.
    bool connectWindow(const QMap<int, int>& registers = {})
    {
        boxes = std::make_unique<ModalWatcher>();
        f = std::make_unique<SimulatedWindow>();
        return f->start(registers) && waitIdle(f->window.get());
    }

    // The box of that title, once it has been shown; empty when none was.
    QString told(const QString& title) const
    {
        const int index = boxes->titles().lastIndexOf(title);
        return index < 0 ? QString() : boxes->texts().at(index);
    }

    QDoubleSpinBox* spin(int address) const { return f->spinOf(address); }
    void type(int address, double value) { f->type(address, value); }
    QMap<int, int> save() { return f->save(); }

    // Runs the stationary motor test on the window's model and link.
    QString runStationaryTest()
    {
        MotorBehaviour motor = f->simulator->motorBehaviour();
        motor.staticMs = 120;
        f->simulator->setMotorBehaviour(motor);
        StaticAutotune test(nullptr, f->model(), f->window->link());
        test.setClock(acceleratedClock(10));
        QString outcome;
        connect(&test, &StaticAutotune::staticSuccess, [&] { outcome = "success"; });
        connect(&test, &StaticAutotune::reportError,
                [&](StaticAutotune::ErrorType e) { outcome = QString("error %1").arg(e); });
        test.startTest();
        const bool ended = QTest::qWaitFor([&] { return !outcome.isEmpty(); }, 10000);
        return ended && waitIdle(f->window.get()) ? outcome : QString("still running");
    }

    QList<int> writesTo(int address) const
    {
        QList<int> values;
        for (const QByteArray& frame : f->simulator->requests()) {
            const QMap<int, int> written = writtenRegisters({frame});
            if (written.contains(address))
                values << written.value(address);
        }
        return values;
    }

    QString store() const { return DefaultStore::root(); }

    void pickPasDevice(const QString& text)
    {
        f->window->findChild<PasDeviceLoader*>()->refreshPasDeviceList();
        auto* devices = f->find<QComboBox>("pedal_assist_type");
        devices->setCurrentIndex(qMax(0, devices->findText(text)));
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("share"))); }

    void cleanup()
    {
        f.reset();
        boxes.reset();
        QDir(store()).removeRecursively();
    }

    void restoreBringsBackNoCommand_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("firstRead");
        QTest::addColumn<bool>("restoreAll"); // the level-3 box's after an Advanced Import
        QTest::newRow("a spin read during the motor test") << 481 << 2 << false;
        QTest::newRow("the firmware load") << 510 << 1 << false;
        QTest::newRow("the access code") << 509 << 61957 << false;
        QTest::newRow("a fault clear") << 508 << 1 << false;
        QTest::newRow("a spin, Restore All") << 481 << 2 << true;
    }

    // The first read caught a command; the controller has since ended it.
    // Restore, then Save: the ordinary value read first comes back, the
    // command never does, and the Level 3 box never ticks by itself.
    void restoreBringsBackNoCommand()
    {
        QFETCH(int, address);
        QFETCH(int, firstRead);
        QFETCH(bool, restoreAll);
        QVERIFY(connectWindow({{address, firstRead}, {wheelDiameter, 280}}));
        f->simulator->setRegisterValue(address, 0);
        f->simulator->setRegisterValue(wheelDiameter, 290);
        QVERIFY(f->readAll());
        f->simulator->clearLog();

        if (restoreAll) {
            auto* dialogs = new FakeDialogs;
            dialogs->openAnswer = home.filePath("level3.xml");
            dialogs->level3Answer = XMLTranslatorDialogs::RestoreAll;
            writeFile(dialogs->openAnswer, parameterDocument(entry("47", "9")));
            f->window->findChild<XMLTranslator*>()->setDialogs(dialogs);
            f->find<QAction>("advanced_Import")->trigger();
            QCOMPARE(dialogs->level3Asked, 1);
        } else {
            f->find<QPushButton>("restore")->click();
        }
        QVERIFY(waitIdle(f->window.get()));
        QCOMPARE(writtenRegisters(f->simulator->requests()), (QMap<int, int>()));
        QVERIFY(!f->find<QCheckBox>("AccessLevelBox")->isChecked());
        QCOMPARE(f->model()->getParameter(address)->getRegisterValue(), 0);
        QCOMPARE(save(), (QMap<int, int>{{wheelDiameter, 280}}));
    }

    void blockWriteCarriesTheControllersValues_data()
    {
        QTest::addColumn<int>("power");
        QTest::addColumn<int>("pairs");
        QTest::newRow("beyond the limits") << 12000 << 0;
        QTest::newRow("within them") << 2000 << 23;
    }

    // The stationary test writes 72 to 78 in one frame: 73 and 78, which
    // the user did not change, go as the controller holds them, and the
    // read showed no value that Save would write.
    void blockWriteCarriesTheControllersValues()
    {
        QFETCH(int, power);
        QFETCH(int, pairs);
        QVERIFY(connectWindow({{powerLimit, power}, {polePairs, pairs}}));
        QVERIFY(f->model()->getUnsavedValues().isEmpty());
        f->simulator->clearLog();
        QCOMPARE(runStationaryTest(), QString("success"));
        QCOMPARE(writesTo(powerLimit), QList<int>{power});
        QCOMPARE(writesTo(polePairs), QList<int>{pairs});
        QCOMPARE(int(f->simulator->registerValue(powerLimit)), power);
        QCOMPARE(save(), (QMap<int, int>()));
    }

    void beyondTheLimitsToldAndMeant_data()
    {
        QTest::addColumn<int>("rated");
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("shown"); // by 148, held at 1024
        QTest::newRow("above") << 100
                               << "  Rated System Voltage (generally leave as-is) (70): the "
                                  "controller holds 100 V, the page shows 90 V"
                               << 25.0;
        QTest::newRow("below") << 8
                               << "  Rated System Voltage (generally leave as-is) (70): the "
                                  "controller holds 8 V, the page shows 12 V"
                               << 2.0;
        QTest::newRow("within: nothing told") << 48 << QString() << 12.0;
    }

    // A rated voltage beyond the suite's limits is told; the voltages it
    // scales show what the controller makes of them, and an edit writes
    // what was typed. Save writes the edit alone, not the rated voltage.
    void beyondTheLimitsToldAndMeant()
    {
        QFETCH(int, rated);
        QFETCH(QString, line);
        QFETCH(double, shown);
        QVERIFY(connectWindow({{ratedVoltage, rated}}));
        if (line.isEmpty()) {
            QCOMPARE(boxes->count(), 0);
        } else {
            QTRY_VERIFY(!told("Values Outside Limits").isEmpty());
            QCOMPARE(boxes->count(), 1); // once, for both reads of the connection
            QVERIFY2(told("Values Outside Limits").contains(line + '\n'),
                     qPrintable(told("Values Outside Limits")));
        }
        QCOMPARE(spin(fastUnderVoltage)->value(), shown);
        // The Dev Screen shows the rated voltage as the page does, and
        // writes back nothing either.
        f->find<QSpinBox>("addressInput")->setValue(ratedVoltage);
        QVERIFY(f->readAll());
        QVERIFY(f->model()->getUnsavedValues().isEmpty());
        type(fastUnderVoltage, shown + 1.0);
        const int typed = qRound((shown + 1.0) * 4096.0 / rated);
        QCOMPARE(save(), (QMap<int, int>{{fastUnderVoltage, typed}}));
        QCOMPARE(int(f->simulator->registerValue(ratedVoltage)), rated);
        QCOMPARE(boxes->count(), line.isEmpty() ? 0 : 1);
    }

    // Values of list registers that their lists do not name are told with
    // the others, and stay as the controller holds them: the drop-downs
    // show no entry and Save writes nothing.
    void unlistedValuesTold()
    {
        QVERIFY(connectWindow({{77, 9}, {208, 7}, {ratedVoltage, 100}}));
        QTRY_VERIFY(!told("Values Outside Limits").isEmpty());
        QCOMPARE(boxes->count(), 1);
        const QString text = told("Values Outside Limits");
        for (const char* line :
             {"  Rated System Voltage (generally leave as-is) (70): the controller holds 100 V, "
              "the page shows 90 V",
              "  Motor Position Sensor Type (77): the controller holds 9, which its list (0, 1, "
              "2) does not name, the page shows no entry",
              "  Control Command Source (208): the controller holds 7, which its list (0, 1, 2, "
              "3, 4) does not name, the page shows no entry"})
            QVERIFY2(text.contains(QString(line) + '\n'), qPrintable(text));
        for (int address : {77, 208}) {
            QComboBox* list = nullptr;
            for (QWidget* row : FormRows::findRows(f->window.get())) {
                if (FormRows::rowKey(row) == FormRows::Key(address, -1))
                    list = qobject_cast<QComboBox*>(FormRows::rowEditor(row));
            }
            QVERIFY(list);
            QCOMPARE(list->currentIndex(), -1);
        }
        QVERIFY(f->model()->getUnsavedValues().isEmpty());
        QCOMPARE(save(), (QMap<int, int>()));
    }

    // Rated voltage 48 -> 72 moves voltages beyond their limits, and the
    // battery-voltage slider's order moves more: one box names every value
    // moved, with what it held and holds; 72 -> 48 puts them back, and Save
    // has nothing to write. A voltage the user typed meanwhile is the
    // user's and stays as typed.
    void limitMovedAndMovedBack()
    {
        QVERIFY(connectWindow());
        type(ratedVoltage, 72.0);
        QTRY_COMPARE(boxes->titles(), QStringList{"Values Limited"});
        const QString text = told("Values Limited");
        for (const char* line : {"Low Voltage Cutoff (Start) (141): 63 V before, 59 V now",
                                 "Fast Over Voltage Fault (147): 94.5 V before, 90 V now",
                                 "Slow Over Voltage Fault (149): 93 V before, 90 V now",
                                 "Max Regen Voltage (Start) (194): 85.5 V before, 59.5 V now",
                                 "Max Regen Voltage (End) (195): 87.8 V before, 60 V now"})
            QVERIFY2(text.contains(QString("\n  ") + line + '\n'), qPrintable(text));
        QList<int> named;
        for (const QString& entry : text.split('\n')) {
            const int open = entry.lastIndexOf('(');
            if (entry.startsWith("  ") && open > 0)
                named << entry.mid(open + 1, entry.indexOf(')', open) - open - 1).toInt();
        }
        QList<int> marked = f->model()->getUnsavedValues().keys();
        marked.removeOne(ratedVoltage);
        std::sort(named.begin(), named.end());
        QCOMPARE(named, marked); // every value it moved, and no other

        type(ratedVoltage, 48.0);
        QCOMPARE(boxes->count(), 1);
        QCOMPARE(save(), (QMap<int, int>()));

        // The user's own value stays as typed, and the slider's order holds
        // around it: the cutoff's end, put back with the rated voltage, is
        // pushed below the start again, and told.
        type(ratedVoltage, 72.0);
        type(141, 39.0);
        const int boxesBefore = boxes->count();
        type(ratedVoltage, 48.0);
        QCOMPARE(spin(141)->value(), 39.0);
        QTRY_COMPARE(boxes->count(), boxesBefore + 1);
        QVERIFY2(boxes->texts().constLast().contains(
                     "\n  Low Voltage Cutoff (End) (142): 40 V before, 38.5 V now\n"),
                 qPrintable(boxes->texts().constLast()));
        const QMap<int, int> written = save();
        QCOMPARE(written.keys(), (QList<int>{141, 142}));
        QCOMPARE(written.value(141), qRound(39.0 * 4096 / 48));
        QCOMPARE(written.value(142), qRound(38.5 * 4096 / 48));
    }

    // Rescaled within their limits, nothing is told, and back at 48 V
    // nothing is written.
    void limitMovedWithinTheLimits()
    {
        QVERIFY(connectWindow());
        type(ratedVoltage, 49.0);
        type(ratedVoltage, 48.0);
        QCOMPARE(boxes->count(), 0);
        QCOMPARE(save(), (QMap<int, int>()));
    }

    // The battery-voltage slider keeps its thumbs in order: 141 typed up to
    // 57 V pushes 194 from 57 V to 57.5 V, which is told; 141 set back to
    // 42 V puts 194 back, and Save has nothing to write.
    void orderPushedAndPutBack()
    {
        QVERIFY(connectWindow());
        type(141, 57.0);
        QTRY_COMPARE(boxes->titles(), QStringList{"Values Limited"});
        QVERIFY2(told("Values Limited")
                     .contains("\n  Max Regen Voltage (Start) (194): 57 V "
                               "before, 57.5 V now\n"),
                 qPrintable(told("Values Limited")));
        QCOMPARE(f->model()->getUnsavedValues().keys(), (QList<int>{141, 194}));
        type(141, 42.0);
        QCOMPARE(boxes->count(), 1);
        QCOMPARE(save(), (QMap<int, int>()));
    }

    void pasPickLeavesNothingBehind_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("moves");
        QTest::newRow("phase current, rescaling 154") << phaseCurrent << QByteArray("45") << false;
        QTest::newRow("rated voltage, limiting six") << ratedVoltage << QByteArray("72") << true;
    }

    // A device file changes a register that scales others; a pick of the
    // blank entry puts back what the controller holds, every value it moved
    // too, and Save has nothing to write.
    void pasPickLeavesNothingBehind()
    {
        QFETCH(int, address);
        QFETCH(QByteArray, value);
        QFETCH(bool, moves);
        QVERIFY(connectWindow());
        writeFile(store() + "/PAS/Device.xml",
                  parameterDocument(entry(QByteArray::number(address).constData(), value)));
        pickPasDevice("Device");
        QTRY_COMPARE(boxes->titles().contains("Values Limited"), moves);
        QVERIFY(f->model()->getUnsavedValues().contains(address));
        pickPasDevice(QString());
        QCOMPARE(f->model()->getParameter(regenPhaseCurrent)->getRegisterValue(), 2048);
        QVERIFY(f->model()->getUnsavedValues().isEmpty());
        QCOMPARE(save(), (QMap<int, int>()));
    }

    // Clashing default files: one box names the file's value that a limit
    // held back and the values in neither file that the controller file's
    // rated voltage moved; Save writes what the pages show.
    void clashingDefaultsTellEveryMove()
    {
        QVERIFY(connectWindow());
        writeFile(store() + "/Maker/M.xml", parameterDocument(entry("71", "60")));
        writeFile(store() + "/Controller/C.xml",
                  parameterDocument(entry("0", "50") + entry("70", "72")));
        ModalWatcher& watcher = *boxes;
        watcher.onDialog = [](QWidget* modal) {
            const QList<QPair<const char*, QString>> choices = {
                {"manufacturerBox", "Maker"}, {"modelBox", "M.xml"}, {"controllerBox", "C.xml"}};
            for (const auto& choice : choices)
                modal->findChild<QComboBox*>(choice.first)->setCurrentText(choice.second);
            modal->findChild<QPushButton*>("applyButton")->click();
        };
        f->window->launchDefaultChecker();
        QTRY_VERIFY(!told("Values Limited").isEmpty());
        QCOMPARE(boxes->titles().count("Values Limited"), 1);
        const QString text = told("Values Limited");
        QVERIFY2((text + "\n").contains("\n  Max Phase Current (71): 60 A in the file, 36 A now\n"),
                 qPrintable(text));
        QVERIFY2(text.contains("\n  Fast Over Voltage Fault (147): 94.5 V before, 90 V now\n"),
                 qPrintable(text));
        const QMap<int, int> unsaved = f->model()->getUnsavedValues();
        QCOMPARE(save().keys(), unsaved.keys());
        QCOMPARE(int(f->simulator->registerValue(147)), qRound(90 * 4096.0 / 72));
    }
};

QTEST_MAIN(TestMainWindowLimits)
#include "tst_mainwindowlimits.moc"
