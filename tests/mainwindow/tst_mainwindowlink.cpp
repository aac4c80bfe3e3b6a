// The main window against the simulated controller: connecting through the
// port drop-down, the status line, the read-alls, rows showing the
// controller's values, unsaved marks, Save, Restore, failed saves and
// reconnection.

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
        QVERIFY(connectTo(fresh.get(), f.simulator.get()));
        QTRY_COMPARE(statusText(fresh.get()), connectedText);
        // Two complete read-alls of five blocks; nothing written but access level 3 switched off.
        const QList<QPair<int, int>> blocks = {
            {0, 125}, {125, 125}, {250, 125}, {375, 125}, {500, 11}};
        const auto reads = requestFrames(f.simulator->requests(), 3);
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
        f.simulator->setRegisterValue(77, 9);
        QVERIFY(f.readAll());
        f.simulator->setRegisterValue(77, 2);
        QCOMPARE(qobject_cast<QComboBox*>(FormRows::rowEditor(f.row("displayParameters", 77)))
                     ->currentIndex(),
                 -1);
        QCOMPARE(f.model()->getParameter(77)->getRegisterValue(), 9);
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        QVERIFY(!writtenRegisters(f.simulator->requests()).contains(77));
    }

    void saveSendsExactlyTheChangedRegisters()
    {
        edit(227, 28.5);
        edit(229, 40.0);
        edit(230, 5.5);
        edit(109, 9000); // an Advanced Setup row
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        button("saveParamsBasic")->click();
        QVERIFY(saved.wait(5000) && waitIdle(f.window.get()));
        // The save to flash ends with access level 3 switched off.
        const QList<QPair<int, int>> frames = {{109, 1}, {227, 1}, {229, 2}, {511, 1}, {509, 1}};
        QCOMPARE(requestFrames(f.simulator->requests()), frames);
        const QMap<int, int> written = {{109, 9000}, {227, 285}, {229, 400},
                                        {230, 55},   {509, 0},   {511, 32767}};
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
        QTest::addColumn<QString>("boxTitle");
        QTest::addColumn<QString>("status"); // once the failure is reported
        QTest::newRow("flash not confirmed") << true << 0 << false << "Save to Flash Fail"
                                             << "Save to Flash Fail";
        QTest::newRow("motor running") << true << 5 << false << "Save Error"
                                       << "";
        QTest::newRow("controller silent") << false << 0 << true << "Write Fail"
                                           << "Communication timeout";
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
        ModalWatcher watcher;
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        button("saveParamsBasic")->click();
        QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > 0, 8000);
        f.simulator->setSilent(false);
        disconnect(failure);
        QTEST(watcher.titles().first(), "boxTitle");
        QCOMPARE(saved.count(), 0);
        QVERIFY(marked(229) && f.model()->getUnsavedValues().contains(229));
        QTEST(statusAtFailure, "status");
        // The connection check goes on once the box is closed.
        QVERIFY(f.find<QTimer>("monitorTimer")->isActive());
    }

    // One unanswered connection check is no disconnection: nothing is read
    // again, so an edit that was not saved stays.
    void missedCheckKeepsEdits()
    {
        edit(229, 44.0);
        ModalWatcher watcher;
        QSignalSpy readAlls(f.window->link(), &KelvaraCom::readAllComplete);
        QSignalSpy checks(f.window->link(), &KelvaraCom::controllerConnected);
        f.simulator->silenceNextRequests(1);
        QVERIFY(checks.wait(5000) && waitIdle(f.window.get()));
        QCOMPARE(readAlls.count() + watcher.count(), 0);
        QVERIFY(marked(229));
        QCOMPARE(f.model()->getParameter(229)->getValue(), 44.0);
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
        QVERIFY(connectTo(f.window.get(), &second));
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
};

QTEST_MAIN(TestMainWindowLink)
#include "tst_mainwindowlink.moc"
