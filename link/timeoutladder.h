#ifndef TIMEOUTLADDER_H
#define TIMEOUTLADDER_H

#include <QVector>

// The rungs the sends of one request climb: a send that got no good reply
// takes a rung twice as high, and the frame goes out again only while the
// rung it was sent on is at most the maximum. The reply timer climbs it one
// send at a time; the bound of an operation adds up where it can lead.
class TimeoutLadder
{
public:
    explicit TimeoutLadder(int maxTimeout);

    // The rung above, saturating at what an int holds instead of
    // overflowing.
    static int climbed(int rung);
    // A frame sent on this rung goes out again when its wait runs out. A
    // saturated rung is above every maximum, so the ladder always ends.
    bool sendsAgainFrom(int rung) const;
    // Every rung a frame first sent on this one goes out on, in order.
    QVector<int> rungsFrom(int first) const;

private:
    int maxTimeout;
};

#endif // TIMEOUTLADDER_H
