#include "portenumerator.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QtGlobal>

const char* const PortEnumerator::extraPortsVariable = "KELVARA_EXTRA_PORTS";

PortEnumerator::~PortEnumerator() = default;

QList<SerialPortEntry> PortEnumerator::availablePorts() const
{
    return systemPorts() + extraPorts();
}

// Read on every call: a path named here comes and goes with the program
// (e.g. the simulator) that serves it.
QList<SerialPortEntry> PortEnumerator::extraPorts()
{
    QList<SerialPortEntry> ports;
    const QString paths = QString::fromLocal8Bit(qgetenv(extraPortsVariable));
    const QStringList pathList = paths.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& path : pathList) {
        if (QFileInfo::exists(path))
            ports.append(SerialPortEntry(path, path));
    }
    return ports;
}

QList<SerialPortEntry> PortEnumerator::systemPorts() const
{
    QList<SerialPortEntry> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos)
        ports.append(SerialPortEntry(info));
    return ports;
}
