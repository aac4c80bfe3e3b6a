#include "serialportlistener.h"

#include "portenumerator.h"

#include <QMutexLocker>
#include <QTimer>

QMutex refreshSerialListMutex;

namespace {
const int scanIntervalMs = 1000;
}

SerialPortListener::SerialPortListener()
    : SerialPortListener(std::make_unique<PortEnumerator>())
{
}

SerialPortListener::SerialPortListener(std::unique_ptr<PortEnumerator> enumerator)
    : QObject(nullptr)
    , scanTimer(new QTimer(this))
    , portTable(new QHash<QString, SerialPortEntry>())
    , ignoreBluetooth(false)
    , enumerator(std::move(enumerator))
{
    // Needed for queued connections and signal spies on the port lists.
    qRegisterMetaType<SerialPortEntry>();
    qRegisterMetaType<QList<SerialPortEntry>>();

    scanTimer->setSingleShot(false);
    connect(scanTimer, &QTimer::timeout, this, &SerialPortListener::onTimerFired);
    scanTimer->start(scanIntervalMs);
}

SerialPortListener::~SerialPortListener()
{
    delete portTable;
}

void SerialPortListener::setIgnoreBluetooth(bool ignore)
{
    ignoreBluetooth = ignore;
    onTimerFired();
}

void SerialPortListener::presetIgnoreBluetooth(bool ignore)
{
    ignoreBluetooth = ignore;
}

bool SerialPortListener::getIgnoreBluetooth() const
{
    return ignoreBluetooth;
}

void SerialPortListener::onTimerFired()
{
    QMutexLocker locker(&refreshSerialListMutex);

    auto* newTable = new QHash<QString, SerialPortEntry>();
    const QList<SerialPortEntry> present = enumerator->availablePorts();
    for (const SerialPortEntry& port : present) {
        if (ignoreBluetooth && isBluetooth(port.portName()))
            continue;
        newTable->insert(port.portName(), port);
    }

    QList<SerialPortEntry> connectedPorts;
    for (auto it = newTable->cbegin(); it != newTable->cend(); ++it) {
        if (!portTable->contains(it.key()) && !isBuiltInSerial(it.key()))
            connectedPorts.append(it.value());
    }

    QList<SerialPortEntry> disconnectedPorts;
    for (auto it = portTable->cbegin(); it != portTable->cend(); ++it) {
        if (!newTable->contains(it.key()))
            disconnectedPorts.append(it.value());
    }

    // The empty entry lets the port list offer "no port" from the start.
    connectedPorts.append(SerialPortEntry());

    delete portTable;
    portTable = newTable;

    if (!disconnectedPorts.isEmpty())
        emit onDevicesDisconnected(disconnectedPorts);
    emit onDevicesConnected(connectedPorts);
}

// Matches both "Bluetooth" and "bluetooth", as ports are named on macOS.
bool SerialPortListener::isBluetooth(const QString& portName)
{
    return portName.contains(QLatin1String("luetooth"));
}

// The motherboard's own UARTs never carry a controller cable.
bool SerialPortListener::isBuiltInSerial(const QString& portName)
{
    return portName.contains(QLatin1String("ttyS"));
}
