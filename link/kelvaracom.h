#ifndef KELVARACOM_H
#define KELVARACOM_H

#include "controlleridentity.h"
#include "exchangetally.h"
#include "owedstop.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPair>
#include <QSerialPort>
#include <QString>
#include <QVector>

#include <memory>

class CommTimer;
class ExceptionReply;
class IdentityCheck;
class IdentityGate;
class Kelvara;
class Logger;
class QTimer;
class ReadAllEpochs;
class UnflashedWrites;

// Spaced lower-case hex of a hex text, with a line end: "0103" -> "01 03\n".
QString niceHex(QString hex);

// The Modbus RTU link to the one controller (slave 1; function 3 reads,
// function 16 writes), built on the device model.
//
// At most one frame is in flight. The port is opened for a frame and closed
// once its reply is judged and no frame follows at once; the reply is judged
// when the reply timer runs out (so every exchange lasts its full timeout),
// never when bytes arrive.
// A frame without a good reply is sent again with a doubled timeout while
// the timeout is not above the maximum (250, 500, 1000, 2000 and 4000 ms by
// default; setDefaultTimeout(t) gives t, 2t, 4t, 8t). A reply that came
// whole but spoiled (a bad CRC, another slave or function) was the
// controller's answer, in time: the frame goes again at once with the same
// wait, as often as the ladder allows, and nothing else follows from it.
//
// Work asked for while the link is busy waits in the read or write queue and
// starts at the next batch end (comSuccess(), comError()) or connection
// check report. Outcomes travel as signals: comSuccess() when a queue has
// drained or a flash save ended, readAllComplete() at the end of each
// read-all, and on failure enableSaveButtons(true), comError() and
// errorMessage(title, text), in this order, with both queues emptied.
//
// A controller that went silent may have been swapped for another behind
// the same port: once any exchange has failed since the last complete read,
// every write frame, sent first or sent again, waits until the controller
// that answers has been identified as the one that was read (IdentityGate,
// IdentityCheck). Another one gets nothing written: otherControllerAnswered(),
// then the failure report of the operation (titled otherControllerTitle, or
// flashSaveFailTitle when values already written are not in flash); the
// next write asks again. The check's reads are tries of the request it
// stands before and climb its ladder, so that no reply, nor any pattern of
// replies, keeps a request going beyond the sends the ladder allows
// (OperationTimeBound). A save to flash counts as confirmed only from the
// controller that took it. A read-all keeps its blocks until all are in;
// after an exchange of it failed, the controller that answers is identified
// before its next block is kept, and the blocks are taken when they are all
// one controller's (ReadAllEpochs). When another controller answered in
// between, the read-all is begun again, a few times at most. The reads of a
// save to flash (the read-back of 511, the torque command) that follow a
// failed exchange wait for the check as writes do: what the save ends with
// is the answer of the controller that took the writes. So do the reads of
// an autotune test and every other read whose answer decides something
// (queueDecidingRead()). A stop an autotune test leaves owed goes first to
// the controller it stops, once identified, and to no other
// (stopDiscoveryRun()).
//
// Every write of a register kept in flash that may have reached the
// controller, answered or not, stays outside flash in the model until a
// save to flash is confirmed (UnflashedWrites): the model is told when an
// operation ends without that confirmation.
//
// Tests and tools that need a quick link use setDefaultTimeout() with a short
// time (e.g. 40 ms): the whole retransmission ladder scales with it.
class KelvaraCom : public QObject
{
    Q_OBJECT

public:
    // Result of the last exchange; getStatusString() gives its text.
    enum Status {
        StatusSuccess = 0,
        StatusInvalidSerialPort = 1,
        StatusCommunicationTimeout = 2,
        StatusFailedSendingReadMessage = 3,
        StatusControllerConnected = 4,
        StatusControllerDisconnected = 5,
    };

    enum AutotuneTestState {
        NoTest = 0,
        StaticTest = 1,
        DynamicTest = 2,
    };

