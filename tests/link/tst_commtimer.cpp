// The reply timer: timeouts, the doubling ladder and the single-shot wait.

#include "commtimer.h"
#include "operationtimebound.h"
#include "timeoutladder.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <climits>

class TestCommTimer : public QObject
{
    Q_OBJECT

private slots:
    // Each row: the value set, whether as default, then current, default
    // and maximum timeout.
    void setTimeoutTime()
    {
        const QList<QList<int>> rows{{900, 0, 900, 250, 2000},
                                     {100, 1, 100, 100, 400},
                                     {0, 1, 250, 250, 2000},
                                     {-5, 0, 250, 250, 2000},
                                     {1, 1, 1, 1, 4}};
        for (const QList<int>& row : rows) {
            CommTimer timer;
            timer.setTimeoutTime(row.at(0), row.at(1));
            QCOMPARE(QList<int>({timer.getTimeoutTime(), timer.getDefaultTimeout(),
                                 timer.getMaxTimeout()}),
                     row.mid(2));
        }
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
    void ladder_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("asDefault");
        QTest::addColumn<QList<int>>("waits");
        QTest::newRow("construction") << 250 << false << QList<int>{250, 500, 1000, 2000, 4000};
        QTest::newRow("default 40") << 40 << true << QList<int>{40, 80, 160, 320};
        QTest::newRow("flash save step") << 900 << false << QList<int>{900, 1800, 3600};
        // Saturates at what an int holds and still ends.
        QTest::newRow("huge default")
            << 999999999 << true << QList<int>{999999999, 1999999998, INT_MAX};
    }

    void ladder()
    {
        QFETCH(int, start);
        QFETCH(bool, asDefault);
        CommTimer timer;
        timer.setTimeoutTime(start, asDefault);
        QList<int> seen{timer.getTimeoutTime()};
        while (!timer.exceedsMaxTime() && seen.size() < 20) {
            timer.setTimeoutTime(timer.doubledTimeout(), false);
            seen << timer.getTimeoutTime();
        }
        QTEST(seen, "waits");
    }

    // The timer and the bound of an operation climb one ladder: from any
    // first wait, with any default, and whether each send met silence or a
    // spoiled reply, the timer sends on the rungs the bound counts.
    void timerAndBoundClimbOneLadder()
    {
        QRandomGenerator random(70);
        for (int i = 0; i < 3000; ++i) {
            const int defaultTimeout = 1 + int(random.bounded(i % 3 ? 4000u : INT_MAX / 3u));
            const int first = 1 + int(random.bounded(i % 5 ? 10000u : quint32(INT_MAX)));
            CommTimer timer;
            timer.setTimeoutTime(defaultTimeout, true);
            timer.setTimeoutTime(first, false);
            timer.beginLadder();
            QVector<int> rungs{timer.ladderRung()};
            while (!timer.exceedsMaxTime() && rungs.size() <= 40) {
                QCOMPARE(timer.climbedRung(), TimeoutLadder::climbed(timer.ladderRung()));
                timer.climbLadder(random.bounded(2) == 0);
                rungs << timer.ladderRung();
            }
            const QString row = QString("default %1, first %2").arg(defaultTimeout).arg(first);
            QVERIFY2(timer.getTimeoutTime() <= rungs.constLast(), qPrintable(row));
            const OperationTimeBound bound(defaultTimeout, timer.getMaxTimeout(), 0, 1);
            QVERIFY2(rungs.size() == bound.sendsFrom(first)
                         && rungs.constLast() == bound.lastWaitFrom(first),
                     qPrintable(row));
            QVERIFY2(rungs == TimeoutLadder(timer.getMaxTimeout()).rungsFrom(first),
                     qPrintable(row));
        }
    }

    // Qt's setInterval() restarts a running timer; a timeout changed during
    // a wait must apply to the next wait only. The 150 ms wait ends before a
    // 1000 ms reference started with it, however late a busy machine runs both.
    void firesOnceAfterRunningWait()
    {
        CommTimer timer;
        timer.setTimeoutTime(150, true);
        QSignalSpy expired(&timer, &CommTimer::notifyTimeout);
        QTimer reference;
        reference.setSingleShot(true);
        reference.setTimerType(Qt::PreciseTimer);
        QSignalSpy referenceEnded(&reference, &QTimer::timeout);
        QElapsedTimer clock;
        qint64 expiredAfter = -1;
        connect(&timer, &CommTimer::notifyTimeout, [&] { expiredAfter = clock.elapsed(); });
        clock.start();
        timer.startTimer();
        reference.start(1000);
        QVERIFY(timer.isRunning());
        timer.setTimeoutTime(2000, false);
        timer.setTimeoutTime(3000, true);
        timer.resetTime();
        QVERIFY(referenceEnded.wait(30000));
        QCOMPARE(expired.size(), 1);
        QVERIFY2(expiredAfter >= 149, qPrintable(QString::number(expiredAfter)));
        QCOMPARE(timer.getTimeoutTime(), 3000);
        QVERIFY(!timer.isRunning());
        // Single shot: nothing more comes. A short wait for what must not happen.
        timer.setTimeoutTime(30, false);
        timer.startTimer();
        QVERIFY(expired.wait(30000));
        QVERIFY(!expired.wait(100));
        QCOMPARE(expired.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCommTimer)
#include "tst_commtimer.moc"
