#include "spinboxwrapper.h"

#include <QDoubleSpinBox>
#include <QSignalBlocker>

#include <cmath>
#include <limits>

namespace {

// 30 / 3.14: the controller's documentation takes pi as 3.14.
const double torquePerAmpereKv = 9.554140127388534;

// Nearest tenth, halves away from zero; infinities and NaN pass through.
double roundToTenth(double value)
{
    return std::round(value * 10.0) / 10.0;
}

// Without a Kv there is no torque to show: the box keeps its own units
// rather than reading "inf" or "nan".
QString torqueSuffix(double target, double reference, const QString& baseSuffix)
{
    const double torque = roundToTenth(target * torquePerAmpereKv / reference);
    if (!std::isfinite(torque))
        return baseSuffix;
    return baseSuffix + QStringLiteral("  (") + QString::number(torque, 'f', 1)
        + QStringLiteral(" Nm)");
}

QString multiplierSuffix(double target, double reference, const QString&)
{
    return QStringLiteral(" (") + QString::number(roundToTenth(reference * target), 'f', 1)
        + QStringLiteral(" X)");
}

// Whole watts in 64 bits: large boxes multiply beyond the range of an int.
QString powerSuffix(double target, double reference, const QString&)
{
    const double power = std::round(reference * target);
    const double limit = static_cast<double>(std::numeric_limits<qint64>::max());
    const QString text = std::isfinite(power) && std::fabs(power) < limit
        ? QString::number(static_cast<qint64>(power))
        : QString::number(power);
    return QStringLiteral(" (") + text + QStringLiteral(" W)");
}

} // namespace

SpinBoxWrapper::SpinBoxWrapper(QDoubleSpinBox* reference, QDoubleSpinBox* target,
                               SpinBoxWrapper::WrapperType type)
    : reference(reference)
    , target(target)
    , baseSuffix(target->suffix())
    , type(type)
{
    connectBoxes();
}

void SpinBoxWrapper::changeWrapperType(SpinBoxWrapper::WrapperType newType,
                                       QDoubleSpinBox* newReference)
{
    if (newType == type)
        return;
    disconnectBoxes();
    type = newType;
    reference = newReference;
    connectBoxes();
}

SpinBoxWrapper::UpdateSlot SpinBoxWrapper::updateSlotFor(SpinBoxWrapper::WrapperType kind)
{
    switch (kind) {
    case Torque:
        return &SpinBoxWrapper::spinBoxUpdateTorque;
    case Multiplier:
        return &SpinBoxWrapper::spinBoxUpdateMultiplier;
    case Power:
        return &SpinBoxWrapper::spinBoxUpdatePower;
    }
    return nullptr;
}

// Connects the update of the current kind to both boxes and runs it once.
void SpinBoxWrapper::connectBoxes()
{
    const UpdateSlot update = updateSlotFor(type);
    if (!update)
        return;
    for (QDoubleSpinBox* box : {target, reference})
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, update);
    (this->*update)();
}

void SpinBoxWrapper::disconnectBoxes()
{
    const UpdateSlot update = updateSlotFor(type);
    if (!update)
        return;
    for (QDoubleSpinBox* box : {target, reference})
        disconnect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, update);
}

void SpinBoxWrapper::spinBoxUpdateTorque()
{
    showFigure(torqueSuffix);
}

void SpinBoxWrapper::spinBoxUpdateMultiplier()
{
    showFigure(multiplierSuffix);
}

void SpinBoxWrapper::spinBoxUpdatePower()
{
    showFigure(powerSuffix);
}

// The boxes stay silent meanwhile, so neither their parameter bindings nor
// this wrapper hear of the new suffix.
void SpinBoxWrapper::showFigure(QString (*figure)(double, double, const QString&))
{
    const QSignalBlocker targetBlocker(target);
    const QSignalBlocker referenceBlocker(reference);
    target->setSuffix(figure(target->value(), reference->value(), baseSuffix));
}
