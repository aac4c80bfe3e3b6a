#ifndef CONTROLLERREADREPORT_H
#define CONTROLLERREADREPORT_H

#include "controlleridentity.h"
#include "toldmarks.h"

#include <QCoreApplication>
#include <QList>
#include <QSet>
#include <QString>

class Kelvara;

// The window's own reads of a whole controller (as it connects, connects
// again, or answers in place of the one that was read) and what the window
// tells once they are over: which unsaved edits they replaced or found
// held by the controller and, after a write refused to another controller,
// what became of the one that was read. It tells only what happened:
// whether the values could be read, and whose they are.
//
// A Read the user asks for replaces edits by its nature; it tells only of
// the values a box said stay marked that the controller turned out not to
// hold.
class ControllerReadReport
{
    Q_DECLARE_TR_FUNCTIONS(ControllerReadReport)

public:
    enum class Reason { None, Connection, Reconnection, AnotherController, Read };

    bool isUnderWay() const { return why != Reason::None; }
    // The window reads for this reason; another controller that answered
    // is told above a connection's reads already under way, and the
    // window's own reads above the user's Read.
    void begin(Reason reason);
    // A write was refused to another controller: the controller that was
    // read, the registers it holds in its RAM but not in its flash, those
    // of them whose write it never answered, and whether a save to flash
    // went out that it did not confirm. The box tells that they stay marked.
    void noteRefusal(const ControllerIdentity& read, const QList<int>& outsideFlash,
                     const QList<int>& unanswered = {}, bool flashSaveUnconfirmed = false);
    // A box told that these stay marked for the controller; it confirmed a
    // save to flash, which covers them all.
    void noteToldKept(const ControllerIdentity& controller, const QList<int>& addresses);
    void noteFlashSaved(const ControllerIdentity& controller);
    // A read replaced an unsaved edit; found the controller holding one;
    // found another value than the one a register was kept marked for, in
    // the controller shown.
    void noteReplaced(int address);
    void noteMatched(int address);
    // The last one is true when a box said the register stays marked and
    // no read under way names it: the read's own caller tells it.
    bool noteKeptReplaced(int address, const ControllerIdentity& shown);
    // A read of it ended, done or failed.
    void noteReadEnded(bool succeeded);

    // Over: the box to show (empty when nothing needs telling) for the
    // model as the reads left it. Ready for the next reads.
    struct Notice
    {
        QString title;
        QString text;
    };
    Notice finish(const Kelvara* model);
    // The box of a Read the user asked for that found the controller
    // without values kept marked for it; oneRegister: the Dev Screen's Read
    // of one register.
    static Notice keptReplacedNotice(const QList<int>& replaced, const Kelvara* model,
                                     bool oneRegister = false);

    // What the controller that was read holds of values sent to it before
    // another controller answered, as the link confirmed them: of many,
    // named after it in the box and kept marked, or of the command line's
    // one value.
    enum class SentValues { Written, WrittenFlashSaveUnknown, Unconfirmed };
    static QString sentValuesText(SentValues sent, bool oneValue);

private:
    QString changesText(const QList<int>& replaced, const QList<int>& matched,
                        const Kelvara* model) const;
    static QString replacedText(const QList<int>& replaced, const Kelvara* model);
    QString matchedText(const QList<int>& matched, const Kelvara* model) const;
    QString anotherControllerText(const QString& changes, const Kelvara* model) const;
    QString outsideFlashText(const QList<int>& replaced, const Kelvara* model) const;
    static QList<int> sorted(const QSet<int>& addresses);
    static QString names(const QList<int>& addresses, const Kelvara* model);

    Reason why = Reason::None;
    QSet<int> replacedEdits;
    QSet<int> matchedEdits;
    bool anyReadSucceeded = false;
    ControllerIdentity refusedFor;
    QList<int> heldOutsideFlash;
    QList<int> unansweredWrites;
    bool flashSaveUnknown = false;
    ToldMarks toldKept;
};

#endif // CONTROLLERREADREPORT_H
