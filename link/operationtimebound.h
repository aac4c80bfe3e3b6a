#ifndef OPERATIONTIMEBOUND_H
#define OPERATIONTIMEBOUND_H

#include <QtGlobal>

class KelvaraCom;

// The longest one read or one write of the link can take before the link
// reports its outcome, counted from the link's own figures: every send of
// the retransmission ladder with its frame's time on the line, the wait for
// a quiet line before each new request, the identity check before a write
// frame, or a read whose answer decides something, is sent first or again
// (begun again from its first read as often as a frame is sent), and the
// save to flash with the wait of its write and its read-backs. Far more
// than an operation takes on a line that answers at all; a safety bound for
// a caller that ends on the link's own outcome signals.
class OperationTimeBound
{
public:
    // The link's timeouts and baud rate now; an identity takes the most
    // reads any controller's does.
    static OperationTimeBound of(const KelvaraCom* link);
    OperationTimeBound(int defaultTimeout, int maxTimeout, int baudRate, int identityReads);

    // Milliseconds: a read of a few registers whose answer decides
    // something; a write of one register, followed by the save to flash
    // when savedToFlash.
    qint64 oneRead() const;
    qint64 oneWrite(bool savedToFlash) const;

    // How often a frame first sent with this timeout goes out in all, and
    // the wait of its last send.
    int sendsFrom(int timeout) const;
    int lastWaitFrom(int timeout) const;
    // The most requests a write of one register can make, each with all
    // its sends: the frame, the identity checks before its first send and
    // each send again, and with savedToFlash those of the save to flash.
    int writeRequests(bool savedToFlash) const;

private:
    int longestWait() const;
    // One request from the moment it is due: the quiet line, then every
    // send with its wait and its frame's time on the line.
    qint64 request() const;
    // Requests of one frame that goes only to the identified controller (a
    // write, or a read whose answer decides something) first sent with
    // this timeout.
    int requestsOfIdentifiedFrame(int timeout) const;
    // Requests of one identity check, every try of it.
    int requestsOfCheck() const;

    int defaultTimeout;
    int maxTimeout;
    int baudRate;
    int identityReads;
};

#endif // OPERATIONTIMEBOUND_H
