#ifndef IDENTITYGATE_H
#define IDENTITYGATE_H

#include "controlleridentity.h"

#include <QByteArray>
#include <QMap>
#include <QPair>
#include <QVector>

// Decides which write frames may leave the link. A cable moved from one
// controller to another behind an adapter that stays plugged in shows only
// as a silence; after one, a write frame, sent first or sent again, waits
// until the controller that answers has been identified as the one whose
// values were read. Only the stop of a discovery run and the lock of access
// level 3 pass at once: they carry nothing of any controller's values.
class IdentityGate
{
public:
    enum class Verdict {
        NeedsMore,       // the next read of the check follows
        SameController,  // the one that was read: writes may go on
        OtherController, // another one: nothing more is written to it
    };

    // The controller whose values the last complete read brought in, every
    // exchange of it answered at once.
    void trust(const ControllerIdentity& identity);
    // Whoever answers next may be another controller.
    void raiseDoubt() { doubt = true; }
    bool isInDoubt() const { return doubt; }
    // A controller has been read: there is one to tell others from.
    bool isKnown() const { return readIdentity.isKnown(); }
    // Another controller answered and has not been read completely since.
    bool refusesWrites() const { return otherAnswers; }
    // The frame may go out now; otherwise identify the controller first
    // (or refuse when another one is known to answer).
    bool letsPass(const QByteArray& frame) const;
    // A write of 0 to register 481 or 509, alone.
    static bool isSafetyCommand(const QByteArray& frame);

    // The check: reads of (count, address), the firmware first.
    void beginCheck();
    bool isChecking() const { return checking; }
    QPair<int, int> takeNextRead();
    // The registers of the answer to the last read taken.
    Verdict takeAnswer(int address, const QVector<int>& values);
    void endCheck();

private:
    ControllerIdentity readIdentity;
    bool doubt = false;
    bool otherAnswers = false;
    bool checking = false;
    QVector<QPair<int, int>> pendingReads;
    QMap<int, int> answered;
};

#endif // IDENTITYGATE_H
