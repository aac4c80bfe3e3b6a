// The PAS Setup page: its frames and rows by control source and sensor
// type, the headings and the per-level table for the number of assist
// levels, the KM5S display box and the sensor presets. Register changes
// made here are unsaved changes of the model until the next save.

#include "paspage.h"

#include "assistlevelgraph.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "spinboxwrapper.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

#include <cmath>
#include <iterator>

namespace {

const int controlSourceAddress = 208;
const int pedalSensorAddress = 211;
const int maxPowerAddress = 73;
const int maxSpeedAddress = 229;
const int assistLevel1Address = 219;
const int assistLevel2Address = 245;
const int assistSpeed1Address = 241;
const int assistSpeed2Address = 246;
const int pasPowerAddress = 122;
const int pasSpeedAddress = 124;
const int assistMultiplierAddress = 179;
const int displayProtocolAddress = 66;
const int assistModeSourceAddress = 210;
const int featuresAddress = 212;
const int pedalPulsesAddress = 234;
const int torqueSymmetryAddress = 178;

const int throttleSource = 1;
const int firstPedalSource = 2;
const int axleTorqueSensor = 5;
const int km5sProtocol = 8;
const int displayAssistSource = 2;
const int legacyPasBit = 8;
const int quickStopBit = 10;
const int km5SpeedLimitsBit = 15;

const int levelTableRows = 9;
const int defaultLevelIndex = 2; // "5"

// Sensor presets: -1 leaves a register as it is. A cadence layout shows the
// assist graph, an axle layout the axle torque offset.
struct Preset
{
    int controlSource;
    int pedalSensor;
    int pedalPulses;
    int torqueSymmetry;
    bool cadenceLayout;
    bool axleLayout;
};

const Preset presets[] = {
    {1, -1, -1, -1, false, false}, {4, 4, -1, -1, true, false}, {4, 8, 36, 1, false, false},
    {4, 3, 18, 1, false, false},   {4, 3, 16, 0, false, false}, {4, 5, -1, 0, false, true},
};

bool isCadenceSensor(int type)
{
    return type == 0 || type == 1 || type == 4 || type == 6;
}

// A text that is no number counts as no levels.
int levelCount(const QString& text)
{
    bool ok = false;
    const int levels = text.toInt(&ok);
    return ok ? levels : 0;
}

int mediumLevel(int levels)
{
    return levels / 2 + levels % 2;
}

bool isLevelRowUsed(int row, int levels)
{
    return row == 1 || row == 5 || row == 9 || levels > 8 || (levels > 4 && row == 3)
        || (levels >= 4 && row == 7);
}

// One column of the level table: nine steps through its first, middle and
// last value. Undefined when a limit it rests on is 0.
struct LevelColumn
{
    double first;
    double middle;
    double last;
    bool defined;

    double at(int row) const
    {
        const double points[levelTableRows] = {
            first,  (3 * first + middle) / 4, (first + middle) / 2, (first + 3 * middle) / 4,
            middle, (3 * middle + last) / 4,  (middle + last) / 2,  (middle + 3 * last) / 4,
            last};
        return points[row - 1];
    }

    QString text(int row, double divisor, int decimals) const
    {
        const double value = at(row) / divisor;
        return defined && std::isfinite(value) ? QString::number(value, 'f', decimals) : QString();
    }
};

} // namespace

// Which parts of the page a sensor set-up shows.
struct PasPage::PasLayout
{
    bool assistGraph;
    bool pasConfigFrame;
    bool torqueConfigFrame;
    bool pedalTorqueOffset;
    bool axleTorqueOffset;
    bool maxPowerRow;
    bool pasPowerRow;
    bool maxSpeedRow;
    bool pasSpeedRow;
    bool multiplierRow;
    bool powerWrappers;
};

PasPage::PasPage(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com,
                 const RowMap& pedalAssistWidgets, QObject* parent)
    : QObject(parent)
    , ui(ui)
    , model(model)
    , com(com)
    , pedalAssistWidgets(pedalAssistWidgets)
{
}

