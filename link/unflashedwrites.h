#ifndef UNFLASHEDWRITES_H
#define UNFLASHEDWRITES_H

#include "controlleridentity.h"

#include <QList>
#include <QMap>
#include <QSet>

// What the link sent to the controller that was read, of the registers kept
// in flash, that no confirmed save to flash covers yet. A write whose answer
// was lost may have been taken as well as one that was answered: both are
// held outside flash until a save to flash is confirmed, and a read that
// shows the value sent must not clear them. The model is told once the
// operation ends without that confirmation (takeWrites()).
class UnflashedWrites
{
public:
    // What became of the last save to flash sent.
    enum class FlashSave {
        NotSent,     // none since the writes began: the flash holds what it held
        Unconfirmed, // sent, and no answer told whether the controller saved
        Refused,     // the controller answered that it did not save
    };
    struct Write
    {
        int address;
        int raw;      // the value sent
        int flashRaw; // what the controller's flash held before
        bool answered;
    };

    // A frame left for the controller: raw is sent to address, whose flash
    // holds flashRaw as far as known.
    void noteSent(const ControllerIdentity& to, int address, int raw, int flashRaw);
    void noteAnswered(int address);
    // The controller answered that it did not take the write.
    void noteRefused(int address);
    // A write batch or a save to flash begins: no save to flash of its own
    // has been sent yet.
    void forgetFlashSave() { flashSave = FlashSave::NotSent; }
    void noteFlashSaveSent() { flashSave = FlashSave::Unconfirmed; }
    void noteFlashSaveRefused() { flashSave = FlashSave::Refused; }
    // The controller confirmed the save: everything sent is in its flash.
    void noteFlashSaveConfirmed();
    FlashSave lastFlashSave() const { return flashSave; }

    bool isEmpty() const { return writes.isEmpty(); }
    ControllerIdentity controller() const { return writtenTo; }
    // The writes, handed over once; those not answered are kept to be told.
    QList<Write> takeWrites();
    // The writes taken whose answer never came, until one is answered or a
    // save to flash is confirmed.
    QList<int> unansweredWrites() const { return unanswered.values(); }

private:
    QMap<int, Write> writes;
    ControllerIdentity writtenTo;
    QSet<int> unanswered;
    FlashSave flashSave = FlashSave::NotSent;
};

#endif // UNFLASHEDWRITES_H
