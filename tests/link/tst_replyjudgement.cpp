#include "kelvaracom.h"
#include "replyjudgement.h"

#include <QtTest>

namespace {

QByteArray frame(const char* hex)
{
    return KelvaraCom::fillInCRC(QByteArray::fromHex(hex));
}

} // namespace

// The verdict on what came back for a request, from the bytes alone.
class TestReplyJudgement : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<int>("expected");
        const QByteArray read7 = frame("010300070001");
        const QByteArray write508 = frame("011001fc0001020001");
        QTest::newRow("read") << read7 << frame("010302002a") << int(ReplyJudgement::Good);
        // The CRC of these five bytes is ffff: the buffer's fill completes it.
        QTest::newRow("cut off before its CRC")
            << read7 << QByteArray::fromHex("010302f624") << int(ReplyJudgement::Bad);
        QTest::newRow("refusal") << read7 << frame("018302") << int(ReplyJudgement::Rejection);
        QTest::newRow("other slave") << read7 << frame("020302002a") << int(ReplyJudgement::Bad);
        QTest::newRow("write") << write508 << frame("011001fc0001") << int(ReplyJudgement::Good);
        QTest::newRow("echo of another write")
            << write508 << frame("011001fd0001") << int(ReplyJudgement::Bad);
    }

    void verdict()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, received);
        QFETCH(int, expected);
        // As the link collects a reply: a buffer of the expected length,
        // filled with 0xff, then the bytes that came.
        const int count = (quint8(request.at(4)) << 8) | quint8(request.at(5));
        QByteArray buffer(request.at(1) == 3 ? count * 2 + 5 : 8, char(0xFF));
        buffer.replace(0, received.size(), received);
        QCOMPARE(int(ReplyJudgement::judge(request, buffer, received.size())), expected);
    }
};

QTEST_GUILESS_MAIN(TestReplyJudgement)
#include "tst_replyjudgement.moc"
