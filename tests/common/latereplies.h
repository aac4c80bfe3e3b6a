#ifndef LATEREPLIES_H
#define LATEREPLIES_H

// The simulator answers from a thread of its own, and the cable adapter
// passes frames on from another. On a loaded machine those threads can be
// held up while a request waits: the answer comes after the link's wait
// for it ran out, and the link sends the request again (after an identity
// check where it doubts who answers); or the late answer comes in the wait
// of the next request and spoils its reply. Those sends are what the
// machine's slowness cost, not the line; tests that count frames leave
// them out with requestsTakenInTime().
//
// The simulator's log tells when it took each request, which on a loaded
// machine can be a whole wait after the link sent it; the link's own sends
// (SentFrames) tell when each wait started and how long it was. A request
// sent again is left out only where the log shows its answer going back
// after its wait had run out and the link, having found none, sent it with
// a longer wait; or an answer still due to an earlier request going back
// within its wait. A frame sent twice whose first answer came in time is
// counted twice, and so is one the link sent once that arrived twice.
//
// A reply a test delays on purpose (the simulator's log notes "reply
// delayed") is the test's own doing: the sends it costs are counted.

#include "cableadapter.h"
#include "controllersimulator.h"
#include "frameword.h"
#include "sentframes.h"

#include <QHash>
#include <QVector>

#include <utility>

