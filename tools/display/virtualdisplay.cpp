#include "virtualdisplay.h"

#include <QByteArray>
#include <QSize>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const int startTimeLimitMs = 10000;

QString xvfbPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
}

// The line the server writes to its display descriptor once it is ready.
QByteArray readDisplayNumber(int fd)
{
    QByteArray text;
    pollfd waiter{fd, POLLIN, 0};
    while (!text.contains('\n') && poll(&waiter, 1, startTimeLimitMs) > 0) {
        char buffer[32];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, int(n));
    }
    return text.trimmed();
}

} // namespace

VirtualDisplay::VirtualDisplay(int dpi, const QSize& pixels)
    : m_dpi(dpi)
    , m_pixels(pixels)
{
}

VirtualDisplay::~VirtualDisplay()
{
    stop();
}

bool VirtualDisplay::isAvailable()
{
    return !xvfbPath().isEmpty();
}

bool VirtualDisplay::takeOptions(int argc, char** argv, QStringList* args, bool* xcb, int* dpi)
{
    for (int i = 1; i < argc; ++i)
        *args << QString::fromLocal8Bit(argv[i]);
    *xcb = args->removeAll(QStringLiteral("--xcb")) > 0;
    const int dpiAt = args->indexOf(QStringLiteral("--dpi"));
    if (dpiAt >= 0 && dpiAt + 1 < args->size()) {
        *dpi = args->at(dpiAt + 1).toInt();
        args->erase(args->begin() + dpiAt, args->begin() + dpiAt + 2);
    }
    return *dpi > 0;
}

bool VirtualDisplay::startOrOffscreen(bool xcb)
{
    if (xcb)
        return start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

bool VirtualDisplay::start()
{
    const QString program = xvfbPath();
    if (program.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed (Debian package xvfb)");
        return false;
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // The server picks a free display and writes its number to the pipe.
    const QByteArray programPath = program.toLocal8Bit();
    const QByteArray fd = QByteArray::number(pipeEnds[1]);
    // The server works out the screen's millimetres from the DPI.
    const QByteArray screen =
        QByteArray::number(m_pixels.width()) + 'x' + QByteArray::number(m_pixels.height()) + "x24";
    const QByteArray dpi = QByteArray::number(m_dpi);
    const char* arguments[] = {programPath.constData(),
                               "-displayfd",
                               fd.constData(),
                               "-screen",
                               "0",
                               screen.constData(),
                               "-dpi",
                               dpi.constData(),
                               "-nolisten",
                               "tcp",
                               nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&m_pid, programPath.constData(), &actions, nullptr,
                                    const_cast<char**>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        m_pid = -1;
        m_error = QString::fromLocal8Bit(std::strerror(spawned));
        return false;
    }
    const QByteArray number = readDisplayNumber(pipeEnds[0]);
    close(pipeEnds[0]);
    if (number.isEmpty()) {
        stop();
        m_error = QStringLiteral("Xvfb did not start");
        return false;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(number);
    qputenv("DISPLAY", m_name.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

void VirtualDisplay::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}
