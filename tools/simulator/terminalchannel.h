#ifndef TERMINALCHANNEL_H
#define TERMINALCHANNEL_H

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// One non-blocking terminal descriptor served from an event loop: reports
// what arrives and writes what is sent as fast as the terminal takes it.
// The descriptor stays its owner's to close.
class TerminalChannel : public QObject
{
    Q_OBJECT

public:
    TerminalChannel(int fd, QObject* parent = nullptr);

    // What the terminal holds now, read at once rather than on the next
    // notification (bytesArrived() is not emitted for it).
    QByteArray readAvailable();
    void send(const QByteArray& bytes);
    // Reads nothing more; a failed terminal stops by itself.
    void stopReading();
    bool isReading() const;

signals:
    void bytesArrived(const QByteArray& bytes);
    void failed(const QString& why);

private slots:
    void readReady();
    void writePending();

private:
    int fd;
    QSocketNotifier* readNotifier;
    QSocketNotifier* writeNotifier;
    QByteArray output;
};

#endif // TERMINALCHANNEL_H
