#ifndef SENTFRAMES_H
#define SENTFRAMES_H

// Every frame a link sent, first or again, with when it went and the wait
// for its reply that started with it. A simulator's log tells when the
// simulator took a request, which on a loaded machine can be a whole wait
// after the link sent it; whether an answer came within its wait is told
// against these sends (see LateReplies).

#include "kelvaracom.h"

#include <QElapsedTimer>
#include <QObject>
#include <QVector>

class SentFrames
{
public:
    struct Send
    {
        double sentMs = 0; // on this record's clock
        int waitMs = 0;
        QByteArray bytes;
    };

    explicit SentFrames(KelvaraCom* link)
    {
        clock.start();
        QObject::connect(link, &KelvaraCom::frameSent, &context,
                         [this, link](const QByteArray& frame) {
                             // The wait has just been started with the timeout.
                             sent.append({elapsedMs(), link->getTimeoutTime(), frame});
                         });
    }

    QVector<Send> sends() const { return sent; }
    double elapsedMs() const { return clock.nsecsElapsed() / 1e6; }

    // The sends on the clock of a log (a ControllerSimulator's or a
    // CableAdapter's), whose now is logNowMs.
    QVector<Send> sendsOnClock(double logNowMs) const
    {
        const double offset = logNowMs - elapsedMs();
        QVector<Send> moved = sent;
        for (Send& send : moved)
            send.sentMs += offset;
        return moved;
    }

private:
    QElapsedTimer clock;
    QVector<Send> sent;
    QObject context; // the connection ends with the record
};

#endif // SENTFRAMES_H
