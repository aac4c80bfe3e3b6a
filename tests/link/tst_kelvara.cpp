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

using Mark = std::tuple<int, int, bool>;

// The parameterIsOriginal signals of the model, in order.
class MarkRecorder
{
public:
    explicit MarkRecorder(Kelvara* device)
    {
        m_connection = QObject::connect(device, &Kelvara::parameterIsOriginal,
                                        [this](int addr, int bit, bool original) {
                                            m_marks.append(Mark(addr, bit, original));
                                        });
    }
    ~MarkRecorder() { QObject::disconnect(m_connection); }

    // All marks since the last take, or only those of one address (a change
    // also reaches the registers whose formulas refer to the changed one).
    QList<Mark> take(int address = -1)
    {
        QList<Mark> marks;
        for (const Mark& mark : qAsConst(m_marks)) {
            if (address < 0 || std::get<0>(mark) == address)
                marks.append(mark);
        }
        m_marks.clear();
        return marks;
    }

private:
    QList<Mark> m_marks;
    QMetaObject::Connection m_connection;
};

QList<Mark> bitMarks(int address, int differingBit)
{
    QList<Mark> marks;
    for (int bit = 0; bit < 16; ++bit)
        marks.append(Mark(address, bit, bit != differingBit));
    return marks;
}

} // namespace

class TestKelvara : public QObject
{
    Q_OBJECT

private:
    Kelvara* device = nullptr;

    Parameter* p(int address) { return device->getParameter(address); }

    // What the link does for each register of a good read reply.
    void readReply(int address, int raw)
    {
        p(address)->setRegisterValue(raw);
        device->setMatchesSaved(address);
    }

    // A complete first read: every register gets a value and the model becomes valid.
    void readAll()
    {
        readReply(0, 96);
        readReply(4, 1152);
        readReply(71, 60);
        readReply(93, 4100);
        readReply(154, 1000);
        readReply(212, 0x0200);
        readReply(349, 2048);
        readReply(350, 100);
        readReply(509, 0);
        readReply(511, 4096);
        device->setValid(true);
    }

private slots:
    void init()
    {
        const QString output = capturedStdout([this] {
            device = new Kelvara(nullptr, fixture("bod_fixture.json"), fixture("bod_v6_fixture.json"));
        });
        QCOMPARE(output, QString());
    }

    void cleanup()
    {
        delete device;
        device = nullptr;
    }

    void placeholderForUnknownAddresses()
    {
        for (int address : {99999, -1, 1, 2026}) {
            Parameter* placeholder = device->getParameter(address);
            QVERIFY(placeholder);
            QCOMPARE(placeholder->getName(), QString("invalid"));
            QCOMPARE(placeholder->getAddress(), 0);
            QVERIFY(!placeholder->isWriteable());
            QCOMPARE(placeholder->getValue(), -1.0);
        }
        QCOMPARE(device->getParameter(71)->getName(), QString("Max Phase Current"));
        QCOMPARE(device->getAllParameters().size(), 27);
    }

    void parametersMatchTheirDefinitionType()
    {
        QVERIFY(dynamic_cast<BitVector*>(p(212)));
        QVERIFY(dynamic_cast<EnumParameter*>(p(4)));
        QVERIFY(!dynamic_cast<BitVector*>(p(71)) && !dynamic_cast<EnumParameter*>(p(71)));
    }

    void missingDefinitionsStillGivePlaceholder()
    {
        Kelvara* empty = nullptr;
        const QString output = capturedStdout(
            [&] { empty = new Kelvara(nullptr, "/nonexistent/bod.json", "/nonexistent/bod6.json"); });
        QVERIFY(output.contains("The parameter definitions from /nonexistent/bod.json did not load"));
        QVERIFY(empty->getAllParameters().isEmpty());
        Parameter* placeholder = empty->getParameter(0);
        QVERIFY(placeholder);
        QCOMPARE(placeholder->getName(), QString("invalid"));
        delete empty;
    }

