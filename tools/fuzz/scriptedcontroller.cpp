#include "scriptedcontroller.h"

#include "simmodbus.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const quint8 slave = 1;
const int frameGapMs = 20;
const int flashSaveAddress = 511;
const int torqueCommandAddress = 477;

enum Step {
    GoodReply,
    Silence,
    LateReply,
    WrongCrc,
    CutOff,
    Garbage,
    GarbageThenReply,
    Refusal,
    ReplyThenGarbage,
    ForeignReply,
    LyingReply,
    ReplyThenLateGarbage,
    Vanish,
    // Every request from here on, whatever the script holds after it.
    ShortForever,
    LongForever,
    RefusalForever,
    OtherControllerForever,
    SilenceForever,
    SpoiledForever, // a bad CRC
    MixForever,     // the six above in turn
    StepCount
};

const int mixedSteps = MixForever - ShortForever;

int count(const QByteArray& request)
{
    return (quint8(request.at(4)) << 8) | quint8(request.at(5));
}

int address(const QByteArray& request)
{
    return (quint8(request.at(2)) << 8) | quint8(request.at(3));
}

// Length of the request at the start of bytes; 0 while incomplete, -1 for
// bytes that start no request.
int requestLength(const QByteArray& bytes)
{
    if (bytes.size() < 2)
        return 0;
    if (quint8(bytes.at(1)) == SimModbus::ReadHoldingRegisters)
        return 8;
    if (quint8(bytes.at(1)) != SimModbus::WriteMultipleRegisters)
        return -1;
    return bytes.size() < 6 ? 0 : 9 + 2 * count(bytes);
}

QByteArray goodReply(const QByteArray& request, bool otherController = false)
{
    QByteArray reply = request.left(2);
    if (quint8(request.at(1)) == SimModbus::WriteMultipleRegisters)
        return SimModbus::withCrc(request.left(6));
    const int registers = count(request);
    reply.append(char((registers * 2) & 0xFF));
    for (int i = 0; i < registers; ++i) {
        const int at = address(request) + i;
        const quint16 value = otherController ? ScriptedController::otherControllersValue(at)
                                              : ScriptedController::registerValue(at);
        reply.append(char(value >> 8));
        reply.append(char(value & 0xFF));
    }
    return SimModbus::withCrc(reply);
}

} // namespace

ScriptedController::ScriptedController(const QByteArray& script, int unitMs)
    : m_script(script)
    , m_unitMs(unitMs)
{
}

ScriptedController::~ScriptedController()
{
    m_stop = true;
    if (m_wakeFds[1] >= 0) {
        const char wake = 0;
        (void)::write(m_wakeFds[1], &wake, 1);
    }
    if (m_thread.joinable())
        m_thread.join();
    closeTerminal();
    for (const int fd : m_wakeFds) {
        if (fd >= 0)
            ::close(fd);
    }
}

quint16 ScriptedController::registerValue(int address)
{
    // Saved to flash, motor at rest; every other register tells its address.
    if (address == flashSaveAddress)
        return 4096;
    if (address == torqueCommandAddress)
        return 0;
    return quint16(quint32(address & 0xFFFF) * 40503u + 0x1234u);
}

quint16 ScriptedController::otherControllersValue(int address)
{
    // The serial numbers below firmware 6000 and from 6000 on.
    const quint16 value = registerValue(address);
    return address == 238 || address == 2017 ? quint16(value ^ 0x5A5A) : value;
}

bool ScriptedController::start()
{
    char name[256] = {};
    if (::openpty(&m_masterFd, &m_slaveFd, name, nullptr, nullptr) != 0)
        return false;
    // The slave side stays open here, so the master never sees a hang-up
    // while the link has the port closed.
    termios raw;
    if (::tcgetattr(m_slaveFd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slaveFd, TCSANOW, &raw);
    }
    ::fcntl(m_masterFd, F_SETFL, ::fcntl(m_masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slaveFd, F_SETFD, FD_CLOEXEC);
    if (::pipe(m_wakeFds) != 0)
        return false;
    m_portName = QString::fromLocal8Bit(name);
    m_thread = std::thread([this] { serve(); });
    return true;
}

QByteArray ScriptedController::lastRequest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastRequest;
}

QVector<ScriptedController::Answer> ScriptedController::answersWith(const QByteArray& reply) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<Answer> found;
    for (const Answer& answer : m_answers) {
        if (answer.bytes.startsWith(reply))
            found << answer;
    }
    return found;
}

void ScriptedController::noteLinkSent(const QByteArray& frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_linkSends.append(qMakePair(frame, nowUs()));
}

// Whether the answer kept its promise, counted from the link's last send
// of its request: written later, this thread or the one reading the
// request was held up by the machine.
void ScriptedController::noteWritten(const Pending& pending)
{
    const qint64 written = nowUs();
    std::lock_guard<std::mutex> lock(m_mutex);
    Answer answer{pending.request, pending.bytes};
    for (int i = m_linkSends.size() - 1; i >= 0; --i) {
        if (m_linkSends.at(i).first != pending.request)
            continue;
        answer.keptTiming = written - m_linkSends.at(i).second <= qint64(m_unitMs) * 1300;
        break;
    }
    m_answers.append(answer);
}

qint64 ScriptedController::nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

qint64 ScriptedController::nowMs() const
{
    return nowUs() / 1000;
}

