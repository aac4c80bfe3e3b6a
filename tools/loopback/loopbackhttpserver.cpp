#include "loopbackhttpserver.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

LoopbackHttpServer::LoopbackHttpServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::bytesWritten, this,
                    [this](qint64 bytes) { m_bytesSent += bytes; });
        }
    });
}

QString LoopbackHttpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

void LoopbackHttpServer::serve(const QByteArray& path, const Response& response)
{
    m_responses[path] = response;
}

void LoopbackHttpServer::serve(const QByteArray& path, const QByteArray& body)
{
    serve(path, Response{200, body, {}, -1});
}

QStringList LoopbackHttpServer::requests() const
{
    return m_requests;
}

qint64 LoopbackHttpServer::bytesSent() const
{
    return m_bytesSent;
}

void LoopbackHttpServer::answer(QTcpSocket* socket)
{
    QByteArray& request = m_partial[socket];
    request += socket->readAll();
    if (!request.contains("\r\n\r\n"))
        return;
    const QByteArray path = request.split(' ').value(1);
    m_partial.remove(socket);
    m_requests << QString::fromLatin1(path);
    const Response response = m_responses.value(path, Response{404, "not found", {}, -1});
    QByteArray raw = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    if (!response.endless)
        raw += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    raw += "Connection: close\r\n";
    for (const auto& header : response.headers)
        raw += header.first + ": " + header.second + "\r\n";
    socket->write(raw + "\r\n");
    const bool stall = response.stallAfter >= 0;
    const QByteArray body = stall ? response.body.left(response.stallAfter) : response.body;
    const bool close = !stall || response.cut;
    if (response.dripBytes > 0 || response.endless) {
        drip(socket, body, response, close);
        return;
    }
    socket->write(body);
    if (close)
        socket->disconnectFromHost();
}

void LoopbackHttpServer::drip(QTcpSocket* socket, const QByteArray& body, const Response& r,
                              bool close)
{
    const int bytes = r.dripBytes > 0 ? r.dripBytes : body.size();
    auto* timer = new QTimer(socket);
    connect(socket, &QTcpSocket::disconnected, timer, &QTimer::stop);
    connect(timer, &QTimer::timeout, socket, [=, sent = 0]() mutable {
        // The client has not taken the last piece yet.
        if (socket->bytesToWrite() > 0)
            return;
        socket->write(body.mid(sent, bytes));
        if ((sent += bytes) < body.size())
            return;
        sent = 0; // an endless body starts over
        if (r.endless)
            return;
        timer->stop();
        if (close)
            socket->disconnectFromHost();
    });
    timer->start(r.dripMs);
}
