// Parameter rows: finding them in the form by their "address" and "bit"
// properties, binding their editors to the device model, the "**" marks of
// unsaved values, and which controls a connection and a valid model enable.

#include "mainwindow.h"

#include "bitvector.h"
#include "dashboardpage.h"
#include "devscreen.h"
#include "draggabletooltipmanager.h"
#include "enumparameter.h"
#include "kelvara.h"
#include "parameter.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QHash>
#include <QLabel>

#include <algorithm>

namespace {

const int tooltipLineLength = 120;
const char* const unsavedMark = "**";
const int currentBandwidthAddress = 51;

int rowAddress(const QWidget* row)
{
    return row->property("address").toInt();
}

int rowBit(const QWidget* row)
{
    bool ok = false;
    const int bit = row->property("bit").toInt(&ok);
    return ok ? bit : -1;
}

// A blank becomes a line break once a line has run for 120 characters.
QString wrapToolTip(QString text)
{
    int remaining = tooltipLineLength;
    for (int i = 1; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            remaining = tooltipLineLength;
        } else if (remaining <= 0 && text.at(i) == QLatin1Char(' ')) {
            text[i] = QLatin1Char('\n');
            remaining = tooltipLineLength;
        }
        --remaining;
    }
    return text;
}

// Shows a model value without the box clamping it: a clamped value would be
// written back into the register as if the user had typed it.
void showInSpinBox(QDoubleSpinBox* box, Parameter* parameter, double value)
{
    double low = 0.0;
    double high = 0.0;
    parameter->typingRange(&low, &high);
    low = std::min(low, value);
    high = std::max(high, value);
    if (box->minimum() != low || box->maximum() != high) {
        const double shown = box->value();
        if (shown < low || shown > high) {
            // Through a range that holds the old and the new value alike.
            box->setRange(std::min(low, shown), std::max(high, shown));
            box->setValue(value);
            box->setRange(low, high);
            return;
        }
        box->setRange(low, high);
    }
    box->setValue(value);
}

} // namespace

void MainWindow::collectRows()
{
    const QList<QPair<const char*, RowMap*>> pages = {
        {"displayParameters", &basicWidgets},
        {"advancedParameters", &advancedWidgets},
        {"dashboardParameters", &dashboardWidgets},
        {"pedalAssistParameters", &pedalAssistWidgets},
        {"temperatureParameters", &temperatureWidgets},
    };
    for (const auto& page : pages) {
        QWidget* container = findChild<QWidget*>(QLatin1String(page.first));
        if (container)
            fillTabWithBitAwareSettings(container->findChildren<QFrame*>(), page.second);
    }
}

void MainWindow::fillTabWithBitAwareSettings(const QList<QFrame*>& frames, RowMap* rows)
{
    // Nested frames meet a widget once for each: its key (or that it is no
    // row) is looked up once, as a property is looked up by its name.
    QHash<QWidget*, RowKey> keys;
    const RowKey noRow(-1, -2);
    for (QFrame* frame : frames) {
        const QList<QWidget*> widgets = frame->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            auto known = keys.constFind(widget);
            if (known == keys.constEnd()) {
                const QVariant address = widget->property("address");
                bool ok = false;
                address.toInt(&ok);
                const bool isRow = address.isValid() && ok;
                known =
                    keys.insert(widget, isRow ? RowKey(rowAddress(widget), rowBit(widget)) : noRow);
            }
            if (known.value() != noRow)
                rows->insert(known.value(), widget);
        }
    }
}

void MainWindow::connectParameters(RowMap& rows)
{
    for (auto it = rows.constBegin(); it != rows.constEnd(); ++it) {
        QWidget* row = it.value();
        Parameter* parameter = model->getParameter(rowAddress(row));
        if (QLabel* label = row->findChild<QLabel*>()) {
            const QString name = getParamName(parameter, row);
            // The label keeps the width its marked text needs.
            label->setText(name + QLatin1String(unsavedMark));
            label->setMinimumWidth(label->sizeHint().width());
            label->setText(name);
        }
        connectParameter(row, parameter);
    }
}

