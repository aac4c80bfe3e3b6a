#include "networkcom.h"
#include "updatestesting.h"

#include <QSignalSpy>
#include <QtTest>

class tst_NetworkCom : public QObject
{
    Q_OBJECT

private slots:
    void probeThenAnswerOnce_data();
    void probeThenAnswerOnce();
};

void tst_NetworkCom::probeThenAnswerOnce_data()
{
    QTest::addColumn<QByteArray>("root");
    QTest::addColumn<int>("stallAfter");
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("answers");
    QTest::newRow("answers") << QByteArray("ok") << -1 << true << QByteArray("contents") << true;
    // Success while the server answers, at the cost of a second probe.
    QTest::newRow("empty body") << QByteArray("ok") << -1 << true << QByteArray() << true;
    QTest::newRow("empty root") << QByteArray() << -1 << true << QByteArray("contents") << false;
    QTest::newRow("root stalls") << QByteArray("ok") << 0 << true << QByteArray("contents") << false;
    QTest::newRow("no server") << QByteArray("ok") << -1 << false << QByteArray("contents") << false;
}

// A request is sent only when the probe of the server's root gets bytes
// back within the time limit; each one sent is answered once.
void tst_NetworkCom::probeThenAnswerOnce()
{
    QFETCH(QByteArray, root);
    QFETCH(int, stallAfter);
    QFETCH(bool, serverUp);
    QFETCH(QByteArray, body);
    QFETCH(bool, answers);
    DownloadWorkspace workspace;
    const QString file = workspace.server.url() + "/file";
    workspace.server.serve("/", {200, root, {}, stallAfter});
    workspace.server.serve("/file", body);
    if (!serverUp)
        workspace.server.close();
    NetworkCom com;
    com.setTimeLimit(300);
    QSignalSpy responses(&com, &NetworkCom::responseReceived);

    QCOMPARE(com.getRequest(file), answers);
    QCOMPARE(com.getRequest(file), answers);
    QTRY_COMPARE(responses.count(), answers ? 2 : 0);
    QTest::qWait(50);
    QCOMPARE(responses.count(), answers ? 2 : 0);
    for (const QVariantList& response : qAsConst(responses))
        QCOMPARE(response, QVariantList({NetworkCom::Success, body}));
    if (answers)
        QCOMPARE(workspace.server.requests().count("/"), body.isEmpty() ? 4 : 2);
}

QTEST_MAIN(tst_NetworkCom)
#include "tst_networkcom.moc"
