#ifndef REPLYJUDGEMENT_H
#define REPLYJUDGEMENT_H

#include <QByteArray>

// How the link judges what came back for a request once its wait is over.
// Pure functions of the bytes, so they can be checked on their own.
class ReplyJudgement
{
public:
    enum Verdict {
        Good,      // values (read) or the echo (write) of this request
        Rejection, // the controller refused the request
        // As many bytes as the reply holds, in one answer, but not a good
        // one (a bad CRC, another slave or function, noise before it): the
        // controller the request reached answered, and answered in time.
        Garbled,
        // Nothing usable and nothing to tell who answered: no reply, a
        // short one (a moved cable cuts a reply short) or two answers.
        Bad,
    };

    // request: the frame sent; reply: the reply buffer, pre-sized to the
    // expected reply and filled with 0xFF; received: bytes stored in it;
    // afterReply: bytes that came after a full buffer. Only a buffer filled
    // by the reply can be good or garbled.
    static Verdict judge(const QByteArray& request, const QByteArray& reply, int received,
                         const QByteArray& afterReply = QByteArray());

    // A good CRC alone is not enough: the reply must come from slave 1,
    // answer the function of the request and carry the count (read) or
    // echo address and count (write) of the request, or its values would
    // land in the wrong registers. A good read reply is exactly
    // 2 x count + 5 bytes long.
    static bool isGoodReply(const QByteArray& request, const QByteArray& reply);

    // An exception reply (function with bit 7 set, exception code, CRC),
    // or a well-formed answer to a read of no registers.
    static bool isRejection(const QByteArray& request, const QByteArray& reply, int received);

    static const int exceptionReplyLength = 5;

    // Bytes after the reply that begin another answer of the same kind with
    // other content: two answers came in one wait (one repeated, or one
    // still due to an earlier request), and nothing tells which is this
    // request's. Noise after a reply, or the same answer twice, leaves no
    // such doubt.
    static bool holdsSecondAnswer(const QByteArray& reply, const QByteArray& afterReply);

    // Bytes that came in a wait hold an answer of the controller, however
    // spoiled or cut, when they begin one: its slave address or a function
    // it answers with (read or write, or either refused) at the head, or
    // the two together further on, behind noise. Noise on the line alone,
    // such as a run of 0xFF, holds none.
    static bool holdsAnswer(const QByteArray& received);

private:
    static bool crcMatches(const QByteArray& reply);
};

#endif // REPLYJUDGEMENT_H
