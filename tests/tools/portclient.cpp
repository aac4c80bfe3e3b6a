#include "portclient.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>
#include <QVector>

namespace {

bool openPort(QSerialPort &port, const QString &name, QString *error)
{
    port.setPortName(name);
    port.setBaudRate(QSerialPort::Baud115200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("open %1: %2").arg(name, port.errorString());
        return false;
    }
    return true;
}

bool sendAll(QSerialPort &port, const QByteArray &bytes, QString *error)
{
    if (port.write(bytes) != bytes.size() || !port.waitForBytesWritten(2000)) {
        *error = QStringLiteral("write: %1").arg(port.errorString());
        return false;
    }
    return true;
}

QByteArray gather(QSerialPort &port, int expectedBytes, int waitMs)
{
    QByteArray received = port.readAll();
    QElapsedTimer clock;
    clock.start();
    while (received.size() < expectedBytes) {
        const qint64 left = waitMs - clock.elapsed();
        if (left <= 0)
            break;
        if (port.waitForReadyRead(static_cast<int>(left)))
            received.append(port.readAll());
    }
    return received;
}

} // namespace

PortClient::PortClient(const QString &portName)
    : portName(portName)
{
}

QString PortClient::error() const
{
    return lastError;
}

QByteArray PortClient::exchange(const QByteArray &request, int expectedBytes, int waitMs)
{
    return exchangeInFragments({request}, 0, expectedBytes, waitMs);
}

QByteArray PortClient::exchangeInFragments(const QList<QByteArray> &fragments, int pauseMs, int expectedBytes,
                                        int waitMs)
{
    QSerialPort port;
    if (!openPort(port, portName, &lastError))
        return QByteArray();
    for (int i = 0; i < fragments.size(); ++i) {
        if (i > 0)
            QTest::qWait(pauseMs);
        if (!sendAll(port, fragments.at(i), &lastError))
            return QByteArray();
    }
    const QByteArray received = gather(port, expectedBytes, waitMs);
    port.close();
    return received;
}

QByteArray PortClient::drain(int waitMs)
{
    QSerialPort port;
    if (!openPort(port, portName, &lastError))
        return QByteArray();
    const QByteArray received = gather(port, INT_MAX, waitMs);
    port.close();
    return received;
}

namespace Frames {

quint16 crc(const QByteArray &data)
{
    // Table-free CRC-16/MODBUS written apart from the simulator's.
    quint16 value = 0xFFFF;
    for (const char c : data) {
        value ^= static_cast<quint8>(c);
        for (int i = 0; i < 8; ++i)
            value = (value & 1) ? static_cast<quint16>((value >> 1) ^ 0xA001) : static_cast<quint16>(value >> 1);
    }
    return value;
}

QByteArray withCrc(QByteArray frame)
{
    const quint16 value = crc(frame);
    frame.append(static_cast<char>(value & 0xFF));
    frame.append(static_cast<char>(value >> 8));
    return frame;
}

QByteArray read(int address, int count, int slave)
{
    QByteArray frame;
    frame.append(static_cast<char>(slave));
    frame.append(static_cast<char>(3));
    frame.append(static_cast<char>(address >> 8));
    frame.append(static_cast<char>(address & 0xFF));
    frame.append(static_cast<char>(count >> 8));
    frame.append(static_cast<char>(count & 0xFF));
    return withCrc(frame);
}

QByteArray write(int address, const QVector<quint16> &values, int slave)
{
    QByteArray frame;
    frame.append(static_cast<char>(slave));
    frame.append(static_cast<char>(16));
    frame.append(static_cast<char>(address >> 8));
    frame.append(static_cast<char>(address & 0xFF));
    frame.append(static_cast<char>(values.size() >> 8));
    frame.append(static_cast<char>(values.size() & 0xFF));
    frame.append(static_cast<char>(values.size() * 2));
    for (const quint16 value : values) {
        frame.append(static_cast<char>(value >> 8));
        frame.append(static_cast<char>(value & 0xFF));
    }
    return withCrc(frame);
}

QVector<quint16> values(const QByteArray &reply)
{
    QVector<quint16> result;
    const int count = static_cast<quint8>(reply.at(2)) / 2;
    for (int i = 0; i < count; ++i)
        result.append(static_cast<quint16>((static_cast<quint8>(reply.at(3 + 2 * i)) << 8)
                                           | static_cast<quint8>(reply.at(4 + 2 * i))));
    return result;
}

} // namespace Frames
