#ifndef PAGESEQUENCES_H
#define PAGESEQUENCES_H

// Random sequences of what a user does with the values that follow the
// rated voltage and the values the graphs keep in order: rated voltages of
// 12 to 100 V typed, cutoffs, regen and over-voltage values, throttle and
// brake values typed or dragged, files that give some of them, saves and
// reads, as text parseSteps() reads. Seeded, so a sequence comes back from
// its seed, and a failing one can be pasted into a row. Given keeps what
// the user gave since the controller's values were last read or saved, as
// the shortest way to the same values gives it: the rated voltage first,
// then each other value once, in the order each was last given.

#include <QMap>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

namespace PageSequences {

const int ratedVoltage = 70;
// The registers typed or given by files, and those that have a node or thumb.
const QList<int> typedRegisters{141, 142, 194, 195, 147, 149, 213, 214, 151, 215, 216};
const QList<int> draggedRegisters{142, 141, 194, 195, 213, 214, 151, 215, 216};

inline bool isVoltage(int address)
{
    return QList<int>{141, 142, 147, 149, 194, 195}.contains(address);
}

struct Step
{
    enum Kind { Type, TypeBack, Drag, File, Save, Read };
    Kind kind = Type;
    int address = 0;
    double value = 0.0;
    // A drag: the values it passes through, the last where it is released.
    QList<double> through;
    // A file: address -> raw value.
    QMap<int, int> entries;
};

// A display value of the register as a user types it, now and then beyond
// its limits.
inline double typedValue(QRandomGenerator& random, int address)
{
    if (address == ratedVoltage)
        return 12 + random.bounded(89);
    if (isVoltage(address))
        return (100 + random.bounded(850)) / 10.0;
    if (address == 151)
        return random.bounded(150) / 100.0;
    return random.bounded(530) / 100.0;
}

inline int fileValue(QRandomGenerator& random, int address)
{
    if (address == ratedVoltage)
        return 12 + random.bounded(89);
    if (isVoltage(address))
        return 800 + random.bounded(6000);
    return random.bounded(4300);
}

// One step as parseSteps() reads it.
inline QString randomStep(QRandomGenerator& random)
{
    const auto anyTyped = [&] { return typedRegisters.at(random.bounded(typedRegisters.size())); };
    const int pick = random.bounded(100);
    if (pick < 50) {
        const int address = pick < 22 ? ratedVoltage : anyTyped();
        return QStringLiteral("%1=%2").arg(address).arg(typedValue(random, address));
    }
    if (pick < 56)
        return QStringLiteral("%1=back").arg(anyTyped());
    QStringList parts;
    if (pick < 70) {
        const int address = draggedRegisters.at(random.bounded(draggedRegisters.size()));
        for (int moves = 1 + random.bounded(3); moves > 0; --moves)
            parts << QString::number(isVoltage(address) ? 19 + random.bounded(711) / 10.0
                                                        : random.bounded(500) / 100.0);
        return QStringLiteral("d%1=%2").arg(address).arg(parts.join(','));
    }
    if (pick < 80) {
        QMap<int, int> entries;
        for (int count = 1 + random.bounded(4); count > 0; --count) {
            const int address = random.bounded(5) == 0 ? ratedVoltage : anyTyped();
            entries.insert(address, fileValue(random, address));
        }
        for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
            parts << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
        return 'f' + parts.join(',');
    }
    return QLatin1String(pick < 95 ? "save" : "read");
}

// Ends with a save, so that every sequence is judged.
inline QString sequence(quint32 seed, int length)
{
    QRandomGenerator random(seed);
    QStringList steps;
    for (int k = 0; k < length; ++k)
        steps << randomStep(random);
    return (steps << QStringLiteral("save")).join(QStringLiteral("; "));
}

// The sample controller with values of its own that break the orders: the
// cutoff's end 0.2 V below its start, the regen end 0.2 V above the start
// of the regen, the throttle start within the gap of its maximum, the brake
// maximum 0.1 V above its start.
inline QMap<int, int> breakingController(QMap<int, int> values)
{
    values.insert(QMap<int, int>{{141, 3413}, {142, 3396}, {195, 4881}, {214, 2867}, {215, 737}});
    return values;
}

// What the user gave since the controller's values were last read or
// saved: each register's last value, and the order they were last given.
struct Given
{
    struct Value
    {
        bool raw = false; // from a file, else a display value typed or dragged
        double value = 0.0;
    };

    void give(int address, bool raw, double value)
    {
        order.removeAll(address);
        order << address;
        values.insert(address, Value{raw, value});
    }
    // The rated voltage first, then the others in the order given.
    QList<int> shortestOrder() const
    {
        QList<int> addresses = order;
        if (addresses.removeAll(ratedVoltage) > 0)
            addresses.prepend(ratedVoltage);
        return addresses;
    }

    QMap<int, Value> values;
    QList<int> order;
};

// "A=V" types V into register A, "A=back" the value the controller holds,
// "dA=V,W" drags A's node or thumb through V and W, "fA:R,B:S" opens a
// file giving A raw R and B raw S, "save" and "read".
inline QList<Step> parseSteps(const QString& text)
{
    QList<Step> steps;
    for (const QString& part : text.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
        Step step;
        if (part == QLatin1String("save") || part == QLatin1String("read")) {
            step.kind = part == QLatin1String("save") ? Step::Save : Step::Read;
        } else if (part.startsWith('f')) {
            step.kind = Step::File;
            for (const QString& entry : part.mid(1).split(','))
                step.entries.insert(entry.section(':', 0, 0).toInt(),
                                    entry.section(':', 1).toInt());
        } else {
            const bool dragged = part.startsWith('d');
            step.address = part.mid(dragged ? 1 : 0).section('=', 0, 0).toInt();
            const QString value = part.section('=', 1);
            if (dragged) {
                step.kind = Step::Drag;
                for (const QString& through : value.split(','))
                    step.through << through.toDouble();
            } else if (value == QLatin1String("back")) {
                step.kind = Step::TypeBack;
            } else {
                step.value = value.toDouble();
            }
        }
        steps << step;
    }
    return steps;
}

// "address=value ...".
inline QString describe(const QMap<int, int>& registers)
{
    QStringList entries;
    for (auto it = registers.constBegin(); it != registers.constEnd(); ++it)
        entries << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
    return entries.join(' ');
}

} // namespace PageSequences

#endif // PAGESEQUENCES_H
