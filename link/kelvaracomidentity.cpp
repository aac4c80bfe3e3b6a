// Telling the controller that answers from the one that was read: a cable
// moved from one controller to another on a port that stays shows only as
// a silence. After one, the controller is identified again before anything
// is written to it.
#include "kelvaracom.h"

#include "kelvara.h"
#include "parameter.h"

namespace {

const int discoveryModeAddress = 481;
const int accessCodeAddress = 509;

} // namespace

const char* const KelvaraCom::otherControllerTitle = "Another Controller";

// The motor's discovery run stopped, access level 3 locked: these carry
// nothing of the controller that was read and must never wait.
bool KelvaraCom::isSafetyCommand(const QPair<int, int>& write) const
{
    const int address = write.second;
    return write.first == 1 && (address == discoveryModeAddress || address == accessCodeAddress)
        && runner->getParameter(address)->getRegisterValue() == 0;
}

void KelvaraCom::identifyBeforeNextWrite()
{
    identityInDoubt = true;
}

// A request that got no good reply, or was not sent: whoever answers next
// may be another controller.
void KelvaraCom::noteFailedExchange()
{
    ++failedExchanges;
    identityInDoubt = true;
}

void KelvaraCom::noteReadAllStart()
{
    failedExchangesAtReadAllStart = failedExchanges;
}

// Every block of the read-all answered at once: the values and the identity
// in the model are one controller's, and writes may follow without asking.
void KelvaraCom::noteCompleteRead()
{
    lastReadAllClean = failedExchanges == failedExchangesAtReadAllStart;
    readIdentity = ControllerIdentity::of(runner);
    otherControllerAnswers = false;
    if (lastReadAllClean)
        identityInDoubt = false;
}

// True when the write waits for the identity check, which goes on with it
// (or fails it) once the answer is in.
bool KelvaraCom::identifyBeforeWrite(AfterIdentityCheck then)
{
    if (otherControllerAnswers) {
        refuseWriteToAnotherController();
        return true;
    }
    // Nothing read yet: no other controller's values to carry over.
    if (!identityInDoubt || !readIdentity.isKnown())
        return false;
    afterIdentityCheck = then;
    identityReads = readIdentity.registerReads();
    connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::identityCheckWrapper,
            Qt::UniqueConnection);
    mode = ReadMode;
    identityCheckState = IdentityCheckState::WaitingForReply;
    if (!sendNextIdentityRead())
        failAfterIdentityCheck();
    return true;
}

bool KelvaraCom::sendNextIdentityRead()
{
    const QPair<int, int> next = identityReads.takeFirst();
    if (!read(next.first, next.second))
        return false;
    identityCheckRequest = requestInFlight;
    return true;
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
    // The firmware comes first: where the rest is depends on it.
    const ControllerIdentity answering = ControllerIdentity::of(runner);
    if (answering.firmware() == readIdentity.firmware() && !identityReads.isEmpty()) {
        if (!sendNextIdentityRead())
            failAfterIdentityCheck();
        return;
    }
    endIdentityCheck();
    if (!answering.isSameController(readIdentity)) {
        otherControllerAnswers = true;
        refuseWriteToAnotherController();
        return;
    }
    identityInDoubt = false;
    continueAfterIdentityCheck();
}

void KelvaraCom::endIdentityCheck()
{
    identityCheckState = IdentityCheckState::Idle;
    identityCheckRequest = 0;
    identityReads.clear();
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::identityCheckWrapper);
}

void KelvaraCom::continueAfterIdentityCheck()
{
    if (afterIdentityCheck == AfterIdentityCheck::StartFlashSave) {
        saveValuesToFlash();
        return;
    }
    mode = WriteMode;
    if (!sendNextWrite())
        writeError();
}

// The write cannot go out unasked: it fails as if it had been sent.
void KelvaraCom::failAfterIdentityCheck()
{
    endIdentityCheck();
    writeError();
}

// Nothing of the controller that was read goes to another one: the write,
// or the save to flash, ends here with a report of its own. Reads go on, so
// that the window can read the new controller.
void KelvaraCom::refuseWriteToAnotherController()
{
    endIdentityCheck();
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::writeWrapper);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::saveValuesToFlash);
    writeMachineRequest = 0;
    flashSaveRequest = 0;
    writeState = WriteState::Idle;
    flashSaveState = FlashSaveState::Idle;
    mode = IdleMode;
    writeQueue.clear();
    unwritableUnsaved.clear();
    replyText = QStringLiteral(
        "A controller other than the one that was read answered: nothing was written to it");
    if (autotuneTestState != NoTest) {
        logText(replyText);
        setAutotuneTestState(NoTest);
    }
    emit enableSaveButtons(true);
    emit comError();
    emit errorMessage(QString::fromLatin1(otherControllerTitle),
                      QStringLiteral("The controller that answers is not the one whose parameters "
                                     "were read, so nothing was written to it."));
}
