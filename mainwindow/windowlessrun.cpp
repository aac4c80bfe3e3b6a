// The windowless command-line run: one register read or written through the
// Dev Screen's fields, the result printed on standard output.

#include "windowlessrun.h"

#include "commtimeoutadjust.h"
#include "controllerreadreport.h"
#include "devscreen.h"
#include "formula.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "operationtimebound.h"
#include "parameter.h"
#include "ui_mainwindow.h"

#include <QCommandLineParser>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QSerialPort>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Beyond the link's own bound: a loaded machine serves its timers late.
const int timeLimitMarginMs = 5000;

const char* const failureTitle = "Fail with error: '";
const int flashSaveAddress = 511;
// What the controller holds when a write of a register kept in flash was not
// confirmed.
const char* const mayHoldValue = "it may hold the value, not saved to its flash.";
const char* const notSavedToFlash = "The value was written to the controller but not saved to "
                                    "its flash: it is lost when the controller is switched off.";
const char* const flashSaveUnconfirmed = "it did not confirm the save to flash: it may or may not "
                                         "hold the value in flash.";
const double widestSpinRange = 99999999.0;

// The display values a register can hold: its limits where the definition
// gives them, otherwise what the register's whole raw range converts to.
void displayRange(Parameter* parameter, double* low, double* high)
{
    *low = -widestSpinRange;
    *high = widestSpinRange;
    Formula* scale = parameter->getScaleFormula();
    Formula* offset = parameter->getOffsetFormula();
    if (scale && offset) {
        const double shift = offset->evaluate();
        const double first = scale->toDisplay(parameter->isSigned() ? -32768 : 0) - shift;
        const double last = scale->toDisplay(parameter->isSigned() ? 32767 : 65535) - shift;
        if (std::isfinite(first) && std::isfinite(last)) {
            *low = std::min(first, last);
            *high = std::max(first, last);
        }
    }
    double limit = 0.0;
    if (parameter->minimumValue(&limit))
        *low = limit;
    if (parameter->maximumValue(&limit))
        *high = std::max(*low, limit);
    // Inward onto the display grid, where the parameter's own clamping
    // puts a value beyond a limit.
    const double grid = std::pow(10.0, parameter->numDecimals());
    *low = std::ceil(*low * grid - 1e-9) / grid;
    *high = std::max(*low, std::floor(*high * grid + 1e-9) / grid);
}

} // namespace

void WindowlessRun::printLine(const QString& line)
{
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}

WindowlessRun::WindowlessRun(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com,
                             DevScreen* devScreen, QComboBox* portBox, QObject* parent)
    : QObject(parent)
    , ui(ui)
    , model(model)
    , com(com)
    , devScreen(devScreen)
    , portBox(portBox)
{
}

