// Telling the controller that answers from the one that was read: a cable
// moved from one controller to another behind an adapter that stays shows
// only as a silence. After one, every write frame, sent first or sent
// again, waits until the controller has been identified (IdentityGate), and
// a read-all keeps its next block only once it knows whose it is.
#include "kelvaracom.h"

#include "commtimer.h"
#include "controlleridentity.h"
#include "frameword.h"
#include "identitycheck.h"
#include "identitygate.h"
#include "kelvara.h"
#include "parameter.h"
#include "readallepochs.h"
#include "unflashedwrites.h"

#include <algorithm>
#include <utility>

const char* const KelvaraCom::otherControllerTitle = "Another Controller";

void KelvaraCom::identifyBeforeNextWrite()
{
    gate->raiseDoubt();
}

ControllerIdentity KelvaraCom::readController() const
{
    return gate->trusted();
}

// A request that got no answer (or a cut one), or was not sent: whoever
// answers next may be another controller.
void KelvaraCom::noteFailedExchange()
{
    gate->raiseDoubt();
}

// A try of a read-all begins at the default timeout. The controller that
// answers is known when nothing failed since the last complete read.
void KelvaraCom::noteReadAllStart()
{
    timer->resetTime();
    epochs->begin(gate->answering());
}

// The read-all's blocks are one controller's: its values and identity are
// in the model now, and writes may follow without asking.
void KelvaraCom::noteCompleteRead()
{
    lastReadAllClean = true;
    gate->trust(ControllerIdentity::of(runner));
}

// True when the frame waits for the identity check, which sends it (or
// ends the operation) once the answer is in.
bool KelvaraCom::identifyBeforeWrite(const QByteArray& frame, AfterIdentityCheck then)
{
    if (stopGoesFirst(then))
        return true;
    if (gate->letsPass(frame))
        return false;
    startIdentityCheck(then);
    return true;
}

// A read whose answer decides something waits for the check as writes do.
bool KelvaraCom::identifyBeforeRead()
{
    if (stopGoesFirst(AfterIdentityCheck::SendRead))
        return true;
    if (!nextReadWaitsForIdentity())
        return false;
    startIdentityCheck(AfterIdentityCheck::SendRead);
    return true;
}

// While an autotune test runs, its readings and results come only from the
// controller it was started on.
bool KelvaraCom::readDecides(ReadPurpose purpose) const
{
    return purpose == DecidingRead || autotuneTestState != NoTest;
}

// The request the identity check stands before is a read, sent first or
// sent again.
bool KelvaraCom::isReadHeldForCheck() const
{
    return afterIdentityCheck == AfterIdentityCheck::SendRead
        || (afterIdentityCheck == AfterIdentityCheck::ResendFrame
            && !isWriteFrame(heldFrame.frame));
}

bool KelvaraCom::nextReadWaitsForIdentity() const
{
    return !readPurposes.isEmpty() && !gate->letsReadPass(readDecides(readPurposes.constFirst()));
}

bool KelvaraCom::mustIdentifyBeforeResend(const QByteArray& frame) const
{
    // The check's own reads are never held for another check.
    if (identityCheckState != IdentityCheckState::Idle)
        return false;
    if (isWriteFrame(frame))
        return !gate->letsPass(frame);
    // A save to flash is decided by the answers to its reads.
    return !gate->letsReadPass(flashSaveState != FlashSaveState::Idle
                               || readDecides(currentReadPurpose));
}

// Called with the frame whose wait just ran out: true when it is held for
// the identity check instead of being sent again at once. garbled: the
// reply came whole but spoiled, which tells of no other controller. While a
// stop is owed, whoever answers after a silence is identified before any
// frame goes again.
bool KelvaraCom::identifyBeforeResend(bool garbled)
{
    if (timer->exceedsMaxTime())
        return false;
    const bool forStop =
        !garbled && identityCheckState == IdentityCheckState::Idle && stopWantsCheck();
    // The blocks kept so far may be another controller's than those to
    // come; with none kept yet, whoever answers is as good as any.
    if (!garbled && isReadAllBlockInFlight()) {
        epochs->beginEpoch();
        if (!epochs->holdsBlocks() && !forStop)
            return false;
        holdFrameInFlight(keepsWaitAfterBadReply(garbled));
        replyText = QStringLiteral("TIMEOUT   - Identifying the controller before reading on\n");
        startIdentityCheck(AfterIdentityCheck::ResendReadAllBlock);
        return true;
    }
    if (!forStop && !mustIdentifyBeforeResend(timer->getLastMsg()))
        return false;
    holdFrameInFlight(keepsWaitAfterBadReply(garbled));
    replyText = QStringLiteral("TIMEOUT   - Identifying the controller before sending again\n");
    startIdentityCheck(AfterIdentityCheck::ResendFrame);
    return true;
}

