#ifndef CABLEWORKER_H
#define CABLEWORKER_H

#include "cableadapter.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QVector>

class QTimer;
class TerminalChannel;
struct CableState;

// Serves the adapter's terminal from the adapter's own thread: passes the
// master's bytes to the controller the cable is on and that controller's
// bytes back, tells the master's frames apart to set scheduled moves off,
// and moves the cable along its routes.
class CableWorker : public QObject
{
    Q_OBJECT

public:
    CableWorker(int masterFd, int slaveFd, CableState* state);

    // All of these run in the serving thread.
    void begin();
    // Our descriptor on the controller's terminal; replaces an earlier one.
    void attach(ControllerSimulator* controller, int fd);
    // A move by hand: ends a route under way and starts this one now.
    void follow(const CableAdapter::Route& route);
    void schedule(const CableAdapter::Trigger& trigger, const CableAdapter::Route& route,
                  CableAdapter::TriggerFrame frame);
    void cancelMoves();

signals:
    void logged(const CableAdapter::LogEntry& entry);

private slots:
    void takeMasterBytes(const QByteArray& arrived);
    void endOfGap();
    void nextStop();

private:
    struct Move
    {
        CableAdapter::Trigger trigger;
        CableAdapter::Route route;
        CableAdapter::TriggerFrame frame;
    };
    // Where the bytes of the frame under way go.
    enum class FrameWay {
        Undecided,    // held until a scheduled move can tell whether the frame is its own
        FollowsCable, // to wherever the cable is as each byte goes
        Fixed,        // to fixedTarget, whatever the cable does
    };

    void takeControllerBytes(ControllerSimulator* controller, const QByteArray& bytes);
    const Move* armedMove() const;
    bool canDecide() const;
    void decide();
    void forwardFrameBytes();
    bool frameComplete() const;
    void endFrame();
    void startRoute(const CableAdapter::Route& route);
    void goToStop();
    void moveTo(ControllerSimulator* controller);
    void sendTo(ControllerSimulator* controller, const QByteArray& bytes);
    void log(CableAdapter::Event event, ControllerSimulator* controller, const QByteArray& bytes,
             const QString& note = QString());

    int masterFd;
    int slaveFd;
    CableState* state;
    TerminalChannel* port = nullptr;
    QHash<ControllerSimulator*, TerminalChannel*> controllers;
    ControllerSimulator* position = nullptr;

    QVector<Move> scheduled;
    int matchesSeen = 0; // by the armed move's trigger
    CableAdapter::Route route;
    int stopIndex = 0;
    bool routeUnderWay = false;
    // A move whose frame goes whole to the old controller starts after it.
    bool routeAfterFrame = false;
    CableAdapter::Route routeWaiting;
    QTimer* stopTimer = nullptr;

    // The master's frame under way.
    QByteArray frame;
    int forwarded = 0; // of its bytes
    FrameWay way = FrameWay::Undecided;
    ControllerSimulator* fixedTarget = nullptr;
    ControllerSimulator* firstTarget = nullptr;
    bool splitByMove = false;
    bool setMoveOff = false;
    double lastByteMs = 0;
    QTimer* gapTimer = nullptr;
};

#endif // CABLEWORKER_H
