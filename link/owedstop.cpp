#include "owedstop.h"

void OwedStop::owe(const ControllerIdentity& controller)
{
    owedTo = controller;
    owed = true;
    heard = false;
    current = Fate::Owed;
}

void OwedStop::cancel(const ControllerIdentity& controller)
{
    if (owed && owedTo.isKnown() && controller.isKnown() && !controller.isSameController(owedTo))
        return;
    owed = false;
    heard = false;
    current = Fate::None;
}

bool OwedStop::goesTo(const ControllerIdentity& answering) const
{
    return owed && (!owedTo.isKnown() || owedTo.isSameController(answering));
}

void OwedStop::noteUnanswered()
{
    if (owed)
        current = Fate::Unanswered;
}

void OwedStop::noteAnswered(bool taken)
{
    if (!owed)
        return;
    current = Fate::Owed;
    heard = !taken;
}

void OwedStop::noteReadBack(int value)
{
    if (!owed)
        return;
    if (value == 0) {
        owed = false;
        heard = false;
        current = Fate::Delivered;
        return;
    }
    heard = true;
    current = Fate::Owed;
}
