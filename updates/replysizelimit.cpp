#include "replysizelimit.h"

#include <QNetworkReply>

ReplySizeLimit::ReplySizeLimit(QNetworkReply* reply, qint64 maxBytes)
    : QObject(reply)
    , reply(reply)
    , maxBytes(maxBytes)
{
    reply->setReadBufferSize(READ_AHEAD_BYTES);
    connect(reply, &QNetworkReply::readyRead, this, &ReplySizeLimit::take);
    connect(reply, &QNetworkReply::downloadProgress, this, &ReplySizeLimit::checkAnnounced);
}

ReplySizeLimit* ReplySizeLimit::of(const QNetworkReply* reply)
{
    return reply ? reply->findChild<ReplySizeLimit*>(QString(), Qt::FindDirectChildrenOnly)
                 : nullptr;
}

QByteArray ReplySizeLimit::body()
{
    take();
    return received;
}

void ReplySizeLimit::take()
{
    if (tooLarge)
        return;
    while (reply->bytesAvailable() > 0) {
        const qint64 room = maxBytes - received.size();
        received += reply->read(qMin(reply->bytesAvailable(), room + 1));
        if (received.size() > maxBytes) {
            received.clear();
            endTooLarge();
            return;
        }
    }
}

void ReplySizeLimit::checkAnnounced(qint64, qint64 total)
{
    if (total > maxBytes && !tooLarge)
        endTooLarge();
}

void ReplySizeLimit::endTooLarge()
{
    tooLarge = true;
    emit limitPassed();
    if (!reply->isFinished())
        reply->abort();
}
