#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

// Helpers for tests of the real main window, offscreen, against the
// controller simulator: a scratch working directory with its own settings
// file, the simulator offered as an extra port, and a watcher that answers
// the window's modal boxes.

#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "parameter.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace WindowFixture {

// Reply timeout of the tests' links: long enough for a 125-register reply
// at 115200 bit/s on a busy machine, short enough to keep read-alls quick.
const int testTimeout = 60;

// A scratch program directory: "resources/preferences.ini" is read relative
// to the working directory.
class Workspace
{
public:
    explicit Workspace(const QVariantMap& settings = {{"commTimeout", testTimeout}})
    {
        m_previous = QDir::currentPath();
        QDir(m_dir.path()).mkpath("resources");
        QDir::setCurrent(m_dir.path());
        writeSettings(settings);
    }
    ~Workspace() { QDir::setCurrent(m_previous); }

    void writeSettings(const QVariantMap& values)
    {
        QSettings file(settingsPath(), QSettings::IniFormat);
        file.clear();
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            file.setValue(it.key(), it.value());
    }
    QString settingsPath() const { return m_dir.filePath("resources/preferences.ini"); }
    QVariant storedValue(const QString& key) const
    {
        return QSettings(settingsPath(), QSettings::IniFormat).value(key);
    }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

inline QString controllerImage()
{
    return QStringLiteral(KELVARA_SIM_IMAGES "/controller.xml");
}

// A simulator holding the sample controller, offered to the suite through
// KELVARA_EXTRA_PORTS. Start it before the window is built.
inline std::unique_ptr<ControllerSimulator> startSimulator()
{
    auto simulator = std::make_unique<ControllerSimulator>();
    if (!simulator->start() || !simulator->loadImage(controllerImage()))
        return nullptr;
    qputenv("KELVARA_EXTRA_PORTS", simulator->portName().toLocal8Bit());
    return simulator;
}

using ::ModalWatcher;

inline QComboBox* portBox(MainWindow* window)
{
    return window->findChild<QComboBox*>("portBox");
}

inline QString statusText(MainWindow* window)
{
    return window->findChild<QLabel*>("statusLabel")->text();
}

// Chooses the port in the drop-down as a user would.
inline bool choosePort(MainWindow* window, const QString& name)
{
    QComboBox* box = portBox(window);
    const int index = box->findText(name);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    return true;
}

// Chooses the simulator's port and waits until the window counts the
// controller as connected and both read-alls of the connection are done.
inline bool connectTo(MainWindow* window, ControllerSimulator* simulator, int timeoutMs = 8000)
{
    QSignalSpy readAlls(window->link(), &KelvaraCom::readAllComplete);
    if (!choosePort(window, simulator->portName()))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (readAlls.count() < 2 && clock.elapsed() < timeoutMs)
        readAlls.wait(qMax<qint64>(1, timeoutMs - clock.elapsed()));
    return readAlls.count() >= 2;
}

// Runs the event loop until the link is idle with nothing queued.
inline bool waitIdle(MainWindow* window, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (window->link()->getMode() == KelvaraCom::IdleMode && !window->link()->isReadAllQueued())
            return true;
        QTest::qWait(10);
    }
    return false;
}

// Register values of function-16 requests in a frame log: address -> value.
inline QMap<int, int> writtenRegisters(const QVector<QByteArray>& requests)
{
    QMap<int, int> written;
    for (const QByteArray& frame : requests) {
        if (frame.size() < 9 || quint8(frame.at(1)) != 0x10)
            continue;
        const int first = (quint8(frame.at(2)) << 8) | quint8(frame.at(3));
        const int count = (quint8(frame.at(4)) << 8) | quint8(frame.at(5));
        for (int i = 0; i < count && 7 + 2 * i + 1 < frame.size(); ++i)
            written.insert(first + i,
                           (quint8(frame.at(7 + 2 * i)) << 8) | quint8(frame.at(8 + 2 * i)));
    }
    return written;
}

// (first address, count) of each request of a function (3 or 16), in order.
inline QList<QPair<int, int>> requestFrames(const QVector<QByteArray>& requests, int function)
{
    QList<QPair<int, int>> frames;
    for (const QByteArray& frame : requests) {
        if (frame.size() < 8 || quint8(frame.at(1)) != function)
            continue;
        frames << qMakePair((quint8(frame.at(2)) << 8) | quint8(frame.at(3)),
                            (quint8(frame.at(4)) << 8) | quint8(frame.at(5)));
    }
    return frames;
}

inline QList<QPair<int, int>> writeFrames(const QVector<QByteArray>& requests)
{
    return requestFrames(requests, 0x10);
}

// A window set up as the program starts it, connected to the simulator with
// both read-alls of the connection done; null when that failed.
inline std::unique_ptr<MainWindow> connectedWindow(ControllerSimulator* simulator)
{
    auto window = std::make_unique<MainWindow>();
    window->initControllerConnectionMonitor();
    window->initDraggableGraphs();
    if (!connectTo(window.get(), simulator) || !waitIdle(window.get()))
        return nullptr;
    return window;
}

// The sample controller on a simulator and a window connected to it.
struct SimulatedWindow
{
    bool start()
    {
        simulator = startSimulator();
        window = simulator ? connectedWindow(simulator.get()) : nullptr;
        return window != nullptr;
    }
    template<typename T = QWidget>
    T* find(const QString& name) const { return window->findChild<T*>(name); }
    void showPage(const QString& page) { find<QTabWidget>("tabWidget")->setCurrentWidget(find(page)); }
    // Reads everything twice, as the Read buttons do, and waits for the end.
    bool readAll()
    {
        QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
        window->onReadAllClicked();
        return QTest::qWaitFor([&] { return done.count() == 2; }, 8000) && waitIdle(window.get());
    }

    Workspace workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
};

} // namespace WindowFixture

#endif // WINDOWFIXTURE_H
