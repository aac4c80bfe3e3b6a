#ifndef SUITESTARTUP_H
#define SUITESTARTUP_H

#include <QString>
#include <QStringList>

class MainWindow;
class QCommandLineParser;

// The suite's start-up: the program's main(), and the steps of it that the
// tools showing the real window share with it.
//
// The command line is judged before the window is built, and even before
// the toolkit connects to the display, so help and wrong arguments are
// answered at once.
class SuiteStartup
{
public:
    // The whole program: the window, or with "-i" one windowless read or
    // write. Returns the process's exit status.
    static int run(int argc, char* argv[]);

    // Before the application object exists: high-DPI scaling by the factor
    // the desktop asks for, fractions included.
    static void prepareApplication();
    // Registers the embedded sans font; returns its family.
    static QString registerSansFont();
    // The application style sheet, naming that family for every widget.
    static QString styleSheet(const QString& fontFamily);
    // The window run once the window is built: the application style sheet
    // naming the registered font family, the window widened for the
    // screen's DPI and kept within the screen, the connection monitor and
    // graph editors started, shown.
    static void showWindow(MainWindow* window, const QString& fontFamily);

private:
    static void addOptions(QCommandLineParser* commandLine);
    static int answerWithoutWindow(const QCommandLineParser& commandLine, const QString& program,
                                   bool displayed);
    static bool holdsToolkitOptions(const QStringList& arguments);
    static bool hasDisplay();
    static void widenForScreen(MainWindow* window);
    static void printLine(const QString& line);
};

#endif // SUITESTARTUP_H