    // Values of getMode().
    enum Mode {
        ReadMode = 0,
        WriteMode = 1,
        IdleMode = 3,
    };

    explicit KelvaraCom(Kelvara* model, QObject* parent = nullptr);
    ~KelvaraCom() override;

    // Queue operations; they take the address first, the count second.
    void queueRead(int addr, int numRegs);
    // A poll of live values, as the Dashboard's of the status block: sent
    // once, as a connection check is. One that goes unanswered ends
    // without a failure report and counts as a failed connection check at
    // the next check; the next poll asks anew.
    void pollStatus(int addr, int numRegs);
    // A read whose answer decides something (a box, a write, a test's
    // outcome), such as the torque command read before an autotune test:
    // after a failed exchange it waits, sent first or sent again, until the
    // controller that answers has been identified as the one that was read,
    // as writes do. Another one is refused: the read ends with the failure
    // report, and nothing of it is taken.
    void queueDecidingRead(int addr, int numRegs);
    // Like oneWrite() without resetting the timeout.
    void queueWrite(int addr, int numRegs);
    // A command register written with the value given now, whatever the
    // model holds when the frame goes out; the model takes it as the
    // controller's own value, never as an unsaved edit.
    void queueCommand(int addr, int value);
    // A test left the controller's motor discovery run (register 481) going:
    // the link owes that controller a stop (0 to 481) until the controller
    // reports 481 = 0 (OwedStop). The test's request under way gives way.
    // While the stop is owed, whoever answers after any exchange that got no
    // answer is identified before anything else is sent, connection checks
    // included; once the controller owed is identified, the stop is the very
    // next frame, ahead of every request waiting, and its read-back follows.
    // Neither goes after a failed exchange before a check has said who
    // answers, nor to a controller identified as another. While the stop
    // is owed and not known to be out of reach, the link checks the
    // connection by itself once a second when nothing else is sent.
    // controller: the one the test ran on; unknown: whichever answers.
    void stopDiscoveryRun(const ControllerIdentity& controller);
    // A new run of the controller takes over register 481: a stop owed to
    // it is not sent again. One owed to another stays.
    void cancelDiscoveryStop(const ControllerIdentity& controller);
    OwedStop::Fate discoveryStopFate() const;
    // Pairs of (count, address), queued in order.
    void queueMultipleReads(QVector<QPair<int, int>> pairs);
    void queueMultipleWrites(QVector<QPair<int, int>> pairs);
    bool isReadQueued(int addr, int numRegs) const;
    // The last block of a read-all (11 registers from 500) is still queued.
    bool isReadAllQueued() const;

    // Writes 1 to register 508, then reads the 42 status registers from 258.
    void clearFaults();
    // Saves to flash now (32767 to register 511, read back until 4096); the
    // autotune calls it from its comSuccess() handler, with the link idle.
    void flashSaveAutotune();
    void flashSaveError();
    // While set, failed connection checks pass silently.
    void ignoreConnectionFails(bool ignore);
    // Clears and closes the port when open and empties both queues.
    void clearCloseIfOpen();
    // Forgets the frame in flight and everything queued, as when the port
    // changes: nothing more is sent, judged or reported for them, and the
    // link is idle.
    void dropPendingWork();
    void setRunnerValid(bool valid);

    // The save to flash waits this long for the answer to its write of 511,
    // and reads 511 back up to this many times more when a read-back fails.
    static constexpr int flashSaveTimeoutMs = 900;
    static constexpr int flashSaveReadRetries = 10;
    // After a wait that ran out, a new request waits for the line to fall
    // quiet; a line that keeps carrying bytes holds it at most this many
    // times the longest wait given.
    static constexpr int maxQuietLineWaits = 4;
    // A read-all in which another controller answered is begun again this
    // many times at most.
    static constexpr int maxReadAllRepeats = 2;
    // While a stop is owed, the link checks the connection by itself when
    // nothing was sent for this long.
    static constexpr int stopProbeIntervalMs = 1000;

