#include "unconfirmedwrites.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>

namespace {

const int discoveryModeAddress = 481;

} // namespace

AutotuneClock systemClock()
{
    return [] { return QDateTime::currentMSecsSinceEpoch(); };
}

AutotuneClock acceleratedClock(int factor)
{
    QElapsedTimer wall;
    wall.start();
    const qint64 base = QDateTime::currentMSecsSinceEpoch();
    return [=] { return base + wall.elapsed() * factor; };
}

UnconfirmedWrites::UnconfirmedWrites(Kelvara* runner, KelvaraCom* com)
    : runner(runner)
    , com(com)
{
}

void UnconfirmedWrites::begin()
{
    savedBefore = runner->getSavedValues();
    written.clear();
}

void UnconfirmedWrites::write(int address, int count)
{
    for (int i = address; i < address + count; ++i) {
        if (runner->getParameter(i)->isSavable())
            written.insert(i);
    }
    com->oneWrite(address, count);
}

void UnconfirmedWrites::confirm()
{
    written.clear();
}

QList<int> UnconfirmedWrites::revert()
{
    QList<int> addresses = written.values();
    std::sort(addresses.begin(), addresses.end());
    written.clear();
    for (const int address : qAsConst(addresses)) {
        if (savedBefore.contains(address))
            runner->setSavedValue(address, savedBefore.value(address));
    }
    const QMap<int, int> unsaved = runner->getUnsavedValues();
    QList<int> stillUnsaved;
    for (const int address : qAsConst(addresses)) {
        if (unsaved.contains(address))
            stillUnsaved << address;
    }
    return stillUnsaved;
}

void UnconfirmedWrites::stopDiscovery()
{
    runner->getParameter(discoveryModeAddress)->setValue(0.0);
    com->oneWrite(discoveryModeAddress, 1);
}
