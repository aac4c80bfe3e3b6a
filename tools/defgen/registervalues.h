#ifndef REGISTERVALUES_H
#define REGISTERVALUES_H

#include "registerentry.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QStringList>

// Turns one value set of the source (display values) into raw register
// values the way the suite converts them, and checks that each value fits
// the register's width, lies inside its limits and sits on its display grid,
// so that reading it back and storing it again leaves it unchanged.
class RegisterValues
{
public:
    enum class ValueSet { Initial, Simulator };

    RegisterValues(const QList<RegisterEntry>& entries, ValueSet set);

    bool compute();

    // (address, raw value) of every register of the set, ascending by address.
    QList<QPair<int, int>> rawValues() const;
    const QStringList& errors() const { return problems; }

private:
    bool valueOf(const RegisterEntry& entry, double* display) const;
    double evaluate(const QString& formula) const;
    double asValue(const RegisterEntry& entry, int raw) const;
    bool convertNumeric(const RegisterEntry& entry, double display, int* raw);
    void checkDisplayRange(const RegisterEntry& entry);
    void fail(const RegisterEntry& entry, const QString& message);

    const QList<RegisterEntry>& registers;
    ValueSet set;
    QMap<int, int> raws;
    QMap<int, double> displayValues;
    QStringList problems;
};

#endif // REGISTERVALUES_H
