#include "readallepochs.h"

#include "frameword.h"

#include <QMap>

#include <algorithm>

namespace {

const int identityAddresses[] = {256, 237, 238, 1881, 2017};

} // namespace

void ReadAllEpochs::begin(const ControllerIdentity& reference)
{
    epochs = {Epoch{reference, {}}};
}

void ReadAllEpochs::beginEpoch()
{
    // A stretch that brought nothing is no controller's: it starts again.
    if (!epochs.isEmpty() && epochs.constLast().blocks.isEmpty())
        epochs.last().checked = ControllerIdentity();
    else
        epochs.append(Epoch());
}

void ReadAllEpochs::identify(const ControllerIdentity& identity)
{
    if (epochs.isEmpty())
        epochs.append(Epoch());
    epochs.last().checked = identity;
}

void ReadAllEpochs::take(int address, int count, const QByteArray& reply)
{
    if (epochs.isEmpty())
        epochs.append(Epoch());
    epochs.last().blocks.append({address, count, reply});
}

bool ReadAllEpochs::holdsBlocks() const
{
    return std::any_of(epochs.cbegin(), epochs.cend(),
                       [](const Epoch& epoch) { return !epoch.blocks.isEmpty(); });
}

bool ReadAllEpochs::isSplit() const
{
    return std::count_if(epochs.cbegin(), epochs.cend(),
                         [](const Epoch& epoch) { return !epoch.blocks.isEmpty(); })
        > 1;
}

bool ReadAllEpochs::holdsTwoControllers() const
{
    ControllerIdentity first;
    for (const Epoch& epoch : epochs) {
        const ControllerIdentity identity = epoch.identity();
        if (!identity.isKnown())
            continue;
        if (!first.isKnown())
            first = identity;
        else if (!identity.isSameController(first))
            return true;
    }
    return false;
}

ControllerIdentity ReadAllEpochs::newestIdentity() const
{
    return epochs.isEmpty() ? ControllerIdentity() : epochs.constLast().identity();
}

int ReadAllEpochs::registerValue(int address) const
{
    for (auto epoch = epochs.crbegin(); epoch != epochs.crend(); ++epoch) {
        for (auto block = epoch->blocks.crbegin(); block != epoch->blocks.crend(); ++block) {
            if (address >= block->address && address < block->address + block->count)
                return readReplyValue(block->reply, address - block->address);
        }
    }
    return -1;
}

QVector<QPair<int, int>> ReadAllEpochs::takeUnidentifiedBlocks()
{
    QVector<QPair<int, int>> again;
    if (!isSplit())
        return again;
    for (Epoch& epoch : epochs) {
        if (epoch.blocks.isEmpty() || epoch.identity().isKnown())
            continue;
        for (const Block& block : qAsConst(epoch.blocks))
            again.append(qMakePair(block.count, block.address));
        epoch.blocks.clear();
    }
    // Emptied stretches are gone; the one under way stays.
    for (int i = epochs.size() - 2; i >= 0; --i) {
        if (epochs.at(i).blocks.isEmpty())
            epochs.remove(i);
    }
    return again;
}

QVector<ReadAllEpochs::Block> ReadAllEpochs::blocks() const
{
    QMap<int, Block> byAddress;
    for (const Epoch& epoch : epochs) {
        for (const Block& block : epoch.blocks)
            byAddress.insert(block.address, block);
    }
    return byAddress.values().toVector();
}

ControllerIdentity ReadAllEpochs::Epoch::identity() const
{
    QMap<int, int> registers;
    for (const Block& block : blocks) {
        for (const int address : identityAddresses) {
            if (address >= block.address && address < block.address + block.count)
                registers.insert(address, readReplyValue(block.reply, address - block.address));
        }
    }
    const ControllerIdentity own = ControllerIdentity::fromRegisters(registers);
    return own.isKnown() ? own : checked;
}
