#ifndef LOOPBACKHTTPSERVER_H
#define LOOPBACKHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A small HTTP server on 127.0.0.1 for tests of the suite's web requests.
// Each path answers with a canned response (status, headers such as a
// redirect's Location, body); unknown paths get 404. A response can stall:
// send its headers and the first bytes of its body, then hold the
// connection open. A response can drip: its body (or the part before the
// stall) goes in pieces of dripBytes, one every dripMs. Requested paths are
// recorded in order, as sent; url() has no trailing "/".
class LoopbackHttpServer : public QTcpServer
{
public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        int stallAfter = -1; // body bytes sent before stalling; -1 sends all
        int dripBytes = 0;
        int dripMs = 0;
    };

    LoopbackHttpServer()
    {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(serverPort()); }

    void serve(const QByteArray& path, const Response& response) { m_responses[path] = response; }
    void serve(const QByteArray& path, const QByteArray& body)
    {
        serve(path, Response{200, body, {}, -1});
    }

    QStringList requests() const { return m_requests; }

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = m_partial[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        m_partial.remove(socket);
        m_requests << QString::fromLatin1(path);
        const Response response = m_responses.value(path, Response{404, "not found", {}, -1});
        QByteArray raw = "HTTP/1.1 " + QByteArray::number(response.status)
            + " Status\r\nContent-Length: " + QByteArray::number(response.body.size())
            + "\r\nConnection: close\r\n";
        for (const auto& header : response.headers)
            raw += header.first + ": " + header.second + "\r\n";
        const bool stall = response.stallAfter >= 0;
        const QByteArray body = stall ? response.body.left(response.stallAfter) : response.body;
        if (response.dripBytes > 0) {
            socket->write(raw + "\r\n");
            drip(socket, body, response.dripBytes, response.dripMs, !stall);
            return;
        }
        socket->write(raw + "\r\n" + body);
        if (!stall)
            socket->disconnectFromHost();
    }

    static void drip(QTcpSocket* socket, const QByteArray& body, int bytes, int ms, bool close)
    {
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [=, sent = 0]() mutable {
            socket->write(body.mid(sent, bytes));
            if ((sent += bytes) < body.size())
                return;
            timer->stop();
            if (close)
                socket->disconnectFromHost();
        });
        timer->start(ms);
    }

    QHash<QByteArray, Response> m_responses;
    QHash<QTcpSocket*, QByteArray> m_partial;
    QStringList m_requests;
};

#endif // LOOPBACKHTTPSERVER_H
