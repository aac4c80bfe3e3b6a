#ifndef CONTROLLERTYPE_H
#define CONTROLLERTYPE_H

#include <QList>
#include <QString>

// One controller model of the type table: a plain value record.
struct ControllerType
{
    ControllerType() = default;
    // hdqReplicatesHall is kept only when hdqFaultLed is off: the two never
    // hold together.
    ControllerType(const QString& name, int id, int firmware, bool needsTemperatureTab,
                   bool spareFlag, bool hdqFaultLed, bool hdqReplicatesHall,
                   bool fixedInputSources);

    // The sixteen rows in search order; the first is the generic "Controller".
    static QList<ControllerType> table();

    QString name;
    int id = 0;       // 0 generic, -1..-3 told apart by ratings, 1..8 reported hardware ids
    int firmware = 0; // software revision x 1000 (register 256)
    bool needsTemperatureTab = false;
    bool spareFlag = false;
    bool hdqFaultLed = false;
    bool hdqReplicatesHall = false;
    bool fixedInputSources = false;
};

#endif // CONTROLLERTYPE_H