void PasPage::initializePAS_UI()
{
    connect(com, &KelvaraCom::readAllComplete, this, &PasPage::resetPasDeviceDropdown);
    connect(com, &KelvaraCom::flashSaveComplete, this, &PasPage::resetPasDeviceDropdown);
    connect(model, &Kelvara::resetPasDeviceDropdown, this, &PasPage::resetPasDeviceDropdown);
    for (int address : {controlSourceAddress, pedalSensorAddress})
        connect(model->getParameter(address), &Parameter::displayChanged, this,
                &PasPage::updatePASTabUI);

    ui->numAssistLevels->addItems(
        {QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("9")});
    ui->numAssistLevels->setCurrentIndex(defaultLevelIndex);
    connect(ui->numAssistLevels, &QComboBox::currentTextChanged, this,
            &PasPage::numAssistLevelsChanged);

    km5sConnection =
        connect(ui->usingKM5S, &QCheckBox::stateChanged, this, &PasPage::KM5SCheckboxChanged);
    for (int address : {displayProtocolAddress, assistModeSourceAddress})
        connect(model->getParameter(address), &Parameter::displayChanged, this,
                &PasPage::KM5SValueChanged);

    setAssistHeadings(levelCount(ui->numAssistLevels->currentText()), tr("Max Power "));
    const QPair<const char*, const char*> torqueHeadings[] = {
        {"torqueSensorLowVoltage", QT_TR_NOOP("Torque Sensor Low Voltage")},
        {"torqueSensorMaxVoltage", QT_TR_NOOP("Torque Sensor Max Voltage")},
        {"torqueSensorPhaseCurrentAtMaxVoltage", QT_TR_NOOP("Phase Current at Max Voltage")},
    };
    for (const auto& heading : torqueHeadings) {
        if (auto* label =
                ui->pedalAssistParameters->findChild<QLabel*>(QLatin1String(heading.first)))
            label->setText(tr(heading.second));
    }
    ui->assistLevelChart->hide();
}

// Back on the blank entry, which imports nothing.
void PasPage::resetPasDeviceDropdown()
{
    ui->pedal_assist_type->setCurrentIndex(0);
}

// The sensor type may have been set before the wrappers existed.
void PasPage::setAssistLevelWrappers(const QList<SpinBoxWrapper*>& wrappers)
{
    assistLevelWrappers = wrappers;
    switchAssistLevelWrappers(
        isCadenceSensor(model->getParameter(pedalSensorAddress)->getRegisterValue()));
}

// The two assist-level boxes show watts with a cadence sensor and the
// resulting multiplier with a torque sensor.
void PasPage::switchAssistLevelWrappers(bool power)
{
    for (SpinBoxWrapper* wrapper : qAsConst(assistLevelWrappers)) {
        if (power)
            wrapper->changeWrapperType(SpinBoxWrapper::Power, ui->highAssistPowerPASSpinbox);
        else
            wrapper->changeWrapperType(SpinBoxWrapper::Multiplier, ui->torque_pedalgain_spinbox);
    }
}

void PasPage::updatePASTabUI()
{
    const int sensor = model->getParameter(pedalSensorAddress)->getRegisterValue();
    const bool cadence = isCadenceSensor(sensor);
    const bool notThrottle =
        model->getParameter(controlSourceAddress)->getRegisterValue() != throttleSource;
    const bool axle = sensor == axleTorqueSensor;
    PasLayout layout;
    layout.assistGraph = !(notThrottle && !cadence);
    layout.pasConfigFrame = !axle;
    layout.torqueConfigFrame = !cadence;
    layout.pedalTorqueOffset = !axle;
    layout.axleTorqueOffset = axle || !notThrottle;
    layout.maxPowerRow = !notThrottle;
    layout.pasPowerRow = !(notThrottle && !cadence);
    layout.maxSpeedRow = !notThrottle;
    layout.pasSpeedRow = !(notThrottle && !cadence);
    layout.multiplierRow = !(notThrottle && cadence);
    layout.powerWrappers = cadence;
    applyPasLayout(layout);
}

void PasPage::applyPasLayout(const PasLayout& layout)
{
    if (auto* graph = ui->tabWidget->findChild<AssistLevelGraph*>())
        graph->setVisible(layout.assistGraph);
    ui->pasConfigFrame->setVisible(layout.pasConfigFrame);
    ui->torqueSensorConfigFrame->setVisible(layout.torqueConfigFrame);
    ui->pedal_torque_offset->setVisible(layout.pedalTorqueOffset);
    ui->axle_torque_offset->setVisible(layout.axleTorqueOffset);
    const QPair<int, bool> rows[] = {
        {maxPowerAddress, layout.maxPowerRow},           {pasPowerAddress, layout.pasPowerRow},
        {maxSpeedAddress, layout.maxSpeedRow},           {pasSpeedAddress, layout.pasSpeedRow},
        {assistMultiplierAddress, layout.multiplierRow},
    };
    for (const auto& row : rows) {
        if (QWidget* widget = pedalAssistWidgets.value(RowKey(row.first, -1)))
            widget->setVisible(row.second);
    }
    switchAssistLevelWrappers(layout.powerWrappers);
    numAssistLevelsChanged(ui->numAssistLevels->currentText());
}

