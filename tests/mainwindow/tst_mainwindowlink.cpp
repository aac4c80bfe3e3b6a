// The main window against the simulated controller: connecting through the
// port drop-down, the status line, the read-alls, rows showing the
// controller's values, unsaved marks, Save, Restore, failed saves and
// reconnection.

#include "formrows.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

namespace {

const QString sampleType = QStringLiteral("Ostrel V4 Trelby");

// Registers given values of their own before the first connection, so that
// rows showing them cannot be showing the built-in initial values.
const QMap<int, int> distinctValues = {
    {72, 1234},   // Kv, 12.34
    {227, 275},   // Wheel Diameter, 27.5
    {77, 2},      // Motor Position Sensor Type: "Sensorless"
    {127, 0},     // Motor Features: fault tolerant hall (bit 1) off
    {109, 12000}, // Autostart Spinup Time, above the old 9999 ceiling
};

bool isBlockRead(const QByteArray& frame, int address, int count)
{
    return frame.size() == 8 && quint8(frame.at(1)) == 0x03
        && ((quint8(frame.at(2)) << 8) | quint8(frame.at(3))) == address
        && ((quint8(frame.at(4)) << 8) | quint8(frame.at(5))) == count;
}

} // namespace

class TestMainWindowLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void connectsThroughTheDropDown();
    void failedFirstReadEnablesNoSaving();
    void rowsShowTheControllersValues_data();
    void rowsShowTheControllersValues();
    void restoreBringsBackTheFirstRead();
    void valueWithoutEnumTextIsKept();
    void editMarksRowAndSaveButtons();
    void saveSendsExactlyTheChangedRegisters();
    void failedSave_data();
    void failedSave();
    void givingUpShowsTheFailure();
    void linkErrorOnTheDashboardOpensNoBox();
    void missedCheckKeepsEdits();
    void silentControllerDisconnectsAndReconnects();
    void busyPortIsExplainedUntilIgnored();
    void choosingAnotherPortDisconnectsAtOnce();

private:
    QWidget* row(const char* container, int address, int bit = -1) const;
    QPushButton* button(const char* name) const;
    void edit(int address, double value);

    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
};

void TestMainWindowLink::initTestCase()
{
    workspace = std::make_unique<Workspace>();
    simulator = startSimulator();
    QVERIFY(simulator);
    for (auto it = distinctValues.constBegin(); it != distinctValues.constEnd(); ++it)
        simulator->setRegisterValue(it.key(), it.value());
    window = std::make_unique<MainWindow>();
    window->initControllerConnectionMonitor();
}

void TestMainWindowLink::cleanupTestCase()
{
    window.reset();
    simulator.reset();
    workspace.reset();
}

// Every test starts connected to a well-behaved controller, with nothing
// unsaved.
void TestMainWindowLink::init()
{
    simulator->resetFaults();
    simulator->setFlashSaveFails(false);
    simulator->setTorqueCommand(0);
    if (portBox(window.get())->currentText() != simulator->portName() || !button("readAll")->isEnabled())
        QVERIFY(connectTo(window.get(), simulator.get()));
    QVERIFY(waitIdle(window.get()));
    if (!window->deviceModel()->getUnsavedValues().isEmpty()) {
        QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
        button("readAll")->click();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 5000);
        QVERIFY(waitIdle(window.get()));
    }
    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
    simulator->clearLog();
}

QWidget* TestMainWindowLink::row(const char* container, int address, int bit) const
{
    const auto rows = FormRows::findRows(window->findChild<QWidget*>(container));
    for (QWidget* candidate : rows) {
        if (FormRows::rowKey(candidate) == FormRows::Key(address, bit))
            return candidate;
    }
    return nullptr;
}

QPushButton* TestMainWindowLink::button(const char* name) const
{
    return window->findChild<QPushButton*>(name);
}

void TestMainWindowLink::edit(int address, double value)
{
    QWidget* found = row("displayParameters", address);
    if (!found)
        found = row("advancedParameters", address);
    QVERIFY(found);
    found->findChild<QDoubleSpinBox*>()->setValue(value);
}

