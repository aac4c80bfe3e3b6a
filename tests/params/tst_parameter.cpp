#include "formula.h"
#include "parameterset.h"
#include "signalrecorder.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QByteArray conversionSet()
{
    return definitionFile({
        registerEntry(0, "Controller Output Current Rating", "\"units\": \"A\", \"scale\": \"1\""),
        registerEntry(10, "Fraction", "\"scale\": \"4096\""),
        registerEntry(11, "Whole", "\"scale\": \"1\""),
        registerEntry(12, "Signed", "\"scale\": \"1\", \"isSigned\": true"),
        registerEntry(13, "Percent", "\"scale\": \"40.96\", \"max\": \"100\""),
        registerEntry(14, "Read only", "\"scale\": \"1\"", false),
        registerEntry(15, "Read only dependant", "\"scale\": \"1\", \"max\": \"p[11]\"", false),
        registerEntry(16, "Zero scale", "\"scale\": \"0\""),
        registerEntry(17, "Signed fraction", "\"scale\": \"4096\", \"isSigned\": true"),
        registerEntry(18, "Infinite max", "\"scale\": \"1\", \"max\": \"1 / 0\""),
        registerEntry(19, "Min over max", "\"scale\": \"1\", \"min\": \"10\", \"max\": \"5\""),
        registerEntry(20, "Self limit", "\"scale\": \"1\", \"max\": \"p[20] + 1\""),
        registerEntry(21, "Cycle A", "\"scale\": \"1\", \"max\": \"p[22]\""),
        registerEntry(22, "Cycle B", "\"scale\": \"1\", \"max\": \"p[21] + 5\""),
        registerEntry(23, "Volts", "\"scale\": \"1000\", \"decimals\": 3, \"units\": \"V\""),
        registerEntry(24, "Two decimals", "\"scale\": \"1\", \"decimals\": 2"),
        registerEntry(25, "Three decimals", "\"scale\": \"1\", \"decimals\": 3"),
        registerEntry(26, "Infinite scale", "\"scale\": \"1 / 0\""),
        registerEntry(27, "Huge limit", "\"scale\": \"1000\", \"min\": \"100\""),
        registerEntry(71, "Max Phase Current",
                      "\"units\": \"A\", \"scale\": \"1\", \"min\": \"30\", "
                      "\"max\": \"0.75 * p[0] - 1\", \"type\": \"dependent\""),
        registerEntry(154, "Max Regen Phase Current",
                      "\"units\": \"A\", \"scale\": \"40.96 * 100 / p[71]\", \"decimals\": 0, "
                      "\"min\": \"1\", \"max\": \"0.75 * p[0] - 1\", \"type\": \"dependent\""),
    });
}

} // namespace

class TestParameter : public QObject
{
    Q_OBJECT

private:
    ParameterSet* set = nullptr;

private slots:
    void init()
    {
        set = new ParameterSet(conversionSet());
        QVERIFY(set->formulasParsed());
    }

    void cleanup()
    {
        delete set;
        set = nullptr;
    }

