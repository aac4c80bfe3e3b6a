// The temperature curve brings back the controller's own values: the main
// window against a simulated controller that holds a sensor voltage beyond
// the suite's limits (93 = 6000, 6 V, shown as 5 V), judged from what Save
// sends it. Its Current Values, the sensing box ticked again and Restore
// leave nothing to write, and a connection tells of nothing replaced.

#include "windowfixture.h"

using namespace WindowFixture;

namespace {

const int zeroDegrees = 93; // Temperature Voltage at 0C
const int features = 212;
const int sensingOn = 16928; // Motor Temperature Sensing Enable (bit 5) set
const int sensingOff = sensingOn & ~(1 << 5);

} // namespace

class TestMainWindowTemperature : public QObject
{
    Q_OBJECT
    std::unique_ptr<ModalWatcher> boxes;
    SimulatedWindow f;

    QComboBox* sensors() const { return f.find<QComboBox>("comboBox_tempSensorType"); }
    void pick(int index) { sensors()->setCurrentIndex(index); }
    void pickCurrentValues() { pick(sensors()->count() - 1); }
    QMap<int, int> save() { return f.save("saveParamsTemperature"); }

    // The curve is the controller's again: 93 holds 6000 as it did, shown
    // as 5 V, and the drop-down is on Current Values.
    void checkControllerCurve()
    {
        QCOMPARE(f.model()->getParameter(zeroDegrees)->getRegisterValue(), 6000);
        QCOMPARE(f.spin("temperatureParameters", zeroDegrees)->value(), 5.0);
        QCOMPARE(sensors()->currentIndex(), sensors()->count() - 1);
    }

private slots:
    void initTestCase()
    {
        boxes = std::make_unique<ModalWatcher>();
        QVERIFY(f.start({{zeroDegrees, 6000}}));
    }

    void cleanupTestCase()
    {
        f.window.reset();
        boxes.reset();
    }

    void init()
    {
        f.simulator->setRegisterValue(features, sensingOn);
        QVERIFY(f.readAll());
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
    }

    // The connection tells of the voltage beyond the limit, and of no
    // change replaced: nothing was edited.
    void connectionTellsOnlyTheLimit()
    {
        QTRY_VERIFY(boxes->titles().contains("Values Outside Limits"));
        QCOMPARE(boxes->titles(), QStringList{"Values Outside Limits"});
        QVERIFY2(boxes->texts().first().contains(
                     "\n  Temperature Voltage at 0C (93): the controller holds 6 V, the page "
                     "shows 5 V\n"),
                 qPrintable(boxes->texts().first()));
        checkControllerCurve();
    }

    // A preset writes its curve; Current Values brings back the
    // controller's, and Save has nothing to write.
    void presetThenCurrentValues()
    {
        pick(0);
        QCOMPARE(f.model()->getParameter(zeroDegrees)->getRegisterValue(), 4353);
        pickCurrentValues();
        checkControllerCurve();
        QCOMPARE(save(), (QMap<int, int>()));
    }

    // Unticked and ticked again, the sensing brings back the curve the
    // controller holds.
    void sensingTickedAgain()
    {
        auto* sensing = f.find<QCheckBox>("TempSensingBox");
        QVERIFY(sensing->isChecked());
        sensing->click();
        sensing->click();
        checkControllerCurve();
        QCOMPARE(save(), (QMap<int, int>()));
    }

    // Sensing off at the controller: the tick writes the bit alone.
    void sensingTickedOn()
    {
        f.simulator->setRegisterValue(features, sensingOff);
        QVERIFY(f.readAll());
        auto* sensing = f.find<QCheckBox>("TempSensingBox");
        QVERIFY(!sensing->isChecked());
        sensing->click();
        checkControllerCurve();
        QCOMPARE(save(), (QMap<int, int>{{features, sensingOn}}));
    }

    // Restore after a preset: the controller's curve, nothing to write.
    void presetThenRestore()
    {
        pick(1);
        QCOMPARE(f.model()->getParameter(zeroDegrees)->getRegisterValue(), 4262);
        f.find<QPushButton>("restoreTemperature")->click();
        checkControllerCurve();
        QCOMPARE(save(), (QMap<int, int>()));
    }

    // After a save of another curve, Current Values is that curve as the
    // controller now holds it.
    void currentValuesFollowASave()
    {
        pick(2);
        QCOMPARE(save().value(zeroDegrees), 4482);
        pick(0);
        pickCurrentValues();
        QCOMPARE(f.model()->getParameter(zeroDegrees)->getRegisterValue(), 4482);
        QCOMPARE(save(), (QMap<int, int>()));
        // Restore brings back the first read's curve (the sample's), which is
        // then the current one: a preset and Current Values keep it as it was
        // read, 93 beyond the limit, and Save writes it so.
        f.find<QPushButton>("restoreTemperature")->click();
        checkControllerCurve();
        pick(0);
        pickCurrentValues();
        checkControllerCurve();
        QCOMPARE(
            save(),
            (QMap<int, int>{{93, 6000}, {94, 3260}, {95, 2040}, {96, 1120}, {97, 600}, {98, 334}}));
    }
};

QTEST_MAIN(TestMainWindowTemperature)
#include "tst_mainwindowtemperature.moc"
