// kelvara-windowshot [--image FILE] [--set ADDR=VALUE]... [--port PATH]
//                    [--write ADDR=VALUE]... [--tab N | --page NAME | --all]
//                    [--click NAME]... [--settle MS] [--dialog NAME]
//                    [--xcb [--dpi N] [--screen WxH]] OUTPUT
//
// Starts the suite's main window as the program does, connects it to a
// controller simulator (its own, loaded with the sample controller or
// FILE and the given registers, or the one at PATH), waits for the two
// complete reads of the connection, shows tab N (0, Basic Setup, by
// default) or the page of that object name, whose tab is added for the
// picture when the window keeps it hidden, lets the page run for MS
// milliseconds (the Dashboard polls the controller meanwhile) and saves a
// picture of the window to OUTPUT. --write sends a raw register value to
// the controller through the suite once the reads are done (481=2 spins the
// simulated motor); --click presses a button of the window by its object
// name once the page is shown (dashboardStartStopButton starts the plot).
// With --dialog, a few values are changed
// and the picture shows the custom parameter editor ("custom") with rows of
// every kind, or the unsaved-parameter report ("unsaved") instead. With
// --all, OUTPUT is a folder that gets a picture of every tab, of every
// dialog the window opens and of the box that closes a download of default
// files.
//
// Needs no display: the window shows on an X server of its own (Xvfb) of
// WxH pixels (1920x1080 by default) at N dots per inch (96 by default; the
// desktop's Xft.dpi, by which the toolkit scales), each window at its own
// size; with --xcb as on a desktop, where a window manager (openbox, when
// installed) frames the windows and the dialogs' pictures show their
// frames. Offscreen, on an 800 x 600 screen, where Xvfb is not installed.

#include "controllersimulator.h"
#include "customparameteredit.h"
#include "firmwaredownloader.h"
#include "firmwaredownloaderdialog.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "loopbackhttpserver.h"
#include "listunsavedparams.h"
#include "mainwindow.h"
#include "parameter.h"
#include "registerimage.h"
#include "suitestartup.h"
#include "virtualdisplay.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWindow>

#include <functional>

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

// Changes a few values as a user would, so that marks and the report show.
void editSomeValues(Kelvara* model)
{
    model->getParameter(71)->setValue(model->getParameter(71)->getValue() - 5);
    model->getParameter(72)->setValue(model->getParameter(72)->getValue() + 0.5);
    model->getParameter(219)->setValue(0.45);
    model->getParameter(91)->setValue(model->getParameter(91)->getValue() - 10);
    model->getParameter(47)->setValue(model->getParameter(47)->getValue() + 2.5);
}

// The window as the screen shows it, with the frame a window manager put
// around it; without one, as the window draws itself. The offscreen
// platform tells of frames it does not draw.
QPixmap framedPicture(QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    const QRect frame =
        window->geometry().marginsAdded(handle ? handle->frameMargins() : QMargins());
    if (frame == window->geometry()
        || QGuiApplication::platformName() == QLatin1String("offscreen"))
        return window->grab();
    return window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
}

// The picture of the named dialog; a null picture for an unknown name.
QPixmap grabDialog(MainWindow& window, const QString& name)
{
    editSomeValues(window.deviceModel());
    if (name == QLatin1String("unsaved")) {
        ListUnsavedParams report(window.deviceModel());
        report.show();
        QCoreApplication::processEvents();
        return report.grab();
    }
    if (name != QLatin1String("custom"))
        return QPixmap();
    window.findChild<QAction*>("editParameter")->trigger();
    auto* editor = window.findChild<CustomParameterEdit*>();
    editor->addSelectedParameters({{71, -1},
                                   {72, -1},
                                   {33, -1},
                                   {141, -1},
                                   {11, -1},
                                   {77, -1},
                                   {212, 5},
                                   {212, 6},
                                   {276, 3}});
    QCoreApplication::processEvents();
    return editor->grab();
}

using Assignments = QList<QPair<int, quint16>>;

// The ADDR=VALUE assignments of an option; false after an error line.
bool parseAssignments(const QCommandLineParser& parser, const QString& option,
                      Assignments* assignments, QTextStream& err)
{
    for (const QString& assignment : parser.values(option)) {
        int address = 0;
        quint16 value = 0;
        QString error;
        if (!RegisterImage::parseAssignment(assignment, &address, &value, &error)) {
            err << "kelvara-windowshot: --" << option << " " << error << "\n";
            return false;
        }
        assignments->append({address, value});
    }
    return true;
}

