#include "parameterlabels.h"

#include "bitvector.h"
#include "parameter.h"

#include <QLabel>

namespace ParameterLabels {

QString marks(const Parameter* parameter)
{
    QString text;
    if (parameter->getLevel() == 3)
        text.prepend(QChar(0x00B3));
    if (parameter->getType() == ParameterDefinition::TypeDependent)
        text.prepend(QChar(0x2020));
    return text;
}

QString bitName(const BitVector* parameter, int bit)
{
    const QMap<int, QString>* labels = parameter->getBitDefs();
    // Concatenated rather than arg(), which would expand a "%1" in a name.
    return parameter->getName() + QLatin1Char('[')
        + QStringLiteral("%1").arg(bit, 2, 10, QLatin1Char('0')) + QStringLiteral("]: ")
        + (labels ? labels->value(bit) : QString());
}

void labelRow(QLabel* name, QLabel* address, const Parameter* parameter, const QString& text)
{
    name->setText(marks(parameter) + text);
    const QString prefix = QStringLiteral("Addr: ");
    address->setText(prefix + QString::number(parameter->getAddress()));
    const int widest = address->fontMetrics().horizontalAdvance(prefix + QStringLiteral("2047"));
    if (widest > address->minimumWidth())
        address->setFixedWidth(widest);
}

} // namespace ParameterLabels
