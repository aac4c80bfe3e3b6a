// The main window against the simulated controller: connecting through the
// port drop-down, the status line, the read-alls, rows showing the
// controller's values, unsaved marks, Save, Restore, failed saves,
// reconnection, and a cable moved from one controller to another on a port
// path that stays.

#include "autotunelink.h"
#include "autotunewizard.h"
#include "staticautotune.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

const QString connectedText = QStringLiteral("Ostrel V4 Trelby is connected");
const QString notConnectedText = QStringLiteral("Controller is not connected");

// Values of their own, so that rows showing them cannot be showing the
// built-in initial values.
const QMap<int, int> distinctValues = {
    {72, 1234},   // Kv, 12.34
    {227, 275},   // Wheel Diameter, 27.5
    {77, 2},      // Motor Position Sensor Type: "Sensorless"
    {127, 0},     // Motor Features: fault tolerant hall (bit 1) off
    {109, 12000}, // Autostart Spinup Time, above the old 9999 ceiling
};

// Two controllers of one model, each with values and a serial number of its
// own: Kv, Rs and the hall table differ.
const QMap<int, int> controllerA = {{72, 1234}, {75, 7000}, {81, 1}, {82, 3},    {83, 2},
                                    {84, 5},    {85, 4},    {86, 0}, {237, 773}, {238, 4711}};
const QMap<int, int> controllerB = {{72, 2222}, {75, 8100}, {81, 0}, {82, 2},    {83, 1},
                                    {84, 4},    {85, 5},    {86, 3}, {237, 773}, {238, 5150}};

// The cable moves on a port path that stays: A, a silent controller and B
// behind it in turn, and a window of its own on it.
struct Bench
{
    bool start(const QMap<int, int>& registersOfB = controllerB, bool connect = true)
    {
        a = startController(controllerA);
        silent = startController({}, true);
        b = startController(registersOfB);
        if (!a || !silent || !b || !cable.plugInto(*a))
            return false;
        previousPorts = qgetenv("KELVARA_EXTRA_PORTS");
        qputenv("KELVARA_EXTRA_PORTS", previousPorts + ':' + cable.path().toLocal8Bit());
        return w.startOnPort(connect ? cable.path() : QString());
    }
    ~Bench()
    {
        w.window.reset();
        qputenv("KELVARA_EXTRA_PORTS", previousPorts);
    }
    bool moveTo(ControllerSimulator* controller)
    {
        controller->clearLog();
        return cable.plugInto(*controller);
    }
    QPushButton* button(const char* name) const { return w.find<QPushButton>(name); }
    void edit(int address, double value) { w.spin("displayParameters", address)->setValue(value); }
    Parameter* parameter(int address) const { return w.model()->getParameter(address); }

    MovingCable cable;
    std::unique_ptr<ControllerSimulator> a;
    std::unique_ptr<ControllerSimulator> silent;
    std::unique_ptr<ControllerSimulator> b;
    QByteArray previousPorts;
    SimulatedWindow w; // last: it lets go of the port first
};

} // namespace

class TestMainWindowLink : public QObject
{
    Q_OBJECT
    SimulatedWindow f;

    QPushButton* button(const char* name) const { return f.find<QPushButton>(name); }
    void edit(int address, double value)
    {
        QWidget* found = f.row("displayParameters", address);
        (found ? found : f.row("advancedParameters", address))
            ->findChild<QDoubleSpinBox*>()
            ->setValue(value);
    }
    bool marked(int address, int bit = -1) const { return f.label(address, bit).endsWith("**"); }
    // On Basic Setup, or Advanced Setup for a register it alone shows.
    bool markedOnAnyPage(int address) const
    {
        QWidget* row = f.row("displayParameters", address);
        row = row ? row : f.row("advancedParameters", address);
        return FormRows::rowLabel(row)->text().endsWith("**")
            && f.model()->getUnsavedValues().contains(address);
    }
    // Kv typed, then the stationary test run in the wizard of the Autotune
    // button, with no motor connected: it writes Kv and the other motor
    // values, finds no motor and leaves what it wrote unsaved in flash, as
    // its page says. The wizard is closed.
    void failAutotuneAfterItsWrites(ModalWatcher& watcher, double kv)
    {
        const MotorBehaviour before = f.simulator->motorBehaviour();
        MotorBehaviour motor = before;
        motor.connected = false;
        motor.staticMs = 120;
        f.simulator->setMotorBehaviour(motor);
        edit(72, kv);
        bool noted = false;
        watcher.onDialog = [&](QWidget* dialog) {
            dialog->findChild<StaticAutotune*>()->setClock(acceleratedClock(20));
            for (auto* launch : dialog->findChildren<QPushButton*>("launch")) {
                if (launch->isVisibleTo(dialog))
                    launch->click();
            }
            noted = QTest::qWaitFor(
                [&] {
                    auto* note = dialog->findChild<QLabel*>("unsavedNote");
                    return note && note->text().contains("stay marked");
                },
                15000);
            dialog->close();
        };
        button("autotuneWizard")->click();
        f.simulator->setMotorBehaviour(before);
        watcher.onDialog = nullptr;
        QVERIFY(noted);
    }

