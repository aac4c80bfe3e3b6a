// Connection status: the once-a-second connection check, the connected and
// not-connected states, the status line, error boxes, the baud alert and
// the serial-port drop-down fed by the port watcher.

#include "mainwindow.h"

#include "dashboardpage.h"
#include "devscreen.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "listmessagebox.h"
#include "parameter.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

const int monitorInterval = 1000;
const int standardBaudRate = 115200;

// Set by the busy-port box for the rest of the run.
bool ignoreBusyPort = false;

const char* const notConnectedText = QT_TRANSLATE_NOOP("MainWindow", "Controller is not connected");

} // namespace

void MainWindow::initControllerConnectionMonitor()
{
    connect(com, &KelvaraCom::controllerConnected, this, &MainWindow::controllerConnected);
    connect(com, &KelvaraCom::controllerDisconnected, this, &MainWindow::controllerDisconnected);
    monitorTimer = new QTimer(this);
    monitorTimer->setObjectName(QStringLiteral("monitorTimer"));
    connect(monitorTimer, &QTimer::timeout, com, &KelvaraCom::checkConnection);
    connected = false;
    monitorTimer->start(monitorInterval);
}

void MainWindow::controllerConnected()
{
    if (connected)
        return;
    controllerConnectHelper(true, model->isValid(), true);
    // Graphing stopped by the disconnection goes on where it is shown.
    if (dashboard->plotInterrupted() && isDashboardShown())
        dashboard->onGraphStartStopClicked();
    format_baud_label(true);
    readAllFailed = false;
    // Last, so that the first frame leaves before its reply time starts to
    // run out behind the window's own work.
    readControllerAgain(model->isValid() ? ControllerRead::Reconnection
                                         : ControllerRead::Connection);
}

// Reads everything twice on the window's own account, as a connection
// starts; every unsaved edit the reads replace, also one typed while they
// run, is told once they are done (endControllerRead()).
void MainWindow::readControllerAgain(ControllerRead why)
{
    const bool underWay = controllerRead.isUnderWay() && com->isReadAllQueued();
    controllerRead.begin(why);
    if (underWay)
        return;
    com->readAll();
    com->readAll();
}

// Until the first read-all of a connection has completed, each Dashboard
// tick asks for the two reads a connection starts with, unless one has
// failed.
void MainWindow::completeFirstRead()
{
    if (!firstReadDone && !readAllFailed)
        readControllerAgain(model->isValid() ? ControllerRead::Reconnection
                                             : ControllerRead::Connection);
}

// The window's reads of the controller are over (done or failed): the
// user hears which unsaved edits they replaced, on every page (on the
// Dashboard too, nothing else would tell), and always what came of them
// when they were read because another controller answered.
void MainWindow::endControllerRead(bool succeeded)
{
    controllerRead.noteReadEnded(succeeded);
    if (!controllerRead.isUnderWay() || com->isReadAllQueued())
        return;
    const ControllerReadReport::Notice notice = controllerRead.finish(model);
    if (notice.title.isEmpty())
        return;
    setDevReplyText(notice.text);
    if (!windowless)
        errorPopupHelper(notice.title, notice.text);
}

void MainWindow::controllerDisconnected()
{
    firstReadDone = false;
    readAllFailed = false;
    // The controller connected next may be another one: Restore must never
    // bring back the values read from this one.
    model->clearFirstReadValues();
    setRestoreButtonsEnabled();
    controllerConnectHelper(false, false, true);
    if (dashboard->plotStoppedByDisconnect())
        dashboard->onGraphStartStopClicked();
    statusLabel->setText(tr(notConnectedText));
    format_baud_label(com->getBaud() == standardBaudRate);
}

QString MainWindow::connectedText() const
{
    return model->getControllerType().name + QStringLiteral(" is connected");
}

void MainWindow::updateReplyStatus()
{
    showReplyStatus(false);
}

