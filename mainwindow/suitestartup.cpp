#include "suitestartup.h"

#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QDir>
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
    if (!displayed)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareApplication();
    QApplication app(argc, argv);

    parser = new QCommandLineParser;
    addOptions(parser);
    // An unknown option or a missing value ends the process here, with the
    // parser's own message and status 1.
    parser->process(app);

    const QString program = QString::fromLocal8Bit(argv[0]);
    if (parser->isSet(QStringLiteral("h"))) {
        printLine(QStringLiteral("usage: ") + program
                  + QStringLiteral(" -i(nteractive) -r(ead) -w(rite) \"value\" -a(ddr) \"address\" "
                                   "-b(aud) \"baudrate\" -s(erial) \" port name\" -h(elp)"));
        return EXIT_SUCCESS;
    }
    const bool windowless = parser->isSet(QStringLiteral("i"));
    if (!windowless) {
        for (const char* option : windowlessOptions) {
            if (parser->isSet(QLatin1String(option))) {
                printLine(QStringLiteral("Error: -i(nteractive) argument mandatory for no "
                                         "particularly good reason when running ")
                          + program + QStringLiteral(" from the commandline."));
                return EXIT_FAILURE;
            }
        }
        if (!displayed) {
            QTextStream(stderr) << QCoreApplication::applicationName()
                                << ": no display to show the window on (DISPLAY is not set)\n";
            return EXIT_FAILURE;
        }
    }

    qputenv("QT_QPA_FONTDIR", (QCoreApplication::applicationDirPath() + "/fonts").toUtf8());
    const QString fontFamily = registerSansFont();
    // Relative paths ("resources/...", "logs") resolve against the program.
    QDir::setCurrent(QDir(QCoreApplication::applicationDirPath()).absolutePath());

    MainWindow window;
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

void SuiteStartup::prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
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
