#ifndef PORTENUMERATOR_H
#define PORTENUMERATOR_H

#include "serialportentry.h"

#include <QList>
#include <QStringList>

// Lists the serial ports the port watcher may report: the operating
// system's serial ports as Qt sees them, followed by the extra ports named
// in the environment variable KELVARA_EXTRA_PORTS (paths separated by ":").
// An extra port is listed while its path exists, under the path itself, so
// pseudo-terminals (which Qt never enumerates) can be chosen like a cable.
//
// Asking the system for its ports walks its whole device tree, thousands of
// file opens; the watcher asks every second. So the system's ports are
// asked for again only when a cheap listing of its serial devices changed.
//
// Subclasses replace systemPorts() and deviceListing() to stand in for the
// hardware.
class PortEnumerator
{
public:
    static const char* const extraPortsVariable;

    PortEnumerator() = default;
    virtual ~PortEnumerator();

    QList<SerialPortEntry> availablePorts();
    static QList<SerialPortEntry> extraPorts();

protected:
    virtual QList<SerialPortEntry> systemPorts() const;
    // The names of the system's serial devices, in any order; empty where
    // there is no such listing, and then every call asks for the ports.
    virtual QStringList deviceListing() const;

private:
    Q_DISABLE_COPY(PortEnumerator)

    QStringList lastListing;
    QList<SerialPortEntry> lastSystemPorts;
};

#endif // PORTENUMERATOR_H
