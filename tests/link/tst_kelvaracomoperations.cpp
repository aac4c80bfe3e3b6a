// Link operations against the controller simulator: read-all, grouped
// writes, the flash save, fault clearing, the connection check and the
// identification after a read-all.

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "portclient.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

using Runs = QList<QPair<int, int>>; // (address, count)

namespace {

QString spaced(const QByteArray& frame)
{
    return frame.toHex(' ');
}

QByteArray entry(int address, bool write, bool saved, const QByteArray& extra = QByteArray())
{
    return "\"" + QByteArray::number(address) + "\": {\"name\": \"Register " + QByteArray::number(address)
        + "\", \"read\": true, \"write\": " + (write ? "true" : "false") + ", \"saved\": "
        + (saved ? "true" : "false") + ", \"scale\": \"1\"" + extra + "}";
}

// Registers 0 to 147 writable and saved to flash, 149 and 151 writable
// around the read-only 150, and the registers with fixed roles.
QByteArray groupingDefinitions()
{
    QList<QByteArray> entries;
    for (int address = 0; address <= 147; ++address)
        entries << entry(address, true, true);
    entries << entry(149, true, true) << entry(150, false, false) << entry(151, true, true)
            << entry(160, true, false) << entry(237, false, false) << entry(256, false, false)
            << entry(258, false, false)
            << entry(477, false, false, ", \"isSigned\": true, \"min\": \"-100\", \"max\": \"100\"")
            << entry(508, true, false) << entry(511, true, false) << entry(1881, false, false);
    return "{\n" + entries.join(",\n") + "\n}";
}

QString flashWrite()
{
    return "01 10 01 ff 00 01 02 7f ff c2 ef";
}

QString flashRead()
{
    return spaced(Frames::read(511, 1));
}

QStringList readAllFrames()
{
    return {spaced(Frames::read(0, 125)), spaced(Frames::read(125, 125)), spaced(Frames::read(250, 125)),
            spaced(Frames::read(375, 125)), spaced(Frames::read(500, 11))};
}

} // namespace

class TestKelvaraComOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void writeAllGroups_data();
    void writeAllGroups();
    void writeAllWithoutUnsavedValues();
    void unsavedWithoutWritableRegister();
    void writeWithoutSavedFlagSkipsFlash();
    void editWhileWritingStaysUnsaved();

    void flashSaveConfirmed();
    void flashSaveFails();
    void flashSaveMotorRunning();
    void readPressedDuringSave();

    void clearFaults();

    void connectionCheck();
    void connectionCheckWhileBusy();
    void connectionFailsIgnored();
    void connectionCheckCannotSend();

    void readAllTwice();
    void readAllFailure();
    void readAllQueued();
    void lateRepliesNeverShiftValues();
    void defaultTimeoutSurvivesReadAll();
    void hardwareVersionReadFromFirmware6000();
    void hardwareVersionReadFails();

private:
    QTemporaryFile definitions;
};

void TestKelvaraComOperations::initTestCase()
{
    QVERIFY(definitions.open());
    definitions.write(groupingDefinitions());
    definitions.flush();
}

void TestKelvaraComOperations::writeAllGroups_data()
{
    QTest::addColumn<QList<int>>("unsaved");
    QTest::addColumn<Runs>("frames");

    QTest::newRow("gap") << QList<int>{10, 11, 12, 20} << Runs{{10, 3}, {20, 1}};
    QTest::newRow("read-only in between")
        << QList<int>{149, 150, 151} << Runs{{149, 1}, {151, 1}};
    QList<int> run;
    for (int address = 0; address < 130; ++address)
        run << address;
    QTest::newRow("123 to a frame") << run << Runs{{0, 123}, {123, 7}};
    QTest::newRow("single") << QList<int>{147} << Runs{{147, 1}};
}

