#include "identitygate.h"

#include "frameword.h"

namespace {

const char writeFunction = 16;
const int discoveryModeAddress = 481;
const int accessCodeAddress = 509;
// Address, count, byte count and one value.
const int singleWriteFrameSize = 11;

} // namespace

void IdentityGate::trust(const ControllerIdentity& identity)
{
    readIdentity = identity;
    doubt = false;
}

bool IdentityGate::letsPass(const QByteArray& frame) const
{
    if (isSafetyCommand(frame))
        return true;
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

bool IdentityGate::takeIdentity(const ControllerIdentity& answering)
{
    if (!answering.isSameController(readIdentity))
        return false;
    doubt = false;
    return true;
}