void TestMainWindowLink::connectsThroughTheDropDown()
{
    // The test's window lets go of the controller: one client per port.
    QVERIFY(choosePort(window.get(), QString()));

    // A fresh window: the empty entry is current until the user chooses.
    MainWindow fresh;
    QComboBox* box = portBox(&fresh);
    QCOMPARE(box->currentText(), QString());
    QVERIFY(box->findText(simulator->portName()) >= 0);
    QVERIFY(!fresh.findChild<QPushButton*>("readAll")->isEnabled());

    simulator->clearLog();
    fresh.initControllerConnectionMonitor();
    QSignalSpy readAlls(fresh.link(), &KelvaraCom::readAllComplete);
    QVERIFY(choosePort(&fresh, simulator->portName()));
    QTRY_COMPARE_WITH_TIMEOUT(readAlls.count(), 2, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(&fresh), sampleType + " is connected", 3000);
    QVERIFY(fresh.findChild<QPushButton*>("readAll")->isEnabled());
    QVERIFY(fresh.findChild<QPushButton*>("saveParamsBasic")->isEnabled());
    QVERIFY(fresh.findChild<QPushButton*>("restore")->isEnabled());

    // Two complete read-alls, five blocks each.
    const QList<QPair<int, int>> blocks = {{0, 125}, {125, 125}, {250, 125}, {375, 125}, {500, 11}};
    const auto requests = simulator->requests();
    for (const auto& block : blocks) {
        const int sent = std::count_if(requests.begin(), requests.end(), [&](const QByteArray& frame) {
            return isBlockRead(frame, block.first, block.second);
        });
        QCOMPARE(sent, 2);
    }
    // Nothing is written but access level 3 switched off after each read.
    QCOMPARE(writtenRegisters(requests), (QMap<int, int>{{509, 0}}));
}

// The link re-enables the save buttons after a failed read; a model that
// never held the controller's values must not be saved, restored or tuned.
void TestMainWindowLink::failedFirstReadEnablesNoSaving()
{
    QVERIFY(choosePort(window.get(), QString()));
    MainWindow fresh;
    fresh.initControllerConnectionMonitor();
    simulator->setSilentAtAddress(0);
    ModalWatcher watcher;
    QSignalSpy readAlls(fresh.link(), &KelvaraCom::readAllComplete);
    QVERIFY(choosePort(&fresh, simulator->portName()));
    QTRY_VERIFY_WITH_TIMEOUT(readAlls.count() >= 1, 8000);
    simulator->setSilentAtAddress(0, false);

    QCOMPARE(watcher.titles(), QStringList{"Read Fail"});
    QVERIFY(!fresh.deviceModel()->isValid());
    QVERIFY(!fresh.deviceModel()->areFirstReadValuesSaved());
    QVERIFY(fresh.findChild<QPushButton*>("readAll")->isEnabled());
    for (const char* name : {"saveParamsBasic", "writeAllDev", "restore", "autotuneWizard"})
        QVERIFY2(!fresh.findChild<QPushButton*>(name)->isEnabled(), name);
}

void TestMainWindowLink::rowsShowTheControllersValues_data()
{
    QTest::addColumn<QString>("container");
    for (const char* page : {"displayParameters", "advancedParameters"})
        QTest::newRow(page) << QString(page);
}

// Each bound row shows what the controller holds, by its own editor kind.
void TestMainWindowLink::rowsShowTheControllersValues()
{
    QFETCH(QString, container);
    Kelvara* model = window->deviceModel();
    const auto rows = FormRows::findRows(window->findChild<QWidget*>(container));
    QVERIFY(!rows.isEmpty());
    for (QWidget* found : rows) {
        const FormRows::Key key = FormRows::rowKey(found);
        Parameter* parameter = model->getParameter(key.first);
        const int raw = qint16(simulator->registerValue(key.first));
        const int controllerRaw = parameter->isSigned() ? raw : simulator->registerValue(key.first);
        QWidget* editor = FormRows::rowEditor(found);
        const QString where = QString("row %1 (%2, %3)").arg(found->objectName()).arg(key.first).arg(key.second);
        if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
            QVERIFY2(qFuzzyCompare(1.0 + spin->value(), 1.0 + parameter->asValue(controllerRaw)),
                     qPrintable(where));
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->currentIndex() >= 0)
                QVERIFY2(combo->currentData().toInt() == controllerRaw, qPrintable(where));
        } else if (auto* check = qobject_cast<QCheckBox*>(editor)) {
            QVERIFY2(check->isChecked() == bool((controllerRaw >> key.second) & 1), qPrintable(where));
        }
        QVERIFY2(!FormRows::rowLabel(found)->text().endsWith("**"), qPrintable(where));
    }
    for (auto it = distinctValues.constBegin(); it != distinctValues.constEnd(); ++it)
        QCOMPARE(model->getParameter(it.key())->getRegisterValue(), it.value());
    QCOMPARE(button("saveParamsBasic")->text(), QString("Save Parameters"));
    QVERIFY(model->getUnsavedValues().isEmpty());
}

