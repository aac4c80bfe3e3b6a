// Access level 3: the box that writes the access code to register 509, the
// protected rows it unlocks, and the firmware numbers that decide which
// access controls a controller has at all.

#include "accesslevel.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalBlocker>

namespace {

const int accessCodeAddress = 509;
const int accessCode = 61957;
const int firmwareAddress = 256;
// From this firmware on the access-level area does not apply.
const int accessFrameLastFirmware = 5999;
const int plugBrakingFirstFirmware = 5901;

bool isLevel3Row(const QWidget* row)
{
    const QVariant flag = row->property("level3access");
    return flag.isValid() && flag.canConvert<bool>() && flag.toBool();
}

} // namespace

AccessLevel::AccessLevel(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, QLabel* statusLabel,
                         const RowMap& basicWidgets, const RowMap& advancedWidgets, QObject* parent)
    : QObject(parent)
    , ui(ui)
    , model(model)
    , com(com)
    , statusLabel(statusLabel)
    , basicWidgets(basicWidgets)
    , advancedWidgets(advancedWidgets)
{
    connectAccessLevelBox();
    // A read-all switches it off too, through the window, which does more
    // at its end.
    connect(com, &KelvaraCom::flashSaveComplete, this, &AccessLevel::disable_level_3_checkbox);
}

void AccessLevel::setWindowless(bool on)
{
    windowless = on;
}

void AccessLevel::connectAccessLevelBox()
{
    Parameter* code = model->getParameter(accessCodeAddress);
    connect(code, &Parameter::valueChanged, this, &AccessLevel::updateAccessLevelBox);
    connect(ui->AccessLevelBox, &QCheckBox::stateChanged, this,
            &AccessLevel::changeParameterAccessLevel);
    setLevel3Modifyable(code->getRegisterValue() == accessCode);
}

// The box only shows what register 509 holds: only the user's own tick
// writes the access code.
void AccessLevel::updateAccessLevelBox()
{
    const int raw = model->getParameter(accessCodeAddress)->getRegisterValue();
    if (raw != 0 && raw != accessCode)
        return;
    const bool on = raw == accessCode;
    {
        const QSignalBlocker blocker(ui->AccessLevelBox);
        ui->AccessLevelBox->setChecked(on);
    }
    showLevel(on);
}

// A command-line run sends nothing but its reads and its one operation.
void AccessLevel::changeParameterAccessLevel(int state)
{
    if (applyAccessLevel(state) && !windowless)
        com->oneWrite(accessCodeAddress, 1);
}

// Everything of a change of level but the write; false for the partly
// checked state, which changes nothing.
bool AccessLevel::applyAccessLevel(int state)
{
    if (state != Qt::Checked && state != Qt::Unchecked)
        return false;
    const bool on = state == Qt::Checked;
    model->getParameter(accessCodeAddress)->setValue(on ? accessCode : 0);
    showLevel(on);
    return true;
}

void AccessLevel::showLevel(bool on)
{
    statusLabel->setStyleSheet(on ? QStringLiteral("QLabel {color: red;}")
                                  : QStringLiteral("QLabel {color: black;}"));
    setLevel3Modifyable(on);
}

// After a failed read the link reports its failure once: with the box off
// there is nothing to take back on the controller, and a write would only
// fail a second time.
void AccessLevel::disable_level_3_checkbox()
{
    const bool boxWasOn = ui->AccessLevelBox->isChecked()
        || model->getParameter(accessCodeAddress)->getRegisterValue() == accessCode;
    if (com->getStatus() == KelvaraCom::StatusSuccess || boxWasOn)
        changeParameterAccessLevel(Qt::Unchecked);
    else
        applyAccessLevel(Qt::Unchecked);
}

void AccessLevel::setLevel3Modifyable(bool modifyable)
{
    setLevel3ModifyableHelper(basicWidgets, modifyable);
    setLevel3ModifyableHelper(advancedWidgets, modifyable);
}

void AccessLevel::setLevel3ModifyableHelper(const RowMap& widgets, bool modifyable)
{
    for (QWidget* row : widgets) {
        if (!isLevel3Row(row))
            continue;
        if (auto* spinBox = row->findChild<QDoubleSpinBox*>())
            spinBox->setEnabled(modifyable);
        else if (auto* comboBox = row->findChild<QComboBox*>())
            comboBox->setEnabled(modifyable);
    }
}

void AccessLevel::disableAccessLevelFrame()
{
    const int firmware = model->getParameter(firmwareAddress)->getRegisterValue();
    ui->AccessLevel3Frame->setEnabled(firmware <= accessFrameLastFirmware);
}

void AccessLevel::disablePlugBrakingCheckbox()
{
    const int firmware = model->getParameter(firmwareAddress)->getRegisterValue();
    ui->enablePlugBraking->setEnabled(firmware >= plugBrakingFirstFirmware);
}
