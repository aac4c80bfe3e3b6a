#ifndef OPERATIONTIMEBOUND_H
#define OPERATIONTIMEBOUND_H

#include "timeoutladder.h"

#include <QtGlobal>

class KelvaraCom;

// The most one operation of the link can cost before the link reports its
// outcome, whatever comes back, counted from the link's own figures. A
// safety bound for a caller that ends on the link's own outcome signals,
// far more than an operation takes on a line that answers at all.
//
// One request (a block, a write frame, a read-back of 511) gets at most as
// many sends without a good reply as the retransmission ladder allows from
// the wait it starts with: its tries. The reads of the identity checks it
// waits for are tries of it as much as its own sends are, and climb the
// same ladder. Before each try the controller may have answered a whole
// check, so a request makes at most tries x (identity reads + 1) sends.
// No send waits longer than the rung it was sent on, and each rung is
// climbed once, so its waits add up to at most (identity reads + 1) times
// the sum of the ladder. Before a new request, once per send that got no
// whole answer and once before the first, the link may wait for the line to
// fall quiet, at most (maxQuietLineWaits + 1) times the longest wait.
//
// An operation is a number of requests: a read of one register one; a read
// of all parameters its blocks, the identity registers beyond them and its
// blocks read again, for each time it is begun; a write its frames, then
// the save to flash (the write of 511, its read-backs, the read of the
// torque command or the check of the controller that confirmed). A
// connection check is one send.
class OperationTimeBound
{
public:
    // What an operation may cost at most: its sends, the waits the link
    // gives them, and the time in all (the waits, quiet lines and the
    // frames' time on the line).
    struct Cost
    {
        int sends = 0;
        qint64 waitsMs = 0;
        qint64 ms = 0;

        Cost& operator+=(const Cost& other);
        Cost times(int count) const;
    };

    // The link's timeouts and baud rate now; an identity takes the most
    // reads any controller's does.
    static OperationTimeBound of(const KelvaraCom* link);
    OperationTimeBound(int defaultTimeout, int maxTimeout, int baudRate, int identityReads);

    // How often a frame first sent with this timeout goes out in all, and
    // the wait of its last send.
    int sendsFrom(int timeout) const;
    int lastWaitFrom(int timeout) const;

    // Sends without a good reply one request may get, the identity check's
    // reads among them.
    int triesOfRequest() const;
    Cost request() const;
    // Requests of one read of all parameters, every time it is begun.
    int readAllRequests() const;
    // Requests of the save to flash after a write.
    static int flashSaveRequests();

    Cost readAll() const;
    // A write batch of this many frames, followed by the save to flash when
    // savedToFlash.
    Cost writes(int frames, bool savedToFlash) const;
    Cost flashSave() const;
    Cost connectionCheck() const;
    // What a stop owed to a controller (KelvaraCom::stopDiscoveryRun()) may
    // add to the request it goes before, after the identity check: each of
    // its sends that goes unanswered, the stop's or its read-back's, is a try
    // of that request, as the check's reads are; answered, the stop may go
    // before each try, and its read-back once. A connection check that the
    // stop, or the check it waits for, stands for is a request with this
    // term.
    Cost owedStop() const;

    // Milliseconds: a read of a few registers whose answer decides
    // something; a write of one register, followed by the save to flash
    // when savedToFlash.
    qint64 oneRead() const;
    qint64 oneWrite(bool savedToFlash) const;

private:
    int longestWait() const;
    qint64 ladderSumFrom(int timeout) const;
    qint64 quietLine() const;
    qint64 frameMs() const;

    int defaultTimeout;
    TimeoutLadder ladder;
    int baudRate;
    int identityReads;
};

#endif // OPERATIONTIMEBOUND_H