int WindowlessRun::windowlessRun(QCommandLineParser* parser)
{
    ui->read->setEnabled(true);
    ui->write->setEnabled(true);

    // Baud rate and port before the reads: the conversion of the value to
    // write uses the registers of the controller that is really read.
    if (!applyWindowlessBaud(parser->value(QStringLiteral("baud"))))
        return -1;
    if (!applyWindowlessAddress(parser->value(QStringLiteral("addr"))))
        return -1;
    if (!selectWindowlessPort(parser->value(QStringLiteral("serial"))))
        return -1;
    // A port plugged in now would become the current one: the run keeps the
    // port it was given.
    emit portChosen();

    const bool reading = parser->isSet(QStringLiteral("read"));
    const QString valueText = parser->value(QStringLiteral("write"));
    double value = 0.0;
    if (!reading) {
        if (valueText.isEmpty()) {
            printLine(QStringLiteral("Missing recognized command"));
            return -1;
        }
        bool ok = false;
        value = valueText.toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            printLine(QStringLiteral("Unable to interpret value (\"%1\")").arg(valueText));
            return -1;
        }
        if (!devScreen->parameter()->isWriteable()) {
            printLine(QStringLiteral("Address %1 is read-only").arg(ui->addressInput->value()));
            return -1;
        }
        const QString refusal = devScreen->devValueRefusal(value, valueText);
        if (!refusal.isEmpty()) {
            printLine(refusal);
            return -1;
        }
    }

    if (!runPreparatoryReads()) {
        // A refusal is named as the controller's answer, as in the window.
        failWindowlessRun(com->statusName());
        return -1;
    }

    if (reading) {
        startWindowlessRead();
    } else {
        // The limits may depend on the controller's registers, known only now.
        if (!isWithinLimits(value)) {
            double low = 0.0;
            double high = 0.0;
            displayRange(devScreen->parameter(), &low, &high);
            printLine(QStringLiteral("Value \"%1\" is outside the limits of address %2 (%3 to %4)")
                          .arg(valueText)
                          .arg(ui->addressInput->value())
                          .arg(low)
                          .arg(high));
            return -1;
        }
        startWindowlessWrite(value);
    }
    // The link reports every outcome, after all its retries, identity
    // checks and read-backs, which at a slow rate take minutes.
    const OperationTimeBound bound = OperationTimeBound::of(com);
    startTimeLimit((reading ? bound.oneRead() : bound.oneWrite(savedToFlash)) + timeLimitMarginMs);
    return 0;
}

void WindowlessRun::startTimeLimit(qint64 ms)
{
    timeLimitMs = std::min<qint64>(ms, std::numeric_limits<int>::max());
    timeLimit = new QTimer(this);
    timeLimit->setSingleShot(true);
    connect(timeLimit, &QTimer::timeout, this, &WindowlessRun::endAtTimeLimit);
    timeLimit->start(int(timeLimitMs));
}

// The link gave no outcome in far more time than its retries take: nothing
// more is sent, so that nothing happens after the run has told its end.
void WindowlessRun::endAtTimeLimit()
{
    if (windowlessFinished)
        return;
    if (savedToFlash && com->isSavingToFlash())
        windowlessValueNote = tr("The controller did not confirm the write: ") + tr(mayHoldValue);
    com->dropPendingWork();
    windowlessFailure = KelvaraCom::getStatusString(KelvaraCom::StatusCommunicationTimeout);
    windowlessFailureMessage =
        tr("No outcome from the controller within %1 s").arg((timeLimitMs + 999) / 1000);
    windowlessConfirmed = false;
    finishWindowlessRun();
}

bool WindowlessRun::applyWindowlessBaud(const QString& baud)
{
    if (baud.isEmpty())
        return true;
    bool ok = false;
    const int rate = baud.toInt(&ok);
    if (!ok) {
        printLine(QStringLiteral("Unable to interpret baud rate (\"%1\")").arg(baud));
        return false;
    }
    if (!com->setBaud(rate)) {
        printLine(QStringLiteral("Unable to set baud rate (to \"%1\")").arg(baud));
        return false;
    }
    // The stored timeout was held to what a frame takes at the stored rate;
    // at this one it may be too short for any reply.
    CommTimeoutAdjust::holdToRate(com, rate);
    return true;
}

bool WindowlessRun::selectWindowlessPort(const QString& name)
{
    if (name.isEmpty()) {
        // The empty entry, current at start-up, names no port to open.
        if (!portBox->currentText().isEmpty())
            return true;
        printLine(QStringLiteral("No serial port given"));
        return false;
    }
    const int index = portBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        printLine(QStringLiteral("Could not find port ") + name);
        return false;
    }
    portBox->setCurrentIndex(index);
    return true;
}

bool WindowlessRun::applyWindowlessAddress(const QString& address)
{
    if (address.isEmpty()) {
        printLine(QStringLiteral("No address found"));
        return false;
    }
    bool ok = false;
    const int number = address.toInt(&ok);
    const int wanted = ok ? number : 0;
    ui->addressInput->setValue(wanted);
    // An address outside the field, or one the suite has no parameter
    // for, would print or write a placeholder's value.
    if (!ok || ui->addressInput->value() != wanted || !devScreen->isDevRegisterDefined()) {
        printLine(QStringLiteral("Invalid address ") + address);
        return false;
    }
    return true;
}

