// The request engine: queues, the read and write state machines,
// retransmission and the failure report.
#include "kelvaracom.h"

#include "commtimer.h"
#include "controlleridentification.h"
#include "exceptionreply.h"
#include "failurereport.h"
#include "identitygate.h"
#include "kelvara.h"
#include "logger.h"
#include "parameter.h"
#include "readallepochs.h"
#include "unflashedwrites.h"

#include <QTimer>

#include <algorithm>

namespace {

const int delayedReadErrorMs = 10;

// (count, address) of the last read-all block, registers 500 to 510.
const QPair<int, int> lastReadAllBlock(11, 500);

} // namespace

void KelvaraCom::oneWrite(int addr, int numRegs)
{
    // What is unsaved now is what a refused save to flash puts back.
    runner->setFlashRecoveryValues();
    timer->resetTime();
    queueWrite(addr, numRegs);
}

void KelvaraCom::oneWrite(int addr)
{
    oneWrite(addr, 1);
}

void KelvaraCom::oneRead(int addr, int numRegs)
{
    queueRead(addr, numRegs);
}

void KelvaraCom::oneRead(int addr)
{
    oneRead(addr, 1);
}

void KelvaraCom::queueRead(int addr, int numRegs)
{
    appendRead(numRegs, addr, PlainRead);
    queueReadHelper();
}

void KelvaraCom::queueDecidingRead(int addr, int numRegs)
{
    appendRead(numRegs, addr, DecidingRead);
    queueReadHelper();
}

void KelvaraCom::queueWrite(int addr, int numRegs)
{
    writeQueue.append(qMakePair(numRegs, addr));
    writeCommands.append(noCommand);
    queueWriteHelper();
}

void KelvaraCom::queueCommand(int addr, int value)
{
    // Shown at once as what the controller is told; taken as its own value
    // before the write, so that no snapshot of unsaved values (a refused
    // save puts one back) ever holds the command.
    runner->setEditToControllerValue(addr, value);
    runner->setControllerRamValue(addr, runner->getParameter(addr)->getRegisterValue());
    timer->resetTime();
    writeQueue.append(qMakePair(1, addr));
    writeCommands.append(value & 0xFFFF);
    queueWriteHelper();
}

// The request of an autotune test that has ended, under way (in flight,
// waiting for a quiet line or for the identity check before it), is
// dropped: nothing waits for it any more. A start of its run sent again
// after the test ended would start the motor anew. A check under way, or
// the stop it let go, goes on for the stop alone: who answers is what the
// stop waits for.
bool KelvaraCom::giveWayToStop()
{
    const bool testRead = mode == ReadMode && readState == ReadState::WaitingForReply;
    const bool testWrite = writeState == WriteState::WaitingForReply;
    if (autotuneTestState == NoTest || (!testRead && !testWrite)
        || connectionCheckState == ConnectionCheckState::WaitingForReply
        || flashSaveState != FlashSaveState::Idle || isReadAllPending())
        return false;
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::readWrapper);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::writeWrapper);
    readState = ReadState::Idle;
    writeState = WriteState::Idle;
    readMachineRequest = 0;
    writeMachineRequest = 0;
    currentReadPurpose = PlainRead;
    earlyReadSendFailed = false;
    heldFrame = HeldFrame();
    if (identityCheckState != IdentityCheckState::Idle) {
        afterIdentityCheck = AfterIdentityCheck::Nothing;
        return true;
    }
    // An answer to the request may still come: what follows the stop waits
    // for the line to fall quiet.
    if (timer->isRunning())
        noteLateAnswersDue();
    timer->stopTimer();
    disconnect(port, &QSerialPort::readyRead, this, &KelvaraCom::readReply);
    quietLineTimer->stop();
    disconnect(port, &QSerialPort::readyRead, this, &KelvaraCom::discardLateAnswer);
    frameAfterQuietLine.clear();
    requestInFlight = 0;
    mode = IdleMode;
    return true;
}

void KelvaraCom::pollStatus(int addr, int numRegs)
{
    appendRead(numRegs, addr, StatusPoll);
    queueReadHelper();
}

