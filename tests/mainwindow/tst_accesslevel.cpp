// Access level 3 against the simulator: the box writes the access code and
// unlocks the protected rows, every read-all switches it off again, and the
// firmware number decides which access controls apply.

#include "windowfixture.h"

#include <QCheckBox>
#include <QDoubleSpinBox>

using namespace WindowFixture;

class TestAccessLevel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void boxWritesTheCodeAndUnlocksRows_data();
    void boxWritesTheCodeAndUnlocksRows();
    void readAllSwitchesItOff_data();
    void readAllSwitchesItOff();
    void firmwareDecidesTheControls_data();
    void firmwareDecidesTheControls();

private:
    QList<int> writesTo509() const;

    Workspace workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
    QCheckBox* box = nullptr;
};

void TestAccessLevel::initTestCase()
{
    simulator = startSimulator();
    QVERIFY(simulator);
    window = connectedWindow(simulator.get());
    QVERIFY(window);
    box = window->findChild<QCheckBox*>("AccessLevelBox");
}

// The values of the writes of register 509 since the log was cleared.
QList<int> TestAccessLevel::writesTo509() const
{
    QList<int> values;
    for (const QByteArray& frame : simulator->requests()) {
        if (writeFrames({frame}).value(0) == qMakePair(509, 1))
            values << writtenRegisters({frame}).value(509);
    }
    return values;
}

void TestAccessLevel::boxWritesTheCodeAndUnlocksRows_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("style");
    QTest::newRow("on") << true << 61957 << "QLabel {color: red;}";
    QTest::newRow("off") << false << 0 << "QLabel {color: black;}";
}

void TestAccessLevel::boxWritesTheCodeAndUnlocksRows()
{
    QFETCH(bool, on);
    QFETCH(int, code);
    simulator->clearLog();
    box->setChecked(on);
    QVERIFY(waitIdle(window.get()));
    QCOMPARE(writesTo509(), QList<int>{code});
    QCOMPARE(int(simulator->registerValue(509)), code);
    QTEST(window->findChild<QLabel*>("statusLabel")->styleSheet(), "style");
    for (const char* rowName : {"highLowside", "openCircuitVoltageTestWindow"})
        QCOMPARE(window->findChild<QWidget*>(rowName)->findChild<QDoubleSpinBox*>()->isEnabled(), on);
}

// A failed read reports once: the box off, nothing is written.
void TestAccessLevel::readAllSwitchesItOff_data()
{
    QTest::addColumn<bool>("boxOn");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("good read") << true << false << QStringList();
    QTest::newRow("failed read, box off") << false << true << QStringList{"Read Fail"};
    QTest::newRow("failed read, box on") << true << true << QStringList{"Read Fail", "Write Fail"};
}

void TestAccessLevel::readAllSwitchesItOff()
{
    QFETCH(bool, boxOn);
    QFETCH(bool, silent);
    QFETCH(QStringList, boxes);
    box->setChecked(boxOn);
    QVERIFY(waitIdle(window.get()));
    simulator->clearLog();
    simulator->setSilent(silent);
    ModalWatcher watcher;
    QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
    window->findChild<QPushButton*>("readAll")->click();
    QVERIFY(done.wait(8000));
    QVERIFY(waitIdle(window.get()));
    QTRY_COMPARE(watcher.titles(), boxes);
    simulator->setSilent(false);

    QVERIFY(!box->isChecked());
    QCOMPARE(window->deviceModel()->getParameter(509)->getRegisterValue(), 0);
    const QList<int> writes = writesTo509();
    QCOMPARE(writes.isEmpty(), !boxOn && silent);
    QVERIFY(writes.isEmpty() || writes.last() == 0);
    if (!silent)
        QCOMPARE(int(simulator->registerValue(509)), 0);
}

void TestAccessLevel::firmwareDecidesTheControls_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<bool>("plugBraking");
    QTest::addColumn<bool>("accessFrame");
    QTest::newRow("5.900") << 5900 << false << true;
    QTest::newRow("5.901") << 5901 << true << true;
    QTest::newRow("6.000") << 6000 << true << false;
}

void TestAccessLevel::firmwareDecidesTheControls()
{
    QFETCH(int, firmware);
    window->deviceModel()->getParameter(256)->setRegisterValue(firmware);
    QTEST(window->findChild<QWidget*>("enablePlugBraking")->isEnabled(), "plugBraking");
    QTEST(window->findChild<QWidget*>("AccessLevel3Frame")->isEnabled(), "accessFrame");
}

QTEST_MAIN(TestAccessLevel)
#include "tst_accesslevel.moc"
