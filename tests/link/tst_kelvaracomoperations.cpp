// Link operations against the controller simulator: read-all, grouped
// writes, the flash save, fault clearing, the connection check and the
// identification after a read-all.

#include "linkcases.h"
#include "parameter.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

using Runs = QList<QPair<int, int>>; // (address, count)

namespace {

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

const QString flashWrite = "01 10 01 ff 00 01 02 7f ff c2 ef";
const QString flashRead = "01 03 01 ff 00 01 b5 c6";

} // namespace

class TestKelvaraComOperations : public QObject
{
    Q_OBJECT

private:
    QTemporaryFile definitions;

private slots:
    void initTestCase()
    {
        QVERIFY(definitions.open());
        definitions.write(groupingDefinitions());
        definitions.flush();
    }

    void writeAllGroups_data()
    {
        QTest::addColumn<QList<int>>("unsaved");
        QTest::addColumn<Runs>("frames");
        QTest::addColumn<bool>("flash");
        QTest::newRow("gap") << QList<int>{10, 11, 12, 20} << Runs{{10, 3}, {20, 1}} << true;
        QTest::newRow("read-only in between") << QList<int>{149, 150, 151} << Runs{{149, 1}, {151, 1}} << true;
        QList<int> run;
        for (int address = 0; address < 130; ++address)
            run << address;
        QTest::newRow("123 to a frame") << run << Runs{{0, 123}, {123, 7}} << true;
        QTest::newRow("not kept in flash") << QList<int>{160} << Runs{{160, 1}} << false;
    }

    void writeAllGroups()
    {
        QFETCH(QList<int>, unsaved);
        QFETCH(Runs, frames);
        QFETCH(bool, flash);
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
        QVERIFY(t.waitFor(flash ? "flashSaveComplete" : "comSuccess"));

        QStringList expected;
        for (const auto& frame : frames) {
            QVector<quint16> values;
            for (int address = frame.first; address < frame.first + frame.second; ++address)
                values << quint16(1000 + address);
            expected << spaced(Frames::write(frame.first, values));
            QCOMPARE(t.sim.registerValue(frame.first), quint16(1000 + frame.first));
        }
        if (flash)
            expected << flashWrite << flashRead;
        QCOMPARE(t.requests(), expected);
        QCOMPARE(t.events.first(), QString("enableSaveButtons(false)"));
        QCOMPARE(t.only({"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"}),
                 QStringList({"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"}).mid(0, flash ? 3 : 2));
        // Written registers are saved now, and a read-only one settles with them.
        QVERIFY(t.model->getUnsavedValues().isEmpty());
        if (flash)
            QCOMPARE(t.model->getFlashRecoveryValues().keys(), unsaved);
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
    }

    // Nothing unsaved: nothing happens. Only a read-only register unsaved: the
    // save ends at once and the mark goes.
    void nothingToWrite()
    {
        SimulatedLink t(40, definitions.fileName());
        t.model->setValid(true);
        t.events.clear();
        t.link->writeAll();
        QVERIFY(t.events.isEmpty());

        t.model->getParameter(150)->setRegisterValue(9);
        QCOMPARE(t.model->getUnsavedValues().keys(), QList<int>{150});
        QSignalSpy marks(t.model.get(), &Kelvara::parameterIsOriginal);
        t.link->writeAll();
        QCOMPARE(t.events, QStringList({"enableSaveButtons(false)", "enableSaveButtons(true)", "comSuccess"}));
        QVERIFY(t.model->getUnsavedValues().isEmpty());
        QCOMPARE(marks.size(), 1);
        QCOMPARE(marks.first(), QVariantList({150, -1, true}));
        // A read queued behind is the first frame that goes out.
        t.link->oneRead(10);
        QVERIFY(t.waitFor("comSuccess", 2));
        QCOMPARE(t.requests(), QStringList({spaced(Frames::read(10, 1))}));
    }

    // A value edited while its frame waits for the reply has not been written:
    // it keeps its unsaved mark and goes out with the next save.
    void editWhileWritingStaysUnsaved()
    {
        SimulatedLink t(150);
        t.model->setValid(true);
        Parameter* gain = t.model->getParameter(15); // scale 100, saved to flash
        gain->setValue(30.0);
        QSignalSpy marks(t.model.get(), &Kelvara::parameterIsOriginal);
        t.link->writeAll();
        QVERIFY(t.sim.waitForRequests(1));
        gain->setValue(31.0);
        QVERIFY(t.waitFor("flashSaveComplete"));

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
        QVERIFY(t.waitFor("flashSaveComplete", 2));
        QCOMPARE(t.requests().first(), spaced(Frames::write(15, {3100})));
        QCOMPARE(t.sim.registerValue(15), quint16(3100));
        QVERIFY(t.model->getUnsavedValues().isEmpty());
    }

