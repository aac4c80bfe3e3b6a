#include "operationtimebound.h"

#include "controlleridentity.h"
#include "kelvaracom.h"

#include <algorithm>
#include <climits>

namespace {

// The largest request these operations send, a write of one register, with
// ten bits a byte on the line.
const int largestRequestBytes = 11;
const int bitsPerByte = 10;

// As the link's reply timer doubles a wait that ran out.
int doubled(int ms)
{
    return ms > INT_MAX / 2 ? INT_MAX : 2 * ms;
}

} // namespace

OperationTimeBound OperationTimeBound::of(const KelvaraCom* link)
{
    return OperationTimeBound(link->getDefaultTimeout(), link->getMaxTimeout(), link->getBaud(),
                              ControllerIdentity::mostReads());
}

OperationTimeBound::OperationTimeBound(int defaultTimeout, int maxTimeout, int baudRate,
                                       int identityReads)
    : defaultTimeout(std::max(1, defaultTimeout))
    , maxTimeout(maxTimeout)
    , baudRate(baudRate)
    , identityReads(std::max(1, identityReads))
{
}

// A frame whose wait ran out goes out again with the doubled wait while
// the wait it had was not above the maximum.
int OperationTimeBound::sendsFrom(int timeout) const
{
    int sends = 1;
    for (timeout = std::max(1, timeout); timeout <= maxTimeout; timeout = doubled(timeout))
        ++sends;
    return sends;
}

int OperationTimeBound::lastWaitFrom(int timeout) const
{
    for (timeout = std::max(1, timeout); timeout <= maxTimeout; timeout = doubled(timeout)) {
    }
    return timeout;
}

// Every wait the link gives lies on the ladder from the default timeout or
// on the one from the flash save's write.
int OperationTimeBound::longestWait() const
{
    return std::max(lastWaitFrom(defaultTimeout), lastWaitFrom(KelvaraCom::flashSaveTimeoutMs));
}

qint64 OperationTimeBound::request() const
{
    const qint64 wait = longestWait();
    const int sends =
        std::max(sendsFrom(defaultTimeout), sendsFrom(KelvaraCom::flashSaveTimeoutMs));
    const qint64 frameMs = baudRate > 0
        ? (qint64(largestRequestBytes) * bitsPerByte * 1000 + baudRate - 1) / baudRate
        : 0;
    // Waits that double from send to send add up to less than twice the
    // last one, wherever on the ladder the request starts.
    const qint64 quietLine = (KelvaraCom::maxQuietLineWaits + 1) * wait;
    return quietLine + 2 * wait + sends * frameMs;
}

// A try of the check whose read fails is followed by another as often as
// a frame is sent again.
int OperationTimeBound::requestsOfCheck() const
{
    return sendsFrom(defaultTimeout) * identityReads;
}

int OperationTimeBound::requestsOfIdentifiedFrame(int timeout) const
{
    return 1 + sendsFrom(timeout) * requestsOfCheck();
}

qint64 OperationTimeBound::oneRead() const
{
    return requestsOfIdentifiedFrame(defaultTimeout) * request();
}

int OperationTimeBound::writeRequests(bool savedToFlash) const
{
    int requests = requestsOfIdentifiedFrame(defaultTimeout);
    if (savedToFlash) {
        // The write of 511, its read-backs, then the identity check of the
        // controller that confirmed or the read of the torque command.
        requests += requestsOfIdentifiedFrame(KelvaraCom::flashSaveTimeoutMs);
        requests += 1 + KelvaraCom::flashSaveReadRetries;
        requests += requestsOfCheck();
    }
    return requests;
}

qint64 OperationTimeBound::oneWrite(bool savedToFlash) const
{
    return writeRequests(savedToFlash) * request();
}