    // Title of the failure report of a save to flash the controller did
    // not confirm, whatever ended it.
    static const char* const flashSaveFailTitle;
    // Title of the failure report of a write that was not sent because
    // a controller other than the one that was read answered.
    static const char* const otherControllerTitle;

    // The controller may have changed unseen (the connection check was held
    // up): the one that answers is identified before the next write.
    void identifyBeforeNextWrite();
    // The controller that was read, whose values the model shows; unknown
    // before a complete read.
    ControllerIdentity readController() const;
    // The last read-all that succeeded brought in the values of one
    // controller.
    bool wasLastReadAllClean() const { return lastReadAllClean; }
    // Values that belong in flash have been written, or are being written,
    // and no save to flash has confirmed them yet.
    bool isSavingToFlash() const
    {
        return flashSaveState != FlashSaveState::Idle
            || (writeState == WriteState::WaitingForReply && flashSaveNeeded
                && autotuneTestState == NoTest);
    }
    // The last save to flash went out and no answer told whether the
    // controller saved: it may or may not hold the values in flash.
    bool isFlashSaveUnconfirmed() const;
    // Writes left outside flash whose answer never came: the controller may
    // or may not hold them.
    QList<int> unansweredWrites() const;

    Status getStatus() const { return status; }
    // The controller's refusal that the last exchange was judged to be
    // (StatusInvalidSerialPort): the request sent and its answer.
    ExceptionReply refusal() const;
    static QString getStatusString(KelvaraCom::Status status);
    // How the status line and the command line name the last exchange's
    // status: a refusal by the controller's answer ("Refused by the
    // controller"), a request whose replies came spoiled as such ("Replies
    // spoiled on the line"), any other by its status text.
    QString statusName() const;
    // What the controller did with the sends of the operation under way,
    // or of the last one.
    const ExchangeTally& exchangeTally() const { return tally; }
    QString getReplyText() const { return replyText; }
    // ReadMode, WriteMode or IdleMode.
    int getMode() const { return mode; }
    QString getPortName() const { return portName; }

    // Only the standard rates 1200 to 115200 bit/s are taken; false (and
    // nothing changed) for any other value.
    bool setBaud(QSerialPort::BaudRate rate);
    bool setBaud(qint32 rate);
    qint32 getBaud() const;

    int getTimeoutTime() const;
    // What the timeout goes back to, and the longest wait after which a
    // frame is still sent again.
    int getDefaultTimeout() const;
    int getMaxTimeout() const;
    // The current timeout only: the next reset (end of a read-all, a
    // write-all, ...) goes back to the default.
    void setTimeoutTime(int t);
    // Current and default timeout, maximum four times it; what the stored
    // "commTimeout" setting should be applied with.
    void setDefaultTimeout(int t);

    // Test logs: 1 opens a static, 2 a dynamic test log; others are ignored.
    void startAutotune(KelvaraCom::AutotuneTestState state);
    void setAutotuneTestState(KelvaraCom::AutotuneTestState state);
    KelvaraCom::AutotuneTestState getAutotuneTestState() const { return autotuneTestState; }

    // Emits the console text of the current reply (see replyMessageCreated).
    void createDevMessage(int index, bool send);

