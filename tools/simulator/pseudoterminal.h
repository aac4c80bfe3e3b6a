#ifndef PSEUDOTERMINAL_H
#define PSEUDOTERMINAL_H

#include <QString>

// A pseudo-terminal that clients open like a serial port: the master side
// is read and written by its owner (non-blocking), the slave side is held
// open for the terminal's lifetime so that the master never sees a hang-up
// when a client closes the port.
class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Raw 8-bit lines at 115200 bit/s; false with errorString() when no
    // terminal can be had.
    bool open();
    void close();
    bool isOpen() const { return masterFd >= 0; }

    int master() const { return masterFd; }
    int slave() const { return slaveFd; }
    // The path clients open, e.g. "/dev/pts/3"; empty while closed.
    QString name() const { return path; }
    QString errorString() const { return lastError; }

    // QSerialPort claims the terminal exclusively while open; a client that
    // dies without closing would lock everyone else out for good.
    static void releaseExclusiveUse(int slaveFd);

private:
    int masterFd = -1;
    int slaveFd = -1;
    QString path;
    QString lastError;
};

#endif // PSEUDOTERMINAL_H
