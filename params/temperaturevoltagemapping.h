#ifndef TEMPERATUREVOLTAGEMAPPING_H
#define TEMPERATUREVOLTAGEMAPPING_H

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class Kelvara;
class TemperatureSensor;

// The known motor temperature sensor types, followed by one entry
// "Current Values" that mirrors registers 93 to 98 of the controller.
class TemperatureVoltageMapping : public QObject
{
    Q_OBJECT

public:
    static const QString nameTag;
    static const QString mappingsTag;
    static const QString sensorTag;

    explicit TemperatureVoltageMapping(Kelvara* device);
    ~TemperatureVoltageMapping() override;

    // Appends one sensor per member of the sensor file. The j-th point is
    // read from the key for 25 x j degrees.
    void importFromJSON(const QString& path = QStringLiteral(":/temperature_voltage_map.json"));

    // Owned by this table; "Current Values", once added, stays last.
    QList<TemperatureSensor*> sensors;

    // Registers 93 to 98 as importFromController() last took them, raw:
    // "Current Values" brings back these, not its volts, which show a value
    // beyond the limits as the limit and round off the rest.
    QVector<int> currentRawValues() const { return m_currentRaw; }

public slots:
    // Adds or refreshes "Current Values" from registers 93 to 98.
    void importFromController();

private:
    Kelvara* m_device;
    QVector<int> m_currentRaw;
};

#endif // TEMPERATUREVOLTAGEMAPPING_H