void ScriptedController::serve()
{
    while (!m_stop && m_masterFd >= 0) {
        int waitMs = frameGapMs;
        for (const Pending& pending : qAsConst(m_pending))
            waitMs = int(std::min<qint64>(waitMs, std::max<qint64>(0, pending.dueMs - nowMs())));
        pollfd fds[2] = {{m_masterFd, POLLIN, 0}, {m_wakeFds[0], POLLIN, 0}};
        ::poll(fds, 2, waitMs);
        if (fds[0].revents & POLLIN) {
            char buffer[512];
            const ssize_t got = ::read(m_masterFd, buffer, sizeof buffer);
            if (got > 0) {
                m_input.append(buffer, int(got));
                m_lastInputMs = nowMs();
            }
        }
        // Bytes that never made a request are dropped after a silence.
        if (!m_input.isEmpty() && nowMs() - m_lastInputMs > frameGapMs)
            m_input.clear();
        takeRequests();
        writeDue();
    }
}

void ScriptedController::takeRequests()
{
    for (;;) {
        const int length = requestLength(m_input);
        if (length < 0) {
            m_input.clear();
            return;
        }
        if (length == 0 || m_input.size() < length)
            return;
        const QByteArray request = m_input.left(length);
        m_input.remove(0, length);
        if (quint8(request.at(0)) != slave || !SimModbus::hasValidCrc(request))
            continue;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lastRequest = request;
        }
        answer(request);
        if (m_masterFd < 0)
            return;
    }
}

quint8 ScriptedController::take()
{
    return m_position < m_script.size() ? quint8(m_script.at(m_position++)) : 0;
}

// Bytes that can never start a reply of slave 1.
QByteArray ScriptedController::garbage(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(take()));
    if (!bytes.isEmpty() && quint8(bytes.at(0)) == slave)
        bytes[0] = char(slave ^ 0x80);
    return bytes;
}

void ScriptedController::answer(const QByteArray& request)
{
    if (m_forever >= 0) {
        answerForever(request);
        return;
    }
    const QByteArray good = goodReply(request);
    if (m_position >= m_script.size()) {
        send(request, good, 0);
        return;
    }
    const quint8 step = take() % StepCount;
    if (step >= ShortForever) {
        m_forever = step;
        m_foreverCount = take();
        answerForever(request);
        return;
    }
    const quint8 parameter = take();
    // Within half the shortest wait, or later than it (below 1.3 units).
    const qint64 early = m_unitMs * (parameter % 50) / 100;
    const qint64 late = m_unitMs * (110 + parameter % 21) / 100;
    switch (step) {
    case GoodReply:
        send(request, good, early);
        break;
    case Silence:
        break;
    case LateReply:
        send(request, good, late);
        break;
    case WrongCrc: {
        QByteArray spoilt = good;
        spoilt[spoilt.size() - 1] = char(spoilt.at(spoilt.size() - 1) ^ (parameter | 1));
        send(request, spoilt, early);
        break;
    }
    case CutOff:
        send(request, good.left(parameter % good.size()), early);
        break;
    case Garbage:
        send(request, garbage(1 + parameter % 24), early);
        break;
    case GarbageThenReply:
        send(request, garbage(1 + parameter % 8) + good, early);
        break;
    case Refusal:
        send(request, SimModbus::exceptionReply(slave, quint8(request.at(1)), parameter % 12),
             early);
        break;
    case ReplyThenGarbage:
        send(request, good + garbage(1 + parameter % 8), early);
        break;
    case ForeignReply: {
        QByteArray foreign = good.left(good.size() - 2);
        foreign[parameter % 2] = char(foreign.at(parameter % 2) ^ (1 + parameter % 7));
        send(request, SimModbus::withCrc(foreign), early);
        break;
    }
    case LyingReply: {
        QByteArray lie = good.left(good.size() - 2);
        for (int i = 2; i < lie.size(); ++i)
            lie[i] = char(take());
        send(request, SimModbus::withCrc(lie), early);
        break;
    }
    case ReplyThenLateGarbage:
        send(request, good, early);
        send(request, garbage(1 + parameter % 8), late);
        break;
    case Vanish:
        closeTerminal();
        break;
    }
}

// At once, as a controller answers; the kind of a mix goes round from the
// step's parameter.
void ScriptedController::answerForever(const QByteArray& request)
{
    int step = m_forever;
    if (step == MixForever)
        step = ShortForever + m_foreverCount++ % mixedSteps;
    const QByteArray good = goodReply(request);
    switch (step) {
    case ShortForever:
        send(request, good.left(good.size() - 1), 0);
        break;
    case LongForever:
        send(request, good + char(0), 0);
        break;
    case RefusalForever:
        send(request, SimModbus::exceptionReply(slave, quint8(request.at(1)), 2), 0);
        break;
    case OtherControllerForever:
        send(request, goodReply(request, true), 0);
        break;
    case SilenceForever:
        break;
    case SpoiledForever: {
        QByteArray spoilt = good;
        spoilt[spoilt.size() - 1] = char(spoilt.at(spoilt.size() - 1) ^ 0x5A);
        send(request, spoilt, 0);
        break;
    }
    }
}

void ScriptedController::send(const QByteArray& request, const QByteArray& bytes, qint64 delayMs)
{
    if (bytes.isEmpty())
        return;
    m_pending.append({nowMs() + delayMs, bytes, request});
    writeDue();
}

void ScriptedController::writeDue()
{
    const qint64 now = nowMs();
    for (int i = 0; i < m_pending.size() && m_masterFd >= 0;) {
        if (m_pending.at(i).dueMs > now) {
            ++i;
            continue;
        }
        // Each answer goes out in one write.
        const Pending pending = m_pending.takeAt(i);
        // Known before the link can read it.
        noteWritten(pending);
        (void)::write(m_masterFd, pending.bytes.constData(), size_t(pending.bytes.size()));
    }
}

void ScriptedController::closeTerminal()
{
    if (m_masterFd >= 0)
        ::close(m_masterFd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
    m_masterFd = m_slaveFd = -1;
    m_pending.clear();
}
