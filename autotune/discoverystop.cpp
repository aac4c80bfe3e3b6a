#include "discoverystop.h"

#include "autotuneregisters.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

using namespace AutotuneRegister;

namespace {

// As often as the window checks the connection.
const int probeInterval = 1000;

} // namespace

DiscoveryStop* DiscoveryStop::of(Kelvara* runner, KelvaraCom* com)
{
    if (auto* stop = com->findChild<DiscoveryStop*>(QString(), Qt::FindDirectChildrenOnly))
        return stop;
    return new DiscoveryStop(runner, com);
}

DiscoveryStop::DiscoveryStop(Kelvara* runner, KelvaraCom* com)
    : QObject(com)
    , runner(runner)
    , com(com)
{
    connect(runner->getParameter(DiscoveryMode), &Parameter::valueSet, this,
            &DiscoveryStop::takeReport);
    connect(com, &KelvaraCom::comError, this, &DiscoveryStop::takeFailure);
    connect(com, &KelvaraCom::comSuccess, this, &DiscoveryStop::resendAfterLoss);
    connect(com, &KelvaraCom::controllerConnected, this, &DiscoveryStop::resend);
    connect(com, &KelvaraCom::controllerIdentified, this, &DiscoveryStop::takeIdentity);
    onCable = com->answeringController();
    probeTimer.setInterval(probeInterval);
    connect(&probeTimer, &QTimer::timeout, this, &DiscoveryStop::probe);
}

void DiscoveryStop::request(const ControllerIdentity& controller)
{
    stopped = controller;
    pending = true;
    lost = false;
    send(Order::AfterTestRead);
}

void DiscoveryStop::cancel(const ControllerIdentity& controller)
{
    if (pending && stopped.isKnown() && controller.isKnown()
        && !controller.isSameController(stopped))
        return;
    pending = false;
    lost = false;
    probeTimer.stop();
}

void DiscoveryStop::send(Order order)
{
    if (sending || !mayReachStopped())
        return;
    sending = true;
    lost = false;
    probeTimer.stop();
    // The model shows the stop as the controller's value at once; that is
    // no report from the controller.
    queueingStop = true;
    if (order == Order::BeforeEverything)
        com->sendSafetyCommandNext(DiscoveryMode);
    else if (order == Order::AfterTestRead)
        com->queueSafetyCommand(DiscoveryMode);
    else
        com->queueCommand(DiscoveryMode, 0);
    queueingStop = false;
    // Its answer ends the stop: it must come from the controller stopped.
    com->queueDecidingRead(DiscoveryMode, 1);
}

bool DiscoveryStop::mayReachStopped() const
{
    return !stopped.isKnown() || !onCable.isKnown() || onCable.isSameController(stopped);
}

// The controller stopped, identified again, gets its stop before anything
// else; another one gets nothing more of it.
void DiscoveryStop::takeIdentity(const ControllerIdentity& identity)
{
    onCable = identity;
    if (!pending || !stopped.isKnown())
        return;
    if (!identity.isSameController(stopped)) {
        probeTimer.stop();
        return;
    }
    send(Order::BeforeEverything);
}

// Any read of 481 tells whether the run has ended; the stop's own read-back
// ends the stop in flight.
void DiscoveryStop::takeReport()
{
    // Only a reply stores while the link reads: values put back from a
    // snapshot are no report.
    if (queueingStop || !pending || !runner->isTakingControllerValues()
        || com->getMode() != KelvaraCom::ReadMode)
        return;
    if (runner->getParameter(DiscoveryMode)->getRegisterValue() == 0) {
        if (isReportOfStoppedController()) {
            pending = false;
            sending = false;
            probeTimer.stop();
            emit delivered();
            return;
        }
        // The cable may have moved back to the controller stopped without a
        // failed exchange: the next read-back waits until the one that
        // answers is identified.
        com->identifyBeforeNextWrite();
    }
    if (sending && !readStillQueued())
        sending = false;
}

// Another controller that answers in its place, or one not yet identified
// after a failed exchange, may report 0 while the one stopped spins on.
bool DiscoveryStop::isReportOfStoppedController() const
{
    return !stopped.isKnown() || com->answeringController().isSameController(stopped);
}

// A failure empties the link's queues: the stop in flight is gone unless it
// was queued afresh after the failure (by a test ending on it).
void DiscoveryStop::takeFailure()
{
    if (!sending || readStillQueued())
        return;
    sending = false;
    lost = true;
    if (pending)
        probeTimer.start();
}

void DiscoveryStop::resendAfterLoss()
{
    if (lost && pending)
        send();
}

// A connection check runs only while the link is idle: a stop whose
// read-back is not queued then was dropped with the link's work.
void DiscoveryStop::resend()
{
    if (sending && !readStillQueued())
        sending = false;
    if (pending)
        send();
}

// A check starts only while the link is idle; its answer sends the stop.
void DiscoveryStop::probe()
{
    if (!pending || !lost || !mayReachStopped())
        probeTimer.stop();
    else
        com->probeConnection();
}

bool DiscoveryStop::readStillQueued() const
{
    return com->isReadQueued(DiscoveryMode, 1);
}
