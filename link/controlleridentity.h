#ifndef CONTROLLERIDENTITY_H
#define CONTROLLERIDENTITY_H

#include <QMap>
#include <QPair>
#include <QVector>

class Kelvara;

// What tells one controller from another: its firmware (register 256), its
// hardware version (the model in the high byte, the batch in the low byte)
// and its serial number. Below firmware 6000 the last two are registers 237
// and 238, from 6000 on 1881 and 2017. None of them can be written, so a
// change of any means another controller answers.
class ControllerIdentity
{
public:
    // Unknown: the same controller as none.
    ControllerIdentity() = default;
    ControllerIdentity(int firmware, int hardwareVersion, int serialNumber);

    // Of the controller whose registers the model holds now.
    static ControllerIdentity of(const Kelvara* model);
    // Of the controller whose raw register values these are (address ->
    // value); unknown unless they hold the firmware and the two registers
    // that firmware keeps the rest in.
    static ControllerIdentity fromRegisters(const QMap<int, int>& registers);

    // The first read of an identity: from the hardware version below
    // firmware 6000 up to the firmware, so that one exchange brings the
    // whole identity of such a controller. Reads are (count, address).
    static QPair<int, int> firstRead();
    // The reads that follow it for a controller of this firmware.
    static QVector<QPair<int, int>> readsAfterFirstRead(int firmware);
    // The most reads any controller's identity takes.
    static int mostReads();
    // The registers beyond the blocks of a read of all parameters that a
    // controller of this firmware keeps its identity in.
    static QVector<int> registersBeyond(int firmware, int lastBlockAddress);
    static bool isIdentityRegister(int address);
    static int serialNumberAddress(int firmware);

    bool isKnown() const { return known; }
    int firmware() const { return firmwareNumber; }

    // Both known and alike: the same controller.
    bool isSameController(const ControllerIdentity& other) const;

private:
    bool known = false;
    int firmwareNumber = 0;
    int hardware = 0;
    int serial = 0;
};

#endif // CONTROLLERIDENTITY_H
