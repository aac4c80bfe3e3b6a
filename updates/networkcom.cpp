#include "networkcom.h"

#include "makerserver.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

NetworkCom::NetworkCom(QObject* parent)
    : QObject(parent)
    , manager(new QNetworkAccessManager(this))
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

QNetworkReply* NetworkCom::get(QNetworkAccessManager* network, const QString& url) const
{
    QNetworkReply* reply = network->get(QNetworkRequest{QUrl(url)});
    // Goes with the reply, so a finished request stops it.
    QTimer::singleShot(timeLimit, reply, &QNetworkReply::abort);
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
    const bool answered = reply->bytesAvailable() != 0;
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
    const QByteArray body = reply->readAll();
    MessageStatus status = Success;
    if (body.isEmpty() && !checkConnection())
        status = NoConnection;
    emit responseReceived(status, body);
}
