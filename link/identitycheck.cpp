#include "identitycheck.h"

void IdentityCheck::begin()
{
    running = true;
    tryCount = 0;
    answeringIdentity = ControllerIdentity();
    beginAgain();
}

void IdentityCheck::beginAgain()
{
    ++tryCount;
    answered.clear();
    pendingReads = {ControllerIdentity::firstRead()};
}

QPair<int, int> IdentityCheck::nextRead() const
{
    return pendingReads.value(0, ControllerIdentity::firstRead());
}

bool IdentityCheck::takeAnswer(int address, const QVector<int>& values)
{
    if (!pendingReads.isEmpty())
        pendingReads.removeFirst();
    for (int i = 0; i < values.size(); ++i)
        answered.insert(address + i, values.at(i) & 0xFFFF);
    // Where the rest lies depends on the firmware that answered.
    const QPair<int, int> first = ControllerIdentity::firstRead();
    if (address == first.second && values.size() == first.first)
        pendingReads = ControllerIdentity::readsAfterFirstRead(values.last() & 0xFFFF);
    if (!pendingReads.isEmpty())
        return false;
    answeringIdentity = ControllerIdentity::fromRegisters(answered);
    return true;
}

void IdentityCheck::end()
{
    running = false;
    pendingReads.clear();
    answered.clear();
}
