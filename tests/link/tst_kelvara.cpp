// The device model: placeholders, saved/unsaved tracking with its marks,
// the first-read snapshot, flash recovery, names and controller types.

#include "bitvector.h"
#include "controllertype.h"
#include "enumparameter.h"
#include "kelvara.h"
#include "parameter.h"
#include "stdoutcapture.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QString fixture(const QString& name)
{
    return QString(KELVARA_TEST_FIXTURES) + "/" + name;
}

// parameterIsOriginal signals as "address:bit:0|1", bit vectors as one
// "address:b:<16 flags>" entry.
class MarkRecorder
{
public:
    explicit MarkRecorder(Kelvara* device)
    {
        m_connection = QObject::connect(device, &Kelvara::parameterIsOriginal, [this](int address, int bit, bool original) {
            const QString prefix = QString::number(address) + ":b:";
            if (bit > 0 && !m_marks.isEmpty() && m_marks.last().startsWith(prefix))
                m_marks.last() += original ? '1' : '0';
            else if (bit >= 0)
                m_marks << prefix + (original ? '1' : '0');
            else
                m_marks << QString("%1:%2").arg(address).arg(original);
        });
    }
    ~MarkRecorder() { QObject::disconnect(m_connection); }

    // All marks since the last take, or only those of one address (a change
    // also reaches the registers whose formulas refer to the changed one).
    QStringList take(int address = -1)
    {
        const QStringList marks = address < 0 ? m_marks : m_marks.filter(QRegularExpression(QString("^%1:").arg(address)));
        m_marks.clear();
        return marks;
    }

private:
    QStringList m_marks;
    QMetaObject::Connection m_connection;
};

// Sixteen bit marks, all original but one.
QString bitMarks(int address, int differingBit = -1)
{
    QString flags(16, '1');
    if (differingBit >= 0)
        flags[differingBit] = '0';
    return QString::number(address) + ":b:" + flags;
}

} // namespace

class TestKelvara : public QObject
{
    Q_OBJECT

private:
    Kelvara* device = nullptr;

    Parameter* p(int address) { return device->getParameter(address); }
    BitVector* bits(int address) { return static_cast<BitVector*>(p(address)); }

    // What the link does for each register of a good read reply.
    void readReply(int address, int raw)
    {
        p(address)->setRegisterValue(raw);
        device->setMatchesSaved(address);
    }

    // A complete first read: every register gets a value and the model becomes valid.
    void readAll()
    {
        const QList<QPair<int, int>> values{{0, 96},     {4, 1152},     {71, 60},  {93, 4100}, {154, 1000},
                                            {212, 0x200}, {349, 2048}, {350, 100}, {509, 0},   {511, 4096}};
        for (const auto& value : values)
            readReply(value.first, value.second);
        device->setValid(true);
    }

private slots:
    void init()
    {
        const QString output = capturedStdout(
            [this] { device = new Kelvara(nullptr, fixture("bod_fixture.json"), fixture("bod_v6_fixture.json")); });
        QCOMPARE(output, QString());
    }

    void cleanup()
    {
        delete device;
        device = nullptr;
    }

    void construction()
    {
        for (int address : {99999, -1, 1, 2026}) {
            Parameter* placeholder = p(address);
            QCOMPARE(placeholder->getName(), QString("invalid"));
            QCOMPARE(placeholder->getAddress(), 0);
            QVERIFY(!placeholder->isWriteable());
            QCOMPARE(placeholder->getValue(), -1.0);
        }
        QCOMPARE(p(71)->getName(), QString("Max Phase Current"));
        QCOMPARE(device->getAllParameters().size(), 27);
        QVERIFY(dynamic_cast<BitVector*>(p(212)) && dynamic_cast<EnumParameter*>(p(4)));
        QVERIFY(!dynamic_cast<BitVector*>(p(71)) && !dynamic_cast<EnumParameter*>(p(71)));

        std::unique_ptr<Kelvara> empty;
        QString output = capturedStdout([&] { empty.reset(new Kelvara(nullptr, "/nonexistent/bod.json", "/nonexistent/bod6.json")); });
        QVERIFY(output.contains("The parameter definitions from /nonexistent/bod.json did not load"));
        QVERIFY(empty->getAllParameters().isEmpty());
        QCOMPARE(empty->getParameter(0)->getName(), QString("invalid"));

        // A broken second set reports its formula failure while being built.
        QTemporaryFile broken;
        QVERIFY(broken.open());
        broken.write(R"({"5": {"name": "x", "read": true, "write": true, "saved": true, "scale": "p[6]"}})");
        broken.flush();
        output = capturedStdout([&] { empty.reset(new Kelvara(nullptr, fixture("bod_fixture.json"), broken.fileName())); });
        QVERIFY(output.contains("Formula refers to register 6, which has no parameter."));
        QCOMPARE(empty->getParameter(5)->getName(), QString("invalid")); // never active
    }