    void rounding_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("half up") << 11 << 2.5 << 3.0;
        QTest::newRow("negative half toward plus infinity") << 11 << -2.5 << -2.0;
        QTest::newRow("negative below half") << 11 << -2.6 << -3.0;
        QTest::newRow("negative whole") << 11 << -3.0 << -3.0;
        QTest::newRow("two decimals") << 24 << 0.505 << 0.51;
        QTest::newRow("two decimals negative half") << 24 << -0.125 << -0.12;
        QTest::newRow("three decimals") << 25 << 4.3534 << 4.353;
        QTest::newRow("beyond 32 bits") << 11 << 1e12 << 1e12;
        QTest::newRow("beyond 32 bits half") << 11 << 2147483648.5 << 2147483649.0;
        QTest::newRow("below 32 bits half") << 11 << -3000000000.5 << -3000000000.0;
        QTest::newRow("decimals beyond 32 bits") << 24 << 123456789.125 << 123456789.13;
    }

    void rounding()
    {
        QFETCH(int, address);
        QFETCH(double, value);
        QFETCH(double, expected);
        QCOMPARE((*set)[address]->roundValue(value), expected);
    }

    void registerValueClamping_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("stored");
        QTest::newRow("unsigned above width") << 11 << 70000 << 65535;
        QTest::newRow("unsigned below zero") << 11 << -5 << 0;
        QTest::newRow("signed above width") << 12 << 40000 << 32767;
        QTest::newRow("signed below width") << 12 << -40000 << -32768;
        QTest::newRow("signed negative kept") << 12 << -12 << -12;
        QTest::newRow("max times scale") << 13 << 5000 << 4096;
        QTest::newRow("inside limits") << 13 << 4000 << 4000;
        QTest::newRow("infinite max is no limit") << 18 << 500 << 500;
        QTest::newRow("min over max: min wins") << 19 << 0 << 10;
        QTest::newRow("raw min beyond width stays in width") << 27 << 5 << 65535;
        QTest::newRow("read only still stores") << 14 << 42 << 42;
    }

    void registerValueClamping()
    {
        QFETCH(int, address);
        QFETCH(int, raw);
        QFETCH(int, stored);
        Parameter* p = (*set)[address];
        SignalRecorder recorder(p);
        p->setRegisterValue(raw);
        QCOMPARE(p->getRegisterValue(), stored);
        // All three signals, always, in this order.
        QCOMPARE(recorder.take(), QStringList({"valueChanged",
                                               QString("displayChanged(%1)").arg(p->getValue()),
                                               "valueSet"}));
    }

    void unchangedValueStillSignals()
    {
        Parameter* p = (*set)[11];
        p->setRegisterValue(7);
        SignalRecorder recorder(p);
        p->setRegisterValue(7);
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(7)", "valueSet"}));
    }

    // A receiver of valueChanged() that stores another value (a graph
    // keeping its gaps) is not undone by a stale displayChanged().
    void displayChangedCarriesTheValueStoredMeanwhile()
    {
        Parameter* p = (*set)[11];
        QObject::connect(p, &Parameter::valueChanged, p, [p] {
            if (p->getRegisterValue() > 10)
                p->setValue(10);
        });
        SignalRecorder recorder(p);
        p->setRegisterValue(50);
        QCOMPARE(recorder.take().mid(4), QStringList({"displayChanged(10)", "valueSet"}));
    }

    void asValue_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("raw");
        QTest::addColumn<double>("display");
        QTest::newRow("half of 4096") << 10 << 2048 << 0.5;
        QTest::newRow("one raw unit rounds to 0") << 10 << 1 << 0.0;
        QTest::newRow("signed scaled") << 17 << -2048 << -0.5;
        QTest::newRow("max clamps display") << 13 << 4500 << 100.0;
        QTest::newRow("zero scale") << 16 << 100 << -1.0;
        QTest::newRow("min over max shows min") << 19 << 7 << 10.0;
        QTest::newRow("three decimals") << 23 << 4353 << 4.353;
    }

    void asValue()
    {
        QFETCH(int, address);
        QFETCH(int, raw);
        QFETCH(double, display);
        QCOMPARE((*set)[address]->asValue(raw), display);
    }

    void missingFormulas()
    {
        ParameterDefinition definition("Bare", 3, 0, "1", "", "", "", "0", 0, false, true, true,
                                       true, nullptr, nullptr,
                                       ParameterDefinition::TypeIndependent, 0, 1.0, "");
        Parameter p(&definition);
        QVERIFY(!p.isValid());
        QCOMPARE(p.getValue(), -1.0);
        SignalRecorder recorder(&p);
        p.setValue(5);
        QVERIFY(recorder.take().isEmpty());
        p.setRegisterValue(5);
        QCOMPARE(p.getRegisterValue(), 5);
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(-1)", "valueSet"}));
    }

    void setValueSignals_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QStringList>("signalList");
        // Register 0 shows 95, so register 71's max is 70.25 and its min 30.
        QTest::newRow("above max")
            << 80.0 << 70
            << QStringList({"valueChanged", "displayChanged(70)", "valueSet", "valueChanged",
                            "displayChanged(70)"});
        QTest::newRow("below min")
            << 29.2 << 30
            << QStringList({"valueChanged", "displayChanged(30)", "valueSet", "valueChanged",
                            "displayChanged(30)"});
        QTest::newRow("in range rounded")
            << 30.4 << 30 << QStringList({"valueChanged", "displayChanged(30)", "valueSet"});
        QTest::newRow("equal to min")
            << 30.0 << 30 << QStringList({"valueChanged", "displayChanged(30)", "valueSet"});
        QTest::newRow("equal to max")
            << 70.25 << 70 << QStringList({"valueChanged", "displayChanged(70)", "valueSet"});
    }

    void setValueSignals()
    {
        QFETCH(double, value);
        QFETCH(int, raw);
        QFETCH(QStringList, signalList);
        (*set)[0]->setRegisterValue(95);
        Parameter* p = (*set)[71];
        p->setRegisterValue(50);
        QCOMPARE(p->asValue(80), 70.0);
        SignalRecorder recorder(p);
        p->setValue(value);
        QCOMPARE(p->getRegisterValue(), raw);
        QCOMPARE(recorder.take(), signalList);
    }

    void minAboveMaxAlwaysGivesMin()
    {
        (*set)[0]->setRegisterValue(30); // max of 71 is now 21.5, below its min 30
        Parameter* p = (*set)[71];
        for (int raw : {0, 25, 30, 60})
            QCOMPARE(p->asValue(raw), 30.0);
        for (double value : {10.0, 30.0, 50.0}) {
            SignalRecorder recorder(p);
            p->setValue(value);
            QCOMPARE(p->getRegisterValue(), 30);
            QCOMPARE(recorder.take().size(), 5);
        }
    }

    void setValueConversion_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("raw");
        QTest::newRow("fraction") << 10 << 0.505 << 2089;
        QTest::newRow("half up") << 11 << 2.5 << 3;
        QTest::newRow("signed half toward plus infinity") << 12 << -2.5 << -2;
        QTest::newRow("zero scale stores 0") << 16 << 5.0 << 0;
        QTest::newRow("huge value saturates unsigned") << 11 << 1e12 << 65535;
        QTest::newRow("huge value saturates signed") << 12 << -1e12 << -32768;
        QTest::newRow("huge scaled value saturates") << 10 << 1e9 << 65535;
        QTest::newRow("infinite max is no limit") << 18 << 600.0 << 600;
    }

    void setValueConversion()
    {
        QFETCH(int, address);
        QFETCH(double, value);
        QFETCH(int, raw);
        Parameter* p = (*set)[address];
        p->setRegisterValue(1);
        p->setValue(value);
        QCOMPARE(p->getRegisterValue(), raw);
    }

    void fractionEmitsRoundedDisplay()
    {
        Parameter* p = (*set)[10];
        SignalRecorder recorder(p);
        p->setValue(0.505);
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(0.51)", "valueSet"}));
    }

    void unusableValuesKeepRawValue_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("value");
        QTest::newRow("product not finite") << 10 << 1e308;
        QTest::newRow("value not a number") << 11 << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("scale not finite") << 26 << 5.0;
    }

    void unusableValuesKeepRawValue()
    {
        QFETCH(int, address);
        QFETCH(double, value);
        Parameter* p = (*set)[address];
        p->setRegisterValue(9);
        SignalRecorder recorder(p);
        p->setValue(value);
        QCOMPARE(p->getRegisterValue(), 9);
        // The current value is announced again so a widget is set back.
        QCOMPARE(recorder.take(),
                 QStringList({"valueChanged", QString("displayChanged(%1)").arg(p->getValue())}));
    }

    void notWriteableIgnoresSetValue()
    {
        Parameter* p = (*set)[14];
        p->setRegisterValue(3);
        SignalRecorder recorder(p);
        p->setValue(8);
        QCOMPARE(p->getRegisterValue(), 3);
        QVERIFY(recorder.take().isEmpty());
    }

    void dependencyChain()
    {
        Parameter* rating = (*set)[0];
        Parameter* phase = (*set)[71];
        Parameter* regen = (*set)[154];
        rating->setRegisterValue(96);
        phase->setRegisterValue(60);
        regen->setRegisterValue(1000);
        QCOMPARE(regen->getRegisterValue(), 1000);

        QSignalSpy regenDisplay(regen, &Parameter::displayChanged);
        phase->setValue(70);
        QCOMPARE(phase->getRegisterValue(), 70);
        // 1000 / 58.514 = 17.09 shows 17; 17 x 58.514 = 994.74 stores 995.
        QCOMPARE(regen->getRegisterValue(), 995);
        QCOMPARE(regen->getValue(), 17.0);
        QVERIFY(!regenDisplay.isEmpty());
        QCOMPARE(regenDisplay.last().at(0).toDouble(), 17.0);
    }

    void ratingChangeMovesDependentLimits()
    {
        Parameter* rating = (*set)[0];
        Parameter* phase = (*set)[71];
        rating->setRegisterValue(200);
        phase->setRegisterValue(100);
        rating->setValue(100); // max of 71 becomes 74
        QCOMPARE(phase->getRegisterValue(), 74);
        QCOMPARE(phase->getValue(), 74.0);
    }

    void notWriteableDependantIsNotRecomputed()
    {
        Parameter* whole = (*set)[11];
        Parameter* dependant = (*set)[15];
        whole->setRegisterValue(50);
        dependant->setRegisterValue(40);
        SignalRecorder recorder(dependant);
        whole->setValue(20);
        QVERIFY(recorder.take().isEmpty());
        QCOMPARE(dependant->getRegisterValue(), 40);
    }

    void formulaCyclesEnd()
    {
        // A limit that refers back to its own register, directly or through
        // another one, must neither recurse without end nor leave the width.
        for (int address : {20, 21, 22}) {
            Parameter* p = (*set)[address];
            p->setRegisterValue(70000);
            p->setValue(9);
            p->setRegisterValue(12);
            QVERIFY(p->getRegisterValue() >= 0 && p->getRegisterValue() <= 65535);
            QVERIFY(std::isfinite(p->getValue()));
        }
    }

    void connectDisplayFollowsWithoutWriteBack()
    {
        Parameter* volts = (*set)[23];
        volts->setRegisterValue(4353);
        QDoubleSpinBox box;
        QSignalSpy edits(volts, &Parameter::valueChanged);
        volts->connectDisplay(&box);
        // Decimals before the value: the box shows all three decimals and
        // does not round the value back into the register.
        QCOMPARE(box.decimals(), 3);
        QCOMPARE(box.value(), 4.353);
        QCOMPARE(box.suffix(), QString(" V"));
        QCOMPARE(edits.count(), 0);
        QCOMPARE(volts->getRegisterValue(), 4353);

        volts->setRegisterValue(1234);
        QCOMPARE(box.value(), 1.234);

        box.setValue(2.5);
        QCOMPARE(volts->getRegisterValue(), 2500);
    }

    void connectDisplayNeverClampsIntoParameter()
    {
        Parameter* whole = (*set)[11];
        QDoubleSpinBox box; // the toolkit's default range ends at 99.99
        whole->connectDisplay(&box);
        whole->setRegisterValue(250);
        QCOMPARE(whole->getRegisterValue(), 250);
        QCOMPARE(box.suffix(), QString());
    }

    // A typed value counts on Enter; one beyond a limit gives the limit,
    // never the digits typed before the box refused one.
    void connectDisplayTypedBeyondTheLimitGivesTheLimit()
    {
        (*set)[0]->setRegisterValue(95);
        Parameter* phase = (*set)[71]; // 30 to 70 A
        phase->setRegisterValue(50);
        QDoubleSpinBox box;
        phase->connectDisplay(&box);
        for (const auto& typed : {qMakePair(QString("75"), 70), qMakePair(QString("-5"), 30)}) {
            box.selectAll();
            QTest::keyClicks(&box, typed.first);
            QTest::keyClick(&box, Qt::Key_Return);
            QCOMPARE(phase->getRegisterValue(), typed.second);
        }

        (*set)[0]->setRegisterValue(200); // the max follows register 0
        phase->setRegisterValue(120);
        QCOMPARE(box.value(), 120.0);
        QCOMPARE(phase->getRegisterValue(), 120);
    }
};

QTEST_MAIN(TestParameter)
#include "tst_parameter.moc"
