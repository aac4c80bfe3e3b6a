#include "temperaturesensor.h"

TemperatureSensor::TemperatureSensor(QObject* parent)
    : QObject(parent)
{
}

void TemperatureSensor::setName(const QString& name)
{
    m_name = name;
    m_hasName = true;
}

void TemperatureSensor::setMapping(int index, float volts)
{
    if (index < 0 || index >= pointCount)
        return;
    m_mapping[index] = volts;
    for (float point : m_mapping) {
        if (point >= 0.0f)
            m_hasMapping = true;
    }
}
