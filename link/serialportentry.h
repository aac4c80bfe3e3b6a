#ifndef SERIALPORTENTRY_H
#define SERIALPORTENTRY_H

#include <QList>
#include <QMetaType>
#include <QString>

class QSerialPortInfo;

// One port as the port watcher reports it. Qt's QSerialPortInfo can only
// describe ports Qt enumerates itself, so extra ports (pseudo-terminals)
// travel in this small value type instead. The name is what the port list
// shows and what the link opens: a device name such as "ttyUSB0" or a full
// path such as "/dev/pts/3". A default-made entry has an empty name.
class SerialPortEntry
{
public:
    SerialPortEntry() = default;
    SerialPortEntry(const QString& portName, const QString& systemLocation);
    explicit SerialPortEntry(const QSerialPortInfo& info);

    QString portName() const;
    QString systemLocation() const;
    bool isNull() const;

    bool operator==(const SerialPortEntry& other) const;
    bool operator!=(const SerialPortEntry& other) const;

private:
    QString name;
    QString location;
};

Q_DECLARE_METATYPE(SerialPortEntry)

#endif // SERIALPORTENTRY_H
