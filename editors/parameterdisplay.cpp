#include "parameterdisplay.h"
#include "ui_parameterdisplay.h"

#include "parameter.h"
#include "parameterlabels.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

const double boxMaximum = 65535.0;
const double signedBoxMinimum = -9999.0;

} // namespace

ParameterDisplay::ParameterDisplay(Parameter* parameter, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_ParameterDisplay)
{
    ui->setupUi(this);
    QDoubleSpinBox* box = ui->value;
    box->setDecimals(parameter->numDecimals());
    const QString units = parameter->getUnits();
    box->setSuffix(units.isEmpty() ? QString() : QLatin1Char(' ') + units);
    box->setMaximum(boxMaximum);
    box->setKeyboardTracking(false);
    if (!parameter->isWriteable()) {
        box->setReadOnly(true);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    }
    if (parameter->isSigned())
        box->setMinimum(signedBoxMinimum);
    baseMinimum = box->minimum();
    showValue(parameter->getValue());

    connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), parameter,
            &Parameter::setValue);
    // What the parameter announces is only shown: the box must not clamp or
    // round it and hand the result back as if the user had typed it.
    connect(parameter, &Parameter::displayChanged, this, &ParameterDisplay::showValue);

    ParameterLabels::labelRow(ui->name, ui->addr, parameter, parameter->getName());
}

ParameterDisplay::~ParameterDisplay()
{
    delete ui;
}

// A value beyond the box's own range widens it, so the row shows what the
// register holds rather than the box's limit.
void ParameterDisplay::showValue(double value)
{
    if (!std::isfinite(value))
        return;
    QDoubleSpinBox* box = ui->value;
    const QSignalBlocker blocker(box);
    box->setRange(std::min(baseMinimum, value), std::max(boxMaximum, value));
    box->setValue(value);
}
