#ifndef CONTROLLERREADREPORT_H
#define CONTROLLERREADREPORT_H

#include "controlleridentity.h"

#include <QCoreApplication>
#include <QList>
#include <QSet>
#include <QString>

class Kelvara;

// The window's own reads of a whole controller (as it connects, connects
// again, or answers in place of the one that was read) and what the window
// tells once they are over: which unsaved edits they replaced and, after a
// write refused to another controller, what became of the one that was
// read. It tells only what happened: whether the values could be read, and
// whose they are.
class ControllerReadReport
{
    Q_DECLARE_TR_FUNCTIONS(ControllerReadReport)

public:
    enum class Reason { None, Connection, Reconnection, AnotherController };

    bool isUnderWay() const { return why != Reason::None; }
    // The window reads for this reason; another controller that answered
    // is told above a connection's reads already under way.
    void begin(Reason reason);
    // A write was refused to another controller: the controller that was
    // read, the registers it holds in its RAM but not in its flash, those
    // of them whose write it never answered, and whether a save to flash
    // went out that it did not confirm.
    void noteRefusal(const ControllerIdentity& read, const QList<int>& outsideFlash,
                     const QList<int>& unanswered = {}, bool flashSaveUnconfirmed = false);
    void noteReplaced(int address);
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

private:
    QString replacedText(const QList<int>& replaced, const Kelvara* model) const;
    QString anotherControllerText(const QList<int>& replaced, const Kelvara* model) const;
    QString outsideFlashText(const Kelvara* model) const;
    static QString names(const QList<int>& addresses, const Kelvara* model);

    Reason why = Reason::None;
    QSet<int> replacedEdits;
    bool anyReadSucceeded = false;
    ControllerIdentity refusedFor;
    QList<int> heldOutsideFlash;
    QList<int> unansweredWrites;
    bool flashSaveUnknown = false;
};

#endif // CONTROLLERREADREPORT_H
