#ifndef KEPTMARKS_H
#define KEPTMARKS_H

#include "controlleridentity.h"

#include <QList>
#include <QMap>

#include <optional>

// The marks kept for a controller because its RAM holds values its flash
// does not, told to the user as staying until a save to flash is
// confirmed. While another controller is shown they are put aside with
// what that controller's RAM was taken to hold: the value each mark was
// kept for. When it is shown again, its next read tells whether it still
// holds them; a read that finds another value replaced the value kept (the
// write never reached the controller, or it was switched off since), and
// that is never left untold.
class KeptMarks
{
public:
    // Another controller is shown: the flash values of the registers kept
    // marked for this one, and what its RAM was taken to hold of them.
    void putAside(const ControllerIdentity& controller, const QMap<int, int>& flashValues,
                  const QMap<int, int>& ramValues);
    // The controller is shown again: the flash values put aside for it
    // (none when nothing was). What its RAM was taken to hold of them waits
    // for its next read.
    QMap<int, int> takeBack(const ControllerIdentity& controller);

    // A read of the controller shown found raw in the register; shownKept:
    // the value the page shows as kept outside its flash, if any. True when
    // the read replaced the value the register was kept marked for.
    bool readReplaces(int address, int raw, std::optional<int> shownKept);
    // The RAM of the controller shown is known again (read or written), or
    // it saved everything to flash: nothing kept waits for a read.
    void forgetDue(int address) { due.remove(address); }
    void forgetDue() { due.clear(); }

private:
    struct Aside
    {
        ControllerIdentity controller;
        QMap<int, int> flashValues;
        QMap<int, int> ramValues;
    };
    QList<Aside> aside;
    // What the RAM of the controller shown was taken to hold, of its marks
    // taken back, until it is read.
    QMap<int, int> due;
};

#endif // KEPTMARKS_H
