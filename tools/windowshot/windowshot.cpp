// kelvara-windowshot [--image FILE] [--port PATH] [--tab N] [--dialog NAME] OUTPUT.png
//
// Builds the suite's main window without a display, connects it to a
// controller simulator (its own, loaded with the sample controller or
// FILE, or the one at PATH), waits for the two complete reads of the
// connection and saves a picture of the window showing tab N (0, Basic
// Setup, by default). With --dialog, a few values are changed and the
// picture shows the custom parameter editor ("custom") with rows of every
// kind, or the unsaved-parameter report ("unsaved") instead.

#include "controllersimulator.h"
#include "customparameteredit.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "listunsavedparams.h"
#include "mainwindow.h"
#include "parameter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFontDatabase>
#include <QSettings>
#include <QEventLoop>
#include <QTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

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

void registerFonts()
{
    for (const char* font : {"LiberationSans-Regular", "LiberationSans-Bold", "LiberationMono-Regular",
                             "LiberationMono-Bold"})
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/%1.ttf").arg(font));
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
    editor->addSelectedParameters({{71, -1}, {72, -1}, {33, -1}, {141, -1}, {11, -1}, {77, -1},
                                   {212, 5}, {212, 6}, {276, 3}});
    QCoreApplication::processEvents();
    return editor->grab();
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription("Saves a picture of the main window after a read from the "
                                     "controller simulator.");
    parser.addHelpOption();
    parser.addOption({"image", "Register values for the built-in simulator.", "file",
                      QStringLiteral(KELVARA_SIM_IMAGE)});
    parser.addOption({"port", "Use the simulator (or controller) at this path instead.", "path"});
    parser.addOption({"tab", "Index of the tab page to show.", "index", "0"});
    parser.addOption({"dialog", "Show a dialog instead: custom or unsaved.", "name"});
    parser.addPositionalArgument("output", "The PNG file to write.");
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        err << parser.helpText();
        return 2;
    }
    const QString output = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();

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
    registerFonts();
    app.setStyleSheet("QToolTip { min-width: 600px; padding: 4px } "
                      "QAbstractSpinBox[readOnly=true] { background-color:WhiteSmoke }  "
                      "* { font-family: Liberation Sans, sans-serif } ");

    MainWindow window;
    window.initControllerConnectionMonitor();
    window.show();
    window.emitResizeEvent();

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

    window.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(parser.value("tab").toInt());
    QCoreApplication::processEvents();
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
