#include "operationtimebound.h"

#include "controlleridentity.h"
#include "kelvaracom.h"

#include <algorithm>
#include <numeric>

namespace {

// The largest request the link sends, a write of 123 registers, with ten
// bits a byte on the line.
const int largestRequestBytes = 9 + 2 * 123;
const int bitsPerByte = 10;
// A read of all parameters reads registers 0 to 510 in five blocks.
const int readAllBlocks = 5;

} // namespace

OperationTimeBound::Cost& OperationTimeBound::Cost::operator+=(const Cost& other)
{
    sends += other.sends;
    waitsMs += other.waitsMs;
    ms += other.ms;
    return *this;
}

OperationTimeBound::Cost OperationTimeBound::Cost::times(int count) const
{
    return {sends * count, waitsMs * count, ms * count};
}

OperationTimeBound OperationTimeBound::of(const KelvaraCom* link)
{
    return OperationTimeBound(link->getDefaultTimeout(), link->getMaxTimeout(), link->getBaud(),
                              ControllerIdentity::mostReads());
}

OperationTimeBound::OperationTimeBound(int defaultTimeout, int maxTimeout, int baudRate,
                                       int identityReads)
    : defaultTimeout(std::max(1, defaultTimeout))
    , ladder(maxTimeout)
    , baudRate(baudRate)
    , identityReads(std::max(1, identityReads))
{
}

// A send waits at most the rung it went out on.
int OperationTimeBound::sendsFrom(int timeout) const
{
    return ladder.rungsFrom(timeout).size();
}

int OperationTimeBound::lastWaitFrom(int timeout) const
{
    return ladder.rungsFrom(timeout).constLast();
}

// Every wait the link gives lies on the ladder from the default timeout or
// on the one from the save to flash's write; a request starts on one of
// their rungs, and the lowest has the longest ladder.
int OperationTimeBound::triesOfRequest() const
{
    return std::max(sendsFrom(defaultTimeout), sendsFrom(KelvaraCom::flashSaveTimeoutMs));
}

int OperationTimeBound::longestWait() const
{
    return std::max(lastWaitFrom(defaultTimeout), lastWaitFrom(KelvaraCom::flashSaveTimeoutMs));
}

qint64 OperationTimeBound::ladderSumFrom(int timeout) const
{
    const QVector<int> rungs = ladder.rungsFrom(timeout);
    return std::accumulate(rungs.cbegin(), rungs.cend(), qint64(0));
}

// A line that keeps carrying bytes holds a request maxQuietLineWaits
// windows at most; one that falls quiet just before then takes one more.
qint64 OperationTimeBound::quietLine() const
{
    return qint64(KelvaraCom::maxQuietLineWaits + 1) * longestWait();
}

qint64 OperationTimeBound::frameMs() const
{
    return baudRate > 0
        ? (qint64(largestRequestBytes) * bitsPerByte * 1000 + baudRate - 1) / baudRate
        : 0;
}

OperationTimeBound::Cost OperationTimeBound::request() const
{
    const int tries = triesOfRequest();
    Cost cost;
    cost.sends = tries * (identityReads + 1);
    cost.waitsMs = qint64(identityReads + 1)
        * std::max(ladderSumFrom(defaultTimeout), ladderSumFrom(KelvaraCom::flashSaveTimeoutMs));
    cost.ms = cost.waitsMs + (tries + 1) * quietLine() + cost.sends * frameMs();
    return cost;
}

// Each time it is begun: its blocks, the identity registers beyond them
// (all but the first read of an identity), and its blocks read again once
// it is known whose they are.
int OperationTimeBound::readAllRequests() const
{
    return (KelvaraCom::maxReadAllRepeats + 1) * (2 * readAllBlocks + identityReads - 1);
}

// The write of 511, its first read-back and those after a failed one, then
// the read of the torque command or the check of the controller that
// confirmed.
int OperationTimeBound::flashSaveRequests()
{
    return 1 + 1 + KelvaraCom::flashSaveReadRetries + 1;
}

OperationTimeBound::Cost OperationTimeBound::readAll() const
{
    return request().times(readAllRequests());
}

OperationTimeBound::Cost OperationTimeBound::writes(int frames, bool savedToFlash) const
{
    Cost cost = request().times(frames);
    if (savedToFlash)
        cost += flashSave();
    return cost;
}

OperationTimeBound::Cost OperationTimeBound::flashSave() const
{
    return request().times(flashSaveRequests());
}

// Never sent again, nor held for an identity check.
OperationTimeBound::Cost OperationTimeBound::connectionCheck() const
{
    const int wait = longestWait();
    return {1, wait, quietLine() + wait + frameMs()};
}

// The stop goes at once; its read-back, a new request, may wait for a
// quiet line each time.
OperationTimeBound::Cost OperationTimeBound::owedStop() const
{
    const int tries = triesOfRequest();
    Cost cost;
    cost.sends = tries + 1;
    cost.waitsMs =
        std::max(ladderSumFrom(defaultTimeout), ladderSumFrom(KelvaraCom::flashSaveTimeoutMs))
        + longestWait();
    cost.ms = cost.waitsMs + (tries + 1) * quietLine() + cost.sends * frameMs();
    return cost;
}

qint64 OperationTimeBound::oneRead() const
{
    return request().ms;
}

qint64 OperationTimeBound::oneWrite(bool savedToFlash) const
{
    return writes(1, savedToFlash).ms;
}
