#include "discoverylimit.h"

#include <utility>

namespace {

// How often the limit is looked at: the stop goes well within 0.1 s of it.
const int watchIntervalMs = 20;

} // namespace

DiscoveryLimit::DiscoveryLimit(qint64 limitMs, Clock clock)
    : limitMs(limitMs)
    , clock(std::move(clock))
{
    watch.setInterval(watchIntervalMs);
    connect(&watch, &QTimer::timeout, this, &DiscoveryLimit::check);
}

void DiscoveryLimit::watchStart()
{
    firstSentMs = -1;
    startSends = 0;
    startAnswered = false;
    watch.start();
}

void DiscoveryLimit::noteStartSent()
{
    if (startSends++ == 0)
        firstSentMs = clock();
}

qint64 DiscoveryLimit::elapsed() const
{
    return firstSentMs >= 0 ? clock() - firstSentMs : 0;
}

bool DiscoveryLimit::isPast() const
{
    return firstSentMs >= 0 && clock() - limitMs > firstSentMs;
}

void DiscoveryLimit::check()
{
    if (!isPast())
        return;
    watch.stop();
    emit passed();
}
