#include "replyjudgement.h"

#include "frameword.h"
#include "kelvaracom.h"

namespace {

const char slaveAddress = 1;
// Slave address, function and byte count (or first address byte).
const int replyHeaderLength = 3;

bool isAnswerFunction(char function)
{
    const char plain = char(function & ~ModbusFunction::exceptionFlag);
    return plain == ModbusFunction::read || plain == ModbusFunction::write;
}

} // namespace

ReplyJudgement::Verdict ReplyJudgement::judge(const QByteArray& request, const QByteArray& reply,
                                              int received, const QByteArray& afterReply)
{
    if (isRejection(request, reply, received))
        return Rejection;
    // A cut-off reply must not pass on the fill of its buffer: the fill
    // can complete a valid CRC.
    if (received != reply.size() || holdsSecondAnswer(reply, afterReply))
        return Bad;
    return isGoodReply(request, reply) ? Good : Garbled;
}

bool ReplyJudgement::holdsSecondAnswer(const QByteArray& reply, const QByteArray& afterReply)
{
    if (afterReply.size() < replyHeaderLength
        || afterReply.left(replyHeaderLength) != reply.left(replyHeaderLength))
        return false;
    return afterReply != reply.left(afterReply.size());
}

bool ReplyJudgement::holdsAnswer(const QByteArray& received)
{
    if (received.isEmpty())
        return false;
    // A spoiled or lost byte may have taken either of the two.
    if (received.at(0) == slaveAddress || isAnswerFunction(received.at(0))
        || (received.size() > 1 && isAnswerFunction(received.at(1))))
        return true;
    for (int i = 1; i + 1 < received.size(); ++i) {
        if (received.at(i) == slaveAddress && isAnswerFunction(received.at(i + 1)))
            return true;
    }
    return false;
}

bool ReplyJudgement::crcMatches(const QByteArray& reply)
{
    const int length = reply.size();
    return length > 2 && KelvaraCom::calculateCRC(reply.left(length - 2)) == reply.right(2);
}

bool ReplyJudgement::isGoodReply(const QByteArray& request, const QByteArray& reply)
{
    if (!crcMatches(reply))
        return false;
    if (request.size() < 8 || reply.size() < 4)
        return false;
    if (reply.at(0) != slaveAddress || reply.at(1) != request.at(1))
        return false;
    if (request.at(1) == ModbusFunction::read) {
        const int count = frameWord(request, 4);
        return quint8(reply.at(2)) == quint8((count * 2) & 0xFF) && reply.size() == count * 2 + 5;
    }
    return reply.size() == 8 && reply.mid(2, 4) == request.mid(2, 4);
}

bool ReplyJudgement::isRejection(const QByteArray& request, const QByteArray& reply, int received)
{
    if (received < exceptionReplyLength || reply.size() < exceptionReplyLength
        || request.size() < 2)
        return false;
    const QByteArray head = reply.left(exceptionReplyLength);
    if (head.at(0) != slaveAddress)
        return false;
    if (KelvaraCom::calculateCRC(head.left(3)) != head.right(2))
        return false;
    if (head.at(1) == char(request.at(1) | ModbusFunction::exceptionFlag))
        return true;
    return reply.size() == exceptionReplyLength && head.at(1) == request.at(1);
}
