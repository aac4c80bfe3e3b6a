// The window on a line that spoils or loses some replies of a healthy
// controller, judged from the simulator's log less what replies that came
// late on a loaded machine cost (LateReplies): a spoiled reply costs one
// send again, a lost one an identity check, and neither a read of
// everything again nor a box; a controller that falls silent is lost after
// three failed connection checks, on the Dashboard as on Basic Setup.

#include "latereplies.h"
#include "registersunlike.h"
#include "windowfixture.h"

#include <functional>
#include <utility>

using namespace WindowFixture;

namespace {

const int blockSize = 125;

// How often a read of the frames started at the address.
int readsAt(const QVector<QByteArray>& frames, int address)
{
    int count = 0;
    for (const auto& frame : requestFrames(frames, 3))
        count += frame.first == address ? 1 : 0;
    return count;
}

// The last read of the status block (a connection check or a poll) whose
// wait is over by nowMs (on the simulator's clock) was answered within it:
// whatever check failed before it, the link has heard the controller since.
bool heardSinceLastFailure(const SimulatedWindow& w, double nowMs)
{
    const int statusBlock = 258;
    const auto requests = LateReplies::requests(*w.simulator, *w.sent);
    for (auto it = requests.crbegin(); it != requests.crend(); ++it) {
        if (readsAt({it->bytes}, statusBlock) == 0 || it->sentMs < 0
            || it->sentMs + it->waitMs > nowMs)
            continue;
        return it->answeredMs >= 0 && !LateReplies::answeredLate(*it);
    }
    return false;
}

// The ticks of a timer, each counted as it begins, and when the last one
// began on a clock: a slot of its timeout connected before the test's (the
// window's connection check) already sees it counted.
class TickCount : public QObject
{
public:
    TickCount(QTimer* timer, std::function<double()> clock)
        : clock(std::move(clock))
    {
        timer->installEventFilter(this);
    }
    int ticks() const { return count; }
    double lastTickMs() const { return lastMs; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer) {
            ++count;
            lastMs = clock();
        }
        return false;
    }

private:
    std::function<double()> clock;
    int count = 0;
    double lastMs = -1;
};

} // namespace