void KelvaraCom::queueMultipleReads(QVector<QPair<int, int>> pairs)
{
    for (const auto& pair : qAsConst(pairs))
        appendRead(pair.first, pair.second, PlainRead);
    queueReadHelper();
}

void KelvaraCom::queueMultipleWrites(QVector<QPair<int, int>> pairs)
{
    writeQueue += pairs;
    writeCommands += QVector<int>(pairs.size(), noCommand);
    queueWriteHelper();
}

bool KelvaraCom::isReadQueued(int addr, int numRegs) const
{
    return readQueue.contains(qMakePair(numRegs, addr));
}

bool KelvaraCom::isReadAllQueued() const
{
    return readQueue.contains(lastReadAllBlock);
}

void KelvaraCom::appendRead(int numRegs, int addr, ReadPurpose purpose)
{
    readQueue.append(qMakePair(numRegs, addr));
    readPurposes.append(purpose);
}

void KelvaraCom::clearQueues()
{
    readQueue.clear();
    readPurposes.clear();
    writeQueue.clear();
    writeCommands.clear();
}

bool KelvaraCom::isReadAllPending() const
{
    return readAllBlockInFlight
        || std::any_of(readPurposes.cbegin(), readPurposes.cend(), isReadAllPurpose);
}

// Work queued while the link is busy starts at the next batch end or
// connection check report.
void KelvaraCom::queueReadHelper()
{
    connect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::processReadQueue);
    connect(this, &KelvaraCom::comError, this, &KelvaraCom::processReadQueue);
    connect(this, &KelvaraCom::controllerConnected, this, &KelvaraCom::processReadQueue);
    connect(this, &KelvaraCom::controllerDisconnected, this, &KelvaraCom::processReadQueue);
    if (mode == IdleMode) {
        readState = ReadState::Start;
        readWrapper();
    }
}

void KelvaraCom::queueWriteHelper()
{
    connect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::processWriteQueue);
    connect(this, &KelvaraCom::comError, this, &KelvaraCom::processWriteQueue);
    connect(this, &KelvaraCom::controllerConnected, this, &KelvaraCom::processWriteQueue);
    connect(this, &KelvaraCom::controllerDisconnected, this, &KelvaraCom::processWriteQueue);
    if (mode == IdleMode) {
        writeState = WriteState::Start;
        writeWrapper();
    }
}

void KelvaraCom::processReadQueue()
{
    if (readQueue.isEmpty()) {
        disconnect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::processReadQueue);
        disconnect(this, &KelvaraCom::comError, this, &KelvaraCom::processReadQueue);
        disconnect(this, &KelvaraCom::controllerConnected, this, &KelvaraCom::processReadQueue);
        disconnect(this, &KelvaraCom::controllerDisconnected, this, &KelvaraCom::processReadQueue);
        return;
    }
    if (mode == IdleMode) {
        readState = ReadState::Start;
        readWrapper();
    }
}

void KelvaraCom::processWriteQueue()
{
    if (writeQueue.isEmpty()) {
        disconnect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::processWriteQueue);
        disconnect(this, &KelvaraCom::comError, this, &KelvaraCom::processWriteQueue);
        disconnect(this, &KelvaraCom::controllerConnected, this, &KelvaraCom::processWriteQueue);
        disconnect(this, &KelvaraCom::controllerDisconnected, this, &KelvaraCom::processWriteQueue);
        return;
    }
    if (mode == IdleMode) {
        writeState = WriteState::Start;
        writeWrapper();
    }
}

bool KelvaraCom::takeJudgement(quint32& request)
{
    if (request == 0 || request != judgedRequest)
        return false;
    request = 0;
    return true;
}

bool KelvaraCom::sendNextRead()
{
    if (identifyBeforeRead())
        return true;
    const QPair<int, int> pair = readQueue.takeFirst();
    currentReadPurpose = readPurposes.takeFirst();
    readAllBlockInFlight = isReadAllPurpose(currentReadPurpose);
    if (currentReadPurpose == ReadAllFirstBlock)
        noteReadAllStart();
    if (!read(pair.first, pair.second))
        return false;
    readMachineRequest = requestInFlight;
    return true;
}

