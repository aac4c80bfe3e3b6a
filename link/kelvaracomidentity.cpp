// Telling the controller that answers from the one that was read: a cable
// moved from one controller to another behind an adapter that stays shows
// only as a silence. After one, every write frame, sent first or sent
// again, waits until the controller has been identified (IdentityGate).
#include "kelvaracom.h"

#include "commtimer.h"
#include "controlleridentity.h"
#include "identitygate.h"
#include "kelvara.h"
#include "parameter.h"

#include <utility>

const char* const KelvaraCom::otherControllerTitle = "Another Controller";

void KelvaraCom::identifyBeforeNextWrite()
{
    gate->raiseDoubt();
}

// A request that got no good reply, or was not sent: whoever answers next
// may be another controller.
void KelvaraCom::noteFailedExchange()
{
    ++failedExchanges;
    gate->raiseDoubt();
}

void KelvaraCom::noteReadAllStart()
{
    failedExchangesAtReadAllStart = failedExchanges;
    readAllReplies.clear();
}

// Every block of the read-all answered at once: the values and the identity
// in the model are one controller's, and writes may follow without asking.
void KelvaraCom::noteCompleteRead()
{
    lastReadAllClean = isReadAllClean();
    if (lastReadAllClean)
        gate->trust(ControllerIdentity::of(runner));
}

// True when the frame waits for the identity check, which sends it (or
// ends the operation) once the answer is in.
bool KelvaraCom::identifyBeforeWrite(const QByteArray& frame, AfterIdentityCheck then)
{
    if (gate->letsPass(frame))
        return false;
    if (gate->refusesWrites()) {
        refuseWriteToAnotherController();
        return true;
    }
    startIdentityCheck(then);
    return true;
}

// Called with the write frame whose wait just ran out: true when it is
// held for the identity check instead of being sent again at once.
bool KelvaraCom::identifyBeforeResend()
{
    const QByteArray frame = timer->getLastMsg();
    if (!isWriteFrame(frame) || gate->letsPass(frame) || timer->exceedsMaxTime())
        return false;
    heldWrite.frame = frame;
    heldWrite.address = curAddr;
    heldWrite.count = curNumRegs;
    heldWrite.mode = mode;
    heldWrite.timeout = timer->doubledTimeout();
    heldWrite.request = requestInFlight;
    replyText = QStringLiteral("TIMEOUT   - Identifying the controller before sending again\n");
    if (gate->refusesWrites())
        refuseWriteToAnotherController();
    else
        startIdentityCheck(AfterIdentityCheck::ResendWrite);
    return true;
}

void KelvaraCom::startIdentityCheck(AfterIdentityCheck then)
{
    afterIdentityCheck = then;
    gate->beginCheck();
    connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::identityCheckWrapper,
            Qt::UniqueConnection);
    mode = ReadMode;
    identityCheckState = IdentityCheckState::WaitingForReply;
    if (!sendNextIdentityRead())
        failAfterIdentityCheck();
}

bool KelvaraCom::sendNextIdentityRead()
{
    const QPair<int, int> next = gate->takeNextRead();
    identityAnswer.clear();
    if (!read(next.first, next.second))
        return false;
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
        identityAnswer << ((quint8(reply.at(3 + 2 * i)) << 8) | quint8(reply.at(4 + 2 * i)));
}

void KelvaraCom::identityCheckWrapper()
{
    if (identityCheckState != IdentityCheckState::WaitingForReply
        || !takeJudgement(identityCheckRequest))
        return;
    if (status != StatusSuccess) {
        failAfterIdentityCheck();
        return;
    }
    switch (gate->takeAnswer(identityAnswerAddress, identityAnswer)) {
    case IdentityGate::Verdict::NeedsMore:
        if (!sendNextIdentityRead())
            failAfterIdentityCheck();
        return;
    case IdentityGate::Verdict::SameController:
        endIdentityCheck();
        continueAfterIdentityCheck();
        return;
    case IdentityGate::Verdict::OtherController:
        endIdentityCheck();
        refuseWriteToAnotherController();
        return;
    }
}

void KelvaraCom::endIdentityCheck()
{
    identityCheckState = IdentityCheckState::Idle;
    identityCheckRequest = 0;
    identityAnswer.clear();
    gate->endCheck();
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::identityCheckWrapper);
}

void KelvaraCom::continueAfterIdentityCheck()
{
    switch (afterIdentityCheck) {
    case AfterIdentityCheck::StartFlashSave:
        saveValuesToFlash();
        return;
    case AfterIdentityCheck::ConfirmFlashSave:
        confirmFlashSave();
        return;
    case AfterIdentityCheck::ResendWrite:
        resendHeldWrite();
        return;
    case AfterIdentityCheck::SendWrite:
        mode = WriteMode;
        if (!sendNextWrite())
            writeError();
        return;
    }
}

// The controller could not be identified: the operation fails as if its
// own frame had gone unanswered.
void KelvaraCom::failAfterIdentityCheck()
{
    endIdentityCheck();
    if (afterIdentityCheck == AfterIdentityCheck::ConfirmFlashSave)
        readError();
    else
        writeError();
}

// The controller that answers is the one that was read: the held frame goes
// out again as it was, with the doubled wait, for the machine that sent it.
void KelvaraCom::resendHeldWrite()
{
    const HeldWrite held = std::exchange(heldWrite, HeldWrite());
    mode = held.mode;
    curAddr = held.address;
    curNumRegs = held.count;
    prepareReplyBuffer(8);
    timer->setTimeoutTime(held.timeout, false);
    requestInFlight = held.request;
    requestResent = true;
    if (!sendMessage(held.frame)) {
        replyText = QStringLiteral("Failed sending write message");
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

// Nothing of the controller that was read goes to another one: the
// operation ends as any failure does, after the window has heard who
// answers. Reads go on, so that the window can read the new controller.
void KelvaraCom::refuseWriteToAnotherController()
{
    const bool savingToFlash = flashSaveState != FlashSaveState::Idle;
    replyText = QStringLiteral(
        "A controller other than the one that was read answered: nothing was written to it");
    status = StatusCommunicationTimeout;
    emit otherControllerAnswered();
    const QString text = savingToFlash
        ? QStringLiteral("The controller that answers is not the one the values were written "
                         "to, so they were not saved to flash: that controller holds them only "
                         "until it is switched off. Nothing was written to the one that "
                         "answers.")
        : QStringLiteral("The controller that answers is not the one whose parameters "
                         "were read, so nothing was written to it.");
    reportFailure(QString::fromLatin1(otherControllerTitle), text);
}