// retrying: the link is sending a frame again after a time-out. Otherwise a
// time-out status means the link has given up on the frame.
void MainWindow::showReplyStatus(bool retrying)
{
    const bool onDashboard = isDashboardShown();
    // The Dashboard's line never contradicts the window's state: what the
    // link still does for a lost controller shows on the console only.
    const auto showStatus = [this, onDashboard](const QString& text) {
        statusLabel->setText(onDashboard && !connected ? tr(notConnectedText) : text);
    };
    // Nor does it call a controller lost that the window still counts as
    // connected: that is the link's verdict alone (controllerDisconnected()).
    const bool sayNotConnected = onDashboard && !connected;
    QString text;
    switch (com->getStatus()) {
    case KelvaraCom::StatusSuccess:
        showStatus(onDashboard ? connectedText() : tr("Success"));
        return;
    case KelvaraCom::StatusInvalidSerialPort:
        // The controller answered, refusing the request.
        text = sayNotConnected ? tr(notConnectedText) : com->statusName();
        break;
    case KelvaraCom::StatusCommunicationTimeout:
        if (retrying) {
            showStatus(tr("Communicating..."));
            setDevReplyText(QStringLiteral("\n") + tr("Communicating..."));
            return;
        }
        // Replies that came spoiled are no timeout.
        text = com->statusName();
        break;
    case KelvaraCom::StatusFailedSendingReadMessage:
        text = sayNotConnected ? tr(notConnectedText) : tr("Message could not be sent");
        break;
    case KelvaraCom::StatusControllerConnected:
        showStatus(connectedText());
        return;
    case KelvaraCom::StatusControllerDisconnected:
        // One missed check is no disconnection: the link reports that from
        // the third in a row, and a reconnection would re-read everything.
        // Until then the link goes on asking.
        if (connected) {
            showStatus(tr("Communicating..."));
            setDevReplyText(QStringLiteral("\n") + tr("Communicating..."));
            return;
        }
        text = tr(notConnectedText);
        break;
    default:
        return;
    }
    showStatus(text);
    setDevReplyText(text);
}

void MainWindow::setDevReplyText(const QString& replyText)
{
    devScreen->setDevReplyText(replyText);
}

void MainWindow::format_baud_label(bool standard)
{
    baudAlert = !standard;
    if (standard) {
        portLabel->setToolTip(portToolTip());
        portLabel->setStyleSheet(QStringLiteral("QLabel {color: black;}"));
    } else {
        portLabel->setToolTip(
            QStringLiteral("<p>The software is currently configured to use a non-standard (")
            + QString::number(com->getBaud())
            + QStringLiteral(" bits/s) baudrate on the serial port.</p><p>If this was done "
                             "deliberately to communicate with a controller that has been set to "
                             "a different baudrate then that is no problem.</p><p>Otherwise it it "
                             "should be set back to the default of 115200 bit/s from "
                             "File->Preferences->Communication Speed in order to communicate with "
                             "stock controllers.</p>"));
        portLabel->setStyleSheet(QStringLiteral("QLabel {color: red;}"));
    }
    resizeEvent(nullptr);
    resizeEvent(nullptr);
}

void MainWindow::errorPopup(const QString& header, const QString& message)
{
    if (windowless || isDashboardShown())
        return;
    errorPopupHelper(header, message);
}

// One box for one fault: a failure reported inside another's report (a
// request the first one's handlers sent, such as the autotune's stop), or
// while a box is open, comes of the same fault and is told in its box. A
// failed read-all is told on the Dashboard too, once; the page's other
// failures show in its status line.
void MainWindow::showLinkFailure(const QString& header, const QString& message)
{
    const bool nested = failureReports > 1;
    failureReports = std::max(0, failureReports - 1);
    // Told once the new controller has been read (endControllerRead()).
    if (header == QLatin1String(KelvaraCom::otherControllerTitle))
        return;
    const QString firstLine = QStringLiteral("\n\n") + message.section(QLatin1Char('\n'), 0, 0);
    if (nested) {
        alsoFailed += firstLine;
        return;
    }
    const QString folded = std::exchange(alsoFailed, QString());
    const bool readFailureUntold = std::exchange(tellReadFailure, false);
    if (errorBox) {
        errorBox->appendText(firstLine + folded);
        return;
    }
    if (windowless || (isDashboardShown() && !readFailureUntold))
        return;
    errorPopupHelper(header, message + folded);
}

