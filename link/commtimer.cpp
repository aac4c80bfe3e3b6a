#include "commtimer.h"

#include <QtGlobal>

#include <climits>

namespace {

// Keeps the doubling ladder finite: a saturated timeout is always above it.
const int largestMaxTimeout = INT_MAX - 1;

int doubled(int ms)
{
    return ms > INT_MAX / 2 ? INT_MAX : 2 * ms;
}

} // namespace

CommTimer::CommTimer(QObject* parent)
    : QObject(parent)
{
    // A coarse timer may fire up to 5 % late; every exchange waits its full
    // timeout, so that lateness would add up over a read-all.
    replyTimer.setTimerType(Qt::PreciseTimer);
    replyTimer.setSingleShot(true);
    replyTimer.setInterval(timeout);
    connect(&replyTimer, &QTimer::timeout, this, &CommTimer::handleTimeout);
}

CommTimer::~CommTimer() = default;

void CommTimer::setTimeoutTime(int t, bool setDefault)
{
    if (t < 1)
        return;
    if (setDefault) {
        defaultTimeout = t;
        maxTimeout = int(qMin<qint64>(4LL * t, largestMaxTimeout));
    }
    timeout = t;
    rung = t;
}

void CommTimer::resetTime()
{
    if (defaultTimeout >= 1)
        timeout = rung = defaultTimeout;
}

int CommTimer::doubledTimeout() const
{
    return doubled(timeout);
}

bool CommTimer::exceedsMaxTime() const
{
    return rung > maxTimeout;
}

int CommTimer::climbedRung() const
{
    return doubled(rung);
}

void CommTimer::climbLadder(bool doubleWait)
{
    rung = doubled(rung);
    if (doubleWait)
        timeout = doubled(timeout);
}

void CommTimer::startTimer()
{
    // QTimer::setInterval() would restart a running wait, so the interval
    // is only handed over here.
    replyTimer.setSingleShot(true);
    replyTimer.start(timeout);
}

void CommTimer::stopTimer()
{
    replyTimer.stop();
}

void CommTimer::handleTimeout()
{
    emit notifyTimeout();
}
