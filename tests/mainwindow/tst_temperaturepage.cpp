// The Temperature page against the simulator: the tab follows the controller
// type, a sensor preset writes its curve into registers 93 to 98, the
// sensing box enables the page's controls and the motor temperature is read
// on request.

#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QTabWidget>

using namespace WindowFixture;

class TestTemperaturePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void tabFollowsTheControllerType_data();
    void tabFollowsTheControllerType();
    void presetWritesItsCurve();
    void sensingBoxEnablesTheControls();
    void motorTemperatureIsReadOnRequest();

private:
    QList<bool> voltageBoxesEnabled() const;

    Workspace workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
    QComboBox* sensors = nullptr;
};

void TestTemperaturePage::initTestCase()
{
    simulator = startSimulator();
    QVERIFY(simulator);
    window = std::make_unique<MainWindow>();
    window->initControllerConnectionMonitor();
    window->initDraggableGraphs();
    QVERIFY(connectTo(window.get(), simulator.get()));
    QVERIFY(waitIdle(window.get()));
    sensors = window->findChild<QComboBox*>("comboBox_tempSensorType");
}

QList<bool> TestTemperaturePage::voltageBoxesEnabled() const
{
    QList<bool> enabled;
    for (int degrees = 0; degrees <= 125; degrees += 25)
        enabled << window->findChild<QDoubleSpinBox*>(QString("volts_%1_deg").arg(degrees))->isEnabled();
    return enabled;
}

void TestTemperaturePage::tabFollowsTheControllerType_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("index");
    QTest::newRow("no sensor input") << 5800 << -1;
    QTest::newRow("again") << 5800 << -1;
    QTest::newRow("sensor input") << 5921 << 2;
    QTest::newRow("and again") << 5921 << 2;
}

void TestTemperaturePage::tabFollowsTheControllerType()
{
    QFETCH(int, firmware);
    simulator->setRegisterValue(256, firmware);
    QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
    window->onReadAllClicked();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 8000);
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    QTEST(tabs->indexOf(window->findChild<QWidget*>("temperatureScreen")), "index");
    QCOMPARE(window->dashboardIndex(), firmware == 5921 ? 3 : 2);
    QCOMPARE(window->devIndex(), window->dashboardIndex() + 1);
    QVERIFY(waitIdle(window.get()));
}

void TestTemperaturePage::presetWritesItsCurve()
{
    QCOMPARE(sensors->currentText(), QString("Current Values"));
    QVERIFY(!voltageBoxesEnabled().contains(false));
    TemperatureVoltageMapping table(window->deviceModel());
    table.importFromJSON();
    sensors->setCurrentIndex(0);
    QVERIFY(!voltageBoxesEnabled().contains(true));

    simulator->clearLog();
    QSignalSpy saved(window->link(), &KelvaraCom::flashSaveComplete);
    window->findChild<QPushButton*>("saveParamsTemperature")->click();
    QVERIFY(saved.wait(8000));
    QVERIFY(!writtenRegisters(simulator->requests()).isEmpty());
    for (int point = 0; point < TemperatureSensor::pointCount; ++point)
        QCOMPARE(int(simulator->registerValue(93 + point)),
                 qRound(table.sensors.at(0)->getMapping()[point] * 1000));
    // After the save the controller's own curve is shown, and editable.
    QCOMPARE(sensors->currentText(), QString("Current Values"));
    QVERIFY(!voltageBoxesEnabled().contains(false));
}

void TestTemperaturePage::sensingBoxEnablesTheControls()
{
    auto* sensing = window->findChild<QCheckBox*>("TempSensingBox");
    sensing->setChecked(false);
    QVERIFY(!sensors->isEnabled());
    QVERIFY(!window->findChild<QWidget*>("temperature_trip_threshold")->isEnabled());
    QVERIFY(!voltageBoxesEnabled().contains(true));
    sensing->setChecked(true);
    QVERIFY(sensors->isEnabled());
    QVERIFY(window->findChild<QWidget*>("motor_temperature")->isEnabled());
    QVERIFY(!voltageBoxesEnabled().contains(false));
}

void TestTemperaturePage::motorTemperatureIsReadOnRequest()
{
    QVERIFY(waitIdle(window.get()));
    simulator->clearLog();
    window->findChild<QPushButton*>("readMotorTemp")->click();
    QVERIFY(waitIdle(window.get()));
    auto reads = requestFrames(simulator->requests(), 3);
    reads.removeAll(qMakePair(258, 42)); // the connection check
    QCOMPARE(reads, (QList<QPair<int, int>>{{261, 1}, {398, 1}}));
}

QTEST_MAIN(TestTemperaturePage)
#include "tst_temperaturepage.moc"
