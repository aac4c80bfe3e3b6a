// The Temperature page: its controls enabled by the sensing box, the known
// sensors' voltage curves written into registers 93 to 98, and the motor
// temperature read on request.

#include "temperaturepage.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "temperaturesensor.h"
#include "temperaturevoltagemapping.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>

namespace {

const int firstVoltageAddress = 93;
const int sensingAddress = 212;
const int sensingBit = 5;
const int motorTemperatureAddress = 261;
const int sensorVoltageAddress = 398;

} // namespace

TemperaturePage::TemperaturePage(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com,
                                 QObject* parent)
    : QObject(parent)
    , ui(ui)
    , model(model)
    , com(com)
{
    connect(ui->TempSensingBox, &QCheckBox::stateChanged, this,
            &TemperaturePage::on_TempSensingBox_stateChanged);
    connect(ui->readMotorTemp, &QPushButton::clicked, this, &TemperaturePage::readMotorTemp);
}

// A tick of the user's brings back the chosen sensor's curve. A read that
// switches sensing on only enables the controls: rewriting registers 93 to
// 98 from the drop-down then would replace the curve just read. The box
// reports a tick before its row binding sets the bit, a read after it.
void TemperaturePage::on_TempSensingBox_stateChanged(int arg1)
{
    const bool enabled = arg1 != 0;
    const bool fromModel =
        ((model->getParameter(sensingAddress)->getRegisterValue() >> sensingBit) & 1) == enabled;
    for (QWidget* widget : {static_cast<QWidget*>(ui->temperature_trip_threshold),
                            static_cast<QWidget*>(ui->temperature_foldback_start),
                            static_cast<QWidget*>(ui->temperature_foldback_end),
                            static_cast<QWidget*>(ui->motor_temperature),
                            static_cast<QWidget*>(ui->comboBox_tempSensorType)})
        widget->setEnabled(enabled);
    QComboBox* sensors = ui->comboBox_tempSensorType;
    if (!enabled)
        setVoltageBoxesEnabled(false);
    else if (fromModel)
        setVoltageBoxesEnabled(sensors->currentIndex() == sensors->count() - 1);
    else
        tempSensorTypeChanged(sensors->currentIndex());
}

void TemperaturePage::setVoltageBoxesEnabled(bool enabled)
{
    for (QDoubleSpinBox* box : {ui->volts_0_deg, ui->volts_25_deg, ui->volts_50_deg,
                                ui->volts_75_deg, ui->volts_100_deg, ui->volts_125_deg})
        box->setEnabled(enabled);
}

// Only the controller's own curve, the last entry, can be edited by hand.
// An index the sensor list does not have (no list yet, or an empty
// selection) changes nothing.
void TemperaturePage::tempSensorTypeChanged(int type)
{
    if (!temperatureMapping || type < 0 || type >= temperatureMapping->sensors.size())
        return;
    const bool currentValues = type == ui->comboBox_tempSensorType->count() - 1;
    if (currentValues) {
        putBackCurrentValues();
    } else {
        const float* volts = temperatureMapping->sensors.at(type)->getMapping();
        for (int point = 0; point < TemperatureSensor::pointCount; ++point)
            model->getParameter(firstVoltageAddress + point)->setValue(volts[point]);
    }
    setVoltageBoxesEnabled(currentValues);
}

// The controller's curve as it was taken, raw: a voltage beyond the limits
// comes back as the controller holds it, and one that was not changed is
// left alone, so that nothing is left to write that the user did not choose.
void TemperaturePage::putBackCurrentValues()
{
    const QVector<int> raw = temperatureMapping->currentRawValues();
    for (int point = 0; point < raw.size(); ++point) {
        const int address = firstVoltageAddress + point;
        if (model->getParameter(address)->getRegisterValue() != raw.at(point))
            model->setEditToControllerValue(address, raw.at(point));
    }
}

void TemperaturePage::showTempSensorControllerVals()
{
    if (!temperatureMapping)
        return;
    temperatureMapping->importFromController();
    ui->comboBox_tempSensorType->setCurrentIndex(ui->comboBox_tempSensorType->count() - 1);
}

void TemperaturePage::readMotorTemp()
{
    com->oneRead(motorTemperatureAddress, 1);
    com->oneRead(sensorVoltageAddress, 1);
}

// The sensor list, ending with the controller's own curve. Filled before
// it is connected, so filling it writes nothing.
void TemperaturePage::initTemperatureSensors()
{
    QComboBox* box =
        ui->temperatureParameters->findChild<QComboBox*>(QStringLiteral("comboBox_tempSensorType"));
    if (!box || temperatureMapping)
        return;
    temperatureMapping = new TemperatureVoltageMapping(model);
    temperatureMapping->setParent(this);
    temperatureMapping->importFromJSON();
    temperatureMapping->importFromController();
    for (int i = 0; i < temperatureMapping->sensors.size(); ++i)
        box->insertItem(i, temperatureMapping->sensors.at(i)->getName());
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &TemperaturePage::tempSensorTypeChanged);
    box->setMinimumSize(box->minimumSizeHint());

    connect(com, &KelvaraCom::readAllComplete, this,
            &TemperaturePage::showTempSensorControllerVals);
    connect(com, &KelvaraCom::flashSaveComplete, this,
            &TemperaturePage::showTempSensorControllerVals);
    connect(model, &Kelvara::resetTempSensorDropdown, this,
            &TemperaturePage::showTempSensorControllerVals);
}
