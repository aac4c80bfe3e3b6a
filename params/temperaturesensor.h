#ifndef TEMPERATURESENSOR_H
#define TEMPERATURESENSOR_H

#include <QObject>
#include <QString>

// A motor temperature sensor type: its name and the sensor voltage at 0, 25,
// 50, 75, 100 and 125 degrees Celsius (-1.0 where not set).
class TemperatureSensor : public QObject
{
    Q_OBJECT

public:
    static constexpr int pointCount = 6;

    explicit TemperatureSensor(QObject* parent = nullptr);

    QString getName() const { return m_name; }
    // The six voltages, in volts.
    float* getMapping() { return m_mapping; }
    bool hasName() const { return m_hasName; }
    // Set once any point holds a value of 0 or more; never cleared.
    bool hasMapping() const { return m_hasMapping; }

    void setName(const QString& name);
    // Points outside 0..5 are ignored.
    void setMapping(int index, float volts);

private:
    bool m_hasName = false;
    bool m_hasMapping = false;
    QString m_name;
    float m_mapping[pointCount] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
};

#endif // TEMPERATURESENSOR_H
