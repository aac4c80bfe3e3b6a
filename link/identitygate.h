#ifndef IDENTITYGATE_H
#define IDENTITYGATE_H

#include "controlleridentity.h"

#include <QByteArray>

// Decides which write frames, and which reads, may leave the link. A cable
// moved from one controller to another behind an adapter that stays plugged
// in shows only as a silence; after one, a write frame, sent first or sent
// again, waits until the controller that answers has been identified
// (IdentityCheck) as the one whose values were read, and so does a read
// whose answer decides something. Only a write of 0 to the discovery run
// or of the lock of access level 3 that is asked for passes at once: they
// carry nothing of any controller's values. (The stop a test leaves owed
// goes by the link's own rule, to the controller it stops.)
//
// Another controller that answers is refused the write it was about to get,
// not every write after it: the gate stays in doubt, so that the next write
// asks again and the controller that was read, answering again, is served.
class IdentityGate
{
public:
    // The controller whose values the last complete read brought in; whoever
    // answers now is that one.
    void trust(const ControllerIdentity& identity);
    ControllerIdentity trusted() const { return readIdentity; }
    // Whoever answers next may be another controller.
    void raiseDoubt()
    {
        doubt = true;
        found = ControllerIdentity();
    }
    bool isInDoubt() const { return doubt; }
    // A controller has been read: there is one to tell others from.
    bool isKnown() const { return readIdentity.isKnown(); }
    // Whose answers come now, as far as the link can tell: the controller
    // that was read, unless an exchange failed since and no check has found
    // it answering again; unknown then.
    ControllerIdentity answering() const { return doubt ? ControllerIdentity() : readIdentity; }
    // Whose answers come now as a check or a complete read found it, the
    // controller that was read or another one; unknown after an exchange
    // failed until one of them says who answers.
    ControllerIdentity identified() const { return found; }
    // An exchange failed (or the cable may have moved unseen) and no check
    // has said who answers since.
    bool isAnsweringUnknown() const { return doubt && !found.isKnown(); }
    // The frame may go out now; otherwise identify the controller first.
    bool letsPass(const QByteArray& frame) const;
    // The same for a read: one that only shows a value goes at once, one
    // whose answer decides something (a box, a write, a test's outcome)
    // is held as a write is.
    bool letsReadPass(bool decides) const { return !decides || !doubt || !readIdentity.isKnown(); }
    // A write of 0 to register 481 or 509, alone.
    static bool isSafetyCommand(const QByteArray& frame);

    // A check found this controller answering: true when it is the one that
    // was read, and then the doubt is gone. Another one stays identified
    // until the next failed exchange; writes still wait for the one read.
    bool takeIdentity(const ControllerIdentity& answering);

private:
    ControllerIdentity readIdentity;
    ControllerIdentity found;
    bool doubt = false;
};

#endif // IDENTITYGATE_H
