#ifndef EXCHANGETALLY_H
#define EXCHANGETALLY_H

// What the line did since the operation's last good reply: how many sends
// went without one, and whether the controller answered meanwhile (a reply
// spoiled or cut short, or a good answer to an identity check). A request
// that fails while the controller keeps answering failed on a line that
// spoils replies, not on a controller that went away.
class ExchangeTally
{
public:
    // A good reply to the operation's own request, or a new operation:
    // the trouble is over.
    void restart() { *this = ExchangeTally(); }
    // A send that got no good reply; answered: bytes of the controller came.
    void noteFailedSend(bool answered)
    {
        ++failedSends;
        answeredSends += answered ? 1 : 0;
    }
    // A good answer to a read of the identity check: the controller is
    // there, though the request it stands before has not been answered.
    void noteCheckAnswer()
    {
        ++failedSends;
        ++answeredSends;
    }

    int tries() const { return failedSends; }
    bool controllerAnswered() const { return answeredSends > 0; }

private:
    int failedSends = 0;
    int answeredSends = 0;
};

#endif // EXCHANGETALLY_H
