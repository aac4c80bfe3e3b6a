#ifndef CABLEADAPTER_H
#define CABLEADAPTER_H

#include "pseudoterminal.h"
#include "workerthread.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class ControllerSimulator;
class CableWorker;
struct CableState;

// A USB adapter that stays plugged in while its cable moves between
// controllers: one pseudo-terminal that clients open like a serial port,
// every byte forwarded as it arrives to the controller the cable is on and
// back. Bytes sent while the cable is on no controller are lost, and so is
// whatever a controller sends while the cable is not on it, a reply under
// way at a move included.
//
// The controllers are ControllerSimulator instances, each with its own
// registers, faults and frame log; the adapter is their client on their
// terminals. It is served from its own thread, so a client's nested event
// loops never stall it. The log may be read from any thread; everything
// else belongs to the thread that owns the adapter. A move by hand, and
// the arming of a scheduled one, take effect before the call returns.
//
//   adapter.plugInto(a);
//   // The save to flash is lost with the cable, which reaches b 1.5 s later.
//   adapter.moveOn(CableAdapter::Trigger::writeTo(511), {CableAdapter::silence(1500), b});
class CableAdapter : public QObject
{
    Q_OBJECT

public:
    enum Event {
        Request, // a frame from the master, and the controller it went to (none: lost)
        Reply,   // bytes from the controller the cable is on, passed to the master
        Dropped, // bytes from a controller the cable was not on
        Moved,   // the cable reached the controller (none: unplugged)
    };
    Q_ENUM(Event)

    struct LogEntry
    {
        double elapsedMs = 0; // monotonic, since the adapter was created
        Event event = Request;
        ControllerSimulator* controller = nullptr;
        QByteArray bytes;
        QString note;
    };

    // Which frame from the master sets a scheduled move off. It is told
    // by the frame's first six bytes (function, start address, count), so
    // the frame can still go wherever the move says.
    class Trigger
    {
    public:
        Trigger(); // the next frame
        static Trigger nextFrame();
        static Trigger nextRead();  // function 3
        static Trigger nextWrite(); // function 16
        // A read that starts at the address.
        static Trigger readAt(int address);
        // A write whose registers include the address.
        static Trigger writeTo(int address);
        // A read or a write whose registers include the address.
        static Trigger touching(int address);
        // The nth such frame (1: the next one).
        Trigger nth(int n) const;

        int occurrence() const { return count; }
        // Whether the frame, of which the first bytes are enough, is one.
        bool matches(const QByteArray& frame) const;

    private:
        enum Kind { AnyFrame, Read, Write, ReadAt, WriteTo, Touching };
        Trigger(Kind kind, int address);

        Kind kind = AnyFrame;
        int address = -1;
        int count = 1;
    };

    // A place on the cable's way: on the controller (none: unplugged) for
    // forMs, then on to the next stop. The last stop is where it stays.
    struct Stop
    {
        Stop(ControllerSimulator* controller, int forMs = 0)
            : controller(controller)
            , forMs(forMs)
        {
        }
        ControllerSimulator* controller;
        int forMs;
    };
    using Route = QVector<Stop>;
    // Unplugged for ms, e.g. {CableAdapter::silence(1500), b} for a cable
    // moved to b in 1.5 s.
    static Stop silence(int ms) { return Stop(nullptr, ms); }

    // Where the frame that sets a move off goes.
    enum class TriggerFrame {
        Lost,  // nowhere: the cable came off while it was on the line
        ToOld, // whole to the controller the cable was on, the move right after it
        ToNew, // to the route's first stop
    };

    explicit CableAdapter(QObject* parent = nullptr);
    ~CableAdapter() override;

    // Opens the pseudo-terminal and starts serving on no controller; false
    // with errorString() when the terminal cannot be had.
    bool start();
    void stop();
    bool isRunning() const;
    // The path to open, e.g. "/dev/pts/3"; empty until started.
    QString portName() const;
    QString errorString() const;

    // The cable moved by hand, now; a route under way ends there, scheduled
    // moves stay. False with errorString() when the adapter is not running
    // or a controller's terminal cannot be opened (it must be running).
    bool plugInto(ControllerSimulator* controller);
    bool unplug();
    // The same along a route, starting now.
    bool follow(const Route& route);
    // Along the route once a frame the trigger matches goes out. Moves are
    // taken in turn: each is armed, and counts frames, from when the one
    // before it has reached its last stop.
    bool moveOn(const Trigger& trigger, const Route& route,
                TriggerFrame frame = TriggerFrame::Lost);
    // Drops the scheduled moves that have not set off.
    void cancelMoves();
    // Where the cable is; nullptr when on no controller.
    ControllerSimulator* controller() const;

    // The log.
    QVector<LogEntry> frameLog() const;
    // The frames from the master that went to the controller (nullptr: the
    // lost ones), in order.
    QVector<QByteArray> requestsTo(const ControllerSimulator* controller) const;
    void clearLog();
    // Now, on the log's clock.
    double elapsedMs() const;

signals:
    void logged(const CableAdapter::LogEntry& entry);
    // The cable reached the controller; nullptr when it came off.
    void moved(ControllerSimulator* controller);

private slots:
    void relayLogEntry(const CableAdapter::LogEntry& entry);

private:
    bool attachAll(const Route& route);
    bool attach(ControllerSimulator* controller);
    void setError(const QString& text);

    std::unique_ptr<CableState> state;
    PseudoTerminal terminal;
    WorkerThread serving;
    CableWorker* worker = nullptr;
    // Our descriptor on each controller's terminal, with the terminal's name.
    QHash<ControllerSimulator*, QPair<int, QString>> controllerPorts;
    QString lastError;
};

Q_DECLARE_METATYPE(CableAdapter::LogEntry)

#endif // CABLEADAPTER_H
