#ifndef FRAMEWORD_H
#define FRAMEWORD_H

#include <QByteArray>

// The Modbus functions the controllers answer, and the bit an exception
// reply sets in the function of the request it refuses.
namespace ModbusFunction {
constexpr char read = 3;
constexpr char write = 16;
constexpr char exceptionFlag = char(0x80);
} // namespace ModbusFunction

// A 16-bit word of a Modbus frame, high byte first, as an unsigned value.
inline int frameWord(const QByteArray& frame, int offset)
{
    return (quint8(frame.at(offset)) << 8) | quint8(frame.at(offset + 1));
}

// Register value index of a read reply (after slave, function and byte
// count).
inline int readReplyValue(const QByteArray& reply, int index)
{
    return frameWord(reply, 3 + 2 * index);
}

// Register value index of a write request (after slave, function, address,
// count and byte count).
inline int writeFrameValue(const QByteArray& frame, int index)
{
    return frameWord(frame, 7 + 2 * index);
}

// The register a write request of one register is for; -1 for any other
// frame.
inline int singleWriteAddress(const QByteArray& frame)
{
    // Slave, function, address, count, byte count, one value and the CRC.
    const int singleWriteSize = 11;
    if (frame.size() != singleWriteSize || frame.at(1) != ModbusFunction::write
        || frameWord(frame, 4) != 1)
        return -1;
    return frameWord(frame, 2);
}

#endif // FRAMEWORD_H
