#ifndef VALUENOTICES_H
#define VALUENOTICES_H

#include "movedvalues.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

class Kelvara;
class KelvaraCom;
class Parameter;

// Tells the user of values that are not what they seem: values the
// controller holds beyond the suite's limits or, of a list, that the list
// does not name, once a read has brought them (the pages show the limit or
// no entry, and Save leaves them as the controller holds them), and values
// the suite moved by itself (Kelvara::valuesMoved()).
class ValueNotices : public QObject
{
    Q_OBJECT

public:
    ValueNotices(Kelvara* model, KelvaraCom* link, QObject* parent = nullptr);

    // The writable registers whose controller values lie beyond the limits:
    // address -> the controller's raw value.
    QMap<int, int> valuesOutsideLimits() const;
    QString outsideLimitsText(const QMap<int, int>& values) const;
    QString movedText(const QList<MovedValue>& moves) const;

signals:
    // A box to show: its title and text.
    void notice(const QString& title, const QString& text);

private:
    void takeReadAll();
    void tellOutsideLimits();
    void tellMoves(const QList<MovedValue>& moves);
    // Why a value moved, in the order the box tells them.
    enum MoveKind { Entered, FromFile, Limited, Ordered, Refused };
    static bool anyOf(const QList<MovedValue>& moves, MoveKind kind);
    static QString headingOf(MoveKind kind, bool written);
    QStringList linesOf(const QList<MovedValue>& moves, MoveKind kind, bool written) const;
    static MoveKind kindOf(const MovedValue& move);
    static QString movedLine(const MovedValue& move);
    QString nameOf(int address) const;
    static bool isUnlisted(const Parameter* parameter, int raw);
    static QString withUnits(const Parameter* parameter, double value);
    static QString withUnits(const Parameter* parameter, const QString& number);
    static QString fileNumber(const Parameter* parameter, const QString& digits);

    Kelvara* model;
    KelvaraCom* link;
    // What the last box of this connection told: told once.
    QMap<int, int> toldOutsideLimits;
    bool outsideLimitsQueued = false;
};

#endif // VALUENOTICES_H