void TestKelvaraComOperations::writeAllGroups()
{
    QFETCH(QList<int>, unsaved);
    QFETCH(Runs, frames);
    SimulatedLink t(40, definitions.fileName());
    t.model->setValid(true);
    for (const int address : unsaved) {
        Parameter* parameter = t.model->getParameter(address);
        if (parameter->isWriteable())
            parameter->setValue(1000 + address);
        else
            parameter->setRegisterValue(1000 + address);
    }
    QCOMPARE(t.model->getUnsavedValues().keys(), unsaved);

    t.events.clear();
    t.link->writeAll();
    QVERIFY(t.waitFor("flashSaveComplete", 1, 5000));

    QStringList expected;
    for (const auto& frame : frames) {
        QVector<quint16> values;
        for (int address = frame.first; address < frame.first + frame.second; ++address)
            values << quint16(1000 + address);
        expected << spaced(Frames::write(frame.first, values));
    }
    expected << flashWrite() << flashRead();
    QCOMPARE(t.requests(), expected);
    for (const auto& frame : frames)
        QCOMPARE(t.sim.registerValue(frame.first), quint16(1000 + frame.first));

    QCOMPARE(t.events.first(), QString("enableSaveButtons(false)"));
    QCOMPARE(t.only({"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"}),
             QStringList({"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"}));
    // Written registers are saved now, and a read-only one settles with them.
    QVERIFY(t.model->getUnsavedValues().isEmpty());
    QCOMPARE(t.model->getFlashRecoveryValues().keys(), unsaved);
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
}

void TestKelvaraComOperations::writeAllWithoutUnsavedValues()
{
    SimulatedLink t(40, definitions.fileName());
    t.model->setValid(true);
    t.events.clear();
    t.link->writeAll();
    QTest::qWait(100);
    QVERIFY(t.events.isEmpty());
    QCOMPARE(t.sim.requestCount(), 0);
}

// Nothing to write: the save ends at once and the marks go.
void TestKelvaraComOperations::unsavedWithoutWritableRegister()
{
    SimulatedLink t(40, definitions.fileName());
    t.model->setValid(true);
    t.model->getParameter(150)->setRegisterValue(9);
    QCOMPARE(t.model->getUnsavedValues().keys(), QList<int>{150});
    QSignalSpy marks(t.model.get(), &Kelvara::parameterIsOriginal);

    t.events.clear();
    t.link->writeAll();
    QCOMPARE(t.events, QStringList({"enableSaveButtons(false)", "enableSaveButtons(true)", "comSuccess"}));
    QVERIFY(t.model->getUnsavedValues().isEmpty());
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks.first(), QVariantList({150, -1, true}));
    QTest::qWait(100);
    QCOMPARE(t.sim.requestCount(), 0);
}

void TestKelvaraComOperations::writeWithoutSavedFlagSkipsFlash()
{
    SimulatedLink t(40, definitions.fileName());
    t.model->setValid(true);
    t.model->getParameter(160)->setValue(5);
    t.events.clear();
    t.link->writeAll();
    QVERIFY(t.waitFor("comSuccess"));
    QCOMPARE(t.requests(), QStringList({spaced(Frames::write(160, {5}))}));
    QCOMPARE(t.events, QStringList({"enableSaveButtons(false)", "replyProcessed",
                                    "enableSaveButtons(true)", "comSuccess"}));
}

// A value edited while its frame waits for the reply has not been written:
// it keeps its unsaved mark and goes out with the next save.
void TestKelvaraComOperations::editWhileWritingStaysUnsaved()
{
    SimulatedLink t(150);
    t.model->setValid(true);
    Parameter* gain = t.model->getParameter(15); // scale 100, saved to flash
    gain->setValue(30.0);
    QSignalSpy marks(t.model.get(), &Kelvara::parameterIsOriginal);
    t.link->writeAll();
    QVERIFY(t.sim.waitForRequests(1));
    gain->setValue(31.0);
    QVERIFY(t.waitFor("flashSaveComplete", 1, 5000));

    QCOMPARE(t.sim.registerValue(15), quint16(3000));
    QCOMPARE(gain->getRegisterValue(), 3100);
    QCOMPARE(t.model->getUnsavedValues().keys(), QList<int>{15});
    QCOMPARE(t.model->getSavedValues().value(15), 0);
    QList<QVariantList> gainMarks;
    for (const QVariantList& mark : qAsConst(marks)) {
        if (mark.at(0).toInt() == 15)
            gainMarks << mark;
    }
    QCOMPARE(gainMarks.last(), QVariantList({15, -1, false}));

    t.sim.clearLog();
    t.link->writeAll();
    QVERIFY(t.waitFor("flashSaveComplete", 2, 5000));
    QCOMPARE(t.requests().first(), spaced(Frames::write(15, {3100})));
    QCOMPARE(t.sim.registerValue(15), quint16(3100));
    QVERIFY(t.model->getUnsavedValues().isEmpty());
}

