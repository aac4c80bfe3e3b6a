// Link operations against the controller simulator: read-all, grouped
// writes, the flash save, fault clearing, the connection check and the
// identification after a read-all.

#include "cablelink.h"
#include "latereplies.h"
#include "linkcases.h"
#include "operationlimit.h"
#include "parameter.h"
#include "registersunlike.h"
#include "sentframes.h"
#include "simulatedlink.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

#include <algorithm>

using Runs = QList<QPair<int, int>>; // (address, count)

namespace {

QByteArray entry(int address, bool write, bool saved, const QByteArray& extra = QByteArray())
{
    return "\"" + QByteArray::number(address) + "\": {\"name\": \"Register "
        + QByteArray::number(address)
        + "\", \"read\": true, \"write\": " + (write ? "true" : "false")
        + ", \"saved\": " + (saved ? "true" : "false") + ", \"scale\": \"1\"" + extra + "}";
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

// What the log of a failed operation shows of the request that failed: its
// tries (the sends without a good reply since the last good reply to a
// request of the operation's own, the identity check's reads among them; a
// good answer to one is no try), those of them the controller answered (a
// reply logged, however spoiled; noise on the line is no reply of its), the
// identity reads answered well between them, and how it ended: "stopped"
// (no reply at all, or its last two requests or more unanswered), "spoiled"
// (every try answered, though not well), "silence" (one unanswered try, the
// last, after answers), "partly" (tries answered and unanswered) or
// "unanswered" (no try answered, identity reads answered between them).
struct LoggedTries
{
    QString ending;
    int tries = 0;
    int answered = 0;
    int between = 0;
};

LoggedTries triesInLog(const ControllerSimulator& sim)
{
    const auto log = sim.frameLog();
    LoggedTries logged;
    int silentAtEnd = 0;
    bool anyReply = false;
    for (int i = 0; i < log.size(); ++i) {
        const auto& entry = log.at(i);
        if (entry.direction != ControllerSimulator::Request)
            continue;
        const bool answered =
            i + 1 < log.size() && log.at(i + 1).direction == ControllerSimulator::Reply;
        anyReply = anyReply || answered;
        silentAtEnd = answered ? 0 : silentAtEnd + 1;
        if (!answered || !entry.note.isEmpty()) {
            ++logged.tries;
            logged.answered += answered ? 1 : 0;
        } else if (entry.bytes == Frames::read(237, 20)) {
            logged.between += logged.tries > 0 ? 1 : 0;
        } else {
            logged = LoggedTries();
        }
    }
    if (!anyReply || silentAtEnd >= 2)
        logged.ending = "stopped";
    else if (logged.answered == logged.tries)
        logged.ending = "spoiled";
    else if (logged.answered == 0)
        logged.ending = logged.between > 0 ? "unanswered" : "silence";
    else if (logged.tries - logged.answered == 1 && silentAtEnd == 1)
        logged.ending = "silence";
    else
        logged.ending = "partly";
    return logged;
}

// The failure text of an operation ("read", "write", "save to flash") says
// what its log shows, and no more: a disconnection, with the advice on the
// timeout, only where the controller stopped answering; a spoiling line, and
// no disconnection, without that advice, only where it answered every try;
// after a single silence, or tries answered and lost in turn, neither as a
// fact, and the advice of both; a request unanswered between answered
// identity reads as that. The counts are the log's (unless its other
// requests may be the same), tries matches them.
void checkFailureText(const QString& text, const LoggedTries& logged, const QString& operation,
                      const QString& tries, bool countsInLog = true)
{
    const QString& ending = logged.ending;
    const bool stopped = ending == "stopped";
    const bool spoiled = ending == "spoiled";
    const bool unanswered = ending == "unanswered";
    QCOMPARE(text.contains("This is likely a disconnection"), stopped);
    QCOMPARE(text.contains("- Timeout Error"), stopped);
    QCOMPARE(text.contains("double the 'Communication Timeout'"), !spoiled);
    QCOMPARE(text.contains("Connected correctly to the serial cord"), !spoiled && !unanswered);
    QCOMPARE(text.contains("The cable length, and any loops of cable"), !stopped);
    QCOMPARE(text.contains("kept answering"), spoiled);
    QCOMPARE(text.contains("not a disconnection"), spoiled);
    QCOMPARE(text.contains("stopped answering after its last reply"), ending == "silence");
    if (stopped) {
        if (operation != "save to flash")
            QCOMPARE(text, failureText("0", "- Timeout Error", true, operation));
        return;
    }
    const QMap<QString, QString> said = {
        {"spoiled",
         "the controller kept answering, but the line spoiled its replies, and none "
         "came whole after TRIES."},
        {"silence",
         "the controller stopped answering after its last reply, and no reply came "
         "whole after TRIES."},
        {"partly",
         "the controller answered ANSWERED of the TRIES, but no reply came whole, and "
         "the other tries got no answer."},
        {"unanswered",
         "the controller answered the identity check's reads between the tries "
         "(BETWEEN), but the request itself got no answer in TRIES."}};
    const QString pattern =
        QRegularExpression::escape("The " + operation
                                   + " could not be completed: " + said.value(ending))
            .replace("TRIES", "(?<tries>" + tries + ")")
            .replace("ANSWERED", "(?<answered>\\d+)")
            .replace("BETWEEN", "(?<between>\\d+ reads?)");
    const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
    QVERIFY2(match.hasMatch(), qPrintable(ending + ": " + text));
    if (!countsInLog)
        return;
    QCOMPARE(match.captured("tries").section(' ', 0, 0).toInt(), logged.tries);
    if (ending == "partly")
        QCOMPARE(match.captured("answered").toInt(), logged.answered);
    if (unanswered)
        QCOMPARE(match.captured("between").section(' ', 0, 0).toInt(), logged.between);
}

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
        QTest::newRow("read-only in between")
            << QList<int>{149, 150, 151} << Runs{{149, 1}, {151, 1}} << true;
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
        QCOMPARE(t.requestsInTime(), expected);
        QCOMPARE(t.events.first(), QString("enableSaveButtons(false)"));
        QCOMPARE(t.only({"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"}),
                 QStringList({"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"})
                     .mid(0, flash ? 3 : 2));
        // Written registers are saved now, and a read-only one settles with them.
        QVERIFY(t.model->getUnsavedValues().isEmpty());
        if (flash)
            QCOMPARE(t.model->getFlashRecoveryValues().keys(), unsaved);
        QCOMPARE(t.link->getStatus(), KelvaraCom::StatusSuccess);
    }

