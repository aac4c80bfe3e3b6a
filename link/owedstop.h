#ifndef OWEDSTOP_H
#define OWEDSTOP_H

#include "controlleridentity.h"

// A stop (0 to register 481) owed to the controller whose motor discovery
// run a test left: a measurement or a spin that may still be running. It
// goes only to that controller, once a check or a complete read has found
// it answering with no exchange lost since, and it ends only when that
// controller's read-back, right after a stop it answered, reports 481 = 0.
// What became of it is its fate, as far as the frames tell.
class OwedStop
{
public:
    enum class Fate {
        None,       // no stop owed since the link was made
        Owed,       // not sent yet, or answered but not confirmed yet
        Unanswered, // its last send got no answer: which controller took it is not known
        Delivered,  // its controller's read-back reported the run ended
    };

    // Owed to this controller; unknown: whichever answers.
    void owe(const ControllerIdentity& controller);
    // A new run of the controller takes over the register; a stop owed to
    // another one stays.
    void cancel(const ControllerIdentity& controller);

    bool isOwed() const { return owed; }
    ControllerIdentity controller() const { return owedTo; }
    // It may go to the controller a check found answering.
    bool goesTo(const ControllerIdentity& answering) const;
    // Its controller answered it without confirming: it goes again at the
    // next connection check only, so that a controller that keeps running
    // is not flooded.
    bool waitsForCheck() const { return owed && heard; }
    Fate fate() const { return current; }

    // The stop goes out now.
    void noteSent() { heard = false; }
    void noteUnanswered();
    // Its controller answered the stop: taken, or refused.
    void noteAnswered(bool taken);
    // The read-back that followed: 481's value, or no answer.
    void noteReadBack(int value);
    void noteReadBackLost()
    {
        if (owed)
            current = Fate::Owed;
    }

private:
    ControllerIdentity owedTo;
    bool owed = false;
    bool heard = false;
    Fate current = Fate::None;
};

#endif // OWEDSTOP_H