void TestMainWindowLink::valueWithoutEnumTextIsKept()
{
    simulator->setRegisterValue(77, 9);
    QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
    button("readAll")->click();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 5000);

    auto* combo = qobject_cast<QComboBox*>(FormRows::rowEditor(row("displayParameters", 77)));
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(window->deviceModel()->getParameter(77)->getRegisterValue(), 9);
    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
    QVERIFY(!writtenRegisters(simulator->requests()).contains(77));

    simulator->setRegisterValue(77, 2);
}

void TestMainWindowLink::editMarksRowAndSaveButtons()
{
    QLabel* label = FormRows::rowLabel(row("displayParameters", 227));
    const QString name = label->text();
    edit(227, 28.5);
    QCOMPARE(label->text(), name + "**");
    for (const char* name : {"saveParamsBasic", "saveParamsAdvanced", "saveParamsTemperature",
                             "saveParamsPedalAssist", "writeAllDev"})
        QCOMPARE(button(name)->text(), QString("**Save Parameters"));
    QCOMPARE(window->findChild<QSpinBox*>("numUnsaved")->value(), 1);

    // A bit row is marked by its own key only.
    auto* plugBraking = qobject_cast<QCheckBox*>(FormRows::rowEditor(row("displayParameters", 174, 3)));
    QLabel* plugLabel = FormRows::rowLabel(row("displayParameters", 174, 3));
    plugBraking->setChecked(!plugBraking->isChecked());
    QCOMPARE(plugLabel->text(), QString("Enable Plug Braking**"));
    QCOMPARE(window->findChild<QSpinBox*>("numUnsaved")->value(), 2);

    // Setting the value back clears the mark.
    edit(227, 27.5);
    QCOMPARE(label->text(), name);
    plugBraking->setChecked(!plugBraking->isChecked());
    QCOMPARE(plugLabel->text(), QString("Enable Plug Braking"));
    QCOMPARE(button("saveParamsBasic")->text(), QString("Save Parameters"));
}

void TestMainWindowLink::saveSendsExactlyTheChangedRegisters()
{
    edit(227, 28.5);  // raw 285
    edit(229, 40.0);  // raw 400
    edit(230, 5.5);   // raw 55
    edit(109, 9000);  // Advanced Setup row

    QSignalSpy saved(window->link(), &KelvaraCom::flashSaveComplete);
    button("saveParamsBasic")->click();
    QVERIFY(saved.wait(5000) && waitIdle(window.get()));

    // The save to flash ends with access level 3 switched off.
    const auto requests = simulator->requests();
    const QList<QPair<int, int>> frames = {{109, 1}, {227, 1}, {229, 2}, {511, 1}, {509, 1}};
    QCOMPARE(writeFrames(requests), frames);
    const QMap<int, int> written = {{109, 9000}, {227, 285}, {229, 400}, {230, 55}, {509, 0}, {511, 32767}};
    QCOMPARE(writtenRegisters(requests), written);
    for (int address : {109, 227, 229, 230})
        QCOMPARE(int(simulator->registerValue(address)), written.value(address));
    QCOMPARE(int(simulator->registerValue(511)), 4096);

    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
    QVERIFY(!FormRows::rowLabel(row("displayParameters", 227))->text().endsWith("**"));
    QCOMPARE(button("saveParamsBasic")->text(), QString("Save Parameters"));
    QVERIFY(button("saveParamsBasic")->isEnabled());
}

