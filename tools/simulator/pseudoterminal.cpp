#include "pseudoterminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open()
{
    if (isOpen())
        return true;
    char ptsName[256] = {};
    if (::openpty(&masterFd, &slaveFd, ptsName, nullptr, nullptr) != 0) {
        lastError = QStringLiteral("cannot open a pseudo-terminal: %1")
                        .arg(QString::fromLocal8Bit(strerror(errno)));
        masterFd = slaveFd = -1;
        return false;
    }
    // Never read on this side: every byte written to the master waits for
    // the next client.
    termios raw;
    if (::tcgetattr(slaveFd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::cfsetispeed(&raw, B115200);
        ::cfsetospeed(&raw, B115200);
        ::tcsetattr(slaveFd, TCSANOW, &raw);
    }
    ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);
    path = QString::fromLocal8Bit(ptsName);
    return true;
}

void PseudoTerminal::close()
{
    if (masterFd >= 0)
        ::close(masterFd);
    if (slaveFd >= 0)
        ::close(slaveFd);
    masterFd = slaveFd = -1;
    path.clear();
}

void PseudoTerminal::releaseExclusiveUse(int slaveFd)
{
#ifdef TIOCNXCL
    ::ioctl(slaveFd, TIOCNXCL);
#else
    Q_UNUSED(slaveFd)
#endif
}