void TestKelvaraComOperations::flashSaveConfirmed()
{
    SimulatedLink t;
    t.model->setValid(true);
    t.model->getParameter(15)->setValue(30.0);
    t.events.clear();
    t.link->writeAll();
    QVERIFY(t.waitFor("flashSaveComplete", 1, 3000));

    QCOMPARE(t.requests(), QStringList({spaced(Frames::write(15, {3000})), flashWrite(), flashRead()}));
    QCOMPARE(t.events, QStringList({"enableSaveButtons(false)", "replyProcessed", "replyProcessed",
                                    "replyProcessed", "enableSaveButtons(true)", "comSuccess",
                                    "flashSaveComplete"}));
    // The write of 511 waits its 900 ms (less room for late stamps); the timeout is back afterwards.
    QVector<double> sent;
    for (const auto& logged : t.sim.frameLog()) {
        if (logged.direction == ControllerSimulator::Request)
            sent << logged.elapsedMs;
    }
    QVERIFY2(sent.at(2) - sent.at(1) >= 800, qPrintable(QString::number(sent.at(2) - sent.at(1))));
    QCOMPARE(t.link->getTimeoutTime(), 40);
    QCOMPARE(t.model->getParameter(511)->getRegisterValue(), 4096);
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
    QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
}

// Not confirmed with the motor at rest: a failure, with no comSuccess
// before it and a status that is not success.
void TestKelvaraComOperations::flashSaveFails()
{
    SimulatedLink t;
    t.sim.setFlashSaveFails(true);
    t.model->setValid(true);
    t.model->getParameter(15)->setValue(30.0);
    t.events.clear();
    t.link->writeAll();
    QVERIFY(t.waitFor("errorMessage(Save to Flash Fail)", 1, 3000));

    QCOMPARE(t.requests(), QStringList({spaced(Frames::write(15, {3000})), flashWrite(), flashRead(),
                                        spaced(Frames::read(477, 1))}));
    QVERIFY(!t.events.contains("comSuccess"));
    QVERIFY(!t.events.contains("flashSaveComplete"));
    QCOMPARE(t.events.mid(t.events.size() - 3),
             QStringList({"enableSaveButtons(true)", "comError", "errorMessage(Save to Flash Fail)"}));
    QVERIFY(t.link->getStatus() != KelvaraCom::StatusSuccess);
    QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
}

void TestKelvaraComOperations::flashSaveMotorRunning()
{
    SimulatedLink t;
    t.sim.setFlashSaveFails(true);
    t.sim.setTorqueCommand(800);
    t.model->setValid(true);
    t.model->getParameter(15)->setValue(30.0);
    t.events.clear();
    t.link->writeAll();
    QVERIFY(t.waitFor("motorRunning", 1, 3000));

    QCOMPARE(t.requests().last(), spaced(Frames::read(477, 1)));
    QCOMPARE(t.events.mid(t.events.size() - 3),
             QStringList({"enableSaveButtons(true)", "comSuccess", "motorRunning"}));
    QVERIFY(t.events.filter("errorMessage").isEmpty());
    QVERIFY(t.link->getStatus() != KelvaraCom::StatusSuccess);
}

