#ifndef PORTENUMERATOR_H
#define PORTENUMERATOR_H

#include "serialportentry.h"

#include <QList>

// Lists the serial ports the port watcher may report: the operating
// system's serial ports as Qt sees them, followed by the extra ports named
// in the environment variable KELVARA_EXTRA_PORTS (paths separated by ":").
// An extra port is listed while its path exists, under the path itself, so
// pseudo-terminals (which Qt never enumerates) can be chosen like a cable.
//
// Subclasses replace systemPorts() to stand in for the hardware.
class PortEnumerator
{
public:
    static const char* const extraPortsVariable;

    PortEnumerator() = default;
    virtual ~PortEnumerator();

    QList<SerialPortEntry> availablePorts() const;
    static QList<SerialPortEntry> extraPorts();

protected:
    virtual QList<SerialPortEntry> systemPorts() const;

private:
    Q_DISABLE_COPY(PortEnumerator)
};

#endif // PORTENUMERATOR_H