void TestMainWindowLink::restoreBringsBackTheFirstRead()
{
    // The first complete read of this window brought the sample
    // controller's values; nothing has been saved since.
    auto* kv = row("displayParameters", 72)->findChild<QDoubleSpinBox*>();
    QVERIFY(button("restore")->isEnabled());
    edit(72, 15.0);
    QVERIFY(FormRows::rowLabel(row("displayParameters", 72))->text().endsWith("**"));

    button("restore")->click();
    QCOMPARE(kv->value(), 12.34);
    QCOMPARE(window->deviceModel()->getParameter(72)->getRegisterValue(), 1234);
    QVERIFY(!FormRows::rowLabel(row("displayParameters", 72))->text().endsWith("**"));
    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
    QTest::qWait(200);
    QVERIFY(writeFrames(simulator->requests()).isEmpty());
}

void TestMainWindowLink::failedSave_data()
{
    QTest::addColumn<double>("speed");
    QTest::addColumn<bool>("flashFails");
    QTest::addColumn<int>("torque");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("boxTitle");
    QTest::addColumn<bool>("markKept");
    QTest::addColumn<QString>("status"); // once the failure is reported

    QTest::newRow("flash not confirmed") << 41.0 << true << 0 << false << "Save to Flash Fail" << true << "Save to Flash Fail";
    QTest::newRow("motor running") << 42.0 << true << 5 << false << "Save Error" << true << "";
    QTest::newRow("controller silent") << 43.0 << false << 0 << true << "Write Fail" << true << "Communication timeout";
}

// A failed save says so in a box; what is not in flash stays marked.
void TestMainWindowLink::failedSave()
{
    QFETCH(double, speed);
    QFETCH(bool, flashFails);
    QFETCH(int, torque);
    QFETCH(bool, silent);
    QFETCH(QString, boxTitle);
    QFETCH(bool, markKept);
    QFETCH(QString, status);

    edit(229, speed);
    QString statusAtFailure;
    connect(window->link(), &KelvaraCom::errorMessage, this,
            [&] { statusAtFailure = statusText(window.get()); });
    simulator->setFlashSaveFails(flashFails);
    simulator->setTorqueCommand(torque);
    simulator->setSilent(silent);

    ModalWatcher watcher;
    QSignalSpy errors(window->link(), &KelvaraCom::comError);
    QSignalSpy motor(window->link(), &KelvaraCom::motorRunning);
    QSignalSpy saved(window->link(), &KelvaraCom::flashSaveComplete);
    button("saveParamsBasic")->click();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > 0, 8000);
    QCOMPARE(watcher.titles().first(), boxTitle);
    QCOMPARE(saved.count(), 0);
    QCOMPARE(errors.count() + motor.count(), 1);

    QLabel* label = FormRows::rowLabel(row("displayParameters", 229));
    QCOMPARE(label->text().endsWith("**"), markKept);
    QCOMPARE(window->deviceModel()->getUnsavedValues().contains(229), markKept);
    disconnect(window->link(), nullptr, this, nullptr);
    QCOMPARE(statusAtFailure, status);
    // The connection check goes on once the box is closed.
    QVERIFY(window->findChild<QTimer*>("monitorTimer")->isActive());

    simulator->setSilent(false);
    simulator->setFlashSaveFails(false);
    simulator->setTorqueCommand(0);
}

// While the link repeats a frame the status says so; once it gives up the
// status names the failure.
void TestMainWindowLink::givingUpShowsTheFailure()
{
    QStringList statusAtRetry;
    QString statusAtFailure;
    connect(window->link(), &KelvaraCom::timeoutOccured, this,
            [&] { statusAtRetry << statusText(window.get()); });
    connect(window->link(), &KelvaraCom::errorMessage, this,
            [&] { statusAtFailure = statusText(window.get()); });
    auto* console = window->findChild<QPlainTextEdit*>("replyText");
    console->clear();

    simulator->setSilent(true);
    ModalWatcher watcher;
    button("readAll")->click();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.count(), 1, 5000);
    simulator->setSilent(false);
    disconnect(window->link(), nullptr, this, nullptr);

    QCOMPARE(watcher.titles().first(), QString("Read Fail"));
    QVERIFY(!statusAtRetry.isEmpty());
    for (const QString& text : qAsConst(statusAtRetry))
        QCOMPARE(text, QString("Communicating..."));
    QCOMPARE(statusAtFailure, QString("Communication timeout"));
    QVERIFY(console->toPlainText().contains("\nCommunicating..."));
}