    // CRC-16/MODBUS of data, low byte first.
    static QByteArray calculateCRC(QByteArray data);
    // msg followed by its CRC.
    static QByteArray fillInCRC(QByteArray msg);
    // Like the free niceHex(), without the final line end.
    static QString niceHex(QString hex);

signals:
    // A failure report, after comError(): "Read Fail", "Write Fail" or
    // "Save to Flash Fail" and the long text.
    void errorMessage(QString title, QString text);
    // A reply has been judged (and was not sent again); also after a
    // connection check whose frame could not be sent.
    void replyProcessed();
    // Console texts of a good reply: one per register, or one hex line.
    void replyMessageCreated(QString text);
    void comError();
    // The port could not be opened: QSerialPort::error() and its text.
    void comConnectError(int error, QString text);
    // The read or write queue drained, or a flash save ended without a
    // failure report (confirmed, or refused with motorRunning()).
    void comSuccess();
    // Register 511 read back as 4096: the controller saved to flash.
    void flashSaveComplete();
    // The third and every further failed connection check in a row.
    void controllerDisconnected();
    void controllerConnected();
    // A frame went out on the line, sent first or sent again.
    void frameSent(const QByteArray& frame);
    // A frame was sent again, after a silence with a doubled timeout, after
    // a spoiled reply with the same one; also when an identity check begins
    // again.
    void timeoutOccured();
    // The save to flash was not confirmed and the torque command is not 0.
    void motorRunning();
    void enableSaveButtons(bool valid);
    void middleFailure(QString text);
    // The end of each read-all, after its own last block or its failure;
    // the model is valid and the controller identified when it succeeded.
    void readAllComplete();
    // A read of the status block took more than its timeout + 1000 ms.
    void macSlowFaultRead(int elapsedMs);
    // The identity check found a controller other than the one that was
    // read: the write, or the read whose answer decides something, it was
    // about to get is not sent, and the operation ends with the failure
    // report that follows.
    void otherControllerAnswered();
    // What became of the stop owed (discoveryStopFate()) has changed.
    void discoveryStopChanged();

public slots:
    void oneWrite(int addr, int numRegs);
    void oneWrite(int addr);
    void oneRead(int addr, int numRegs);
    void oneRead(int addr);
    void readAll();
    void writeAll();
    void checkConnection();
    void setCurrentPortName(QString name);
    void haltLog();
    void showHexMessage(bool hex);

private slots:
    void finishReadAll();
    void readWrapper();
    void writeWrapper();
    void saveValuesToFlash();
    void checkConnectionWrapper();
    void processWriteQueue();
    void processReadQueue();
    void readReply();
    void discardLateAnswer();
    void sendAfterQuietLine();
    void handleReply();
    void closeIdlePort();
    void readError();
    void reportError(QString errorType);
    void checkControllerType();
    void identityCheckWrapper();

private:
    // Why a read is queued: read-all blocks are told apart so that a
    // read-all ends at its own last block, whatever else shares the queue.
    enum ReadPurpose {
        PlainRead,
        // Block 0 of a read-all: a try begins.
        ReadAllFirstBlock,
        ReadAllBlock,
        // Block 500: the identity registers beyond the blocks (firmware
        // 6000 on) follow, or the read-all ends.
        ReadAllLastBlock,
        // The read that ends the read-all: the last identity register
        // beyond the blocks, or the last block read again.
        ReadAllFinal,
        StatusPoll,
        // Its answer decides something: see queueDecidingRead().
        DecidingRead,
    };
    static bool isReadAllPurpose(ReadPurpose purpose)
    {
        return purpose != PlainRead && purpose != StatusPoll && purpose != DecidingRead;
    }

