#include "kelvara.h"

// The controller-type half of the device model.

void Kelvara::setType(int idOrFirmware)
{
    for (const ControllerType& type : qAsConst(controllerTypes)) {
        if (type.id == idOrFirmware) {
            currentType = type;
            return;
        }
    }
    for (const ControllerType& type : qAsConst(controllerTypes)) {
        if (type.firmware == idOrFirmware) {
            currentType = type;
            return;
        }
    }
    currentType = controllerTypes.constFirst();
}

bool Kelvara::isHWIDValid(int id) const
{
    if (id < 1)
        return false;
    for (const ControllerType& type : controllerTypes) {
        if (type.id == id)
            return true;
    }
    return false;
}

bool Kelvara::firmwareBarrierCrossed(int firmware, int otherFirmware) const
{
    return (firmware >= 6000) != (otherFirmware >= 6000);
}