// Read pressed while the flash save runs: the read-all starts when the save
// has ended and completes on its own blocks, without a spurious failure.
void TestKelvaraComOperations::readPressedDuringSave()
{
    SimulatedLink t;
    QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
    t.model->getParameter(15)->setValue(30.0);
    t.model->setValid(true);
    t.model->getParameter(15)->setValue(31.0);
    bool validAtFlashComplete = true;
    QObject::connect(t.link.get(), &KelvaraCom::flashSaveComplete,
                     [&] { validAtFlashComplete = t.model->isValid(); });
    t.events.clear();
    t.link->writeAll();
    QVERIFY(t.sim.waitForRequests(2)); // the write of 511 is on its way
    t.model->setValid(false);
    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete", 1, 4000));
    QTest::qWait(100);

    QCOMPARE(t.requests(), QStringList({spaced(Frames::write(15, {3100})), flashWrite(), flashRead()})
                               + readAllFrames());
    QVERIFY(t.events.filter("errorMessage").isEmpty());
    QCOMPARE(t.events.count("readAllComplete"), 1);
    QCOMPARE(t.only({"flashSaveComplete", "validated(true)", "readAllComplete"}),
             QStringList({"flashSaveComplete", "validated(true)", "readAllComplete"}));
    // Valid only after the last block has been judged.
    const int validAt = t.events.indexOf("validated(true)");
    QCOMPARE(t.events.mid(0, validAt).count("replyProcessed"), 3 + 5);
    QVERIFY(!validAtFlashComplete);
    QVERIFY(t.model->isValid());
    QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
}

void TestKelvaraComOperations::clearFaults()
{
    SimulatedLink t;
    QVERIFY(t.sim.setRegisterValue(258, 0x0021));
    t.model->getParameter(258)->setRegisterValue(0x0021);
    t.link->clearFaults();
    QVERIFY(t.waitFor("comSuccess", 2));
    QCOMPARE(t.requests(), QStringList({"01 10 01 fc 00 01 02 00 01 63 6c", "01 03 01 02 00 2a 64 29"}));
    QCOMPARE(t.model->getParameter(258)->getRegisterValue(), 0);
    QCOMPARE(t.model->getParameter(508)->getRegisterValue(), 1);
}

void TestKelvaraComOperations::connectionCheck()
{
    SimulatedLink t(30);
    t.sim.setSilent(true);
    QList<int> statuses;
    QList<int> disconnectsSoFar;
    for (int check = 1; check <= 4; ++check) {
        t.link->checkConnection();
        QVERIFY(t.waitFor("replyProcessed", check, 1000));
        statuses << t.link->getStatus();
        disconnectsSoFar << t.events.count("controllerDisconnected");
    }
    QCOMPARE(statuses, QList<int>({5, 5, 5, 5}));
    QCOMPARE(disconnectsSoFar, QList<int>({0, 0, 1, 2}));
    QCOMPARE(t.sim.requestCount(), 4); // never sent again
    QVERIFY(!t.events.contains("timeoutOccured"));

    t.sim.setSilent(false);
    QVERIFY(t.sim.setRegisterValue(260, 1234));
    t.link->checkConnection();
    QVERIFY(t.waitFor("controllerConnected"));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusControllerConnected);
    QCOMPARE(t.requests().last(), QString("01 03 01 02 00 2a 64 29"));
    // A check is a full read of the status block.
    QCOMPARE(t.model->getParameter(260)->getRegisterValue(), 1234);

    // The count starts again.
    t.sim.setSilent(true);
    for (int check = 1; check <= 3; ++check) {
        t.link->checkConnection();
        QVERIFY(t.waitFor("replyProcessed", 5 + check, 1000));
    }
    QCOMPARE(t.events.count("controllerDisconnected"), 3);
}

void TestKelvaraComOperations::connectionCheckWhileBusy()
{
    SimulatedLink t;
    t.link->oneRead(10);
    t.link->checkConnection();
    QVERIFY(t.waitFor("comSuccess"));
    QCOMPARE(t.requests(), QStringList({spaced(Frames::read(10, 1))}));
    QVERIFY(!t.events.contains("controllerConnected"));
}

