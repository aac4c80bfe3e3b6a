#include "terminalchannel.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <unistd.h>

TerminalChannel::TerminalChannel(int fd, QObject* parent)
    : QObject(parent)
    , fd(fd)
    , readNotifier(new QSocketNotifier(fd, QSocketNotifier::Read, this))
    , writeNotifier(new QSocketNotifier(fd, QSocketNotifier::Write, this))
{
    writeNotifier->setEnabled(false);
    connect(readNotifier, &QSocketNotifier::activated, this, &TerminalChannel::readReady);
    connect(writeNotifier, &QSocketNotifier::activated, this, &TerminalChannel::writePending);
}

void TerminalChannel::readReady()
{
    QByteArray arrived;
    QString failure;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            arrived.append(buffer, static_cast<int>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // The other side is gone for good; polling on would only spin.
            failure =
                n == 0 ? QStringLiteral("end of file") : QString::fromLocal8Bit(strerror(errno));
            stopReading();
        }
        break;
    }
    if (!arrived.isEmpty())
        emit bytesArrived(arrived);
    if (!failure.isEmpty())
        emit failed(failure);
}

void TerminalChannel::send(const QByteArray& bytes)
{
    output.append(bytes);
    writePending();
}

void TerminalChannel::stopReading()
{
    readNotifier->setEnabled(false);
}

bool TerminalChannel::isReading() const
{
    return readNotifier->isEnabled();
}

void TerminalChannel::writePending()
{
    while (!output.isEmpty()) {
        const ssize_t n = ::write(fd, output.constData(), static_cast<size_t>(output.size()));
        if (n > 0) {
            output.remove(0, static_cast<int>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break; // the terminal's input queue is full; go on when it drains
        } else {
            const QString why = QString::fromLocal8Bit(strerror(errno));
            output.clear();
            stopReading();
            emit failed(why);
        }
    }
    writeNotifier->setEnabled(!output.isEmpty());
}
