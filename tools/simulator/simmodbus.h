#ifndef SIMMODBUS_H
#define SIMMODBUS_H

#include <QByteArray>
#include <QString>

// Modbus RTU framing as a slave sees it. Kept apart from the suite's own
// frame code on purpose: the simulator is the second opinion on the wire.
namespace SimModbus {

constexpr quint8 ReadHoldingRegisters = 3;
constexpr quint8 WriteMultipleRegisters = 16;
constexpr quint8 ExceptionFlag = 0x80;

constexpr quint8 IllegalFunction = 1;
constexpr quint8 IllegalDataAddress = 2;
constexpr quint8 IllegalDataValue = 3;
constexpr quint8 ServerDeviceFailure = 4;

constexpr int MaxReadCount = 125;
constexpr int MaxWriteCount = 123;

// Results of requestLength() besides a frame length.
constexpr int NeedMoreBytes = -1;
constexpr int UnknownLength = 0;

// CRC-16/MODBUS: start 0xFFFF, reflected polynomial 0xA001, no final XOR.
quint16 crc16(const QByteArray& data);

// The frame followed by its CRC, low byte first.
QByteArray withCrc(const QByteArray& frame);

// True when the last two bytes are the CRC of the rest, low byte first.
bool hasValidCrc(const QByteArray& frame);

// Length of the request that starts at the beginning of bytes: 8 for a
// read, 9 + byte count for a write, NeedMoreBytes while the bytes that tell
// are missing, UnknownLength for any other function.
int requestLength(const QByteArray& bytes);

QByteArray exceptionReply(quint8 slave, quint8 function, quint8 code);

// Lower-case hex, one blank between bytes: "01 03 00 00".
QString toHex(const QByteArray& bytes);

// One line of a frame log: the time, an arrow, the bytes in hex and the
// note: "    12.500 ms -> 01 03 00 00 00 01 84 0a  (note)".
QString logLine(double elapsedMs, const QString& arrow, const QByteArray& bytes,
                const QString& note);

// Reads hex with or without blanks ("01 03 0a" or "01030a").
QByteArray fromHex(const QString& text);

} // namespace SimModbus

#endif // SIMMODBUS_H
