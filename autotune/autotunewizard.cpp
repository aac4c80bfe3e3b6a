// Construction, navigation, closing and the runs of the two tests.
#include "autotunewizard.h"

#include "autotuneregisters.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "screenfit.h"
#include "ui_autotunewizard.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

using namespace AutotuneRegister;

AutotuneWizard::AutotuneWizard(Kelvara* runner, KelvaraCom* com, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::AutotuneWizard)
    , runner(runner)
    , com(com)
{
    setAttribute(Qt::WA_DeleteOnClose);
    ui->setupUi(this);
    ScreenFit::keepFontSizes(this);
    ScreenFit::scaleFixedSizes(this, ScreenFit::factor());
    // Every step shows in a frame of one height, so the buttons below it
    // never move.
    ui->mainFrame->setMinimumHeight(ui->mainFrame->maximumHeight());
    connect(ui->cancel, &QPushButton::clicked, this, &AutotuneWizard::cancel);
    connect(ui->next, &QPushButton::clicked, this, &AutotuneWizard::processNext);
    connect(ui->back, &QPushButton::clicked, this, &AutotuneWizard::processBack);
    staticAutotune = new StaticAutotune(this, runner, com);
    dynamicAutotune = new DynamicAutotune(this, runner, com);
    displayFirstTest();
    resize(widenedWidth(width(), logicalDpiX()), height());
    ScreenFit::fitToScreen(this);
}

AutotuneWizard::~AutotuneWizard()
{
    cancelMotorCheck();
    disconnectTest();
    delete staticAutotune;
    delete dynamicAutotune;
    delete ui;
}

int AutotuneWizard::widenedWidth(int width, int dpi)
{
    if (dpi > 120)
        return int(width * 1.5);
    if (dpi > 96)
        return int(width * 1.3);
    return width;
}

void AutotuneWizard::setBusy(bool busy, bool backEnabled)
{
    if (currentPage) {
        const auto launchers = currentPage->findChildren<QPushButton*>(QStringLiteral("launch"));
        for (QPushButton* launch : launchers)
            launch->setEnabled(!busy);
    }
    canClose = !busy;
    ui->back->setEnabled(backEnabled);
    ui->next->setEnabled(!busy);
    ui->cancel->setEnabled(!busy);
}

void AutotuneWizard::processNext()
{
    switch (pageState) {
    case StaticDone:
    case FirstPage:
        displayMotionWarning();
        break;
    case SpinningPage:
    case SpinningRun:
        displayCompletion();
        break;
    case WarningPage:
        displaySecondTest();
        break;
    case ClosingPage:
        close();
        break;
    default:
        break;
    }
}

void AutotuneWizard::processBack()
{
    switch (pageState) {
    case SpinningPage:
    case ClosingPage:
        displayMotionWarning();
        break;
    case WarningPage:
    case SpinningRun:
    case CommErrorPage:
    case FaultPage:
    case MotorNotDetectedPage:
        displayFirstTest();
        break;
    case MotionFaultPage:
        ui->back->setText(tr("< Back"));
        displaySecondTest();
        break;
    default:
        break;
    }
}

void AutotuneWizard::cancel()
{
    close();
}

void AutotuneWizard::reject()
{
    if (canClose) {
        QDialog::reject();
        cancel();
        return;
    }
    QMessageBox::information(this, tr("Continuing"), tr("Still running motor test...[2]"));
}

void AutotuneWizard::closeEvent(QCloseEvent* evt)
{
    if (canClose) {
        cancel();
        evt->accept();
        return;
    }
    evt->ignore();
    QMessageBox::information(this, tr("Continuing"), tr("Still running motor test...[3]"));
}

void AutotuneWizard::startStaticTest()
{
    pageState = FirstPage;
    wheelState = WheelState::Idle;
    testType = TestType::Static;
    checkMotorSpinning();
}

void AutotuneWizard::startDynamicTest()
{
    pageState = SpinningRun;
    wheelState = WheelState::Idle;
    testType = TestType::Dynamic;
    checkMotorSpinning();
}