// Kept as it is to be sent again, one rung up the ladder, with its wait
// doubled unless keepWait.
void KelvaraCom::holdFrameInFlight(bool keepWait)
{
    heldFrame.frame = timer->getLastMsg();
    heldFrame.address = curAddr;
    heldFrame.count = curNumRegs;
    heldFrame.mode = mode;
    heldFrame.timeout = keepWait ? timer->getTimeoutTime() : timer->doubledTimeout();
    heldFrame.rung = timer->climbedRung();
    heldFrame.request = requestInFlight;
}

// The check's waits start at the default timeout: the waits a noisy line
// made the operation climb are no measure of how quickly the controller
// answers. The frame it holds keeps its own wait. Its reads are tries of
// the request it stands before: they climb that request's ladder, from the
// rung of its next send, so that no reply of any kind keeps the request
// going beyond the sends the ladder allows.
void KelvaraCom::startIdentityCheck(AfterIdentityCheck then)
{
    beginCheckLadder(then);
    check->begin();
    mode = ReadMode;
    identityCheckState = IdentityCheckState::WaitingForReply;
    if (!sendNextIdentityRead())
        failAfterIdentityCheck();
}

// A check, or a stop, that stands before no request is one send, as a
// connection check: the next check asks again.
void KelvaraCom::beginCheckLadder(AfterIdentityCheck then)
{
    afterIdentityCheck = then;
    checkTriesOnce =
        then == AfterIdentityCheck::ConnectionCheck || then == AfterIdentityCheck::Nothing;
    checkAnswered = false;
    operationTimeout = timer->getTimeoutTime();
    const bool resend =
        then == AfterIdentityCheck::ResendFrame || then == AfterIdentityCheck::ResendReadAllBlock;
    const int rung = resend ? heldFrame.rung : operationTimeout;
    timer->resetTime();
    timer->setLadderRung(checkTriesOnce ? timer->getDefaultTimeout()
                                        : std::max(rung, timer->ladderRung()));
    connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::identityCheckWrapper,
            Qt::UniqueConnection);
}

// A read of the check went unanswered: another try from its first read,
// with the wait doubled (kept when keepWait), one rung up the ladder of the
// request the check stands before, as long as that request may be sent
// again.
void KelvaraCom::beginIdentityCheckAgain(bool keepWait)
{
    if (checkTriesOnce) {
        timer->resetTime();
        endCheckBeforeNothing(checkAnswered);
        return;
    }
    if (timer->exceedsMaxTime()) {
        timer->resetTime();
        failAfterIdentityCheck();
        return;
    }
    timer->climbLadder(!keepWait);
    check->beginAgain();
    replyText = QStringLiteral("TIMEOUT   - Identifying the controller again: ")
        + QString::number(timer->getTimeoutTime()) + QLatin1Char('\n');
    logText(replyText);
    emit timeoutOccured();
    if (!sendNextIdentityRead())
        failAfterIdentityCheck();
}

// Each read of the check is a request of its own, but on the ladder of the
// request the check stands before.
bool KelvaraCom::sendNextIdentityRead()
{
    const QPair<int, int> next = check->nextRead();
    identityAnswer.clear();
    const int rung = timer->ladderRung();
    if (!read(next.first, next.second))
        return false;
    timer->setLadderRung(rung);
    identityCheckRequest = requestInFlight;
    return true;
}

bool KelvaraCom::isIdentityCheckReply() const
{
    return identityCheckState == IdentityCheckState::WaitingForReply
        && identityCheckRequest == requestInFlight;
}

// The answer is compared, not stored: the model keeps showing the values
// of one controller.
void KelvaraCom::takeIdentityAnswer(int address, int count, const QByteArray& reply)
{
    identityAnswerAddress = address;
    identityAnswer.clear();
    for (int i = 0; i < count; ++i)
        identityAnswer << readReplyValue(reply, i);
}

void KelvaraCom::identityCheckWrapper()
{
    if (identityCheckState == IdentityCheckState::SendingStop) {
        if (takeJudgement(identityCheckRequest))
            takeStopAnswer();
        return;
    }
    if (identityCheckState == IdentityCheckState::ReadingBackStop) {
        if (takeJudgement(identityCheckRequest))
            takeStopReadBack();
        return;
    }
    if (identityCheckState != IdentityCheckState::WaitingForReply
        || !takeJudgement(identityCheckRequest))
        return;
    if (status == StatusCommunicationTimeout) {
        beginIdentityCheckAgain(replyEndedWellInTime());
        return;
    }
    if (status != StatusSuccess) {
        failAfterIdentityCheck();
        return;
    }
    if (!check->takeAnswer(identityAnswerAddress, identityAnswer)) {
        if (!sendNextIdentityRead())
            failAfterIdentityCheck();
        return;
    }
    takeCheckedIdentity(check->identity());
}

