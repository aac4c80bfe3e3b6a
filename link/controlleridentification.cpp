#include "controlleridentification.h"

#include "kelvara.h"
#include "parameter.h"

namespace {

const int currentRatingAddress = 0;
const int voltageGainAddress = 15;
const int firmwareAddress = 256;

// Firmware from which the controller reports its model in the hardware version.
const int hardwareIdFirmware = 5921;

// Older models are told apart by voltage gain and current rating. A value
// that is not a number fails every comparison and so matches no rule.
int typeFromRatings(double gain, double current)
{
    if (gain >= 27 && gain <= 28 && current <= 80)
        return -2;
    if (gain >= 27 && gain <= 28 && current >= 100 && current < 120)
        return -3;
    if (gain >= 31 && gain <= 33 && current >= 120 && current < 140)
        return -1;
    return 0;
}

} // namespace

int hardwareVersionAddress(int firmware)
{
    return firmware < 6000 ? 237 : 1881;
}

void identifyControllerType(Kelvara* device)
{
    const double current = device->getParameter(currentRatingAddress)->getValue();
    const double gain = device->getParameter(voltageGainAddress)->getValue();
    const int firmware = device->getParameter(firmwareAddress)->getRegisterValue();
    const int hardwareVersion =
        device->getParameter(hardwareVersionAddress(firmware))->getRegisterValue();

    if (firmware >= hardwareIdFirmware) {
        const int id = hardwareVersion >> 8;
        device->setType(device->isHWIDValid(id) ? id : firmware);
        return;
    }
    device->setType(typeFromRatings(gain, current));
}