    // Steps of the state machines. Each machine advances on replyProcessed();
    // a step named WaitingFor... waits for the judgement of the request it
    // sent, Start sends the first one, Idle ignores every signal.
    enum class ReadState {
        Start,           // sends the first queued read
        WaitingForReply, // to a block; the next one follows until the queue is empty
        Idle,
    };
    enum class WriteState {
        Start,           // sends the first queued write
        WaitingForReply, // to a frame; the next one follows until the queue is empty
        Idle,
    };
    enum class ConnectionCheckState {
        Start,           // sends the read of the status block
        WaitingForReply, // whose judgement is status 4 (connected) or not
        Idle,
    };
    enum class FlashSaveState {
        Start,                   // writes 32767 to register 511
        WaitingForWrite,         // of register 511
        WaitingForReadBack,      // of register 511, 4096 once saved
        WaitingForTorqueCommand, // register 477, read when 511 did not confirm
        Idle,
    };
    enum class IdentityCheckState {
        WaitingForReply, // to a read of identity registers
        SendingStop,     // the stop owed to the controller identified, sent first
        ReadingBackStop, // 481, right after the stop was answered
        Idle,
    };
    // What the identity check lets go on once the controller is the one read.
    enum class AfterIdentityCheck {
        SendWrite,          // the next queued write, sent first
        SendRead,           // the next queued read, whose answer decides something
        StartFlashSave,     // the write of 511
        ResendFrame,        // the frame whose wait ran out
        ConfirmFlashSave,   // the read-back of 511 that gave 4096
        ResendReadAllBlock, // a block of a read-all whose wait ran out
        SendFlashSaveRead,  // the read-back of 511 or the torque command
        // No request: a connection check (or the link's own) while a stop
        // is owed, which the check's answer stands for.
        ConnectionCheck,
        // No request: the stop of a test that has just ended.
        Nothing,
    };
    // A write frame (or a read whose answer decides something) whose wait ran out,
    // held while the controller that answers is identified; sent again as
    // it was.
    struct HeldFrame
    {
        QByteArray frame;
        int address = -1;
        int count = 0;
        int mode = IdleMode;
        int timeout = 0; // of its next send
        int rung = 0;    // of its next send on the ladder
        quint32 request = 0;
    };

    // Frames and judgement (kelvaracomframes.cpp).
    bool read(int numRegs, int addr);
    bool write(int numRegs, int addr);
    // A command write of one register (see queueCommand).
    bool writeCommand(int addr, int value);
    // Values are taken from the model where none is given.
    QByteArray buildWriteFrame(int numRegs, int addr, const QVector<int>& values = {}) const;
    bool sendWrite(const QByteArray& frame);
    QByteArray initializeMsg(QByteArray msg, int addr);
    void prepareReplyBuffer(int length);
    bool sendMessage(QByteArray frame);
    bool startExchange(const QByteArray& frame);
    bool openPort();
    bool isPortReusable() const;
    bool writeFrame(const QByteArray& frame);
    void noteLateAnswersDue();
    void forgetLateAnswers();
    void collectPendingBytes();
    void judgeGoodReply();
    void judgeRejection();
    void judgeBadReply(bool garbled);
    void judgeUnansweredExchange(bool garbled);
    bool replyEndedWellInTime() const;
    bool keepsWaitAfterBadReply(bool garbled) const;
    bool takeCheckOfStatusRead();
    void storeReadReply(int address, int count, const QByteArray& reply);
    void storeWriteReply();
    bool holdsSentValue(const QByteArray& frame, int index, int address) const;
    // The reply being judged answers a connection check.
    bool isConnectionCheckReply() const;
    void noteUnsentRequest();
    bool isWriteFrame(const QByteArray& frame) const;
    void announceJudgement();
    void announceJudgement(quint32 request);

    // Engine (kelvaracomengine.cpp).
    void queueReadHelper();
    void queueWriteHelper();
    void appendRead(int numRegs, int addr, ReadPurpose purpose);
    bool sendNextRead();
    void sendNextReadEarly();
    void sendNextReadBeforeCompletion();
    bool sendNextWrite();
    QByteArray nextWriteFrame() const;
    bool retransmitMessage(bool keepWait);
    bool isPollInFlight() const;
    void endUnansweredPoll();
    bool takeJudgement(quint32& request);
    bool sendNextWriteIdentified();
    bool giveWayToStop();
    void writeError();
    QString failureText(const QString& errorType);
    bool isFlashSaveRefused(const QString& errorType) const;
    void reportFailure(QString title, const QString& text);
    void clearQueues();
    bool isReadAllPending() const;