void TestKelvaraComOperations::connectionFailsIgnored()
{
    SimulatedLink t(30);
    t.link->checkConnection();
    QVERIFY(t.waitFor("controllerConnected"));

    // A failed check passes as connected while the last status was 4.
    t.link->ignoreConnectionFails(true);
    t.sim.setSilent(true);
    for (int check = 2; check <= 4; ++check) {
        t.link->checkConnection();
        QVERIFY(t.waitFor("replyProcessed", check, 1000));
    }
    QCOMPARE(t.events.count("controllerConnected"), 4);
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusControllerConnected);

    // After another exchange the failures pass silently.
    t.sim.setSilent(false);
    t.link->oneRead(10);
    QVERIFY(t.waitFor("comSuccess"));
    t.sim.setSilent(true);
    const int before = t.events.size();
    for (int check = 1; check <= 3; ++check) {
        t.link->checkConnection();
        QVERIFY(t.waitFor("replyProcessed", 5 + check, 1000));
    }
    QCOMPARE(t.events.mid(before), QStringList({"replyProcessed", "replyProcessed", "replyProcessed"}));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);

    // Not ignored any more: the earlier failures did not count.
    t.link->ignoreConnectionFails(false);
    for (int check = 1; check <= 2; ++check) {
        t.link->checkConnection();
        QVERIFY(t.waitFor("replyProcessed", 8 + check, 1000));
    }
    QVERIFY(!t.events.contains("controllerDisconnected"));
}

void TestKelvaraComOperations::connectionCheckCannotSend()
{
    SimulatedLink t;
    t.link->setCurrentPortName("/dev/kelvara-no-such-port");
    t.link->checkConnection();
    QCOMPARE(t.events, QStringList({"comConnectError(1)", "controllerDisconnected", "replyProcessed"}));
    QCOMPARE(t.link->getStatus(), KelvaraCom::StatusControllerDisconnected);
    QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));

    t.events.clear();
    t.link->ignoreConnectionFails(true);
    t.link->checkConnection();
    QCOMPARE(t.events, QStringList({"comConnectError(1)", "replyProcessed"}));
}

// Two read-alls in a row: ten blocks, each read-all complete at its own
// last block.
void TestKelvaraComOperations::readAllTwice()
{
    SimulatedLink t;
    QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
    QList<int> requestsAtCompletion;
    QObject::connect(t.link.get(), &KelvaraCom::readAllComplete,
                     [&] { requestsAtCompletion << t.sim.requestCount(); });
    t.link->readAll();
    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete", 2));
    QCOMPARE(t.requests(), readAllFrames() + readAllFrames());
    QCOMPARE(requestsAtCompletion, QList<int>({5, 10}));
    QCOMPARE(t.events.count("comSuccess"), 1);
    QCOMPARE(t.only({"comSuccess", "validated(true)", "readAllComplete"}),
             QStringList({"validated(true)", "readAllComplete", "comSuccess", "validated(true)",
                          "readAllComplete"}));
}

void TestKelvaraComOperations::readAllFailure()
{
    SimulatedLink t(20);
    t.sim.setSilentAtAddress(250);
    t.link->readAll();
    t.link->oneWrite(508);
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    QCOMPARE(t.events.mid(t.events.size() - 4),
             QStringList({"enableSaveButtons(true)", "comError", "readAllComplete", "errorMessage(Read Fail)"}));
    QCOMPARE(t.events.count("readAllComplete"), 1);
    QVERIFY(!t.model->isValid());
    QVERIFY(!t.events.contains("validated(true)"));
    QCOMPARE(t.link->getTimeoutTime(), 20);
    QCOMPARE(t.requests().mid(0, 3), readAllFrames().mid(0, 3));
    QCOMPARE(t.sim.requestCount(), 2 + 4);
}

// A reply that comes after its wait, or twice, would be stored as the next,
// alike block's values. Waits of 30, 60, 120 and 240 ms: answers in the second
// or third wait, or after the last; or each again early in the next wait.
void TestKelvaraComOperations::lateRepliesNeverShiftValues()
{
    for (const auto& [delay, repeatedAfter] : QVector<QPair<int, int>>{{70, 0}, {160, 0}, {480, 0}, {15, 25}}) {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        const auto holdsControllerValues = [&] {
            for (int address = 0; address <= 510; ++address) {
                const Parameter* parameter = t.model->getParameter(address);
                if (parameter != t.model->getParameter(-1)
                    && quint16(parameter->getRegisterValue()) != t.sim.registerValue(address))
                    return false;
            }
            return true;
        };
        t.sim.setReplyDelay(delay);
        t.sim.duplicateReplies(repeatedAfter, repeatedAfter > 0 ? ControllerSimulator::Forever : 0);
        t.link->readAll();
        // Failing is fine, succeeding with another block's values is not.
        QVERIFY(t.waitFor("readAllComplete", 1, 30000));
        QVERIFY2(!t.model->isValid() || holdsControllerValues(), qPrintable(QString::number(delay)));
        // Answers still due from the slow exchanges are not taken for the next.
        t.sim.resetFaults();
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete", 2, 30000));
        QVERIFY2(t.model->isValid() && holdsControllerValues(), qPrintable(QString::number(delay)));
    }
}

