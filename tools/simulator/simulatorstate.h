#ifndef SIMULATORSTATE_H
#define SIMULATORSTATE_H

#include "controllersimulator.h"
#include "replyfaults.h"
#include "simulatedcontroller.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QVector>

// What the serving thread and the simulator's callers share; every member
// is read and written under the mutex.
struct SimulatorState
{
    SimulatorState() { clock.start(); }

    double elapsedMs() const { return clock.nsecsElapsed() / 1e6; }

    mutable QMutex mutex;
    SimulatedController controller;
    ReplyFaults faults;
    QVector<ControllerSimulator::LogEntry> log;
    QElapsedTimer clock;
    int frameGapMs = 50;
};

#endif // SIMULATORSTATE_H
