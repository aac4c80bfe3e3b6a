#ifndef CABLEBENCH_H
#define CABLEBENCH_H

// Two controllers, A and B, behind one USB adapter that stays plugged in
// while its cable moves from one to the other: the port the suite holds
// open is the adapter's, and each frame reaches whichever controller the
// cable is on as it goes out. The cable starts on A. What each controller
// received is in its own frame log; the adapter's log tells which
// controller (or none) each frame went to.

#include "cableadapter.h"
#include "controllersimulator.h"

#include <QTest>

#include <memory>

class CableBench
{
public:
    using Trigger = CableAdapter::Trigger;
    using TriggerFrame = CableAdapter::TriggerFrame;

    // Takes the two controllers, started; false when the adapter cannot
    // start or reach them.
    bool start(std::unique_ptr<ControllerSimulator> controllerA,
               std::unique_ptr<ControllerSimulator> controllerB)
    {
        a = std::move(controllerA);
        b = std::move(controllerB);
        return a && b && adapter.start() && adapter.plugInto(a.get());
    }
    QString port() const { return adapter.portName(); }

    // Once a frame the trigger matches goes out (the frame going as told),
    // the cable is off every controller for silentMs, then on the controller.
    bool moveOn(const Trigger& trigger, ControllerSimulator* to, int silentMs = 1500,
                TriggerFrame frame = TriggerFrame::Lost)
    {
        return adapter.moveOn(trigger, route(to, silentMs), frame);
    }
    bool moveToB(const Trigger& trigger, int silentMs = 1500,
                 TriggerFrame frame = TriggerFrame::Lost)
    {
        return moveOn(trigger, b.get(), silentMs, frame);
    }
    // The same by hand, now.
    bool moveNow(ControllerSimulator* to, int silentMs = 0)
    {
        return adapter.follow(route(to, silentMs));
    }
    // Runs the caller's event loop until the cable is on the controller
    // (nullptr: on none).
    bool waitUntilOn(const ControllerSimulator* controller, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return adapter.controller() == controller; }, timeoutMs);
    }

    // One letter for each frame from the master, of the function (0: any),
    // in order: where it went, A, B or - for lost.
    QString destinations(int function = 0) const
    {
        QString letters;
        for (const CableAdapter::LogEntry& entry : adapter.frameLog()) {
            if (entry.event != CableAdapter::Request
                || (function && (entry.bytes.size() < 2 || quint8(entry.bytes.at(1)) != function)))
                continue;
            letters += entry.controller == a.get() ? 'A' : entry.controller == b.get() ? 'B' : '-';
        }
        return letters;
    }
    // The frames lost on the way, sent while the cable was on no controller.
    QVector<QByteArray> lostFrames() const { return adapter.requestsTo(nullptr); }
    void clearLogs()
    {
        a->clearLog();
        b->clearLog();
        adapter.clearLog();
    }

    std::unique_ptr<ControllerSimulator> a;
    std::unique_ptr<ControllerSimulator> b;
    CableAdapter adapter; // last: it lets go of the controllers' terminals first

private:
    static CableAdapter::Route route(ControllerSimulator* to, int silentMs)
    {
        if (silentMs > 0)
            return {CableAdapter::silence(silentMs), to};
        return {to};
    }
};

#endif // CABLEBENCH_H
