#include "identitygate.h"

#include "frameword.h"

namespace {

const int discoveryModeAddress = 481;
const int accessCodeAddress = 509;

} // namespace

void IdentityGate::trust(const ControllerIdentity& identity)
{
    readIdentity = identity;
    found = identity;
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
    const int address = singleWriteAddress(frame);
    return (address == discoveryModeAddress || address == accessCodeAddress)
        && writeFrameValue(frame, 0) == 0;
}

bool IdentityGate::takeIdentity(const ControllerIdentity& answering)
{
    found = answering;
    if (!answering.isSameController(readIdentity))
        return false;
    doubt = false;
    return true;
}