// One box at a time: one raised while another is open (the reads a
// failure started may end meanwhile) opens once it is closed, so that the
// user reads them in the order they came, not the last on top.
void MainWindow::errorPopupHelper(const QString& title, const QString& text)
{
    if (errorBox) {
        boxesWaiting.append({title, text});
        return;
    }
    showErrorBox(title, text);
    while (!boxesWaiting.isEmpty()) {
        const QPair<QString, QString> next = boxesWaiting.takeFirst();
        showErrorBox(next.first, next.second);
    }
}

void MainWindow::showErrorBox(const QString& title, const QString& text)
{
    ListMessageBox box(QMessageBox::Warning, title, text, this);
    const bool monitorRunning = monitorTimer && monitorTimer->isActive();
    if (monitorRunning)
        monitorTimer->stop();
    errorBox = &box;
    box.exec();
    // However the box was closed, the connection check goes on. The cable
    // may have moved to another controller meanwhile, unseen.
    if (monitorRunning) {
        monitorTimer->start();
        com->identifyBeforeNextWrite();
    }
}

void MainWindow::comConnectError(int errCode, const QString& errMsg)
{
    Q_UNUSED(errMsg)
    if (errCode != QSerialPort::PermissionError || ignoreBusyPort || !connected)
        return;

    statusLabel->setText(tr(notConnectedText));
    QMessageBox box(this);
    box.setText(tr("<p>Communication error</p>"));
    box.setInformativeText(tr("<p>Communication blocked. This normally means two copies of the "
                              "Kelvara Suite are running. Please close one.</p>"));
    box.setDetailedText(
        tr("The COM port couldn't be accessed. This normally means either another copy of the "
           "Kelvara Suite, or some other software, has started using it. Running two instances of "
           "this software at the same time will almost always cause this error: please close "
           "either one. Ignoring or continuing with two copies of this software will often make "
           "Autotune fail, will interrupt graphing in the Dashboard tab, and can make changed (**) "
           "markers fail to display, or display incorrectly."));
    box.addButton(tr("Continue"), QMessageBox::ApplyRole);
    QPushButton* closeButton = box.addButton(tr("Close this instance"), QMessageBox::ApplyRole);
    QPushButton* ignoreButton =
        box.addButton(tr("Ignore until next startup"), QMessageBox::ApplyRole);
    box.exec();
    if (box.clickedButton() == closeButton)
        exitWith(0);
    else if (box.clickedButton() == ignoreButton)
        ignoreBusyPort = true;
}

void MainWindow::motorRunningError()
{
    model->setUnsavedToFlashRecovery();
    if (windowless)
        return;
    QMessageBox box(QMessageBox::Warning, tr("Save Error"),
                    tr("Save Error: The motor is currently running and you are trying to save "
                       "values to the Kelvara.")
                        + tr("\n\nWhile the values update the Kelvara's current state, they will "
                             "not be permanently saved to the controller. You must")
                        + tr(" ensure the motor is not running before a permenant save can occur.")
                        + tr("\n\nPlease try again when the motor is not running."),
                    QMessageBox::Ok, this);
    box.exec();
}

