#ifndef BITVECTOR_H
#define BITVECTOR_H

#include "parameter.h"

// A register of up to sixteen independent flags, each with a label. Only
// labelled bits can be read or changed through this class.
//
// isValid() hides the base operation without being virtual.
class BitVector : public Parameter
{
public:
    explicit BitVector(ParameterDefinition* definition);

    QMap<int, QString>* getBitDefs() const { return definition()->getBitDefs(); }

    bool getBit(int bit) const;
    // Emit valueChanged() and displayChanged(raw value) when the value changed.
    void setBit(int bit);
    void unsetBit(int bit);
    // Emits both signals on every call with a labelled bit.
    void toggleBit(int bit);

    bool isValid() const;

private:
    bool isLabelled(int bit) const;
    void storeBits(quint16 bits);
};

#endif // BITVECTOR_H