    // A window of its own; the test's window lets go of the port first.
    std::unique_ptr<MainWindow> freshWindow()
    {
        choosePort(f.window.get(), QString());
        auto fresh = std::make_unique<MainWindow>();
        fresh->initControllerConnectionMonitor();
        return fresh;
    }

private slots:
    void initTestCase() { QVERIFY(f.start(distinctValues, false)); }

    // Every test starts connected to a well-behaved controller, with nothing unsaved.
    void init()
    {
        f.simulator->resetFaults();
        f.simulator->setFlashSaveFails(false);
        f.simulator->setTorqueCommand(0);
        if (f.find<QComboBox>("portBox")->currentText() != f.simulator->portName()
            || !button("readAll")->isEnabled())
            QVERIFY(connectTo(f.window.get(), f.simulator.get()));
        QVERIFY(waitIdle(f.window.get()));
        if (!f.model()->getUnsavedValues().isEmpty())
            QVERIFY(f.readAll());
        // What a failed save left in the controller's RAM only goes to flash.
        if (!f.model()->getUnsavedValues().isEmpty()) {
            QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
            button("saveParamsBasic")->click();
            QVERIFY(saved.wait(operationLimitMs(f.window->link())) && waitIdle(f.window.get()));
        }
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        f.simulator->clearLog();
    }

    void connectsThroughTheDropDown()
    {
        auto fresh = freshWindow();
        QCOMPARE(fresh->findChild<QComboBox*>("portBox")->currentText(),
                 QString()); // until the user chooses
        QVERIFY(!fresh->findChild<QPushButton*>("readAll")->isEnabled());
        f.simulator->clearLog();
        const SentFrames sent(fresh->link());
        QVERIFY(connectTo(fresh.get(), f.simulator.get()));
        QTRY_COMPARE(statusText(fresh.get()), connectedText);
        // Two complete read-alls of five blocks; nothing written but access level 3 switched off.
        const QList<QPair<int, int>> blocks = {
            {0, 125}, {125, 125}, {250, 125}, {375, 125}, {500, 11}};
        const auto reads = requestFrames(LateReplies::framesTakenInTime(*f.simulator, sent), 3);
        for (const auto& block : blocks)
            QCOMPARE(reads.count(block), 2);
        QCOMPARE(writtenRegisters(f.simulator->requests()), (QMap<int, int>{{509, 0}}));
    }

    // A model that never held the controller's values must not be saved,
    // restored or tuned, though the link re-enables the buttons.
    void failedFirstReadEnablesNoSaving()
    {
        auto fresh = freshWindow();
        f.simulator->setSilentAtAddress(0);
        ModalWatcher watcher;
        QSignalSpy readAlls(fresh->link(), &KelvaraCom::readAllComplete);
        QVERIFY(choosePort(fresh.get(), f.simulator->portName()));
        QTRY_VERIFY_WITH_TIMEOUT(readAlls.count() >= 1, 8000);
        QCOMPARE(watcher.titles(), QStringList{"Read Fail"});
        QVERIFY(!fresh->deviceModel()->isValid()
                && !fresh->deviceModel()->areFirstReadValuesSaved());
        QVERIFY(fresh->findChild<QPushButton*>("readAll")->isEnabled());
        for (const char* name : {"saveParamsBasic", "writeAllDev", "restore", "autotuneWizard"})
            QVERIFY2(!fresh->findChild<QPushButton*>(name)->isEnabled(), name);
    }

