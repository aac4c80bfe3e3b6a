// The device model: placeholders, saved/unsaved tracking with its marks,
// the first-read snapshot, flash recovery, names and controller types.

#include "bitvector.h"
#include "controlleridentification.h"
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

// The parameterIsOriginal signals since the last take as "address:0|1", the
// sixteen of a bit vector as one "address:b:<flags>"; optionally of one
// address only (a change also reaches registers whose formulas refer to it).
QStringList take(QSignalSpy& spy, int address = -1)
{
    QStringList marks;
    for (const QVariantList& mark : qAsConst(spy)) {
        const int bit = mark.at(1).toInt();
        const QString flag = mark.at(2).toBool() ? "1" : "0";
        if (address >= 0 && mark.at(0).toInt() != address)
            continue;
        if (bit > 0)
            marks.last() += flag;
        else
            marks << mark.at(0).toString() + (bit == 0 ? ":b:" : ":") + flag;
    }
    spy.clear();
    return marks;
}

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
        device->setControllerRamToEdit(address);
    }

    // What the link does for each register of a read reply now.
    void readFromController(int address, int raw)
    {
        device->setTakingControllerValues(true);
        device->setControllerRamFromRead(address, raw);
        device->setTakingControllerValues(false);
    }

    // A complete first read: every register gets a value and the model becomes valid.
    void readAll()
    {
        const QList<QPair<int, int>> values{{0, 96},     {4, 1152},    {71, 60},    {93, 4100},
                                            {154, 1000}, {212, 0x200}, {349, 2048}, {350, 100},
                                            {509, 0},    {511, 4096}};
        for (const auto& value : values)
            readReply(value.first, value.second);
        device->setValid(true);
    }

