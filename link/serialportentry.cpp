#include "serialportentry.h"

#include <QSerialPortInfo>

SerialPortEntry::SerialPortEntry(const QString& portName, const QString& systemLocation)
    : name(portName)
    , location(systemLocation)
{
}

SerialPortEntry::SerialPortEntry(const QSerialPortInfo& info)
    : name(info.portName())
    , location(info.systemLocation())
{
}

QString SerialPortEntry::portName() const
{
    return name;
}

QString SerialPortEntry::systemLocation() const
{
    return location;
}

bool SerialPortEntry::isNull() const
{
    return name.isEmpty() && location.isEmpty();
}

bool SerialPortEntry::operator==(const SerialPortEntry& other) const
{
    return name == other.name && location == other.location;
}

bool SerialPortEntry::operator!=(const SerialPortEntry& other) const
{
    return !(*this == other);
}
