#ifndef ENUMPARAMETER_H
#define ENUMPARAMETER_H

#include "parameter.h"

// A register holding one of a few coded values, each with a label.
//
// setValue() and setRegisterValue() hide the base operations without being
// virtual: only the enum editors call these versions, which accept nothing
// but a labelled value. Replies, files and snapshots store through a
// Parameter pointer and take the base path.
class EnumParameter : public Parameter
{
public:
    explicit EnumParameter(ParameterDefinition* definition);

    QMap<int, QString>* getEnumDefs() const { return definition()->getEnumDefs(); }

    void setValue(double v);
    void setRegisterValue(int raw);

    // The display value, rounded to the decimals, is one of the labelled
    // values (whatever the limits say).
    bool takesValue(double v) const;
    // The labelled values, e.g. "12, 96, 192".
    QString listedValues() const;
    // The raw value is one of the labelled values.
    bool isLabelled(int value) const;
};

#endif // ENUMPARAMETER_H