namespace LateReplies {

// A request of a frame log, with what it is judged by.
struct Request
{
    int entry = -1; // its index in the log
    QByteArray bytes;
    QString note; // the faults the simulator applied
    // Where the adapter sent it (nullptr: lost on the way); the simulator's
    // own log leaves it empty.
    const ControllerSimulator* controller = nullptr;
    double answeredMs = -1; // when its answer had gone back whole; -1: none
    double sentMs = -1;     // when the link sent it; -1: no send of the link's
    int waitMs = 0;         // the wait that started with that send
};

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

// Each log request is the link's last send of its bytes before the send of
// the request after it; a request no send is left for was not the link's.
inline void alignWithSends(QVector<Request>& requests, const QVector<SentFrames::Send>& sends)
{
    int before = sends.size();
    for (int i = requests.size() - 1; i >= 0; --i) {
        int send = before - 1;
        while (send >= 0 && sends.at(send).bytes != requests.at(i).bytes)
            --send;
        if (send < 0)
            continue;
        requests[i].sentMs = sends.at(send).sentMs;
        requests[i].waitMs = sends.at(send).waitMs;
        before = send;
    }
}

inline QVector<Request> requests(const ControllerSimulator& sim, const SentFrames& sent)
{
    QVector<Request> found;
    const QVector<ControllerSimulator::LogEntry> log = sim.frameLog();
    for (int i = 0; i < log.size(); ++i) {
        const ControllerSimulator::LogEntry& entry = log.at(i);
        if (entry.direction == ControllerSimulator::Request)
            found.append({i, entry.bytes, entry.note});
        else if (entry.direction == ControllerSimulator::Reply && !found.isEmpty()
                 && found.last().answeredMs < 0)
            found.last().answeredMs = entry.elapsedMs;
    }
    alignWithSends(found, sent.sendsOnClock(sim.elapsedMs()));
    return found;
}

// The replies a controller sent, in the order it sent them: how long each
// was, and which request of its own log it followed.
struct ControllerReplies
{
    QVector<int> lengths;
    QVector<int> requestOf;
    int requests = 0;
};

inline ControllerReplies repliesOf(const ControllerSimulator& controller)
{
    ControllerReplies replies;
    for (const ControllerSimulator::LogEntry& entry : controller.frameLog()) {
        if (entry.direction == ControllerSimulator::Request) {
            ++replies.requests;
        } else if (entry.direction == ControllerSimulator::Reply) {
            replies.lengths << entry.bytes.size();
            replies.requestOf << replies.requests - 1;
        }
    }
    return replies;
}

// By the adapter's log: where each request went, and when the adapter had
// passed the whole of its answer back. Which answer a run of bytes belongs
// to, the controller's own log tells: the adapter may have taken requests,
// and passed answers, in a burst.
inline QVector<Request> requests(const CableAdapter& adapter, const SentFrames& sent)
{
    QVector<Request> found;
    QHash<const ControllerSimulator*, QVector<int>> sentTo; // indices in found
    const QVector<CableAdapter::LogEntry> log = adapter.frameLog();
    for (int i = 0; i < log.size(); ++i) {
        const CableAdapter::LogEntry& entry = log.at(i);
        if (entry.event != CableAdapter::Request)
            continue;
        if (entry.controller)
            sentTo[entry.controller] << found.size();
        found.append({i, entry.bytes, entry.note, entry.controller});
    }
    struct Replies
    {
        ControllerReplies sent;
        int next = 0;       // the reply whose bytes come now
        int taken = 0;      // of its bytes
        bool passed = true; // all of them went back to the link
    };
    QHash<const ControllerSimulator*, Replies> repliesBy;
    for (const CableAdapter::LogEntry& entry : log) {
        if ((entry.event != CableAdapter::Reply && entry.event != CableAdapter::Dropped)
            || !entry.controller)
            continue;
        if (!repliesBy.contains(entry.controller))
            repliesBy.insert(entry.controller, {repliesOf(*entry.controller)});
        Replies& replies = repliesBy[entry.controller];
        const QVector<int>& requestsTo = sentTo.value(entry.controller);
        // The controller's log may begin later than the adapter's.
        const int skipped = requestsTo.size() - replies.sent.requests;
        for (int bytes = entry.bytes.size();
             bytes > 0 && replies.next < replies.sent.lengths.size();) {
            const int length = replies.sent.lengths.at(replies.next);
            const int used = qMin(bytes, length - replies.taken);
            bytes -= used;
            replies.taken += used;
            replies.passed = replies.passed && entry.event == CableAdapter::Reply;
            if (replies.taken < length)
                break;
            const int request = skipped + replies.sent.requestOf.at(replies.next);
            if (replies.passed && request >= 0 && request < requestsTo.size()
                && found.at(requestsTo.at(request)).answeredMs < 0)
                found[requestsTo.at(request)].answeredMs = entry.elapsedMs;
            ++replies.next;
            replies.taken = 0;
            replies.passed = true;
        }
    }
    alignWithSends(found, sent.sendsOnClock(adapter.elapsedMs()));
    return found;
}

// Bytes written to a terminal are read at its other end within this on a
// loaded machine: an answer sent so long before a wait ran out was there
// when the link judged.
const double deliveryMs = 5;

inline bool delayedOnPurpose(const Request& request)
{
    return request.note.contains(QLatin1String("reply delayed"));
}

// The answer went back too late to be there when the link's wait for it
// ran out, and not because the test held it back.
inline bool answeredLate(const Request& request)
{
    return request.answeredMs >= 0 && request.sentMs >= 0 && !delayedOnPurpose(request)
        && request.answeredMs > request.sentMs + request.waitMs - deliveryMs;
}

// An answer to an earlier request came late in the wait of the i-th, where
// the link took it for the i-th's own.
inline bool answeredByAnotherLate(const QVector<Request>& requests, int i)
{
    const Request& request = requests.at(i);
    if (request.sentMs < 0)
        return false;
    for (int earlier = 0; earlier < i; ++earlier) {
        const double at = requests.at(earlier).answeredMs;
        if (!delayedOnPurpose(requests.at(earlier)) && at > request.sentMs
            && at <= request.sentMs + request.waitMs)
            return true;
    }
    return false;
}

// Where the link sent the i-th request again, at once or after the reads of
// an identity check; -1 when it went on with another one. A read of the
// check is sent again at once; a register of the identity that a read-all
// reads beyond its blocks, after a check that reads it too: its last send
// among the identity reads that follow is the one sent again.
inline int sentAgainAt(const QVector<Request>& requests, int i)
{
    const QByteArray& frame = requests.at(i).bytes;
    if (isIdentityRead(frame)) {
        int again = -1;
        for (int next = i + 1; next < requests.size() && isIdentityRead(requests.at(next).bytes);
             ++next) {
            if (requests.at(next).bytes == frame)
                again = next;
        }
        return again;
    }
    int next = i + 1;
    while (next < requests.size() && requests.at(next).bytes != frame
           && isIdentityRead(requests.at(next).bytes))
        ++next;
    return next < requests.size() && requests.at(next).bytes == frame ? next : -1;
}

// The i-th request was sent again (at again) for what the machine's
// slowness cost: its answer went back after its wait and the link, having
// found none, sent it with a longer wait (a reply it found spoiled goes
// again with the same one); or a late answer to an earlier request
// spoiled its reply.
inline bool sentAgainForALateAnswer(const QVector<Request>& requests, int i, int again)
{
    return (answeredLate(requests.at(i)) && requests.at(again).waitMs > requests.at(i).waitMs)
        || answeredByAnotherLate(requests, i);
}

// The first request before the end-th that was sent again for a late
// answer; -1: none.
inline int firstSentAgainForALateAnswer(const QVector<Request>& requests, int end)
{
    for (int i = 0; i < end; ++i) {
        const int again = sentAgainAt(requests, i);
        if (again > 0 && sentAgainForALateAnswer(requests, i, again))
            return i;
    }
    return -1;
}

inline bool isRead(const QByteArray& frame, int address, int count)
{
    return frame.size() == 8 && frame.at(1) == 3 && frameAddress(frame) == address
        && frameWord(frame, 4) == count;
}

const int blockSize = 125;
const int lastBlockAddress = 500;

// A block of a read-all before its last one.
inline bool isBlockRead(const QByteArray& frame)
{
    for (int address = 0; address < lastBlockAddress; address += blockSize) {
        if (isRead(frame, address, blockSize))
            return true;
    }
    return false;
}

inline bool isLastBlockRead(const QByteArray& frame)
{
    return isRead(frame, lastBlockAddress, 11);
}

inline bool isBlockAt(const QByteArray& frame, int address)
{
    return address < lastBlockAddress ? isRead(frame, address, blockSize) : isLastBlockRead(frame);
}

// When the i-th request is a block of a read-all sent again for a late
// answer, the blocks of the read-all before it (those below the address
// returned; 0: none) came before an exchange failed: the link may read
// them again once its last block is in.
inline int blocksReadAgainFor(const QVector<Request>& requests, int i)
{
    return isBlockRead(requests.at(i).bytes) ? frameAddress(requests.at(i).bytes) : 0;
}

// Past the last block of a read-all: the blocks below readAgainBelow read
// again in order, with identity reads among them, which end the read-all:
// after them comes the next one's first block, another request or nothing.
// Blocks followed by a later one are a new read-all under way: nothing was
// read again.
inline int pastBlocksReadAgain(const QVector<Request>& requests, int lastBlock, int readAgainBelow)
{
    int next = lastBlock + 1;
    int previous = -1;
    while (next < requests.size()) {
        const QByteArray& frame = requests.at(next).bytes;
        const int address = frameAddress(frame);
        if (isBlockRead(frame) && address > previous && address < readAgainBelow)
            previous = address;
        else if (!isIdentityRead(frame))
            break;
        ++next;
    }
    const bool readAllGoesOn = next < requests.size()
        && (isBlockRead(requests.at(next).bytes) || isLastBlockRead(requests.at(next).bytes))
        && !isBlockAt(requests.at(next).bytes, 0);
    return previous < 0 || readAllGoesOn ? lastBlock + 1 : next;
}

// The requests as the link would have sent them had every answer reached
// it within its wait. Left out: a request the link sent again for a late
// answer, with the reads of the check in between, and the blocks of a
// read-all that the link read again for it alone. One whose answer the
// simulator left out stays: the link sent it again for that. Where the
// line failed too in the same read-all, what it reads again is left in:
// the link reads a block again once for both.
inline QVector<Request> takenInTime(const QVector<Request>& all)
{
    QVector<Request> taken;
    int readAgainBelow = 0;
    bool lineFailed = false; // in the read-all under way
    for (int i = 0; i < all.size(); ++i) {
        const QByteArray& frame = all.at(i).bytes;
        if (isBlockAt(frame, 0)) {
            readAgainBelow = 0;
            lineFailed = false;
        }
        const int again = sentAgainAt(all, i);
        if (again > 0 && sentAgainForALateAnswer(all, i, again)) {
            readAgainBelow = qMax(readAgainBelow, blocksReadAgainFor(all, i));
            i = again - 1; // the late one and the checks after it
            continue;
        }
        lineFailed = lineFailed || again > 0 || all.at(i).answeredMs < 0;
        taken << all.at(i);
        if (!isLastBlockRead(frame))
            continue;
        const int below = std::exchange(readAgainBelow, 0);
        if (below > 0 && !lineFailed)
            i = pastBlocksReadAgain(all, i, below) - 1;
    }
    return taken;
}

inline QVector<Request> requestsTakenInTime(const ControllerSimulator& sim, const SentFrames& sent)
{
    return takenInTime(requests(sim, sent));
}

inline QVector<QByteArray> framesTakenInTime(const ControllerSimulator& sim, const SentFrames& sent)
{
    QVector<QByteArray> frames;
    for (const Request& request : requestsTakenInTime(sim, sent))
        frames << request.bytes;
    return frames;
}

// By the adapter's log: each request with where it went.
inline QVector<Request> requestsTakenInTime(const CableAdapter& adapter, const SentFrames& sent)
{
    return takenInTime(requests(adapter, sent));
}

// Those that went to the controller (nullptr: those lost on the way).
inline QVector<QByteArray> framesTakenInTime(const CableAdapter& adapter, const SentFrames& sent,
                                             const ControllerSimulator* controller)
{
    QVector<QByteArray> frames;
    for (const Request& request : requestsTakenInTime(adapter, sent)) {
        if (request.controller == controller)
            frames << request.bytes;
    }
    return frames;
}

} // namespace LateReplies

#endif // LATEREPLIES_H
