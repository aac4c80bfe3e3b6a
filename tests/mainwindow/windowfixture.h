#ifndef WINDOWFIXTURE_H
#define WINDOWFIXTURE_H

// The real main window, offscreen, against the controller simulator: a
// scratch working directory with its own settings file, the simulator
// offered as an extra port, and helpers to find rows and read frame logs.

#include "cablebench.h"
#include "controllersimulator.h"
#include "../forms/formrows.h"
#include "latereplies.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "operationlimit.h"
#include "parameter.h"
#include "sentframes.h"

#include <QtTest>

#include <memory>

#include <cstdio>

// Register values as a failed comparison prints them: "{141: 3000, 219:
// 1000}". Beside QMap, where the comparison finds it.
inline char* toString(const QMap<int, int>& registers)
{
    QStringList values;
    for (auto it = registers.constBegin(); it != registers.constEnd(); ++it)
        values << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
    return qstrdup(('{' + values.join(QStringLiteral(", ")) + '}').toUtf8().constData());
}

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

// timeoutMs 0: as long as the link's bound allows a read of all parameters.
inline bool waitIdle(MainWindow* window, int timeoutMs = 0)
{
    return QTest::qWaitFor(
        [window] {
            return window->link()->getMode() == KelvaraCom::IdleMode
                && !window->link()->isReadAllQueued();
        },
        timeoutMs > 0 ? timeoutMs : operationLimitMs(window->link()));
}

// Chooses the port and waits for both read-alls of the connection.
inline bool connectToPort(MainWindow* window, const QString& port)
{
    QSignalSpy readAlls(window->link(), &KelvaraCom::readAllComplete);
    return choosePort(window, port)
        && QTest::qWaitFor([&] { return readAlls.count() >= 2; },
                           operationLimitMs(window->link(), 2))
        && waitIdle(window);
}

inline bool connectTo(MainWindow* window, ControllerSimulator* simulator)
{
    return connectToPort(window, simulator->portName());
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

// A file of the test's, with the folders it needs.
inline void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

// A port path that stays while the cable moves from one controller to
// another, as a USB adapter left plugged in: a symbolic link re-pointed at
// each controller's terminal in turn.
class MovingCable
{
public:
    QString path() const { return m_dir.filePath("cable"); }
    // At once, as one step: the path never goes missing on the way.
    bool plugInto(const ControllerSimulator& controller)
    {
        const QString next = m_dir.filePath("cable.next");
        QFile::remove(next);
        return QFile::link(controller.portName(), next)
            && ::rename(QFile::encodeName(next).constData(), QFile::encodeName(path()).constData())
            == 0;
    }

private:
    QTemporaryDir m_dir;
};

// A controller of its own: the sample image with the registers given (its
// values, its hardware version in 237 and serial number in 238).
inline std::unique_ptr<ControllerSimulator> startController(const QMap<int, int>& registers,
                                                            bool silent = false)
{
    auto controller = std::make_unique<ControllerSimulator>();
    if (!controller->start() || !controller->loadImage(KELVARA_SIM_IMAGES "/controller.xml"))
        return nullptr;
    for (auto it = registers.constBegin(); it != registers.constEnd(); ++it)
        controller->setRegisterValue(it.key(), it.value());
    controller->setSilent(silent);
    return controller;
}

// Writes the controller received of values that are another's: registers
// written with the other's value where its own differs (address -> value).
inline QMap<int, int> writesOfOthersValues(const ControllerSimulator& controller,
                                           const QMap<int, int>& own, const QMap<int, int>& others)
{
    QMap<int, int> foreign;
    for (const QByteArray& frame : controller.requests()) {
        const QMap<int, int> written = writtenRegisters({frame});
        for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
            if (others.contains(it.key()) && others.value(it.key()) == it.value()
                && own.value(it.key(), -1) != it.value())
                foreign.insert(it.key(), it.value());
        }
    }
    return foreign;
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
        startWindow();
        return !connect || connectTo(window.get(), simulator.get());
    }
    // A window only, on a port the test serves itself (listed in
    // KELVARA_EXTRA_PORTS), connected unless port is empty.
    bool startOnPort(const QString& port)
    {
        startWindow();
        return port.isEmpty() || connectToPort(window.get(), port);
    }
    void startWindow()
    {
        window = std::make_unique<MainWindow>();
        sent = std::make_unique<SentFrames>(window->link());
        window->initControllerConnectionMonitor();
        window->initDraggableGraphs();
    }
    // The requests the simulator took, less the sends that answers late on
    // a loaded machine cost (see LateReplies).
    QVector<QByteArray> requestsInTime() const
    {
        return LateReplies::framesTakenInTime(*simulator, *sent);
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
    // The spin box of the register's row, on whichever page it is.
    QDoubleSpinBox* spinOf(int address) const
    {
        for (QWidget* candidate : FormRows::findRows(window.get())) {
            if (FormRows::rowKey(candidate) == FormRows::Key(address, -1))
                return candidate->findChild<QDoubleSpinBox*>();
        }
        return nullptr;
    }
    // A value typed into its row, Enter pressed.
    void type(int address, double value)
    {
        QDoubleSpinBox* box = spinOf(address);
        QVERIFY2(box, qPrintable(QString::number(address)));
        box->setValue(value);
        // The moves of one edit are told once it is over.
        QCoreApplication::processEvents();
    }
    // What Save Parameters sent, apart from the save to flash and the
    // switching off of access level 3 that follows it ({-1: -1} when the
    // save did not end, {-2: -2} when those did not follow).
    QMap<int, int> save(const char* button = "saveParamsBasic")
    {
        simulator->clearLog();
        const bool anything = !model()->getUnsavedValues().isEmpty();
        QSignalSpy saved(window->link(), &KelvaraCom::flashSaveComplete);
        find<QPushButton>(button)->click();
        if ((anything && !saved.wait(operationLimitMs(window->link()))) || !waitIdle(window.get()))
            return {{-1, -1}};
        QMap<int, int> written = writtenRegisters(simulator->requests());
        if (anything && (written.take(511) != 32767 || written.take(509) != 0))
            return {{-2, -2}};
        return written;
    }
    // Reads everything twice, as the Read buttons do, and waits for the end.
    bool readAll()
    {
        QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
        window->onReadAllClicked();
        return QTest::qWaitFor([&] { return done.count() == 2; },
                               operationLimitMs(window->link(), 2))
            && waitIdle(window.get());
    }

    Workspace workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SentFrames> sent; // by the window's link
};

