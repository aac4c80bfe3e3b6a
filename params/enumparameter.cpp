#include "enumparameter.h"

#include "formula.h"
#include "numericconversion.h"

#include <QStringList>

#include <cmath>

EnumParameter::EnumParameter(ParameterDefinition* definition)
    : Parameter(definition, nullptr)
{
}

bool EnumParameter::isLabelled(int value) const
{
    const QMap<int, QString>* labels = getEnumDefs();
    return labels && labels->contains(value);
}

bool EnumParameter::takesValue(double v) const
{
    return std::isfinite(v) && isLabelled(truncateToInt(roundValue(v)));
}

QString EnumParameter::listedValues() const
{
    QStringList values;
    if (const QMap<int, QString>* labels = getEnumDefs()) {
        for (auto it = labels->constBegin(); it != labels->constEnd(); ++it)
            values << QString::number(it.key());
    }
    return values.join(QStringLiteral(", "));
}

void EnumParameter::setValue(double v)
{
    if (!getScaleFormula() || !isWriteable())
        return;
    const StoreScope scope(this);
    if (std::isnan(v)) {
        // Not a value at all: set the combo box back.
        emit valueChanged();
        announceDisplay(getValue());
        return;
    }
    const double rounded = roundValue(v);
    if (!isLabelled(truncateToInt(rounded)))
        return;
    double min = 0.0;
    double max = 0.0;
    if ((minimumValue(&min) && v < min) || (maximumValue(&max) && v > max)) {
        // Sets back a combo box that offered the value.
        emit valueChanged();
        announceDisplay(getValue());
        return;
    }
    setRegisterValue(getScaleFormula()->toMemory(rounded));
}

void EnumParameter::setRegisterValue(int raw)
{
    if (!isLabelled(raw))
        return;
    if (isSigned())
        raw = qBound(-32768, raw, 32767);
    else
        raw = qMin(raw, 65535);
    const StoreScope scope(this);
    storeRegisterValue(raw);
    emit valueChanged();
    announceDisplay(getValue());
}
