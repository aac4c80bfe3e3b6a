#include "parameternotes.h"

#include "bitvector.h"
#include "parameter.h"

namespace {

QString levelSuffix(const Parameter* parameter)
{
    const int level = parameter->getLevel();
    return level == 0 ? QString() : QStringLiteral(" Level ") + QString::number(level);
}

// Units are stored without a leading blank.
QString unitsSuffix(const Parameter* parameter)
{
    const QString units = parameter->getUnits();
    return units.isEmpty() ? QString() : QLatin1Char(' ') + units;
}

QString enumNotes(const Parameter* parameter)
{
    const int raw = parameter->getRegisterValue();
    const QMap<int, QString>* labels = parameter->getEnumDefs();
    QString label = labels ? labels->value(raw) : QString();
    if (label.isEmpty())
        label = QStringLiteral("not defined");
    return parameter->getName() + QStringLiteral(": ") + QString::number(raw) + QLatin1Char('[')
        + label + unitsSuffix(parameter) + QLatin1Char(']') + levelSuffix(parameter);
}

// One line per bit, indented to sit below the Notes element.
QString bitVectorNotes(const Parameter* parameter)
{
    const int raw = parameter->getRegisterValue();
    const QMap<int, QString>* labels = static_cast<const BitVector*>(parameter)->getBitDefs();
    QString notes = parameter->getName() + QStringLiteral(": ") + levelSuffix(parameter);
    for (int bit = 0; bit < 16; ++bit) {
        notes += QStringLiteral("\n\t\t\t") + QString::number(bit)
            + QLatin1String(bit < 10 ? "  " : " ") + QStringLiteral("- ")
            + QString::number((raw >> bit) & 1) + QStringLiteral(" [")
            + (labels ? labels->value(bit) : QString()) + QLatin1Char(']');
    }
    return notes + QStringLiteral("\n\t\t");
}

QString numberNotes(const Parameter* parameter)
{
    const QString scale = parameter->getScaleFormulaString();
    QString notes = parameter->getName() + QStringLiteral(": ")
        + QString::number(parameter->getValue(), 'g', 6) + unitsSuffix(parameter);
    if (scale != QLatin1String("1"))
        notes += QStringLiteral(" (scale = ") + scale + QLatin1Char(')');
    return notes + levelSuffix(parameter);
}

} // namespace

QString parameterNotes(const Parameter* parameter)
{
    switch (parameter->getType()) {
    case ParameterDefinition::TypeEnum:
        return enumNotes(parameter);
    case ParameterDefinition::TypeBitVector:
        return bitVectorNotes(parameter);
    default:
        return numberNotes(parameter);
    }
}
