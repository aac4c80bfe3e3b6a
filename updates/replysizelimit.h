#ifndef REPLYSIZELIMIT_H
#define REPLYSIZELIMIT_H

#include <QByteArray>
#include <QObject>

class QNetworkReply;

// Holds a reply's body to a size limit without the network layer buffering
// more: it reads no further ahead of what was taken than the reply's read
// buffer, the body is taken as it arrives, and a reply that passes the
// limit, or announces a larger body, is aborted. A server that sends without
// end then costs about the limit, not whatever it sent before the abort.
//
// Made right after the request, as the reply's child; the body is read
// from here, not from the reply.
class ReplySizeLimit : public QObject
{
    Q_OBJECT

public:
    // The network layer's read-ahead.
    static constexpr qint64 READ_AHEAD_BYTES = 64 * 1024;

    ReplySizeLimit(QNetworkReply* reply, qint64 maxBytes);

    // The limit watching reply, or null.
    static ReplySizeLimit* of(const QNetworkReply* reply);

    // The body received so far; all of it once the reply has finished.
    QByteArray body();

signals:
    // The reply is aborted right after.
    void limitPassed();

private:
    void take();
    void checkAnnounced(qint64 received, qint64 total);
    void endTooLarge();

    QNetworkReply* reply;
    qint64 maxBytes;
    QByteArray received;
    bool tooLarge = false;
};

#endif // REPLYSIZELIMIT_H
