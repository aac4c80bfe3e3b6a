#ifndef COMMTIMER_H
#define COMMTIMER_H

#include <QByteArray>
#include <QObject>
#include <QTimer>

// The link's reply timer: one single-shot wait per frame, whose expiry is
// when the reply gets judged. Keeps the current, default and maximum reply
// timeout and the last frame sent, which retransmission sends again.
//
// The sends of one request climb a ladder (TimeoutLadder): each send that
// got no good reply takes a rung twice as high, and the frame is sent again
// only while the rung it was sent on was not above the maximum. After a
// silence the wait climbs with it; after a reply that came in time, whole
// but spoiled or short of a byte, only the rung does, so that the frame goes
// again with the same wait as often, and no more often, as after silences.
// The reads of an identity check a request waits for are sends of that
// request on this ladder: they start from the rung of its next send and
// leave it where they climbed to (setLadderRung()).
//
// A new timeout applies from the next startTimer(): changing it never
// restarts or stretches a wait that is already running.
class CommTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeout = 250;
    static constexpr int DefaultMaxTimeout = 2000;

    explicit CommTimer(QObject* parent = nullptr);
    ~CommTimer() override;

    int getTimeoutTime() const { return timeout; }
    int getDefaultTimeout() const { return defaultTimeout; }
    int getMaxTimeout() const { return maxTimeout; }

    // t below 1 is ignored. With setDefault, t also becomes the default
    // and four times t (at most what an int holds) the maximum. The ladder
    // starts again from t.
    void setTimeoutTime(int t, bool setDefault);
    // Back to the default timeout.
    void resetTime();
    // The current timeout doubled, saturating instead of overflowing.
    int doubledTimeout() const;
    // A frame whose wait ran out is sent again only while this is false:
    // the rung of its last send is above the maximum.
    bool exceedsMaxTime() const;

    // A new request: its ladder starts at the current timeout.
    void beginLadder() { rung = timeout; }
    // The send got no good reply: one rung up, and the wait with it when
    // doubleWait (the reply did not come in time).
    void climbLadder(bool doubleWait);
    int ladderRung() const { return rung; }
    // The rung of the next send.
    int climbedRung() const;
    // A request whose sends were interrupted goes on where it was.
    void setLadderRung(int ms) { rung = ms; }

    // Starts the single-shot wait with the current timeout.
    void startTimer();
    void stopTimer();
    bool isRunning() const { return replyTimer.isActive(); }

    void setLastMsg(const QByteArray& msg) { lastMsg = msg; }
    QByteArray getLastMsg() const { return lastMsg; }

signals:
    void notifyTimeout();

public slots:
    void handleTimeout();

private:
    int timeout = DefaultTimeout;
    int defaultTimeout = DefaultTimeout;
    int maxTimeout = DefaultMaxTimeout;
    int rung = DefaultTimeout;
    QByteArray lastMsg;
    QTimer replyTimer;
};

#endif // COMMTIMER_H
