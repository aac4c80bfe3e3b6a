#include "bitvector.h"

BitVector::BitVector(ParameterDefinition* definition)
    : Parameter(definition, nullptr)
{
}

// Bits outside the 16-bit register are never labelled, whatever the file says.
bool BitVector::isLabelled(int bit) const
{
    const QMap<int, QString>* labels = getBitDefs();
    return bit >= 0 && bit < 16 && labels && labels->contains(bit);
}

bool BitVector::getBit(int bit) const
{
    return isLabelled(bit) && ((getRegisterValue() >> bit) & 1);
}

void BitVector::storeBits(quint16 bits)
{
    const StoreScope scope(this);
    storeRegisterValue(isSigned() ? static_cast<qint16>(bits) : bits);
    emit valueChanged();
    announceDisplay(getRegisterValue());
}

void BitVector::setBit(int bit)
{
    if (!isLabelled(bit))
        return;
    const auto bits = static_cast<quint16>(getRegisterValue());
    const auto changed = static_cast<quint16>(bits | (1u << bit));
    if (changed != bits)
        storeBits(changed);
}

void BitVector::unsetBit(int bit)
{
    if (!isLabelled(bit))
        return;
    const auto bits = static_cast<quint16>(getRegisterValue());
    const auto changed = static_cast<quint16>(bits & ~(1u << bit));
    if (changed != bits)
        storeBits(changed);
}

void BitVector::toggleBit(int bit)
{
    if (!isLabelled(bit))
        return;
    storeBits(static_cast<quint16>(getRegisterValue() ^ (1u << bit)));
}

bool BitVector::isValid() const
{
    return getScaleFormula() && definition() && getType() == ParameterDefinition::TypeBitVector;
}
