#include "bitparameterdisplay.h"
#include "ui_bitparameterdisplay.h"

#include "bitvector.h"
#include "parameterlabels.h"

#include <QSignalBlocker>

BitParameterDisplay::BitParameterDisplay(BitVector* parameter, int bit, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_BitParameterDisplay)
    , parameter(parameter)
    , bit(bit)
{
    ui->setupUi(this);
    ui->value->setEnabled(parameter->isWriteable());
    ui->value->setChecked(parameter->getBit(bit));

    connect(ui->value, &QCheckBox::stateChanged, this, &BitParameterDisplay::setValue);
    connect(parameter, &Parameter::displayChanged, this, &BitParameterDisplay::setDisplay);

    ParameterLabels::labelRow(ui->name, ui->addr, parameter,
                              ParameterLabels::bitName(parameter, bit));
}

BitParameterDisplay::~BitParameterDisplay()
{
    delete ui;
}

void BitParameterDisplay::setValue(int value)
{
    if (value == Qt::Unchecked)
        parameter->unsetBit(bit);
    else if (value == Qt::Checked)
        parameter->setBit(bit);
    // Announced after the row's own change so the model compares the value
    // with the saved one, and every row of this register shows its bit.
    emit parameter->valueChanged();
    emit parameter->displayChanged(parameter->getValue());
}

void BitParameterDisplay::setDisplay(double)
{
    const QSignalBlocker blocker(ui->value);
    ui->value->setChecked(parameter->getBit(bit));
}