void KelvaraCom::readWrapper()
{
    if (readState == ReadState::Start) {
        if (readQueue.isEmpty()) {
            readState = ReadState::Idle;
            return;
        }
        connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::readWrapper,
                Qt::UniqueConnection);
        mode = ReadMode;
        readState = ReadState::WaitingForReply;
        tally.restart();
        if (!sendNextRead())
            QTimer::singleShot(delayedReadErrorMs, this, &KelvaraCom::readError);
        return;
    }
    if (readState != ReadState::WaitingForReply || !takeJudgement(readMachineRequest))
        return;
    if (status == StatusCommunicationTimeout && currentReadPurpose == StatusPoll) {
        endUnansweredPoll();
        return;
    }
    if (status != StatusSuccess) {
        readError();
        return;
    }
    if (earlyReadSendFailed) {
        earlyReadSendFailed = false;
        status = StatusFailedSendingReadMessage;
        replyText = QStringLiteral("Failed sending read message");
        readError();
        return;
    }

    readAllBlockInFlight = false;
    bool readAllEnds = false;
    const QVector<int> beyondBlocks =
        currentReadPurpose == ReadAllLastBlock ? identityRegistersBeyondBlocks() : QVector<int>();
    if (!beyondBlocks.isEmpty()) {
        // The read-all goes on with the identity registers (the hardware
        // version that identification needs among them) the blocks do not
        // cover; the last of them ends it.
        for (int i = beyondBlocks.size() - 1; i >= 0; --i) {
            readQueue.prepend(qMakePair(1, beyondBlocks.at(i)));
            readPurposes.prepend(i == beyondBlocks.size() - 1 ? ReadAllFinal : ReadAllBlock);
        }
    } else {
        readAllEnds = currentReadPurpose == ReadAllLastBlock || currentReadPurpose == ReadAllFinal;
    }
    currentReadPurpose = PlainRead;

    if (readAllEnds) {
        // Blocks of two controllers (a cable moved in between), or of one
        // that is not known: none of it is taken yet.
        if (epochs->holdsTwoControllers()) {
            beginReadAllAgain();
            return;
        }
        if (readUnidentifiedBlocksAgain()) {
            if (!sendNextRead())
                readError();
            return;
        }
        storeReadAllReplies();
        readAllRepeats = 0;
    }
    if (readAllEnds && !readQueue.isEmpty()) {
        sendNextReadBeforeCompletion();
        return;
    }
    if (readQueue.isEmpty()) {
        readState = ReadState::Idle;
        mode = IdleMode;
        disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::readWrapper);
        // Before comSuccess(), which starts waiting writes.
        if (readAllEnds)
            noteCompleteRead();
        emit comSuccess();
        if (readAllEnds)
            endReadAll(true);
        return;
    }
    if (!sendNextRead())
        readError();
}

// A block of a read batch is followed at once by the next one, sent on the
// open port as soon as the reply is judged good. Its announcement then finds
// the machine waiting for the next reply already; a failed send is reported
// there.
void KelvaraCom::sendNextReadEarly()
{
    const bool endsReadAll =
        currentReadPurpose == ReadAllLastBlock || currentReadPurpose == ReadAllFinal;
    if (readState != ReadState::WaitingForReply || readMachineRequest != requestInFlight
        || status != StatusSuccess || readQueue.isEmpty() || endsReadAll || !isPortReusable()
        || nextReadWaitsForIdentity() || stopWantsCheck()
        || stopMayGo(AfterIdentityCheck::SendRead))
        return;
    readAllBlockInFlight = false;
    const Status judgedStatus = status;
    if (!sendNextRead()) {
        earlyReadSendFailed = true;
        status = judgedStatus;
    }
}