// The verdict of a try whose every read was answered at once. A stop owed
// to the controller identified goes out first, before anything the check
// decides: a write, a read, a block or a save to flash sent or sent again,
// or the refusal that empties the queues. What the check clears goes out
// now; were it to wait for a quiet line first, the cable could move
// meanwhile, so the controller is identified again instead.
void KelvaraCom::takeCheckedIdentity(const ControllerIdentity& identity)
{
    checkAnswered = true;
    const bool readController = gate->takeIdentity(identity);
    if (afterIdentityCheck == AfterIdentityCheck::ResendReadAllBlock)
        epochs->identify(identity);
    if (stopMayGo(afterIdentityCheck)) {
        sendOwedStop();
        return;
    }
    if (afterIdentityCheck != AfterIdentityCheck::ResendReadAllBlock && readController
        && clearedFrameWouldWait()) {
        gate->raiseDoubt();
        beginIdentityCheckAgain();
        return;
    }
    goOnAfterIdentityCheck();
}

// The controller identified is the one that was read, or the check left
// the doubt: another one answers, and what only the one read may get is
// refused. A check that stood before no request ends here.
void KelvaraCom::goOnAfterIdentityCheck()
{
    const bool needsGate = clearedWorkNeedsGate();
    endIdentityCheck();
    switch (afterIdentityCheck) {
    case AfterIdentityCheck::ResendReadAllBlock:
        if (epochs->holdsTwoControllers())
            beginReadAllAgain();
        else
            resendHeldFrame();
        return;
    case AfterIdentityCheck::ConnectionCheck:
    case AfterIdentityCheck::Nothing:
        endCheckBeforeNothing(true);
        return;
    default:
        break;
    }
    if (gate->isInDoubt() && needsGate)
        refuseWriteToAnotherController();
    else
        continueAfterIdentityCheck();
}

// What the check cleared goes only to the controller that was read: a
// write, a read whose answer decides something, a step of a save to flash.
// A read that only shows values waited for the check for the stop's sake.
bool KelvaraCom::clearedWorkNeedsGate() const
{
    switch (afterIdentityCheck) {
    case AfterIdentityCheck::SendWrite:
        return !writeQueue.isEmpty() && !gate->letsPass(nextWriteFrame());
    case AfterIdentityCheck::SendRead:
        return nextReadWaitsForIdentity();
    case AfterIdentityCheck::ResendFrame:
        return isWriteFrame(heldFrame.frame)
            ? !gate->letsPass(heldFrame.frame)
            : !gate->letsReadPass(flashSaveState != FlashSaveState::Idle
                                  || readDecides(currentReadPurpose));
    case AfterIdentityCheck::StartFlashSave:
    case AfterIdentityCheck::ConfirmFlashSave:
    case AfterIdentityCheck::SendFlashSaveRead:
        return !gate->letsPass(QByteArray());
    case AfterIdentityCheck::ResendReadAllBlock:
    case AfterIdentityCheck::ConnectionCheck:
    case AfterIdentityCheck::Nothing:
        return false;
    }
    return false;
}

// A frame sent again goes at once; a new request may wait for the line.
bool KelvaraCom::clearedFrameWouldWait() const
{
    switch (afterIdentityCheck) {
    case AfterIdentityCheck::SendWrite:
    case AfterIdentityCheck::SendRead:
    case AfterIdentityCheck::StartFlashSave:
    case AfterIdentityCheck::SendFlashSaveRead:
        return wouldWaitForQuietLine();
    case AfterIdentityCheck::ResendFrame:
    case AfterIdentityCheck::ConfirmFlashSave:
    case AfterIdentityCheck::ResendReadAllBlock:
    case AfterIdentityCheck::ConnectionCheck:
    case AfterIdentityCheck::Nothing:
        return false;
    }
    return false;
}

void KelvaraCom::endIdentityCheck()
{
    identityCheckState = IdentityCheckState::Idle;
    identityCheckRequest = 0;
    identityAnswer.clear();
    check->end();
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::identityCheckWrapper);
}

// What the check cleared goes on from the rung its reads climbed to: they
// were tries of that request.
void KelvaraCom::continueAfterIdentityCheck()
{
    const int rung = timer->ladderRung();
    const quint32 clearedRequest = requestCounter + 1;
    sendWhatTheCheckCleared();
    if (requestInFlight == clearedRequest)
        timer->setLadderRung(std::max(rung, timer->ladderRung()));
}

