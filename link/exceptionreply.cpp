#include "exceptionreply.h"

#include "frameword.h"
#include "replyjudgement.h"

namespace {

const int acknowledgeCode = 5;
// Slave address, function, first address and count.
const int requestHeaderLength = 6;

} // namespace

ExceptionReply::ExceptionReply(const QByteArray& request, const QByteArray& reply)
    : request(request)
    , reply(reply.left(ReplyJudgement::exceptionReplyLength))
{
    if (this->reply.size() == ReplyJudgement::exceptionReplyLength
        && (this->reply.at(1) & ModbusFunction::exceptionFlag))
        exceptionCode = quint8(this->reply.at(2));
}

bool ExceptionReply::mayBeCarriedOut() const
{
    return exceptionCode == acknowledgeCode;
}

QString ExceptionReply::action() const
{
    if (exceptionCode < 0)
        return QStringLiteral("gave no values: invalid address or number parameters");
    if (mayBeCarriedOut())
        return QStringLiteral("took %1 but did not confirm it: %2")
            .arg(requestText(), codeText(exceptionCode));
    return QStringLiteral("refused %1: %2").arg(requestText(), codeText(exceptionCode));
}

QString ExceptionReply::replyLine() const
{
    const QString bytes = QString::fromLatin1(reply.toHex(' '));
    if (exceptionCode < 0)
        return QStringLiteral("ERROR: Invalid address or number parameters. Reply: ") + bytes
            + QLatin1Char('\n');
    return QStringLiteral("ERROR: The controller ") + action() + QStringLiteral(". Reply: ") + bytes
        + QLatin1Char('\n');
}

QString ExceptionReply::name() const
{
    return mayBeCarriedOut() ? QStringLiteral("Not confirmed by the controller")
                             : QStringLiteral("Refused by the controller");
}

QString ExceptionReply::codeText(int code)
{
    switch (code) {
    case 1:
        return QStringLiteral("exception 1, illegal function");
    case 2:
        return QStringLiteral("exception 2, illegal data address");
    case 3:
        return QStringLiteral("exception 3, illegal data value");
    case 4:
        return QStringLiteral("exception 4, slave device failure");
    case 5:
        return QStringLiteral("exception 5, acknowledge");
    case 6:
        return QStringLiteral("exception 6, slave device busy");
    }
    return QStringLiteral("exception %1").arg(code);
}

QString ExceptionReply::requestText() const
{
    if (request.size() < requestHeaderLength)
        return QStringLiteral("the request");
    const QString operation = request.at(1) == ModbusFunction::read ? QStringLiteral("read")
        : request.at(1) == ModbusFunction::write                    ? QStringLiteral("write")
                                                                    : QStringLiteral("request");
    const int first = frameWord(request, 2);
    const int count = frameWord(request, 4);
    if (count == 1)
        return QStringLiteral("the %1 of register %2").arg(operation).arg(first);
    if (count == 0)
        return QStringLiteral("the %1 of no registers").arg(operation);
    return QStringLiteral("the %1 of registers %2 to %3")
        .arg(operation)
        .arg(first)
        .arg(first + count - 1);
}
