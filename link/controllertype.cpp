#include "controllertype.h"

ControllerType::ControllerType(const QString& name, int id, int firmware, bool needsTemperatureTab,
                               bool spareFlag, bool hdqFaultLed, bool hdqReplicatesHall,
                               bool fixedInputSources)
    : name(name)
    , id(id)
    , firmware(firmware)
    , needsTemperatureTab(needsTemperatureTab)
    , spareFlag(spareFlag)
    , hdqFaultLed(hdqFaultLed)
    , hdqReplicatesHall(!hdqFaultLed && hdqReplicatesHall)
    , fixedInputSources(fixedInputSources)
{
}

QList<ControllerType> ControllerType::table()
{
    const bool no = false;
    const bool yes = true;
    return {
        // name, id, firmware, temperature tab, spare, HDQ fault LED, HDQ replicates hall, fixed inputs
        {QStringLiteral("Controller"), 0, 5800, no, no, no, no, no},
        {QStringLiteral("Kelvara"), -1, 5838, no, no, no, yes, no},
        {QStringLiteral("Kelvara"), -1, 5857, no, no, no, yes, no},
        {QStringLiteral("Kelvara"), -1, 5875, no, no, no, yes, no},
        {QStringLiteral("Ostrel"), -2, 5857, no, no, no, yes, no},
        {QStringLiteral("Ostrel L10"), -3, 5857, no, no, no, yes, no},
        {QStringLiteral("Ostrel V4 Z9"), 1, 5921, yes, no, yes, no, yes},
        {QStringLiteral("Ostrel V4 L10"), 2, 5921, yes, no, yes, no, yes},
        {QStringLiteral("Ostrel V4 Trelby"), 3, 5921, yes, no, yes, no, yes},
        {QStringLiteral("Ostrel V4 TSM"), 4, 5921, yes, yes, yes, no, yes},
        {QStringLiteral("Halvik L10"), 5, 5931, yes, no, yes, no, yes},
        {QStringLiteral("Halvik MT"), 6, 5931, yes, no, yes, no, yes},
        {QStringLiteral("Ostrel V5 L10"), 7, 5921, yes, no, yes, no, yes},
        {QStringLiteral("Kelvara V6"), 8, 6019, yes, no, no, yes, yes},
        {QStringLiteral("Kelvara V6"), 8, 6021, yes, no, no, yes, yes},
        {QStringLiteral("Kelvara V6"), 8, 6023, yes, no, no, yes, yes},
    };
}
