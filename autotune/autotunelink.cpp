#include "autotunelink.h"

#include "autotuneregisters.h"
#include "frameword.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>

using namespace AutotuneRegister;

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

AutotuneLink::AutotuneLink(Kelvara* runner, KelvaraCom* com, qint64 discoveryLimitMs)
    : runner(runner)
    , com(com)
    , limit(discoveryLimitMs, [this] { return now(); })
{
}

AutotuneLink::~AutotuneLink()
{
    stopStepping();
    for (const QMetaObject::Connection& connection : qAsConst(lifetime))
        QObject::disconnect(connection);
}

void AutotuneLink::stopStepping()
{
    QObject::disconnect(stepping);
}

double AutotuneLink::value(int address) const
{
    return runner->getParameter(address)->getValue();
}

void AutotuneLink::setValue(int address, double value)
{
    runner->getParameter(address)->setValue(value);
}

bool AutotuneLink::hasFaults() const
{
    return runner->getParameter(Faults)->getRegisterValue() != 0
        || runner->getParameter(Faults2)->getRegisterValue() != 0;
}

void AutotuneLink::read(int first, int last)
{
    com->oneRead(first, last - first + 1);
}

void AutotuneLink::write(int first, int last)
{
    for (int address = first; address <= last; ++address) {
        if (runner->getParameter(address)->isSavable())
            written.insert(address);
    }
    com->oneWrite(first, last - first + 1);
}

void AutotuneLink::writeCommand(int address, int value)
{
    com->queueCommand(address, value);
}

void AutotuneLink::readFaults()
{
    read(Firmware, Faults2);
}

void AutotuneLink::startDiscovery(int mode)
{
    com->cancelDiscoveryStop(runController);
    limit.watchStart();
    writeCommand(DiscoveryMode, mode);
}

// The controller may start its run at any send of the start, the first
// one too, whose answer was lost; the link judges an answer only when its
// wait runs out, up to seconds later: the run's time counts from the send.
void AutotuneLink::noteSentFrame(const QByteArray& frame)
{
    if (running && singleWriteAddress(frame) == DiscoveryMode && writeFrameValue(frame, 0) != 0)
        limit.noteStartSent();
}

void AutotuneLink::beginRun(KelvaraCom::AutotuneTestState kind)
{
    com->startAutotune(kind);
    runController = com->readController();
    savedBefore = runner->getSavedValues();
    written.clear();
    leftUnsaved.clear();
    stoppedDiscovery = false;
    changedController = false;
    running = true;
}

void AutotuneLink::abandonRun(bool discoveryRunning)
{
    running = false;
    limit.stop();
    stoppedDiscovery = discoveryRunning;
    // The controller tested is out of reach: what it holds is told by its
    // next read.
    if (changedController)
        written.clear();
    else
        leftUnsaved = keepOutsideFlash();
    if (discoveryRunning)
        com->stopDiscoveryRun(runController);
}

void AutotuneLink::confirm()
{
    written.clear();
}

// A write whose answer was lost may have been taken, so the value sent
// counts as well as the one the controller confirmed.
QList<int> AutotuneLink::keepOutsideFlash()
{
    QList<int> addresses = written.values();
    std::sort(addresses.begin(), addresses.end());
    written.clear();
    const QMap<int, int> saved = runner->getSavedValues();
    QList<int> changed;
    for (const int address : qAsConst(addresses)) {
        if (!savedBefore.contains(address))
            continue;
        const int before = savedBefore.value(address);
        if (saved.value(address) == before
            && runner->getParameter(address)->getRegisterValue() == before)
            continue;
        runner->setControllerFlashValue(address, before);
        changed << address;
    }
    return changed;
}
