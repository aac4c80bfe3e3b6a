#include "formula.h"
#include "parameterset.h"
#include "signalrecorder.h"

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
        registerEntry(
            4, "Baud Rate",
            "\"type\": \"enum\", \"scale\": 1, \"enumDefs\": {\"12\": \"1200\", "
            "\"96\": \"9600\", \"192\": \"19200\", \"384\": \"38400\", \"1152\": \"115200\"}"),
        registerEntry(
            5, "Limited Mode",
            "\"type\": \"enum\", \"scale\": 1, \"min\": \"1\", \"max\": \"3\", "
            "\"enumDefs\": {\"0\": \"Off\", \"1\": \"One\", \"2\": \"Two\", \"4\": \"Four\"}"),
        registerEntry(6, "Read Only Mode",
                      "\"type\": \"enum\", \"scale\": 1, \"enumDefs\": {\"1\": \"One\"}", false),
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
        registerEntry(25, "Per unit", "\"scale\": \"4096\", \"max\": \"1\", \"decimals\": 2"),
        registerEntry(26, "Infinite scale", "\"scale\": \"1 / 0\""),
        registerEntry(27, "Huge limit", "\"scale\": \"1000\", \"min\": \"100\""),
        registerEntry(28, "Reversed",
                      "\"scale\": \"-40.96\", \"min\": \"-10\", \"max\": \"10\", "
                      "\"isSigned\": true"),
        registerEntry(29, "Below zero",
                      "\"scale\": \"40.96\", \"min\": \"-10.01\", \"max\": \"-0.01\", "
                      "\"isSigned\": true"),
        registerEntry(71, "Max Phase Current",
                      "\"units\": \"A\", \"scale\": \"1\", \"min\": \"30\", "
                      "\"max\": \"0.75 * p[0] - 1\", \"type\": \"dependent\""),
        registerEntry(
            154, "Max Regen Phase Current",
            "\"units\": \"A\", \"scale\": \"40.96 * 100 / p[71]\", "
            "\"decimals\": 0, \"min\": \"1\", \"max\": \"0.75 * p[0] - 1\", \"type\": \"dependent\""),
        registerEntry(207, "Sparse Flags",
                      "\"type\": \"bit vector\", \"scale\": 1, \"bitDefs\": {\"1\": \"a\", "
                      "\"9\": \"g\"}"),
        registerEntry(208, "Signed Flags",
                      "\"type\": \"bit vector\", \"scale\": 1, \"isSigned\": true, "
                      "\"bitDefs\": {\"15\": \"Top\"}"),
        registerEntry(258, "Faults",
                      "\"type\": \"bit vector\", \"scale\": 1, \"bitDefs\": {\"0\": \"a\", "
                      "\"1\": \"b\", \"3\": \"c\", \"15\": \"d\"}",
                      false),
    });
}

// The signals of a stored value, and of a value refused and set back.
QStringList stored(const QString& display)
{
    return {"valueChanged", "displayChanged(" + display + ")", "valueSet"};
}
QStringList setBack(const QString& display)
{
    return {"valueChanged", "displayChanged(" + display + ")"};
}