// The next read-all's first frame goes out before the handlers of this
// one's completion run, which may take a while on a busy machine; a
// handler that ends the batch (a port change) forgets the frame.
void KelvaraCom::sendNextReadBeforeCompletion()
{
    noteCompleteRead();
    timer->resetTime();
    const Status judgedStatus = status;
    const QString judgedText = replyText;
    const bool sent = sendNextRead();
    const Status sendStatus = status;
    const QString sendText = replyText;
    // The completed read-all is told as it went, a failed send after it.
    status = judgedStatus;
    replyText = judgedText;
    endReadAll(true);
    if (!sent && readState == ReadState::WaitingForReply && mode == ReadMode) {
        status = sendStatus;
        replyText = sendText;
        readError();
    }
}

bool KelvaraCom::isPollInFlight() const
{
    return mode == ReadMode && currentReadPurpose == StatusPoll
        && readMachineRequest == requestInFlight;
}

// The poll measured nothing; the link goes on with what waits, and the
// next connection check counts the silence.
void KelvaraCom::endUnansweredPoll()
{
    currentReadPurpose = PlainRead;
    if (!readQueue.isEmpty()) {
        if (!sendNextRead())
            readError();
        return;
    }
    readState = ReadState::Idle;
    mode = IdleMode;
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::readWrapper);
    processWriteQueue();
    processReadQueue();
}

void KelvaraCom::readError()
{
    readState = ReadState::Idle;
    reportError(QStringLiteral("Read Fail"));
}

QByteArray KelvaraCom::nextWriteFrame() const
{
    const QPair<int, int> pair = writeQueue.constFirst();
    const int command = writeCommands.constFirst();
    if (command == noCommand)
        return buildWriteFrame(pair.first, pair.second);
    return buildWriteFrame(pair.first, pair.second, {command});
}

bool KelvaraCom::sendNextWrite()
{
    const QByteArray frame = nextWriteFrame();
    const QPair<int, int> pair = writeQueue.takeFirst();
    writeCommands.removeFirst();
    if (!sendWrite(frame))
        return false;
    writeMachineRequest = requestInFlight;
    for (int address = pair.second; address < pair.second + pair.first; ++address) {
        const Parameter* parameter = runner->getParameter(address);
        if (parameter && parameter->isSavable())
            flashSaveNeeded = true;
    }
    return true;
}

// A write goes only to the controller that was read; a command that makes
// any controller safe goes at once.
bool KelvaraCom::sendNextWriteIdentified()
{
    return identifyBeforeWrite(nextWriteFrame(), AfterIdentityCheck::SendWrite) || sendNextWrite();
}

void KelvaraCom::writeWrapper()
{
    if (writeState == WriteState::Start) {
        connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::writeWrapper,
                Qt::UniqueConnection);
        if (!writeQueue.isEmpty()) {
            mode = WriteMode;
            writeState = WriteState::WaitingForReply;
            tally.restart();
            flashSaveNeeded = false;
            unflashed->forgetFlashSave();
            // What a batch that ends without a save to flash leaves unsaved.
            runner->setFlashRecoveryValues();
            if (sendNextWriteIdentified())
                return;
        }
        writeError();
        return;
    }
    if (writeState != WriteState::WaitingForReply || !takeJudgement(writeMachineRequest))
        return;
    if (status != StatusSuccess) {
        writeError();
        return;
    }
    if (!writeQueue.isEmpty()) {
        if (!sendNextWriteIdentified())
            writeError();
        return;
    }
    writeState = WriteState::Idle;
    mode = IdleMode;
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::writeWrapper);
    // While an autotune test runs, it saves to flash by itself.
    if (flashSaveNeeded && autotuneTestState == NoTest) {
        flashSaveState = FlashSaveState::Start;
        saveValuesToFlash();
        return;
    }
    // The save to flash is left to the autotune test: until it confirms,
    // what was written is not in flash.
    keepUnflashedWrites();
    settleUnwritable();
    emit enableSaveButtons(true);
    emit comSuccess();
}

void KelvaraCom::writeError()
{
    writeState = WriteState::Idle;
    reportError(QStringLiteral("Write Fail"));
}