    void secondSetIsBuiltAndParsed()
    {
        // A broken second set reports its formula failure while being built.
        QTemporaryFile broken;
        QVERIFY(broken.open());
        broken.write(R"({"5": {"name": "x", "read": true, "write": true, "saved": true,
                             "scale": "p[6]"}})");
        broken.flush();
        Kelvara* model = nullptr;
        const QString output = capturedStdout(
            [&] { model = new Kelvara(nullptr, fixture("bod_fixture.json"), broken.fileName()); });
        QVERIFY(output.contains("Formula refers to register 6, which has no parameter."));
        QCOMPARE(model->getParameter(5)->getName(), QString("invalid")); // never active
        delete model;
    }

    void noTrackingBeforeFirstRead()
    {
        MarkRecorder marks(device);
        p(71)->setValue(45);
        static_cast<BitVector*>(p(212))->setBit(3);
        p(4)->setRegisterValue(96);
        QVERIFY(marks.take().isEmpty());
        QVERIFY(device->getUnsavedValues().isEmpty());
    }

    void trackingByDisplayValue()
    {
        readAll();
        MarkRecorder marks(device);
        p(71)->setValue(45);
        QCOMPARE(marks.take(71), QList<Mark>({Mark(71, -1, false)}));
        QCOMPARE(device->getUnsavedValues(), (QMap<int, int>{{71, 45}}));

        p(71)->setValue(60);
        QCOMPARE(marks.take(71), QList<Mark>({Mark(71, -1, true)}));
        QVERIFY(device->getUnsavedValues().isEmpty());
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
        QCOMPARE(marks.take(), QList<Mark>({Mark(address, -1, original)}));
        QCOMPARE(device->getUnsavedValues().contains(address), !original);
    }

    void bitVectorGetsSixteenBitMarks()
    {
        readAll();
        MarkRecorder marks(device);
        static_cast<BitVector*>(p(212))->setBit(3);
        QCOMPARE(marks.take(), bitMarks(212, 3));
        QCOMPARE(device->getUnsavedValues().value(212), 0x0208);

        static_cast<BitVector*>(p(212))->unsetBit(3);
        QCOMPARE(marks.take(), bitMarks(212, -1));
        QVERIFY(!device->getUnsavedValues().contains(212));
    }

    void readReplySettlesToSaved()
    {
        readAll();
        p(71)->setValue(45);
        MarkRecorder marks(device);
        readReply(71, 50);
        // Change tracking against the old saved value first, then settled.
        QCOMPARE(marks.take(71), QList<Mark>({Mark(71, -1, false), Mark(71, -1, true)}));
        QCOMPARE(device->getSavedValues().value(71), 50);
        QVERIFY(!device->getUnsavedValues().contains(71));

        readReply(212, 0x0201);
        QList<Mark> expected = bitMarks(212, 0);
        expected += bitMarks(212, -1);
        expected += Mark(212, -1, true);
        QCOMPARE(marks.take(), expected);
        QCOMPARE(device->getSavedValues().value(212), 0x0201);
    }

    void writeReplyMakesValueSaved()
    {
        readAll();
        p(71)->setValue(45);
        MarkRecorder marks(device);
        device->setMatchesSaved(71);
        QCOMPARE(marks.take(), QList<Mark>({Mark(71, -1, true)}));
        QCOMPARE(device->getSavedValues().value(71), 45);
        QVERIFY(device->getUnsavedValues().isEmpty());
    }

    void validatedFollowsEveryCall()
    {
        QSignalSpy spy(device, &Kelvara::validated);
        device->setValid(true);
        device->setValid(true);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toBool(), true);
        QVERIFY(device->isValid());
    }

    void firstReadSnapshot()
    {
        readAll();
        QVERIFY(!device->areFirstReadValuesSaved());
        device->saveFirstReadValues();
        QVERIFY(device->areFirstReadValuesSaved());
        p(71)->setValue(40);
        device->saveFirstReadValues(); // kept from the first call
        device->restoreFirstReadValues();
        QCOMPARE(p(71)->getRegisterValue(), 60);
    }

    void restoreFirstReadValues()
    {
        readAll();
        device->saveFirstReadValues();
        p(71)->setValue(40);
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

    void restoreBeforeAnyReadDoesNothing()
    {
        p(0)->setValue(96);
        p(71)->setValue(45);
        p(4)->setRegisterValue(96);
        QSignalSpy resets(device, &Kelvara::resetTempSensorDropdown);
        device->restoreFirstReadValues();
        device->restoreLevel3FirstReadValues();
        QCOMPARE(p(71)->getRegisterValue(), 45);
        QCOMPARE(p(4)->getRegisterValue(), 96);
        QCOMPARE(resets.count(), 0);
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
        QCOMPARE(marks.take(), QList<Mark>({Mark(349, -1, true), Mark(350, -1, false)}));
        QCOMPARE(resets.count(), 0);
    }

    void flashRecovery()
    {
        readAll();
        p(71)->setValue(40);
        static_cast<BitVector*>(p(212))->setBit(1);
        device->setFlashRecoveryValues();
        QCOMPARE(device->getFlashRecoveryValues(), device->getUnsavedValues());
        // The write succeeds, the flash save is refused.
        device->setMatchesSaved(71);
        device->setMatchesSaved(212);
        p(0)->setValue(90);
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0}));

        MarkRecorder marks(device);
        device->setUnsavedToFlashRecovery();
        QList<Mark> expected({Mark(71, -1, false)});
        for (int bit = 0; bit < 16; ++bit)
            expected.append(Mark(212, bit, true)); // compared with the value just saved
        QCOMPARE(marks.take(), expected);
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0, 71, 212}));
    }

    void namesForThePicker()
    {
        const auto names = device->getAllNames();
        QCOMPARE(names.value("Features[09]: Rolling Start Enable"), qMakePair(212, 9));
        QCOMPARE(names.value("Features[12]: Bit 12"), qMakePair(212, 12));
        QCOMPARE(names.value("Max Phase Current"), qMakePair(71, -1));
        QCOMPARE(names.value("Hardware Version"), qMakePair(237, -1));
        QVERIFY(!names.contains("Serial Number"));
        QVERIFY(!names.contains("Features"));
        QCOMPARE(names.value("Extended Flags[03]: Busy"), qMakePair(520, 3));
        for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
            if (it.value().first >= 512)
                QVERIFY2(it.value().second >= 0, qPrintable(it.key()));
        }
    }

    void namesFromFirmware6000()
    {
        device->setType(8);
        const auto names = device->getAllNames();
        QCOMPARE(names.value("Hardware Version"), qMakePair(1881, -1));
        QCOMPARE(names.value("Serial Number"), qMakePair(2017, -1));
    }

    void typeLookup_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("firmware");
        QTest::newRow("id 8") << 8 << "Kelvara V6" << 8 << 6019;
        QTest::newRow("id -3") << -3 << "Ostrel L10" << -3 << 5857;
        QTest::newRow("firmware 5857") << 5857 << "Kelvara" << -1 << 5857;
        QTest::newRow("firmware 6023") << 6023 << "Kelvara V6" << 8 << 6023;
        QTest::newRow("unknown") << 12345 << "Controller" << 0 << 5800;
    }

    void typeLookup()
    {
        QFETCH(int, key);
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(int, firmware);
        device->setType(4);
        device->setType(key);
        const ControllerType type = device->getControllerType();
        QCOMPARE(type.name, name);
        QCOMPARE(type.id, id);
        QCOMPARE(type.firmware, firmware);
    }

    void typeOperations()
    {
        QCOMPARE(device->getControllerType().name, QString("Controller"));
        QVERIFY(!device->needsTemperatureTab());
        QVERIFY(!device->isHWIDValid(0));
        QVERIFY(!device->isHWIDValid(-1));
        QVERIFY(device->isHWIDValid(7));
        QVERIFY(!device->isHWIDValid(9));
        QVERIFY(device->firmwareBarrierCrossed(5999, 6000));
        QVERIFY(device->firmwareBarrierCrossed(6000, 5999));
        QVERIFY(!device->firmwareBarrierCrossed(6000, 6023));
        device->setType(4);
        QVERIFY(device->needsTemperatureTab());
        QVERIFY(device->getControllerType().spareFlag);
    }

    void typeTableRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("firmware");
        // temperature tab, spare, HDQ fault LED, HDQ replicates hall, fixed input sources
        QTest::addColumn<QString>("flags");
        QTest::newRow("row 1") << 0 << "Controller" << 0 << 5800 << "00000";
        QTest::newRow("row 2") << 1 << "Kelvara" << -1 << 5838 << "00010";
        QTest::newRow("row 3") << 2 << "Kelvara" << -1 << 5857 << "00010";
        QTest::newRow("row 4") << 3 << "Kelvara" << -1 << 5875 << "00010";
        QTest::newRow("row 5") << 4 << "Ostrel" << -2 << 5857 << "00010";
        QTest::newRow("row 6") << 5 << "Ostrel L10" << -3 << 5857 << "00010";
        QTest::newRow("row 7") << 6 << "Ostrel V4 Z9" << 1 << 5921 << "10101";
        QTest::newRow("row 8") << 7 << "Ostrel V4 L10" << 2 << 5921 << "10101";
        QTest::newRow("row 9") << 8 << "Ostrel V4 Trelby" << 3 << 5921 << "10101";
        QTest::newRow("row 10") << 9 << "Ostrel V4 TSM" << 4 << 5921 << "11101";
        QTest::newRow("row 11") << 10 << "Halvik L10" << 5 << 5931 << "10101";
        QTest::newRow("row 12") << 11 << "Halvik MT" << 6 << 5931 << "10101";
        QTest::newRow("row 13") << 12 << "Ostrel V5 L10" << 7 << 5921 << "10101";
        QTest::newRow("row 14") << 13 << "Kelvara V6" << 8 << 6019 << "10011";
        QTest::newRow("row 15") << 14 << "Kelvara V6" << 8 << 6021 << "10011";
        QTest::newRow("row 16") << 15 << "Kelvara V6" << 8 << 6023 << "10011";
    }

    void typeTableRows()
    {
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(int, firmware);
        QFETCH(QString, flags);
        const ControllerType type = ControllerType::table().value(row);
        QCOMPARE(type.name, name);
        QCOMPARE(type.id, id);
        QCOMPARE(type.firmware, firmware);
        const auto bit = [](bool flag) { return flag ? QChar('1') : QChar('0'); };
        QCOMPARE(QString() + bit(type.needsTemperatureTab) + bit(type.spareFlag) + bit(type.hdqFaultLed)
                     + bit(type.hdqReplicatesHall) + bit(type.fixedInputSources),
                 flags);
    }
};

QTEST_GUILESS_MAIN(TestKelvara)
#include "tst_kelvara.moc"
