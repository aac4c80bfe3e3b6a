#ifndef UNCONFIRMEDWRITES_H
#define UNCONFIRMEDWRITES_H

#include <QList>
#include <QMap>
#include <QSet>

#include <functional>

class Kelvara;
class KelvaraCom;

// Milliseconds since the epoch as an autotune test counts its waits; tests
// of the suite replace it to pass the long waits quickly.
using AutotuneClock = std::function<qint64()>;
AutotuneClock systemClock();
// A clock that starts now and runs factor times faster than the system's.
AutotuneClock acceleratedClock(int factor);

// The writes of one autotune run that the controller keeps only in flash.
// The link takes every answered write as saved; until the run's own flash
// save confirms them, the model must not show them as saved. revert() puts
// the saved values of the model back to what they were before the run, so
// the changed rows show their unsaved marks again.
class UnconfirmedWrites
{
public:
    UnconfirmedWrites(Kelvara* runner, KelvaraCom* com);

    // A new run: remembers the model's saved values, forgets earlier writes.
    void begin();
    // Writes count registers from address through the link and notes them.
    void write(int address, int count);
    // The flash save confirmed every write so far.
    void confirm();
    // Back to the saved values from before the run; returns the registers
    // written in the run that now differ from them.
    QList<int> revert();

    // Ends a discovery run of the controller (register 481 := 0); its
    // outcome is not waited for.
    void stopDiscovery();

private:
    Kelvara* runner;
    KelvaraCom* com;
    QMap<int, int> savedBefore;
    QSet<int> written;
};

#endif // UNCONFIRMEDWRITES_H
