#include "customparameteredit.h"
#include "screenfit.h"
#include "ui_customparameteredit.h"

#include "bitparameterdisplay.h"
#include "bitvector.h"
#include "draggabletooltipmanager.h"
#include "enumparameter.h"
#include "enumparameterdisplay.h"
#include "kelvara.h"
#include "parameterdisplay.h"
#include "selectparameters.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>
#include <QVBoxLayout>

CustomParameterEdit::CustomParameterEdit(Kelvara* model, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_CustomParameterEdit)
    , model(model)
    , tooltipManager(new DraggableTooltipManager(this))
{
    ui->setupUi(this);
    auto* rows = new QVBoxLayout(ui->parameterList);
    rows->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Expanding));

    connect(ui->addParameters, &QPushButton::clicked, this, &CustomParameterEdit::showParameters);
    connect(ui->done, &QPushButton::clicked, this, &CustomParameterEdit::finishEditing);
    connect(ui->write, &QPushButton::clicked, this, &CustomParameterEdit::write);
    connect(ui->read, &QPushButton::clicked, this, &CustomParameterEdit::read);
    connect(model, &Kelvara::validated, ui->write, &QPushButton::setEnabled);

    ui->level_3_note->hide();
    ui->level_3_label->hide();
    ui->dependent_label->hide();
    if (!model->isValid())
        ui->write->setEnabled(false);
    ScreenFit::scaleDialog(this);
}

CustomParameterEdit::~CustomParameterEdit()
{
    tooltipManager->clearAll();
    delete tooltipManager;
    delete ui;
}

// Finishing, not only hiding, tells the owner that editing is over (the
// Dashboard's live polling waits for it).
void CustomParameterEdit::finishEditing()
{
    tooltipManager->clearAll();
    accept();
}

void CustomParameterEdit::showParameters()
{
    auto* picker = new SelectParameters(model, this);
    connect(picker, &SelectParameters::selectedParameters, this,
            &CustomParameterEdit::addSelectedParameters);
    picker->show();
}

void CustomParameterEdit::addSelectedParameters(QList<QPair<int, int>> addresses)
{
    for (const auto& key : addresses) {
        Parameter* parameter = model->getParameter(key.first);
        if (key.second != -1)
            addBitParameter(parameter, key.second);
        else if (parameter->getType() == ParameterDefinition::TypeEnum)
            addEnumParameter(parameter);
        else
            addParameter(parameter);
    }
    check_for_level_3_and_dependent();
}

void CustomParameterEdit::addParameter(Parameter* parameter)
{
    const int address = parameter->getAddress();
    if (parameterAddresses.contains(address))
        return;
    auto* row = new ParameterDisplay(parameter);
    tooltipManager->insertToolTipButton(row, address);
    insertRow(row, [this, address] { removeParameter(address); });
    parameterAddresses << address;
}

// A parameter that is no enum after all gets a number row.
void CustomParameterEdit::addEnumParameter(Parameter* parameter)
{
    auto* enumParameter = dynamic_cast<EnumParameter*>(parameter);
    if (!enumParameter) {
        addParameter(parameter);
        return;
    }
    const int address = parameter->getAddress();
    if (enumAddresses.contains(address))
        return;
    auto* row = new EnumParameterDisplay(enumParameter);
    tooltipManager->insertToolTipButton(row, address);
    insertRow(row, [this, address] { removeEnumParameter(address); });
    enumAddresses << address;
}

// A parameter that is no bit vector after all gets a number row.
void CustomParameterEdit::addBitParameter(Parameter* parameter, int bit)
{
    auto* bits = dynamic_cast<BitVector*>(parameter);
    if (!bits) {
        addParameter(parameter);
        return;
    }
    const int address = parameter->getAddress();
    const auto key = qMakePair(address, bit);
    if (bitKeys.contains(key))
        return;
    auto* row = new BitParameterDisplay(bits, bit);
    tooltipManager->insertToolTipButton(row, address, bit);
    insertRow(row, [this, address, bit] { removeBitParameter(address, bit); });
    bitKeys << key;
}

// Puts the row with its remove button at the bottom of the page. The
// button deletes the row once control is back in the event loop, after the
// key is forgotten.
void CustomParameterEdit::insertRow(QWidget* row, const std::function<void()>& forgetKey)
{
    // Its fonts and fixed sizes as those of the dialog's own form.
    ScreenFit::keepFontSizes(row);
    ScreenFit::scaleFixedSizes(row, ScreenFit::factor());
    auto* container = new QWidget;
    auto* layout = new QHBoxLayout(container);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->addWidget(row);
    auto* remove = new QPushButton(container);
    remove->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    remove->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Maximum);
    // Enter in a row's editor takes the typed value; it must not press this.
    remove->setAutoDefault(false);
    layout->addWidget(remove);

    connect(remove, &QPushButton::clicked, container, &QObject::deleteLater);
    connect(remove, &QPushButton::clicked, this, forgetKey);

    auto* rows = static_cast<QVBoxLayout*>(ui->parameterList->layout());
    rows->setSpacing(0);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->insertWidget(rows->count() - 1, container);
}

void CustomParameterEdit::removeParameter(int addr)
{
    parameterAddresses.removeOne(addr);
    check_for_level_3_and_dependent();
}

void CustomParameterEdit::removeEnumParameter(int addr)
{
    enumAddresses.removeOne(addr);
    check_for_level_3_and_dependent();
}

void CustomParameterEdit::removeBitParameter(int addr, int bit)
{
    bitKeys.removeOne(qMakePair(addr, bit));
    check_for_level_3_and_dependent();
}

void CustomParameterEdit::check_for_level_3_and_dependent()
{
    QList<int> addresses = parameterAddresses + enumAddresses;
    for (const auto& key : qAsConst(bitKeys))
        addresses << key.first;
    bool level3 = false;
    bool dependent = false;
    for (int address : qAsConst(addresses)) {
        const Parameter* parameter = model->getParameter(address);
        level3 = level3 || parameter->getLevel() == 3;
        dependent = dependent || parameter->getType() == ParameterDefinition::TypeDependent;
    }
    ui->level_3_label->setVisible(level3);
    ui->level_3_note->setVisible(level3);
    ui->dependent_label->setVisible(dependent);
}
