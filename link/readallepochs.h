#ifndef READALLEPOCHS_H
#define READALLEPOCHS_H

#include "controlleridentity.h"

#include <QByteArray>
#include <QPair>
#include <QVector>

// The blocks of one read of all parameters, kept until all are in, grouped
// by the stretch of exchanges they came in. An exchange that fails (a
// silence, a reply cut short) ends a stretch: the cable may have moved to
// another controller then, and whoever answers after it is identified
// before the next block is kept. Blocks of one stretch are one controller's;
// stretches of the same controller make one read of it, and the blocks of a
// stretch whose controller is not known are read again.
class ReadAllEpochs
{
public:
    struct Block
    {
        int address;
        int count;
        QByteArray reply; // as it came: slave, function, byte count, values, CRC
    };

    // A try of the read begins. reference: the controller that answers now,
    // when known (the one last read completely, nothing failed since).
    void begin(const ControllerIdentity& reference = ControllerIdentity());
    void clear() { epochs.clear(); }
    // An exchange failed: who answers from now on is not known.
    void beginEpoch();
    // A check identified who answers in the stretch under way.
    void identify(const ControllerIdentity& identity);
    void take(int address, int count, const QByteArray& reply);

    // Blocks are kept: a stretch that ends now may leave two controllers'.
    bool holdsBlocks() const;
    // More than one stretch holds blocks.
    bool isSplit() const;
    // Two stretches are known to be different controllers.
    bool holdsTwoControllers() const;
    // The controller of the stretch under way, when known.
    ControllerIdentity newestIdentity() const;
    // The raw value of a register in the blocks kept (the newest first);
    // -1 when none holds it.
    int registerValue(int address) const;

    // When more than one stretch holds blocks, the blocks of those whose
    // controller is not known, (count, address): they are dropped, to be
    // read again.
    QVector<QPair<int, int>> takeUnidentifiedBlocks();
    // Every block kept, in address order, the newest where one was read
    // twice.
    QVector<Block> blocks() const;

private:
    struct Epoch
    {
        ControllerIdentity checked; // by a check, or the reference
        QVector<Block> blocks;
        // Its own blocks tell, when they hold the whole identity.
        ControllerIdentity identity() const;
    };

    QVector<Epoch> epochs;
};

#endif // READALLEPOCHS_H
