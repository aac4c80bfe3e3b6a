#ifndef MOVEDVALUES_H
#define MOVEDVALUES_H

#include <QHash>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

#include <functional>

class Parameter;

// A value the suite moved by itself: the value last given to the register
// (the user's, a file's or the controller's), read with the values now set,
// or the value a file gave, and what it holds now.
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
    // Not moved: before is the value it was not put back to, as that would
    // break an order widgets keep among values.
    bool keptBack = false;
    // Moved by such an order (pushed by a value next to it), not by a limit.
    bool byOrder = false;
    // The raw values behind before (but for a value refused) and after.
    int rawBefore = 0;
    int rawAfter = 0;
    // A file's whole number beyond an int, as the file gave it (before holds
    // the int's end).
    QString beforeDigits;
};
Q_DECLARE_METATYPE(MovedValue)

// Follows the values the suite moves by itself, so that they are told and
// go back with their cause. A register is moved when a change of another
// one moves it: a formula that refers to the other register works it out
// again (new limits, a new scale), or a widget's rule (the order of the
// battery-voltage thumbs) pushes it.
//
// Each register keeps its origin, the value that last came from the user,
// a file or the controller, and its rest: the origin, or where an order
// pushed it as another value the user set moved. A push stays: the values
// the user sets are kept in order. With its rest it keeps the values of the
// registers its formulas refer to under which it stood there unmoved. Once
// those hold such values again, or values whose limits let it stand (a
// rated voltage set back), a register they moved, by its limits or by an
// order, goes back to its rest. One pushed
// goes back to its origin once the register that pushed it is set back to
// what it held before. One the user has changed since has a new origin and
// stays. A value goes back only where the orders widgets keep among values
// hold with it once the action is over; where they do not, it stays where
// it was and is told.
//
// The moves of one action (an edit, a file, a pick from a list, a drag) are
// told once it is over, in one valuesMoved().
class MovedValues : public QObject
{
    Q_OBJECT

public:
    // putBack stores a raw value as the controller's own (no widget writes
    // anything back meanwhile); keepsOrder tells whether a register may go
    // back to raw with the others as they are.
    MovedValues(const QMap<int, Parameter*>& parameters,
                std::function<void(int address, int raw)> putBack,
                std::function<bool(int address, int raw)> keepsOrder, QObject* parent = nullptr);

    // Every register is at its origin as it stands; nothing is moved.
    void settleAll();
    // A register's value was stored or announced. takingControllerValues:
    // the controller's own values are being taken (a read, a restore, a
    // put-back), which move nothing.
    void takeChange(int address, bool takingControllerValues);
    // A file gave the register fileRaw, which its limits did not let stand.
    void noteLimitedFileValue(int address, int fileRaw, const QString& fileDigits);
    // A value entered for the register (typed, or a file's) that a rule of
    // a graph or slider held back at what the register holds now.
    void noteEnteredValue(int address, int enteredRaw);
    // A value entered for the register that it could not take at all (its
    // scale has no value): told with what it holds now.
    void noteRefusedValue(int address, double entered);
    // While held, a drag is under way: its moves are told once it is
    // released, and what a register held before the drag is its value
    // before. A drag released where it began (backAtStart) changes
    // nothing: every register it changed gets back its value from before.
    void holdReport(bool held, bool backAtStart = false);
    // A rule of a graph held the register, which a limit moved, where it
    // keeps an order: it is told as moved by that order.
    void noteHeldByOrder(int address);
    // The user's own value for the register, stored while another store
    // is under way (a node that sets two registers, its second one): not
    // moved by the first, and what it moves is moved by it.
    void beginOwnStore(int address);
    void endOwnStore();
    // The register holds the value last set for it (by the user, a file or
    // the controller): nothing has moved it since.
    bool isAtOrigin(int address) const;
    // A file's value the register holds as the file gives it: its own, also
    // where an order had pushed it there before.
    void takeFileValue(int address);

signals:
    // After the action that moved them; values back at their origin, and
    // those that still show as they were, are left out.
    void valuesMoved(const QList<MovedValue>& moves);

private:
    using Context = QVector<int>;
    struct Track
    {
        Parameter* parameter = nullptr;
        QVector<const Parameter*> references;
        int origin = 0;
        // The contexts of the origin, while the register is pushed from it.
        QVector<Context> originContexts;
        int rest = 0;
        // The contexts it stood in at its rest.
        QVector<Context> restingContexts;
        int lastRaw = 0;
        // Before its last own value (the user's, a file's, the controller's).
        int rawBeforeStore = 0;
        // The register whose change pushed it, and what that one held before.
        int cause = -1;
        int causeRaw = 0;
    };
    struct Pending
    {
        // The value a file gave, the value entered, or the origin of a move.
        int raw = 0;
        bool fromFile = false;
        bool entered = false;
        // A value entered that has no raw value.
        bool refused = false;
        double display = 0.0;
        // Where it rested as the action began.
        int rest = 0;
        // raw is the rest it was not put back to.
        bool keptBack = false;
        bool byOrder = false;
        QString digits = QString();
    };
    // What a drag may change, as it stood when the drag began.
    struct DragStart
    {
        QHash<int, Track> tracks;
        QHash<int, int> raws;
        QMap<int, Pending> pending;
        QSet<int> pushed;
    };

    void settle(Track& track);
    static void restAt(Track& track, int raw);
    static Context contextOf(const Track& track);
    static bool stands(const Track& track, int raw, const QVector<Context>& contexts);
    void noteResting(Track& track, const Context& context);
    void takeOwnValue(int address, Track& track, int before, bool takingControllerValues);
    void takeRecomputation(int address, Track& track, bool takingControllerValues);
    void returnToRest(int address, Track& track, bool keepInOrder);
    void putBackOrigin(int address, Track& track, int raw);
    void keepOrdersOfPutBacks();
    void keepWhereItWas(int address, Track& track, int raw);
    void takePush(int address, Track& track, const Parameter* cause);
    void putBackPushedBy(int cause, int raw);
    void putBackFollowersOf(int address);
    bool causeIsBack(const Track& cause, int causeRaw, int raw) const;
    const Parameter* causeOfPush() const;
    void noteDragStart();
    void putBackDragStart();
    void noteMove(int address, const Track& track, bool byOrder);
    void notePending(int address, const Pending& value);
    void queueReport();
    void report();

    QHash<int, Track> tracks;
    std::function<void(int, int)> putBack;
    std::function<bool(int, int)> keepsOrder;
    // Registers put back in the action under way: address -> what each
    // held before.
    QMap<int, int> putBackFrom;
    QMap<int, Pending> pending;
    // Registers with a cause.
    QSet<int> pushed;
    bool reportQueued = false;
    int puttingBack = -1;
    bool reportHeld = false;
    // Registers stored by the user while the report was held.
    QSet<int> storedWhileHeld;
    DragStart dragStart;
    // Registers whose own values are being stored, innermost last.
    QVector<int> ownStores;
};

#endif // MOVEDVALUES_H