// Two complete reads, so that every register and the controller type are
// known; true when at least one of them succeeded.
bool WindowlessRun::runPreparatoryReads()
{
    bool anySucceeded = false;
    for (int pass = 0; pass < 2; ++pass) {
        QEventLoop loop;
        bool ended = false;
        bool succeeded = false;
        const auto success = connect(com, &KelvaraCom::comSuccess, &loop, [&] {
            ended = succeeded = true;
            loop.quit();
        });
        const auto failure = connect(com, &KelvaraCom::comError, &loop, [&] {
            ended = true;
            loop.quit();
        });
        com->readAll();
        if (!ended)
            loop.exec();
        disconnect(success);
        disconnect(failure);
        anySucceeded = anySucceeded || succeeded;
    }
    return anySucceeded && model->isValid();
}

// The read's answer is the run's outcome: it ends on the link's outcome of
// the read, never on the answer of an identity check the read waits for.
void WindowlessRun::startWindowlessRead()
{
    windowlessOperation = WindowlessOperation::Read;
    connect(com, &KelvaraCom::comSuccess, this, [this] {
        windowlessConfirmed = true;
        finishWindowlessRun();
    });
    connect(com, &KelvaraCom::otherControllerAnswered, this,
            [this] { windowlessFailure = QLatin1String(KelvaraCom::otherControllerTitle); });
    connect(com, &KelvaraCom::errorMessage, this, &WindowlessRun::finishWindowlessRun);
    ui->read->click();
}

// The parameter would quietly put a value beyond its limits onto the limit
// and write that instead.
bool WindowlessRun::isWithinLimits(double value)
{
    double low = 0.0;
    double high = 0.0;
    displayRange(devScreen->parameter(), &low, &high);
    // Rounded to the decimals as the value field rounds it.
    const double shown =
        QString::number(value, 'f', devScreen->parameter()->numDecimals()).toDouble();
    const double tolerance = 1e-9 * std::max(1.0, std::fabs(shown));
    return std::isfinite(shown) && shown >= low - tolerance && shown <= high + tolerance;
}

void WindowlessRun::startWindowlessWrite(double value)
{
    windowlessOperation = WindowlessOperation::Write;
    savedToFlash = devScreen->parameter()->isSavable();
    const auto confirm = [this] {
        windowlessConfirmed = true;
        finishWindowlessRun();
    };
    // A register kept in flash is written only once the controller confirms
    // the save; any other register once its write is answered.
    if (savedToFlash)
        connect(com, &KelvaraCom::flashSaveComplete, this, confirm);
    else
        connect(com, &KelvaraCom::comSuccess, this, confirm);
    // The link's last reply was a good one: the last message is the
    // refusal's own.
    connect(com, &KelvaraCom::motorRunning, this, [this] {
        windowlessFailure = tr("Save Error");
        windowlessFailureMessage = tr("The motor is currently running and you are trying to "
                                      "save values to the Kelvara.");
        windowlessValueNote = tr(notSavedToFlash);
        finishWindowlessRun();
    });
    // Comes before the failure report; the write may have gone out to the
    // controller that was read before another one answered.
    connect(com, &KelvaraCom::otherControllerAnswered, this, [this] {
        otherControllerAnswered = true;
        writeSentBeforeRefusal = com->isSavingToFlash();
    });
    // Made before the link's own machines connect, so it sees each judged
    // reply before they act on it.
    connect(com, &KelvaraCom::replyProcessed, this,
            [this] { lastReplyAnswered = com->getStatus() == KelvaraCom::StatusSuccess; });
    connect(com, &KelvaraCom::errorMessage, this, &WindowlessRun::takeWriteFailure);

    ui->valueDisplay->setValue(value);
    ui->write->click();
}

