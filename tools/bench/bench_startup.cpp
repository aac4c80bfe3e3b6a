// Start-up cost: kelvara-bench-startup [rounds]
//
// First paint: the time from starting a process to the end of the first
// paint of its main window, for the suite's start-up (the program's own
// code, run by this program in a child process) against a bare program
// that shows the same form looking the same: the same application
// attributes, font and style sheet, then the form, shown. The two are
// started in turn,
// [rounds] times (10); the medians and their ratio are printed. Goal: at
// most 1.3 x the bare form.
//
// Help: the wall time of "kelvara-suite -h" against kelvara-bench-bare, a
// small program linked against the same libraries that builds the
// application object of Qt Core and prints one line: loading the libraries
// is the floor. Both with the display and without one (DISPLAY unset), in
// turn with the rest. Goal: at most 1.5 x the bare program.
//
// On the display of DISPLAY when set, otherwise on an Xvfb of its own at
// 96 dpi (offscreen without Xvfb).

#include "mainwindow.h"
#include "suitestartup.h"
#include "ui_mainwindow.h"
#include "virtualdisplay.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

const char* const childVariable = "KELVARA_BENCH_CHILD";
const char* const sinceVariable = "KELVARA_BENCH_SINCE";

qint64 steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// In a child: once the first paint of a main window is done, prints the
// milliseconds since the parent started the process and leaves.
class PaintProbe : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && qobject_cast<QMainWindow*>(watched)) {
            m_seen = true;
            // The rest of the window is painted within the same event.
            QTimer::singleShot(0, [] {
                const qint64 since = qgetenv(sinceVariable).toLongLong();
                std::printf("%.3f\n", (steadyNanoseconds() - since) / 1e6);
                std::fflush(stdout);
                _exit(0);
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

void installPaintProbe()
{
    if (!qEnvironmentVariableIsEmpty(childVariable))
        qApp->installEventFilter(new PaintProbe);
}

int runBareForm(int argc, char* argv[])
{
    SuiteStartup::prepareApplication();
    QApplication app(argc, argv);
    const QString family = SuiteStartup::registerSansFont();
    QMainWindow window;
    Ui_MainWindow ui;
    ui.setupUi(&window);
    // Set once the form is built: its cheapest order.
    app.setStyleSheet(SuiteStartup::styleSheet(family));
    window.show();
    return app.exec();
}

QProcessEnvironment childEnvironment(const QString& mode)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.value("DISPLAY").isEmpty() && environment.value("QT_QPA_PLATFORM").isEmpty())
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert(childVariable, mode);
    environment.insert(sinceVariable, QString::number(steadyNanoseconds()));
    return environment;
}

// Milliseconds to the first paint, as the child reports it; -1 on failure.
double firstPaint(const QString& mode)
{
    QProcess child;
    child.setProcessEnvironment(childEnvironment(mode));
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!child.waitForFinished(60000))
        return -1;
    bool ok = false;
    const double ms = child.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? ms : -1;
}

// Wall milliseconds of a whole run of "program -h", with the display or
// without any.
double helpTime(const QString& program, bool withDisplay)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!withDisplay) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
    }
    child.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    child.start(program, {"-h"});
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

void printFigure(const char* name, const QVector<double>& measured, const QVector<double>& baseline,
                 const char* baselineName)
{
    const double ours = median(measured);
    const double bare = median(baseline);
    std::printf("%-16s %8.1f ms against %8.1f ms for %s: ratio %.2f\n", name, ours, bare,
                baselineName, ours / bare);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installPaintProbe)

int main(int argc, char* argv[])
{
    const QByteArray child = qgetenv(childVariable);
    if (child == "bare")
        return runBareForm(argc, argv);
    if (child == "suite") {
        // The program's own start-up, without arguments: the window run.
        int childArgc = 1;
        return SuiteStartup::run(childArgc, argv);
    }

    // The offscreen platform reports 100 dpi, for which the suite widens its
    // window and the bare form does not: the two would not look the same.
    std::unique_ptr<VirtualDisplay> display;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && VirtualDisplay::isAvailable()) {
        display = std::make_unique<VirtualDisplay>();
        if (!display->start())
            display.reset();
    }
    QCoreApplication app(argc, argv);
    bool counted = true;
    const int rounds = argc > 1 ? QString(argv[1]).toInt(&counted) : 10;
    if (argc > 2 || !counted || rounds < 1) {
        std::fprintf(stderr, "usage: kelvara-bench-startup [rounds]\n");
        return 2;
    }
    const QString suite = QCoreApplication::applicationDirPath() + "/kelvara-suite";
    const QString bare = QCoreApplication::applicationDirPath() + "/kelvara-bench-bare";

    QVector<double> bareForm;
    QVector<double> suiteWindow;
    QVector<double> bareHelp[2];
    QVector<double> suiteHelp[2];
    for (int round = 0; round < rounds; ++round) {
        bareForm << firstPaint("bare");
        suiteWindow << firstPaint("suite");
        for (const bool withDisplay : {true, false}) {
            bareHelp[withDisplay] << helpTime(bare, withDisplay);
            suiteHelp[withDisplay] << helpTime(suite, withDisplay);
        }
    }
    for (const QVector<double>* figures :
         {&bareForm, &suiteWindow, &bareHelp[0], &bareHelp[1], &suiteHelp[0], &suiteHelp[1]}) {
        if (figures->contains(-1)) {
            std::printf("a child failed\n");
            return 1;
        }
    }
    std::printf("start-up, median of %d rounds, each program in a process of its own (%s)\n",
                rounds,
                display                                      ? "on an Xvfb of its own"
                    : qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen"
                                                             : "on DISPLAY");
    printFigure("first paint", suiteWindow, bareForm, "the bare form");
    printFigure("-h", suiteHelp[true], bareHelp[true], "kelvara-bench-bare");
    printFigure("-h, no display", suiteHelp[false], bareHelp[false], "kelvara-bench-bare");
    std::printf("goal: first paint at most 1.3 x the bare form, -h at most 1.5 x the bare "
                "program\n");
    return 0;
}
