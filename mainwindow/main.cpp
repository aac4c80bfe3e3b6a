// kelvara-suite: the configuration suite's window, or with "-i" one
// windowless read or write of a controller register.

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

void addOptions(QCommandLineParser* commandLine)
{
    commandLine->addOption({{"a", "addr"}, "Address of parameter", "address"});
    commandLine->addOption({{"w", "write"}, "Write value given", "value"});
    commandLine->addOption({{"s", "serial"}, "Serial port to use", "serial"});
    commandLine->addOption({{"b", "baud"}, "Baud rate", "baud"});
    commandLine->addOption({{"r", "read"}, "Read from controller"});
    commandLine->addOption({QStringList{"i"}, "Run program in interactive mode"});
    commandLine->addOption({{"h", "help"}, "Show commandline help"});
}

// The command line works on a machine without a desktop: every option ends
// without showing the window, so with any of them and no display the
// offscreen platform is used.
void chooseOffscreenWithoutDisplay(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return;
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser probe;
    addOptions(&probe);
    probe.parse(arguments);
    for (const char* option : {"i", "h", "a", "w", "s", "r", "b"}) {
        if (probe.isSet(option)) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            return;
        }
    }
}

void printLine(const QString& line)
{
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}

QString registerSansFont()
{
    const int id = QFontDatabase::addApplicationFont(":/fonts/LiberationSans-Regular.ttf");
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

void widenForScreen(MainWindow* window)
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

} // namespace

int main(int argc, char* argv[])
{
    chooseOffscreenWithoutDisplay(argc, argv);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    qputenv("QT_QPA_FONTDIR", (QCoreApplication::applicationDirPath() + "/fonts").toUtf8());
    const QString fontFamily = registerSansFont();
    // Relative paths ("resources/...", "logs") resolve against the program.
    QDir::setCurrent(QDir(QCoreApplication::applicationDirPath()).absolutePath());

    MainWindow window;
    app.setWindowIcon(QIcon(":/icon_windows.ico"));

    parser = new QCommandLineParser;
    addOptions(parser);
    parser->process(app);

    const QString program = QString::fromLocal8Bit(argv[0]);
    if (parser->isSet("h")) {
        printLine("usage: " + program
                  + " -i(nteractive) -r(ead) -w(rite) \"value\" -a(ddr) \"address\" -b(aud) "
                    "\"baudrate\" -s(erial) \" port name\" -h(elp)");
        return EXIT_SUCCESS;
    }
    if (parser->isSet("i")) {
        const int result = window.windowlessRun(parser);
        if (result < 0)
            return result;
        return app.exec();
    }
    for (const char* option : {"a", "w", "s", "r", "b"}) {
        if (parser->isSet(option)) {
            printLine("Error: -i(nteractive) argument mandatory for no particularly good reason "
                      "when running "
                      + program + " from the commandline.");
            return EXIT_FAILURE;
        }
    }

    app.setStyleSheet("QToolTip { min-width: 600px; padding: 4px } "
                      "QAbstractSpinBox[readOnly=true] { background-color:WhiteSmoke }  "
                      "* { font-family: "
                      + fontFamily + ", sans-serif } ");
    widenForScreen(&window);
    window.initControllerConnectionMonitor();
    window.initDraggableGraphs();
    window.show();
    window.emitResizeEvent();
    return app.exec();
}
