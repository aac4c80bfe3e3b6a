#ifndef MOVEDVALUES_H
#define MOVEDVALUES_H

#include "givenvalues.h"
#include "valueorders.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

class Kelvara;
class Parameter;

// A value the suite moved by itself: the value given to the register (by
// the user or a file) or else the controller's, read with the values set
// now, and what it holds now.
struct MovedValue
{
    int address = 0;
    double before = 0.0;
    double after = 0.0;
    bool fromFile = false;
    // before is a value entered for the register that a rule held back.
    bool entered = false;
    // before is a value entered that the register could not take at all:
    // it holds what it held, and nothing of it is written.
    bool refused = false;
    // Moved by an order widgets keep among values (pushed by a value next
    // to it, or held back by it), not by a limit alone.
    bool byOrder = false;
    // The raw values behind before (but for a value refused) and after.
    int rawBefore = 0;
    int rawAfter = 0;
    // A file's whole number beyond an int, as the file gave it (before holds
    // the int's end).
    QString beforeDigits;
};
Q_DECLARE_METATYPE(MovedValue)

// Works out what the page holds of the registers whose values depend on
// others: those whose formulas refer to other registers (a scale or a limit
// that follows the rated voltage), the registers they refer to, and those
// widgets keep in an order (ValueOrders). What they hold is a function of
// the controller's values, the values the user gave (GivenValues) and the
// values those limits and orders refer to as they stand now, never of the
// way that led there:
//
//  - in the order of references, each register takes its given value,
//    held at its limits, or else the controller's, which stands as the
//    controller holds it unless the limits now in force move it (one beyond
//    them stands where it stood beyond them as the controller held it, or
//    while the registers it refers to hold what they held then);
//  - the orders then settle the values the limits moved, and then, in the
//    order they were given, each given value once more: so a value given
//    later pushes, or holds back, one given earlier. A value that shows as
//    the controller's leaves an order as the controller's own values leave
//    it, unless it breaks it further.
//
// A value given is thus held at a limit or pushed by an order only while
// the values now in force demand it, and comes back whole once they no
// longer do; a save makes what it wrote the controller's own.
//
// The values that differ from what was given, or from the controller's, are
// told once the action that moved them is over (an edit, a file, a drag), in
// one valuesMoved(): each once for each way it stands.
class MovedValues : public QObject
{
    Q_OBJECT

public:
    explicit MovedValues(Kelvara* model);

    // The register's value is worked out here.
    bool isDerived(int address);
    // The registers worked out here whose formulas refer to the register.
    QVector<int> dependentsOf(int address);
    // The orders widgets keep changed: the registers worked out are found
    // again.
    void ordersChanged() { familyFound = false; }

    void give(int address, const GivenValues::Value& value);
    void forget(int address);
    const GivenValues& givenValues() const { return given; }
    // The controller's value of a register changed, or another value it
    // refers to: the page's values are to be worked out again.
    void noteControllerChange() { due = true; }
    // Everything on the page is the controller's own (a complete read):
    // nothing is given, nothing moved.
    void settleAll();
    // A save: what was told of the values moved is told again where they
    // move once more, also as they stood before.
    void forgetTold() { told.clear(); }

    // Works the page's values out again, where anything changed since.
    void deriveIfDue();
    bool isDeriving() const { return deriving; }
    // The register holds neither the value given nor the controller's: the
    // suite moved it.
    bool isMoved(int address) const;

    // A file gave a register that is not worked out here fileRaw, which its
    // limits did not let stand.
    void noteLimitedFileValue(int address, int fileRaw, const QString& fileDigits);
    // A value entered for the register that it could not take at all (its
    // scale has no value): told with what it holds now.
    void noteRefusedValue(int address, double entered);
    // While held, a drag or an import of several files is under way: what
    // it moves is told once it is over. A drag released where it began
    // (backAtStart) changes nothing: every register gets back what it held
    // as the drag began.
    void holdReport(bool held, bool backAtStart = false);

signals:
    // After the action that moved them.
    void valuesMoved(const QList<MovedValue>& moves);

private:
    // What a register moved holds, against what: told again only once it
    // changes.
    struct Standing
    {
        double held = 0.0;
        int reference = 0;
        double given = 0.0;
        quint64 order = 0;
        quint64 cause = 0;
        bool written = false;
        bool operator==(const Standing& other) const;
    };
    // A value the report is to tell of a register not worked out here.
    struct Note
    {
        int raw = 0;
        double entered = 0.0;
        bool refused = false;
        QString digits;
    };
    // What the registers and the given values were as a drag began.
    struct DragStart
    {
        GivenValues given;
        QHash<int, int> raws;
    };

    void findFamily();
    void addToFamily(int address, QSet<int>* visiting);
    void findOrderGroups();
    quint64 lastGivenOf(const QVector<int>& addresses) const;
    quint64 causeOf(int address) const;
    bool differsFromOwn(int address, int raw) const;
    Parameter* parameter(int address) const;
    void derive();
    void placeOwnValue(int address, bool* limited);
    bool movedByLimits(int address, const QVector<int>& references) const;
    void placeGivenValue(Parameter* parameter, const GivenValues::Value& value,
                         const QVector<int>& references);
    void settle(int address);
    bool holdsControllerValue(int address) const;
    bool breaksFurther(const ValueOrders::Order& order) const;
    Standing standingOf(int address) const;
    bool tellMove(int address, MovedValue* move) const;
    void putBackDragStart();
    void queueReport();
    void report();
    void reportNotes(QList<MovedValue>* moves);

    Kelvara* model;
    GivenValues given;
    bool familyFound = false;
    // The registers worked out, those they refer to first.
    QVector<int> family;
    QSet<int> familySet;
    QSet<int> orderMembers;
    QHash<int, QVector<int>> orderGroups;
    // What each register held after its own value, before the orders, and
    // once they were settled.
    QHash<int, int> ownRaws;
    QHash<int, int> derivedRaws;
    bool due = false;
    bool deriving = false;
    QHash<int, QVector<Standing>> told;
    // The number of the last value given that a report has seen.
    quint64 toldThrough = 0;
    QMap<int, Note> notes;
    bool reportQueued = false;
    bool reportHeld = false;
    DragStart dragStart;
};

#endif // MOVEDVALUES_H
