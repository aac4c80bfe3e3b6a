// The server probe against a loopback server that answers, stays silent,
// answers with nothing, or sends without end.

#include "loopbackhttpserver.h"
#include "makerserver.h"
#include "networkcom.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {

// The server's address pointed at the loopback server while it lives.
struct ServerAddress
{
    explicit ServerAddress(const QString& url)
    {
        qputenv(MakerServer::addressVariable, url.toLatin1());
    }
    ~ServerAddress() { qunsetenv(MakerServer::addressVariable); }
};

// An address on which nothing answers: a port that was free a moment ago.
QString closedAddress()
{
    QTcpServer bound;
    bound.listen(QHostAddress::LocalHost);
    return QString("http://127.0.0.1:%1").arg(bound.serverPort());
}

using Response = LoopbackHttpServer::Response;

} // namespace

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

class tst_NetworkCom : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("a body") << QByteArray("<ul></ul>") << QStringList{"/", "/page"};
        // The empty body costs a second probe.
        QTest::newRow("empty") << QByteArray() << QStringList{"/", "/page", "/"};
    }

    // A reachable server's answer comes back whole, as a success.
    void answers()
    {
        QFETCH(QByteArray, body);
        LoopbackHttpServer server;
        server.serve("/", "up");
        server.serve("/page", body);
        ServerAddress address(server.url());
        NetworkCom com;
        QSignalSpy responses(&com, &NetworkCom::responseReceived);
        QVERIFY(com.getRequest(server.url() + "/page"));
        QVERIFY(responses.wait());
        QCOMPARE(responses.first().at(0).value<NetworkCom::MessageStatus>(), NetworkCom::Success);
        QCOMPARE(responses.first().at(1).toByteArray(), body);
        QTEST(server.requests(), "requests");
    }

    // A server that does not answer the probe gets no request.
    void silentServerGetsNothing()
    {
        ServerAddress address(closedAddress());
        NetworkCom com;
        QSignalSpy responses(&com, &NetworkCom::responseReceived);
        QVERIFY(!com.checkConnection());
        QVERIFY(!com.getRequest(closedAddress() + "/page"));
        QTest::qWait(50);
        QCOMPARE(responses.count(), 0);
    }

    void hostileReplies_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<int>("sizeLimit");
        QTest::addColumn<int>("timeLimit");
        QTest::newRow("endless") << Response{200, QByteArray(65536, 'x'), {}, -1, 0, 0, false, true}
                                 << 0 << 60000;
        QTest::newRow("announced larger")
            << Response{200, QByteArray(5000, 'x'), {}, -1, 0, 0, false, false} << 1000 << 60000;
        QTest::newRow("stalled") << Response{200,  QByteArray(5000, 'x'), {}, 100, 0, 0, false,
                                             false}
                                 << 0 << 300;
    }

    // A reply cut off at the size or time limit hands on no part of its
    // body; the endless one costs the server's limit, not what it could
    // send.
    void hostileReplies()
    {
        QFETCH(Response, response);
        QFETCH(int, sizeLimit);
        QFETCH(int, timeLimit);
        LoopbackHttpServer server;
        server.serve("/", "up");
        server.serve("/page", response);
        ServerAddress address(server.url());
        NetworkCom com;
        if (sizeLimit > 0)
            com.setSizeLimit(sizeLimit);
        com.setTimeLimit(timeLimit);
        QSignalSpy responses(&com, &NetworkCom::responseReceived);
        QVERIFY(com.getRequest(server.url() + "/page"));
        QTRY_COMPARE_WITH_TIMEOUT(responses.count(), 1, 30000);
        QCOMPARE(responses.first().at(0).value<NetworkCom::MessageStatus>(),
                 NetworkCom::Incomplete);
        QCOMPARE(responses.first().at(1).toByteArray(), QByteArray());
        const qint64 socketBuffers = 16 * 1024 * 1024;
        QVERIFY2(server.bytesSent() < MakerServer::maxReplyBytes + socketBuffers,
                 qPrintable(QString::number(server.bytesSent())));
    }

    // A root page that never ends is an answer; the probe stops reading
    // at the limit.
    void probeOfAnEndlessRoot()
    {
        LoopbackHttpServer server;
        server.serve("/", Response{200, QByteArray(65536, 'x'), {}, -1, 0, 0, false, true});
        ServerAddress address(server.url());
        NetworkCom com;
        com.setSizeLimit(256 * 1024);
        QVERIFY(com.checkConnection());
        const qint64 socketBuffers = 16 * 1024 * 1024;
        QVERIFY2(server.bytesSent() < 256 * 1024 + socketBuffers,
                 qPrintable(QString::number(server.bytesSent())));
    }
};

QTEST_MAIN(tst_NetworkCom)
#include "tst_networkcom.moc"
