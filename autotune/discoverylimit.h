#ifndef DISCOVERYLIMIT_H
#define DISCOVERYLIMIT_H

#include <QObject>
#include <QTimer>

#include <functional>

// The time limit of a discovery run of the controller (a measurement or a
// spin, register 481), counted from the first send of its start: a send
// whose answer was lost may have been carried out, so the controller may
// have been running since, however long the link takes to get an answer
// through. The limit is watched on its own: passed() comes as it passes,
// whatever the link is waiting for, so that the run ends and its stop is
// owed at once.
class DiscoveryLimit : public QObject
{
    Q_OBJECT

public:
    // Milliseconds since the epoch, as the test counts them.
    using Clock = std::function<qint64()>;

    DiscoveryLimit(qint64 limitMs, Clock clock);

    // A start command is queued: the limit is watched, and its time runs
    // from the first send of the start.
    void watchStart();
    // A frame of the start went out, sent first or sent again.
    void noteStartSent();
    // The controller answered the start.
    void noteStartAnswered() { startAnswered = true; }
    // The run has ended, or the test left it: passed() no more.
    void stop() { watch.stop(); }

    // Since the first send of the start; 0 before it.
    qint64 elapsed() const;
    // More than the limit has passed since the first send of the start.
    bool isPast() const;
    // An answer to the start was lost, or none has come: the run's time
    // went on while the link waited for it.
    bool startWasLost() const { return startSends > 1 || !startAnswered; }

signals:
    void passed();

private:
    void check();

    qint64 limitMs;
    Clock clock;
    qint64 firstSentMs = -1;
    int startSends = 0;
    bool startAnswered = false;
    QTimer watch;
};

#endif // DISCOVERYLIMIT_H
