// The stop owed to a controller whose motor discovery run a test left
// going: it goes first to that controller, once it is identified, and to
// no other.
#include "kelvaracom.h"

#include "commtimer.h"
#include "identitygate.h"
#include "kelvara.h"
#include "parameter.h"

#include <QTimer>

namespace {

const int discoveryModeAddress = 481;

} // namespace

void KelvaraCom::stopDiscoveryRun(const ControllerIdentity& controller)
{
    const OwedStop::Fate before = owedStop->fate();
    owedStop->owe(controller);
    // Shown at once as what the controller is told, never as an edit to
    // save.
    runner->setEditToControllerValue(discoveryModeAddress, 0);
    runner->setControllerRamValue(discoveryModeAddress,
                                  runner->getParameter(discoveryModeAddress)->getRegisterValue());
    stopProbe->start();
    tellStopFate(before);
    giveWayToStop();
    if (mode == IdleMode)
        stopGoesFirst(AfterIdentityCheck::Nothing);
}

void KelvaraCom::cancelDiscoveryStop(const ControllerIdentity& controller)
{
    const OwedStop::Fate before = owedStop->fate();
    owedStop->cancel(controller);
    if (!owedStop->isOwed())
        stopProbe->stop();
    tellStopFate(before);
}

OwedStop::Fate KelvaraCom::discoveryStopFate() const
{
    return owedStop->fate();
}

// An exchange failed since the last check or complete read: whoever answers
// must be identified before anything is sent.
bool KelvaraCom::stopWantsCheck() const
{
    return owedStop->isOwed() && gate->isAnsweringUnknown();
}

// The controller owed the stop answers, as a check or a complete read found
// it with no exchange failed since. A stop it answered without confirming
// goes again at a connection check only.
bool KelvaraCom::stopMayGo(AfterIdentityCheck before) const
{
    return owedStop->isOwed() && !gate->isAnsweringUnknown() && owedStop->goesTo(gate->identified())
        && (!owedStop->waitsForCheck() || before == AfterIdentityCheck::ConnectionCheck);
}

// Before the next frame of any request, a connection check included: the
// stop goes first, or the check it waits for. then: what goes on after it.
bool KelvaraCom::stopGoesFirst(AfterIdentityCheck then)
{
    if (identityCheckState != IdentityCheckState::Idle)
        return false;
    if (stopWantsCheck()) {
        startIdentityCheck(then);
        return true;
    }
    if (!stopMayGo(then))
        return false;
    beginCheckLadder(then);
    sendOwedStop();
    return true;
}

bool KelvaraCom::isStopStepReply() const
{
    return (identityCheckState == IdentityCheckState::SendingStop
            || identityCheckState == IdentityCheckState::ReadingBackStop)
        && identityCheckRequest == requestInFlight;
}

// A try of the request it stands before, on its ladder, as the check's
// reads are. It goes at once, never after a wait for a quiet line in which
// the cable could move.
void KelvaraCom::sendOwedStop()
{
    owedStop->noteSent();
    sendStopFrame(IdentityCheckState::SendingStop);
}

// The stop, or its read-back: each a request of its own, on the ladder of
// the request the stop stands before.
void KelvaraCom::sendStopFrame(IdentityCheckState step)
{
    identityCheckState = step;
    const bool stop = step == IdentityCheckState::SendingStop;
    mode = stop ? WriteMode : ReadMode;
    const int rung = timer->ladderRung();
    const bool sent = stop ? sendWrite(buildWriteFrame(1, discoveryModeAddress, {0}))
                           : read(1, discoveryModeAddress);
    if (!sent) {
        goOnAfterStop();
        return;
    }
    timer->setLadderRung(rung);
    identityCheckRequest = requestInFlight;
}

