#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

// The real main window, offscreen, against the controller simulator: a
// scratch working directory with its own settings file, the simulator
// offered as an extra port, and helpers to find rows and read frame logs.

#include "controllersimulator.h"
#include "../forms/formrows.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "parameter.h"

#include <QtTest>

#include <memory>

namespace WindowFixture {

// Long enough for a 125-register reply on a busy machine, short enough to
// keep read-alls quick.
const int testTimeout = 60;

// "resources/preferences.ini" is read relative to the working directory.
class Workspace
{
public:
    explicit Workspace(const QVariantMap& settings = {{"commTimeout", testTimeout}})
    {
        QDir(m_dir.path()).mkpath("resources");
        QDir::setCurrent(m_dir.path());
        QSettings file(settingsPath(), QSettings::IniFormat);
        for (auto it = settings.constBegin(); it != settings.constEnd(); ++it)
            file.setValue(it.key(), it.value());
    }
    ~Workspace() { QDir::setCurrent(m_previous); }
    QString settingsPath() const { return m_dir.filePath("resources/preferences.ini"); }
    QVariant storedValue(const QString& key) const
    {
        return QSettings(settingsPath(), QSettings::IniFormat).value(key);
    }

private:
    QString m_previous = QDir::currentPath();
    QTemporaryDir m_dir;
};

inline QString statusText(MainWindow* window)
{
    return window->findChild<QLabel*>("statusLabel")->text();
}

// Chooses the port in the drop-down as a user would.
inline bool choosePort(MainWindow* window, const QString& name)
{
    auto* box = window->findChild<QComboBox*>("portBox");
    const int index = box->findText(name);
    box->setCurrentIndex(index);
    return index >= 0;
}

inline bool waitIdle(MainWindow* window, int timeoutMs = 5000)
{
    return QTest::qWaitFor(
        [window] {
            return window->link()->getMode() == KelvaraCom::IdleMode
                && !window->link()->isReadAllQueued();
        },
        timeoutMs);
}

// Chooses the simulator's port and waits for both read-alls of the connection.
inline bool connectTo(MainWindow* window, ControllerSimulator* simulator)
{
    QSignalSpy readAlls(window->link(), &KelvaraCom::readAllComplete);
    return choosePort(window, simulator->portName())
        && QTest::qWaitFor([&] { return readAlls.count() >= 2; }, 8000) && waitIdle(window);
}

// (first address, count) of each request of a function (16 or 3), in order.
inline QList<QPair<int, int>> requestFrames(const QVector<QByteArray>& requests, int function = 16)
{
    QList<QPair<int, int>> frames;
    for (const QByteArray& frame : requests) {
        if (frame.size() >= 8 && quint8(frame.at(1)) == function)
            frames << qMakePair((quint8(frame.at(2)) << 8) | quint8(frame.at(3)),
                                (quint8(frame.at(4)) << 8) | quint8(frame.at(5)));
    }
    return frames;
}

// Register values of function-16 requests: address -> value.
inline QMap<int, int> writtenRegisters(const QVector<QByteArray>& requests)
{
    QMap<int, int> written;
    for (const QByteArray& frame : requests) {
        if (frame.size() < 9 || quint8(frame.at(1)) != 0x10)
            continue;
        const int first = (quint8(frame.at(2)) << 8) | quint8(frame.at(3));
        for (int i = 0; 8 + 2 * i < frame.size() - 2; ++i)
            written.insert(first + i,
                           (quint8(frame.at(7 + 2 * i)) << 8) | quint8(frame.at(8 + 2 * i)));
    }
    return written;
}

// The sample controller on a simulator and a window set up as the program
// starts it, connected unless asked otherwise.
struct SimulatedWindow
{
    bool start(const QMap<int, int>& registers = {}, bool connect = true)
    {
        simulator = std::make_unique<ControllerSimulator>();
        if (!simulator->start() || !simulator->loadImage(KELVARA_SIM_IMAGES "/controller.xml"))
            return false;
        for (auto it = registers.constBegin(); it != registers.constEnd(); ++it)
            simulator->setRegisterValue(it.key(), it.value());
        qputenv("KELVARA_EXTRA_PORTS", simulator->portName().toLocal8Bit());
        window = std::make_unique<MainWindow>();
        window->initControllerConnectionMonitor();
        window->initDraggableGraphs();
        return !connect || connectTo(window.get(), simulator.get());
    }
    template<typename T = QWidget>
    T* find(const QString& name) const
    {
        return window->findChild<T*>(name);
    }
    void showPage(const QString& page)
    {
        find<QTabWidget>("tabWidget")->setCurrentWidget(find(page));
    }
    Kelvara* model() const { return window->deviceModel(); }
    QWidget* row(const char* container, int address, int bit = -1) const
    {
        for (QWidget* candidate : FormRows::findRows(find(container))) {
            if (FormRows::rowKey(candidate) == FormRows::Key(address, bit))
                return candidate;
        }
        return nullptr;
    }
    QString label(int address, int bit = -1) const
    {
        return FormRows::rowLabel(row("displayParameters", address, bit))->text();
    }
    QDoubleSpinBox* spin(const char* container, int address) const
    {
        return row(container, address)->findChild<QDoubleSpinBox*>();
    }
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
