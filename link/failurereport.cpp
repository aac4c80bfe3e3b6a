#include "failurereport.h"

namespace {

const char* const disconnectionChecks = "Ensure your controller is: \n"
                                        "  - Not running while you're trying to save parameters "
                                        "or autotune\n"
                                        "  - Connected correctly to the power source\n"
                                        "  - Connected correctly to the serial cord\n"
                                        "  - Connected correctly to the computer\n";

const char* const lineChecks = "  - The serial cord and its connections\n"
                               "  - The cable length, and any loops of cable\n"
                               "  - Sources of electromagnetic interference nearby, such as a "
                               "noisy power supply (try a battery instead)\n";

const char* const tryAgain = "\nand please try again.";

const char* const timeoutAdvice =
    "\n\nIf this error continues to reappear and the connection has been checked, please go to "
    "File->Preferences->Communication Speed, double the 'Communication Timeout' time, and try "
    "again.\n\nIf that does not resolve the issue, it is likely that the CRC check is failing "
    "(data coming from the controller is corrupted), likely due to using a noisy power supply or "
    "electromagnetic interference.Try using a battery instead of a power supply, reducing cable "
    "length, checking connections, and straightening any loops of cable";

// Names of failures where the controller answered, though never well.
const char* const spoiledName = "Replies spoiled on the line";
const char* const spoiledOrLostName = "Replies spoiled or lost on the line";

} // namespace

FailureReport::FailureReport(Operation operation, FlashSave flashSave)
    : operation(operation)
    , flashSave(flashSave)
{
}

void FailureReport::setNoPortChosen(int error)
{
    cause = Cause::NoPort;
    portError = error;
}

void FailureReport::setPortError(int error, const QString& errorString)
{
    cause = Cause::PortError;
    portError = error;
    portErrorString = errorString;
}

void FailureReport::setRefusal(const QString& action, bool ofSave)
{
    cause = Cause::Refusal;
    refusal = action;
    refusalOfSave = ofSave;
}

void FailureReport::setUnanswered(const ExchangeTally& sends)
{
    cause = Cause::Unanswered;
    portError = 0;
    tally = sends;
}

QString FailureReport::text() const
{
    // The controller answered, and said it did not save: no fault of the
    // line, and a longer timeout would not help.
    if (flashSave == FlashSave::Refused)
        return flashSaveRefusedText();
    const QString completed =
        QStringLiteral("\nThe ") + operationNoun() + QStringLiteral(" could not be completed: ");
    // The controller's answer says why; nothing to check on the line.
    if (cause == Cause::Refusal)
        return whatFailed() + completed + QStringLiteral("the controller ") + refusal
            + QLatin1Char('.');
    const QString disconnection =
        QStringLiteral("\nError code: ") + QString::number(portError) + QLatin1Char(' ')
        + errorText()
        + QStringLiteral(
            "\n\nThis is likely a disconnection between the controller and your computer.\n")
        + QLatin1String(disconnectionChecks) + QLatin1String(tryAgain);
    if (cause != Cause::Unanswered)
        return whatFailed() + disconnection;
    QString said;
    QString advice = bothAdvices();
    switch (tally.ending()) {
    case ExchangeTally::Ending::StoppedAnswering:
        return whatFailed() + disconnection + QLatin1String(timeoutAdvice);
    case ExchangeTally::Ending::SpoiledLine:
        // However long its replies were waited for, they came spoiled or
        // cut short: a longer timeout would not help.
        said = QStringLiteral("the controller kept answering, but the line spoiled its replies, "
                              "and none came whole after %1.\n\n"
                              "This is likely noise on the line between the controller and your "
                              "computer, not a disconnection.\n"
                              "Please check: \n")
                   .arg(triesText());
        advice = QLatin1String(lineChecks) + QLatin1String(tryAgain);
        break;
    case ExchangeTally::Ending::SilenceAfterAnswer:
        said = QStringLiteral("the controller stopped answering after its last reply, and no "
                              "reply came whole after %1. A single silence does not tell a "
                              "disconnection from a reply lost on the line.\n\n"
                              "This may be a disconnection between the controller and your "
                              "computer, or noise on the line.\n")
                   .arg(triesText());
        break;
    case ExchangeTally::Ending::PartlyAnswered:
        said = QStringLiteral("the controller answered %1 of the %2, but no reply came whole, "
                              "and the other tries got no answer.\n\n"
                              "This may be a loose connection between the controller and your "
                              "computer, or noise on the line.\n")
                   .arg(tally.answeredTries())
                   .arg(triesText());
        break;
    case ExchangeTally::Ending::RequestUnanswered:
        // Its identity was read in between: the controller is there.
        said = QStringLiteral("the controller answered the identity check's reads between the "
                              "tries (%1), but the request itself got no answer in %2.\n\n"
                              "The controller is connected, but does not answer this request, "
                              "or its answers to it are lost on the line.\n"
                              "Please check: \n")
                   .arg(countText(tally.answersBetweenTries(), "read", "reads"), triesText());
        advice = QLatin1String(lineChecks) + QLatin1String(tryAgain) + QLatin1String(timeoutAdvice);
        break;
    }
    return whatFailed() + completed + said + advice;
}