void PasPage::numAssistLevelsChanged(const QString& numLevelsString)
{
    const int levels = levelCount(numLevelsString);
    setAssistHeadings(levels,
                      ui->pedal_assist_type->currentIndex() == 1 ? tr("Max PAS Power ")
                                                                 : tr("Torque Assist Multiplier "));
    setLevelTableRows(levels);
    updateAssistLevels();
}

void PasPage::setAssistHeadings(int levels, const QString& powerPrefix)
{
    const QString last = QString::number(levels);
    const QString medium = QString::number(mediumLevel(levels));
    const QPair<const char*, QString> headings[] = {
        {"lowAssistPowerLabel", powerPrefix + tr("(Level 1)")},
        {"medAssistPowerLabel", powerPrefix + tr("(Level %1)").arg(medium)},
        {"highAssistPowerPASLabel", tr("Max PAS Power (Level %1)").arg(last)},
        {"highAssistPowerTorqueThrottleLabel", tr("Max Throttle Power (Level %1)").arg(last)},
        {"lowAssistSpeedLabel", tr("Max Speed (Level 1)")},
        {"medAssistSpeedLabel", tr("Max Speed (Level %1)").arg(medium)},
        {"highAssistSpeedPASLabel", tr("Max PAS Speed (Level %1)").arg(last)},
        {"highAssistSpeedTorqueThrottleLabel", tr("Max Throttle Speed (Level %1)").arg(last)},
    };
    for (const auto& heading : headings) {
        auto* label = ui->pedalAssistParameters->findChild<QLabel*>(QLatin1String(heading.first));
        if (!label)
            continue;
        // The heading stands in for the register's name, unsaved mark and all.
        label->setProperty("heading", heading.second);
        QWidget* row = label->parentWidget();
        if (row->property("address").isValid())
            emit headingChanged(row);
        else
            label->setText(heading.second);
    }
}

// The rows a number of levels uses are enabled and numbered; the others
// show "-" and stay empty.
void PasPage::setLevelTableRows(int levels)
{
    int level = 0;
    for (int row = 1; row <= levelTableRows; ++row) {
        const bool used = isLevelRowUsed(row, levels);
        if (used)
            ++level;
        for (const char* column :
             {"level_l", "max_pwr_l", "max_spd_l", "max_pas_pwr_l", "max_pas_spd_l"}) {
            auto* label = ui->pedalAssistParameters->findChild<QLabel*>(QLatin1String(column)
                                                                        + QString::number(row));
            if (!label)
                continue;
            label->setEnabled(used);
            if (qstrcmp(column, "level_l") == 0)
                label->setText(used ? QString::number(level) : QStringLiteral("-"));
            else
                label->clear();
        }
    }
}

