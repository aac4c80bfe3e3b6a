#include "networkcom.h"

#include "makerserver.h"
#include "replysizelimit.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

// Set on a reply that a limit cut off: the limit's name.
const char* const cutOffProperty = "cutOff";
const char* const sizeLimitName = "size";
const char* const timeLimitName = "time";

void cutOff(QNetworkReply* reply, const char* limit)
{
    if (reply->isFinished())
        return;
    reply->setProperty(cutOffProperty, QByteArray(limit));
    reply->abort();
}

QByteArray bodyOf(QNetworkReply* reply)
{
    ReplySizeLimit* limit = ReplySizeLimit::of(reply);
    return limit ? limit->body() : reply->readAll();
}

} // namespace

NetworkCom::NetworkCom(QObject* parent)
    : QObject(parent)
    , manager(new QNetworkAccessManager(this))
    , sizeLimit(MakerServer::maxReplyBytes)
{
    // So that the response can also travel through queued connections.
    qRegisterMetaType<NetworkCom::MessageStatus>();
}

// The manager and its outstanding replies go with this object, after its
// connections are gone, so no late answer reaches a half-destroyed object.
NetworkCom::~NetworkCom() = default;

void NetworkCom::setTimeLimit(int millis)
{
    timeLimit = millis;
}

void NetworkCom::setSizeLimit(qint64 bytes)
{
    sizeLimit = bytes;
}

// The body is taken as it arrives, never more than the size limit.
QNetworkReply* NetworkCom::get(QNetworkAccessManager* network, const QString& url) const
{
    QNetworkReply* reply = network->get(QNetworkRequest{QUrl(url)});
    auto* limit = new ReplySizeLimit(reply, sizeLimit);
    connect(limit, &ReplySizeLimit::limitPassed, reply, [reply] { cutOff(reply, sizeLimitName); });
    // Goes with the reply, so a finished request stops it.
    QTimer::singleShot(timeLimit, reply, [reply] { cutOff(reply, timeLimitName); });
    return reply;
}

bool NetworkCom::checkConnection()
{
    QNetworkAccessManager network;
    QNetworkReply* reply = get(&network, MakerServer::url(QStringLiteral("/")));
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    // More than the size limit is an answer too.
    const bool answered =
        reply->property(cutOffProperty).toByteArray() == sizeLimitName || !bodyOf(reply).isEmpty();
    delete reply;
    return answered;
}

bool NetworkCom::getRequest(QString url)
{
    if (!checkConnection())
        return false;
    QNetworkReply* reply = get(manager, url);
    // Each request is answered once, however many are outstanding.
    // Queued: the probe of an empty answer must not run inside the network
    // layer's own call.
    connect(
        reply, &QNetworkReply::finished, this, [this, reply] { handleResponse(reply); },
        Qt::QueuedConnection);
    return true;
}

void NetworkCom::handleResponse(QNetworkReply* reply)
{
    reply->deleteLater();
    // Part of a body is none: what a limit cut off is not handed on.
    if (reply->property(cutOffProperty).isValid()) {
        emit responseReceived(Incomplete, QByteArray());
        return;
    }
    const QByteArray body = bodyOf(reply);
    MessageStatus status = Success;
    if (body.isEmpty() && !checkConnection())
        status = NoConnection;
    emit responseReceived(status, body);
}
