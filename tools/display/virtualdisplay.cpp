#include "virtualdisplay.h"

#include <QByteArray>
#include <QSize>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include <xcb/xcb.h>

extern char** environ;

namespace {

const int startTimeLimitMs = 10000;

QString xvfbPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
}

QString openboxPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("openbox"));
}

// The lines a started program writes to the pipe, until one passes the
// test; that line, or empty when none came in time.
QByteArray readLineUntil(int fd, const std::function<bool(const QByteArray&)>& wanted)
{
    QByteArray text;
    pollfd waiter{fd, POLLIN, 0};
    while (poll(&waiter, 1, startTimeLimitMs) > 0) {
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, int(n));
        for (int end = text.indexOf('\n'); end >= 0; end = text.indexOf('\n')) {
            const QByteArray line = text.left(end).trimmed();
            text.remove(0, end + 1);
            if (wanted(line))
                return line;
        }
    }
    return QByteArray();
}

// Starts the program with its standard output on outputFd (or /dev/null
// when -1) and its errors on /dev/null; the other descriptors it inherits,
// except closeFd. -1 with the reason in error when it could not start.
pid_t spawn(const QList<QByteArray>& arguments, int outputFd, int closeFd, QString* error)
{
    std::vector<char*> argv;
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, closeFd);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, outputFd);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        *error = QString::fromLocal8Bit(std::strerror(spawned));
        return -1;
    }
    return pid;
}

void terminate(pid_t* pid)
{
    if (*pid <= 0)
        return;
    kill(*pid, SIGTERM);
    waitpid(*pid, nullptr, 0);
    *pid = -1;
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
        return start() && (!hasWindowManager() || startWindowManager());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

bool VirtualDisplay::hasWindowManager()
{
    return !openboxPath().isEmpty();
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
    // The server picks a free display and writes its number to the pipe;
    // it works out the screen's millimetres from the DPI. It keeps the
    // desktop's settings when its last client goes.
    m_pid = spawn(
        {program.toLocal8Bit(), "-displayfd", QByteArray::number(pipeEnds[1]), "-screen", "0",
         QByteArray::number(m_pixels.width()) + 'x' + QByteArray::number(m_pixels.height()) + "x24",
         "-dpi", QByteArray::number(m_dpi), "-nolisten", "tcp", "-noreset"},
        -1, pipeEnds[0], &m_error);
    close(pipeEnds[1]);
    const QByteArray number = m_pid > 0
        ? readLineUntil(pipeEnds[0], [](const QByteArray&) { return true; })
        : QByteArray();
    close(pipeEnds[0]);
    if (m_pid <= 0)
        return false;
    if (number.isEmpty()) {
        stop();
        m_error = QStringLiteral("Xvfb did not start");
        return false;
    }
    m_name = QLatin1Char(':') + QString::fromLatin1(number);
    if (!setDesktopDpi()) {
        stop();
        return false;
    }
    qputenv("DISPLAY", m_name.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

// The resource Xft.dpi on the root window, where desktops keep it and the
// toolkit reads it when it connects.
bool VirtualDisplay::setDesktopDpi()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(m_name.toLatin1().constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        m_error = QStringLiteral("cannot connect to Xvfb on ") + m_name;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    const QByteArray resources = "Xft.dpi:\t" + QByteArray::number(m_dpi) + '\n';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screens.data->root,
                        XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 8, uint32_t(resources.size()),
                        resources.constData());
    // A round trip: the server has taken the property before we go.
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return true;
}

bool VirtualDisplay::startWindowManager()
{
    const QString program = openboxPath();
    if (program.isEmpty()) {
        m_error = QStringLiteral("openbox is not installed (Debian package openbox)");
        return false;
    }
    if (m_name.isEmpty() || m_managerPid > 0) {
        m_error = QStringLiteral("no server of our own, or a window manager runs already");
        return false;
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Its start-up command runs once it manages the screen and says so on
    // the output it inherits, the pipe, among openbox's own messages.
    m_managerPid = spawn({program.toLocal8Bit(), "--sm-disable", "--startup", "echo managing"},
                         pipeEnds[1], pipeEnds[0], &m_error);
    close(pipeEnds[1]);
    const QByteArray said = m_managerPid > 0
        ? readLineUntil(pipeEnds[0], [](const QByteArray& line) { return line == "managing"; })
        : QByteArray();
    close(pipeEnds[0]);
    if (m_managerPid <= 0)
        return false;
    if (said != "managing") {
        terminate(&m_managerPid);
        m_error = QStringLiteral("openbox did not start");
        return false;
    }
    return true;
}

void VirtualDisplay::stop()
{
    terminate(&m_managerPid);
    terminate(&m_pid);
}
