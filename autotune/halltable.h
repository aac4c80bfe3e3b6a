#ifndef HALLTABLE_H
#define HALLTABLE_H

#include <QObject>

class BitVector;
class Kelvara;
class QTableWidget;

// Fills the Dashboard's hall table: row 0 names the six sector positions,
// row 1 shows under each the hall state (three digits, blue first) that the
// hall sector registers 80..87 put there. States without a valid sector go
// to the two spare columns 6 and 7 in state order.
class HallTable : public QObject
{
    Q_OBJECT

public:
    HallTable(QObject* parent, QTableWidget* table, Kelvara* runner);

    // Rebuilds row 1 from the model's hall sector registers.
    void calculateHallTable();
    // Selects the column of the hall state the inputs (register 276) report.
    void selectHallColumn(BitVector* inputs);

private:
    double sectorOf(int state) const;
    void setCell(int row, int column, const QString& text);

    QTableWidget* table;
    Kelvara* runner;
};

#endif // HALLTABLE_H
