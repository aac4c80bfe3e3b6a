#ifndef LOOPBACKHTTPSERVER_H
#define LOOPBACKHTTPSERVER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP server on 127.0.0.1 for the tests of the suite's web
// requests and for the picture tools.
// Each path answers with a canned response (status, headers such as a
// redirect's Location, body); unknown paths get 404. A response can stall:
// send its headers and the first bytes of its body, then hold the
// connection open, or with cut close it there. A response can drip: its
// body (or the part before the stall) goes in pieces of dripBytes, one
// every dripMs. An endless response has no length and sends its body over
// and over, as fast as the client takes it, until the client goes. No piece
// is written while the last one waits for the client, so bytesSent() tells
// what the clients took. Requested paths are recorded in order, as sent;
// url() has no trailing "/".
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
        bool cut = false;
        bool endless = false;
    };

    LoopbackHttpServer();

    QString url() const;

    void serve(const QByteArray& path, const Response& response);
    void serve(const QByteArray& path, const QByteArray& body);

    QStringList requests() const;
    // Bytes the clients took, headers included.
    qint64 bytesSent() const;

private:
    void answer(QTcpSocket* socket);
    static void drip(QTcpSocket* socket, const QByteArray& body, const Response& r, bool close);

    QHash<QByteArray, Response> m_responses;
    QHash<QTcpSocket*, QByteArray> m_partial;
    QStringList m_requests;
    qint64 m_bytesSent = 0;
};

#endif // LOOPBACKHTTPSERVER_H
