#ifndef DISCOVERYRUNTIME_H
#define DISCOVERYRUNTIME_H

#include <QtGlobal>

// How long a discovery run of the controller (a measurement or a spin,
// register 481) has been going: counted from the send of the start command
// the controller answered, not from when it was asked for nor from when the
// answer was judged. The link may take seconds to get a start through (sent
// again after a silence, once the controller that answers has been
// identified), and judges an answer only when its wait runs out; the
// controller cannot have started before it got the frame. A start sent
// again after a lost answer is one start: its answered send starts the time.
class DiscoveryRunTime
{
public:
    // A start command is on its way: no time runs until it is answered.
    void awaitStart() { startedMs = -1; }
    // The controller answered the start command sent at sentMs.
    void takeStart(qint64 sentMs) { startedMs = sentMs; }
    bool hasStarted() const { return startedMs >= 0; }
    // Since the answered start was sent; 0 before it is answered.
    qint64 elapsed(qint64 nowMs) const { return hasStarted() ? nowMs - startedMs : 0; }
    // More than limitMs have passed since the answered start; never before it.
    bool isPast(qint64 limitMs, qint64 nowMs) const
    {
        return hasStarted() && nowMs - limitMs > startedMs;
    }

private:
    qint64 startedMs = -1;
};

#endif // DISCOVERYRUNTIME_H