void MainWindow::connectParameter(QWidget* row, Parameter* parameter)
{
    tooltipManager->insertToolTipButton(row, parameter);
    QLabel* label = row->findChild<QLabel*>();
    const QString tooltip = parameter->getTooltip();
    if (label && !tooltip.isEmpty())
        label->setToolTip(wrapToolTip(tooltip));

    if (row->findChild<QDoubleSpinBox*>())
        connectSpinBox(row, parameter);
    else if (row->findChild<QComboBox*>())
        connectComboBox(row, parameter);
    else if (row->findChild<QCheckBox*>())
        connectCheckBox(row, parameter);
}

void MainWindow::connectSpinBox(QWidget* row, Parameter* parameter)
{
    QDoubleSpinBox* box = row->findChild<QDoubleSpinBox*>();
    box->setSuffix(QLatin1Char(' ') + parameter->getUnits());
    box->setDecimals(parameter->numDecimals());
    box->setSingleStep(parameter->getSingleStep());
    box->setFont(monoFont);
    // A typed value is taken once it is complete (Enter or leaving the box),
    // not digit by digit on its way.
    box->setKeyboardTracking(false);
    showInSpinBox(box, parameter, parameter->getValue());

    // The box emits for what the register announces too (its wrappers
    // follow it); only a value other than the register shows is the user's.
    // Written back, a shown value would put a value the controller holds
    // beyond the limits, or off the display grid, onto them.
    connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), parameter,
            [parameter](double value) {
                if (!parameter->showsValue(value))
                    parameter->setValue(value);
            });
    connect(parameter, &Parameter::displayChanged, box,
            [box, parameter](double value) { showInSpinBox(box, parameter, value); });
}

void MainWindow::connectComboBox(QWidget* row, Parameter* parameter)
{
    QComboBox* box = row->findChild<QComboBox*>();
    const QMap<int, QString>* enumDefs = parameter->getEnumDefs();
    if (enumDefs) {
        const QString units = parameter->getUnits();
        for (auto it = enumDefs->constBegin(); it != enumDefs->constEnd(); ++it) {
            const QString text = units.isEmpty()
                ? QStringLiteral("[%1] %2").arg(it.key()).arg(it.value())
                : it.value() + units;
            box->addItem(text, it.key());
        }
    }
    // The form's width limit would cut the longest entry off ("[1] Hall
    // sensor start and se"): the box takes its contents' width.
    box->setMaximumWidth(QWIDGETSIZE_MAX);
    connect(parameter, &Parameter::displayChanged, parameter,
            [this, row] { updateEnumDisplay(row); });
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), box,
            [this, row] { updateEnumParameter(row); });
}

void MainWindow::connectCheckBox(QWidget* row, Parameter* parameter)
{
    QCheckBox* box = row->findChild<QCheckBox*>();
    connect(box, &QCheckBox::stateChanged, box, [this, row] { updateBitParameter(row); });
    connect(parameter, &Parameter::displayChanged, parameter,
            [this, row] { updateBitDisplay(row); });
}

void MainWindow::updateEnumDisplay(QWidget* row)
{
    QComboBox* box = row->findChild<QComboBox*>();
    if (!box)
        return;
    const Parameter* parameter = model->getParameter(rowAddress(row));
    box->setCurrentIndex(box->findData(parameter->getRegisterValue()));
}

void MainWindow::updateEnumParameter(QWidget* row)
{
    QComboBox* box = row->findChild<QComboBox*>();
    // An empty selection stands for a controller value without a text; it
    // must never be written as 0.
    if (!box || box->currentIndex() < 0 || !box->currentData().isValid())
        return;
    Parameter* parameter = model->getParameter(rowAddress(row));
    const int value = box->currentData().toInt();
    if (parameter->getType() == ParameterDefinition::TypeEnum)
        static_cast<EnumParameter*>(parameter)->setRegisterValue(value);
    else
        parameter->setRegisterValue(value);
}

