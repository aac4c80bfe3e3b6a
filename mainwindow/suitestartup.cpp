#include "suitestartup.h"

#include "mainwindow.h"
#include "screenfit.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QScreen>
#include <QTextStream>

#include <cstdlib>

// The one parser of the process; the windowless run reads its options.
QCommandLineParser* parser = nullptr;

namespace {

// The options that only the windowless run takes, in the order tested.
const char* const windowlessOptions[] = {"a", "w", "s", "r", "b"};

} // namespace

int SuiteStartup::run(int argc, char* argv[])
{
    // Every command line is answered without showing the window, also on a
    // machine without a desktop; only the window needs one.
    const bool displayed = hasDisplay();
    const QString program = QString::fromLocal8Bit(argv[0]);

    // Help and wrong arguments are answered before the toolkit loads its
    // platform plugin and connects to the display, unless the toolkit has
    // arguments of its own to take out first.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!holdsToolkitOptions(arguments)) {
        QCommandLineParser commandLine;
        addOptions(&commandLine);
        if (!commandLine.parse(arguments)) {
            // As the option parser says it once the application exists.
            QTextStream(stderr) << QFileInfo(program).fileName() << ": " << commandLine.errorText()
                                << '\n';
            return EXIT_FAILURE;
        }
        const int answered = answerWithoutWindow(commandLine, program, displayed);
        if (answered >= 0)
            return answered;
    }

    if (!displayed)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareApplication();
    QApplication app(argc, argv);

    parser = new QCommandLineParser;
    addOptions(parser);
    // An unknown option or a missing value ends the process here, with the
    // parser's own message and status 1.
    parser->process(app);
    const int answered = answerWithoutWindow(*parser, program, displayed);
    if (answered >= 0)
        return answered;
    const bool windowless = parser->isSet(QStringLiteral("i"));

    qputenv("QT_QPA_FONTDIR", (QCoreApplication::applicationDirPath() + "/fonts").toUtf8());
    const QString fontFamily = registerSansFont();
    // Relative paths ("resources/...", "logs") resolve against the program.
    QDir::setCurrent(QDir(QCoreApplication::applicationDirPath()).absolutePath());

    MainWindow window(nullptr,
                      windowless ? MainWindow::FirstPortScan::Immediate
                                 : MainWindow::FirstPortScan::AfterFirstPaint);
    app.setWindowIcon(QIcon(QStringLiteral(":/icon_windows.ico")));

    if (windowless) {
        const int result = window.windowlessRun(parser);
        if (result < 0)
            return result;
        return app.exec();
    }
    showWindow(&window, fontFamily);
    return app.exec();
}

// The usage line, the errors of options given without -i and of a window
// without a display: the exit status, or -1 when the run goes on.
int SuiteStartup::answerWithoutWindow(const QCommandLineParser& commandLine, const QString& program,
                                      bool displayed)
{
    if (commandLine.isSet(QStringLiteral("h"))) {
        printLine(QStringLiteral("usage: ") + program
                  + QStringLiteral(" -i(nteractive) -r(ead) -w(rite) \"value\" -a(ddr) \"address\" "
                                   "-b(aud) \"baudrate\" -s(erial) \" port name\" -h(elp)"));
        return EXIT_SUCCESS;
    }
    if (commandLine.isSet(QStringLiteral("i")))
        return -1;
    for (const char* option : windowlessOptions) {
        if (commandLine.isSet(QLatin1String(option))) {
            printLine(QStringLiteral("Error: -i(nteractive) argument mandatory for no "
                                     "particularly good reason when running ")
                      + program + QStringLiteral(" from the commandline."));
            return EXIT_FAILURE;
        }
    }
    if (!displayed) {
        QTextStream(stderr) << QFileInfo(program).fileName()
                            << ": no display to show the window on (DISPLAY is not set)\n";
        return EXIT_FAILURE;
    }
    return -1;
}

// Options the application object takes out of the command line itself,
// with or without a value ("-style fusion", "--style=fusion").
bool SuiteStartup::holdsToolkitOptions(const QStringList& arguments)
{
    static const QStringList toolkitOptions = {
        "platform",
        "platformpluginpath",
        "platformtheme",
        "plugin",
        "qmljsdebugger",
        "qwindowgeometry",
        "qwindowicon",
        "qwindowtitle",
        "reverse",
        "session",
        "testability",
        "style",
        "stylesheet",
        "widgetcount",
        "qdevel",
        "qdebug",
        "display",
        "geometry",
        "title",
        "icon",
        "name",
        "visual",
        "ncols",
        "cmap",
        "im",
        "inputstyle",
        "dograb",
        "nograb",
        "sync",
        "graphicssystem",
    };
    for (const QString& argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1Char('-')))
            continue;
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1)
                                 .section(QLatin1Char('='), 0, 0);
        if (toolkitOptions.contains(name) || name.startsWith(QLatin1String("psn_")))
            return true;
    }
    return false;
}

void SuiteStartup::prepareApplication()
{
    ScreenFit::enableDesktopScaling();
}

bool SuiteStartup::hasDisplay()
{
    // A window there needs no display server named in the environment.
#if defined(Q_OS_MACOS) || defined(Q_OS_WIN)
    return true;
#else
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#endif
}

void SuiteStartup::addOptions(QCommandLineParser* commandLine)
{
    commandLine->addOption({{"a", "addr"}, "Address of parameter", "address"});
    commandLine->addOption({{"w", "write"}, "Write value given", "value"});
    commandLine->addOption({{"s", "serial"}, "Serial port to use", "serial"});
    commandLine->addOption({{"b", "baud"}, "Baud rate", "baud"});
    commandLine->addOption({{"r", "read"}, "Read from controller"});
    commandLine->addOption({QStringList{"i"}, "Run program in interactive mode"});
    commandLine->addOption({{"h", "help"}, "Show commandline help"});
}

QString SuiteStartup::registerSansFont()
{
    const int id =
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

QString SuiteStartup::styleSheet(const QString& fontFamily)
{
    return QStringLiteral("QToolTip { min-width: 600px; padding: 4px } "
                          "QAbstractSpinBox[readOnly=true] { background-color:WhiteSmoke }  "
                          "* { font-family: ")
        + fontFamily + QStringLiteral(", sans-serif } ");
}

void SuiteStartup::showWindow(MainWindow* window, const QString& fontFamily)
{
    // Set once the window is built, as widgets polished by one sheet and
    // rebuilt cost more than one pass over the finished window.
    qApp->setStyleSheet(styleSheet(fontFamily));
    widenForScreen(window);
    // A laptop's screen, or one scaled 1.5 times, is lower than the window
    // was made; its pages scroll.
    ScreenFit::keepWithinScreen(window);
    window->initControllerConnectionMonitor();
    window->initDraggableGraphs();
    window->show();
    window->emitResizeEvent();
}

void SuiteStartup::widenForScreen(MainWindow* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const double dpi = screen->logicalDotsPerInch();
    if (dpi > 96 && dpi <= 120) {
        qDebug() << "DPI is higher than normal: at 120";
        window->resize(static_cast<int>(window->width() * 1.3), window->height());
    } else if (dpi > 120) {
        qDebug() << "DPI is higher than normal: at 150";
        window->resize(static_cast<int>(window->width() * 1.5), window->height());
    }
}

void SuiteStartup::printLine(const QString& line)
{
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}
