#ifndef EXCEPTIONREPLY_H
#define EXCEPTIONREPLY_H

#include <QByteArray>
#include <QString>

// A reply by which the controller refused a request (ReplyJudgement::
// Rejection): a Modbus exception reply (function with bit 7 set, exception
// code, CRC), or the bare answer to a read of no registers. It is the
// controller's answer, so it is told as one, in words a rider can read: the
// request, and the reason the controller gave.
class ExceptionReply
{
public:
    // request: the frame sent; reply: the bytes judged a rejection.
    ExceptionReply(const QByteArray& request, const QByteArray& reply);

    // The exception code; -1 for the answer to a read of no registers.
    int code() const { return exceptionCode; }
    // Exception 5: the controller took the request and may carry it out
    // after all.
    bool mayBeCarriedOut() const;
    // What the controller did, to follow "the controller" or "it":
    // "refused the read of registers 250 to 374: exception 2, illegal data
    // address".
    QString action() const;
    // The exchange's console line, with the reply's bytes.
    QString replyLine() const;
    // How the status line and the command line name the answer: "Refused
    // by the controller", or for exception 5 "Not confirmed by the
    // controller".
    QString name() const;

    // "exception 2, illegal data address"; "exception N" for a code
    // without a name.
    static QString codeText(int code);

private:
    // "the read of registers 250 to 374", "the write of register 509".
    QString requestText() const;

    QByteArray request;
    QByteArray reply;
    int exceptionCode = -1;
};

#endif // EXCEPTIONREPLY_H