// A window on a USB adapter left plugged in while its cable moves from
// controller A to controller B (see CableBench): both the sample controller
// with the registers given, the cable on A, the window connected to A
// unless asked otherwise.
struct CableWindow
{
    bool start(const QMap<int, int>& registersOfA, const QMap<int, int>& registersOfB,
               bool connect = true)
    {
        valuesOfA = registersOfA;
        valuesOfB = registersOfB;
        if (!bench.start(startController(registersOfA), startController(registersOfB)))
            return false;
        previousPorts = qgetenv("KELVARA_EXTRA_PORTS");
        qputenv("KELVARA_EXTRA_PORTS", previousPorts + ':' + bench.port().toLocal8Bit());
        return w.startOnPort(connect ? bench.port() : QString());
    }
    ~CableWindow()
    {
        w.window.reset();
        qputenv("KELVARA_EXTRA_PORTS", previousPorts);
    }
    // The requests the controller received, less the sends that answers
    // late on a loaded machine cost (see LateReplies).
    QVector<QByteArray> requestsInTimeTo(const ControllerSimulator* controller) const
    {
        return LateReplies::framesTakenInTime(bench.adapter, *w.sent, controller);
    }
    // Writes B received of A's values, and the other way round.
    QMap<int, int> valuesOfAWrittenToB() const
    {
        return writesOfOthersValues(*bench.b, valuesOfB, valuesOfA);
    }
    QMap<int, int> valuesOfBWrittenToA() const
    {
        return writesOfOthersValues(*bench.a, valuesOfA, valuesOfB);
    }

    CableBench bench;
    QMap<int, int> valuesOfA;
    QMap<int, int> valuesOfB;
    QByteArray previousPorts;
    SimulatedWindow w; // last: it lets go of the port first
};

} // namespace WindowFixture

#endif // WINDOWFIXTURE_H