// Presses the --click buttons; false for an unknown name.
bool clickRequestedButtons(MainWindow& window, const QCommandLineParser& parser, QTextStream& err)
{
    for (const QString& name : parser.values("click")) {
        auto* button = window.findChild<QAbstractButton*>(name);
        if (!button) {
            err << "kelvara-windowshot: no button " << name << "\n";
            return false;
        }
        button->click();
    }
    return true;
}

// Shows the page named by --page or --tab; false for an unknown page name.
bool showRequestedPage(MainWindow& window, const QCommandLineParser& parser, QTextStream& err)
{
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    if (!parser.isSet("page")) {
        tabs->setCurrentIndex(parser.value("tab").toInt());
        return true;
    }
    auto* page = tabs->findChild<QWidget*>(parser.value("page"));
    if (!page) {
        err << "kelvara-windowshot: no page " << parser.value("page") << "\n";
        return false;
    }
    if (tabs->indexOf(page) < 0) {
        tabs->addTab(page, parser.value("page"));
        // The status text moves off the longer tab bar, as the window's
        // own insertions move it.
        window.emitResizeEvent();
    }
    tabs->setCurrentWidget(page);
    return true;
}

void addOptions(QCommandLineParser* parser)
{
    parser->setApplicationDescription("Saves pictures of the main window after a read from the "
                                      "controller simulator.");
    parser->addHelpOption();
    parser->addOption({"image", "Register values for the built-in simulator.", "file",
                       QStringLiteral(KELVARA_SIM_IMAGE)});
    parser->addOption({"port", "Use the simulator (or controller) at this path instead.", "path"});
    parser->addOption(
        {"set", "Set a register of the built-in simulator first (repeatable).", "addr=value"});
    parser->addOption(
        {"write", "Write a raw value to a register through the suite (repeatable).", "addr=value"});
    parser->addOption(
        {"click", "Press the button of this object name on the page (repeatable).", "name"});
    parser->addOption({"tab", "Index of the tab page to show.", "index", "0"});
    parser->addOption(
        {"page", "Object name of the page to show (its tab added when hidden).", "name"});
    parser->addOption({"settle", "Milliseconds the page runs before the picture.", "ms", "1000"});
    parser->addOption({"dialog", "Picture of a dialog instead: custom or unsaved.", "name"});
    parser->addOption({"all", "OUTPUT is a folder: every tab and every dialog."});
    parser->addOption({"xcb", "Frame the windows by a window manager, as on a desktop."});
    parser->addOption({"dpi", "Dots per inch of its X server (its Xft.dpi too).", "dpi", "96"});
    parser->addOption({"screen", "Pixels of its X server's screen.", "WxH", "1920x1080"});
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
        return save(m_window->grab(), path);
    }

    // Every tab as "N-page.png" and every dialog as "dialog-NAME.png".
    bool saveAll(const QDir& folder)
    {
        auto* tabs = m_window->findChild<QTabWidget*>("tabWidget");
        QWidget* pas = tabs->findChild<QWidget*>("pasScreen");
        if (tabs->indexOf(pas) < 0) {
            tabs->addTab(pas, QStringLiteral("PAS Setup"));
            m_window->emitResizeEvent();
        }
        bool saved = true;
        for (int index = 0; index < tabs->count(); ++index) {
            const QString name =
                QString("%1-%2.png").arg(index).arg(tabs->widget(index)->objectName());
            saved = saveTab(index, folder.filePath(name)) && saved;
        }
        const QList<QPair<QString, QString>> actions = {{"preferences", "actionPreferences"},
                                                        {"defaults", "importDefaultXML"},
                                                        {"about", "actionAbout"},
                                                        {"help", "actionHelp"},
                                                        {"update-check", "checkForUpdates"},
                                                        {"custom", "editParameter"}};
        for (const auto& action : actions) {
            saved = saveOpened(
                        [this, action] { m_window->findChild<QAction*>(action.second)->trigger(); },
                        folder.filePath("dialog-" + action.first + ".png"),
                        action.first == "custom" ? "CustomParameterEdit" : "")
                && saved;
        }
        auto* custom = m_window->findChild<QDialog*>("CustomParameterEdit");
        saved = saveOpened(
                    [custom] {
                        custom->show();
                        custom->findChild<QAbstractButton*>("addParameters")->click();
                    },
                    folder.filePath("dialog-select-parameters.png"), "SelectParameters")
            && saved;
        custom->hide();
        saved =
            saveOpened([this] { m_window->findChild<QAbstractButton*>("list_unsaved")->click(); },
                       folder.filePath("dialog-unsaved.png"))
            && saved;
        return saveDownloadBox(folder.filePath("dialog-download-complete.png")) && saved;
    }

