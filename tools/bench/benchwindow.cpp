#include "benchwindow.h"

#include "kelvaracom.h"
#include "mainwindow.h"
#include "simulatorprocess.h"
#include "suitestartup.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTabWidget>
#include <QTimer>

#include <sys/resource.h>

namespace {

const int connectTimeLimitMs = 30000;

} // namespace

void prepareBenchApplication()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    SuiteStartup::prepareApplication();
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

std::unique_ptr<MainWindow> startConnectedWindow(SimulatorProcess& sim, const QString& page)
{
    // Offered beside the system's ports from the window's first scan on.
    qputenv("KELVARA_EXTRA_PORTS", QFile::encodeName(sim.portPath()));
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
    const bool connected = waitUntil([&readAlls] { return readAlls >= 2; }, connectTimeLimitMs);
    QObject::disconnect(counter);
    if (!connected)
        return nullptr;
    return window;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
