#include "identitygate.h"

#include "frameword.h"

namespace {

const char writeFunction = 16;
const int discoveryModeAddress = 481;
const int accessCodeAddress = 509;
const int firmwareAddress = 256;
// Address, count, byte count and one value.
const int singleWriteFrameSize = 11;

} // namespace

void IdentityGate::trust(const ControllerIdentity& identity)
{
    readIdentity = identity;
    doubt = false;
    otherAnswers = false;
}

bool IdentityGate::letsPass(const QByteArray& frame) const
{
    if (isSafetyCommand(frame))
        return true;
    if (otherAnswers)
        return false;
    // Nothing read yet: no controller's values to carry to another.
    return !doubt || !readIdentity.isKnown();
}

bool IdentityGate::isSafetyCommand(const QByteArray& frame)
{
    if (frame.size() != singleWriteFrameSize || frame.at(1) != writeFunction
        || frameWord(frame, 4) != 1)
        return false;
    const int address = frameWord(frame, 2);
    return (address == discoveryModeAddress || address == accessCodeAddress)
        && writeFrameValue(frame, 0) == 0;
}

void IdentityGate::beginCheck()
{
    checking = true;
    answered.clear();
    pendingReads = readIdentity.registerReads();
}

QPair<int, int> IdentityGate::takeNextRead()
{
    return pendingReads.takeFirst();
}

IdentityGate::Verdict IdentityGate::takeAnswer(int address, const QVector<int>& values)
{
    for (int i = 0; i < values.size(); ++i)
        answered.insert(address + i, values.at(i) & 0xFFFF);
    // The firmware comes first: where the rest is depends on it.
    const bool sameFirmware = answered.value(firmwareAddress, -1) == readIdentity.firmware();
    if (sameFirmware && !pendingReads.isEmpty())
        return Verdict::NeedsMore;
    const bool same =
        sameFirmware && ControllerIdentity::fromRegisters(answered).isSameController(readIdentity);
    endCheck();
    if (same) {
        doubt = false;
        return Verdict::SameController;
    }
    otherAnswers = true;
    return Verdict::OtherController;
}

void IdentityGate::endCheck()
{
    checking = false;
    pendingReads.clear();
    answered.clear();
}