void MainWindow::updateBitDisplay(QWidget* row)
{
    QCheckBox* box = row->findChild<QCheckBox*>();
    Parameter* parameter = model->getParameter(rowAddress(row));
    if (!box || parameter->getType() != ParameterDefinition::TypeBitVector)
        return;
    box->setChecked(static_cast<BitVector*>(parameter)->getBit(rowBit(row)));
}

void MainWindow::updateBitParameter(QWidget* row)
{
    QCheckBox* box = row->findChild<QCheckBox*>();
    Parameter* parameter = model->getParameter(rowAddress(row));
    if (!box || parameter->getType() != ParameterDefinition::TypeBitVector)
        return;
    auto* bits = static_cast<BitVector*>(parameter);
    if (box->checkState() == Qt::Checked)
        bits->setBit(rowBit(row));
    else if (box->checkState() == Qt::Unchecked)
        bits->unsetBit(rowBit(row));
}

QString MainWindow::getParamName(Parameter* parameter, const QWidget* row) const
{
    if (parameter->getType() == ParameterDefinition::TypeBitVector) {
        const QMap<int, QString>* bitDefs = static_cast<BitVector*>(parameter)->getBitDefs();
        return bitDefs ? bitDefs->value(rowBit(row)) : QString();
    }
    return parameter->getName();
}

void MainWindow::setLabel(QWidget* row, int address, bool modified)
{
    QLabel* label = row->findChild<QLabel*>();
    if (!label)
        return;
    // A row its page heads otherwise keeps that heading.
    const QVariant heading = label->property("heading");
    const QString name =
        heading.isValid() ? heading.toString() : getParamName(model->getParameter(address), row);
    label->setText(modified ? name + QLatin1String(unsavedMark) : name);
}

// A row its page heads otherwise, with the unsaved mark of its register.
void MainWindow::showRowHeading(QWidget* row)
{
    const int address = rowAddress(row);
    setLabel(row, address, model->getUnsavedValues().contains(address));
}

// Runs twice for every register of every reply: what is unchanged is left
// alone.
void MainWindow::markModifiedParameter(int addr, int bit, bool original)
{
    const int unsavedCount = model->getUnsavedValues().size();
    if (ui->numUnsaved->value() != unsavedCount)
        ui->numUnsaved->setValue(unsavedCount);
    const bool anyUnsaved = unsavedCount > 0;
    if (anyUnsaved != saveButtonsMarked || !saveButtonsTexted) {
        saveButtonsMarked = anyUnsaved;
        saveButtonsTexted = true;
        const QString saveText = anyUnsaved ? tr("**Save Parameters") : tr("Save Parameters");
        for (QPushButton* button :
             {ui->saveParamsBasic, ui->saveParamsAdvanced, ui->saveParamsPedalAssist,
              ui->saveParamsTemperature, ui->writeAllDev})
            button->setText(saveText);
    }

    for (RowMap* rows :
         {&basicWidgets, &advancedWidgets, &pedalAssistWidgets, &temperatureWidgets}) {
        if (QWidget* row = rows->value(RowKey(addr, bit)))
            setLabel(row, addr, !original);
    }
}

void MainWindow::runnerValid(bool valid)
{
    // The link re-enables the save buttons after every batch, also after a
    // failed first read: saving, restoring and autotune need a model that
    // holds a controller's values.
    const bool modelValid = valid && model->isValid();
    if (connected) {
        ui->autotuneWizard->setEnabled(modelValid);
        dashboard->setControllerActionsEnabled(modelValid);
        for (QPushButton* button :
             {ui->saveParamsBasic, ui->saveParamsAdvanced, ui->saveParamsPedalAssist,
              ui->saveParamsTemperature, ui->writeAllDev})
            button->setEnabled(modelValid);
        ui->readAll->setEnabled(valid);
        ui->readAllTemperature->setEnabled(valid);
        ui->AccessLevelBox->setEnabled(valid);
    }
    setRestoreButtonsEnabled();
}

void MainWindow::setRestoreButtonsEnabled()
{
    const bool restorable = model->areFirstReadValuesSaved() && model->isValid();
    for (QPushButton* button :
         {ui->restore, ui->restoreAdvanced, ui->restorePedalAssist, ui->restoreTemperature})
        button->setEnabled(restorable);
}

