#include "replyfaults.h"

#include "simmodbus.h"

namespace {

// The first register a request names.
int requestAddress(const QByteArray& request)
{
    return (static_cast<quint8>(request.at(2)) << 8) | static_cast<quint8>(request.at(3));
}

} // namespace

void ReplyFaults::Knob::set(int times, int value)
{
    remaining = times;
    parameter = value;
}

bool ReplyFaults::Knob::take()
{
    if (remaining == 0)
        return false;
    if (remaining > 0)
        --remaining;
    return true;
}

void ReplyFaults::clear()
{
    *this = ReplyFaults();
}

int ReplyFaults::replyDelay(int replyBytes) const
{
    if (lineRate <= 0)
        return replyDelayMs;
    const qint64 bitMs = qint64(replyBytes) * 10 * 1000;
    return replyDelayMs + int((bitMs + lineRate - 1) / lineRate);
}

bool ReplyFaults::takeSilence(const QByteArray& request, double nowMs, QStringList* notes)
{
    if (nowMs < dropUntilMs) {
        notes->append(QStringLiteral("dropped"));
        return true;
    }
    if (silent) {
        notes->append(QStringLiteral("silent"));
        return true;
    }
    const int address = requestAddress(request);
    if (silentAddresses.contains(address)) {
        notes->append(QStringLiteral("silent at address %1").arg(address));
        return true;
    }
    if (silenceNext.take()) {
        notes->append(QStringLiteral("silenced"));
        return true;
    }
    if (silenceEvery > 0 && ++sinceEverySilence >= silenceEvery) {
        sinceEverySilence = 0;
        notes->append(QStringLiteral("silenced, one in %1").arg(silenceEvery));
        return true;
    }
    return false;
}

bool ReplyFaults::takeLostReply(const QByteArray& request, QStringList* notes)
{
    const int address = requestAddress(request);
    const auto lost = lostReplyAddresses.find(address);
    if (lost == lostReplyAddresses.end())
        return false;
    if (lost.value() > 0 && --lost.value() == 0)
        lostReplyAddresses.erase(lost);
    notes->append(QStringLiteral("reply lost"));
    return true;
}

QByteArray ReplyFaults::takeException(const QByteArray& request, QStringList* notes)
{
    const int address = requestAddress(request);
    int code = exceptionAddresses.value(address, 0);
    if (code == 0 && exception.take())
        code = exception.parameter;
    if (code == 0)
        return QByteArray();
    notes->append(QStringLiteral("exception %1").arg(code));
    return SimModbus::exceptionReply(static_cast<quint8>(request.at(0)),
                                     static_cast<quint8>(request.at(1)), static_cast<quint8>(code));
}

QByteArray ReplyFaults::distort(const QByteArray& request, const QByteArray& reply,
                                QStringList* notes)
{
    QByteArray out = reply;
    bool headerChanged = false;
    if (otherSlave.take()) {
        out[0] = static_cast<char>(otherSlave.parameter);
        headerChanged = true;
        notes->append(QStringLiteral("slave address %1").arg(otherSlave.parameter));
    }
    if (otherFunction.take()) {
        out[1] = static_cast<char>(otherFunction.parameter);
        headerChanged = true;
        notes->append(QStringLiteral("function %1").arg(otherFunction.parameter));
    }
    if (headerChanged)
        out = SimModbus::withCrc(out.left(out.size() - 2));

    if (corruptCrc.take() || badCrcAddresses.contains(requestAddress(request))) {
        out[out.size() - 1] = static_cast<char>(out.at(out.size() - 1) ^ 0xFF);
        notes->append(QStringLiteral("bad CRC"));
    }
    if (shortReply.take()) {
        out.chop(qBound(0, shortReply.parameter, out.size()));
        notes->append(QStringLiteral("short by %1").arg(shortReply.parameter));
    }
    if (longReply.take()) {
        out.append(QByteArray(qMax(0, longReply.parameter), '\0'));
        notes->append(QStringLiteral("%1 extra bytes").arg(longReply.parameter));
    }
    if (leadingGarbage.take()) {
        out.prepend(QByteArray(qMax(0, leadingGarbage.parameter), '\0'));
        notes->append(QStringLiteral("%1 bytes before").arg(leadingGarbage.parameter));
    }
    return out;
}

int ReplyFaults::takeDuplicateDelay(QStringList* notes)
{
    if (!lateDuplicate.take())
        return -1;
    notes->append(QStringLiteral("duplicate after %1 ms").arg(lateDuplicate.parameter));
    return qMax(0, lateDuplicate.parameter);
}

bool ReplyFaults::takeHangUp(QStringList* notes)
{
    if (hangUpAtRequest <= 0 || --hangUpAtRequest > 0)
        return false;
    notes->append(QStringLiteral("terminal closed"));
    return true;
}
