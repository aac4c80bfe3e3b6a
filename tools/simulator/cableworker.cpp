#include "cableworker.h"

#include "cablestate.h"
#include "pseudoterminal.h"
#include "simmodbus.h"
#include "terminalchannel.h"

#include <QMutexLocker>
#include <QStringList>
#include <QTimer>

namespace {

// Silence after which a partly received frame counts as ended, as a
// controller takes it.
constexpr int FrameGapMs = 50;

// Function code, start address and count: all a trigger looks at.
constexpr int HeaderLength = 6;

} // namespace

CableWorker::CableWorker(int masterFd, int slaveFd, CableState* state)
    : masterFd(masterFd)
    , slaveFd(slaveFd)
    , state(state)
{
}

void CableWorker::begin()
{
    port = new TerminalChannel(masterFd, this);
    connect(port, &TerminalChannel::bytesArrived, this, &CableWorker::takeMasterBytes);
    // Only happens when no one holds the slave side, which the adapter
    // always does.
    connect(port, &TerminalChannel::failed, this, [](const QString& why) {
        qWarning("kelvara-sim: the adapter's terminal failed: %s", qPrintable(why));
    });

    gapTimer = new QTimer(this);
    gapTimer->setSingleShot(true);
    gapTimer->setTimerType(Qt::PreciseTimer);
    connect(gapTimer, &QTimer::timeout, this, &CableWorker::endOfGap);

    stopTimer = new QTimer(this);
    stopTimer->setSingleShot(true);
    stopTimer->setTimerType(Qt::PreciseTimer);
    connect(stopTimer, &QTimer::timeout, this, &CableWorker::nextStop);
}

void CableWorker::attach(ControllerSimulator* controller, int fd)
{
    delete controllers.take(controller);
    auto* channel = new TerminalChannel(fd, this);
    controllers.insert(controller, channel);
    connect(
        channel, &TerminalChannel::bytesArrived, this,
        [this, controller](const QByteArray& bytes) { takeControllerBytes(controller, bytes); });
}

void CableWorker::follow(const CableAdapter::Route& route)
{
    stopTimer->stop();
    routeUnderWay = false;
    routeAfterFrame = false;
    startRoute(route);
}

void CableWorker::schedule(const CableAdapter::Trigger& trigger, const CableAdapter::Route& route,
                           CableAdapter::TriggerFrame frame)
{
    scheduled.append({trigger, route, frame});
}

void CableWorker::cancelMoves()
{
    scheduled.clear();
    matchesSeen = 0;
}

void CableWorker::takeMasterBytes(const QByteArray& arrived)
{
    PseudoTerminal::releaseExclusiveUse(slaveFd);

    const double now = state->elapsedMs();
    if (!frame.isEmpty() && now - lastByteMs > FrameGapMs)
        endFrame();
    lastByteMs = now;
    // Judged byte by byte, passed on in runs: a frame's bytes wait only
    // while a scheduled move cannot yet tell whether the frame is its own.
    for (const char byte : arrived) {
        frame.append(byte);
        if (way == FrameWay::Undecided && canDecide())
            decide();
        if (frameComplete())
            endFrame();
    }
    forwardFrameBytes();

    if (frame.isEmpty())
        gapTimer->stop();
    else
        gapTimer->start(FrameGapMs);
}

void CableWorker::endOfGap()
{
    endFrame();
}

void CableWorker::takeControllerBytes(ControllerSimulator* controller, const QByteArray& bytes)
{
    if (controller != position) {
        log(CableAdapter::Dropped, controller, bytes, QStringLiteral("the cable is not on it"));
        return;
    }
    log(CableAdapter::Reply, controller, bytes);
    port->send(bytes);
}

const CableWorker::Move* CableWorker::armedMove() const
{
    if (scheduled.isEmpty() || routeUnderWay || routeAfterFrame)
        return nullptr;
    return &scheduled.first();
}

bool CableWorker::canDecide() const
{
    if (!armedMove())
        return true;
    if (frame.size() < 2)
        return false;
    const quint8 function = static_cast<quint8>(frame.at(1));
    if (function != SimModbus::ReadHoldingRegisters
        && function != SimModbus::WriteMultipleRegisters)
        return true; // no address to wait for
    return frame.size() >= HeaderLength;
}

