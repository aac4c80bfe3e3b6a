#ifndef FAILUREREPORT_H
#define FAILUREREPORT_H

#include "exchangetally.h"

#include <QString>

// The box text of an operation that failed, and the one line its last
// exchange is told with, from what ended it: no port, a port error, the
// controller's refusal, or sends that got no good reply, told by what the
// controller did with them (ExchangeTally). Only what the frames show is
// said as a fact.
class FailureReport
{
public:
    enum class Operation { Read, Write };
    // The save to flash under way, if any, and what became of it.
    enum class FlashSave {
        None,
        NotSent,     // its command has not gone out
        Unconfirmed, // sent, and no answer told whether the controller saved
        Refused,     // the controller answered that it did not save
    };

    FailureReport(Operation operation, FlashSave flashSave);

    // What ended the operation; each replaces what was given before.
    void setNoPortChosen(int portError);
    void setPortError(int portError, const QString& errorString);
    // action: what the controller did (ExceptionReply::action()); ofSave:
    // the refused request is the save to flash's own command, else one
    // that followed it (the read of the torque command).
    void setRefusal(const QString& action, bool ofSave = true);
    void setUnanswered(const ExchangeTally& tally);

    QString text() const;
    // How the status line and the command line name a request that got no
    // good reply, where the status text would not be true ("Replies
    // spoiled on the line"); empty where "Communication timeout" stands.
    static QString unansweredName(const ExchangeTally& tally);
    // The line the failure is told with; empty where the last exchange's
    // own line (a refusal's) stands.
    QString replyLine() const;

private:
    enum class Cause { NoPort, PortError, Refusal, Unanswered };

    QString whatFailed() const;
    // "read", "write" or "save to flash".
    QString operationNoun() const;
    QString errorText() const;
    QString triesText() const;
    // "1 try", "5 tries".
    static QString countText(int count, const char* one, const char* many);
    static QString bothAdvices();
    QString flashSaveRefusedText() const;

    Operation operation;
    FlashSave flashSave;
    Cause cause = Cause::Unanswered;
    int portError = 0;
    QString portErrorString;
    QString refusal;
    bool refusalOfSave = true;
    ExchangeTally tally;
};

#endif // FAILUREREPORT_H