    void tracking()
    {
        MarkRecorder marks(device);
        p(71)->setValue(45);
        bits(212)->setBit(3);
        QVERIFY(marks.take().isEmpty()); // nothing tracked before the first read
        QVERIFY(device->getUnsavedValues().isEmpty());

        readAll();
        marks.take();
        p(71)->setValue(45);
        QCOMPARE(marks.take(71), QStringList{"71:0"});
        QCOMPARE(device->getUnsavedValues(), (QMap<int, int>{{71, 45}}));
        p(71)->setValue(60);
        QCOMPARE(marks.take(71), QStringList{"71:1"});
        QVERIFY(device->getUnsavedValues().isEmpty());

        bits(212)->setBit(3);
        QCOMPARE(marks.take(), QStringList{bitMarks(212, 3)});
        QCOMPARE(device->getUnsavedValues().value(212), 0x0208);
        bits(212)->unsetBit(3);
        QCOMPARE(marks.take(), QStringList{bitMarks(212)});
        QVERIFY(device->getUnsavedValues().isEmpty());

        // A read reply: tracked against the old saved value first, then settled.
        p(71)->setValue(45);
        marks.take();
        readReply(71, 50);
        QCOMPARE(marks.take(71), QStringList({"71:0", "71:1"}));
        QCOMPARE(device->getSavedValues().value(71), 50);
        readReply(212, 0x0201);
        QCOMPARE(marks.take(), QStringList({bitMarks(212, 0), bitMarks(212), "212:1"}));
        QCOMPARE(device->getSavedValues().value(212), 0x0201);

        // A write reply makes the value saved.
        p(71)->setValue(45);
        marks.take();
        device->setMatchesSaved(71);
        QCOMPARE(marks.take(), QStringList{"71:1"});
        QCOMPARE(device->getSavedValues().value(71), 45);
        QVERIFY(device->getUnsavedValues().isEmpty());

        QSignalSpy validated(device, &Kelvara::validated);
        device->setValid(true); // reported on every call
        QCOMPARE(validated.count(), 1);
    }

