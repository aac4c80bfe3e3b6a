#include "simmodbus.h"

namespace SimModbus {

quint16 crc16(const QByteArray& data)
{
    quint16 crc = 0xFFFF;
    for (const char byte : data) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = crc & 1;
            crc >>= 1;
            if (carry)
                crc ^= 0xA001;
        }
    }
    return crc;
}

QByteArray withCrc(const QByteArray& frame)
{
    const quint16 crc = crc16(frame);
    QByteArray out = frame;
    out.append(static_cast<char>(crc & 0xFF));
    out.append(static_cast<char>(crc >> 8));
    return out;
}

bool hasValidCrc(const QByteArray& frame)
{
    if (frame.size() < 4)
        return false;
    const quint16 crc = crc16(frame.left(frame.size() - 2));
    return static_cast<quint8>(frame.at(frame.size() - 2)) == (crc & 0xFF)
        && static_cast<quint8>(frame.at(frame.size() - 1)) == (crc >> 8);
}

int requestLength(const QByteArray& bytes)
{
    if (bytes.size() < 2)
        return NeedMoreBytes;
    switch (static_cast<quint8>(bytes.at(1))) {
    case ReadHoldingRegisters:
        return 8;
    case WriteMultipleRegisters:
        if (bytes.size() < 7)
            return NeedMoreBytes;
        return 9 + static_cast<quint8>(bytes.at(6));
    default:
        return UnknownLength;
    }
}

QByteArray exceptionReply(quint8 slave, quint8 function, quint8 code)
{
    QByteArray reply;
    reply.append(static_cast<char>(slave));
    reply.append(static_cast<char>(function | ExceptionFlag));
    reply.append(static_cast<char>(code));
    return withCrc(reply);
}

QString toHex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

QString logLine(double elapsedMs, const QString& arrow, const QByteArray& bytes,
                const QString& note)
{
    QString line = QString::number(elapsedMs, 'f', 3).rightJustified(12) + QStringLiteral(" ms ")
        + arrow + QLatin1Char(' ') + toHex(bytes);
    if (!note.isEmpty())
        line += QStringLiteral("  (%1)").arg(note);
    return line;
}

QByteArray fromHex(const QString& text)
{
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace SimModbus
