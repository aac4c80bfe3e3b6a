#ifndef TOLDMARKS_H
#define TOLDMARKS_H

#include "controlleridentity.h"

#include <QList>
#include <QPair>
#include <QSet>

// The marks a box told the user stay, per controller: values the
// controller holds, or may hold, outside its flash. A Read the user asks
// for replaces edits without a word, but not these: one the controller
// turns out not to hold is named.
class ToldMarks
{
public:
    void note(const ControllerIdentity& controller, const QList<int>& addresses);
    // The controller confirmed a save to flash: every mark told is covered.
    void forget(const ControllerIdentity& controller);
    // A read of the controller found another value than the one kept: true,
    // once, when a box told that the register stays marked.
    bool take(const ControllerIdentity& controller, int address);

private:
    QList<QPair<ControllerIdentity, QSet<int>>> told;
};

#endif // TOLDMARKS_H
