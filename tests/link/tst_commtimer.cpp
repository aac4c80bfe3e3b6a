// The reply timer: timeouts, the doubling ladder and the single-shot wait.

#include "commtimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <climits>

class TestCommTimer : public QObject
{
    Q_OBJECT

private slots:
    void setTimeoutTime_data();
    void setTimeoutTime();
    void resetTime();
    void ladder_data();
    void ladder();
    void firesOnceAfterTimeout();
    void changingTimeoutKeepsRunningWait();
};

void TestCommTimer::setTimeoutTime_data()
{
    QTest::addColumn<int>("t");
    QTest::addColumn<bool>("setDefault");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("defaultTimeout");
    QTest::addColumn<int>("maxTimeout");
    QTest::newRow("current only") << 900 << false << 900 << 250 << 2000;
    QTest::newRow("as default") << 100 << true << 100 << 100 << 400;
    QTest::newRow("zero ignored") << 0 << true << 250 << 250 << 2000;
    QTest::newRow("negative ignored") << -5 << false << 250 << 250 << 2000;
    QTest::newRow("one") << 1 << true << 1 << 1 << 4;
}

void TestCommTimer::setTimeoutTime()
{
    QFETCH(int, t);
    QFETCH(bool, setDefault);
    CommTimer timer;
    timer.setTimeoutTime(t, setDefault);
    QTEST(timer.getTimeoutTime(), "timeout");
    QTEST(timer.getDefaultTimeout(), "defaultTimeout");
    QTEST(timer.getMaxTimeout(), "maxTimeout");
}

void TestCommTimer::resetTime()
{
    CommTimer timer;
    timer.setTimeoutTime(1000, false);
    timer.resetTime();
    QCOMPARE(timer.getTimeoutTime(), 250);
    timer.setTimeoutTime(60, true);
    timer.setTimeoutTime(480, false);
    timer.resetTime();
    QCOMPARE(timer.getTimeoutTime(), 60);
}

// The waits of one frame: sent again while the timeout is not above the
// maximum, each time with the timeout doubled.
void TestCommTimer::ladder_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("asDefault");
    QTest::addColumn<QList<int>>("waits");
    QTest::newRow("construction") << 250 << false << QList<int>{250, 500, 1000, 2000, 4000};
    QTest::newRow("default 40") << 40 << true << QList<int>{40, 80, 160, 320};
    QTest::newRow("flash save step") << 900 << false << QList<int>{900, 1800, 3600};
    // Saturates at what an int holds and still ends.
    QTest::newRow("huge default") << 999999999 << true << QList<int>{999999999, 1999999998, INT_MAX};
}

void TestCommTimer::ladder()
{
    QFETCH(int, start);
    QFETCH(bool, asDefault);
    QFETCH(QList<int>, waits);
    CommTimer timer;
    timer.setTimeoutTime(start, asDefault);
    QList<int> seen{timer.getTimeoutTime()};
    while (!timer.exceedsMaxTime() && seen.size() < 20) {
        timer.setTimeoutTime(timer.doubledTimeout(), false);
        seen << timer.getTimeoutTime();
    }
    QCOMPARE(seen, waits);
}

void TestCommTimer::firesOnceAfterTimeout()
{
    CommTimer timer;
    timer.setTimeoutTime(30, true);
    QSignalSpy expired(&timer, &CommTimer::notifyTimeout);
    QElapsedTimer clock;
    clock.start();
    timer.startTimer();
    QVERIFY(timer.isRunning());
    QVERIFY(expired.wait(1000));
    QVERIFY(clock.elapsed() >= 29);
    QTest::qWait(80);
    QCOMPARE(expired.size(), 1);
    QVERIFY(!timer.isRunning());
}

// Qt's setInterval() restarts a running timer; a timeout changed during a
// wait must apply to the next wait only.
void TestCommTimer::changingTimeoutKeepsRunningWait()
{
    CommTimer timer;
    timer.setTimeoutTime(150, true);
    QSignalSpy expired(&timer, &CommTimer::notifyTimeout);
    QElapsedTimer clock;
    clock.start();
    timer.startTimer();
    QTest::qWait(60);
    timer.setTimeoutTime(2000, false);
    timer.setTimeoutTime(3000, true);
    timer.resetTime();
    QVERIFY(expired.wait(1500));
    QVERIFY2(clock.elapsed() < 400, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(timer.getTimeoutTime(), 3000);
}

QTEST_GUILESS_MAIN(TestCommTimer)
#include "tst_commtimer.moc"