private:
    // Opens a window (a modal one runs its own loop meanwhile), saves a
    // picture of it once it has settled and closes it. The window is a new
    // one, or the one of the wanted name.
    bool saveOpened(const std::function<void()>& open, const QString& path,
                    const QString& wanted = QString())
    {
        const QWidgetList before = QApplication::topLevelWidgets();
        QWidget* opened = nullptr;
        bool saved = false;
        QTimer watcher;
        watcher.setInterval(200);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!opened) {
                for (QWidget* window : QApplication::topLevelWidgets()) {
                    const bool fresh = wanted.isEmpty() ? !before.contains(window)
                                                        : window->objectName() == wanted;
                    if (window != m_window && window->isVisible() && fresh
                        && qobject_cast<QDialog*>(window))
                        opened = window;
                }
                return;
            }
            watcher.stop();
            saved = save(framedPicture(opened), path);
            opened->close();
        });
        watcher.start();
        open();
        QEventLoop waiting;
        QTimer::singleShot(10000, &waiting, &QEventLoop::quit);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &waiting, [&] {
            if (!watcher.isActive())
                waiting.quit();
        });
        poll.start(50);
        waiting.exec();
        if (!saved)
            m_err << "kelvara-windowshot: no window for " << path << "\n";
        return saved;
    }

    // Downloads the defaults that the tool's server offers into a store in
    // the scratch folder, answering the choice of brands, and saves the box
    // that closes the download once it has settled.
    bool saveDownloadBox(const QString& path)
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(QDir::current().filePath("share")));
        FirmwareDownloader downloader(m_window, false);
        QEventLoop crawling;
        QObject::connect(&downloader, &FirmwareDownloader::updateSuccess, &crawling,
                         &QEventLoop::quit);
        QObject::connect(&downloader, &FirmwareDownloader::updateFail, &crawling,
                         &QEventLoop::quit);
        QTimer::singleShot(readTimeLimit, &crawling, &QEventLoop::quit);
        bool saved = false;
        QPointer<QWidget> seen;
        QTimer answering;
        QObject::connect(&answering, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* brands = qobject_cast<FirmwareDownloaderDialog*>(modal)) {
                brands->accept();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                if (box != seen) { // shown: saved at the next turn
                    seen = box;
                    return;
                }
                saved = save(framedPicture(box), path);
                box->accept();
            }
        });
        answering.start(200);
        downloader.getFirmware();
        crawling.exec();
        if (!saved)
            m_err << "kelvara-windowshot: no box closed the download for " << path << "\n";
        return saved;
    }

    bool save(const QPixmap& picture, const QString& path)
    {
        if (!picture.save(path)) {
            m_err << "kelvara-windowshot: cannot write " << path << "\n";
            return false;
        }
        QTextStream(stdout) << path << "\n";
        return true;
    }

    MainWindow* m_window;
    QTextStream& m_err;
};

// An X server of its own: with --xcb framed by a window manager, else
// without one. The offscreen platform's screen is 800 x 600, to which the
// window and dialogs would keep: offscreen only where no Xvfb is installed
// or a platform is chosen. False after an error line.
bool choosePlatform(const QCommandLineParser& parser, std::unique_ptr<VirtualDisplay>* display,
                    QTextStream& err)
{
    const QStringList pixels = parser.value("screen").split(QLatin1Char('x'));
    const QSize screen(pixels.value(0).toInt(), pixels.value(1).toInt());
    if (pixels.size() != 2 || screen.isEmpty()) {
        err << "kelvara-windowshot: --screen wants WIDTHxHEIGHT, such as 1366x768\n";
        return false;
    }
    *display = std::make_unique<VirtualDisplay>(parser.value("dpi").toInt(), screen);
    const bool xcb = parser.isSet("xcb");
    const bool ownServer =
        !xcb && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && VirtualDisplay::isAvailable();
    if (ownServer ? (*display)->start() : (*display)->startOrOffscreen(xcb))
        return true;
    err << "kelvara-windowshot: " << (*display)->errorString() << "\n";
    return false;
}

// The --port controller, or the built-in simulator loaded with --image;
// empty after an error line.
QString controllerPort(const QCommandLineParser& parser, ControllerSimulator* simulator,
                       QTextStream& err)
{
    const QString port = parser.value("port");
    if (!port.isEmpty())
        return port;
    if (!simulator->start() || !simulator->loadImage(parser.value("image"))) {
        err << "kelvara-windowshot: simulator: " << simulator->errorString() << "\n";
        return QString();
    }
    return simulator->portName();
}

