#ifndef SERIALPORTLISTENER_H
#define SERIALPORTLISTENER_H

#include "serialportentry.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class QTimer;
class PortEnumerator;

// Held for one port scan, including the emission of both port signals.
// Not recursive: a handler of those signals must not start a scan itself.
extern QMutex refreshSerialListMutex;

// Watches the serial ports: every second it lists them again and reports
// the ports that appeared and those that vanished since the last scan.
// Every list of new ports ends with one entry whose name is empty, the
// "no port" choice of the port list. It never opens a port.
class SerialPortListener : public QObject
{
    Q_OBJECT

public:
    SerialPortListener();
    explicit SerialPortListener(std::unique_ptr<PortEnumerator> enumerator);
    ~SerialPortListener() override;

    void setIgnoreBluetooth(bool ignore);
    // The flag for the scans to come, without scanning now.
    void presetIgnoreBluetooth(bool ignore);
    bool getIgnoreBluetooth() const;

signals:
    void onDevicesConnected(QList<SerialPortEntry> ports);
    void onDevicesDisconnected(QList<SerialPortEntry> ports);

public slots:
    void onTimerFired();

private:
    static bool isBluetooth(const QString& portName);
    static bool isBuiltInSerial(const QString& portName);

    QTimer* scanTimer;
    QHash<QString, SerialPortEntry>* portTable;
    bool ignoreBluetooth;
    std::unique_ptr<PortEnumerator> enumerator;
};

#endif // SERIALPORTLISTENER_H
