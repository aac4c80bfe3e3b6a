#ifndef DISCOVERYRUNTIME_H
#define DISCOVERYRUNTIME_H

#include <QtGlobal>

// How long a discovery run of the controller (a measurement or a spin,
// register 481) has been going: counted from the start command the
// controller answered, not from when it was asked for. The link may take
// seconds to get a start through (sent again after a silence, once the
// controller that answers has been identified), and the controller runs
// from the start it took. A start sent again after a lost answer is one
// start: its answer starts the time.
class DiscoveryRunTime
{
public:
    // A start command is on its way: no time runs until it is answered.
    void awaitStart() { answeredMs = -1; }
    // The controller answered the start command at nowMs.
    void takeStart(qint64 nowMs) { answeredMs = nowMs; }
    bool hasStarted() const { return answeredMs >= 0; }
    // Since the answered start; 0 before it.
    qint64 elapsed(qint64 nowMs) const { return hasStarted() ? nowMs - answeredMs : 0; }
    // More than limitMs have passed since the answered start; never before it.
    bool isPast(qint64 limitMs, qint64 nowMs) const
    {
        return hasStarted() && nowMs - limitMs > answeredMs;
    }

private:
    qint64 answeredMs = -1;
};

#endif // DISCOVERYRUNTIME_H
