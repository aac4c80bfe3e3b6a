#include "commtimer.h"

#include "timeoutladder.h"

#include <QtGlobal>

#include <climits>

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
        maxTimeout = int(qMin<qint64>(4LL * t, INT_MAX));
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
    return TimeoutLadder::climbed(timeout);
}

bool CommTimer::exceedsMaxTime() const
{
    return !TimeoutLadder(maxTimeout).sendsAgainFrom(rung);
}

int CommTimer::climbedRung() const
{
    return TimeoutLadder::climbed(rung);
}

void CommTimer::climbLadder(bool doubleWait)
{
    rung = TimeoutLadder::climbed(rung);
    if (doubleWait)
        timeout = TimeoutLadder::climbed(timeout);
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
