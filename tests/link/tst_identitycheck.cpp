// The identity check of the link against controllers behind one adapter
// whose cable moves, judged from what each controller received: the check's
// answers come from one try, the write it clears leaves at once, and a
// controller refused a write does not make the one that was read refused
// when it answers again.

#include "cablelink.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "linkcases.h"
#include "parameter.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const int wheelAddress = CableLink::wheelAddress;
const int flashSaveAddress = 511;

const QString checkRead = identityCheckFrame();
const QString flashWrite = spaced(Frames::write(flashSaveAddress, {32767}));
const QString flashRead = spaced(Frames::read(flashSaveAddress, 1));

} // namespace

class TestIdentityCheck : public QObject
{
    Q_OBJECT

private slots:
    void checkReadLostAsTheCableMoves_data()
    {
        QTest::addColumn<int>("firmware"); // of A and B; 0: the sample's
        QTest::addColumn<int>("lostRead"); // the address of the check's read that is lost
        QTest::addColumn<QString>("to");   // where the cable goes as the check reads
        QTest::addColumn<int>("tries");    // of the check after the lost read, on A
        QTest::newRow("C: A's serial number, another firmware") << 0 << 237 << "C" << 0;
        QTest::newRow("back onto A") << 0 << 237 << "A" << 1;
        // From firmware 6000 on the check reads 1881 and 2017 after 237 to
        // 256; a try begun again starts from its first read.
        QTest::newRow("firmware 6000 on, 1881 lost, C") << 6021 << 1881 << "C" << 0;
        QTest::newRow("firmware 6000 on, 2017 lost, C") << 6021 << 2017 << "C" << 0;
        QTest::newRow("firmware 6000 on, 2017 lost, back onto A") << 6021 << 2017 << "A" << 1;
    }
    // A read of the check is lost as the cable moves. The check begins
    // again from its first read, and no answer of the earlier try counts:
    // C, whose hardware version and serial number are A's, is told from A by
    // its own firmware and gets nothing; A again is served.
    void checkReadLostAsTheCableMoves()
    {
        QFETCH(int, firmware);
        QFETCH(int, lostRead);
        QFETCH(QString, to);
        QFETCH(int, tries);
        CableLink t;
        QVERIFY(t.start(40, true, firmware));
        ControllerSimulator* next = to == "C" ? &t.c : &t.a;
        QVERIFY(t.adapter.moveOn(CableAdapter::Trigger::readAt(lostRead), {next}));
        QSignalSpy refused(&t.link, &KelvaraCom::otherControllerAnswered);
        QSignalSpy failures(&t.link, &KelvaraCom::errorMessage);
        QSignalSpy saved(&t.link, &KelvaraCom::flashSaveComplete);
        t.saveWheel(30.5);
        QTRY_VERIFY_WITH_TIMEOUT(failures.count() + saved.count() > 0, 10000);
        QCOMPARE(t.adapter.requestsTo(nullptr).size(), 1);
        QStringList tryReads{checkRead};
        if (firmware >= 6000)
            tryReads << spaced(Frames::read(1881, 1)) << spaced(Frames::read(2017, 1));
        const QStringList answeredBefore = tryReads.mid(0,
                                                        lostRead == 237        ? 0
                                                            : lostRead == 1881 ? 1
                                                                               : 2);
        const QString write = spaced(Frames::write(wheelAddress, {305}));
        if (to == "C") {
            QCOMPARE(refused.count(), 1);
            QCOMPARE(failures.first().first().toString(), QString("Another Controller"));
            QCOMPARE(CableLink::frames(t.a), answeredBefore);
            QCOMPARE(CableLink::frames(t.c), tryReads);
            QCOMPARE(CableLink::writes(t.c), QStringList());
            QCOMPARE(int(t.c.registerValue(wheelAddress)), int(t.a.registerValue(wheelAddress)));
            QVERIFY(t.model.getUnsavedValues().contains(wheelAddress));
        } else {
            QCOMPARE(refused.count(), 0);
            QCOMPARE(failures.count(), 0);
            QStringList expected = answeredBefore;
            for (int i = 0; i < tries; ++i)
                expected += tryReads;
            expected << write << flashWrite << flashRead;
            QCOMPARE(CableLink::frames(t.a), expected);
            QCOMPARE(int(t.a.registerValue(wheelAddress)), 305);
        }
    }

