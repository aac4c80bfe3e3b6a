#ifndef PORTCLIENT_H
#define PORTCLIENT_H

// A client for the controller simulator, and request frames built apart
// from the simulator's own frame code.

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTest>
#include <QVector>

namespace Frames {

inline QByteArray withCrc(QByteArray frame)
{
    quint16 crc = 0xFFFF; // CRC-16/MODBUS, table-free
    for (const char c : frame) {
        crc ^= static_cast<quint8>(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return frame.append(char(crc & 0xFF)).append(char(crc >> 8));
}

inline QByteArray header(int slave, int function, int address, int count)
{
    return QByteArray::fromHex(
        QString::asprintf("%02x%02x%04x%04x", slave, function, address, count).toLatin1());
}

// The frame, the values with their byte count, and the CRC.
inline QByteArray withValues(QByteArray frame, const QVector<quint16>& values)
{
    frame.append(char(values.size() * 2));
    for (const quint16 value : values)
        frame.append(char(value >> 8)).append(char(value));
    return withCrc(frame);
}

inline QByteArray read(int address, int count, int slave = 1)
{
    return withCrc(header(slave, 3, address, count));
}

inline QByteArray write(int address, const QVector<quint16>& values, int slave = 1)
{
    return withValues(header(slave, 16, address, values.size()), values);
}

inline QByteArray readReply(const QVector<quint16>& values)
{
    return withValues(QByteArray::fromHex("0103"), values);
}

} // namespace Frames

// What the port holds and what arrives until expectedBytes (0: any number)
// are there or waitMs has passed.
inline QByteArray gather(QSerialPort& port, int expectedBytes, int waitMs)
{
    QByteArray received = port.readAll();
    QElapsedTimer clock;
    clock.start();
    while ((expectedBytes <= 0 || received.size() < expectedBytes) && clock.elapsed() < waitMs) {
        if (port.waitForReadyRead(qMax(1, int(waitMs - clock.elapsed()))))
            received.append(port.readAll());
    }
    return received;
}

// Opens the port for one exchange and closes it after, as the suite does.
class PortClient
{
public:
    explicit PortClient(const QString& portName)
        : portName(portName)
    {
    }

    // Sends the fragments 30 ms apart and gathers what comes back until
    // expectedBytes (0: any number) have arrived or waitMs has passed; empty
    // when the port does not open.
    QByteArray exchange(const QList<QByteArray>& fragments, int expectedBytes, int waitMs = 3000)
    {
        QSerialPort port(portName);
        port.setBaudRate(QSerialPort::Baud115200);
        if (!port.open(QIODevice::ReadWrite))
            return QByteArray();
        for (const QByteArray& fragment : fragments) {
            if (&fragment != &fragments.first())
                QTest::qWait(30); // the pause between fragments is the point
            port.write(fragment);
            if (!port.waitForBytesWritten(2000))
                return QByteArray();
        }
        return gather(port, expectedBytes, waitMs);
    }
    QByteArray exchange(const QByteArray& request, int expectedBytes, int waitMs = 3000)
    {
        return exchange(QList<QByteArray>{request}, expectedBytes, waitMs);
    }
    // Whatever waits in the terminal or arrives within waitMs.
    QByteArray drain(int waitMs) { return exchange(QList<QByteArray>(), 0, waitMs); }

private:
    QString portName;
};

// A port held open across exchanges, as the suite holds an adapter's.
class HeldPort
{
public:
    explicit HeldPort(const QString& portName)
        : port(portName)
    {
        port.setBaudRate(QSerialPort::Baud115200);
        port.open(QIODevice::ReadWrite);
    }
    bool isOpen() const { return port.isOpen(); }
    bool send(const QByteArray& bytes)
    {
        port.write(bytes);
        return port.waitForBytesWritten(2000);
    }
    // Sends the request and gathers the answer as PortClient::exchange() does.
    QByteArray exchange(const QByteArray& request, int expectedBytes, int waitMs = 3000)
    {
        return send(request) ? receive(expectedBytes, waitMs) : QByteArray();
    }
    QByteArray receive(int expectedBytes, int waitMs = 3000)
    {
        return gather(port, expectedBytes, waitMs);
    }

private:
    QSerialPort port;
};

#endif // PORTCLIENT_H
