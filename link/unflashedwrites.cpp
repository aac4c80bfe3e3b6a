#include "unflashedwrites.h"

void UnflashedWrites::noteSent(const ControllerIdentity& to, int address, int raw, int flashRaw)
{
    if ((to.isKnown() || writtenTo.isKnown()) && !to.isSameController(writtenTo)) {
        // Another controller was read: what the last one holds was told.
        writes.clear();
        unanswered.clear();
    }
    writtenTo = to;
    // The flash value of the first write stands: later ones did not reach flash either.
    const int flash = writes.contains(address) ? writes.value(address).flashRaw : flashRaw;
    writes.insert(address, Write{address, raw, flash, false});
}

void UnflashedWrites::noteAnswered(int address)
{
    auto it = writes.find(address);
    if (it != writes.end())
        it->answered = true;
    unanswered.remove(address);
}

void UnflashedWrites::noteRefused(int address)
{
    auto it = writes.find(address);
    if (it != writes.end() && !it->answered)
        writes.erase(it);
}

void UnflashedWrites::noteFlashSaveConfirmed()
{
    writes.clear();
    unanswered.clear();
    flashSave = FlashSave::NotSent;
}

QList<UnflashedWrites::Write> UnflashedWrites::takeWrites()
{
    const QList<Write> taken = writes.values();
    writes.clear();
    for (const Write& write : taken) {
        if (write.answered)
            unanswered.remove(write.address);
        else
            unanswered.insert(write.address);
    }
    return taken;
}
