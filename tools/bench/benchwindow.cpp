#include "benchwindow.h"

#include "kelvaracom.h"
#include "mainwindow.h"
#include "simulatorprocess.h"
#include "suitestartup.h"
#include "virtualdisplay.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const int boxCheckIntervalMs = 200;

void endOverTime(int)
{
    static const char line[] = "benchmark: time limit reached, ended\n";
    const ssize_t written = write(STDERR_FILENO, line, sizeof line - 1);
    Q_UNUSED(written)
    _exit(3);
}

} // namespace

QString prepareBenchApplication()
{
    QString shownOn = QStringLiteral("on DISPLAY");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        // Lives until the program ends, after the application object.
        static std::unique_ptr<VirtualDisplay> display;
        if (VirtualDisplay::isAvailable()) {
            display = std::make_unique<VirtualDisplay>();
            if (display->start())
                shownOn = QStringLiteral("on an Xvfb of its own");
            else
                display.reset();
        }
        if (!display) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            shownOn = QStringLiteral("offscreen");
        }
    }
    SuiteStartup::prepareApplication();
    return shownOn;
}

void guardBench(int limitSeconds, bool closeBoxes)
{
    std::signal(SIGALRM, endOverTime);
    alarm(unsigned(limitSeconds));
    if (!closeBoxes)
        return;
    auto* boxCheck = new QTimer(qApp);
    QObject::connect(boxCheck, &QTimer::timeout, [] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box)
            return;
        auto* message = qobject_cast<QMessageBox*>(box);
        std::fprintf(stderr, "benchmark: closed a box: %s\n",
                     qPrintable(message ? message->text() : box->windowTitle()));
        // A message box without an escape button ignores being closed.
        if (auto* dialog = qobject_cast<QDialog*>(box))
            dialog->reject();
        else
            box->close();
    });
    boxCheck->start(boxCheckIntervalMs);
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

std::unique_ptr<MainWindow> startConnectedWindow(SimulatorProcess& sim, const QString& page,
                                                 int timeLimitMs)
{
    // Offered beside the system's ports from the window's first scan on,
    // unless the caller offers it already (with other simulators' ports).
    const QByteArray path = QFile::encodeName(sim.portPath());
    if (!qgetenv("KELVARA_EXTRA_PORTS").split(':').contains(path))
        qputenv("KELVARA_EXTRA_PORTS", path);
    const QString fontFamily = SuiteStartup::registerSansFont();
    auto window = std::make_unique<MainWindow>();
    SuiteStartup::showWindow(window.get(), fontFamily);
    if (!page.isEmpty())
        window->findChild<QTabWidget*>("tabWidget")
            ->setCurrentWidget(window->findChild<QWidget*>(page));

    int readAlls = 0;
    const auto counter =
        QObject::connect(window->link(), &KelvaraCom::readAllComplete, [&readAlls] { ++readAlls; });
    auto* portBox = window->findChild<QComboBox*>("portBox");
    portBox->setCurrentIndex(portBox->findText(sim.portPath()));
    const bool connected = waitUntil([&readAlls] { return readAlls >= 2; }, timeLimitMs);
    QObject::disconnect(counter);
    if (!connected)
        return nullptr;
    return window;
}

ScratchWindow::ScratchWindow() = default;

ScratchWindow::~ScratchWindow() = default;

bool ScratchWindow::start(const QString& page)
{
    if (!QDir::setCurrent(scratch.path()) || !sim.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(sim.errorString()));
        return false;
    }
    window = startConnectedWindow(sim, page);
    if (!window)
        std::fprintf(stderr, "the window did not connect to %s\n", qPrintable(sim.portPath()));
    return window != nullptr;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
