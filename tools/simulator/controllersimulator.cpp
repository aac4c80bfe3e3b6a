#include "controllersimulator.h"

#include "registerimage.h"
#include "simulatorstate.h"
#include "simulatorworker.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMutexLocker>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {

void setMember(QSet<int>& addresses, int address, bool member)
{
    if (member)
        addresses.insert(address);
    else
        addresses.remove(address);
}

} // namespace

ControllerSimulator::ControllerSimulator(QObject* parent)
    : QObject(parent)
    , state(new SimulatorState)
{
    qRegisterMetaType<ControllerSimulator::LogEntry>();
}

ControllerSimulator::~ControllerSimulator()
{
    stop();
}

bool ControllerSimulator::start()
{
    if (isRunning())
        return true;
    if (!terminal.open()) {
        setError(terminal.errorString());
        return false;
    }
    {
        QMutexLocker lock(&state->mutex);
        ptsName = terminal.name();
    }

    worker = new SimulatorWorker(terminal.master(), terminal.slave(), state.get());
    connect(worker, &SimulatorWorker::frameLogged, this, &ControllerSimulator::relayLogEntry);
    connect(worker, &SimulatorWorker::hungUp, this, &ControllerSimulator::stop,
            Qt::QueuedConnection);
    serving.start(worker, QStringLiteral("kelvara-sim"));
    return true;
}

void ControllerSimulator::stop()
{
    if (!serving.isRunning())
        return;
    serving.stop();
    worker = nullptr; // deleted with the thread's end
    closeTerminal();
}

void ControllerSimulator::closeTerminal()
{
    terminal.close();
    QMutexLocker lock(&state->mutex);
    ptsName.clear();
}

bool ControllerSimulator::isRunning() const
{
    return serving.isRunning();
}

QString ControllerSimulator::portName() const
{
    QMutexLocker lock(&state->mutex);
    return ptsName;
}

QString ControllerSimulator::errorString() const
{
    QMutexLocker lock(&state->mutex);
    return lastError;
}

void ControllerSimulator::setError(const QString& text)
{
    QMutexLocker lock(&state->mutex);
    lastError = text;
}

quint16 ControllerSimulator::registerValue(int address) const
{
    QMutexLocker lock(&state->mutex);
    return state->controller.value(address);
}

QVector<quint16> ControllerSimulator::registerValues(int address, int count) const
{
    QMutexLocker lock(&state->mutex);
    QVector<quint16> values;
    for (int i = 0; i < count; ++i)
        values.append(state->controller.value(address + i));
    return values;
}

bool ControllerSimulator::setRegisterValue(int address, int value)
{
    if (address < 0 || address >= RegisterCount || value < -32768 || value > 65535)
        return false;
    QMutexLocker lock(&state->mutex);
    state->controller.setValue(address, static_cast<quint16>(value & 0xFFFF));
    return true;
}

void ControllerSimulator::clearRegisters()
{
    QMutexLocker lock(&state->mutex);
    state->controller.clear();
}

bool ControllerSimulator::loadImage(const QString& fileName)
{
    RegisterImage::Values values;
    QString error;
    if (!RegisterImage::load(fileName, &values, &error)) {
        setError(error);
        return false;
    }
    QMutexLocker lock(&state->mutex);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        state->controller.setValue(it.key(), it.value());
    return true;
}

bool ControllerSimulator::loadImageData(const QByteArray& data)
{
    RegisterImage::Values values;
    QString error;
    if (!RegisterImage::parse(data, &values, &error)) {
        setError(error);
        return false;
    }
    QMutexLocker lock(&state->mutex);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        state->controller.setValue(it.key(), it.value());
    return true;
}

QString ControllerSimulator::defaultImagePath()
{
    return QStringLiteral(":/InitialValues.xml");
}

bool ControllerSimulator::loadDefaultImage()
{
    if (!QFile::exists(defaultImagePath())) {
        setError(QStringLiteral("%1 is not built into this program").arg(defaultImagePath()));
        return false;
    }
    return loadImage(defaultImagePath());
}

void ControllerSimulator::setFlashSaveFails(bool fails)
{
    QMutexLocker lock(&state->mutex);
    state->controller.setFlashSaveFails(fails);
}

MotorBehaviour ControllerSimulator::motorBehaviour() const
{
    QMutexLocker lock(&state->mutex);
    return state->controller.motorBehaviour();
}

void ControllerSimulator::setMotorBehaviour(const MotorBehaviour& behaviour)
{
    QMutexLocker lock(&state->mutex);
    state->controller.setMotorBehaviour(behaviour);
}

void ControllerSimulator::setTorqueCommand(int value)
{
    setRegisterValue(SimulatedController::TorqueCommandRegister, value);
}

void ControllerSimulator::setSilent(bool silent)
{
    QMutexLocker lock(&state->mutex);
    state->faults.silent = silent;
}

void ControllerSimulator::silenceNextRequests(int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.silenceNext.set(times, 0);
}

void ControllerSimulator::silenceEvery(int nth)
{
    QMutexLocker lock(&state->mutex);
    state->faults.silenceEvery = std::max(nth, 0);
    state->faults.sinceEverySilence = 0;
}

void ControllerSimulator::setSilentAtAddress(int address, bool silent)
{
    QMutexLocker lock(&state->mutex);
    setMember(state->faults.silentAddresses, address, silent);
}

void ControllerSimulator::dropRequestsFor(int ms)
{
    QMutexLocker lock(&state->mutex);
    state->faults.dropUntilMs = state->elapsedMs() + qMax(0, ms);
}

