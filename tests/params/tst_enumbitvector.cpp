#include "parametername.h"
#include "parameterset.h"
#include "signalrecorder.h"

#include <QListWidget>
#include <QtTest>

#include <limits>

namespace {

QByteArray labelledSet()
{
    QByteArray faults = "\"bitDefs\": {";
    for (int bit = 0; bit < 16; ++bit)
        faults += (bit ? ", " : "") + QByteArray("\"") + QByteArray::number(bit) + "\": \"Fault "
            + QByteArray::number(bit) + "\"";
    faults += "}, \"type\": \"bit vector\", \"scale\": 1";
    return definitionFile({
        registerEntry(4, "Baud Rate",
                      "\"type\": \"enum\", \"scale\": 1, \"enumDefs\": {\"12\": \"1200\", "
                      "\"96\": \"9600\", \"192\": \"19200\", \"384\": \"38400\", \"576\": "
                      "\"57600\", \"1152\": \"115200\"}"),
        registerEntry(5, "Limited Mode",
                      "\"type\": \"enum\", \"scale\": 1, \"min\": \"1\", \"max\": \"3\", "
                      "\"enumDefs\": {\"0\": \"Off\", \"1\": \"One\", \"2\": \"Two\", \"4\": \"Four\"}"),
        registerEntry(6, "Read Only Mode",
                      "\"type\": \"enum\", \"scale\": 1, \"enumDefs\": {\"1\": \"One\"}", false),
        registerEntry(207, "Reserved Display Parameter",
                      "\"type\": \"bit vector\", \"scale\": 1, \"bitDefs\": {\"1\": \"a\", \"2\": "
                      "\"b\", \"3\": \"c\", \"4\": \"d\", \"5\": \"e\", \"6\": \"f\", \"9\": \"g\", "
                      "\"10\": \"h\"}"),
        registerEntry(208, "Signed Flags",
                      "\"type\": \"bit vector\", \"scale\": 1, \"isSigned\": true, "
                      "\"bitDefs\": {\"15\": \"Top\"}"),
        registerEntry(258, "Faults", faults, false),
    });
}

} // namespace

class TestEnumBitVector : public QObject
{
    Q_OBJECT

private:
    ParameterSet* set = nullptr;

private slots:
    void init()
    {
        set = new ParameterSet(labelledSet());
        QVERIFY(set->formulasParsed());
        set->enumAt(4)->setRegisterValue(96);
    }

    void cleanup()
    {
        delete set;
        set = nullptr;
    }

