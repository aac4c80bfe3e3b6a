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

    void send(const QByteArray& bytes);
    // Reads nothing more; a terminal that failed stops by itself.
    void stopReading();
    bool isReading() const;

signals:
    void bytesArrived(const QByteArray& bytes);
    // Reading or writing failed: the other side is gone.
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
