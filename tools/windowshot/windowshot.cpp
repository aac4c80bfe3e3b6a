// kelvara-windowshot [--image FILE] [--port PATH] [--tab N | --all]
//                    [--xcb [--dpi N]] OUTPUT
//
// Starts the suite's main window as the program does, connects it to a
// controller simulator (its own, loaded with the sample controller or
// FILE, or the one at PATH), waits for the two complete reads of the
// connection and saves a picture of the window showing tab N (0, Basic
// Setup, by default) to OUTPUT. With --all, OUTPUT is a folder that gets a
// picture of every tab and of the preferences dialog.
//
// Without a display by default (offscreen); with --xcb on an X server of
// its own (Xvfb) at N dots per inch (96 by default), as on a desktop.

#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "mainwindow.h"
#include "suitestartup.h"
#include "virtualdisplay.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {

const int readTimeLimit = 15000;

// Runs the event loop until the signal has come count times or the time
// is up; true when it came.
template<typename Sender, typename Signal>
bool waitForSignal(const Sender* sender, Signal signal, int count, int timeoutMs)
{
    QEventLoop loop;
    int seen = 0;
    QObject::connect(sender, signal, &loop, [&] {
        if (++seen >= count)
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return seen >= count;
}

// Lets the window settle: pending layouts, polishing and paints.
void settle()
{
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window reads "resources/preferences.ini" relative to the working
// directory: a scratch one gives it a short reply timeout.
bool enterScratchDirectory(const QTemporaryDir& dir)
{
    if (!dir.isValid() || !QDir(dir.path()).mkpath("resources"))
        return false;
    QSettings settings(dir.filePath("resources/preferences.ini"), QSettings::IniFormat);
    settings.setValue("commTimeout", 100);
    settings.sync();
    return QDir::setCurrent(dir.path());
}

void addOptions(QCommandLineParser* parser)
{
    parser->setApplicationDescription("Saves pictures of the main window after a read from the "
                                      "controller simulator.");
    parser->addHelpOption();
    parser->addOption({"image", "Register values for the built-in simulator.", "file",
                       QStringLiteral(KELVARA_SIM_IMAGE)});
    parser->addOption({"port", "Use the simulator (or controller) at this path instead.", "path"});
    parser->addOption({"tab", "Index of the tab page to show.", "index", "0"});
    parser->addOption({"all", "OUTPUT is a folder: every tab and the preferences dialog."});
    parser->addOption({"xcb", "Show the window on an X server of its own (Xvfb)."});
    parser->addOption({"dpi", "Dots per inch of that X server.", "dpi", "96"});
    parser->addPositionalArgument("output", "The PNG file (or with --all the folder) to write.");
}

class WindowShooter
{
public:
    WindowShooter(MainWindow* window, QTextStream& err)
        : m_window(window)
        , m_err(err)
    {
    }

    bool saveTab(int index, const QString& path)
    {
        m_window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(index);
        settle();
        return save(m_window, path);
    }

    // Every tab as "N-page.png" and the preferences dialog.
    bool saveAll(const QDir& folder)
    {
        auto* tabs = m_window->findChild<QTabWidget*>("tabWidget");
        bool saved = true;
        for (int index = 0; index < tabs->count(); ++index) {
            const QString name = QString("%1-%2.png").arg(index).arg(tabs->widget(index)->objectName());
            saved = saveTab(index, folder.filePath(name)) && saved;
        }
        return savePreferences(folder.filePath("preferences.png")) && saved;
    }

private:
    bool savePreferences(const QString& path)
    {
        m_window->findChild<QAction*>("actionPreferences")->trigger();
        QDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "CommTimeoutAdjust" && widget->isVisible())
                dialog = qobject_cast<QDialog*>(widget);
        }
        if (!dialog) {
            m_err << "kelvara-windowshot: the preferences dialog did not open\n";
            return false;
        }
        settle();
        const bool saved = save(dialog, path);
        dialog->reject();
        return saved;
    }

    bool save(QWidget* widget, const QString& path)
    {
        if (!widget->grab().save(path)) {
            m_err << "kelvara-windowshot: cannot write " << path << "\n";
            return false;
        }
        QTextStream(stdout) << path << "\n";
        return true;
    }

    MainWindow* m_window;
    QTextStream& m_err;
};

} // namespace

int main(int argc, char* argv[])
{
    QTextStream err(stderr);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    addOptions(&parser);
    // Judged before the application exists: it decides the platform.
    if (!parser.parse(arguments) || parser.positionalArguments().size() != 1) {
        if (!parser.errorText().isEmpty())
            err << parser.errorText() << "\n";
        err << parser.helpText();
        return 2;
    }

    std::unique_ptr<VirtualDisplay> display;
    if (parser.isSet("xcb")) {
        display = std::make_unique<VirtualDisplay>(parser.value("dpi").toInt());
        if (!display->start()) {
            err << "kelvara-windowshot: " << display->errorString() << "\n";
            return 1;
        }
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    SuiteStartup::prepareApplication();
    QApplication app(argc, argv);
    if (parser.isSet("help")) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    const QString output = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    if (parser.isSet("all") && !QDir(output).mkpath(".")) {
        err << "kelvara-windowshot: cannot create folder " << output << "\n";
        return 1;
    }

    ControllerSimulator simulator;
    QString port = parser.value("port");
    if (port.isEmpty()) {
        if (!simulator.start() || !simulator.loadImage(parser.value("image"))) {
            err << "kelvara-windowshot: simulator: " << simulator.errorString() << "\n";
            return 1;
        }
        port = simulator.portName();
    }
    qputenv("KELVARA_EXTRA_PORTS", QFile::encodeName(port));

    QTemporaryDir scratch;
    if (!enterScratchDirectory(scratch)) {
        err << "kelvara-windowshot: cannot prepare a working directory\n";
        return 1;
    }
    const QString fontFamily = SuiteStartup::registerSansFont();

    MainWindow window;
    SuiteStartup::showWindow(&window, fontFamily);

    auto* portBox = window.findChild<QComboBox*>("portBox");
    const int portIndex = portBox->findText(port);
    if (portIndex < 0) {
        err << "kelvara-windowshot: the port " << port << " is not offered\n";
        return 1;
    }
    portBox->setCurrentIndex(portIndex);
    const bool read = waitForSignal(window.link(), &KelvaraCom::readAllComplete, 2, readTimeLimit);
    if (!read || !window.deviceModel()->isValid()) {
        err << "kelvara-windowshot: no complete read from " << port << "\n";
        return 1;
    }
    // One more connection check puts the controller's name in the status.
    waitForSignal(window.link(), &KelvaraCom::controllerConnected, 1, 2500);

    WindowShooter shooter(&window, err);
    const bool saved = parser.isSet("all") ? shooter.saveAll(QDir(output))
                                           : shooter.saveTab(parser.value("tab").toInt(), output);
    return saved ? 0 : 1;
}
