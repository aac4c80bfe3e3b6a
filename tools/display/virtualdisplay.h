#ifndef VIRTUALDISPLAY_H
#define VIRTUALDISPLAY_H

#include <QSize>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// An X server of its own (Debian's Xvfb) for showing the real window on the
// xcb platform, as on a desktop, at a chosen DPI. Its screen has the pixels
// of a 1920 x 1080 laptop unless given others, whose inches follow from the
// DPI. The DPI is also the desktop's setting Xft.dpi, as desktops set their
// scaling (144 for 150 %), by which the toolkit scales every pixel when its
// high-DPI scaling is on. A window manager (Debian's openbox) can run on it
// too, framing windows as a desktop does. Started before the application
// object exists, so it needs no event loop; stopped with the object.
class VirtualDisplay
{
public:
    explicit VirtualDisplay(int dpi = 96, const QSize& pixels = QSize(1920, 1080));
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // True when an Xvfb program is found on the PATH.
    static bool isAvailable();
    // True when an openbox program is found on the PATH.
    static bool hasWindowManager();
    // The picture tools' command line: "--xcb" and "--dpi N" are taken, the
    // other arguments after the program's name go to rest; false when N is
    // not a positive number.
    static bool takeOptions(int argc, char** argv, QStringList* rest, bool* xcb, int* dpi);

    // Starts the server with the desktop's DPI set and points DISPLAY and
    // QT_QPA_PLATFORM at it.
    bool start();
    // With xcb as start(), with the window manager when it is installed;
    // otherwise the offscreen platform, unless another is set.
    bool startOrOffscreen(bool xcb);
    // Starts openbox on the running server and waits until it manages the
    // screen; windows shown from then on get its frames.
    bool startWindowManager();
    // ":N" once started.
    QString name() const { return m_name; }
    QString errorString() const { return m_error; }

private:
    bool setDesktopDpi();
    void stop();

    int m_dpi;
    QSize m_pixels;
    pid_t m_pid = -1;
    pid_t m_managerPid = -1;
    QString m_name;
    QString m_error;
};

#endif // VIRTUALDISPLAY_H