    void flashSave_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("torque");
        QTest::addColumn<QStringList>("ending");
        QTest::newRow("confirmed")
            << false << 0
            << QStringList{"enableSaveButtons(true)", "comSuccess", "flashSaveComplete"};
        // Not confirmed with the motor at rest: no comSuccess, no success status.
        QTest::newRow("refused") << true << 0
                                 << QStringList{"enableSaveButtons(true)", "comError",
                                                "errorMessage(Save to Flash Fail)"};
        QTest::newRow("motor running")
            << true << 800 << QStringList{"enableSaveButtons(true)", "comSuccess", "motorRunning"};
    }

    void flashSave()
    {
        QFETCH(bool, refused);
        QFETCH(int, torque);
        QFETCH(QStringList, ending);
        SimulatedLink t;
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.sim.setFlashSaveFails(refused);
        t.sim.setTorqueCommand(torque);
        // Read first: a write sent again for an answer a loaded machine
        // made late goes to the controller the link knows.
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete") && t.model->isValid());
        t.sim.clearLog();
        t.model->getParameter(15)->setValue(30.0);
        t.events.clear();
        QSignalSpy failures(t.link.get(), &KelvaraCom::errorMessage);
        t.link->writeAll();
        QVERIFY(t.waitForAny({"flashSaveComplete", "motorRunning", "comError"}));
        // Refused, not lost: no timeout, no disconnection.
        const QString told = failures.isEmpty() ? QString() : failures.first().at(1).toString();
        QVERIFY2(failures.isEmpty()
                     || (told.contains("answered that it did not save") && !told.contains("Timeout")
                         && !told.contains("disconnection")),
                 qPrintable(told));

        QStringList frames{spaced(Frames::write(15, {3000})), flashWrite, flashRead};
        if (refused)
            frames << spaced(Frames::read(477, 1));
        QCOMPARE(t.requestsInTime(), frames);
        QCOMPARE(t.events.mid(t.events.size() - 3), ending);
        QCOMPARE(t.events.count("replyProcessed"), frames.size());
        const QRegularExpression outcome("comSuccess|flashSaveComplete|errorMessage");
        QCOMPARE(t.events.filter(outcome).size(), ending.filter(outcome).size());
        QCOMPARE(t.link->getStatus() == KelvaraCom::StatusSuccess, !refused);
        QCOMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
        // The write of 511 waits its 900 ms, on the link's own clock (the
        // simulator may take a request late).
        const auto sends = t.sent.sends();
        const auto write = std::find_if(sends.cbegin(), sends.cend(), [](const auto& send) {
            return spaced(send.bytes) == flashWrite;
        });
        QVERIFY(write != sends.cend() && write + 1 != sends.cend());
        QCOMPARE(write->waitMs, KelvaraCom::flashSaveTimeoutMs);
        QVERIFY2((write + 1)->sentMs - write->sentMs >= 800,
                 qPrintable(QString::number((write + 1)->sentMs - write->sentMs)));
        // Its wait is not kept: the timeout is back at the default, or at the
        // last send's where a late answer had a request sent again.
        const int timeout = t.link->getTimeoutTime();
        QVERIFY2(timeout == 40
                     || (t.requestsInTime().size() < t.sim.requestCount()
                         && timeout == sends.constLast().waitMs),
                 qPrintable(QString::number(timeout)));
        if (!refused)
            QCOMPARE(t.model->getParameter(511)->getRegisterValue(), 4096);
    }

    // Each check's status and the connection signals it gave: silence is
    // reported only at the third failure in a row, and never sent again.
    void connectionCheck()
    {
        SimulatedLink t(30);
        const auto checks = [&](int count) {
            QStringList seen;
            for (int i = 0; i < count; ++i) {
                const int before = t.events.size();
                t.link->checkConnection();
                if (!t.waitFor("replyProcessed", t.events.count("replyProcessed") + 1, 1000))
                    return QStringList{"not judged"};
                seen << QString::number(t.link->getStatus())
                        + t.events.mid(before).filter("controller").join("");
            }
            return seen;
        };
        QCOMPARE(checks(1), QStringList{"4controllerConnected"});
        QCOMPARE(t.requestsInTime(), QStringList{"01 03 01 02 00 2a 64 29"});
        t.sim.setSilent(true);
        QCOMPARE(checks(4),
                 QStringList({"5", "5", "5controllerDisconnected", "5controllerDisconnected"}));
        QCOMPARE(t.sim.requestCount(), 1 + 4);
    }

    // A reply that comes after its wait, or twice, would be stored as the next,
    // alike block's values. Waits of 30, 60, 120 and 240 ms: answers in the second
    // or third wait, or after the last; or each again early in the next wait.
    void lateRepliesNeverShiftValues()
    {
        for (const auto& [delay, repeatedAfter] :
             QVector<QPair<int, int>>{{70, 0}, {160, 0}, {480, 0}, {15, 25}}) {
            SimulatedLink t(30);
            QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
            t.sim.setReplyDelay(delay);
            t.sim.duplicateReplies(repeatedAfter,
                                   repeatedAfter > 0 ? ControllerSimulator::Forever : 0);
            t.link->readAll();
            // Failing is fine, succeeding with another block's values is not.
            QVERIFY(t.waitFor("readAllComplete"));
            QVERIFY2(!t.model->isValid() || registersUnlike(*t.model, t.sim).isEmpty(),
                     qPrintable(QString::number(delay)));
            // Answers still due from the slow exchanges are not taken for the next.
            t.sim.resetFaults();
            t.link->readAll();
            QVERIFY(t.waitFor("readAllComplete", 2));
            QVERIFY2(t.model->isValid() && registersUnlike(*t.model, t.sim).isEmpty(),
                     qPrintable(QString::number(delay)));
        }
    }

    // The identity check's read, as long as no answer still due, goes out
    // without waiting for a quiet line: block 1's answer, late, comes in its
    // wait and only spoils it. The check's read is sent again, and no block
    // takes another's values.
    void lateBlockAnswerSpoilsOnlyTheCheck()
    {
        // Block 1's answer comes 150 ms after its wait of 400 ms ran out,
        // ahead of the answer to the check's read, as a controller answers
        // in turn: both inside the check's wait, well before a quiet line's
        // end.
        SimulatedLink t(400);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        t.sim.clearLog();
        // A delay set as a request comes applies from the next one on.
        int requests = 0;
        QObject::connect(&t.sim, &ControllerSimulator::requestReceived, &t.sim, [&] {
            ++requests;
            t.sim.setReplyDelay(requests == 1 ? 550 : requests == 2 ? 250 : 0);
        });
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete", 2));
        QCOMPARE(t.requestsInTime(),
                 QStringList(readAllFrames().mid(0, 2))
                     << identityCheckFrame() << identityCheckFrame() << readAllFrames().mid(1));
        QCOMPARE(registersUnlike(*t.model, t.sim), QStringList());
        QCOMPARE(t.events.count("errorMessage(Read Fail)"), 0);
    }

    // A read sent again leaves the answer to its second send due. It comes
    // in the wait of the identity check a write asks for and spoils the
    // check's read, which is sent again; an answer to that read may then
    // still come, so the write would wait for a quiet line, in which the
    // cable could move: the check is taken again after the quiet line, and
    // the write follows it at once.
    void checkLeavingItsWriteToWaitIsTakenAgain()
    {
        SimulatedLink t(1000);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        const int kv = t.model->getParameter(72)->getRegisterValue() + 100;
        t.model->getParameter(72)->setRegisterValue(kv);
        t.sim.clearLog();
        // Answers in turn: the first send's in the second's wait, the
        // second's just after that wait, the check's after it. A delay set
        // as a request comes applies from the next one on.
        int requests = 0;
        QObject::connect(&t.sim, &ControllerSimulator::requestReceived, &t.sim, [&] {
            ++requests;
            t.sim.setReplyDelay(requests == 1 ? 2250 : requests == 2 ? 500 : 0);
        });
        t.sim.setReplyDelay(1500);
        t.link->oneRead(71);
        t.link->writeAll();
        QVERIFY(t.waitFor("flashSaveComplete"));
        const QString read = spaced(Frames::read(71, 1));
        const QString check = identityCheckFrame();
        QCOMPARE(t.requestsInTime(),
                 (QStringList{read, read, check, check, check,
                              spaced(Frames::write(72, {quint16(kv)})), flashWrite, flashRead}));
    }

    // A write frame whose wait ran out goes out again only once the
    // controller that answers has shown it is the one that was read.
    void writeSentAgainOnlyToTheControllerRead()
    {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        const int kv = t.model->getParameter(72)->getRegisterValue() + 100;
        t.model->getParameter(72)->setRegisterValue(kv);
        t.sim.clearLog();
        t.sim.silenceNextRequests(1);
        t.link->writeAll();
        QVERIFY(t.waitFor("flashSaveComplete"));
        const QString write = spaced(Frames::write(72, {quint16(kv)}));
        QCOMPARE(t.requestsInTime(),
                 (QStringList{write, identityCheckFrame(), write, flashWrite, flashRead}));
    }

    // The stop, queued behind a read that brings in the controller's 2,
    // still goes out as 0.
    void commandsCarryTheValueTheyWereGiven()
    {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QVERIFY(t.sim.setRegisterValue(509, 61957));
        t.link->readAll();
        t.link->queueCommand(509, 0);
        QVERIFY(t.waitFor("comSuccess", 2));
        QCOMPARE(t.requestsInTime().mid(5), QStringList{spaced(Frames::write(509, {0}))});
        QCOMPARE(t.model->getParameter(509)->getRegisterValue(), 0);
        // The controller's own value, never an unsaved edit.
        QVERIFY(t.model->getUnsavedValues().isEmpty());
    }

    // A poll of live values is sent once, as a connection check is: one
    // that goes unanswered ends without a report, and what waits goes on.
    void unansweredPollEndsQuietly()
    {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.sim.silenceNextRequests(1);
        t.link->pollStatus(258, 74);
        t.link->queueCommand(508, 1);
        QVERIFY(t.sim.waitForReplies(1));
        QTRY_COMPARE(t.link->getMode(), int(KelvaraCom::IdleMode));
        QCOMPARE(t.requestsInTime(),
                 (QStringList{spaced(Frames::read(258, 74)), spaced(Frames::write(508, {1}))}));
        QCOMPARE(t.only({"comError", "errorMessage(Read Fail)", "timeoutOccured"}), QStringList());
        // Answered, it stores what it read.
        QVERIFY(t.sim.setRegisterValue(258, 4));
        t.link->pollStatus(258, 74);
        QTRY_COMPARE(t.model->getParameter(258)->getRegisterValue(), 4);
    }

    // A connection check that falls while a poll waits for its reply is
    // judged with that poll, as its own read would be: each unanswered send
    // counts once however many checks fall in its wait, an answered one
    // starts the count anew, and the third in a row declares the loss.
    void checksFallingInAPollAreJudgedWithIt()
    {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        const auto poll = [&](int checksInItsWait) {
            const int before = t.events.size();
            const int judged = t.events.count("replyProcessed");
            t.link->pollStatus(258, 74);
            for (int i = 0; i < checksInItsWait; ++i)
                t.link->checkConnection();
            if (!t.waitFor("replyProcessed", judged + 1, 2000))
                return QStringLiteral("not judged");
            return t.events.mid(before).filter("controller").join("");
        };
        t.sim.setSilent(true);
        QCOMPARE(poll(3), QString());
        QCOMPARE(poll(1), QString());
        t.sim.setSilent(false);
        QCOMPARE(poll(1), QString());
        t.sim.setSilent(true);
        QCOMPARE(poll(1), QString());
        QCOMPARE(poll(1), QString());
        // Unanswered with no check in its wait: the next check counts it.
        QCOMPARE(poll(0), QString());
        QCOMPARE(poll(1), QStringLiteral("controllerDisconnected"));
        QCOMPARE(t.sim.requestCount(), 7);
    }

    // A poll that went unanswered with no check in its wait is the next
    // check's verdict, also when that check falls while another poll waits
    // (one that is answered, here): three failed checks in a row, the
    // controller is lost, as on a page without polls.
    void pollFailedAloneCountsAtTheNextCheck()
    {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QSignalSpy lost(t.link.get(), &KelvaraCom::controllerDisconnected);
        const auto poll = [&](int checksInItsWait) {
            const int judged = t.events.count("replyProcessed");
            t.link->pollStatus(258, 74);
            for (int i = 0; i < checksInItsWait; ++i)
                t.link->checkConnection();
            return t.waitFor("replyProcessed", judged + 1, 2000);
        };
        t.sim.setSilent(true);
        QVERIFY(poll(1) && poll(1));
        QVERIFY(poll(0));
        QCOMPARE(lost.count(), 0);
        t.sim.setSilent(false);
        QVERIFY(poll(1));
        QCOMPARE(lost.count(), 1);
        // The answered poll starts the count anew.
        t.sim.setSilent(true);
        QVERIFY(poll(1) && poll(0) && poll(1));
        QCOMPARE(lost.count(), 1);
        QVERIFY(poll(1));
        QCOMPARE(lost.count(), 2);
    }

    void readAllAfterASpoiledBlock_data()
    {
        QTest::addColumn<int>("spoiled"); // replies of block 0 with a bad CRC
        QTest::newRow("once") << 1;
        QTest::newRow("twice") << 2;
    }
    // A block answered whole but with a bad CRC came from the controller it
    // reached: it is sent again at once with the same wait, and the read-all
    // goes on and is taken, never read again. A spoiled answer that came
    // late on a loaded machine was not the link's to judge: counted are the
    // requests answered in time. At the construction timeouts, what a
    // spoiled reply leaves of the ladder outlasts a machine that holds the
    // simulator's thread up.
    void readAllAfterASpoiledBlock()
    {
        QFETCH(int, spoiled);
        SimulatedLink t(0);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QStringList retries;
        QObject::connect(t.link.get(), &KelvaraCom::timeoutOccured,
                         [&] { retries << t.link->getReplyText(); });
        t.sim.corruptCrc(spoiled);
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        QCOMPARE(t.events.count("readAllComplete"), 1);
        QVERIFY(t.model->isValid() && t.link->wasLastReadAllClean());
        const auto sends = LateReplies::requests(t.sim, t.sent);
        const auto isSpoiled = [](const auto& send) { return send.note.contains("bad CRC"); };
        QCOMPARE(int(std::count_if(sends.cbegin(), sends.cend(), isSpoiled)), spoiled);
        const int spoiledLate = std::count_if(sends.cbegin(), sends.cend(), [&](const auto& send) {
            return isSpoiled(send) && LateReplies::answeredLate(send);
        });
        QStringList frames;
        QStringList resent;
        for (const auto& request : LateReplies::takenInTime(sends)) {
            frames << spaced(request.bytes);
            if (!isSpoiled(request))
                continue;
            // Sent again at once, with the same wait.
            const int i =
                std::find_if(sends.cbegin(), sends.cend(),
                             [&](const auto& send) { return send.entry == request.entry; })
                - sends.cbegin();
            QVERIFY(i + 1 < sends.size() && sends.at(i + 1).bytes == request.bytes);
            QCOMPARE(sends.at(i + 1).waitMs, request.waitMs);
            resent << QString("BAD REPLY - Sending again: %1\n").arg(request.waitMs);
        }
        QCOMPARE(resent.size(), spoiled - spoiledLate);
        QStringList expected;
        for (int i = 0; i <= resent.size(); ++i)
            expected << readAllFrames().first();
        expected << readAllFrames().mid(1);
        QCOMPARE(frames, expected);
        QCOMPARE(retries.filter("BAD REPLY").mid(0, resent.size()), resent);
        QCOMPARE(registersUnlike(*t.model, t.sim), QStringList());
    }

    void readAllAcrossASilence_data()
    {
        QTest::addColumn<bool>("readBefore"); // a complete read, nothing failed since
        QTest::addColumn<int>("lostAt");      // the block lost as the cable moves
        QTest::addColumn<bool>("movedToB");
        QTest::addColumn<QStringList>("framesOfA"); // blocks and identity reads, in order
        QTest::addColumn<QStringList>("readAgain"); // blocks of A read again at the end
        QTest::addColumn<QStringList>("framesOfB");
        const QString block0 = spaced(Frames::read(0, 125));
        const QString check = identityCheckFrame();
        const QStringList rest = readAllFrames().mid(1);
        // A is known: block 0 is A's, and so is all that follows the check.
        QTest::newRow("A again, A known")
            << true << 125 << false << (QStringList{block0, check} << rest) << QStringList()
            << QStringList();
        // Nobody was known when block 0 came: it is read again, alone.
        QTest::newRow("A again, first read")
            << false << 125 << false << (QStringList{block0, check} << rest) << QStringList{block0}
            << QStringList();
        // Block 2 tells whose blocks 0 to 2 are.
        QTest::newRow("A again after block 2, first read")
            << false << 375 << false
            << (QStringList{block0} << rest.mid(0, 2) << check << rest.mid(2)) << QStringList()
            << QStringList();
        // One check serves both blocks read again after it.
        QTest::newRow("A again after block 1, first read")
            << false << 250 << false << (QStringList{block0, rest.at(0), check} << rest.mid(1))
            << QStringList{block0, rest.at(0)} << QStringList();
        // B answers the check: the read begins again, with B alone.
        QTest::newRow("B, A known") << true << 125 << true << QStringList{block0} << QStringList()
                                    << (QStringList{check} << readAllFrames());
        QTest::newRow("B after block 2, first read")
            << false << 375 << true << (QStringList{block0} << rest.mid(0, 2)) << QStringList()
            << (QStringList{check} << readAllFrames());
    }
    // The cable moves as a block goes out; whoever answers after the
    // silence is identified before the next block is kept. The same
    // controller: the read goes on, and only blocks of a controller that was
    // not known are read again. Another one: the read begins again, and the
    // model shows its values alone. Counted without what answers late on a
    // loaded machine cost.
    void readAllAcrossASilence()
    {
        QFETCH(bool, readBefore);
        QFETCH(int, lostAt);
        QFETCH(bool, movedToB);
        CableLink t;
        QVERIFY(t.start(30, readBefore));
        ControllerSimulator& a = t.a;
        ControllerSimulator& b = t.b;
        CableAdapter& adapter = t.adapter;
        Kelvara& model = t.model;
        KelvaraCom& link = t.link;
        const SentFrames sent(&link);
        QSignalSpy done(&link, &KelvaraCom::readAllComplete);
        QSignalSpy failures(&link, &KelvaraCom::errorMessage);
        QVERIFY(a.setRegisterValue(75, 7000));

        QVERIFY(adapter.moveOn(CableAdapter::Trigger::readAt(lostAt), {movedToB ? &b : &a}));
        link.readAll();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, operationLimitMs(&link));
        QCOMPARE(failures.count(), 0);
        QVERIFY(model.isValid());
        const auto framesTo = [&](const ControllerSimulator* controller) {
            QStringList frames;
            for (const QByteArray& frame :
                 LateReplies::framesTakenInTime(adapter, sent, controller))
                frames << spaced(frame);
            return frames;
        };
        const auto sends = LateReplies::requests(adapter, sent);
        QFETCH(QStringList, framesOfA);
        QFETCH(QStringList, readAgain);
        const QStringList toA = framesTo(&a);
        const auto lost = std::find_if(sends.cbegin(), sends.cend(),
                                       [](const auto& send) { return !send.controller; });
        QVERIFY(lost != sends.cend());
        // A late answer on a loaded machine before the silence ended a
        // stretch of blocks there too: besides the row's blocks, the link
        // may read again those before it, and no others.
        const int late = LateReplies::firstSentAgainForALateAnswer(sends, lost - sends.cbegin());
        if (late >= 0) {
            QCOMPARE(toA.mid(0, framesOfA.size()), framesOfA);
            for (int i = 0; i < late; ++i)
                readAgain << spaced(sends.at(i).bytes);
            for (const QString& frame : toA.mid(framesOfA.size()))
                QVERIFY2(readAgain.contains(frame), qPrintable(frame));
        } else {
            QCOMPARE(toA, framesOfA + readAgain);
        }
        QTEST(framesTo(&b), "framesOfB");
        QCOMPARE(framesTo(nullptr).size(), 1);
        // The block lost goes again after the check with the doubled wait,
        // and the blocks after it keep it; those read again start at the
        // timeout set. Judged on every send: a late answer climbs the wait.
        const auto firstAfter = [&](auto from, const QByteArray& frame) {
            return std::find_if(from + 1, sends.cend(), [&](const auto& send) {
                return send.controller == &a && send.bytes == frame;
            });
        };
        const QByteArray lastBlock = Frames::read(500, 11);
        if (!movedToB) {
            const auto sentAgain = firstAfter(lost, lost->bytes);
            const auto last = firstAfter(lost, lastBlock);
            QVERIFY(sentAgain != sends.cend() && last != sends.cend());
            QCOMPARE(sentAgain->waitMs, 2 * lost->waitMs);
            QVERIFY(last->waitMs >= 2 * lost->waitMs);
            auto firstReadAgain =
                std::find_if(sends.crbegin(), sends.crend(), [&](const auto& send) {
                    return send.controller == &a && send.bytes == lastBlock;
                }).base();
            while (firstReadAgain != sends.cend()
                   && LateReplies::isIdentityRead(firstReadAgain->bytes))
                ++firstReadAgain;
            if (firstReadAgain != sends.cend())
                QCOMPARE(firstReadAgain->waitMs, 30);
        }
        const ControllerSimulator& shown = movedToB ? b : a;
        for (const int address : {0, 72, 75, 238, 300, 510})
            QCOMPARE(quint16(model.getParameter(address)->getRegisterValue()),
                     shown.registerValue(address));
        // Whoever was read answers now: a write goes without asking.
        a.clearLog();
        b.clearLog();
        model.getParameter(229)->setValue(30.5);
        QSignalSpy saved(&link, &KelvaraCom::flashSaveComplete);
        link.writeAll();
        QVERIFY(saved.wait(operationLimitMs(&link)));
        QCOMPARE(CableLink::frames(shown).first(), spaced(Frames::write(229, {305})));
    }

    // A read of the identity check answered whole but spoiled came from the
    // controller it reached: it is sent again with the same wait, and the
    // check goes on rather than beginning again.
    void identityCheckSendsASpoiledReadAgain()
    {
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete"));
        t.sim.clearLog();
        QStringList resends;
        QObject::connect(t.link.get(), &KelvaraCom::timeoutOccured,
                         [&] { resends << t.link->getReplyText(); });
        // The reply of block 1 is lost; the check's first read then comes spoiled.
        t.sim.loseRepliesAtAddress(125, 1);
        QObject spoiler;
        bool spoiled = false;
        QObject::connect(&t.sim, &ControllerSimulator::requestReceived, &spoiler,
                         [&](const QByteArray& frame) {
                             if (!spoiled && spaced(frame) == readAllFrames().at(1))
                                 t.sim.corruptCrc(1);
                             spoiled = spoiled || spaced(frame) == readAllFrames().at(1);
                         });
        t.link->readAll();
        QVERIFY(t.waitFor("readAllComplete", 2));
        QCOMPARE(t.requestsInTime(),
                 QStringList(readAllFrames().mid(0, 2))
                     << identityCheckFrame() << identityCheckFrame() << readAllFrames().mid(1));
        QCOMPARE(resends.filter("BAD REPLY - Sending again: 30").size(), 1);
        QCOMPARE(resends.filter("Identifying the controller again").size(), 0);
    }

    void readAllTryStartsAtTheDefaultTimeout_data()
    {
        QTest::addColumn<bool>("readAllFailed"); // else a read needed a second send
        QTest::newRow("after a failed read-all") << true;
        QTest::newRow("after a read sent again") << false;
    }
    // A read-all begun after a try that failed, or after a read whose wait
    // was doubled, goes out at the default timeout.
    void readAllTryStartsAtTheDefaultTimeout()
    {
        QFETCH(bool, readAllFailed);
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        if (readAllFailed) {
            t.link->readAll();
            QVERIFY(t.waitFor("readAllComplete"));
            t.sim.setSilentAtAddress(250);
            t.link->readAll();
            QVERIFY(t.waitFor("errorMessage(Read Fail)"));
            t.sim.setSilentAtAddress(250, false);
        } else {
            t.sim.loseRepliesAtAddress(71, 1);
            t.link->oneRead(71);
            QVERIFY(t.waitFor("comSuccess"));
            QCOMPARE(t.link->getTimeoutTime(), 60);
        }
        t.sim.clearLog();
        t.events.clear();
        t.link->readAll();
        // The first block is on its way with the wait it was given.
        QCOMPARE(t.link->getTimeoutTime(), 30);
        QVERIFY(t.waitFor("readAllComplete"));
        QCOMPARE(t.requestsInTime(), readAllFrames());
    }

    void readFailSaysWhatHappened_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("ending"); // how the log ends (triesInLog())
        QTest::addColumn<QString>("tries");  // the count the box gives then
        const auto row = [](const char* tag, const QString& line, const QString& ending,
                            const QString& tries = QString()) {
            QTest::newRow(tag) << line << ending << tries;
        };
        row("silent controller", "silent", "stopped");
        row("every reply spoiled", "spoiled", "spoiled", "([3-9]|\\d\\d) tries");
        // The identity checks between its sends are answered.
        row("one block's replies lost", "lost", "unanswered", "([3-9]|\\d\\d) tries");
        // Replies cut short and lost in turn: the controller did not keep
        // answering, nor stop.
        row("replies short and lost in turn", "short, silenced", "partly", "\\d+ tries");
        // Noise bytes on the line are no answer of the controller.
        row("silent controller on a line of noise bytes", "silent, noise", "stopped");
        // A cable pulled while a reply is on the wire.
        row("a reply cut, then silence", "cut", "stopped");
        row("a reply spoiled, then silence", "garbled", "stopped");
        // Block 375 is answered at its last send; block 500's only send, at
        // the longest wait, is lost: as when the cable is pulled then.
        row("one reply lost after answers", "lost 1", "silence", "1 try");
        row("two replies lost after answers", "lost 2", "silence", "1 try");
        row("a line losing 30 % of the replies", "lossy", "silence", "\\d+ tr(y|ies)");
        // Every reply a byte short from the reply to block 1, 2 or 3 on:
        // the identity checks the block waits for are its tries.
        for (int block = 1; block <= 3; ++block)
            QTest::addRow("replies a byte short from block %d on", block)
                << QString("short %1").arg(block) << "spoiled"
                << "4 tries";
    }
    // A read that fails is told by what the simulator logged of it
    // (checkFailureText()). A lossy line reads until a read fails on one
    // lost reply right after a good one.
    void readFailSaysWhatHappened()
    {
        QFETCH(QString, line);
        QFETCH(QString, ending);
        QFETCH(QString, tries);
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QSignalSpy failures(t.link.get(), &KelvaraCom::errorMessage);
        QObject silencer;
        if (line.startsWith("lost "))
            t.sim.loseRepliesAtAddress(375, 3);
        if (line == "silent, noise")
            t.sim.setLineNoise(5, '\xff');
        if (line == "short, silenced") {
            t.sim.shortenReplies(1, ControllerSimulator::Forever);
            t.sim.silenceEvery(2);
        } else if (line == "silent" || line == "silent, noise")
            t.sim.setSilent(true);
        else if (line == "spoiled" || line == "garbled")
            t.sim.corruptCrc(line == "spoiled" ? ControllerSimulator::Forever : 1);
        else if (line == "cut")
            t.sim.shortenReplies(1, 1);
        else if (line == "lost")
            t.sim.loseRepliesAtAddress(125, ControllerSimulator::Forever);
        else if (line == "lossy")
            t.sim.setNoise(30, 1, ReplyNoise::Silence);
        else
            t.sim.loseRepliesAtAddress(500, line.right(1).toInt());
        if (line == "cut" || line == "garbled")
            QObject::connect(&t.sim, &ControllerSimulator::replySent, &silencer,
                             [&] { t.sim.setSilent(true); });
        int wholeReplies = line.startsWith("short ") ? line.right(1).toInt() : -1;
        if (wholeReplies > 0)
            QObject::connect(&t.sim, &ControllerSimulator::replySent, &silencer, [&] {
                if (--wholeReplies == 0)
                    t.sim.shortenReplies(1, ControllerSimulator::Forever);
            });
        for (int reads = 1; reads <= 200; ++reads) {
            t.sim.clearLog();
            t.link->readAll();
            QVERIFY(t.waitFor("readAllComplete", reads));
            if (failures.isEmpty())
                continue;
            QCOMPARE(failures.first().first().toString(), QString("Read Fail"));
            const QString text = failures.takeFirst().at(1).toString();
            const LoggedTries logged = triesInLog(t.sim);
            checkFailureText(text, logged, "read", tries, line != "lossy");
            if (QTest::currentTestFailed())
                return;
            const QVector<QByteArray> sent = t.sim.requests();
            if (line != "lossy"
                || (logged.ending == "silence" && sent.count(sent.constLast()) == 1)) {
                QCOMPARE(logged.ending, ending);
                return;
            }
        }
        QFAIL("no read failed on one lost reply right after a good one");
    }

    void writeFailSaysWhatHappened_data()
    {
        QTest::addColumn<bool>("save"); // else the 509 := 0 that a Read begins with
        QTest::newRow("write, on a noisy line") << false;
        // The reply to the write of 511, sent once with its long wait, is lost.
        QTest::newRow("save to flash, its write's reply lost") << true;
    }
    // Writes and saves to flash are told by what the controller did, as
    // reads are (readFailSaysWhatHappened): the write until it has failed
    // each way.
    void writeFailSaysWhatHappened()
    {
        QFETCH(bool, save);
        SimulatedLink t(30);
        QVERIFY(t.sim.loadImage(KELVARA_SIM_IMAGE));
        QSignalSpy failures(t.link.get(), &KelvaraCom::errorMessage);
        t.link->readAll(); // the controller the writes are for is known
        QVERIFY(t.waitFor("readAllComplete"));
        save ? t.sim.loseRepliesAtAddress(511, 1) : t.sim.setNoise(50, 3);
        QSet<QString> endings;
        for (int writes = 1; writes <= 300 && endings.size() < (save ? 1 : 3); ++writes) {
            t.sim.clearLog();
            const int ends = t.events.count("comSuccess") + t.events.count("comError");
            if (save) {
                t.model->setValid(true);
                t.model->getParameter(15)->setValue(30.0);
            }
            save ? t.link->writeAll() : t.link->queueCommand(509, 0);
            QVERIFY(QTest::qWaitFor(
                [&] {
                    return t.events.count("comSuccess") + t.events.count("comError") > ends
                        && t.link->getMode() == KelvaraCom::IdleMode;
                },
                operationLimitMs(t.link.get())));
            if (failures.isEmpty())
                continue;
            QCOMPARE(failures.first().first().toString(),
                     QString(save ? "Save to Flash Fail" : "Write Fail"));
            const QString text = failures.takeFirst().at(1).toString();
            QCOMPARE(text.startsWith("Communication fail. The controller did not confirm the save"),
                     save);
            const LoggedTries logged = triesInLog(t.sim);
            endings << logged.ending;
            checkFailureText(text, logged, save ? "save to flash" : "write",
                             save ? "1 try" : "\\d+ tr(y|ies)");
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(endings.size(), save ? 1 : 3);
        QVERIFY(!save || endings.contains("silence"));
    }

    // Another controller answers part of every try: after three tries
    // nothing of them is shown, and the report says what happened, without
    // advice on the timeout.
    void readAllsSplitBetweenControllersFail()
    {
        CableLink t;
        QVERIFY(t.start(30));
        ControllerSimulator& a = t.a;
        ControllerSimulator& b = t.b;
        CableAdapter& adapter = t.adapter;
        Kelvara& model = t.model;
        KelvaraCom& link = t.link;
        QSignalSpy done(&link, &KelvaraCom::readAllComplete);
        QSignalSpy failures(&link, &KelvaraCom::errorMessage);
        const int kv = model.getParameter(72)->getRegisterValue();

        // Block 1 of each try is lost as the cable moves to the other one.
        for (ControllerSimulator* to : {&b, &a, &b})
            QVERIFY(adapter.moveOn(CableAdapter::Trigger::readAt(125), {to}));
        link.readAll();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, operationLimitMs(&link));
        QCOMPARE(failures.count(), 1);
        QCOMPARE(failures.first().first().toString(), QString("Read Fail"));
        const QString text = failures.first().at(1).toString();
        QVERIFY2(text.contains("could not be read from one controller")
                     && text.contains("(3 times)") && text.contains("A controller still answers")
                     && !text.contains("Timeout"),
                 qPrintable(text));
        QCOMPARE(link.getReplyText(), QString("Failed reading all parameters from one controller"));
        QCOMPARE(model.getParameter(72)->getRegisterValue(), kv);
        QCOMPARE(adapter.requestsTo(nullptr).size(), 3);
        QCOMPARE(link.getTimeoutTime(), 30);

        link.readAll();
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, operationLimitMs(&link));
        QCOMPARE(model.getParameter(72)->getRegisterValue(), 2222);
    }

    // From firmware 6000 on, the hardware version is register 1881 and the
    // serial number 2017, outside the read-all blocks: they are read before
    // the controller is identified.
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
        // The serial number there too: the controller's identity.
        QCOMPARE(t.requestsInTime(),
                 readAllFrames() << spaced(Frames::read(1881, 1)) << spaced(Frames::read(2017, 1)));
        QCOMPARE(t.model->getParameter(1881)->getRegisterValue(), 0x0805);
        // Hardware id 8 gives the first "Kelvara V6" row, not the one found by
        // firmware 6021.
        QCOMPARE(t.model->getControllerType().name, QString("Kelvara V6"));
        QCOMPARE(t.model->getControllerType().firmware, 6019);
    }
};

QTEST_GUILESS_MAIN(TestKelvaraComOperations)
#include "tst_kelvaracomoperations.moc"