void KelvaraCom::sendWhatTheCheckCleared()
{
    switch (afterIdentityCheck) {
    case AfterIdentityCheck::StartFlashSave:
        saveValuesToFlash();
        return;
    case AfterIdentityCheck::ConfirmFlashSave:
        confirmFlashSave();
        return;
    case AfterIdentityCheck::ResendFrame:
    case AfterIdentityCheck::ResendReadAllBlock:
        resendHeldFrame();
        return;
    case AfterIdentityCheck::SendWrite:
        mode = WriteMode;
        timer->setTimeoutTime(operationTimeout, false);
        if (!sendNextWrite())
            writeError();
        return;
    case AfterIdentityCheck::SendRead:
        mode = ReadMode;
        timer->setTimeoutTime(operationTimeout, false);
        if (!sendNextRead())
            readError();
        return;
    case AfterIdentityCheck::SendFlashSaveRead:
        mode = ReadMode;
        if (!read(1, flashSaveReadAddress)) {
            readError();
            return;
        }
        flashSaveRequest = requestInFlight;
        return;
    case AfterIdentityCheck::ConnectionCheck:
    case AfterIdentityCheck::Nothing:
        endCheckBeforeNothing(true);
        return;
    }
}

// The controller could not be identified: the operation fails as if its
// own frame had gone unanswered.
void KelvaraCom::failAfterIdentityCheck()
{
    if (checkTriesOnce || afterIdentityCheck == AfterIdentityCheck::Nothing) {
        endCheckBeforeNothing(checkAnswered);
        return;
    }
    endIdentityCheck();
    if (afterIdentityCheck == AfterIdentityCheck::ConfirmFlashSave
        || afterIdentityCheck == AfterIdentityCheck::SendRead
        || afterIdentityCheck == AfterIdentityCheck::SendFlashSaveRead
        || afterIdentityCheck == AfterIdentityCheck::ResendReadAllBlock
        || (afterIdentityCheck == AfterIdentityCheck::ResendFrame && heldFrame.mode == ReadMode))
        readError();
    else
        writeError();
}

// The controller that answers is the one that was read: the held frame goes
// out again as it was, with the doubled wait, for the machine that sent it.
void KelvaraCom::resendHeldFrame()
{
    const HeldFrame held = std::exchange(heldFrame, HeldFrame());
    const int checkRung = timer->ladderRung();
    mode = held.mode;
    curAddr = held.address;
    curNumRegs = held.count;
    prepareReplyBuffer(isWriteFrame(held.frame) ? 8 : held.count * 2 + 5);
    timer->setTimeoutTime(held.timeout, false);
    timer->setLadderRung(std::max(held.rung, checkRung));
    requestInFlight = held.request;
    requestResent = true;
    if (!sendMessage(held.frame)) {
        replyText = isWriteFrame(held.frame) ? QStringLiteral("Failed sending write message")
                                             : QStringLiteral("Failed sending read message");
        timer->resetTime();
        status = StatusFailedSendingReadMessage;
        noteFailedExchange();
        announceJudgement(held.request);
        return;
    }
    replyText = QStringLiteral("TIMEOUT   - Increasing Timeout speed by x2: ")
        + QString::number(timer->getTimeoutTime()) + QLatin1Char('\n');
    emit timeoutOccured();
}

// Nothing of the controller that was read goes to another one, and no
// answer of another one decides anything: the operation ends as any
// failure does, after the window has heard who answers. Reads go on, so
// that the window can read the new controller.
void KelvaraCom::refuseWriteToAnotherController()
{
    const bool savingToFlash = flashSaveState != FlashSaveState::Idle;
    const bool readHeld = !savingToFlash && isReadHeldForCheck();
    replyText = readHeld
        ? QStringLiteral(
            "A controller other than the one that was read answered: the read was not sent to it")
        : QStringLiteral(
            "A controller other than the one that was read answered: nothing was written to it");
    status = StatusCommunicationTimeout;
    emit otherControllerAnswered();
    QString text = QStringLiteral("The controller that answers is not the one whose parameters "
                                  "were read, so nothing was written to it.");
    if (readHeld)
        text = QStringLiteral("The controller that answers is not the one whose parameters "
                              "were read, so the read was not sent to it.");
    else if (savingToFlash && isFlashSaveUnconfirmed())
        text = QStringLiteral(
            "The controller that answers is not the one the values were "
            "written to. The save to flash was sent to that controller, which "
            "did not confirm it: it may or may not hold the values in flash, and they "
            "stay marked until a save to flash is confirmed. Nothing was "
            "written to the one that answers.");
    else if (savingToFlash)
        text = QStringLiteral("The controller that answers is not the one the values were "
                              "written to, so they were not saved to flash: that controller "
                              "holds them only until it is switched off. Nothing was written "
                              "to the one that answers.");
    reportFailure(QString::fromLatin1(otherControllerTitle), text);
}
