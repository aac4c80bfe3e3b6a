#include "temperaturevoltagemapping.h"

#include "kelvara.h"
#include "parameter.h"
#include "temperaturesensor.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString currentValuesName = QStringLiteral("Current Values");
const int firstVoltageAddress = 93; // "Temperature Voltage at 0C", then 25C .. 125C

} // namespace

const QString TemperatureVoltageMapping::nameTag = QStringLiteral("name");
const QString TemperatureVoltageMapping::mappingsTag = QStringLiteral("mappings");
const QString TemperatureVoltageMapping::sensorTag = QStringLiteral("sensor");

TemperatureVoltageMapping::TemperatureVoltageMapping(Kelvara* device)
    : QObject(nullptr)
    , m_device(device)
{
}

TemperatureVoltageMapping::~TemperatureVoltageMapping()
{
    qDeleteAll(sensors);
}

void TemperatureVoltageMapping::importFromJSON(const QString& path)
{
    QFile file(path);
    QByteArray content;
    if (file.open(QIODevice::ReadOnly))
        content = file.readAll();
    else
        qDebug() << "Could not open JSON file.";

    const QJsonDocument document = QJsonDocument::fromJson(content);
    if (!document.isObject())
        qDebug() << "Document is not object. Abort.";

    const QJsonObject top = document.object();
    for (auto it = top.constBegin(); it != top.constEnd(); ++it) {
        const QJsonObject entry = it.value().toObject();
        auto* sensor = new TemperatureSensor;
        sensor->setName(entry.value(nameTag).toString());
        const QJsonObject mappings = entry.value(mappingsTag).toObject();
        // A sensor holds six points; further members are ignored.
        const int points = qMin(mappings.size(), static_cast<int>(TemperatureSensor::pointCount));
        for (int j = 0; j < points; ++j)
            sensor->setMapping(
                j, static_cast<float>(mappings.value(QString::number(25 * j)).toDouble()));
        sensors.append(sensor);
    }
}

void TemperatureVoltageMapping::importFromController()
{
    TemperatureSensor* current = nullptr;
    if (!sensors.isEmpty() && sensors.constLast()->getName() == currentValuesName) {
        current = sensors.constLast();
    } else {
        current = new TemperatureSensor;
        current->setName(currentValuesName);
        sensors.append(current);
    }
    m_currentRaw.clear();
    for (int point = 0; point < TemperatureSensor::pointCount; ++point) {
        const Parameter* parameter = m_device->getParameter(firstVoltageAddress + point);
        current->setMapping(point, static_cast<float>(parameter->getValue()));
        m_currentRaw.append(parameter->getRegisterValue());
    }
}
