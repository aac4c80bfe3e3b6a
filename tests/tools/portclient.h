#ifndef PORTCLIENT_H
#define PORTCLIENT_H

#include <QByteArray>
#include <QString>

// Talks to a serial port the way the suite does: the port is opened for
// one frame and closed after the reply.
class PortClient
{
public:
    explicit PortClient(const QString &portName);

    // Opens the port, sends the request and gathers what comes back until
    // expectedBytes have arrived or waitMs has passed, then closes the port.
    // Returns the bytes received; an empty array when the port failed to
    // open or the request could not be written (see error()).
    QByteArray exchange(const QByteArray &request, int expectedBytes, int waitMs = 3000);

    // Opens the port and sends each fragment separately, pausing pauseMs
    // between fragments, then gathers like exchange().
    QByteArray exchangeInFragments(const QList<QByteArray> &fragments, int pauseMs, int expectedBytes,
                                int waitMs = 3000);

    // Opens the port and returns whatever is already waiting in it or
    // arrives within waitMs, then closes it.
    QByteArray drain(int waitMs);

    QString error() const;

private:
    QString portName;
    QString lastError;
};

// Request frames built independently of the simulator's own helpers.
namespace Frames {
QByteArray read(int address, int count, int slave = 1);
QByteArray write(int address, const QVector<quint16> &values, int slave = 1);
QByteArray withCrc(QByteArray frame);
quint16 crc(const QByteArray &data);
// The n register values of a read reply (no checks).
QVector<quint16> values(const QByteArray &reply);
} // namespace Frames

#endif // PORTCLIENT_H