private slots:
    void init()
    {
        const QString output = capturedStdout([this] {
            device =
                new Kelvara(nullptr, fixture("bod_fixture.json"), fixture("bod_v6_fixture.json"));
        });
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
        QString output = capturedStdout([&] {
            empty.reset(new Kelvara(nullptr, "/nonexistent/bod.json", "/nonexistent/bod6.json"));
        });
        QVERIFY(
            output.contains("The parameter definitions from /nonexistent/bod.json did not load"));
        QVERIFY(empty->getAllParameters().isEmpty());
        QCOMPARE(empty->getParameter(0)->getName(), QString("invalid"));
    }

    void tracking()
    {
        QSignalSpy marks(device, &Kelvara::parameterIsOriginal);
        p(71)->setValue(45);
        bits(212)->setBit(3);
        QVERIFY(take(marks).isEmpty()); // nothing tracked before the first read
        QVERIFY(device->getUnsavedValues().isEmpty());

        readAll();
        take(marks);
        p(71)->setValue(45);
        QCOMPARE(take(marks, 71), QStringList{"71:0"});
        QCOMPARE(device->getUnsavedValues(), (QMap<int, int>{{71, 45}}));
        p(71)->setValue(60);
        QCOMPARE(take(marks, 71), QStringList{"71:1"});
        QVERIFY(device->getUnsavedValues().isEmpty());

        bits(212)->setBit(3);
        QCOMPARE(take(marks), QStringList{bitMarks(212, 3)});
        QCOMPARE(device->getUnsavedValues().value(212), 0x0208);
        bits(212)->unsetBit(3);
        QCOMPARE(take(marks), QStringList{bitMarks(212)});
        QVERIFY(device->getUnsavedValues().isEmpty());

        // A read reply: tracked against the old saved value first, then settled.
        p(71)->setValue(45);
        take(marks);
        readReply(71, 50);
        QCOMPARE(take(marks, 71), QStringList({"71:0", "71:1"}));
        QCOMPARE(device->getSavedValues().value(71), 50);
        readReply(212, 0x0201);
        QCOMPARE(take(marks), QStringList({bitMarks(212, 0), bitMarks(212), "212:1"}));
        QCOMPARE(device->getSavedValues().value(212), 0x0201);

        // A write reply makes the value saved.
        p(71)->setValue(45);
        take(marks);
        device->setControllerRamToEdit(71);
        QCOMPARE(take(marks), QStringList{"71:1"});
        QCOMPARE(device->getSavedValues().value(71), 45);
        QVERIFY(device->getUnsavedValues().isEmpty());

        QSignalSpy validated(device, &Kelvara::validated);
        device->setValid(true); // reported on every call
        QCOMPARE(validated.count(), 1);
    }

    // A value stored as it stands is saved only at the controller's very
    // raw value, also where both show alike (2049 as 2048).
    void exactComparison()
    {
        readAll();
        QSignalSpy marks(device, &Kelvara::parameterIsOriginal);
        const QList<QList<int>> rows{
            {349, 2048, 2049, 0}, {349, 2048, 2100, 0}, {93, 0, 1, 0}, {93, 0, 0, 1}};
        for (const QList<int>& row : rows) {
            readReply(row.at(0), row.at(1));
            take(marks);
            p(row.at(0))->setRegisterValue(row.at(2));
            QCOMPARE(take(marks), QStringList{QString("%1:%2").arg(row.at(0)).arg(row.at(3))});
            QCOMPARE(device->getUnsavedValues().contains(row.at(0)), !row.at(3));
        }
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
        readReply(349, 4096);            // the controller now holds another value
        p(511)->setRegisterValue(32767); // commands typed since
        p(509)->setRegisterValue(61957);
        p(237)->setRegisterValue(5);
        QStringList order;
        connect(device, &Kelvara::resetTempSensorDropdown, [&] { order << "temperature"; });
        connect(device, &Kelvara::resetPasDeviceDropdown, [&] { order << "pas"; });
        device->restoreFirstReadValues();
        QCOMPARE(order, QStringList({"temperature", "pas"}));
        QCOMPARE(p(71)->getRegisterValue(), 60);
        QCOMPARE(p(4)->getRegisterValue(), 1152);
        QCOMPARE(p(349)->getRegisterValue(), 2048);
        // Commands never come from the first read: they go back to what the
        // controller holds now.
        QCOMPARE(p(511)->getRegisterValue(), 4096);
        QCOMPARE(p(509)->getRegisterValue(), 0);
        QCOMPARE(p(237)->getRegisterValue(), 5); // not writeable
        // Only what now differs from the controller is unsaved.
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({349}));
    }

    void restoreLevel3LeavesUnsavedToTracking()
    {
        readAll();
        device->saveFirstReadValues();
        p(349)->setValue(1.0); // level 3, back to 2048 by the restore: equal to saved
        readReply(350, 300);   // level 3, controller now holds 300; restore gives 100
        p(71)->setValue(40);   // level 0, stays unsaved
        QSignalSpy marks(device, &Kelvara::parameterIsOriginal);
        QSignalSpy resets(device, &Kelvara::resetTempSensorDropdown);
        device->restoreLevel3FirstReadValues();
        QCOMPARE(p(349)->getRegisterValue(), 2048);
        QCOMPARE(p(350)->getRegisterValue(), 100);
        QCOMPARE(p(71)->getRegisterValue(), 40);
        QCOMPARE(p(511)->getRegisterValue(), 4096); // level 3 but not in the snapshot
        // 350 differs from the controller, so it stays unsaved and Save writes it.
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({71, 350}));
        QCOMPARE(take(marks), QStringList({"349:1", "350:0"}));
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
        device->setControllerRamToEdit(71);
        device->setControllerRamToEdit(212);
        p(0)->setValue(90);
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0}));
        QSignalSpy marks(device, &Kelvara::parameterIsOriginal);
        device->setUnsavedToFlashRecovery();
        // 212's bit 1 reached the controller's RAM, not its flash.
        QCOMPARE(take(marks), QStringList({"71:0", bitMarks(212, 1)}));
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0, 71, 212}));
        // A read shows the written values: still not in flash.
        readReply(71, p(71)->getRegisterValue());
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0, 71, 212}));
        device->setControllerFlashToRam();
        QCOMPARE(device->getUnsavedValues().keys(), QList<int>({0}));
    }

    // Written, but not in the controller's flash: unsaved whatever the value
    // (a bit vector's marks on the bits that differ from flash), until the
    // controller holds the flash value again or saves to flash.
    void heldOutsideFlash()
    {
        readAll();
        bits(212)->setBit(1);
        device->setControllerRamToEdit(212);
        device->setControllerFlashValue(212, 0x200);
        p(71)->setValue(40);
        device->setControllerRamToEdit(71);
        device->setControllerFlashValue(71, 60);
        device->setControllerFlashValue(71, 50); // the first flash value stays
        QSignalSpy marks(device, &Kelvara::parameterIsOriginal);
        readReply(212, 0x201); // bit 1 back to flash, bit 0 not in flash
        QCOMPARE(take(marks), QStringList({"212:b:0011111111111111", bitMarks(212, 0)}));
        p(71)->setValue(60);
        QCOMPARE(take(marks, 71), QStringList{"71:0"});
        device->setControllerRamToEdit(71); // the flash value written
        device->setControllerFlashToRam();
        QCOMPARE(take(marks), QStringList({"71:1", bitMarks(212)}));
        QVERIFY(device->getUnsavedValues().isEmpty());
    }

    // What one controller holds outside its flash says nothing of another:
    // A lower rating (0) limits the phase current (71), which rescales the
    // regen current (154): the moves are told once the edit is over, and the
    // rating set back puts back both, so nothing is left unsaved. A value
    // the user changed since is the user's and stays.
    void movedValuesGoBackWithTheirCause()
    {
        readAll();
        QSignalSpy moved(device, &Kelvara::valuesMoved);
        p(0)->setValue(50); // 71 at most 36.5 A
        QCOMPARE(moved.count(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(moved.count(), 1);
        const auto moves = moved.takeFirst().first().value<QList<MovedValue>>();
        QCOMPARE(moves.size(), 1);
        QCOMPARE(moves.first().address, 71);
        QCOMPARE(moves.first().before, 60.0);
        QCOMPARE(moves.first().after, 36.0);
        QVERIFY(!moves.first().fromFile);
        // 154 moved too, but only within what it shows (8.79 A as 9 A).
        QCOMPARE(device->getUnsavedValues().keys(), (QList<int>{0, 71}));

        p(0)->setValue(96);
        QCOMPARE(p(71)->getRegisterValue(), 60);
        QCOMPARE(p(154)->getRegisterValue(), 1000);
        QVERIFY(device->getUnsavedValues().isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(moved.count(), 0); // a value back where it was is no move

        p(0)->setValue(50);
        p(71)->setValue(33);
        p(0)->setValue(96);
        QCOMPARE(p(71)->getRegisterValue(), 33);
        QVERIFY(device->getUnsavedValues().contains(71));
    }

    // A write sends the edit where the user changed the register, otherwise
    // the very value the controller holds, also beyond the limits.
    void writesSendTheControllersOwnValue()
    {
        readAll();
        device->setTakingControllerValues(true);
        device->setControllerRamFromRead(71, 80);
        device->setTakingControllerValues(false);
        QCOMPARE(p(71)->getValue(), 71.0);
        QCOMPARE(device->rawToWrite(71), 80);
        QVERIFY(device->getUnsavedValues().isEmpty());
        p(154)->setRegisterValue(1001); // 17.1 A, shown as 17 as 1000 is, and written
        QVERIFY(device->getUnsavedValues().contains(154));
        QCOMPARE(device->rawToWrite(154), 1001);
        p(71)->setValue(50);
        QCOMPARE(device->rawToWrite(71), 50);
    }

    // the same serial number read again keeps the mark, another puts it
    // aside, and the first one shown again brings it back.
    void heldOutsideFlashOfAnotherController()
    {
        readAll();
        p(71)->setValue(40);
        device->setControllerRamToEdit(71);
        device->setControllerFlashValue(71, 60);
        const int serial = p(238)->getRegisterValue();
        readReply(238, serial);
        QVERIFY(device->getUnsavedValues().contains(71));
        QCOMPARE(device->heldOutsideFlash(), QList<int>{71});
        readReply(238, serial + 1);
        QVERIFY(device->getUnsavedValues().isEmpty());
        QCOMPARE(device->heldOutsideFlash(), QList<int>());
        QSignalSpy marks(device, &Kelvara::parameterIsOriginal);
        readReply(238, serial);
        QCOMPARE(take(marks, 71), QStringList{"71:0"});
        QVERIFY(device->getUnsavedValues().contains(71));
        QCOMPARE(device->heldOutsideFlash(), QList<int>{71});
    }

    // A read replaces an edit only where the user's value gives way to the
    // controller's: a register that the read's own earlier registers moved
    // (a lower current rating limits 71) is no edit of the user's.
    void readReplacesEdits()
    {
        readAll();
        QSignalSpy replaced(device, &Kelvara::unsavedValueReplaced);
        QSignalSpy matched(device, &Kelvara::unsavedValueMatched);
        readFromController(0, 50); // 71 shown at its new limit of 36, held as it is
        QCOMPARE(p(71)->getRegisterValue(), 60);
        QCOMPARE(p(71)->getValue(), 36.0);
        QVERIFY(device->getUnsavedValues().isEmpty());
        readFromController(71, 35);
        QCOMPARE(replaced.count(), 0);
        QVERIFY(device->getUnsavedValues().isEmpty());

        p(71)->setValue(32);
        readFromController(71, 32); // the controller holds the edit already
        QCOMPARE(matched.count(), 1);
        p(71)->setValue(33);
        readFromController(71, 35);
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(replaced.at(0).at(0).toInt(), 71);
        QCOMPARE(matched.count(), 1);
    }

    void readOfKeptValues_data()
    {
        QTest::addColumn<bool>("setBackToFlash"); // as a write the user was told failed
        QTest::addColumn<int>("read");
        QTest::addColumn<bool>("told");
        QTest::newRow("holding the value kept") << false << 40 << false;
        QTest::newRow("at a third value, still outside flash") << false << 50 << true;
        QTest::newRow("edit set back to flash") << true << 60 << false;
    }
    // 71 written as 40, kept marked outside the controller's flash (60): a
    // read that finds another value than the one kept tells so, once; not
    // where the page had gone back to the flash value already.
    void readOfKeptValues()
    {
        QFETCH(bool, setBackToFlash);
        QFETCH(int, read);
        QFETCH(bool, told);
        readAll();
        p(71)->setValue(40);
        device->setControllerWrittenValue(71, 40, 60);
        if (setBackToFlash)
            device->setEditToControllerValue(71, 60);
        QSignalSpy kept(device, &Kelvara::keptValueReplaced);
        readFromController(71, read);
        readFromController(71, read);
        QCOMPARE(kept.count(), told ? 1 : 0);
        QCOMPARE(device->getUnsavedValues().contains(71), read != 60);
    }

    // Firmware, hardware version at 237 and at 1881, voltage gain and current
    // rating; then the type found and the firmware of its row. From 5921 on
    // the high byte of the hardware version names the model, from 6000 on it
    // is register 1881; below 5921 voltage gain and current rating decide.
    void identification()
    {
        const QStringList rows{"5921 0x0305 0 0.0 0 = Ostrel V4 Trelby 5921",
                               "5921 0x0005 0 0.0 0 = Ostrel V4 Z9 5921",
                               "5921 0x0905 0 0.0 0 = Ostrel V4 Z9 5921",
                               "5921 0x0700 0 0.0 0 = Ostrel V5 L10 5921",
                               "5931 0x6400 0 0.0 0 = Halvik L10 5931",
                               "5931 0x0612 0 0.0 0 = Halvik MT 5931",
                               "6021 0x0300 0x0800 0.0 0 = Kelvara V6 6019",
                               "6021 0x0800 0x0000 0.0 0 = Kelvara V6 6021",
                               "6020 0 0x0000 0.0 0 = Controller 5800",
                               "6020 0 0x0100 0.0 0 = Ostrel V4 Z9 5921",
                               "5900 0 0 27.5 80 = Ostrel 5857",
                               "5900 0 0 28.0 80 = Ostrel 5857",
                               "5900 0 0 27.0 50 = Ostrel 5857",
                               "5900 0 0 27.5 81 = Controller 5800",
                               "5900 0 0 27.5 100 = Ostrel L10 5857",
                               "5900 0 0 28.0 119 = Ostrel L10 5857",
                               "5900 0 0 27.5 120 = Controller 5800",
                               "5900 0 0 32.0 130 = Kelvara 5838",
                               "5900 0 0 31.0 120 = Kelvara 5838",
                               "5900 0 0 33.0 139 = Kelvara 5838",
                               "5900 0 0 32.0 140 = Controller 5800",
                               "5900 0 0 30.0 130 = Controller 5800",
                               "5900 0 0 33.01 130 = Controller 5800",
                               "5920 0x0300 0 30.0 0 = Controller 5800"};
        for (const QString& row : rows) {
            const QStringList in = row.section(" = ", 0, 0).split(' ');
            device->setType(4); // the result must not depend on the type before
            p(256)->setRegisterValue(in.at(0).toInt());
            p(237)->setRegisterValue(in.at(1).toInt(nullptr, 0));
            p(1881)->setRegisterValue(in.at(2).toInt(nullptr, 0));
            p(15)->setValue(in.at(3).toDouble());
            p(0)->setValue(in.at(4).toInt());
            QCOMPARE(p(15)->getValue(), in.at(3).toDouble());
            identifyControllerType(device);
            const ControllerType type = device->getControllerType();
            QCOMPARE(
                QString("%1 = %2 %3").arg(row.section(" = ", 0, 0), type.name).arg(type.firmware),
                row);
        }
        QCOMPARE(hardwareVersionAddress(5999), 237);
        QCOMPARE(hardwareVersionAddress(6000), 1881);
        QVERIFY(!device->isHWIDValid(0) && !device->isHWIDValid(-1) && device->isHWIDValid(7)
                && !device->isHWIDValid(9));
        QVERIFY(device->firmwareBarrierCrossed(5999, 6000)
                && device->firmwareBarrierCrossed(6000, 5999));
        QVERIFY(!device->firmwareBarrierCrossed(6000, 6023));
    }
};

QTEST_GUILESS_MAIN(TestKelvara)
#include "tst_kelvara.moc"
