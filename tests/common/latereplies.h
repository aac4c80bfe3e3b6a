#ifndef LATEREPLIES_H
#define LATEREPLIES_H

// The simulator answers from a thread of its own. On a loaded machine that
// thread, or the whole test, can be held up while a request waits for it:
// the link's wait runs out and it sends the request again (after an
// identity check where it doubts who answers) before the simulator has
// taken the first send. The late reply then comes in the wait of the next
// request and may spoil its reply too. Those sends are what the machine's
// slowness cost, not the line; tests that count frames leave them out with
// requestsTakenInTime().
//
// The log tells them: the link waits at least its default timeout for
// every reply, so a simulator that keeps up takes one request a whole wait
// or more after the one before. Requests it took in a burst, less than half
// that wait apart, had waited for it.

#include "controllersimulator.h"
#include "frameword.h"

#include <QVector>

namespace LateReplies {

using LogEntry = ControllerSimulator::LogEntry;

inline int frameAddress(const QByteArray& frame)
{
    return frame.size() >= 4 ? frameWord(frame, 2) : -1;
}

// A read of the identity check: the firmware with the registers below it,
// or the hardware version or serial number of a later firmware.
inline bool isIdentityRead(const QByteArray& frame)
{
    if (frame.size() != 8 || frame.at(1) != 3)
        return false;
    const int address = frameAddress(frame);
    return address == 237 || address == 1881 || address == 2017;
}

struct Request
{
    LogEntry entry;
    bool answered = false; // the simulator sent a reply, spoiled or not
};

inline QVector<Request> requests(const ControllerSimulator& sim)
{
    QVector<Request> found;
    for (const LogEntry& entry : sim.frameLog()) {
        if (entry.direction == ControllerSimulator::Request)
            found.append({entry, false});
        else if (entry.direction == ControllerSimulator::Reply && !found.isEmpty())
            found.last().answered = true;
    }
    return found;
}

// Where the link sent the i-th request again, at once or after the reads of
// an identity check; -1 when it went on with another one. A read of the
// check is sent again only at once.
inline int sentAgainAt(const QVector<Request>& requests, int i)
{
    const QByteArray& frame = requests.at(i).entry.bytes;
    int next = i + 1;
    while (!isIdentityRead(frame) && next < requests.size()
           && requests.at(next).entry.bytes != frame
           && isIdentityRead(requests.at(next).entry.bytes))
        ++next;
    return next < requests.size() && requests.at(next).entry.bytes == frame ? next : -1;
}

// Whether the simulator took the i-th request in a burst with the one
// before or after it.
inline bool takenInBurst(const QVector<Request>& requests, int i, int defaultTimeoutMs)
{
    const auto apart = [&requests](int first) {
        return requests.at(first + 1).entry.elapsedMs - requests.at(first).entry.elapsedMs;
    };
    return (i > 0 && apart(i - 1) < defaultTimeoutMs / 2.0)
        || (i + 1 < requests.size() && apart(i) < defaultTimeoutMs / 2.0);
}

inline bool isRead(const QByteArray& frame, int address, int count)
{
    return frame.size() == 8 && frame.at(1) == 3 && frameAddress(frame) == address
        && frameWord(frame, 4) == count;
}

// A block of a read-all before its last one.
inline bool isBlockRead(const QByteArray& frame)
{
    for (int address = 0; address < 500; address += 125) {
        if (isRead(frame, address, 125))
            return true;
    }
    return false;
}

inline bool isLastBlockRead(const QByteArray& frame)
{
    return isRead(frame, 500, 11);
}

// After the last block of a read-all whose request was sent again late:
// where the read began without knowing who answers, the blocks taken
// before then are read again in order, now that the controller has been
// identified. The index past those reads; a new read-all begins again at
// block 0 and goes on to its last block.
inline int pastBlocksReadAgain(const QVector<Request>& requests, int lastBlock)
{
    int next = lastBlock + 1;
    int previous = -1;
    while (next < requests.size()) {
        const QByteArray& frame = requests.at(next).entry.bytes;
        if (isBlockRead(frame) && frameAddress(frame) > previous)
            previous = frameAddress(frame);
        else if (!isIdentityRead(frame))
            break;
        ++next;
    }
    if (next < requests.size() && isLastBlockRead(requests.at(next).entry.bytes))
        return lastBlock + 1;
    return next;
}

// The requests of the log as the link would have sent them had every reply
// reached it within its wait. Left out: a request taken in a burst and
// answered, that the link sent again, with the reads of the check in
// between, and the blocks of a read-all that the link read again for it.
// One whose reply the simulator left out stays: the link sent it again for
// that. defaultTimeoutMs: the link's default timeout, its shortest wait.
inline QVector<LogEntry> requestsTakenInTime(const ControllerSimulator& sim, int defaultTimeoutMs)
{
    const QVector<Request> all = requests(sim);
    QVector<LogEntry> taken;
    bool sentAgainLate = false;
    for (int i = 0; i < all.size(); ++i) {
        const int again = sentAgainAt(all, i);
        if (again > 0 && all.at(i).answered && takenInBurst(all, i, defaultTimeoutMs)) {
            i = again - 1; // the late one and the checks after it
            sentAgainLate = true;
            continue;
        }
        taken << all.at(i).entry;
        if (sentAgainLate && isLastBlockRead(all.at(i).entry.bytes)) {
            i = pastBlocksReadAgain(all, i) - 1;
            sentAgainLate = false;
        }
    }
    return taken;
}

inline QVector<QByteArray> framesTakenInTime(const ControllerSimulator& sim, int defaultTimeoutMs)
{
    QVector<QByteArray> frames;
    for (const LogEntry& entry : requestsTakenInTime(sim, defaultTimeoutMs))
        frames << entry.bytes;
    return frames;
}

} // namespace LateReplies

#endif // LATEREPLIES_H