// Before the box: the marks and the status line are right while it is open.
void MainWindow::linkFailed(const QString& title)
{
    const bool flashSaveFailed = title == QLatin1String(KelvaraCom::flashSaveFailTitle);
    // Written but not in flash: lost at the next power cycle, so unsaved.
    // A write batch cut short keeps the marks of the frames that reached
    // the controller as well.
    // So does a batch cut short by another controller: what reached the
    // controller that was read stays marked for it.
    const bool otherController = std::exchange(otherControllerAnswers, false);
    if (flashSaveFailed || title == QLatin1String("Write Fail") || otherController)
        model->setUnsavedToFlashRecovery();
    if (otherController) {
        // As for a new connection: its values are read, and its own first
        // read is what Restore brings back from now on.
        statusLabel->setText(tr(KelvaraCom::otherControllerTitle));
        if (!windowless) {
            readControllerAgain(ControllerRead::AnotherController);
            controllerRead.noteRefusal(ControllerIdentity::of(model), model->heldOutsideFlash(),
                                       com->unansweredWrites(), com->isFlashSaveUnconfirmed());
        }
        return;
    }
    if (flashSaveFailed) {
        statusLabel->setText(tr(KelvaraCom::flashSaveFailTitle));
        controllerRead.noteToldKept(ControllerIdentity::of(model), model->heldOutsideFlash());
    }
}

// The port went away while the controller saved to flash: the values are
// not confirmed in flash, so they stay unsaved, and the user is told as for
// any save to flash that failed.
void MainWindow::saveToFlashCutShort()
{
    linkFailed(QLatin1String(KelvaraCom::flashSaveFailTitle));
    if (windowless)
        return;
    // The save itself may have gone out before the port went.
    const QString text = com->isFlashSaveUnconfirmed()
        ? tr("The port of the controller went away before it confirmed the save to flash: it "
             "may or may not hold the values in flash.")
        : tr("The port of the controller went away before it confirmed the save to flash: the "
             "values are not saved.");
    // Not from inside the port watcher's report.
    QTimer::singleShot(
        0, this, [this, text] { errorPopupHelper(tr(KelvaraCom::flashSaveFailTitle), text); });
}

// The port watcher's reports arrive while it holds its scan lock: nothing
// here may open a box or start a scan of its own.
void MainWindow::onDevicesConnected(const QList<SerialPortEntry>& ports)
{
    for (const SerialPortEntry& port : ports)
        addPortToDropdown(port);
}

void MainWindow::onDevicesDisconnected(const QList<SerialPortEntry>& ports)
{
    for (const SerialPortEntry& port : ports)
        removePortFromDropdown(port);
}

// A port that appears goes to the top. It is chosen only while no
// controller answers, so that plugging in the cable connects; a working
// connection is never taken over by another adapter.
void MainWindow::addPortToDropdown(const SerialPortEntry& port)
{
    if (portBox->findText(port.portName(), Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    portBox->insertItem(0, port.portName());
    if (!connected)
        portBox->setCurrentIndex(0);
    fitPortBox();
}

// With its own port gone the controller is lost; the port of another
// adapter is not taken in its place, so the controller's port is chosen
// again as it returns.
void MainWindow::removePortFromDropdown(const SerialPortEntry& port)
{
    const int index = portBox->findText(port.portName(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return;
    if (index == portBox->currentIndex())
        portBox->setCurrentIndex(portBox->findText(QString()));
    portBox->removeItem(index);
    fitPortBox();
}

// The drop-down grows or shrinks with its longest port name; the window
// lays out the controls above the tabs again once it is shown.
void MainWindow::fitPortBox()
{
    if (isVisible())
        resizeEvent(nullptr);
}

// What was sent or queued belongs to the old port: it is dropped, so nothing
// reaches the new one (or none at all) on its behalf.
void MainWindow::onPortSelected(int index)
{
    // An entry added or removed above the current one moves it, but the
    // port stays the same.
    if (portBox->itemText(index) == com->getPortName())
        return;
    const bool savingToFlash = com->isSavingToFlash();
    controllerDisconnected();
    com->dropPendingWork();
    com->setCurrentPortName(portBox->itemText(index));
    if (savingToFlash)
        saveToFlashCutShort();
}
