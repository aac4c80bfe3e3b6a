#include "simulatorworker.h"

#include "pseudoterminal.h"
#include "simmodbus.h"
#include "simulatorstate.h"
#include "terminalchannel.h"

#include <QMutexLocker>
#include <QTimer>

SimulatorWorker::SimulatorWorker(int masterFd, int slaveFd, SimulatorState* state)
    : masterFd(masterFd)
    , slaveFd(slaveFd)
    , state(state)
{
}

void SimulatorWorker::begin()
{
    channel = new TerminalChannel(masterFd, this);
    connect(channel, &TerminalChannel::bytesArrived, this, &SimulatorWorker::takeBytes);
    // Only happens when no one holds the slave side, which this simulator
    // always does.
    connect(channel, &TerminalChannel::failed, this, [](const QString& why) {
        qWarning("kelvara-sim: the terminal failed: %s", qPrintable(why));
    });

    gapTimer = new QTimer(this);
    gapTimer->setSingleShot(true);
    gapTimer->setTimerType(Qt::PreciseTimer);
    connect(gapTimer, &QTimer::timeout, this, &SimulatorWorker::endOfGap);
}

void SimulatorWorker::setNoise(int intervalMs, char byte)
{
    noiseByte = byte;
    if (!noiseTimer) {
        noiseTimer = new QTimer(this);
        connect(noiseTimer, &QTimer::timeout, this,
                [this] { channel->send(QByteArray(1, noiseByte)); });
    }
    if (intervalMs > 0)
        noiseTimer->start(intervalMs);
    else
        noiseTimer->stop();
}

int SimulatorWorker::frameGap() const
{
    QMutexLocker lock(&state->mutex);
    return state->frameGapMs;
}

bool SimulatorWorker::takeRequestTwice()
{
    QMutexLocker lock(&state->mutex);
    return state->faults.requestTwice.take();
}

void SimulatorWorker::takeBytes(const QByteArray& arrived)
{
    PseudoTerminal::releaseExclusiveUse(slaveFd);

    const double now = state->elapsedMs();
    if (!input.isEmpty() && now - lastInputMs > frameGap())
        discard(input, QStringLiteral("incomplete frame"));
    lastInputMs = now;
    input.append(arrived);
    takeCompleteFrames();

    if (input.isEmpty())
        gapTimer->stop();
    else
        gapTimer->start(frameGap());
}

void SimulatorWorker::takeCompleteFrames()
{
    while (!input.isEmpty()) {
        const int length = SimModbus::requestLength(input);
        if (length <= 0 || input.size() < length)
            return; // more bytes to come, or only a pause can tell the end
        const QByteArray frame = input.left(length);
        input.remove(0, length);
        if (SimModbus::hasValidCrc(frame)) {
            const bool twice = takeRequestTwice();
            handleRequest(frame);
            if (twice)
                handleRequest(frame);
        } else
            discard(frame, QStringLiteral("bad CRC"));
    }
}

void SimulatorWorker::endOfGap()
{
    if (input.isEmpty())
        return;
    const QByteArray bytes = input;
    input.clear();
    // A function of unknown length ends with the pause; a slave answers it
    // with an exception if it is whole and meant for it.
    if (SimModbus::requestLength(bytes) == SimModbus::UnknownLength
        && SimModbus::hasValidCrc(bytes))
        handleRequest(bytes);
    else
        discard(bytes, QStringLiteral("incomplete frame"));
}

void SimulatorWorker::handleRequest(const QByteArray& frame)
{
    QByteArray reply;
    QStringList notes;
    int delayMs = 0;
    int duplicateMs = -1;
    bool hangUp = false;
    {
        QMutexLocker lock(&state->mutex);
        if (static_cast<quint8>(frame.at(0)) != SimulatedController::SlaveAddress) {
            notes.append(QStringLiteral("for another slave"));
        } else if (state->faults.takeHangUp(&notes)) {
            hangUp = true;
        } else if (!state->faults.takeSilence(frame, state->elapsedMs(), &notes)) {
            reply = state->faults.takeException(frame, &notes);
            if (reply.isEmpty())
                reply = state->controller.answer(frame, state->elapsedMs());
            if (state->faults.takeLostReply(frame, &notes)) {
                reply.clear();
            } else {
                reply = state->faults.distort(frame, reply, &notes);
                reply = state->faults.noise.spoil(reply, &notes);
                if (!reply.isEmpty()) {
                    delayMs = state->faults.replyDelay(reply.size());
                    if (delayMs > 0)
                        notes.append(QStringLiteral("reply delayed %1 ms").arg(delayMs));
                    duplicateMs = state->faults.takeDuplicateDelay(&notes);
                }
            }
        }
    }
    log(ControllerSimulator::Request, frame, notes.join(QStringLiteral(", ")));
    if (hangUp) {
        channel->stopReading();
        emit hungUp();
        return;
    }
    if (reply.isEmpty())
        return;

    const QString note = notes.join(QStringLiteral(", "));
    if (delayMs > 0)
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this,
                           [this, reply, note] { send(reply, note); });
    else
        send(reply, note);
    if (duplicateMs >= 0) {
        QTimer::singleShot(delayMs + duplicateMs, Qt::PreciseTimer, this,
                           [this, reply] { send(reply, QStringLiteral("late duplicate")); });
    }
}

void SimulatorWorker::discard(const QByteArray& bytes, const QString& why)
{
    log(ControllerSimulator::Discarded, bytes, why);
}

void SimulatorWorker::send(const QByteArray& bytes, const QString& note)
{
    log(ControllerSimulator::Reply, bytes, note);
    channel->send(bytes);
}

void SimulatorWorker::log(ControllerSimulator::Direction direction, const QByteArray& bytes,
                          const QString& note)
{
    ControllerSimulator::LogEntry entry;
    entry.direction = direction;
    entry.bytes = bytes;
    entry.note = note;
    {
        QMutexLocker lock(&state->mutex);
        entry.elapsedMs = state->elapsedMs();
        state->log.append(entry);
    }
    emit frameLogged(entry);
}
