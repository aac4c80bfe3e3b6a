#include "portenumerator.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>

const char* const PortEnumerator::extraPortsVariable = "KELVARA_EXTRA_PORTS";

PortEnumerator::~PortEnumerator() = default;

QList<SerialPortEntry> PortEnumerator::availablePorts()
{
    QStringList listing = deviceListing();
    std::sort(listing.begin(), listing.end());
    if (listing.isEmpty() || listing != lastListing) {
        lastSystemPorts = systemPorts();
        lastListing = listing;
    }
    return lastSystemPorts + extraPorts();
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

// Every terminal device, serial or not, has an entry in the system's device
// classes (Linux) or a node in /dev (macOS); a port plugged in or pulled out
// adds or removes one.
QStringList PortEnumerator::deviceListing() const
{
    const QDir::Filters entries = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
#if defined(Q_OS_LINUX)
    return QDir(QStringLiteral("/sys/class/tty")).entryList(entries, QDir::Unsorted);
#elif defined(Q_OS_MACOS)
    return QDir(QStringLiteral("/dev"))
        .entryList({QStringLiteral("cu.*"), QStringLiteral("tty.*")}, entries, QDir::Unsorted);
#else
    return QStringList();
#endif
}