void TestMainWindowLink::linkErrorOnTheDashboardOpensNoBox()
{
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    tabs->setCurrentWidget(window->findChild<QWidget*>("dashboardScreen"));
    simulator->setSilent(true);
    ModalWatcher watcher;
    QSignalSpy errors(window->link(), &KelvaraCom::comError);
    window->link()->readAll();
    QVERIFY(errors.wait(8000));
    QTest::qWait(100);
    simulator->setSilent(false);
    tabs->setCurrentIndex(0);
    QCOMPARE(watcher.count(), 0);
}

// One unanswered connection check is no disconnection: nothing is read
// again, so an edit that was not saved stays.
void TestMainWindowLink::missedCheckKeepsEdits()
{
    edit(229, 44.0);
    ModalWatcher watcher;
    QSignalSpy readAlls(window->link(), &KelvaraCom::readAllComplete);
    QSignalSpy checks(window->link(), &KelvaraCom::controllerConnected);
    simulator->silenceNextRequests(1);
    QVERIFY(checks.wait(5000) && waitIdle(window.get()));
    QCOMPARE(readAlls.count() + watcher.count(), 0);
    QVERIFY(FormRows::rowLabel(row("displayParameters", 229))->text().endsWith("**"));
    QCOMPARE(window->deviceModel()->getParameter(229)->getValue(), 44.0);
}

// A real reconnection reads everything again and says so when that
// replaced edits.
void TestMainWindowLink::silentControllerDisconnectsAndReconnects()
{
    edit(229, 45.0);
    ModalWatcher watcher;
    simulator->setSilent(true);
    QTRY_VERIFY_WITH_TIMEOUT(!button("readAll")->isEnabled(), 8000);
    QCOMPARE(statusText(window.get()), QString("Controller is not connected"));
    QVERIFY(!button("saveParamsBasic")->isEnabled());
    QVERIFY(!button("read")->isEnabled());

    QSignalSpy readAlls(window->link(), &KelvaraCom::readAllComplete);
    simulator->setSilent(false);
    QTRY_COMPARE_WITH_TIMEOUT(readAlls.count(), 2, 8000);
    QTRY_COMPARE_WITH_TIMEOUT(statusText(window.get()), sampleType + " is connected", 3000);
    QVERIFY(button("readAll")->isEnabled());
    QVERIFY(button("saveParamsBasic")->isEnabled());
    QCOMPARE(watcher.titles(), QStringList{"Unsaved Changes Replaced"});
    QVERIFY(watcher.texts().first().contains("1 unsaved change was replaced by the controller's values"));
}

// Another program holding the port: one box with three choices; after
// "Ignore until next startup" no further box.
void TestMainWindowLink::busyPortIsExplainedUntilIgnored()
{
    QSerialPort holder(simulator->portName());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    {
        ModalWatcher watcher("Ignore until next startup");
        QTRY_COMPARE_WITH_TIMEOUT(watcher.count(), 1, 4000);
        QCOMPARE(watcher.texts().first(), QString("<p>Communication error</p>"));
        QCOMPARE(statusText(window.get()), QString("Controller is not connected"));
        QTest::qWait(2100);
        QCOMPARE(watcher.count(), 1);
    }
    holder.close();
    QVERIFY(connectTo(window.get(), simulator.get()) || button("readAll")->isEnabled());
}

// The empty entry chosen while a read is on its way: what was sent or
// queued for the old port is dropped, without a box or a status of its own.
void TestMainWindowLink::choosingAnotherPortDisconnectsAtOnce()
{
    ModalWatcher watcher;
    button("readAll")->click();
    QCOMPARE(window->link()->getMode(), int(KelvaraCom::ReadMode));
    QVERIFY(choosePort(window.get(), QString()));
    QCOMPARE(statusText(window.get()), QString("Controller is not connected"));
    QCOMPARE(window->link()->getMode(), int(KelvaraCom::IdleMode));

    // Past the dropped frame's reply time, up to the next connection check.
    QSignalSpy judged(window->link(), &KelvaraCom::replyProcessed);
    QVERIFY(judged.wait(3000));
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(statusText(window.get()), QString("Controller is not connected"));
    QVERIFY(!button("readAll")->isEnabled());
    QVERIFY(!button("saveParamsBasic")->isEnabled());
    QCOMPARE(window->link()->getPortName(), QString());
}

QTEST_MAIN(TestMainWindowLink)
#include "tst_mainwindowlink.moc"
