#include "timeoutladder.h"

#include <algorithm>
#include <climits>

TimeoutLadder::TimeoutLadder(int maxTimeout)
    : maxTimeout(maxTimeout)
{
}

int TimeoutLadder::climbed(int rung)
{
    return rung > INT_MAX / 2 ? INT_MAX : 2 * rung;
}

bool TimeoutLadder::sendsAgainFrom(int rung) const
{
    return rung <= maxTimeout && rung < INT_MAX;
}

QVector<int> TimeoutLadder::rungsFrom(int first) const
{
    QVector<int> rungs{std::max(1, first)};
    while (sendsAgainFrom(rungs.constLast()))
        rungs << climbed(rungs.constLast());
    return rungs;
}