    void rowsShowTheControllersValues()
    {
        const auto rows = FormRows::findRows(f.find("displayParameters"))
            + FormRows::findRows(f.find("advancedParameters"));
        QVERIFY(rows.size() > 50);
        for (QWidget* found : rows) {
            const FormRows::Key key = FormRows::rowKey(found);
            Parameter* parameter = f.model()->getParameter(key.first);
            const int held = f.simulator->registerValue(key.first);
            const int raw = parameter->isSigned() ? int(qint16(held)) : held;
            QWidget* editor = FormRows::rowEditor(found);
            const QByteArray where = found->objectName().toLatin1();
            if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor))
                QVERIFY2(qFuzzyCompare(1.0 + spin->value(), 1.0 + parameter->asValue(raw)), where);
            else if (auto* combo = qobject_cast<QComboBox*>(editor))
                QVERIFY2(combo->currentIndex() < 0 || combo->currentData().toInt() == raw, where);
            else if (auto* check = qobject_cast<QCheckBox*>(editor))
                QVERIFY2(check->isChecked() == bool((raw >> key.second) & 1), where);
            QVERIFY2(!FormRows::rowLabel(found)->text().endsWith("**"), where);
        }
        for (auto it = distinctValues.constBegin(); it != distinctValues.constEnd(); ++it)
            QCOMPARE(f.model()->getParameter(it.key())->getRegisterValue(), it.value());
        QCOMPARE(button("saveParamsBasic")->text(), QString("Save Parameters"));
    }

    // An edit marks its row and the Save buttons; Restore brings back the
    // first complete read of this window and writes nothing.
    void editMarksRowsUntilRestored()
    {
        const QString name = f.label(227);
        edit(227, 28.5);
        QCOMPARE(f.label(227), name + "**");
        for (const char* name : {"saveParamsBasic", "saveParamsAdvanced", "saveParamsTemperature",
                                 "saveParamsPedalAssist", "writeAllDev"})
            QCOMPARE(button(name)->text(), QString("**Save Parameters"));
        // A bit row is marked by its own key only.
        auto* plugBraking =
            qobject_cast<QCheckBox*>(FormRows::rowEditor(f.row("displayParameters", 174, 3)));
        plugBraking->toggle();
        QCOMPARE(f.label(174, 3), QString("Enable Plug Braking**"));
        QCOMPARE(f.find<QSpinBox>("numUnsaved")->value(), 2);
        edit(227, 27.5); // setting a value back clears its mark
        QVERIFY(!marked(227));
        edit(72, 15.0);
        button("restore")->click();
        QCOMPARE(f.spin("displayParameters", 72)->value(), 12.34);
        QCOMPARE(f.model()->getParameter(72)->getRegisterValue(), 1234);
        QVERIFY(!marked(72) && !marked(174, 3) && f.model()->getUnsavedValues().isEmpty());
        QCOMPARE(button("saveParamsBasic")->text(), QString("Save Parameters"));
        QCOMPARE(f.window->link()->getMode(), int(KelvaraCom::IdleMode));
        QVERIFY(requestFrames(f.simulator->requests()).isEmpty());
    }

    void valueWithoutEnumTextIsKept()
    {
        ModalWatcher boxes;
        f.simulator->setRegisterValue(77, 9);
        QVERIFY(f.readAll());
        // Told as a value beyond what the page can show.
        QTRY_COMPARE(boxes.titles(), QStringList{"Values Outside Limits"});
        QVERIFY2(boxes.texts().first().contains("Motor Position Sensor Type (77): the controller "
                                                "holds 9"),
                 qPrintable(boxes.texts().first()));
        f.simulator->setRegisterValue(77, 2);
        QCOMPARE(qobject_cast<QComboBox*>(FormRows::rowEditor(f.row("displayParameters", 77)))
                     ->currentIndex(),
                 -1);
        QCOMPARE(f.model()->getParameter(77)->getRegisterValue(), 9);
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        QVERIFY(!writtenRegisters(f.simulator->requests()).contains(77));
    }

    void saveSendsExactlyTheChangedRegisters_data()
    {
        QTest::addColumn<int>("arrivals"); // of each frame the link sends
        QTest::addColumn<int>("step");     // each row changes the values anew
        QTest::newRow("each frame once") << 1 << 0;
        // What the frames are counted without, the sends that answers late
        // on a loaded machine cost, never hides a frame that came twice:
        // each is counted as often as it came, and Save still ends well.
        QTest::newRow("every frame twice") << 2 << 1;
    }
    void saveSendsExactlyTheChangedRegisters()
    {
        QFETCH(int, arrivals);
        QFETCH(int, step);
        edit(227, 28.5 + step);
        edit(229, 40.0 + step);
        edit(230, 5.5 + step);
        edit(109, 9000 + 100 * step); // an Advanced Setup row
        f.simulator->takeRequestsTwice(arrivals == 2 ? ControllerSimulator::Forever : 0);
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        button("saveParamsBasic")->click();
        QVERIFY(saved.wait(operationLimitMs(f.window->link())) && waitIdle(f.window.get()));
        f.simulator->takeRequestsTwice(0);
        // The save to flash ends with access level 3 switched off.
        QList<QPair<int, int>> frames;
        for (const auto& frame : {qMakePair(109, 1), qMakePair(227, 1), qMakePair(229, 2),
                                  qMakePair(511, 1), qMakePair(509, 1)}) {
            for (int i = 0; i < arrivals; ++i)
                frames << frame;
        }
        QCOMPARE(requestFrames(f.requestsInTime()), frames);
        const QMap<int, int> written = {{109, 9000 + 100 * step},
                                        {227, 285 + 10 * step},
                                        {229, 400 + 10 * step},
                                        {230, 55 + 10 * step},
                                        {509, 0},
                                        {511, 32767}};
        QCOMPARE(writtenRegisters(f.simulator->requests()), written);
        QCOMPARE(int(f.simulator->registerValue(511)), 4096);
        QVERIFY(f.model()->getUnsavedValues().isEmpty() && !marked(227));
        QCOMPARE(button("saveParamsBasic")->text(), QString("Save Parameters"));
        QVERIFY(button("saveParamsBasic")->isEnabled());
    }

    void failedSave_data()
    {
        QTest::addColumn<bool>("flashFails");
        QTest::addColumn<int>("torque");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("atSaveToFlash"); // what register 511 (or 477, 229) meets
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<QString>("status"); // once the failure is reported
        QTest::addColumn<QString>("told");   // in the box
        const auto row = [](const char* tag, bool flashFails, int torque, bool silent,
                            const QString& atSaveToFlash, const QString& boxTitle,
                            const QString& status, const QString& told = QString()) {
            QTest::newRow(tag) << flashFails << torque << silent << atSaveToFlash << boxTitle
                               << status << told;
        };
        const QString flashFail = "Save to Flash Fail";
        row("flash not confirmed", true, 0, false, "", flashFail, flashFail);
        row("motor running", true, 5, false, "", "Save Error", "");
        row("controller silent", false, 0, true, "", "Write Fail", "Communication timeout");
        // Every answer to the write came in time, spoiled: no time-out.
        row("writes answered spoiled", false, 0, false, "spoiled", "Write Fail",
            "Replies spoiled on the line",
            "the controller kept answering, but the line spoiled its replies");
        row("torque command refused", true, 0, false, "torque refusal", flashFail, flashFail,
            "did not save the values to its flash, and then refused the read of register 477: "
            "exception 2, illegal data address.");
        row("save to flash refused", false, 0, false, "refusal", flashFail, flashFail,
            "it refused the write of register 511: exception 4, slave device failure.");
        row("silent at the save to flash", false, 0, false, "silence", flashFail, flashFail);
    }
    // A failed save says so in a box; what is not in flash stays marked.
    void failedSave()
    {
        QFETCH(bool, silent);
        edit(229,
             f.model()->getParameter(229)->getValue() + 1); // a change whatever the last row left
        QString statusAtFailure;
        const auto failure = connect(f.window->link(), &KelvaraCom::errorMessage, this,
                                     [&] { statusAtFailure = statusText(f.window.get()); });
        QFETCH(bool, flashFails);
        QFETCH(int, torque);
        f.simulator->setFlashSaveFails(flashFails);
        f.simulator->setTorqueCommand(torque);
        f.simulator->setSilent(silent);
        QFETCH(QString, atSaveToFlash);
        if (atSaveToFlash == "refusal")
            f.simulator->setExceptionAtAddress(511, 4);
        else if (atSaveToFlash == "silence")
            f.simulator->setSilentAtAddress(511);
        else if (atSaveToFlash == "torque refusal")
            f.simulator->setExceptionAtAddress(477, 2);
        else if (atSaveToFlash == "spoiled")
            f.simulator->setBadCrcAtAddress(229);
        ModalWatcher watcher;
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        button("saveParamsBasic")->click();
        QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > 0, 8000);
        f.simulator->resetFaults();
        disconnect(failure);
        QTEST(watcher.titles().first(), "boxTitle");
        // A refusal is named as the controller's answer.
        QFETCH(QString, told);
        const QString text = watcher.texts().first();
        QVERIFY2(text.contains(told), qPrintable(text));
        QCOMPARE(text.contains("refused the"), told.contains("refused the"));
        QCOMPARE(saved.count(), 0);
        QVERIFY(marked(229) && f.model()->getUnsavedValues().contains(229));
        QTEST(statusAtFailure, "status");
        // The connection check goes on once the box is closed.
        QVERIFY(f.find<QTimer>("monitorTimer")->isActive());
    }

    void marksToldToStayAfterARead_data()
    {
        QTest::addColumn<bool>("autotune");  // told by the wizard; else by Save to Flash Fail
        QTest::addColumn<bool>("devScreen"); // its Read of the register; else Read Parameters
        QTest::addColumn<bool>("held");      // the controller still holds the value
        QTest::newRow("save to flash failed, Read Parameters, lost") << false << false << false;
        QTest::newRow("autotune, Read Parameters, lost") << true << false << false;
        QTest::newRow("autotune, Read Parameters, held") << true << false << true;
        QTest::newRow("save to flash failed, Dev Screen, lost") << false << true << false;
        QTest::newRow("save to flash failed, Dev Screen, held") << false << true << true;
        QTest::newRow("autotune, Dev Screen, lost") << true << true << false;
    }
    // A value written to the controller but not to its flash, which a box
    // or the autotune wizard said stays marked: a Read, of every value or
    // the Dev Screen's of the one, keeps its mark while the controller
    // holds it, and names it as replaced when the controller does not
    // (switched off since).
    void marksToldToStayAfterARead()
    {
        QFETCH(bool, autotune);
        QFETCH(bool, devScreen);
        QFETCH(bool, held);
        const int address = autotune ? 72 : 229;
        const int flashRaw = f.simulator->registerValue(address);
        ModalWatcher watcher;
        if (autotune) {
            failAutotuneAfterItsWrites(watcher, f.model()->getParameter(72)->getValue() + 1);
            QCOMPARE(watcher.titles(), QStringList{"Wizard"});
        } else {
            edit(address, f.model()->getParameter(address)->getValue() + 1);
            f.simulator->setFlashSaveFails(true);
            button("saveParamsBasic")->click();
            QTRY_COMPARE_WITH_TIMEOUT(watcher.titles(), QStringList{"Save to Flash Fail"}, 8000);
            f.simulator->setFlashSaveFails(false);
        }
        QVERIFY(waitIdle(f.window.get()));
        QVERIFY(markedOnAnyPage(address) && f.simulator->registerValue(address) != flashRaw);
        if (!held)
            f.simulator->setRegisterValue(address, flashRaw);

        if (devScreen) {
            QSignalSpy done(f.window->link(), &KelvaraCom::comSuccess);
            f.find<QSpinBox>("addressInput")->setValue(address);
            f.find<QPushButton>("read")->click();
            QVERIFY(done.wait(operationLimitMs(f.window->link())) && waitIdle(f.window.get()));
        } else {
            QVERIFY(f.readAll());
        }
        QCOMPARE(markedOnAnyPage(address), held);
        QCOMPARE(f.model()->getParameter(address)->getRegisterValue(),
                 int(f.simulator->registerValue(address)));
        if (held) {
            QCOMPARE(watcher.count(), 1);
            return;
        }
        QTRY_COMPARE(watcher.count(), 2);
        QCOMPARE(watcher.titles().last(), QString("Unsaved Changes Replaced"));
        const QString told = watcher.texts().last();
        const QString name = f.model()->getParameter(address)->getName();
        const QString replaced = "replaced by the controller's values.\n\n  " + name;
        QVERIFY2(told.contains("does not hold the value") && told.endsWith(replaced),
                 qPrintable(told));
        if (devScreen)
            QTRY_VERIFY(f.find<QPlainTextEdit>("replyText")->toPlainText().contains(told));
    }

    // One unanswered connection check is no disconnection: nothing is read
    // again, so an edit that was not saved stays.
    void missedCheckKeepsEdits()
    {
        const double edited = f.model()->getParameter(229)->getValue() + 1; // whatever saves left
        edit(229, edited);
        ModalWatcher watcher;
        QSignalSpy readAlls(f.window->link(), &KelvaraCom::readAllComplete);
        QSignalSpy checks(f.window->link(), &KelvaraCom::controllerConnected);
        f.simulator->silenceNextRequests(1);
        QVERIFY(checks.wait(5000) && waitIdle(f.window.get()));
        QCOMPARE(readAlls.count() + watcher.count(), 0);
        QVERIFY(marked(229));
        QCOMPARE(f.model()->getParameter(229)->getValue(), edited);
    }

    // A real reconnection reads everything again and says when that replaced
    // edits, also on the Dashboard, which shows no other boxes.
    void silentControllerDisconnectsAndReconnects()
    {
        f.showPage("dashboardScreen");
        edit(229, f.model()->getParameter(229)->getValue() + 1);
        ModalWatcher watcher;
        f.simulator->setSilent(true);
        // A status read in flight runs its whole retry ladder (7.75 s) before
        // the three failed checks.
        QTRY_VERIFY_WITH_TIMEOUT(!button("readAll")->isEnabled(), 30000);
        QCOMPARE(statusText(f.window.get()), notConnectedText);
        QVERIFY(!button("saveParamsBasic")->isEnabled() && !button("read")->isEnabled());
        QSignalSpy readAlls(f.window->link(), &KelvaraCom::readAllComplete);
        f.simulator->setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(readAlls.count(), 2, 30000);
        QTRY_COMPARE(statusText(f.window.get()), connectedText);
        QVERIFY(button("readAll")->isEnabled() && button("saveParamsBasic")->isEnabled());
        QCOMPARE(watcher.titles(), QStringList{"Unsaved Changes Replaced"});
        QVERIFY(watcher.texts().first().contains(
            "1 unsaved change was replaced by the controller's values"));
        f.showPage("releaseScreen");
    }

    // A second controller (all registers 0) whose port appears while one is
    // connected: listed, not taken; chosen, Restore brings back its values.
    void secondPortAndController()
    {
        ControllerSimulator second;
        QVERIFY(second.start());
        qputenv("KELVARA_EXTRA_PORTS",
                (f.simulator->portName() + ':' + second.portName()).toUtf8());
        auto* box = f.find<QComboBox>("portBox");
        QTRY_COMPARE_WITH_TIMEOUT(box->itemText(0), second.portName(), 5000);
        QCOMPARE(box->currentText(), f.simulator->portName());
        // A blank controller: many of its values lie beyond the limits.
        ModalWatcher watcher;
        QVERIFY(connectTo(f.window.get(), &second));
        QTRY_COMPARE(watcher.titles(), QStringList{"Values Outside Limits"});
        button("restore")->click();
        QCOMPARE(f.model()->getParameter(72)->getRegisterValue(), 0);
        qputenv("KELVARA_EXTRA_PORTS", f.simulator->portName().toUtf8());
    }

    // The empty entry chosen while a read is on its way: what was sent or
    // queued for the old port is dropped, without a box or a status of its own.
    void choosingAnotherPortDisconnectsAtOnce()
    {
        ModalWatcher watcher;
        button("readAll")->click();
        QCOMPARE(f.window->link()->getMode(), int(KelvaraCom::ReadMode));
        QVERIFY(choosePort(f.window.get(), QString()));
        QCOMPARE(f.window->link()->getMode(), int(KelvaraCom::IdleMode));
        // Past the dropped frame's reply time, up to the next connection check.
        QSignalSpy judged(f.window->link(), &KelvaraCom::replyProcessed);
        QVERIFY(judged.wait(10000));
        QCOMPARE(watcher.count(), 0);
        QCOMPARE(statusText(f.window.get()), notConnectedText);
        QVERIFY(!button("readAll")->isEnabled());
        QCOMPARE(f.window->link()->getPortName(), QString());
    }

    void quickMoveOnASetupPage_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("B answers") << true;
        QTest::newRow("A answers again") << false;
    }
    // 1.5 s without an answer is no disconnection; whoever answers then is
    // identified before Restore + Save writes: A gets its own first-read
    // values back, B nothing of A's.
    void quickMoveOnASetupPage()
    {
        QFETCH(bool, moved);
        Bench bench;
        QVERIFY(bench.start());
        // Kv changed and saved through the Dev Screen.
        bench.w.find<QSpinBox>("addressInput")->setValue(72);
        bench.w.find<QDoubleSpinBox>("valueDisplay")->setValue(15.0);
        QSignalSpy saved(bench.w.window->link(), &KelvaraCom::flashSaveComplete);
        bench.button("write")->click();
        QVERIFY(saved.wait(operationLimitMs(bench.w.window->link()))
                && waitIdle(bench.w.window.get()));
        QCOMPARE(int(bench.a->registerValue(72)), 1500);

        QVERIFY(bench.moveTo(bench.silent.get()));
        QVERIFY(bench.silent->waitForRequests(1, 5000)); // a connection check unanswered
        ControllerSimulator* next = moved ? bench.b.get() : bench.a.get();
        QVERIFY(bench.moveTo(next));
        QVERIFY(next->waitForReplies(1, 5000));
        QVERIFY(bench.button("readAll")->isEnabled()); // no disconnection seen

        ModalWatcher watcher;
        bench.button("restore")->click();
        QCOMPARE(bench.parameter(72)->getRegisterValue(), 1234);
        bench.button("saveParamsBasic")->click();
        if (!moved) {
            QVERIFY(saved.wait(operationLimitMs(bench.w.window->link())));
            QCOMPARE(writtenRegisters(bench.a->requests()).value(72), 1234);
            QCOMPARE(int(bench.a->registerValue(72)), 1234);
            QCOMPARE(watcher.count(), 0);
            return;
        }
        // Nothing written to B; it is read as a new connection, and the box
        // names the edit its values replaced.
        QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > 0 || saved.count() > 1, 10000);
        QVERIFY(waitIdle(bench.w.window.get()));
        QCOMPARE(writesOfOthersValues(*bench.b, controllerB, controllerA), (QMap<int, int>()));
        QVERIFY(!writtenRegisters(bench.b->requests()).contains(511));
        QCOMPARE(int(bench.b->registerValue(72)), 2222);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.titles(), QStringList{"Another Controller"}, 10000);
        QVERIFY(watcher.texts().first().contains("1 unsaved change was replaced"));
        QVERIFY(watcher.texts().first().contains("Kv"));
        // Restore now brings back B's own first read.
        bench.button("restore")->click();
        QCOMPARE(bench.parameter(72)->getRegisterValue(), 2222);
        QVERIFY(bench.w.model()->getUnsavedValues().isEmpty());
    }

    // The Dashboard's polls keep the link busy; failing, they count as failed
    // connection checks: the controller is declared lost while its status
    // read is still being sent again, and the plot pauses. B, connected
    // then, is read as a new controller, and Restore + Save back on Basic
    // Setup writes nothing of A's.
    void moveWhileTheDashboardIsShown()
    {
        Bench bench;
        QVERIFY(bench.start());
        KelvaraCom* link = bench.w.window->link();
        bench.w.showPage("dashboardScreen");
        auto* graph = bench.w.find<QPushButton>("dashboardStartStopButton");
        graph->click();
        QCOMPARE(graph->text(), QString("Pause Graphing"));
        // A status read's retries then outlast three connection checks.
        link->setDefaultTimeout(500);
        QVERIFY(bench.moveTo(bench.silent.get()));
        // The next poll comes before the next connection check.
        bench.w.find<QTimer>("monitorTimer")->start();
        QSignalSpy readFailures(link, &KelvaraCom::comError);
        int failuresWhenLost = -1;
        QObject lost;
        connect(link, &KelvaraCom::controllerDisconnected, &lost, [&] {
            if (failuresWhenLost < 0)
                failuresWhenLost = readFailures.count();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!bench.button("readAll")->isEnabled(), 30000);
        QCOMPARE(failuresWhenLost, 0);
        QVERIFY(requestFrames(bench.silent->requests(), 3).contains(qMakePair(258, 74)));
        QCOMPARE(graph->text(), QString("Resume Graphing"));
        QCOMPARE(statusText(bench.w.window.get()), notConnectedText);

        link->setDefaultTimeout(testTimeout);
        QSignalSpy readAlls(link, &KelvaraCom::readAllComplete);
        QVERIFY(bench.moveTo(bench.b.get()));
        QTRY_VERIFY_WITH_TIMEOUT(readAlls.count() >= 2, 30000);
        QTRY_COMPARE(graph->text(), QString("Pause Graphing"));

        bench.w.showPage("releaseScreen");
        QVERIFY(bench.w.readAll());
        bench.button("restore")->click();
        QCOMPARE(bench.parameter(72)->getRegisterValue(), 2222);
        QCOMPARE(bench.parameter(81)->getRegisterValue(), 0);
        bench.edit(227, 29.5);
        QSignalSpy saved(link, &KelvaraCom::flashSaveComplete);
        bench.button("saveParamsBasic")->click();
        QVERIFY(saved.wait(operationLimitMs(link)));
        QCOMPARE(writesOfOthersValues(*bench.b, controllerB, controllerA), (QMap<int, int>()));
        QCOMPARE(int(bench.b->registerValue(227)), 295);
    }

    void moveWhileABoxIsOpen_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::newRow("Read Parameters, Restore, Save") << true;
        QTest::newRow("Save at once") << false;
    }
    // No connection check runs while a box is open, so the move passes
    // unseen; the controller is identified again once it is closed, and a
    // complete read of another one takes a snapshot of its own.
    void moveWhileABoxIsOpen()
    {
        QFETCH(bool, readFirst);
        QMap<int, int> anotherModel = controllerB;
        anotherModel.insert(237, 0x0105); // an "Ostrel V4 Z9"
        Bench bench;
        QVERIFY(bench.start(anotherModel));
        const int ownWheel = bench.b->registerValue(227);
        bench.a->setFlashSaveFails(true);
        bench.edit(227, 29.5);
        ModalWatcher watcher;
        watcher.onBox = [&](QMessageBox*) {
            if (watcher.count() == 1)
                bench.moveTo(bench.b.get());
        };
        bench.button("saveParamsBasic")->click();
        QTRY_COMPARE_WITH_TIMEOUT(watcher.titles(), QStringList{"Save to Flash Fail"}, 10000);
        QVERIFY(bench.w.label(227).endsWith("**"));

        if (readFirst) {
            QVERIFY(bench.w.readAll());
            QCOMPARE(bench.w.model()->getControllerType().name, QString("Ostrel V4 Z9"));
            bench.button("restore")->click();
            bench.edit(229, 41.0);
            QSignalSpy saved(bench.w.window->link(), &KelvaraCom::flashSaveComplete);
            bench.button("saveParamsBasic")->click();
            QVERIFY(saved.wait(operationLimitMs(bench.w.window->link())));
            QCOMPARE(writesOfOthersValues(*bench.b, anotherModel, controllerA), (QMap<int, int>()));
            QCOMPARE(int(bench.b->registerValue(229)), 410);
            // Restore brought back B's own first read.
            QCOMPARE(bench.parameter(72)->getRegisterValue(), 2222);
            QCOMPARE(bench.parameter(75)->getRegisterValue(), 8100);
        } else {
            QSignalSpy saved(bench.w.window->link(), &KelvaraCom::flashSaveComplete);
            bench.button("saveParamsBasic")->click();
            QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > 1 || saved.count() > 0, 10000);
            QVERIFY(waitIdle(bench.w.window.get()));
            const QList<int> written = writtenRegisters(bench.b->requests()).keys();
            QVERIFY2(written.isEmpty() || written == QList<int>{509},
                     qPrintable(QString::number(written.value(0))));
            QCOMPARE(watcher.titles(), (QStringList{"Save to Flash Fail", "Another Controller"}));
            QVERIFY(watcher.texts().last().contains("Wheel Diameter"));
        }
        QCOMPARE(writesOfOthersValues(*bench.b, anotherModel, controllerA), (QMap<int, int>()));
        QCOMPARE(int(bench.b->registerValue(227)), ownWheel);
    }

    void editsTypedWhileReadAreCounted_data()
    {
        QTest::addColumn<bool>("reconnection");
        QTest::addColumn<QString>("told");
        QTest::newRow("first connection")
            << false << "connected and its values were read: 1 unsaved change was replaced";
        QTest::newRow("reconnection")
            << true << "connected again and its values were read: 2 unsaved changes were replaced";
    }
    // The window reads a connecting controller twice; an edit typed between
    // the two reads is replaced as well as one made before, and the box
    // counts and names each.
    void editsTypedWhileReadAreCounted()
    {
        QFETCH(bool, reconnection);
        Bench bench;
        QVERIFY(bench.start(controllerB, reconnection));
        if (reconnection) {
            bench.edit(229, 44.0);
            QVERIFY(bench.moveTo(bench.silent.get()));
            QTRY_VERIFY_WITH_TIMEOUT(!bench.button("readAll")->isEnabled(), 15000);
            QVERIFY(bench.moveTo(bench.a.get()));
        }
        ModalWatcher watcher;
        QObject typing;
        connect(bench.w.window->link(), &KelvaraCom::readAllComplete, &typing, [&] {
            if (bench.w.model()->isValid() && bench.parameter(227)->getValue() != 30.5)
                bench.edit(227, 30.5);
        });
        if (!reconnection)
            QVERIFY(choosePort(bench.w.window.get(), bench.cable.path()));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.titles(), QStringList{"Unsaved Changes Replaced"}, 15000);
        QFETCH(QString, told);
        QVERIFY2(watcher.texts().first().contains(told), qPrintable(watcher.texts().first()));
        QVERIFY(watcher.texts().first().contains("Wheel Diameter"));
        QCOMPARE(watcher.texts().first().contains("Maximum Speed"), reconnection);
    }

    void saveToFlashCutShort_data()
    {
        QTest::addColumn<int>("request");
        QTest::newRow("cable pulled as 511 is written") << 2;
        QTest::newRow("cable pulled before the read-back") << 3;
    }
    // Written but never confirmed in flash: the rows keep their marks and
    // the box says the save to flash failed.
    void saveToFlashCutShort()
    {
        QFETCH(int, request);
        Bench bench;
        QVERIFY(bench.start());
        bench.edit(229, 41.0);
        ModalWatcher watcher;
        bench.a->closeTerminalAtRequest(request);
        bench.button("saveParamsBasic")->click();
        QTRY_COMPARE_WITH_TIMEOUT(watcher.titles(), QStringList{"Save to Flash Fail"}, 15000);
        QCOMPARE(writtenRegisters(bench.a->requests()).value(229), 410);
        QVERIFY(bench.w.label(229).endsWith("**"));
        QVERIFY(bench.w.model()->getUnsavedValues().contains(229));
        QCOMPARE(bench.button("saveParamsBasic")->text(), QString("**Save Parameters"));
    }
};

QTEST_MAIN(TestMainWindowLink)
#include "tst_mainwindowlink.moc"
