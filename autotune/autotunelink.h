#ifndef AUTOTUNELINK_H
#define AUTOTUNELINK_H

#include "controlleridentity.h"
#include "discoverylimit.h"
#include "kelvaracom.h"

#include <QList>
#include <QMap>
#include <QMetaObject>
#include <QSet>

#include <functional>

class Kelvara;

// Milliseconds since the epoch as an autotune test counts its waits; tests
// of the suite replace it to pass the long waits quickly.
using AutotuneClock = std::function<qint64()>;
AutotuneClock systemClock();
// A clock that starts now and runs factor times faster than the system's.
AutotuneClock acceleratedClock(int factor);

// What an autotune test does through the model and the link: display
// values, the fault check, reads and writes of register ranges, the start
// of the controller's discovery run, and the beginning and both endings of
// a run, which the stationary and the spinning test share.
//
// The link takes every answered write as saved: the controller holds the
// value. It keeps it over a power cycle only once it is in flash, though.
// A run that fails before its own flash save leaves what it wrote as the
// controller's values, held outside flash: those the run changed stay
// unsaved until a save to flash, also when set back to their old value, so
// that the next save writes them.
class AutotuneLink
{
public:
    // discoveryLimitMs: how long a discovery run of the test may go.
    AutotuneLink(Kelvara* runner, KelvaraCom* com, qint64 discoveryLimitMs);
    // Removes the connections made through it.
    ~AutotuneLink();

    // For the test's life: its stopLog() ends the link's test log, and the
    // link's failures reach its comError() and flashError().
    template<class Test>
    void attach(Test* test)
    {
        lifetime << QObject::connect(com, &KelvaraCom::otherControllerAnswered,
                                     [this] { changedController = true; })
                 << QObject::connect(com, &KelvaraCom::frameSent,
                                     [this](const QByteArray& frame) { noteSentFrame(frame); })
                 << QObject::connect(test, &Test::stopLog, com, &KelvaraCom::haltLog)
                 << QObject::connect(com, &KelvaraCom::comError, test, &Test::comError)
                 << QObject::connect(com, &KelvaraCom::motorRunning, test, &Test::flashError);
    }
    // The link's comSuccess() performs the test's next step.
    template<class Test>
    void stepOnSuccess(Test* test, void (Test::*step)())
    {
        stopStepping();
        stepping = QObject::connect(com, &KelvaraCom::comSuccess, test, step);
    }
    // Saves to flash; the confirmation performs the test's next step.
    template<class Test>
    void saveToFlash(Test* test, void (Test::*step)())
    {
        stopStepping();
        stepping = QObject::connect(com, &KelvaraCom::flashSaveComplete, test, step);
        com->flashSaveAutotune();
    }

    // A run begins: opens the link's log of a test of this kind, remembers
    // the model's saved values and forgets the last run's outcome.
    void beginRun(KelvaraCom::AutotuneTestState kind);
    // The run's flash save confirmed every write: no more steps, the test
    // closes its log (stopLog()) and reports success.
    template<class Test>
    void finishRun(Test* test, void (Test::*success)())
    {
        stopStepping();
        confirm();
        running = false;
        emit test->stopLog();
        emit(test->*success)();
    }
    // The run ends early (or the link failed while none ran): no more
    // steps; the values the run changed are held outside flash and the link
    // owes the controller tested a stop of its discovery run
    // (KelvaraCom::stopDiscoveryRun()), sent as soon as that controller is
    // identified answering; then the test closes its log and reports the
    // error.
    template<class Test, class Error>
    void failRun(Test* test, void (Test::*failure)(Error), Error type, bool discoveryRunning)
    {
        stopStepping();
        if (running)
            abandonRun(discoveryRunning);
        emit test->stopLog();
        emit(test->*failure)(type);
    }
    // The registers the last run wrote that it left unsaved in flash (after
    // an error).
    QList<int> unsavedAfterRun() const { return leftUnsaved; }
    // The last run ended while a discovery run of the controller went on:
    // its controller is owed a stop.
    bool stoppedDiscoveryRun() const { return stoppedDiscovery; }
    // Another controller answered than the one the run was started on: the
    // link wrote nothing to it and read nothing of it for the run.
    bool controllerChanged() const { return changedController; }

    double value(int address) const;
    void setValue(int address, double value);
    // The raw value of Faults (258) or Faults 2 (299) is not zero.
    bool hasFaults() const;
    // Registers first to last (inclusive).
    void read(int first, int last);
    void write(int first, int last);
    // A command register, with the value given now (KelvaraCom::queueCommand).
    void writeCommand(int address, int value);
    // Before each discovery run: the block from the firmware version to
    // Faults 2, for hasFaults().
    void readFaults();
    // Starts a discovery run of the controller (register 481 := mode), which
    // sets 481 back to 0 when done; it takes over from a stop still being
    // delivered to the same controller. The run's limit counts from the
    // first send of the start.
    void startDiscovery(int mode);
    DiscoveryLimit& discoveryLimit() { return limit; }

    qint64 now() const { return clock(); }
    void setClock(AutotuneClock newClock) { clock = newClock; }

private:
    void stopStepping();
    void noteSentFrame(const QByteArray& frame);
    void abandonRun(bool discoveryRunning);
    // The flash save confirmed every write so far.
    void confirm();
    // The registers written in the run that it changed are held outside
    // flash; returns them.
    QList<int> keepOutsideFlash();

    Kelvara* runner;
    KelvaraCom* com;
    QMap<int, int> savedBefore;
    QSet<int> written;
    AutotuneClock clock = systemClock();
    QList<QMetaObject::Connection> lifetime;
    QMetaObject::Connection stepping;
    bool running = false;
    // The controller the run was started on.
    ControllerIdentity runController;
    DiscoveryLimit limit;
    QList<int> leftUnsaved;
    bool stoppedDiscovery = false;
    bool changedController = false;
};

#endif // AUTOTUNELINK_H