void ControllerSimulator::loseRepliesAtAddress(int address, int times)
{
    QMutexLocker lock(&state->mutex);
    if (times == 0)
        state->faults.lostReplyAddresses.remove(address);
    else
        state->faults.lostReplyAddresses.insert(address, times);
}

void ControllerSimulator::setReplyDelay(int ms)
{
    QMutexLocker lock(&state->mutex);
    state->faults.replyDelayMs = qMax(0, ms);
}

void ControllerSimulator::setLineRate(int bitsPerSecond)
{
    QMutexLocker lock(&state->mutex);
    state->faults.lineRate = qMax(0, bitsPerSecond);
}

void ControllerSimulator::corruptCrc(int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.corruptCrc.set(times, 0);
}

void ControllerSimulator::setBadCrcAtAddress(int address, bool bad)
{
    QMutexLocker lock(&state->mutex);
    setMember(state->faults.badCrcAddresses, address, bad);
}

void ControllerSimulator::shortenReplies(int missingBytes, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.shortReply.set(times, missingBytes);
}

void ControllerSimulator::lengthenReplies(int extraBytes, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.longReply.set(times, extraBytes);
}

void ControllerSimulator::prefixReplies(int garbageBytes, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.leadingGarbage.set(times, garbageBytes);
}

void ControllerSimulator::replyWithException(int exceptionCode, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.exception.set(times, exceptionCode);
}

void ControllerSimulator::setExceptionAtAddress(int address, int exceptionCode)
{
    QMutexLocker lock(&state->mutex);
    if (exceptionCode == 0)
        state->faults.exceptionAddresses.remove(address);
    else
        state->faults.exceptionAddresses.insert(address, exceptionCode);
}

void ControllerSimulator::replyFromSlave(int slaveAddress, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.otherSlave.set(times, slaveAddress);
}

void ControllerSimulator::replyWithFunction(int functionCode, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.otherFunction.set(times, functionCode);
}

void ControllerSimulator::duplicateReplies(int delayMs, int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.lateDuplicate.set(times, delayMs);
}

void ControllerSimulator::takeRequestsTwice(int times)
{
    QMutexLocker lock(&state->mutex);
    state->faults.requestTwice.set(times, 0);
}

void ControllerSimulator::setLineNoise(int intervalMs, char byte)
{
    if (worker)
        QMetaObject::invokeMethod(
            worker, [w = worker, intervalMs, byte] { w->setNoise(intervalMs, byte); });
}

void ControllerSimulator::setNoise(double percent, quint32 seed, ReplyNoise::Kind kind)
{
    QMutexLocker lock(&state->mutex);
    state->faults.noise.set(percent, seed, kind);
}

void ControllerSimulator::closeTerminalAtRequest(int request)
{
    QMutexLocker lock(&state->mutex);
    state->faults.hangUpAtRequest = qMax(0, request);
}

void ControllerSimulator::resetFaults()
{
    setLineNoise(0);
    QMutexLocker lock(&state->mutex);
    state->faults.clear();
}

void ControllerSimulator::setFrameGap(int ms)
{
    QMutexLocker lock(&state->mutex);
    state->frameGapMs = qMax(1, ms);
}

QVector<ControllerSimulator::LogEntry> ControllerSimulator::frameLog() const
{
    QMutexLocker lock(&state->mutex);
    return state->log;
}

QVector<QByteArray> ControllerSimulator::bytesOf(Direction direction) const
{
    QMutexLocker lock(&state->mutex);
    QVector<QByteArray> frames;
    for (const LogEntry& entry : qAsConst(state->log)) {
        if (entry.direction == direction)
            frames.append(entry.bytes);
    }
    return frames;
}

int ControllerSimulator::countOf(Direction direction) const
{
    QMutexLocker lock(&state->mutex);
    int count = 0;
    for (const LogEntry& entry : qAsConst(state->log)) {
        if (entry.direction == direction)
            ++count;
    }
    return count;
}

QVector<QByteArray> ControllerSimulator::requests() const
{
    return bytesOf(Request);
}

QVector<QByteArray> ControllerSimulator::replies() const
{
    return bytesOf(Reply);
}

int ControllerSimulator::requestCount() const
{
    return countOf(Request);
}

int ControllerSimulator::replyCount() const
{
    return countOf(Reply);
}

void ControllerSimulator::clearLog()
{
    QMutexLocker lock(&state->mutex);
    state->log.clear();
}

double ControllerSimulator::elapsedMs() const
{
    QMutexLocker lock(&state->mutex);
    return state->elapsedMs();
}

bool ControllerSimulator::waitForRequests(int count, int timeoutMs)
{
    return waitForEntries(Request, count, timeoutMs);
}

bool ControllerSimulator::waitForReplies(int count, int timeoutMs)
{
    return waitForEntries(Reply, count, timeoutMs);
}

bool ControllerSimulator::waitForEntries(Direction direction, int count, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (countOf(direction) < count) {
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0)
            return false;
        // The caller's events go on (a client port needs them); each logged
        // frame, or a short tick, wakes the loop to count again.
        QEventLoop loop;
        connect(this, &ControllerSimulator::frameLogged, &loop, &QEventLoop::quit);
        QTimer::singleShot(static_cast<int>(qMin<qint64>(left, 20)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void ControllerSimulator::relayLogEntry(const ControllerSimulator::LogEntry& entry)
{
    emit frameLogged(entry);
    if (entry.direction == Request)
        emit requestReceived(entry.bytes);
    else if (entry.direction == Reply)
        emit replySent(entry.bytes);
}
