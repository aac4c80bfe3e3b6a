// kelvara-autotuneshot [--xcb [--dpi N]] OUTDIR
//
// Runs the autotune wizard without a display (or with --xcb on a 1920 x 1080
// Xvfb of its own at N dots per inch) against a controller simulator
// playing a motor (the sample controller): saves its steps before a test
// (first page, warning, spinning-test page), then runs it once for each
// outcome and saves a picture of the page it ends on into OUTDIR. The
// tests' waits run 20 times faster than on a real controller.

#include "autotunewizard.h"
#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "screenfit.h"
#include "virtualdisplay.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

const int replyTimeoutMs = 60;

struct Scene
{
    const char* file;
    bool spinning; // the spinning test rather than the stationary one
    bool finish;   // go on to the closing page
    std::function<void(MotorBehaviour&)> motor;
    int faults; // register 258 before the test
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QPushButton* button(QWidget* wizard, const QString& name)
{
    const auto buttons = wizard->findChildren<QPushButton*>(name);
    for (QPushButton* candidate : buttons) {
        if (candidate->isVisibleTo(wizard))
            return candidate;
    }
    return nullptr;
}

bool save(QWidget* wizard, const QDir& out, const char* file, QTextStream& err)
{
    QCoreApplication::processEvents();
    const QString path = out.filePath(QLatin1String(file));
    if (!wizard->grab().save(path)) {
        err << "kelvara-autotuneshot: no picture for " << file << "\n";
        return false;
    }
    QTextStream(stdout) << path << "\n";
    return true;
}

// The steps before any test: Next leads from each to the following one.
bool shootSteps(Kelvara* model, KelvaraCom* link, const QDir& out, QTextStream& err)
{
    auto* wizard = new AutotuneWizard(model, link, nullptr);
    wizard->show();
    bool saved = save(wizard, out, "0a-first-page.png", err);
    button(wizard, QStringLiteral("next"))->click();
    saved = save(wizard, out, "0b-warning.png", err) && saved;
    button(wizard, QStringLiteral("next"))->click();
    saved = save(wizard, out, "0c-spinning-test.png", err) && saved;
    delete wizard;
    return saved;
}

bool shoot(const Scene& scene, const QDir& out, QTextStream& err, bool steps)
{
    ControllerSimulator simulator;
    if (!simulator.start() || !simulator.loadImage(QStringLiteral(KELVARA_SIM_IMAGE))) {
        err << "kelvara-autotuneshot: simulator: " << simulator.errorString() << "\n";
        return false;
    }
    MotorBehaviour motor = simulator.motorBehaviour();
    motor.staticMs = 120;
    motor.spinMs = 800;
    if (scene.motor)
        scene.motor(motor);
    simulator.setMotorBehaviour(motor);
    simulator.setRegisterValue(258, scene.faults);

    Kelvara model;
    KelvaraCom link(&model);
    link.setCurrentPortName(simulator.portName());
    link.setDefaultTimeout(replyTimeoutMs);
    bool read = false;
    QObject::connect(&link, &KelvaraCom::readAllComplete, [&] { read = true; });
    link.readAll();
    if (!waitFor([&] { return read; }, 10000) || !model.isValid()) {
        err << "kelvara-autotuneshot: no complete read from the simulator\n";
        return false;
    }

    if (steps && !shootSteps(&model, &link, out, err))
        return false;
    auto* wizard = new AutotuneWizard(&model, &link, nullptr);
    wizard->findChild<StaticAutotune*>()->setClock(acceleratedClock(20));
    wizard->findChild<DynamicAutotune*>()->setClock(acceleratedClock(20));
    wizard->show();
    wizard->findChild<QDoubleSpinBox*>(QStringLiteral("KvInput"))->setValue(12.0);
    if (scene.spinning) {
        button(wizard, QStringLiteral("next"))->click();
        button(wizard, QStringLiteral("next"))->click();
    }
    QPushButton* cancel = button(wizard, QStringLiteral("cancel"));
    button(wizard, QStringLiteral("launch"))->click();
    const bool ended = waitFor([&] { return !cancel->isEnabled(); }, 3000)
        && waitFor([&] { return cancel->isEnabled(); }, 15000);
    if (scene.finish)
        button(wizard, QStringLiteral("next"))->click();
    waitFor([&] { return link.getMode() == KelvaraCom::IdleMode; }, 5000);
    QCoreApplication::processEvents();
    const QString path = out.filePath(QLatin1String(scene.file));
    const bool saved = ended && wizard->grab().save(path);
    delete wizard;
    if (!saved) {
        err << "kelvara-autotuneshot: no picture for " << scene.file << "\n";
        return false;
    }
    QTextStream(stdout) << path << "\n";
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QTextStream err(stderr);
    QStringList args;
    bool xcb = false;
    int dpi = 96;
    if (!VirtualDisplay::takeOptions(argc, argv, &args, &xcb, &dpi) || args.size() != 1
        || args[0].startsWith(QLatin1Char('-'))) {
        err << "usage: kelvara-autotuneshot [--xcb [--dpi N]] OUTDIR\n";
        return 2;
    }
    VirtualDisplay display(dpi);
    if (!display.startOrOffscreen(xcb)) {
        err << "kelvara-autotuneshot: " << display.errorString() << "\n";
        return 1;
    }
    // Scaled as the suite is, on a display of a higher DPI.
    ScreenFit::enableDesktopScaling();
    QApplication app(argc, argv);
    const QDir out(QFileInfo(args[0]).absoluteFilePath());
    if (!QDir().mkpath(out.path())) {
        err << "kelvara-autotuneshot: cannot create " << out.path() << "\n";
        return 1;
    }
    // The test logs go to a scratch "logs" folder.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        err << "kelvara-autotuneshot: cannot prepare a working directory\n";
        return 1;
    }
    for (const char* font : {"LiberationSans-Regular", "LiberationSans-Bold"})
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/%1.ttf").arg(font));

    const Scene scenes[] = {
        {"1-static-results.png", false, false, nullptr, 0},
        {"2-spinning-results.png", true, false, nullptr, 0},
        {"3-done.png", true, true, nullptr, 0},
        {"4-spinning-bad-halls.png", true, false, [](MotorBehaviour& m) { m.hallTable.fill(15); },
         0},
        {"5-motor-not-detected.png", false, false, [](MotorBehaviour& m) { m.connected = false; },
         0},
        {"6-fault.png", true, false, nullptr, 0x202},
        {"7-motion-fault.png", true, false,
         [](MotorBehaviour& m) {
             m.spinFaults = 0x2;
             m.stall = true;
         },
         0},
        {"8-comm-error.png", true, false, [](MotorBehaviour& m) { m.discoveryStuck = true; }, 0},
        {"9-stall.png", true, false, [](MotorBehaviour& m) { m.stall = true; }, 0},
    };
    for (const Scene& scene : scenes) {
        if (!shoot(scene, out, err, &scene == scenes))
            return 1;
    }
    return 0;
}