    void flashSave_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("torque");
        QTest::addColumn<QStringList>("ending");
        QTest::newRow("confirmed") << false << 0
                                   << QStringList{"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"};
        // Not confirmed with the motor at rest: no comSuccess, no success status.
        QTest::newRow("refused") << true << 0
                                 << QStringList{"enableSaveButtons(true)", "comError", "errorMessage(Save to Flash Fail)"};
        QTest::newRow("motor running") << true << 800
                                       << QStringList{"enableSaveButtons(true)", "comSuccess", "motorRunning"};
    }

    void flashSave()
    {
        QFETCH(bool, refused);
        QFETCH(int, torque);
        QFETCH(QStringList, ending);
        SimulatedLink t;
        t.sim.setFlashSaveFails(refused);
        t.sim.setTorqueCommand(torque);
        t.model->setValid(true);
        t.model->getParameter(15)->setValue(30.0);
        t.events.clear();
        t.link->writeAll();
        QVERIFY(t.waitFor(ending.last(), 1, 3000));

        QStringList frames{spaced(Frames::write(15, {3000})), flashWrite, flashRead};
        if (refused)
            frames << spaced(Frames::read(477, 1));
        QCOMPARE(t.requests(), frames);
        QCOMPARE(t.events.mid(t.events.size() - 3), ending);
        QCOMPARE(t.events.count("replyProcessed"), frames.size());
        const QRegularExpression outcome("comSuccess|flashSaveComplete|errorMessage");
        QCOMPARE(t.events.filter(outcome).size(), ending.filter(outcome).size());
        QCOMPARE(t.link->getStatus() == KelvaraCom::StatusSuccess, !refused);
        QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
        // The write of 511 waits its 900 ms (less room for late stamps); the timeout is back afterwards.
        const QVector<double> sent = entryTimes(t.sim);
        QVERIFY2(sent.at(2) - sent.at(1) >= 800, qPrintable(QString::number(sent.at(2) - sent.at(1))));
        QCOMPARE(t.link->getTimeoutTime(), 40);
        if (!refused)
            QCOMPARE(t.model->getParameter(511)->getRegisterValue(), 4096);
    }

    // Read pressed while the flash save runs: the read-all starts when the save
    // has ended and completes on its own blocks, without a spurious failure.
    void readPressedDuringSave()
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
        t.link->oneRead(10); // anything still due comes before its reply
        QVERIFY(t.waitFor("replyProcessed", 3 + 5 + 1));

        QCOMPARE(t.requests(), QStringList({spaced(Frames::write(15, {3100})), flashWrite, flashRead})
                                   + readAllFrames() + QStringList{spaced(Frames::read(10, 1))});
        QVERIFY(t.events.filter("errorMessage").isEmpty());
        QCOMPARE(t.only({"flashSaveComplete", "validated(true)", "readAllComplete"}),
                 QStringList({"flashSaveComplete", "validated(true)", "readAllComplete"}));
        // Valid only after the last block has been judged.
        QCOMPARE(t.events.mid(0, t.events.indexOf("validated(true)")).count("replyProcessed"), 3 + 5);
        QVERIFY(!validAtFlashComplete);
        QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
    }

    void clearFaults()
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

    // Each check's status and the connection signals it gave, e.g.
    // "5controllerDisconnected". A port that cannot open reports the
    // controller gone at once; silence only at the third failure in a row.
    void connectionCheck()
    {
        SimulatedLink t(30);
        const auto checks = [&](int count) {
            QStringList seen;
            for (int i = 0; i < count; ++i) {
                const int before = t.events.size();
                const int judged = t.events.count("replyProcessed");
                t.link->checkConnection();
                if (!t.waitFor("replyProcessed", judged + 1, 1000))
                    return QStringList{"not judged"};
                seen << QString::number(t.link->getStatus()) + t.events.mid(before).filter("controller").join("");
            }
            return seen;
        };
        t.link->setCurrentPortName("/dev/kelvara-no-such-port");
        t.link->checkConnection();
        QCOMPARE(t.events, QStringList({"comConnectError(1)", "controllerDisconnected", "replyProcessed"}));
        QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
        t.link->ignoreConnectionFails(true);
        QCOMPARE(checks(1), QStringList{"3"}); // failed sending, not reported as gone
        t.link->ignoreConnectionFails(false);
        t.link->setCurrentPortName(t.sim.portName());

        QVERIFY(t.sim.setRegisterValue(260, 1234));
        QCOMPARE(checks(1), QStringList{"4controllerConnected"});
        QCOMPARE(t.requests(), QStringList{"01 03 01 02 00 2a 64 29"});
        QCOMPARE(t.model->getParameter(260)->getRegisterValue(), 1234); // the whole status block
        t.sim.setSilent(true);
        QCOMPARE(checks(4), QStringList({"5", "5", "5controllerDisconnected", "5controllerDisconnected"}));
        QCOMPARE(t.sim.requestCount(), 1 + 4); // never sent again
        QVERIFY(!t.events.contains("timeoutOccured"));

        // Ignored failures pass as connected while the last status was 4,
        // silently after another exchange, and do not count afterwards.
        t.sim.setSilent(false);
        QCOMPARE(checks(1), QStringList{"4controllerConnected"});
        t.link->ignoreConnectionFails(true);
        t.sim.setSilent(true);
        QCOMPARE(checks(3), QStringList({"4controllerConnected", "4controllerConnected", "4controllerConnected"}));
        t.sim.setSilent(false);
        t.link->oneRead(10);
        t.link->checkConnection(); // busy: skipped
        QVERIFY(t.waitFor("comSuccess"));
        t.sim.setSilent(true);
        QCOMPARE(checks(3), QStringList({"0", "0", "0"}));
        t.link->ignoreConnectionFails(false);
        QCOMPARE(checks(2), QStringList({"5", "5"}));
        QCOMPARE(t.sim.requestCount(), 5 + 1 + 3 + 1 + 3 + 2);
    }

    // Two read-alls in a row: ten blocks, each read-all complete at its own
    // last block. The queue query looks at the queue only.
    void readAllTwiceAndQueued()
    {
        SimulatedLink t;
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QList<int> requestsAtCompletion;
        QObject::connect(t.link.get(), &KelvaraCom::readAllComplete,
                         [&] { requestsAtCompletion << t.sim.requestCount(); });
        QVERIFY(!t.link->isReadAllQueued());
        t.link->setTimeoutTime(90); // current only: a read-all goes back to the default
        t.link->readAll();
        t.link->readAll();
        QVERIFY(t.link->isReadAllQueued());
        QVERIFY(t.waitFor("readAllComplete", 2));
        QVERIFY(!t.link->isReadAllQueued());
        QCOMPARE(t.requests(), readAllFrames() + readAllFrames());
        QCOMPARE(requestsAtCompletion, QList<int>({5, 10}));
        QCOMPARE(t.link->getTimeoutTime(), 40);
        QCOMPARE(t.only({"comSuccess", "validated(true)", "readAllComplete"}),
                 QStringList({"validated(true)", "readAllComplete", "comSuccess", "validated(true)", "readAllComplete"}));

        // A plain read of the last block completes no read-all.
        t.link->oneRead(10);
        t.link->oneRead(500, 11);
        QVERIFY(t.link->isReadAllQueued());
        QVERIFY(t.link->isReadQueued(500, 11));
        QVERIFY(t.waitFor("comSuccess", 2));
        QVERIFY(!t.link->isReadAllQueued());
        QCOMPARE(t.events.count("readAllComplete"), 2);
    }

    void readAllFailure()
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
    void lateRepliesNeverShiftValues()
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

    // From firmware 6000 on, the hardware version is register 1881, outside
    // the read-all blocks: it is read before the controller is identified.
    void hardwareVersionFromFirmware6000()
    {
        SimulatedLink t(20);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QVERIFY(t.sim.setRegisterValue(256, 6021));
        QVERIFY(t.sim.setRegisterValue(1881, 0x0805));
        // The extra read failing fails the read-all, and nothing is identified.
        t.sim.setSilentAtAddress(1881);
        t.link->readAll();
        QVERIFY(t.waitFor("errorMessage(Read Fail)"));
        QCOMPARE(t.events.count("readAllComplete"), 1);
        QVERIFY(!t.model->isValid());
        QCOMPARE(t.model->getControllerType().name, QString("Controller"));

        t.sim.setSilentAtAddress(1881, false);
        t.sim.clearLog();
        t.events.clear();
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        QCOMPARE(t.requests(), readAllFrames() << spaced(Frames::read(1881, 1)));
        QCOMPARE(t.model->getParameter(1881)->getRegisterValue(), 0x0805);
        // Hardware id 8 gives the first "Kelvara V6" row, not the one found by
        // firmware 6021.
        QCOMPARE(t.model->getControllerType().name, QString("Kelvara V6"));
        QCOMPARE(t.model->getControllerType().firmware, 6019);
        QCOMPARE(t.only({"replyProcessed", "comSuccess", "validated(true)", "readAllComplete"}),
                 QString("replyProcessed ").repeated(6).split(' ', Qt::SkipEmptyParts)
                     + QStringList({"comSuccess", "validated(true)", "readAllComplete"}));

        // Below firmware 6000 nothing more is read.
        t.sim.clearLog();
        QVERIFY(t.sim.setRegisterValue(256, 5921));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete", 2));
        QCOMPARE(t.requests(), readAllFrames());
        QCOMPARE(t.model->getControllerType().name, QString("Ostrel V4 Trelby"));
    }
};

QTEST_GUILESS_MAIN(TestKelvaraComOperations)
#include "tst_kelvaracomoperations.moc"