// keepWait: the reply came in time, whole but spoiled; the frame climbs
// the ladder as after a silence, with the wait it had.
bool KelvaraCom::retransmitMessage(bool keepWait)
{
    if (timer->exceedsMaxTime()) {
        timer->resetTime();
        return false;
    }
    timer->climbLadder(!keepWait);
    // The resent frame's reply must not be judged together with what is
    // left of the last one.
    rxBuffer.fill(char(0xFF));
    rxCount = 0;
    rxAfterReply.resize(0);
    if (!sendMessage(timer->getLastMsg())) {
        replyText = QStringLiteral("Failed sending read message");
        timer->resetTime();
        status = StatusFailedSendingReadMessage;
        return false;
    }
    requestResent = true;
    replyText = keepWait ? QStringLiteral("BAD REPLY - Sending again: ")
                         : QStringLiteral("TIMEOUT   - Increasing Timeout speed by x2: ");
    replyText += QString::number(timer->getTimeoutTime()) + QLatin1Char('\n');
    emit timeoutOccured();
    rxCount = 0;
    return true;
}

void KelvaraCom::reportError(QString errorType)
{
    reportFailure(errorType, failureText(errorType));
}

// The one teardown of every operation that ends without success: a save to
// flash that was not confirmed is told as such, whatever ended it.
void KelvaraCom::reportFailure(QString title, const QString& text)
{
    // Before anyone hears of the failure: the marks tell what the
    // controller may hold.
    keepUnflashedWrites();
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::readWrapper);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::writeWrapper);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::saveValuesToFlash);
    endIdentityCheck();
    readMachineRequest = 0;
    writeMachineRequest = 0;
    flashSaveRequest = 0;
    earlyReadSendFailed = false;

    // The values are not kept over a power cycle.
    if (flashSaveState != FlashSaveState::Idle)
        title = QString::fromLatin1(flashSaveFailTitle);
    flashSaveState = FlashSaveState::Idle;
    readState = ReadState::Idle;
    writeState = WriteState::Idle;
    mode = IdleMode;
    const bool readAllEnds = isReadAllPending();
    readAllBlockInFlight = false;
    currentReadPurpose = PlainRead;
    clearQueues();
    unwritableUnsaved.clear();
    heldFrame = HeldFrame();
    epochs->clear();
    readAllRepeats = 0;

    if (autotuneTestState != NoTest) {
        logText(replyText);
        setAutotuneTestState(NoTest);
    }

    emit enableSaveButtons(true);
    emit comError();
    // A read-all whose blocks were dropped ends here, unsuccessfully.
    if (readAllEnds)
        endReadAll(false);
    emit errorMessage(title, text);
}

// The text of a failure report; replyText becomes its one line.
QString KelvaraCom::failureText(const QString& errorType)
{
    FailureReport::FlashSave flashSave = FailureReport::FlashSave::None;
    if (isFlashSaveRefused(errorType))
        flashSave = FailureReport::FlashSave::Refused;
    else if (flashSaveState != FlashSaveState::Idle)
        flashSave = isFlashSaveUnconfirmed() ? FailureReport::FlashSave::Unconfirmed
                                             : FailureReport::FlashSave::NotSent;
    FailureReport report(errorType == QLatin1String("Read Fail") ? FailureReport::Operation::Read
                                                                 : FailureReport::Operation::Write,
                         flashSave);
    const int error = port->error();
    if (portName.isEmpty())
        report.setNoPortChosen(error);
    else if (error != QSerialPort::NoError)
        report.setPortError(error, port->errorString());
    else if (status == StatusInvalidSerialPort)
        // The one write of a save to flash is its command.
        report.setRefusal(refusal().action(), isWriteFrame(timer->getLastMsg()));
    else
        report.setUnanswered(tally);
    const QString line = report.replyLine();
    if (!line.isEmpty())
        replyText = line;
    return report.text();
}

// The save to flash failed on the controller's own answer (register 511
// read back without the confirmation, or its write rejected), not on a
// lost one.
bool KelvaraCom::isFlashSaveRefused(const QString& errorType) const
{
    return (errorType == QLatin1String(flashSaveFailTitle)
            || flashSaveState != FlashSaveState::Idle)
        && unflashed->lastFlashSave() == UnflashedWrites::FlashSave::Refused;
}
