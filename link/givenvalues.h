#ifndef GIVENVALUES_H
#define GIVENVALUES_H

#include <QHash>
#include <QString>
#include <QVector>

// The values the user gave registers since the controller's were last read
// or saved, each as it was given: a value typed or dragged as the display
// value set, one from a file or brought back by Restore as its raw value.
// They stand in the order they were given: where two of them clash in an
// order, the later one wins.
class GivenValues
{
public:
    enum Kind { Typed, Dragged, FromFile, Restored };

    struct Value
    {
        Kind kind = Typed;
        // Typed and dragged: the display value set.
        double display = 0.0;
        // From a file, restored: the raw value.
        int raw = 0;
        // A file's whole number beyond an int, as the file gave it.
        QString digits;
        // Restored: the raw values of the registers its formulas refer to,
        // with which the controller held it.
        QVector<int> context;
        // Later values have higher numbers.
        quint64 order = 0;

        bool isDisplayValue() const { return kind == Typed || kind == Dragged; }
    };

    void give(int address, Value value);
    void forget(int address);
    void clear() { values.clear(); }

    bool isEmpty() const { return values.isEmpty(); }
    bool contains(int address) const { return values.contains(address); }
    // Null where the register was given nothing.
    const Value* find(int address) const;
    // The registers given a value, the first given first.
    QVector<int> inOrderOfGiving() const;
    // The number of the last value given; 0 before any.
    quint64 lastOrder() const { return lastGiven; }

private:
    QHash<int, Value> values;
    quint64 lastGiven = 0;
};

#endif // GIVENVALUES_H
