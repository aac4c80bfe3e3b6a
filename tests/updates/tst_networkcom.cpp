#include "networkcom.h"
#include "updatestesting.h"

#include <QSignalSpy>
#include <QtTest>

class tst_NetworkCom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<NetworkCom::MessageStatus>(); }
    void probeDecidesTheRequest_data();
    void probeDecidesTheRequest();
    void eachRequestAnswersOnce();
};

void tst_NetworkCom::probeDecidesTheRequest_data()
{
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<int>("stallAfter");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<bool>("answers");
    QTest::newRow("answers") << QByteArray("ok") << -1 << true << true;
    QTest::newRow("empty answer") << QByteArray() << -1 << true << false;
    QTest::newRow("stalls past the time limit") << QByteArray("ok") << 0 << true << false;
    QTest::newRow("no server") << QByteArray("ok") << -1 << false << false;
}

// A request is sent only when the probe of the server's root gets bytes
// back in time; otherwise nothing is sent and nothing reported.
void tst_NetworkCom::probeDecidesTheRequest()
{
    QFETCH(QByteArray, root);
    QFETCH(int, stallAfter);
    QFETCH(bool, serverUp);
    QFETCH(bool, answers);
    DownloadWorkspace workspace;
    const QString file = workspace.server.url() + "/file";
    workspace.server.serve("/", {200, root, {}, stallAfter});
    workspace.server.serve("/file", "contents");
    if (!serverUp)
        workspace.server.close();
    NetworkCom com;
    com.setTimeLimit(300);
    QSignalSpy responses(&com, &NetworkCom::responseReceived);

    QCOMPARE(com.getRequest(file), answers);
    if (answers) {
        QVERIFY(responses.wait());
        QCOMPARE(responses.takeFirst(), QVariantList({NetworkCom::Success, QByteArray("contents")}));
    }
    QTest::qWait(50);
    QCOMPARE(responses.count(), 0);
}

// An empty body is Success while the server still answers, at the cost of
// a second probe.
void tst_NetworkCom::eachRequestAnswersOnce()
{
    DownloadWorkspace workspace;
    workspace.server.serve("/", "ok");
    workspace.server.serve("/file", "contents");
    workspace.server.serve("/empty", QByteArray());
    NetworkCom com;
    QSignalSpy responses(&com, &NetworkCom::responseReceived);

    QVERIFY(com.getRequest(workspace.server.url() + "/file"));
    QVERIFY(com.getRequest(workspace.server.url() + "/empty"));
    QTRY_COMPARE(responses.count(), 2);
    QTest::qWait(50);
    QCOMPARE(responses.count(), 2);
    QCOMPARE(QSet<QByteArray>({responses[0][1].toByteArray(), responses[1][1].toByteArray()}),
             QSet<QByteArray>({"contents", ""}));
    QCOMPARE(responses[0][0].value<NetworkCom::MessageStatus>(), NetworkCom::Success);
    QCOMPARE(responses[1][0].value<NetworkCom::MessageStatus>(), NetworkCom::Success);
    QCOMPARE(workspace.server.requests().count("/"), 3);
}

QTEST_MAIN(tst_NetworkCom)
#include "tst_networkcom.moc"