// Assist levels 1 and 2 are fractions of the limit of their column.
void PasPage::updateAssistLevels()
{
    const auto value = [this](int address) { return model->getParameter(address)->getValue(); };
    const double maxPower = value(maxPowerAddress);
    const double maxSpeed = value(maxSpeedAddress);
    const double level1 = value(assistLevel1Address);
    const double level2 = value(assistLevel2Address);
    const double speed1 = value(assistSpeed1Address);
    const double speed2 = value(assistSpeed2Address);
    const double pasPower = value(pasPowerAddress);
    const double pasSpeed = value(pasSpeedAddress);

    const LevelColumn power{level1 * maxPower, level2 * maxPower, maxPower, maxPower != 0.0};
    const LevelColumn speed{speed1, speed2, maxSpeed, maxSpeed != 0.0};
    const LevelColumn pasPowerColumn{level1 * pasPower, level2 * pasPower, pasPower,
                                     pasPower != 0.0};
    const LevelColumn pasSpeedColumn{speed1 / maxSpeed * pasSpeed, speed2 / maxSpeed * pasSpeed,
                                     pasSpeed, pasSpeed != 0.0 && maxSpeed != 0.0};

    const auto usedLabel = [this](const char* column, int row) -> QLabel* {
        auto* label = ui->pedalAssistParameters->findChild<QLabel*>(QLatin1String(column)
                                                                    + QString::number(row));
        return label && label->isEnabledTo(ui->pedalAssistParameters) ? label : nullptr;
    };
    for (int row = 1; row <= levelTableRows; ++row) {
        QLabel* powerLabel = usedLabel("max_pwr_l", row);
        QLabel* speedLabel = usedLabel("max_spd_l", row);
        if (powerLabel && speedLabel) {
            powerLabel->setText(power.text(row, 1000.0, 1));
            speedLabel->setText(speed.text(row, 1.0, 0));
        }
        QLabel* pasPowerLabel = usedLabel("max_pas_pwr_l", row);
        QLabel* pasSpeedLabel = usedLabel("max_pas_spd_l", row);
        if (pasPowerLabel && pasSpeedLabel) {
            pasPowerLabel->setText(pasPowerColumn.text(row, 1000.0, 1));
            pasSpeedLabel->setText(pasSpeedColumn.text(row, 1.0, 0));
        }
    }
}

void PasPage::KM5SCheckboxChanged(int value)
{
    const bool km5s = value == Qt::Checked;
    model->getParameter(assistModeSourceAddress)->setValue(km5s ? displayAssistSource : 0);
    model->getParameter(displayProtocolAddress)->setValue(km5s ? km5sProtocol : 0);
    if (km5s) {
        Parameter* features = model->getParameter(featuresAddress);
        features->setValue(features->getRegisterValue() | (1 << km5SpeedLimitsBit));
    }
}

// The box follows the registers without writing them back.
void PasPage::KM5SValueChanged()
{
    disconnect(km5sConnection);
    ui->usingKM5S->setChecked(
        model->getParameter(assistModeSourceAddress)->getRegisterValue() == displayAssistSource
        && model->getParameter(displayProtocolAddress)->getRegisterValue() == km5sProtocol);
    km5sConnection =
        connect(ui->usingKM5S, &QCheckBox::stateChanged, this, &PasPage::KM5SCheckboxChanged);
}

void PasPage::pedalAssistTypeChanged(int type)
{
    const bool known = type >= 0 && type < int(std::size(presets));
    const Preset preset = known ? presets[type] : Preset{-1, -1, -1, -1, false, false};
    const bool pedal = type != 0;
    if (pedal) {
        Parameter* features = model->getParameter(featuresAddress);
        features->setValue(features->getRegisterValue() & ~(1 << legacyPasBit));
        features->setValue(features->getRegisterValue() & ~(1 << quickStopBit));
        features->setValue(features->getRegisterValue() | (1 << km5SpeedLimitsBit));
    }
    const QPair<int, int> writes[] = {
        {controlSourceAddress, preset.controlSource},
        {pedalSensorAddress, preset.pedalSensor},
        {pedalPulsesAddress, preset.pedalPulses},
        {torqueSymmetryAddress, preset.torqueSymmetry},
    };
    for (const auto& write : writes) {
        if (write.second >= 0)
            model->getParameter(write.first)->setValue(write.second);
    }

    PasLayout layout;
    layout.assistGraph = preset.cadenceLayout;
    layout.pasConfigFrame = !(pedal && preset.axleLayout);
    layout.torqueConfigFrame = !preset.cadenceLayout;
    layout.pedalTorqueOffset = !preset.axleLayout;
    layout.axleTorqueOffset = preset.axleLayout;
    layout.maxPowerRow = !pedal;
    layout.maxSpeedRow = !pedal;
    layout.pasPowerRow = !(pedal && !preset.cadenceLayout);
    layout.pasSpeedRow = layout.pasPowerRow;
    layout.multiplierRow = !(pedal && preset.cadenceLayout);
    layout.powerWrappers = preset.cadenceLayout;
    applyPasLayout(layout);
}

// The registers the level table is computed from.
void PasPage::connectAssistLevelAnchors()
{
    for (int address : {73, 229, 122, 124, 219, 245, 241, 246})
        connect(model->getParameter(address), &Parameter::valueChanged, this,
                &PasPage::updateAssistLevels, Qt::UniqueConnection);
}