const double notANumber = std::numeric_limits<double>::quiet_NaN();

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
        (*set)[0]->setRegisterValue(95); // the max of 71 is 70.25, its min 30
        set->enumAt(4)->setRegisterValue(96);
    }

    void cleanup() { delete set; }

    void rounding_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("half up") << 11 << 2.5 << 3.0;
        QTest::newRow("negative half toward plus infinity") << 11 << -2.5 << -2.0;
        QTest::newRow("negative below half") << 11 << -2.6 << -3.0;
        QTest::newRow("two decimals negative half") << 24 << -0.125 << -0.12;
        QTest::newRow("beyond 32 bits half") << 11 << 2147483648.5 << 2147483649.0;
        QTest::newRow("decimals beyond 32 bits") << 24 << 123456789.125 << 123456789.13;
    }

    void rounding()
    {
        QFETCH(int, address);
        QFETCH(double, value);
        QFETCH(double, expected);
        QCOMPARE((*set)[address]->roundValue(value), expected);
    }

    void asValue_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("raw");
        QTest::addColumn<double>("display");
        QTest::newRow("half of 4096") << 10 << 2048 << 0.5;
        QTest::newRow("signed scaled") << 17 << -2048 << -0.5;
        QTest::newRow("max clamps display") << 13 << 4500 << 100.0;
        QTest::newRow("zero scale") << 16 << 100 << -1.0;
        QTest::newRow("min over max shows min") << 19 << 7 << 10.0;
        QTest::newRow("three decimals") << 23 << 4353 << 4.353;
        QTest::newRow("dependent max") << 71 << 80 << 70.0;
    }

    void asValue()
    {
        QFETCH(int, address);
        QFETCH(int, raw);
        QFETCH(double, display);
        QCOMPARE((*set)[address]->asValue(raw), display);
    }

    void setRegisterValue_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("stored");
        QTest::newRow("unsigned above width") << 11 << 70000 << 65535;
        QTest::newRow("unsigned below zero, unchanged") << 11 << -5 << 0;
        QTest::newRow("signed above width") << 12 << 40000 << 32767;
        QTest::newRow("signed negative kept") << 12 << -12 << -12;
        QTest::newRow("max times scale") << 13 << 5000 << 4096;
        QTest::newRow("infinite max is no limit") << 18 << 500 << 500;
        QTest::newRow("min over max: min wins") << 19 << 0 << 10;
        QTest::newRow("raw min beyond width stays in width") << 27 << 5 << 65535;
        // A limit between two raw steps holds the step inside it; a
        // negative scale turns the minimum into the upper raw bound.
        QTest::newRow("negative scale, inside the limits") << 28 << 100 << 100;
        QTest::newRow("negative scale, below the minimum") << 28 << 500 << 409;
        QTest::newRow("negative scale, above the maximum") << 28 << -500 << -409;
        QTest::newRow("maximum below zero") << 29 << 5 << -1;
        // A controller reply goes through a plain Parameter pointer: no key check.
        QTest::newRow("enum through the base") << 4 << 100 << 100;
    }

    void setRegisterValue()
    {
        QFETCH(int, address);
        QFETCH(int, raw);
        QFETCH(int, stored);
        Parameter* p = (*set)[address];
        SignalRecorder recorder(p);
        p->setRegisterValue(raw);
        QCOMPARE(p->getRegisterValue(), stored);
        // All three signals, always, even for an unchanged value.
        QCOMPARE(recorder.take(), ::stored(QString::number(p->getValue())));
    }

    void setValue_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QStringList>("signalList");
        // Every register holds 9 before, or its limit: 71 its min 30, 5 its max 3.
        QTest::newRow("above max") << 71 << 80.0 << 70 << stored("70") + setBack("70");
        QTest::newRow("below min") << 71 << 29.2 << 30 << stored("30") + setBack("30");
        QTest::newRow("fraction shows rounded") << 10 << 0.505 << 2089 << stored("0.51");
        QTest::newRow("zero scale stores 0") << 16 << 5.0 << 0 << stored("-1");
        QTest::newRow("huge value saturates unsigned") << 11 << 1e12 << 65535 << stored("65535");
        QTest::newRow("infinite max is no limit") << 18 << 600.0 << 600 << stored("600");
        QTest::newRow("min over max gives min") << 19 << 0.0 << 10 << stored("10") + setBack("10");
        // The current value is announced again so a widget is set back.
        QTest::newRow("product not finite") << 10 << 1e308 << 9 << setBack("0");
        QTest::newRow("value not a number") << 11 << notANumber << 9 << setBack("9");
        QTest::newRow("scale not finite") << 26 << 5.0 << 9 << setBack("0");
        QTest::newRow("not writeable") << 14 << 8.0 << 9 << QStringList();
        // Enum values must be keys within the limits.
        QTest::newRow("enum rounded to key") << 4 << 192.4 << 192 << setBack("192");
        QTest::newRow("enum not a key") << 4 << 100.0 << 9 << QStringList();
        QTest::newRow("enum not a number set back") << 4 << notANumber << 9 << setBack("9");
        QTest::newRow("enum key above max") << 5 << 4.0 << 3 << setBack("3");
    }

    void setValue()
    {
        QFETCH(int, address);
        QFETCH(double, value);
        QFETCH(int, raw);
        QFETCH(QStringList, signalList);
        Parameter* p = (*set)[address];
        p->setRegisterValue(9);
        SignalRecorder recorder(p);
        if (p->getType() == ParameterDefinition::TypeEnum)
            set->enumAt(address)->setValue(value);
        else
            p->setValue(value);
        QCOMPARE(p->getRegisterValue(), raw);
        QCOMPARE(recorder.take(), signalList);
    }

    void setValueKeepsARawValueShowingIt_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("held"); // the controller's; -1: none known
        QTest::addColumn<int>("before");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("raw");
        // 1000 of 4096 shows 0.24, which would store 983.
        QTest::newRow("the register's own") << 10 << -1 << 1000 << 0.24 << 1000;
        QTest::newRow("the controller's, set back") << 10 << 1000 << 2048 << 0.24 << 1000;
        QTest::newRow("another value") << 10 << 1000 << 2048 << 0.25 << 1024;
        // 4500 is 109.86 %, beyond 100 %: shown as the limit.
        QTest::newRow("the controller's beyond the limit, set to the limit")
            << 13 << 4500 << 2048 << 100.0 << 4500;
        QTest::newRow("beyond the limit, set beyond it: the limit")
            << 13 << 4500 << 2048 << 120.0 << 4096;
        // 4097 is 1.00024, on the display grid the limit itself.
        QTest::newRow("the controller's a raw step beyond the limit, set to the limit")
            << 25 << 4097 << 2048 << 1.0 << 4097;
    }

    // A value set that shows as the register's raw value, or as the
    // controller's, gives that very raw value: the display step never
    // reaches a value set back.
    void setValueKeepsARawValueShowingIt()
    {
        QFETCH(int, address);
        QFETCH(int, held);
        QFETCH(int, before);
        QFETCH(double, value);
        QFETCH(int, raw);
        Parameter* p = (*set)[address];
        if (held >= 0)
            p->setHeldValue(held);
        p->setRegisterValue(before);
        SignalRecorder recorder(p);
        p->setValue(value);
        QCOMPARE(p->getRegisterValue(), raw);
        QCOMPARE(recorder.take().mid(0, 3), stored(QString::number(p->getValue())));
    }

    // Announced again with the values it had, a register that formulas
    // refer to leaves their raw values alone.
    void announcedAgainRecomputesNothing()
    {
        Parameter* phase = (*set)[71];
        Parameter* regen = (*set)[154];
        phase->setRegisterValue(60);
        regen->setRegisterValue(1000);
        SignalRecorder recorder(regen);
        phase->setRegisterValue(60);
        emit phase->displayChanged(phase->getValue());
        QCOMPARE(regen->getRegisterValue(), 1000);
        QVERIFY(recorder.take().isEmpty());
        // 17.09 A shows 17, which stored would be 995: within the limits
        // the raw value stays.
        phase->setValue(70);
        QCOMPARE(regen->getRegisterValue(), 1000);
    }

    void enumRegisterValueNeedsKey()
    {
        EnumParameter* baud = set->enumAt(4);
        SignalRecorder recorder(baud);
        baud->setRegisterValue(100);
        QCOMPARE(baud->getRegisterValue(), 96);
        QVERIFY(recorder.take().isEmpty());
        baud->setRegisterValue(384);
        QCOMPARE(baud->getRegisterValue(), 384);
        QCOMPARE(recorder.take(), setBack("384"));
    }

    void bitOperations_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("operations"); // set, unset or toggle a bit
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("signalCount"); // two for each change, none otherwise
        QTest::newRow("set") << 258 << 0 << "s3" << 8 << 2;
        QTest::newRow("set again, unset a clear bit") << 258 << 8 << "s3 u1" << 8 << 0;
        QTest::newRow("toggle") << 258 << 8 << "t3" << 0 << 2;
        QTest::newRow("top and bottom bit") << 258 << 0 << "s15 s0 u15" << 1 << 6;
        QTest::newRow("beyond the register") << 258 << 65535 << "t16 u-1" << 65535 << 0;
        QTest::newRow("unlabelled bits untouchable") << 207 << 1 << "s0 t0 u0 s5" << 1 << 0;
        QTest::newRow("signed keeps its width") << 208 << 0 << "s15" << -32768 << 2;
    }

    void bitOperations()
    {
        QFETCH(int, address);
        QFETCH(int, start);
        QFETCH(QString, operations);
        QFETCH(int, raw);
        QFETCH(int, signalCount);
        BitVector* bits = set->bitsAt(address);
        static_cast<Parameter*>(bits)->setRegisterValue(start);
        SignalRecorder recorder(bits);
        for (const QString& operation : operations.split(' ')) {
            const int bit = operation.mid(1).toInt();
            operation.startsWith('s')       ? bits->setBit(bit)
                : operation.startsWith('u') ? bits->unsetBit(bit)
                                            : bits->toggleBit(bit);
        }
        QCOMPARE(bits->getRegisterValue(), raw);
        QCOMPARE(recorder.take().size(), signalCount);
        for (int bit = -1; bit <= 16; ++bit) // only labelled bits read as set
            QCOMPARE(bits->getBit(bit),
                     bits->getBitDefs()->contains(bit) && bit < 16 && ((raw >> qMax(bit, 0)) & 1));
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

    void dependantsFollow()
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
        // 1000 / 58.514 = 17.09 shows 17; the raw value stays within the
        // limits (stored, 17 would be 995).
        QCOMPARE(regen->getRegisterValue(), 1000);
        QCOMPARE(regenDisplay.last().at(0).toDouble(), 17.0);

        rating->setRegisterValue(200);
        phase->setRegisterValue(100);
        rating->setValue(100); // max of 71 becomes 74
        QCOMPARE(phase->getRegisterValue(), 74);

        // A register the user cannot write is not recomputed.
        (*set)[11]->setRegisterValue(50);
        (*set)[15]->setRegisterValue(40);
        SignalRecorder recorder((*set)[15]);
        (*set)[11]->setValue(20);
        QVERIFY(recorder.take().isEmpty());
        QCOMPARE((*set)[15]->getRegisterValue(), 40);
    }

    // A value the controller holds beyond the limits: kept as it is, shown
    // as the limit, and what the registers it scales are read with.
    void controllerValueBeyondTheLimits()
    {
        Parameter* rating = (*set)[0];
        Parameter* phase = (*set)[71];
        Parameter* regen = (*set)[154];
        rating->setRegisterValue(96); // 71 limited to 71 A
        regen->setRegisterValue(2048);
        SignalRecorder recorder(phase);
        phase->setRegisterValueUnlimited(100);
        QCOMPARE(recorder.take(), stored("71"));
        QCOMPARE(phase->getRegisterValue(), 100);
        QCOMPARE(phase->getValue(), 71.0);
        QCOMPARE(phase->referenceValue(), 100.0);
        QCOMPARE(regen->getValue(), 50.0); // 2048 of 4096 x 100 A: what the controller means
        phase->setRegisterValueUnlimited(70000);
        QCOMPARE(phase->getRegisterValue(), 65535); // the register's width still holds

        // An edit, or the limits, put it on them; so does a limited store.
        phase->setRegisterValueUnlimited(100);
        phase->setRegisterValue(100);
        QCOMPARE(phase->getRegisterValue(), 71);
        QCOMPARE(phase->referenceValue(), 71.0);
    }

    // While the controller's own values are taken, a register a formula
    // refers to rescales and limits its dependants without moving their raw
    // values; otherwise they move only where the new limits move them.
    void recomputationKeepsRawWhileTold()
    {
        Parameter* phase = (*set)[71];
        Parameter* regen = (*set)[154];
        phase->setRegisterValue(60);
        regen->setRegisterValue(1000);
        QList<bool> recomputing;
        QObject::connect(regen, &Parameter::valueChanged, regen,
                         [&] { recomputing << regen->isRecomputing(); });
        Parameter::setRecomputationKeepsRaw(true);
        phase->setValue(70);
        Parameter::setRecomputationKeepsRaw(false);
        QCOMPARE(regen->getRegisterValue(), 1000);
        QCOMPARE(regen->getValue(), 17.0);
        QVERIFY(!recomputing.isEmpty() && !recomputing.contains(false));
        phase->setValue(60);
        QCOMPARE(regen->getRegisterValue(), 1000); // 14.65 A shows 15, within the limits
        // A store of itself is no recomputation.
        recomputing.clear();
        regen->setValue(20);
        QCOMPARE(recomputing, QList<bool>{false});
    }

    // A store that another register's store sets off is told as such.
    void storesSetOffByAnother()
    {
        Parameter* whole = (*set)[11];
        Parameter* twoDecimals = (*set)[24];
        QList<bool> setOff;
        QObject::connect(whole, &Parameter::valueChanged, twoDecimals, [&] {
            setOff << Parameter::isStoringAnother(whole);
            twoDecimals->setValue(whole->getValue() / 2);
        });
        QObject::connect(twoDecimals, &Parameter::valueChanged, twoDecimals,
                         [&] { setOff << Parameter::isStoringAnother(twoDecimals); });
        whole->setValue(7);
        QCOMPARE(setOff, (QList<bool>{false, true}));
        QVERIFY(!Parameter::isStoringAnother(whole));
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

    void connectDisplay()
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

    // A typed value counts on Enter; one beyond a limit gives the limit,
    // never the digits typed before the box refused one. The box never
    // clamps a value into the parameter.
    void connectDisplayTypedBeyondTheLimitGivesTheLimit()
    {
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

        Parameter* whole = (*set)[11];
        QDoubleSpinBox plain; // the toolkit's default range ends at 99.99
        whole->connectDisplay(&plain);
        whole->setRegisterValue(250);
        QCOMPARE(whole->getRegisterValue(), 250);
        QCOMPARE(plain.suffix(), QString());
    }
};

QTEST_MAIN(TestParameter)
#include "tst_parameter.moc"