// Chooses the port in the window as a user would and waits for the two
// complete reads of the connection; false after an error line.
bool connectToPort(MainWindow& window, const QString& port, QTextStream& err)
{
    auto* portBox = window.findChild<QComboBox*>("portBox");
    const int portIndex = portBox->findText(port);
    if (portIndex < 0) {
        err << "kelvara-windowshot: the port " << port << " is not offered\n";
        return false;
    }
    portBox->setCurrentIndex(portIndex);
    const bool read = waitForSignal(window.link(), &KelvaraCom::readAllComplete, 2, readTimeLimit);
    if (!read || !window.deviceModel()->isValid()) {
        err << "kelvara-windowshot: no complete read from " << port << "\n";
        return false;
    }
    // One more connection check puts the controller's name in the status.
    waitForSignal(window.link(), &KelvaraCom::controllerConnected, 1, 2500);
    return true;
}

// Sends the --write values, shows the page, presses the --click buttons,
// lets the page run and saves the one picture asked for; the exit code.
int shootRequestedPage(MainWindow& window, const QCommandLineParser& parser,
                       const Assignments& writes, const QString& output, QTextStream& err)
{
    for (const auto& write : writes) {
        window.deviceModel()->getParameter(write.first)->setRegisterValue(write.second);
        window.link()->oneWrite(write.first);
    }
    if (!showRequestedPage(window, parser, err) || !clickRequestedButtons(window, parser, err))
        return 1;
    QEventLoop running;
    QTimer::singleShot(qBound(0, parser.value("settle").toInt(), 60000), &running,
                       &QEventLoop::quit);
    running.exec();
    const QPixmap picture =
        parser.isSet("dialog") ? grabDialog(window, parser.value("dialog")) : window.grab();
    if (picture.isNull()) {
        err << "kelvara-windowshot: no dialog named " << parser.value("dialog") << "\n";
        return 2;
    }
    if (!picture.save(output)) {
        err << "kelvara-windowshot: cannot write " << output << "\n";
        return 1;
    }
    QTextStream(stdout) << output << "\n";
    return 0;
}

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
        // The help text names the program through the application object.
        QCoreApplication app(argc, argv);
        err << parser.helpText();
        return 2;
    }

    std::unique_ptr<VirtualDisplay> display;
    if (!choosePlatform(parser, &display, err))
        return 1;
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
    const QString port = controllerPort(parser, &simulator, err);
    if (port.isEmpty())
        return 1;
    Assignments settings;
    Assignments writes;
    if (!parseAssignments(parser, "set", &settings, err)
        || !parseAssignments(parser, "write", &writes, err))
        return 2;
    for (const auto& setting : settings)
        simulator.setRegisterValue(setting.first, setting.second);
    qputenv("KELVARA_EXTRA_PORTS", QFile::encodeName(port));

    // The update check asks a server of the tool's own.
    LoopbackHttpServer server;
    server.serve("/downloads/KELVARA/Kelvara_Versions.json",
                 QByteArray(R"({"updates": {"osx": {"latest-version": "1.8.0"}}})"));
    // And offers one brand of default files, the sample controller's.
    server.serve("/downloads/kl/", QByteArray("<ul><li><a href=\"Yoro/\"> Yoro/</a></li></ul>"));
    server.serve("/downloads/kl/Yoro/",
                 QByteArray("<ul><li><a href=\"Yoro_1.xml\"> Yoro_1.xml</a></li></ul>"));
    QFile sample(QStringLiteral(KELVARA_SIM_IMAGE));
    if (sample.open(QIODevice::ReadOnly))
        server.serve("/downloads/kl/Yoro/Yoro_1.xml", sample.readAll());
    qputenv("KELVARA_SERVER_URL", server.url().toUtf8());

    QTemporaryDir scratch;
    if (!enterScratchDirectory(scratch)) {
        err << "kelvara-windowshot: cannot prepare a working directory\n";
        return 1;
    }
    const QString fontFamily = SuiteStartup::registerSansFont();

    MainWindow window;
    SuiteStartup::showWindow(&window, fontFamily);
    if (!connectToPort(window, port, err))
        return 1;
    if (parser.isSet("all")) {
        WindowShooter shooter(&window, err);
        return shooter.saveAll(QDir(output)) ? 0 : 1;
    }
    return shootRequestedPage(window, parser, writes, output, err);
}