void MainWindow::controllerConnectHelper(bool isConnected, bool safeToAutotune, bool updateFaults)
{
    if (isConnected == connected)
        return;
    connected = isConnected;
    dashboard->setConnected(isConnected);
    ui->dashboardStartStopButton->setEnabled(isConnected);
    if (updateFaults)
        updateFaultStatus();
    ui->autotuneWizard->setEnabled(safeToAutotune);
    dashboard->setControllerActionsEnabled(safeToAutotune && model->isValid());
    for (QPushButton* button : {ui->readAll, ui->readAllAdvanced, ui->readAllTemperature,
                                ui->readAllPedalAssist, ui->readAllDev, ui->read})
        button->setEnabled(isConnected);
    for (QPushButton* button :
         {ui->saveParamsBasic, ui->saveParamsAdvanced, ui->saveParamsTemperature,
          ui->saveParamsPedalAssist, ui->writeAllDev})
        button->setEnabled(safeToAutotune);
    devScreen->setConnected(isConnected);
    ui->fw_v59xx->setEnabled(!isConnected);
    ui->fw_v60xx->setEnabled(!isConnected);
}

void MainWindow::currentBWChanged()
{
    const bool automatic = model->getParameter(currentBandwidthAddress)->getValue() == 0.0;
    for (QWidget* row : {ui->currentRegulatorKp, ui->currentRegulatorKi}) {
        if (QDoubleSpinBox* box = row->findChild<QDoubleSpinBox*>())
            box->setEnabled(automatic);
    }
}

void MainWindow::on_ratedSystemVoltageCheckBox_stateChanged(int arg1)
{
    ui->ratedSystemVoltage->findChild<QDoubleSpinBox*>()->setEnabled(arg1 != 0);
}

void MainWindow::on_checkBox_stateChanged(int arg1)
{
    ui->horizontalWidget_2->findChild<QDoubleSpinBox*>()->setEnabled(arg1 != 0);
}

void MainWindow::connectDisplayedParameters()
{
    connectParameters(basicWidgets);
}

void MainWindow::connectAdvancedParameters()
{
    connectParameters(advancedWidgets);
    connect(model->getParameter(currentBandwidthAddress), &Parameter::valueChanged, this,
            &MainWindow::currentBWChanged);
    currentBWChanged();
}

void MainWindow::connectPedalAssistParameters()
{
    connectParameters(pedalAssistWidgets);
}

void MainWindow::connectTemperatureParameters()
{
    connectParameters(temperatureWidgets);
}

void MainWindow::enableWidgets(const QList<int>& addresses, RowMap* rows)
{
    for (QWidget* row : qAsConst(*rows)) {
        if (addresses.contains(rowAddress(row)))
            row->setEnabled(true);
    }
}

void MainWindow::disableWidgets(const QList<int>& addresses, RowMap* rows)
{
    for (QWidget* row : qAsConst(*rows)) {
        if (addresses.contains(rowAddress(row)))
            row->setEnabled(false);
    }
}

void MainWindow::showWidgets(const QList<int>& addresses, RowMap* rows)
{
    for (QWidget* row : qAsConst(*rows)) {
        if (addresses.contains(rowAddress(row)))
            row->show();
    }
}

void MainWindow::hideWidgets(const QList<int>& addresses, RowMap* rows)
{
    for (QWidget* row : qAsConst(*rows)) {
        if (addresses.contains(rowAddress(row)))
            row->hide();
    }
}

void MainWindow::allParamsSaved()
{
    for (RowMap* rows : {&basicWidgets, &advancedWidgets}) {
        for (auto it = rows->constBegin(); it != rows->constEnd(); ++it)
            setLabel(it.value(), it.key().first, false);
    }
}

void MainWindow::reconnectAllParameters()
{
    connectDisplayedParameters();
    connectAdvancedParameters();
    dashboard->connectDashboardParameters(dashboardWidgets);
    connectPedalAssistParameters();
    connectTemperatureParameters();
}
