#include "parameterdisplay.h"
#include "ui_parameterdisplay.h"

#include "parameter.h"
#include "parameterlabels.h"

#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

ParameterDisplay::ParameterDisplay(Parameter* parameter, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_ParameterDisplay)
    , m_parameter(parameter)
{
    ui->setupUi(this);
    QDoubleSpinBox* box = ui->value;
    box->setDecimals(parameter->numDecimals());
    const QString units = parameter->getUnits();
    box->setSuffix(units.isEmpty() ? QString() : QLatin1Char(' ') + units);
    box->setKeyboardTracking(false);
    if (!parameter->isWriteable()) {
        box->setReadOnly(true);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    }
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

// The box takes what the user may type, and a value beyond that widens it,
// so the row shows what the register holds rather than the box's limit.
void ParameterDisplay::showValue(double value)
{
    if (!std::isfinite(value))
        return;
    double low = 0.0;
    double high = 0.0;
    m_parameter->typingRange(&low, &high);
    QDoubleSpinBox* box = ui->value;
    const QSignalBlocker blocker(box);
    box->setRange(std::min(low, value), std::max(high, value));
    box->setValue(value);
}
