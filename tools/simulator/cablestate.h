#ifndef CABLESTATE_H
#define CABLESTATE_H

#include "cableadapter.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QVector>

// What the adapter's serving thread and its callers share; every member is
// read and written under the mutex.
struct CableState
{
    CableState() { clock.start(); }

    double elapsedMs() const { return clock.nsecsElapsed() / 1e6; }

    mutable QMutex mutex;
    QVector<CableAdapter::LogEntry> log;
    ControllerSimulator* position = nullptr;
    QElapsedTimer clock;
};

#endif // CABLESTATE_H