// A save to flash that was not confirmed and a write refused to another
// controller are named; other link errors are told by the link's status.
void WindowlessRun::takeWriteFailure(const QString& title)
{
    // The save to flash starts only once the write has been answered.
    const bool written = title == QLatin1String(KelvaraCom::flashSaveFailTitle);
    if (otherControllerAnswered) {
        windowlessFailure = QLatin1String(KelvaraCom::otherControllerTitle);
        // Told as the window's box tells it, from what the link confirmed.
        using SentValues = ControllerReadReport::SentValues;
        if (com->unansweredWrites().contains(ui->addressInput->value()))
            windowlessValueNote =
                ControllerReadReport::sentValuesText(SentValues::Unconfirmed, true);
        else if (written || writeSentBeforeRefusal)
            windowlessValueNote = ControllerReadReport::sentValuesText(
                com->isFlashSaveUnconfirmed() ? SentValues::WrittenFlashSaveUnknown
                                              : SentValues::Written,
                true);
    } else if (written) {
        windowlessFailure = title;
        windowlessValueNote = com->isFlashSaveUnconfirmed()
            ? tr("The value was written to the controller, but ") + tr(flashSaveUnconfirmed)
            : tr(notSavedToFlash);
        // The controller answered the read-back, with another value than
        // the one that confirms the save: no timeout to speak of.
        if (lastReplyAnswered)
            windowlessFailureMessage =
                tr("The controller did not confirm the save to flash (register %1 reads %2)")
                    .arg(flashSaveAddress)
                    .arg(model->getParameter(flashSaveAddress)->getRegisterValue());
    } else if (savedToFlash && com->getStatus() == KelvaraCom::StatusCommunicationTimeout) {
        windowlessValueNote = unansweredWriteNote() + tr(mayHoldValue);
    } else if (savedToFlash && com->unansweredWrites().contains(ui->addressInput->value())) {
        // Taken to be carried out later: it may still land.
        windowlessValueNote = tr("The controller did not confirm the write: ") + tr(mayHoldValue);
    }
    finishWindowlessRun();
}

// What the controller did with the tries of a write that got no good
// answer: replies that came spoiled were answers all the same.
QString WindowlessRun::unansweredWriteNote() const
{
    const ExchangeTally& tally = com->exchangeTally();
    if (tally.answeredTries() == 0)
        return tr("The controller did not answer the write: ");
    if (tally.answeredTries() == tally.tries())
        return tr("The controller's answers to the write came spoiled: ");
    return tr("The controller's answers to the write came spoiled or not at all: ");
}

void WindowlessRun::finishWindowlessRun()
{
    if (windowlessFinished)
        return;
    windowlessFinished = true;
    if (timeLimit)
        timeLimit->stop();

    const bool success = windowlessConfirmed && windowlessFailure.isEmpty()
        && com->getStatus() == KelvaraCom::StatusSuccess;
    if (!success) {
        // A failure the link reported by name says more than its status code.
        QString reason = windowlessFailure;
        // A refusal by the controller's answer, named in the last message.
        if (reason.isEmpty())
            reason = com->getStatus() != KelvaraCom::StatusSuccess
                ? com->statusName()
                : KelvaraCom::getStatusString(KelvaraCom::StatusCommunicationTimeout);
        failWindowlessRun(reason);
        emit finished(1);
        return;
    }

    if (windowlessOperation == WindowlessOperation::Write) {
        printLine(QStringLiteral("Write success"));
    } else {
        QString text;
        QTextStream(&text) << ui->valueDisplay->value();
        printLine(text);
    }
    emit finished(0);
}

void WindowlessRun::failWindowlessRun(const QString& reason)
{
    // The reply text may end in a line break; the result stays one line.
    const QString message = windowlessFailureMessage.isEmpty() ? com->getReplyText().trimmed()
                                                               : windowlessFailureMessage;
    printLine(QLatin1String(failureTitle) + reason + QStringLiteral("', last message: '") + message
              + QLatin1Char('\''));
    if (!windowlessValueNote.isEmpty())
        printLine(windowlessValueNote);
}
