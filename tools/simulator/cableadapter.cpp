#include "cableadapter.h"

#include "cablestate.h"
#include "cableworker.h"
#include "controllersimulator.h"
#include "simmodbus.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

int word(const QByteArray& frame, int at)
{
    return (static_cast<quint8>(frame.at(at)) << 8) | static_cast<quint8>(frame.at(at + 1));
}

// True when a terminal we hold has hung up: its simulator stopped.
bool hasHungUp(int fd)
{
    pollfd probe = {fd, 0, 0};
    return ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

CableAdapter::Trigger::Trigger() = default;

CableAdapter::Trigger::Trigger(Kind kind, int address)
    : kind(kind)
    , address(address)
{
}

CableAdapter::Trigger CableAdapter::Trigger::nextFrame()
{
    return Trigger();
}

CableAdapter::Trigger CableAdapter::Trigger::nextRead()
{
    return Trigger(Read, -1);
}

CableAdapter::Trigger CableAdapter::Trigger::nextWrite()
{
    return Trigger(Write, -1);
}

CableAdapter::Trigger CableAdapter::Trigger::readAt(int address)
{
    return Trigger(ReadAt, address);
}

CableAdapter::Trigger CableAdapter::Trigger::writeTo(int address)
{
    return Trigger(WriteTo, address);
}

CableAdapter::Trigger CableAdapter::Trigger::touching(int address)
{
    return Trigger(Touching, address);
}

CableAdapter::Trigger CableAdapter::Trigger::nth(int n) const
{
    Trigger copy = *this;
    copy.count = qMax(1, n);
    return copy;
}

bool CableAdapter::Trigger::matches(const QByteArray& frame) const
{
    if (kind == AnyFrame)
        return true;
    if (frame.size() < 2)
        return false;
    const quint8 function = static_cast<quint8>(frame.at(1));
    const bool read = function == SimModbus::ReadHoldingRegisters;
    const bool write = function == SimModbus::WriteMultipleRegisters;
    switch (kind) {
    case Read:
        return read;
    case Write:
        return write;
    case ReadAt:
        return read && frame.size() >= 4 && word(frame, 2) == address;
    case WriteTo:
    case Touching:
        if (!(write || (read && kind == Touching)) || frame.size() < 6)
            return false;
        return address >= word(frame, 2) && address < word(frame, 2) + word(frame, 4);
    case AnyFrame:
        break;
    }
    return true;
}

CableAdapter::CableAdapter(QObject* parent)
    : QObject(parent)
    , state(new CableState)
{
    qRegisterMetaType<CableAdapter::LogEntry>();
    qRegisterMetaType<ControllerSimulator*>();
}

CableAdapter::~CableAdapter()
{
    stop();
}

bool CableAdapter::start()
{
    if (isRunning())
        return true;
    if (!terminal.open()) {
        setError(terminal.errorString());
        return false;
    }
    worker = new CableWorker(terminal.master(), terminal.slave(), state.get());
    connect(worker, &CableWorker::logged, this, &CableAdapter::relayLogEntry);
    serving.start(worker, QStringLiteral("kelvara-cable"));
    return true;
}

void CableAdapter::stop()
{
    if (!serving.isRunning())
        return;
    serving.stop();
    worker = nullptr; // deleted with the thread's end
    for (const auto& port : qAsConst(controllerPorts))
        ::close(port.first);
    controllerPorts.clear();
    terminal.close();
    QMutexLocker lock(&state->mutex);
    state->position = nullptr;
}

bool CableAdapter::isRunning() const
{
    return serving.isRunning();
}

QString CableAdapter::portName() const
{
    return terminal.name();
}

QString CableAdapter::errorString() const
{
    return lastError;
}

void CableAdapter::setError(const QString& text)
{
    lastError = text;
}

bool CableAdapter::plugInto(ControllerSimulator* controller)
{
    return follow({controller});
}

bool CableAdapter::unplug()
{
    return follow({nullptr});
}

bool CableAdapter::follow(const Route& route)
{
    if (!attachAll(route))
        return false;
    QMetaObject::invokeMethod(
        worker, [this, route] { worker->follow(route); }, Qt::BlockingQueuedConnection);
    // A move by hand is told before the call returns, not on some later
    // turn of the caller's event loop.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return true;
}

bool CableAdapter::moveOn(const Trigger& trigger, const Route& route, TriggerFrame frame)
{
    if (!attachAll(route))
        return false;
    QMetaObject::invokeMethod(
        worker, [this, trigger, route, frame] { worker->schedule(trigger, route, frame); },
        Qt::BlockingQueuedConnection);
    return true;
}

void CableAdapter::cancelMoves()
{
    if (worker)
        QMetaObject::invokeMethod(
            worker, [this] { worker->cancelMoves(); }, Qt::BlockingQueuedConnection);
}

bool CableAdapter::attachAll(const Route& route)
{
    if (!isRunning()) {
        setError(QStringLiteral("the adapter is not running"));
        return false;
    }
    if (route.isEmpty()) {
        setError(QStringLiteral("a move needs somewhere to go"));
        return false;
    }
    for (const Stop& stop : route) {
        if (stop.controller && !attach(stop.controller))
            return false;
    }
    return true;
}

// Opens the controller's terminal as its client, once, and again after its
// simulator was started anew.
bool CableAdapter::attach(ControllerSimulator* controller)
{
    const QString name = controller->portName();
    const auto known = controllerPorts.constFind(controller);
    if (known != controllerPorts.constEnd() && known->second == name && !hasHungUp(known->first))
        return true;
    if (name.isEmpty()) {
        setError(QStringLiteral("the controller is not running"));
        return false;
    }
    const int fd =
        ::open(QFile::encodeName(name).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setError(QStringLiteral("cannot open %1: %2")
                     .arg(name, QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    QMetaObject::invokeMethod(
        worker, [this, controller, fd] { worker->attach(controller, fd); },
        Qt::BlockingQueuedConnection);
    if (known != controllerPorts.constEnd())
        ::close(known->first); // the worker has let go of it
    controllerPorts.insert(controller, qMakePair(fd, name));
    return true;
}

ControllerSimulator* CableAdapter::controller() const
{
    QMutexLocker lock(&state->mutex);
    return state->position;
}

QVector<CableAdapter::LogEntry> CableAdapter::frameLog() const
{
    QMutexLocker lock(&state->mutex);
    return state->log;
}

QVector<QByteArray> CableAdapter::requestsTo(const ControllerSimulator* controller) const
{
    QMutexLocker lock(&state->mutex);
    QVector<QByteArray> frames;
    for (const LogEntry& entry : qAsConst(state->log)) {
        if (entry.event == Request && entry.controller == controller)
            frames.append(entry.bytes);
    }
    return frames;
}

void CableAdapter::clearLog()
{
    QMutexLocker lock(&state->mutex);
    state->log.clear();
}

double CableAdapter::elapsedMs() const
{
    QMutexLocker lock(&state->mutex);
    return state->elapsedMs();
}

void CableAdapter::relayLogEntry(const CableAdapter::LogEntry& entry)
{
    emit logged(entry);
    if (entry.event == Moved)
        emit moved(entry.controller);
}