// Only the read-back right after a stop the controller took, with nothing
// lost in between, tells that its run has ended.
void KelvaraCom::takeStopAnswer()
{
    const OwedStop::Fate before = owedStop->fate();
    const bool answered = status == StatusSuccess || status == StatusInvalidSerialPort;
    if (answered)
        owedStop->noteAnswered(status == StatusSuccess);
    else if (status == StatusCommunicationTimeout)
        owedStop->noteUnanswered();
    tellStopFate(before);
    if (status == StatusSuccess)
        sendStopFrame(IdentityCheckState::ReadingBackStop);
    else
        goOnAfterStop();
}

void KelvaraCom::takeStopReadBack()
{
    const OwedStop::Fate before = owedStop->fate();
    if (status == StatusSuccess)
        owedStop->noteReadBack(runner->getParameter(discoveryModeAddress)->getRegisterValue());
    else if (status == StatusInvalidSerialPort)
        owedStop->noteAnswered(false);
    else
        owedStop->noteReadBackLost();
    if (!owedStop->isOwed())
        stopProbe->stop();
    tellStopFate(before);
    goOnAfterStop();
}

// What the check cleared goes on once the stop and its read-back were
// answered. One that the check found to be another controller than the one
// read is refused anyway. After a silence the cable may have moved again:
// whoever answers is identified again first.
void KelvaraCom::goOnAfterStop()
{
    identityCheckState = IdentityCheckState::WaitingForReply;
    mode = ReadMode;
    if (status == StatusFailedSendingReadMessage) {
        failAfterIdentityCheck();
        return;
    }
    const ControllerIdentity stopped = owedStop->controller();
    if (clearedWorkNeedsGate() && stopped.isKnown() && !stopped.isSameController(gate->trusted())) {
        goOnAfterIdentityCheck();
        return;
    }
    if (gate->isAnsweringUnknown() || clearedFrameWouldWait()) {
        gate->raiseDoubt();
        beginIdentityCheckAgain();
        return;
    }
    goOnAfterIdentityCheck();
}

// A check, with the stop, that stood before no request. As a connection
// check, its answer is the check's.
void KelvaraCom::endCheckBeforeNothing(bool answered)
{
    const bool connectionCheck = afterIdentityCheck == AfterIdentityCheck::ConnectionCheck;
    endIdentityCheck();
    mode = IdleMode;
    const bool probe = std::exchange(probing, false);
    if (connectionCheck && answered) {
        status = StatusControllerConnected;
        failedCheckCount = 0;
        emit controllerConnected();
        return;
    }
    // As a check whose frame was not sent, or went unanswered.
    const bool unsent = status == StatusFailedSendingReadMessage;
    if (connectionCheck && !connectionFailsIgnored)
        status = StatusControllerDisconnected;
    if (connectionCheck && unsent && !connectionFailsIgnored && !probe)
        emit controllerDisconnected();
    else if (connectionCheck && !probe)
        countFailedCheck();
    processWriteQueue();
    processReadQueue();
}

// A batch has ended and nothing waits: a stop its controller may get goes
// now. One that waits for a check waits for the next connection check.
void KelvaraCom::goOnWithOwedStop()
{
    if (mode == IdleMode && readQueue.isEmpty() && writeQueue.isEmpty()
        && stopMayGo(AfterIdentityCheck::Nothing))
        stopGoesFirst(AfterIdentityCheck::Nothing);
}

// The window holds its checks while a box is open: while a stop is owed
// and who answers is to be asked, or its controller answers, the link asks
// once a second by itself when nothing else is sent.
void KelvaraCom::probeForStop()
{
    if (!owedStop->isOwed()) {
        stopProbe->stop();
        return;
    }
    if (mode != IdleMode
        || (sinceFrameSent.isValid() && sinceFrameSent.elapsed() < stopProbeIntervalMs)
        || (!stopWantsCheck() && !stopMayGo(AfterIdentityCheck::ConnectionCheck)))
        return;
    probeConnection();
}

void KelvaraCom::tellStopFate(OwedStop::Fate before)
{
    if (owedStop->fate() != before)
        emit discoveryStopChanged();
}
