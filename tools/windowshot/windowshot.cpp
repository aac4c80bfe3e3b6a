// kelvara-windowshot [--image FILE] [--set ADDR=VALUE]... [--port PATH]
//                    [--write ADDR=VALUE]... [--tab N | --page NAME]
//                    [--click NAME]... [--settle MS] [--dialog NAME] OUTPUT.png
//
// Builds the suite's main window without a display, connects it to a
// controller simulator (its own, loaded with the sample controller or
// FILE and the given registers, or the one at PATH), waits for the two
// complete reads of the connection, shows tab N (0, Basic Setup, by
// default) or the page of that object name, whose tab is added for the
// picture when the window keeps it hidden, lets the page run for MS
// milliseconds (the Dashboard polls the controller meanwhile) and saves a
// picture of the window. --write sends a raw register value to the
// controller through the suite once the reads are done (481=2 spins the
// simulated motor); --click presses a button of the window by its object
// name once the page is shown (dashboardStartStopButton starts the plot). With --dialog, a few values are changed and the
// picture shows the custom parameter editor ("custom") with rows of every
// kind, or the unsaved-parameter report ("unsaved") instead.

#include "controllersimulator.h"
#include "customparameteredit.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "listunsavedparams.h"
#include "mainwindow.h"
#include "parameter.h"
#include "registerimage.h"

#include <QAbstractButton>
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
    parser.addOption({"set", "Set register ADDR of the built-in simulator to VALUE (repeatable).",
                      "ADDR=VALUE"});
    parser.addOption({"write", "Write raw VALUE to register ADDR through the suite (repeatable).",
                      "ADDR=VALUE"});
    parser.addOption({"click", "Press the button of this object name on the page (repeatable).",
                      "name"});
    parser.addOption({"port", "Use the simulator (or controller) at this path instead.", "path"});
    parser.addOption({"tab", "Index of the tab page to show.", "index", "0"});
    parser.addOption({"settle", "Time the page runs before the picture, in ms.", "ms", "1000"});
    parser.addOption({"page", "Object name of the page to show, e.g. pasScreen.", "name"});
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
    for (const QString& assignment : parser.values("set")) {
        int address = 0;
        quint16 value = 0;
        QString error;
        if (!RegisterImage::parseAssignment(assignment, &address, &value, &error)) {
            err << "kelvara-windowshot: --set " << error << "\n";
            return 2;
        }
        simulator.setRegisterValue(address, value);
    }
    QList<QPair<int, quint16>> writes;
    for (const QString& assignment : parser.values("write")) {
        int address = 0;
        quint16 value = 0;
        QString error;
        if (!RegisterImage::parseAssignment(assignment, &address, &value, &error)) {
            err << "kelvara-windowshot: --write " << error << "\n";
            return 2;
        }
        writes.append({address, value});
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
    window.initDraggableGraphs();
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

    for (const auto& write : writes) {
        window.deviceModel()->getParameter(write.first)->setRegisterValue(write.second);
        window.link()->oneWrite(write.first);
    }

    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    if (parser.isSet("page")) {
        auto* page = tabs->findChild<QWidget*>(parser.value("page"));
        if (!page) {
            err << "kelvara-windowshot: no page " << parser.value("page") << "\n";
            return 1;
        }
        if (tabs->indexOf(page) < 0)
            tabs->addTab(page, parser.value("page"));
        tabs->setCurrentWidget(page);
    } else {
        tabs->setCurrentIndex(parser.value("tab").toInt());
    }
    for (const QString& name : parser.values("click")) {
        auto* button = window.findChild<QAbstractButton*>(name);
        if (!button) {
            err << "kelvara-windowshot: no button " << name << "\n";
            return 1;
        }
        button->click();
    }
    QEventLoop settle;
    QTimer::singleShot(qBound(0, parser.value("settle").toInt(), 60000), &settle, &QEventLoop::quit);
    settle.exec();
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