QString FailureReport::replyLine() const
{
    if (cause == Cause::Refusal)
        return QString();
    if (flashSave == FlashSave::Refused)
        return QStringLiteral("Not saved to flash: the controller did not save the values");
    return QStringLiteral("Communication Error: ") + errorText() + QStringLiteral(" - Error code: ")
        + QString::number(portError);
}

// The words of what failed: a failed read wrote nothing. Values whose save
// to flash went out unconfirmed were written; only the outcome of the save
// is unknown.
QString FailureReport::whatFailed() const
{
    if (flashSave == FlashSave::Unconfirmed)
        return QStringLiteral(
            "Communication fail. The controller did not confirm the save to flash: it may or may "
            "not hold the values in flash, and they stay marked until a save to flash is "
            "confirmed.");
    return QStringLiteral("Communication fail. Could not ")
        + (operation == Operation::Read ? QStringLiteral("read") : QStringLiteral("write"))
        + QStringLiteral(" parameter(s) requested.");
}

QString FailureReport::operationNoun() const
{
    if (flashSave != FlashSave::None)
        return QStringLiteral("save to flash");
    return operation == Operation::Read ? QStringLiteral("read") : QStringLiteral("write");
}

QString FailureReport::errorText() const
{
    switch (cause) {
    case Cause::NoPort:
        // Nothing was sent, nor timed out.
        return QStringLiteral("- No serial port chosen");
    case Cause::PortError:
        return portErrorString;
    case Cause::Refusal:
        return refusal;
    case Cause::Unanswered:
        break;
    }
    switch (tally.ending()) {
    case ExchangeTally::Ending::StoppedAnswering:
        break;
    case ExchangeTally::Ending::SpoiledLine:
        return QStringLiteral("- ") + QLatin1String(spoiledName);
    case ExchangeTally::Ending::SilenceAfterAnswer:
        return QStringLiteral("- No answer after the controller's last reply");
    case ExchangeTally::Ending::PartlyAnswered:
        return QStringLiteral("- ") + QLatin1String(spoiledOrLostName);
    case ExchangeTally::Ending::RequestUnanswered:
        return QStringLiteral("- No answer to the request");
    }
    return QStringLiteral("- Timeout Error");
}

QString FailureReport::unansweredName(const ExchangeTally& tally)
{
    if (tally.tries() == 0)
        return QString();
    switch (tally.ending()) {
    case ExchangeTally::Ending::SpoiledLine:
        return QLatin1String(spoiledName);
    case ExchangeTally::Ending::PartlyAnswered:
        return QLatin1String(spoiledOrLostName);
    case ExchangeTally::Ending::StoppedAnswering:
    case ExchangeTally::Ending::RequestUnanswered:
    case ExchangeTally::Ending::SilenceAfterAnswer:
        break;
    }
    return QString();
}

QString FailureReport::triesText() const
{
    return countText(tally.tries(), "try", "tries");
}

QString FailureReport::countText(int count, const char* one, const char* many)
{
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

// Neither a disconnection nor noise is said as a fact: the advice of both.
QString FailureReport::bothAdvices()
{
    return QLatin1String(disconnectionChecks) + QStringLiteral("Please also check: \n")
        + QLatin1String(lineChecks) + QLatin1String(tryAgain) + QLatin1String(timeoutAdvice);
}

QString FailureReport::flashSaveRefusedText() const
{
    QString why;
    if (cause == Cause::Refusal)
        why = (refusalOfSave ? QStringLiteral(": it ") : QStringLiteral(", and then ")) + refusal;
    return QStringLiteral("The controller answered that it did not save the values to its flash")
        + why
        + QStringLiteral(
               ".\n\nThey were written to the controller, but are not in its flash: it keeps them "
               "only until it is switched off, and they stay marked until a save to flash is "
               "confirmed.\n\nPlease save the parameters again.");
}
