#include "enumparameterdisplay.h"
#include "ui_enumparameterdisplay.h"

#include "enumparameter.h"
#include "numericconversion.h"
#include "parameterlabels.h"

#include <QListView>
#include <QSignalBlocker>

EnumParameterDisplay::EnumParameterDisplay(EnumParameter* parameter, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui_EnumParameterDisplay)
    , parameter(parameter)
{
    ui->setupUi(this);
    QComboBox* box = ui->value;
    auto* list = new QListView(box);
    box->setView(list);
    if (const QMap<int, QString>* labels = parameter->getEnumDefs()) {
        for (auto it = labels->constBegin(); it != labels->constEnd(); ++it) {
            const QString key = QString::number(it.key());
            box->addItem(QLatin1Char('[') + key + QLatin1Char(']') + it.value(), it.key());
        }
    }
    list->setMinimumWidth(list->sizeHintForColumn(0));
    // The form's width holds most texts; a longer one, or larger fonts,
    // widen the box, so its text is never cut.
    box->setMaximumWidth(QWIDGETSIZE_MAX);
    box->setEnabled(parameter->isWriteable());
    setDisplay(parameter->getValue());

    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &EnumParameterDisplay::setValue);
    connect(parameter, &Parameter::displayChanged, this, &EnumParameterDisplay::setDisplay);

    ParameterLabels::labelRow(ui->name, ui->addr, parameter, parameter->getName());
}

EnumParameterDisplay::~EnumParameterDisplay()
{
    delete ui;
}

void EnumParameterDisplay::setValue(int index)
{
    // No item: nothing the user chose, so nothing to write.
    if (index < 0)
        return;
    parameter->setValue(ui->value->itemData(index).toInt());
    // Announced after the row's own change so the model compares the value
    // with the saved one; the real value, so a refused key is set back.
    emit parameter->valueChanged();
    emit parameter->displayChanged(parameter->getValue());
}

void EnumParameterDisplay::setDisplay(double value)
{
    // Only shown: a selection made here is no edit to write back.
    const QSignalBlocker blocker(ui->value);
    ui->value->setCurrentIndex(ui->value->findData(truncateToInt(value)));
}
