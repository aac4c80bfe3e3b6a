#ifndef EXCHANGETALLY_H
#define EXCHANGETALLY_H

// What the controller did in the operation under way, send by send: whether
// it answered any of them (a good reply, one spoiled or cut short, or an
// answer to an identity check), how many of the last sends got no byte at
// all, and how many sends went without a good reply since the last one: the
// request's own and the identity check's reads it waits for, which are its
// tries as much as its own sends are. A request
// that fails where the last sends got nothing failed on a controller that
// stopped answering; one that fails while the controller was still
// answering failed on a line that spoils or loses its replies. A single
// silence after answers is such a line, as is one answer before a silence:
// a cable pulled while a reply was on the wire.
class ExchangeTally
{
public:
    // A new operation: nothing is known of the controller yet.
    void restart() { *this = ExchangeTally(); }
    // A good reply to the operation's own request: its sends are over.
    void noteGoodReply()
    {
        failedSends = 0;
        noteAnswer();
    }
    // A send that got no good reply; answered: bytes of the controller came.
    void noteFailedSend(bool answered)
    {
        ++failedSends;
        noteSend(answered);
    }
    // A read of the identity check the request waits for, answered: the
    // controller is there, though the request itself has not been answered.
    // One without a good reply is a failed send of the request.
    void noteCheckSend(bool answered) { noteSend(answered); }

    // Sends without a good reply since the operation's last one, the
    // identity check's reads among them.
    int tries() const { return failedSends; }
    // Nothing came of the last sends, or of any send of the operation.
    bool controllerStoppedAnswering() const
    {
        return !answeredAny || silentSendsInRow >= silentSendsOfAStop;
    }

private:
    void noteSend(bool answered)
    {
        if (answered)
            noteAnswer();
        else
            ++silentSendsInRow;
    }
    void noteAnswer()
    {
        answeredAny = true;
        silentSendsInRow = 0;
    }

    // Fewer silences at the end are a line that loses replies.
    static constexpr int silentSendsOfAStop = 2;

    int failedSends = 0;
    int silentSendsInRow = 0;
    bool answeredAny = false;
};

#endif // EXCHANGETALLY_H