// The torque command is read before a test starts; a turning motor stops
// the start. A read that fails drops the check, so that no later success
// of the link can start a test the user did not ask for again. After a
// silence only the controller that was read answers it: another one's
// torque decides nothing.
void AutotuneWizard::checkMotorSpinning()
{
    if (wheelState == WheelState::Idle) {
        cancelMotorCheck();
        motorCheck << connect(com, &KelvaraCom::comSuccess, this,
                              &AutotuneWizard::checkMotorSpinning)
                   << connect(com, &KelvaraCom::comError, this, &AutotuneWizard::cancelMotorCheck);
        wheelState = WheelState::ReadingTorque;
        com->queueDecidingRead(TorqueCommand, 1);
        return;
    }
    cancelMotorCheck();
    const double torque = runner->getParameter(TorqueCommand)->getValue();
    if (!qFuzzyCompare(torque + 1.0, 1.0)) {
        QMessageBox::warning(
            this, tr("Motor is Running"),
            tr("To start this test, you must stop you motor from running. \nPlease "
               "make sure your throttle is not on before starting the test."));
        return;
    }
    if (testType == TestType::Static)
        discoverStaticAutotune();
    else
        discoverDynamicAutotune();
}

void AutotuneWizard::cancelMotorCheck()
{
    for (const QMetaObject::Connection& connection : qAsConst(motorCheck))
        disconnect(connection);
    motorCheck.clear();
    wheelState = WheelState::Idle;
}

void AutotuneWizard::disconnectTest()
{
    for (const QMetaObject::Connection& connection : qAsConst(testConnections))
        disconnect(connection);
    testConnections.clear();
}

// The page's progress bar turns busy and its results go until the end.
void AutotuneWizard::showRunning()
{
    removeNotes();
    if (auto* progress = pageWidget<QProgressBar>()) {
        progress->show();
        progress->setRange(0, 0);
        progress->setValue(-1);
    }
    if (auto* results = pageWidget<QWidget>(QStringLiteral("results")))
        results->hide();
    setBusy(true, false);
}

void AutotuneWizard::showFinished()
{
    if (auto* progress = pageWidget<QProgressBar>()) {
        progress->setMaximum(100);
        progress->setValue(100);
    }
}

void AutotuneWizard::discoverStaticAutotune()
{
    showRunning();
    testConnections << connect(staticAutotune, &StaticAutotune::staticSuccess, this,
                               &AutotuneWizard::finishedDiscoverStaticAutotune)
                    << connect(staticAutotune, &StaticAutotune::reportError, this,
                               &AutotuneWizard::handleStaticErrors);
    staticAutotune->startTest();
}

void AutotuneWizard::discoverDynamicAutotune()
{
    showRunning();
    testConnections << connect(dynamicAutotune, &DynamicAutotune::dynamicSuccess, this,
                               &AutotuneWizard::finishedDiscoverDynamicAutotune)
                    << connect(dynamicAutotune, &DynamicAutotune::reportError, this,
                               &AutotuneWizard::handleDynamicErrors);
    // One tick flips the direction of one run only.
    QCheckBox* flip = pageWidget<QCheckBox>();
    const bool flipDirection = flip && flip->isChecked();
    if (flipDirection)
        flip->setChecked(false);
    dynamicAutotune->startTest(flipDirection);
}

void AutotuneWizard::finishedDiscoverStaticAutotune()
{
    disconnectTest();
    pageState = StaticDone;
    showFinished();
    if (auto* results = pageWidget<QWidget>(QStringLiteral("results")))
        results->show();
    setBusy(false, false);
}

void AutotuneWizard::handleStaticErrors(StaticAutotune::ErrorType e)
{
    disconnectTest();
    switch (e) {
    case StaticAutotune::CommunicationError:
        comError();
        if (staticAutotune->endedWhileMeasuring())
            followStop();
        break;
    case StaticAutotune::MotorNotDetected:
        connectionError();
        break;
    case StaticAutotune::ControllerFault:
        faultError();
        break;
    case StaticAutotune::FlashSaveFailed:
        flashSaveWasInterrupted();
        break;
    case StaticAutotune::ControllerChanged:
        controllerChanged(staticAutotune->endedWhileMeasuring());
        break;
    case StaticAutotune::StartLost:
        startLost();
        break;
    default:
        return;
    }
    noteUnsavedValues(staticAutotune->unsavedAfterRun());
}

