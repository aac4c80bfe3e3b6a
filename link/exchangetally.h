#ifndef EXCHANGETALLY_H
#define EXCHANGETALLY_H

// What the controller did in the operation under way, send by send: whether
// it answered any of them (a good reply, one spoiled or cut short, or an
// answer to an identity check; bytes that form no reply of its, such as
// noise on the line, are no answer), how many of the last sends got no
// answer at all, and how the sends went since the last good reply: the
// request's own and the identity check's reads it waits for, which are its
// tries as much as its own sends are. How they went tells how a request
// that failed ended (ending()).
class ExchangeTally
{
public:
    // How the last sends of a failed request went.
    enum class Ending {
        // Nothing came of the last two sends or more, or of any send.
        StoppedAnswering,
        // The controller answered every try, though not with a good reply:
        // the line spoils or cuts its replies.
        SpoiledLine,
        // The controller's last answer was followed by a single silence: a
        // cable pulled then, or one reply lost on the line; the frames do
        // not tell which.
        SilenceAfterAnswer,
        // Some tries were answered, none well, and others got no answer:
        // replies spoiled and lost alike.
        PartlyAnswered,
        // No try of the request was answered, while the controller answered
        // the identity check's reads between them: it is there, but this
        // request goes unanswered.
        RequestUnanswered,
    };

    // A new operation: nothing is known of the controller yet.
    void restart() { *this = ExchangeTally(); }
    // A good reply to the operation's own request: its sends are over.
    void noteGoodReply()
    {
        failedSends = 0;
        answeredSends = 0;
        answersBetween = 0;
        noteAnswer();
    }
    // A send that got no good reply; answered: bytes of a reply of the
    // controller came.
    void noteFailedSend(bool answered)
    {
        ++failedSends;
        if (answered)
            ++answeredSends;
        noteSend(answered);
    }
    // A read of the identity check the request waits for, answered: the
    // controller is there, though the request itself has not been answered.
    // One without a good reply is a failed send of the request.
    void noteCheckSend(bool answered)
    {
        if (answered && failedSends > 0)
            ++answersBetween;
        noteSend(answered);
    }

    // Sends without a good reply since the operation's last one, the
    // identity check's reads among them.
    int tries() const { return failedSends; }
    // Those of them the controller answered, though not well.
    int answeredTries() const { return answeredSends; }
    // Identity reads answered between those tries.
    int answersBetweenTries() const { return answersBetween; }
    Ending ending() const
    {
        if (!answeredAny || silentSendsInRow >= silentSendsOfAStop)
            return Ending::StoppedAnswering;
        if (answeredSends == failedSends)
            return Ending::SpoiledLine;
        if (answeredSends == 0)
            return answersBetween > 0 ? Ending::RequestUnanswered : Ending::SilenceAfterAnswer;
        // One silence, the last send: what came before it was answered.
        if (failedSends - answeredSends == 1 && silentSendsInRow == 1)
            return Ending::SilenceAfterAnswer;
        return Ending::PartlyAnswered;
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

    // Fewer silences at the end may be a line that loses replies.
    static constexpr int silentSendsOfAStop = 2;

    int failedSends = 0;
    int answeredSends = 0;
    int answersBetween = 0;
    int silentSendsInRow = 0;
    bool answeredAny = false;
};

#endif // EXCHANGETALLY_H