void TestKelvaraComOperations::readAllQueued()
{
    SimulatedLink t;
    QVERIFY(!t.link->isReadAllQueued());
    t.link->readAll();
    QVERIFY(t.link->isReadAllQueued());
    QVERIFY(t.link->isReadQueued(500, 11));
    QVERIFY(t.sim.waitForRequests(5));
    QVERIFY(!t.link->isReadAllQueued());
    QVERIFY(t.waitFor("readAllComplete"));

    // The query looks at the queue only; a plain read of that block still
    // completes no read-all.
    t.link->oneRead(10);
    t.link->oneRead(500, 11);
    QVERIFY(t.link->isReadAllQueued());
    QVERIFY(t.link->isReadQueued(500, 11));
    QVERIFY(t.waitFor("comSuccess", 2));
    QVERIFY(!t.link->isReadAllQueued());
    QCOMPARE(t.events.count("readAllComplete"), 1);
}

// The stored timeout applied as the default stays after a read-all; a
// current-only timeout goes back to the default there.
void TestKelvaraComOperations::defaultTimeoutSurvivesReadAll()
{
    SimulatedLink t(60);
    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete"));
    QCOMPARE(t.link->getTimeoutTime(), 60);

    t.link->setTimeoutTime(90);
    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete", 2));
    QCOMPARE(t.link->getTimeoutTime(), 60);
}

// From firmware 6000 on, the hardware version is register 1881, outside
// the read-all blocks: it is read before the controller is identified.
void TestKelvaraComOperations::hardwareVersionReadFromFirmware6000()
{
    SimulatedLink t;
    QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
    QVERIFY(t.sim.setRegisterValue(256, 6021));
    QVERIFY(t.sim.setRegisterValue(1881, 0x0805));
    QCOMPARE(t.model->getParameter(1881)->getRegisterValue(), 0);
    QString typeAtValidation;
    QObject::connect(t.model.get(), &Kelvara::validated,
                     [&] { typeAtValidation = t.model->getControllerType().name; });

    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete"));
    QCOMPARE(t.requests(), readAllFrames() << spaced(Frames::read(1881, 1)));
    QCOMPARE(t.model->getParameter(1881)->getRegisterValue(), 0x0805);
    // Hardware id 8 gives the first "Kelvara V6" row, not the one found by
    // firmware 6021.
    QCOMPARE(t.model->getControllerType().name, QString("Kelvara V6"));
    QCOMPARE(t.model->getControllerType().firmware, 6019);
    QCOMPARE(t.only({"replyProcessed", "comSuccess", "validated(true)", "readAllComplete"}),
             QStringList({"replyProcessed", "replyProcessed", "replyProcessed", "replyProcessed",
                          "replyProcessed", "replyProcessed", "comSuccess", "validated(true)",
                          "readAllComplete"}));

    // Below firmware 6000 nothing more is read.
    t.sim.clearLog();
    QVERIFY(t.sim.setRegisterValue(256, 5921));
    t.link->readAll();
    QVERIFY(t.waitFor("readAllComplete", 2));
    QCOMPARE(t.requests(), readAllFrames());
    QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
}

void TestKelvaraComOperations::hardwareVersionReadFails()
{
    SimulatedLink t(20);
    QVERIFY(t.sim.setRegisterValue(256, 6021));
    t.sim.setSilentAtAddress(1881);
    t.link->readAll();
    QVERIFY(t.waitFor("errorMessage(Read Fail)"));
    QCOMPARE(t.events.count("readAllComplete"), 1);
    QVERIFY(!t.model->isValid());
    QCOMPARE(t.model->getControllerType().name, QString("Controller"));
}

QTEST_GUILESS_MAIN(TestKelvaraComOperations)
#include "tst_kelvaracomoperations.moc"