void AutotuneWizard::handleDynamicErrors(DynamicAutotune::ErrorType e)
{
    disconnectTest();
    switch (e) {
    case DynamicAutotune::CommunicationError:
        comError();
        noteMotorMayTurn();
        break;
    case DynamicAutotune::StartLost:
        startLost();
        noteMotorMayTurn();
        break;
    case DynamicAutotune::MotorNotDetected:
        connectionError();
        break;
    case DynamicAutotune::FlashSaveFailed:
        flashSaveWasInterrupted();
        break;
    case DynamicAutotune::FaultBeforeSpin:
        faultError();
        break;
    case DynamicAutotune::MotionFault:
        showMotionFault();
        break;
    case DynamicAutotune::ControllerChanged:
        controllerChanged(dynamicAutotune->endedWhileSpinning());
        break;
    default:
        return;
    }
    noteUnsavedValues(dynamicAutotune->unsavedAfterRun());
}

void AutotuneWizard::flashSaveWasInterrupted()
{
    showTestPageAgain();
}

// The test's page stays, ready for another run.
void AutotuneWizard::showTestPageAgain()
{
    if (auto* progress = pageWidget<QProgressBar>())
        progress->hide();
    if (auto* results = pageWidget<QWidget>(QStringLiteral("results")))
        results->hide();
    setBusy(false, testType == TestType::Dynamic);
}

// The answer to the start was lost, and the run's time ran out before its
// end was seen: nothing tells of a broken connection, and another run may
// well end in time.
void AutotuneWizard::startLost()
{
    showTestPageAgain();
    noteOnPage(QStringLiteral("startNote"),
               tr("The answer to the start of the test was lost on the line, and the test's time "
                  "ran out before its end could be seen: the test was stopped. Please run it "
                  "again."));
    followStop();
}

void AutotuneWizard::noteMotorMayTurn()
{
    if (!dynamicAutotune->endedWhileSpinning())
        return;
    noteOnPage(QStringLiteral("motorNote"),
               tr("The test stopped while the motor may still be turning. Switch the "
                  "controller off before you touch the motor or the wheel."));
    followStop();
}

// The stop of a run left going may reach its controller only later, the
// wizard still open: the page says what became of it, as the link learns.
void AutotuneWizard::followStop()
{
    connect(com, &KelvaraCom::discoveryStopChanged, this, &AutotuneWizard::showStopFate,
            Qt::UniqueConnection);
    showStopFate();
}

// Only the controller tested, answering its stop's read-back, tells that
// its run has ended. While the stop is owed, a note that another controller
// answers already says that it goes as soon as the one tested answers.
void AutotuneWizard::showStopFate()
{
    QString text;
    switch (com->discoveryStopFate()) {
    case OwedStop::Fate::Delivered:
        text = tr("The stop was sent to the controller the test was started on, and it reported "
                  "that its run has ended.");
        break;
    case OwedStop::Fate::Unanswered:
        text = tr("The stop was sent, but its answer was lost: the frames cannot tell which "
                  "controller took it. It will be sent again to the controller the test was "
                  "started on as soon as that controller answers again.");
        break;
    case OwedStop::Fate::Owed:
        if (!pageWidget<QLabel>(QStringLiteral("controllerNote")))
            text = tr("The controller the test was started on has not confirmed the stop yet: "
                      "the stop will be sent to it as soon as it answers again.");
        break;
    case OwedStop::Fate::None:
        break;
    }
    setNoteOnPage(QStringLiteral("stopNote"), text);
}

void AutotuneWizard::onclearFaults_clicked()
{
    com->queueCommand(FaultClear, 1);
    com->oneRead(Faults, Faults2 - Faults + 1);
}