class TestNoisyLine : public QObject
{
    Q_OBJECT

private slots:
    void spoiledRepliesCostOneSendEach_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("bad CRC") << "crc";
        QTest::newRow("another slave") << "slave";
        QTest::newRow("noise before the reply") << "garbage";
    }
    // The replies of the first four blocks of Read Parameters come whole but
    // spoiled, each once: each block is sent again once, at once, nothing
    // more is read, and no box is shown.
    void spoiledRepliesCostOneSendEach()
    {
        QFETCH(QString, fault);
        SimulatedWindow w;
        QVERIFY(w.start());
        // A connection check would be read besides, when a loaded machine
        // makes the reads last past its time.
        w.find<QTimer>("monitorTimer")->stop();
        ModalWatcher watcher;
        w.simulator->clearLog();
        const auto spoilNextReply = [&] {
            if (fault == "crc")
                w.simulator->corruptCrc(1);
            else if (fault == "slave")
                w.simulator->replyFromSlave(2, 1);
            else
                w.simulator->prefixReplies(3, 1);
        };
        // The next reply is spoiled after each good one, four times: the
        // link judges a reply only once its wait is over, long after the
        // simulator has told it sent.
        int left = 4;
        bool spoiling = false;
        QObject spoiler;
        connect(w.simulator.get(), &ControllerSimulator::replySent, &spoiler, [&] {
            if (std::exchange(spoiling, false) || left == 0)
                return;
            spoilNextReply();
            spoiling = true;
            --left;
        });
        spoilNextReply();
        spoiling = true;
        --left;
        QVERIFY(w.readAll());
        QCOMPARE(left, 0);
        // Each read spoiled was sent again at once, and the reads besides
        // are those of two read-alls, with no identity check. A spoiled
        // reply that came late was not the link's to judge.
        const auto all = LateReplies::requests(*w.simulator, *w.sent);
        int spoiledLate = 0;
        for (const auto& request : all)
            spoiledLate += !request.note.isEmpty() && LateReplies::answeredLate(request) ? 1 : 0;
        const auto requests = LateReplies::takenInTime(all);
        int spoiled = 0;
        QStringList reads;
        for (int i = 0; i < requests.size(); ++i) {
            const auto read = requestFrames({requests.at(i).bytes}, 3);
            if (read.isEmpty())
                continue;
            if (requests.at(i).note.isEmpty()) {
                reads << QString::number(read.first().first);
                continue;
            }
            ++spoiled;
            QVERIFY2(i + 1 < requests.size() && requests.at(i + 1).bytes == requests.at(i).bytes,
                     qPrintable(QString("read at %1").arg(read.first().first)));
        }
        QCOMPARE(spoiled, 4 - spoiledLate);
        QCOMPARE(reads.join(' '), QString("0 125 250 375 500 0 125 250 375 500"));
        QCOMPARE(watcher.titles(), QStringList());
        QCOMPARE(registersUnlike(*w.model(), *w.simulator, true), QStringList());
    }

    void lostReplyCostsAnIdentityCheck_data()
    {
        QTest::addColumn<int>("lostAt"); // the block whose reply is lost once
        for (int address = 0; address < 500; address += blockSize)
            QTest::addRow("block at %d", address) << address;
        QTest::newRow("last block") << 500;
    }
    // A block's reply is lost once. After the controller has answered an
    // identity check the block is read again, and the read goes on: no
    // block is read a third time, and no box is shown.
    void lostReplyCostsAnIdentityCheck()
    {
        QFETCH(int, lostAt);
        SimulatedWindow w;
        QVERIFY(w.start());
        ModalWatcher watcher;
        w.simulator->clearLog();
        w.simulator->loseRepliesAtAddress(lostAt, 1);
        QVERIFY(w.readAll());
        const QVector<QByteArray> frames = LateReplies::framesTakenInTime(*w.simulator, *w.sent);
        for (int address = 0; address <= 500; address += blockSize)
            QCOMPARE(readsAt(frames, address), address == lostAt ? 3 : 2);
        // Before block 0 nothing is kept: whoever answers is as good as any.
        QCOMPARE(readsAt(frames, 237), lostAt == 0 ? 0 : 1);
        QCOMPARE(watcher.titles(), QStringList());
        QCOMPARE(registersUnlike(*w.model(), *w.simulator, true), QStringList());
    }

    void repliesCutShortEndTheRead_data()
    {
        QTest::addColumn<int>("wholeBlocks"); // blocks of Read Parameters answered whole
        for (int blocks = 0; blocks <= 3; ++blocks)
            QTest::addRow("after %d whole blocks", blocks) << blocks;
    }
    // From a block of Read Parameters on, every reply comes a byte short:
    // the read ends in one "Read Fail" box that tells of a line spoiling
    // the replies, after the tries the ladder allows, the identity check's
    // reads the block waited for among them, and the status line stops
    // saying "Communicating...".
    void repliesCutShortEndTheRead()
    {
        QFETCH(int, wholeBlocks);
        SimulatedWindow w;
        QVERIFY(w.start());
        w.find<QTimer>("monitorTimer")->stop();
        ModalWatcher watcher;
        w.simulator->clearLog();
        int whole = wholeBlocks;
        QObject cutter;
        const auto cutFromNowOn = [&] {
            w.simulator->shortenReplies(1, ControllerSimulator::Forever);
        };
        if (whole == 0)
            cutFromNowOn();
        connect(w.simulator.get(), &ControllerSimulator::replySent, &cutter, [&] {
            if (whole > 0 && --whole == 0)
                cutFromNowOn();
        });
        w.window->onReadAllClicked();
        QTRY_VERIFY_WITH_TIMEOUT(watcher.count() > 0 && waitIdle(w.window.get(), 0), 30000);
        QCOMPARE(watcher.titles(), QStringList("Read Fail"));
        const QString text = watcher.texts().constFirst();
        QVERIFY2(text.contains("the line spoiled its replies, and none came whole after 4 tries"),
                 qPrintable(text));
        QVERIFY(statusText(w.window.get()) != "Communicating...");
        // Nothing more was sent than those four tries: the block's own
        // sends and the identity check's reads after the first.
        int cut = 0;
        for (const auto& entry : w.simulator->frameLog())
            cut += entry.direction == ControllerSimulator::Request && !entry.note.isEmpty() ? 1 : 0;
        QCOMPARE(cut, 4);
    }

    // A line that spoils a tenth of the replies (a byte changed, a reply
    // lost or a byte lost): every Read Parameters completes, with no box,
    // and a block is read again only when its own reply was spoiled: the
    // last block, which no silence can leave unidentified, is read once per
    // read besides.
    void noisyLineReadsWithoutReadingAgain()
    {
        SimulatedWindow w;
        QVERIFY(w.start());
        // The connection checks would meet the noise too; only the reads are
        // judged here.
        w.find<QTimer>("monitorTimer")->stop();
        ModalWatcher watcher;
        KelvaraCom* link = w.window->link();
        QSignalSpy done(link, &KelvaraCom::readAllComplete);
        w.simulator->clearLog();
        w.simulator->setNoise(10, 44);
        const int presses = 6;
        for (int press = 1; press <= presses; ++press) {
            w.window->onReadAllClicked();
            QTRY_VERIFY_WITH_TIMEOUT(done.count() == 2 * press && waitIdle(w.window.get(), 0),
                                     60000);
            QCOMPARE(link->getStatus(), KelvaraCom::StatusSuccess);
        }
        w.simulator->setNoise(0);
        QCOMPARE(watcher.titles(), QStringList());
        int spoiled = 0;
        int lastBlockReads = 0;
        int lastBlockSpoiled = 0;
        for (const auto& entry : LateReplies::requestsTakenInTime(*w.simulator, *w.sent)) {
            const bool noisy = entry.note.contains("noise");
            spoiled += noisy ? 1 : 0;
            if (requestFrames({entry.bytes}, 3).value(0).first == 500) {
                ++lastBlockReads;
                lastBlockSpoiled += noisy ? 1 : 0;
            }
        }
        QVERIFY2(spoiled > 0, "the line spoiled nothing");
        QCOMPARE(lastBlockReads - lastBlockSpoiled, 2 * presses);
        QCOMPARE(registersUnlike(*w.model(), *w.simulator, true), QStringList());
    }

    void silentControllerLostAfterThreeChecks_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("Basic Setup") << "releaseScreen";
        QTest::newRow("Dashboard") << "dashboardScreen";
    }
    // The controller falls silent once it has answered a connection check:
    // it is lost at the third check after that one, or at the second when
    // that answer came too late for the link, as the log shows; on the
    // Dashboard, whose polls keep the link busy, as on Basic Setup. Until
    // then the status line never calls it not connected; from then on it
    // does. The silence begins at a check after one the controller answered
    // in time, so no earlier failure counts.
    void silentControllerLostAfterThreeChecks()
    {
        QFETCH(QString, page);
        SimulatedWindow w;
        QVERIFY(w.start());
        w.showPage(page);
        if (page == "dashboardScreen")
            QVERIFY(w.simulator->waitForRequests(w.simulator->requestCount() + 3,
                                                 operationLimitMs(w.window->link())));
        auto* monitor = w.find<QTimer>("monitorTimer");
        const TickCount ticks(monitor, [&] { return w.simulator->elapsedMs(); });
        int silentFrom = -1;
        double armedAtMs = -1;
        bool silenced = false;
        int lostAt = -1;
        QObject watch;
        connect(monitor, &QTimer::timeout, &watch, [&] {
            if (silentFrom < 0 && heardSinceLastFailure(w, ticks.lastTickMs())) {
                silentFrom = ticks.ticks();
                armedAtMs = ticks.lastTickMs();
            }
        });
        // The first answer sent since that tick began is the last: the one
        // that tells the link how its check went.
        connect(w.simulator.get(), &ControllerSimulator::frameLogged, &watch,
                [&](const ControllerSimulator::LogEntry& entry) {
                    if (silentFrom > 0 && !silenced && entry.direction == ControllerSimulator::Reply
                        && entry.elapsedMs >= armedAtMs) {
                        silenced = true;
                        w.simulator->setSilent(true);
                    }
                });
        connect(w.window->link(), &KelvaraCom::controllerDisconnected, &watch, [&] {
            if (lostAt < 0 && silenced)
                lostAt = ticks.ticks();
        });
        QStringList saidWhileConnected;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, &watch, [&] {
            const QString text = statusText(w.window.get());
            if (silentFrom > 0 && lostAt < 0 && !saidWhileConnected.contains(text))
                saidWhileConnected << text;
        });
        sampler.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(lostAt > 0, 20000);
        QVERIFY2(!saidWhileConnected.contains("Controller is not connected"),
                 qPrintable(saidWhileConnected.join(" | ")));
        QCOMPARE(statusText(w.window.get()), QString("Controller is not connected"));
        const auto requests = LateReplies::requests(*w.simulator, *w.sent);
        const auto lastAnswered =
            std::find_if(requests.crbegin(), requests.crend(),
                         [](const auto& request) { return request.answeredMs >= 0; });
        QVERIFY(lastAnswered != requests.crend());
        QCOMPARE(lostAt - silentFrom, LateReplies::answeredLate(*lastAnswered) ? 2 : 3);
        QTRY_VERIFY(!w.find<QPushButton>("readAllAdvanced")->isEnabled());
    }
};

QTEST_MAIN(TestNoisyLine)
#include "tst_noisyline.moc"
