#include "controlleridentity.h"

#include "controlleridentification.h"
#include "kelvara.h"
#include "parameter.h"

namespace {

const int firmwareAddress = 256;
const int firstV6Firmware = 6000;

int rawValue(const Kelvara* model, int address)
{
    return model->getParameter(address)->getRegisterValue() & 0xFFFF;
}

} // namespace

ControllerIdentity::ControllerIdentity(int firmware, int hardwareVersion, int serialNumber)
    : known(true)
    , firmwareNumber(firmware)
    , hardware(hardwareVersion)
    , serial(serialNumber)
{
}

ControllerIdentity ControllerIdentity::of(const Kelvara* model)
{
    const int firmware = rawValue(model, firmwareAddress);
    return ControllerIdentity(firmware, rawValue(model, hardwareVersionAddress(firmware)),
                              rawValue(model, serialNumberAddress(firmware)));
}

ControllerIdentity ControllerIdentity::fromRegisters(const QMap<int, int>& registers)
{
    if (!registers.contains(firmwareAddress))
        return ControllerIdentity();
    const int firmware = registers.value(firmwareAddress);
    const int hardwareAddress = hardwareVersionAddress(firmware);
    const int serialAddress = serialNumberAddress(firmware);
    if (!registers.contains(hardwareAddress) || !registers.contains(serialAddress))
        return ControllerIdentity();
    return ControllerIdentity(firmware, registers.value(hardwareAddress),
                              registers.value(serialAddress));
}

int ControllerIdentity::serialNumberAddress(int firmware)
{
    return firmware < firstV6Firmware ? 238 : 2017;
}

QPair<int, int> ControllerIdentity::firstRead()
{
    const int first = hardwareVersionAddress(0);
    return qMakePair(firmwareAddress - first + 1, first);
}

QVector<QPair<int, int>> ControllerIdentity::readsAfterFirstRead(int firmware)
{
    const QPair<int, int> first = firstRead();
    const auto covered = [&first](int address) {
        return address >= first.second && address < first.second + first.first;
    };
    const int hardwareAddress = hardwareVersionAddress(firmware);
    const int serialAddress = serialNumberAddress(firmware);
    if (covered(hardwareAddress) && covered(serialAddress))
        return {};
    if (serialAddress == hardwareAddress + 1)
        return {qMakePair(2, hardwareAddress)};
    return {qMakePair(1, hardwareAddress), qMakePair(1, serialAddress)};
}

int ControllerIdentity::mostReads()
{
    return 1
        + int(qMax(readsAfterFirstRead(0).size(), readsAfterFirstRead(firstV6Firmware).size()));
}

QVector<int> ControllerIdentity::registersBeyond(int firmware, int lastBlockAddress)
{
    QVector<int> beyond;
    for (const int address : {hardwareVersionAddress(firmware), serialNumberAddress(firmware)}) {
        if (address > lastBlockAddress)
            beyond << address;
    }
    return beyond;
}

bool ControllerIdentity::isIdentityRegister(int address)
{
    return address == firmwareAddress || address == hardwareVersionAddress(0)
        || address == hardwareVersionAddress(firstV6Firmware) || address == serialNumberAddress(0)
        || address == serialNumberAddress(firstV6Firmware);
}

bool ControllerIdentity::isSameController(const ControllerIdentity& other) const
{
    return known && other.known && firmwareNumber == other.firmwareNumber
        && hardware == other.hardware && serial == other.serial;
}