    // The check's first read goes unanswered on A, so answers may still be
    // due when the check ends; the write it clears leaves at once all the
    // same, right after the check's last read, and the cable that moves to
    // B after that carries nothing of A's: the next frame is lost in the
    // silence, and B, answering the check then, gets nothing.
    void moveAfterACheckThatWaited()
    {
        CableLink t;
        QVERIFY(t.start(100));
        t.a.loseRepliesAtAddress(237, 1);
        // A takes the check's second read and stays for a while, then the
        // cable is off for 1.5 s and on B.
        QVERIFY(t.adapter.moveOn(CableAdapter::Trigger::readAt(237).nth(2),
                                 {CableAdapter::Stop(&t.a, 300), CableAdapter::silence(1500), &t.b},
                                 CableAdapter::TriggerFrame::ToNew));
        QSignalSpy failures(&t.link, &KelvaraCom::errorMessage);
        QSignalSpy saved(&t.link, &KelvaraCom::flashSaveComplete);
        t.saveWheel(30.5);
        QTRY_VERIFY_WITH_TIMEOUT(failures.count() + saved.count() > 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(t.link.getMode(), int(KelvaraCom::IdleMode), 10000);
        QCOMPARE(saved.count(), 0);
        QCOMPARE(CableLink::writes(t.b), QStringList());
        // The check's reads of A, and only a write can follow them.
        const QStringList ofA = CableLink::frames(t.a);
        QCOMPARE(ofA.mid(0, 2), (QStringList{checkRead, checkRead}));
        QVERIFY2(ofA.size() == 2 || ofA.at(2) == spaced(Frames::write(wheelAddress, {305})),
                 qPrintable(ofA.join(" | ")));
    }

    void flashSaveReadsAfterASilence_data()
    {
        QTest::addColumn<int>("flashOfB");
        QTest::addColumn<int>("torqueOfB");
        QTest::newRow("B's motor running") << 0 << 500;
        QTest::newRow("B saved before") << 4096 << 0;
    }
    // A takes the wheel and the save to flash; the read-back of 511 is lost
    // as the cable moves to B. Nothing of the save is decided by B: B gets
    // the check's reads alone, is refused, and the save is told as not
    // confirmed, with the wheel left outside A's flash.
    void flashSaveReadsAfterASilence()
    {
        QFETCH(int, flashOfB);
        QFETCH(int, torqueOfB);
        CableLink t;
        QVERIFY(t.start(40));
        t.b.setRegisterValue(flashSaveAddress, flashOfB);
        t.b.setTorqueCommand(torqueOfB);
        QVERIFY(t.adapter.moveOn(CableAdapter::Trigger::readAt(flashSaveAddress), {&t.b}));
        QSignalSpy failures(&t.link, &KelvaraCom::errorMessage);
        QSignalSpy running(&t.link, &KelvaraCom::motorRunning);
        QSignalSpy saved(&t.link, &KelvaraCom::flashSaveComplete);
        t.model.getParameter(wheelAddress)->setValue(30.5);
        t.link.writeAll();
        QVERIFY(failures.wait(10000));
        QCOMPARE(failures.first().first().toString(), QString("Save to Flash Fail"));
        QVERIFY(failures.first().at(1).toString().contains("may or may not hold the values"));
        QCOMPARE(running.count() + saved.count(), 0);
        QCOMPARE(CableLink::frames(t.b), QStringList{checkRead});
        QCOMPARE(int(t.a.registerValue(flashSaveAddress)), 4096);
        QVERIFY(t.link.isFlashSaveUnconfirmed());
        QVERIFY(t.model.heldOutsideFlash().contains(wheelAddress));
    }

    // Another controller answers and is refused the write; the cable goes
    // back to the one that was read, which is identified again at the next
    // write and served.
    void readControllerIsServedAfterARefusal()
    {
        CableLink t;
        QVERIFY(t.start(40));
        QVERIFY(t.adapter.plugInto(&t.b));
        QSignalSpy failures(&t.link, &KelvaraCom::errorMessage);
        t.saveWheel(30.5);
        QVERIFY(failures.wait(10000));
        QCOMPARE(failures.first().first().toString(), QString("Another Controller"));
        QTRY_COMPARE(t.link.getMode(), int(KelvaraCom::IdleMode));

        QVERIFY(t.adapter.plugInto(&t.a));
        QSignalSpy saved(&t.link, &KelvaraCom::flashSaveComplete);
        t.link.writeAll();
        QVERIFY(saved.wait(10000));
        QCOMPARE(failures.count(), 1);
        QCOMPARE(CableLink::writes(t.b), QStringList());
        QCOMPARE(CableLink::frames(t.a),
                 (QStringList{checkRead, spaced(Frames::write(wheelAddress, {305})), flashWrite,
                              flashRead}));
        QVERIFY(t.model.getUnsavedValues().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestIdentityCheck)
#include "tst_identitycheck.moc"