    void enumSetValue_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QStringList>("signalList");
        QTest::newRow("key") << 1152.0 << 1152
                             << QStringList({"valueChanged", "displayChanged(1152)"});
        QTest::newRow("rounded to key") << 192.4 << 192
                                        << QStringList({"valueChanged", "displayChanged(192)"});
        QTest::newRow("not a key") << 100.0 << 96 << QStringList();
        QTest::newRow("negative") << -12.0 << 96 << QStringList();
        QTest::newRow("not a number set back")
            << std::numeric_limits<double>::quiet_NaN() << 96
            << QStringList({"valueChanged", "displayChanged(96)"});
    }

    void enumSetValue()
    {
        QFETCH(double, value);
        QFETCH(int, raw);
        QFETCH(QStringList, signalList);
        EnumParameter* baud = set->enumAt(4);
        baud->setRegisterValue(12);
        baud->setValue(96.4);
        QCOMPARE(baud->getRegisterValue(), 96);
        SignalRecorder recorder(baud);
        baud->setValue(value);
        QCOMPARE(baud->getRegisterValue(), raw);
        QCOMPARE(recorder.take(), signalList);
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
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(384)"}));
    }

    void repliesTakeTheBasePath()
    {
        // A controller reply goes through a plain Parameter pointer: no key check.
        Parameter* baud = set->enumAt(4);
        SignalRecorder recorder(baud);
        baud->setRegisterValue(100);
        QCOMPARE(baud->getRegisterValue(), 100);
        QCOMPARE(baud->getValue(), 100.0);
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(100)", "valueSet"}));
    }

    void enumOutsideLimitsIsSetBack()
    {
        EnumParameter* mode = set->enumAt(5);
        mode->setValue(2);
        QCOMPARE(mode->getRegisterValue(), 2);
        SignalRecorder recorder(mode);
        mode->setValue(4); // a key, but above the max
        QCOMPARE(mode->getRegisterValue(), 2);
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(2)"}));
        mode->setValue(0); // a key, but below the min
        QCOMPARE(mode->getRegisterValue(), 2);
        QCOMPARE(recorder.take().size(), 2);
    }

    void enumNotWriteableIgnoresSetValue()
    {
        EnumParameter* mode = set->enumAt(6);
        SignalRecorder recorder(mode);
        mode->setValue(1);
        QCOMPARE(mode->getRegisterValue(), 0);
        QVERIFY(recorder.take().isEmpty());
    }

    void bitOperations()
    {
        BitVector* faults = set->bitsAt(258);
        SignalRecorder recorder(faults);

        faults->setBit(3);
        QCOMPARE(faults->getRegisterValue(), 8);
        QVERIFY(faults->getBit(3));
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(8)"}));

        faults->setBit(3);
        QVERIFY(recorder.take().isEmpty());

        faults->toggleBit(3);
        QCOMPARE(faults->getRegisterValue(), 0);
        QCOMPARE(recorder.take(), QStringList({"valueChanged", "displayChanged(0)"}));

        faults->unsetBit(3);
        QVERIFY(recorder.take().isEmpty());

        faults->setBit(15);
        faults->setBit(0);
        QCOMPARE(faults->getRegisterValue(), 0x8001);
        faults->unsetBit(15);
        QCOMPARE(faults->getRegisterValue(), 1);
        QCOMPARE(recorder.take().size(), 6);
    }

    void unlabelledBitsAreUntouchable()
    {
        BitVector* display = set->bitsAt(207);
        static_cast<Parameter*>(display)->setRegisterValue(1);
        QVERIFY(!display->getBit(0));
        SignalRecorder recorder(display);
        display->setBit(0);
        display->toggleBit(0);
        display->unsetBit(0);
        QVERIFY(recorder.take().isEmpty());
        QCOMPARE(display->getRegisterValue(), 1);

        BitVector* faults = set->bitsAt(258);
        static_cast<Parameter*>(faults)->setRegisterValue(65535);
        QVERIFY(!faults->getBit(16));
        QVERIFY(!faults->getBit(-1));
        faults->toggleBit(16);
        QCOMPARE(faults->getRegisterValue(), 65535);
    }

    void signedBitVectorKeepsItsWidth()
    {
        BitVector* flags = set->bitsAt(208);
        flags->setBit(15);
        QCOMPARE(flags->getRegisterValue(), -32768);
        QVERIFY(flags->getBit(15));
        flags->toggleBit(15);
        QCOMPARE(flags->getRegisterValue(), 0);
    }

    void bitVectorValidity()
    {
        QVERIFY(set->bitsAt(258)->isValid());
        // Through the base class the base operation runs.
        QVERIFY(static_cast<Parameter*>(set->bitsAt(258))->isValid());
    }

    void parameterNameCarriesKey()
    {
        QListWidget list;
        auto* whole = new ParameterName("Max Phase Current", 71, -1, &list);
        auto* bit = new ParameterName("Features[09]: Rolling Start Enable", 212, 9, &list);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.item(0), whole);
        QCOMPARE(whole->text(), QString("Max Phase Current"));
        QCOMPARE(whole->getAddress(), 71);
        QCOMPARE(whole->getBit(), -1);
        QCOMPARE(bit->getBit(), 9);
        QCOMPARE(bit->type(), int(QListWidgetItem::Type));
    }
};

QTEST_MAIN(TestEnumBitVector)
#include "tst_enumbitvector.moc"