    // Operations (kelvaracomoperations.cpp).
    QVector<int> identityRegistersBeyondBlocks() const;
    void bufferReadAllReply(int address, int count, const QByteArray& reply);
    void storeReadAllReplies();
    bool isReadAllBlockInFlight() const;
    bool readUnidentifiedBlocksAgain();
    void beginReadAllAgain();
    void dropRestOfReadAllTry();
    bool readAllAgain();
    void failMixedReadAll();
    void endReadAll(bool succeeded);
    void settleUnwritable();
    bool readForFlashSave(int address);
    void confirmFlashSave();
    void endUnconfirmedFlashSave();
    void noteSentWrite(const QByteArray& frame);
    // taken: the controller echoed the write; otherwise it refused it.
    void noteAnsweredWrite(const QByteArray& frame, bool taken = true);
    void keepUnflashedWrites();
    void countFailedCheck();
    // A connection check of its own, while a stop is owed: its failure is
    // not counted, so the window's checks alone decide when the controller
    // is lost.
    void probeConnection();
    bool isStatusRead() const;

    // Identity (kelvaracomidentity.cpp).
    void noteFailedExchange();
    void noteReadAllStart();
    void noteCompleteRead();
    bool identifyBeforeWrite(const QByteArray& frame, AfterIdentityCheck then);
    bool identifyBeforeResend(bool garbled);
    bool identifyBeforeRead();
    bool readDecides(ReadPurpose purpose) const;
    bool isReadHeldForCheck() const;
    bool nextReadWaitsForIdentity() const;
    bool mustIdentifyBeforeResend(const QByteArray& frame) const;
    void holdFrameInFlight(bool keepWait);
    void startIdentityCheck(AfterIdentityCheck then);
    void beginCheckLadder(AfterIdentityCheck then);
    void beginIdentityCheckAgain(bool keepWait = false);
    bool sendNextIdentityRead();
    bool isIdentityCheckReply() const;
    void takeIdentityAnswer(int address, int count, const QByteArray& reply);
    void takeCheckedIdentity(const ControllerIdentity& identity);
    void goOnAfterIdentityCheck();
    bool clearedWorkNeedsGate() const;
    bool clearedFrameWouldWait() const;
    bool wouldWaitForQuietLine() const;
    void endIdentityCheck();
    void continueAfterIdentityCheck();
    void sendWhatTheCheckCleared();
    void failAfterIdentityCheck();
    void resendHeldFrame();
    void refuseWriteToAnotherController();

    // The stop owed (kelvaracomstop.cpp).
    bool stopWantsCheck() const;
    bool stopMayGo(AfterIdentityCheck before) const;
    bool stopGoesFirst(AfterIdentityCheck then);
    bool isStopStepReply() const;
    void startStopStep(AfterIdentityCheck then);
    void sendOwedStop();
    void sendStopFrame(IdentityCheckState step);
    void takeStopAnswer();
    void takeStopReadBack();
    void goOnAfterStop();
    void endCheckBeforeNothing(bool answered);
    void goOnWithOwedStop();
    void probeForStop();
    void tellStopFate(OwedStop::Fate before);

    // Logs (kelvaracomlogs.cpp).
    void logText(const QString& text);
    void emitDevMessage(int address, bool newBlock, bool isRead, const QByteArray& reply,
                        bool send);