    void fuzzyComparison_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("savedRaw");
        QTest::addColumn<int>("newRaw");
        QTest::addColumn<bool>("original");
        QTest::newRow("same display, other raw") << 349 << 2048 << 2049 << true;
        QTest::newRow("next display step") << 349 << 2048 << 2100 << false;
        QTest::newRow("zero against 0.001") << 93 << 0 << 1 << false;
        QTest::newRow("zero against zero") << 93 << 0 << 0 << true;
    }

    void fuzzyComparison()
    {
        QFETCH(int, address);
        QFETCH(int, savedRaw);
        QFETCH(int, newRaw);
        QFETCH(bool, original);
        readAll();
        readReply(address, savedRaw);
        MarkRecorder marks(device);
        p(address)->setRegisterValue(newRaw);
        QCOMPARE(marks.take(), QStringList{QString("%1:%2").arg(address).arg(original)});
        QCOMPARE(device->getUnsavedValues().contains(address), !original);
    }

    void restoreFirstReadValues()
    {
        p(71)->setValue(45); // before any read: nothing to restore
        const int before = p(71)->getRegisterValue();
        device->restoreFirstReadValues();
        device->restoreLevel3FirstReadValues();
        QCOMPARE(p(71)->getRegisterValue(), before);

        readAll();
        QVERIFY(!device->areFirstReadValuesSaved());
        device->saveFirstReadValues();
        QVERIFY(device->areFirstReadValuesSaved());
        p(71)->setValue(40);
        device->saveFirstReadValues(); // kept from the first call
        p(4)->setRegisterValue(96);
        readReply(349, 4096); // the controller now holds another value
        p(511)->setRegisterValue(32767);
        p(237)->setRegisterValue(5);
        QStringList order;
        connect(device, &Kelvara::resetTempSensorDropdown, [&] { order << "temperature"; });
        connect(device, &Kelvara::resetPasDeviceDropdown, [&] { order << "pas"; });
        device->restoreFirstReadValues();
        QCOMPARE(order, QStringList({"temperature", "pas"}));
        QCOMPARE(p(71)->getRegisterValue(), 60);
        QCOMPARE(p(4)->getRegisterValue(), 1152);
        QCOMPARE(p(349)->getRegisterValue(), 2048);
        QCOMPARE(p(511)->getRegisterValue(), 32767); // never restored
        QCOMPARE(p(237)->getRegisterValue(), 5); // not writeable
        // Only what now differs from the controller is unsaved.
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({349}));
    }

    void restoreLevel3LeavesUnsavedToTracking()
    {
        readAll();
        device->saveFirstReadValues();
        p(349)->setValue(1.0); // level 3, back to 2048 by the restore: equal to saved
        readReply(350, 300); // level 3, controller now holds 300; restore gives 100
        p(71)->setValue(40); // level 0, stays unsaved
        MarkRecorder marks(device);
        QSignalSpy resets(device, &Kelvara::resetTempSensorDropdown);
        device->restoreLevel3FirstReadValues();
        QCOMPARE(p(349)->getRegisterValue(), 2048);
        QCOMPARE(p(350)->getRegisterValue(), 100);
        QCOMPARE(p(71)->getRegisterValue(), 40);
        QCOMPARE(p(511)->getRegisterValue(), 4096); // level 3 but not in the snapshot
        // 350 differs from the controller, so it stays unsaved and Save writes it.
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({71, 350}));
        QCOMPARE(marks.take(), QStringList({"349:1", "350:0"}));
        QCOMPARE(resets.count(), 0);
    }

    void flashRecovery()
    {
        readAll();
        p(71)->setValue(40);
        bits(212)->setBit(1);
        device->setFlashRecoveryValues();
        QCOMPARE(device->getFlashRecoveryValues(), device->getUnsavedValues());
        // The write succeeds, the flash save is refused.
        device->setMatchesSaved(71);
        device->setMatchesSaved(212);
        p(0)->setValue(90);
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0}));
        MarkRecorder marks(device);
        device->setUnsavedToFlashRecovery();
        // 212 compared with the value just saved.
        QCOMPARE(marks.take(), QStringList({"71:0", bitMarks(212)}));
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0, 71, 212}));
    }

    void namesForThePicker()
    {
        auto names = device->getAllNames();
        QCOMPARE(names.value("Features[09]: Rolling Start Enable"), qMakePair(212, 9));
        QCOMPARE(names.value("Features[12]: Bit 12"), qMakePair(212, 12));
        QCOMPARE(names.value("Max Phase Current"), qMakePair(71, -1));
        QCOMPARE(names.value("Hardware Version"), qMakePair(237, -1));
        QVERIFY(!names.contains("Serial Number") && !names.contains("Features"));
        QCOMPARE(names.value("Extended Flags[03]: Busy"), qMakePair(520, 3));
        for (auto it = names.constBegin(); it != names.constEnd(); ++it)
            QVERIFY2(it.value().first < 512 || it.value().second >= 0, qPrintable(it.key()));

        device->setType(8); // from firmware 6000 on
        names = device->getAllNames();
        QCOMPARE(names.value("Hardware Version"), qMakePair(1881, -1));
        QCOMPARE(names.value("Serial Number"), qMakePair(2017, -1));
    }

    void typeLookup_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("type");
        QTest::newRow("id 8") << 8 << "Kelvara V6 8 6019";
        QTest::newRow("id -3") << -3 << "Ostrel L10 -3 5857";
        QTest::newRow("firmware 5857") << 5857 << "Kelvara -1 5857";
        QTest::newRow("firmware 6023") << 6023 << "Kelvara V6 8 6023";
        QTest::newRow("unknown") << 12345 << "Controller 0 5800";
    }

    void typeLookup()
    {
        QFETCH(int, key);
        QCOMPARE(device->getControllerType().name, QString("Controller"));
        QVERIFY(!device->needsTemperatureTab());
        device->setType(4);
        QVERIFY(device->needsTemperatureTab() && device->getControllerType().spareFlag);
        device->setType(key);
        const ControllerType type = device->getControllerType();
        QTEST(QString("%1 %2 %3").arg(type.name).arg(type.id).arg(type.firmware), "type");
        QVERIFY(!device->isHWIDValid(0) && !device->isHWIDValid(-1) && device->isHWIDValid(7) && !device->isHWIDValid(9));
        QVERIFY(device->firmwareBarrierCrossed(5999, 6000) && device->firmwareBarrierCrossed(6000, 5999));
        QVERIFY(!device->firmwareBarrierCrossed(6000, 6023));
    }

    // Name, id, firmware; flags: temperature tab, spare, HDQ fault LED, HDQ
    // replicates hall, fixed input sources.
    void typeTable()
    {
        const QStringList expected{
            "Controller 0 5800 00000",     "Kelvara -1 5838 00010",       "Kelvara -1 5857 00010",
            "Kelvara -1 5875 00010",       "Ostrel -2 5857 00010",        "Ostrel L10 -3 5857 00010",
            "Ostrel V4 Z9 1 5921 10101",   "Ostrel V4 L10 2 5921 10101",  "Ostrel V4 Trelby 3 5921 10101",
            "Ostrel V4 TSM 4 5921 11101",  "Halvik L10 5 5931 10101",     "Halvik MT 6 5931 10101",
            "Ostrel V5 L10 7 5921 10101",  "Kelvara V6 8 6019 10011",     "Kelvara V6 8 6021 10011",
            "Kelvara V6 8 6023 10011"};
        QStringList rows;
        for (const ControllerType& type : ControllerType::table())
            rows << QString("%1 %2 %3 %4%5%6%7%8").arg(type.name).arg(type.id).arg(type.firmware)
                        .arg(int(type.needsTemperatureTab)).arg(int(type.spareFlag)).arg(int(type.hdqFaultLed))
                        .arg(int(type.hdqReplicatesHall)).arg(int(type.fixedInputSources));
        QCOMPARE(rows, expected);
    }
};

QTEST_GUILESS_MAIN(TestKelvara)
#include "tst_kelvara.moc"