void CableWorker::decide()
{
    const Move* armed = armedMove();
    if (!armed || !armed->trigger.matches(frame) || ++matchesSeen < armed->trigger.occurrence()) {
        way = FrameWay::FollowsCable;
        return;
    }
    const Move move = scheduled.takeFirst();
    matchesSeen = 0;
    setMoveOff = true;
    switch (move.frame) {
    case CableAdapter::TriggerFrame::ToOld:
        way = FrameWay::Fixed;
        fixedTarget = position;
        routeAfterFrame = true;
        routeWaiting = move.route;
        break;
    case CableAdapter::TriggerFrame::Lost:
        way = FrameWay::Fixed;
        fixedTarget = nullptr;
        startRoute(move.route);
        break;
    case CableAdapter::TriggerFrame::ToNew:
        // Still held while the cable moves, then on to where it went.
        startRoute(move.route);
        way = FrameWay::FollowsCable;
        break;
    }
}

void CableWorker::forwardFrameBytes()
{
    if (way == FrameWay::Undecided || forwarded >= frame.size())
        return;
    ControllerSimulator* target = way == FrameWay::Fixed ? fixedTarget : position;
    if (forwarded == 0)
        firstTarget = target;
    else if (target != firstTarget)
        splitByMove = true;
    sendTo(target, frame.mid(forwarded));
    forwarded = frame.size();
}

bool CableWorker::frameComplete() const
{
    const int length = SimModbus::requestLength(frame);
    return length > 0 && frame.size() >= length;
}

void CableWorker::endFrame()
{
    gapTimer->stop();
    if (frame.isEmpty())
        return;
    if (way == FrameWay::Undecided)
        decide();
    forwardFrameBytes();

    QStringList notes;
    if (!frameComplete())
        notes << QStringLiteral("ended by a pause");
    if (setMoveOff)
        notes << QStringLiteral("set a move off");
    if (splitByMove)
        notes << QStringLiteral("the cable moved during it");
    log(CableAdapter::Request, firstTarget, frame, notes.join(QStringLiteral(", ")));

    frame.clear();
    forwarded = 0;
    way = FrameWay::Undecided;
    fixedTarget = firstTarget = nullptr;
    splitByMove = setMoveOff = false;
    if (routeAfterFrame) {
        routeAfterFrame = false;
        startRoute(routeWaiting);
    }
}

void CableWorker::startRoute(const CableAdapter::Route& next)
{
    if (next.isEmpty())
        return;
    route = next;
    stopIndex = 0;
    routeUnderWay = true;
    goToStop();
}

void CableWorker::goToStop()
{
    const CableAdapter::Stop& stop = route.at(stopIndex);
    moveTo(stop.controller);
    if (stopIndex + 1 < route.size()) {
        stopTimer->start(qMax(0, stop.forMs));
    } else {
        routeUnderWay = false;
        matchesSeen = 0; // the next move counts from here
    }
}

void CableWorker::nextStop()
{
    if (!routeUnderWay || stopIndex + 1 >= route.size())
        return;
    ++stopIndex;
    goToStop();
}

void CableWorker::moveTo(ControllerSimulator* controller)
{
    if (controller == position)
        return;
    // The master's bytes already taken go where the cable was. What the old
    // controller sends from here on, even if it is already on its way, is
    // lost, as a reply is that the cable is pulled from under.
    forwardFrameBytes();
    position = controller;
    {
        QMutexLocker lock(&state->mutex);
        state->position = controller;
    }
    log(CableAdapter::Moved, controller, QByteArray());
}

void CableWorker::sendTo(ControllerSimulator* controller, const QByteArray& bytes)
{
    TerminalChannel* channel = controllers.value(controller);
    // A controller whose terminal closed takes nothing more.
    if (channel && channel->isReading())
        channel->send(bytes);
}

void CableWorker::log(CableAdapter::Event event, ControllerSimulator* controller,
                      const QByteArray& bytes, const QString& note)
{
    CableAdapter::LogEntry entry;
    entry.event = event;
    entry.controller = controller;
    entry.bytes = bytes;
    entry.note = note;
    {
        QMutexLocker lock(&state->mutex);
        entry.elapsedMs = state->elapsedMs();
        state->log.append(entry);
    }
    emit logged(entry);
}