    Kelvara* runner;
    QString portName;
    bool connectionFailsIgnored = false;
    int failedCheckCount = 0;
    QSerialPort* port;
    QString openedPortName;
    QByteArray rxBuffer;
    int rxCount = -1;
    QByteArray rxAfterReply; // bytes after a complete reply, as many as it holds
    // Since the frame in flight was sent, and when its reply's last byte came.
    QElapsedTimer sinceFrameSent;
    qint64 lastReplyByteMs = -1;
    int mode = IdleMode;
    Status status = StatusFailedSendingReadMessage;
    QString replyText;
    int curNumRegs = -1;
    int curAddr = -1;
    CommTimer* timer;
    Logger* autotuneLog = nullptr;
    Logger* devLogger;
    bool showHex = false;
    ReadState readState = ReadState::Idle;
    QVector<QPair<int, int>> readQueue;
    QVector<ReadPurpose> readPurposes; // one per readQueue entry
    WriteState writeState = WriteState::Idle;
    QVector<QPair<int, int>> writeQueue;
    // One per writeQueue entry: the value of a command, or noCommand.
    QVector<int> writeCommands;
    static constexpr int noCommand = -1;
    int flashReadRetries = 0;
    bool flashSaveNeeded = false;
    QList<int> unwritableUnsaved; // of the write-all under way
    ConnectionCheckState connectionCheckState = ConnectionCheckState::Idle;
    AutotuneTestState autotuneTestState = NoTest;
    FlashSaveState flashSaveState = FlashSaveState::Idle;
    QElapsedTimer faultReadTimer;

    // Every request gets a number; a state machine advances only on the
    // judgement of the request it sent itself, so no other replyProcessed()
    // can make it skip ahead.
    quint32 requestCounter = 0;
    quint32 requestInFlight = 0;
    quint32 judgedRequest = 0;
    quint32 readMachineRequest = 0;
    quint32 writeMachineRequest = 0;
    quint32 flashSaveRequest = 0;
    quint32 connectionCheckRequest = 0;
    // After an exchange whose wait ran out, answers to its sends may still
    // come; a new request is sent only once the line has been quiet for the
    // longest wait they were given, or such an answer would be taken for
    // the new request's reply.
    bool lateAnswersDue = false;
    int lateAnswerWindowMs = 0;
    // The lengths of the replies those answers would have.
    QVector<int> lateAnswerLengths;
    QElapsedTimer sinceLastJudgement;
    QTimer* quietLineTimer;
    QElapsedTimer quietLineWait;
    QByteArray frameAfterQuietLine;

    ReadPurpose currentReadPurpose = PlainRead;
    bool readAllBlockInFlight = false;
    bool readAllSucceeded = false;
    bool earlyReadSendFailed = false;

    // The request in flight has been sent again.
    bool requestResent = false;
    // What the controller did with the sends of the operation under way.
    ExchangeTally tally;
    // A send of a read of the status block went unanswered since the last
    // connection check: on the Dashboard, whose polls keep the link busy,
    // that counts as one failed check, however many checks fall inside the
    // wait of the poll sent again.
    bool statusReadFailedSinceCheck = false;
    // A connection check fell while a read of the status block was waiting
    // for its reply: that send is the check, as a check's own read would be.
    bool checkRidesOnStatusRead = false;
    // The check in flight is a probe: its failure is not counted.
    bool probing = false;

    bool lastReadAllClean = false;
    // The blocks of the read-all under way, and how often it was begun
    // again because another controller answered in between.
    std::unique_ptr<ReadAllEpochs> epochs;
    int readAllRepeats = 0;

    std::unique_ptr<IdentityGate> gate;
    std::unique_ptr<IdentityCheck> check;
    IdentityCheckState identityCheckState = IdentityCheckState::Idle;
    AfterIdentityCheck afterIdentityCheck = AfterIdentityCheck::SendWrite;
    // The wait of the operation the check stands before, which it goes on with.
    int operationTimeout = 0;
    quint32 identityCheckRequest = 0;
    int identityAnswerAddress = -1;
    QVector<int> identityAnswer;
    HeldFrame heldFrame;
    // The check stands before no request: one try, as a connection check.
    bool checkTriesOnce = false;
    // A read of the check was answered whole: the controller answers.
    bool checkAnswered = false;
    std::unique_ptr<OwedStop> owedStop;
    QTimer* stopProbe;
    int flashSaveReadAddress = -1;
    std::unique_ptr<UnflashedWrites> unflashed;
};

#endif // KELVARACOM_H
