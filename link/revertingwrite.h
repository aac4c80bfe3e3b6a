#ifndef REVERTINGWRITE_H
#define REVERTINGWRITE_H

#include <QObject>

class Kelvara;
class KelvaraCom;

// A write of one register that either reaches the controller or is undone:
// when it fails (no answer, a refusal, or work dropped by a failure before
// it), the register goes back in the model to what the controller holds, so
// that no later save sends a change the user was told had failed.
//
// Owned by the link until the outcome is known, so it outlasts the dialog
// that asked for the write. A write whose answer was lost may have reached
// the controller: its edit goes back to the value in the controller's flash,
// and stays marked until a read or a save to flash tells.
class RevertingWrite : public QObject
{
    Q_OBJECT

public:
    // Writes the register's present value.
    static void start(KelvaraCom* link, Kelvara* model, int address);

private:
    RevertingWrite(KelvaraCom* link, Kelvara* model, int address);

    void takeSuccess();
    void takeFailure();
    // The controller does not hold the model's value (yet).
    bool unwritten() const;

    KelvaraCom* link;
    Kelvara* model;
    int address;
};

#endif // REVERTINGWRITE_H
