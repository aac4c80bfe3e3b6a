#ifndef VIRTUALDISPLAY_H
#define VIRTUALDISPLAY_H

#include <QString>

#include <sys/types.h>

// An X server of its own (Debian's Xvfb) for showing the real window on the
// xcb platform, as on a desktop, at a chosen DPI. Its screen measures 20 x 15
// inches, so the DPI the toolkit works out from it is exact. Started before
// the application object exists, so it needs no event loop; stopped with
// the object.
class VirtualDisplay
{
public:
    explicit VirtualDisplay(int dpi = 96);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // True when an Xvfb program is found on the PATH.
    static bool isAvailable();

    // Starts the server and points DISPLAY and QT_QPA_PLATFORM at it.
    bool start();
    // ":N" once started.
    QString name() const { return m_name; }
    QString errorString() const { return m_error; }

private:
    void stop();

    int m_dpi;
    pid_t m_pid = -1;
    QString m_name;
    QString m_error;
};

#endif // VIRTUALDISPLAY_H
