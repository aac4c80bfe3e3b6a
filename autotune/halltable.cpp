#include "halltable.h"

#include "bitvector.h"
#include "kelvara.h"

#include <QHeaderView>
#include <QTableWidget>

#include <cmath>

namespace {

const int hallSectorRegister = 80;
const int hallStates = 8;
const int sectorPositions = 6;
const int rows = 2;
const int columns = 8;
const int positionRow = 0;
const int stateRow = 1;

void prepareItem(QTableWidgetItem* item)
{
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

QTableWidgetItem* headerItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    prepareItem(item);
    return item;
}

} // namespace

HallTable::HallTable(QObject* parent, QTableWidget* table, Kelvara* runner)
    : QObject(parent)
    , table(table)
    , runner(runner)
{
    if (!table)
        return;
    table->setRowCount(rows);
    table->setColumnCount(columns);
    table->horizontalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalHeaderItem(positionRow, headerItem(tr("Position")));
    table->setVerticalHeaderItem(stateRow, headerItem(tr("Hall\nSector")));
    for (int column = 0; column < columns; ++column) {
        setCell(positionRow, column,
                column < sectorPositions ? QString::number(column) : QStringLiteral(" - "));
        setCell(stateRow, column, QStringLiteral(" "));
    }
}

// The sector register of a state, cut to a whole number.
double HallTable::sectorOf(int state) const
{
    return std::trunc(runner->getParameter(hallSectorRegister + state)->getValue());
}

void HallTable::setCell(int row, int column, const QString& text)
{
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    item->setText(text);
    prepareItem(item);
}

void HallTable::calculateHallTable()
{
    if (!table || !runner)
        return;
    // Blanked first, so a state that moved leaves nothing behind.
    for (int column = 0; column < columns; ++column)
        setCell(stateRow, column, QStringLiteral(" "));

    int spareColumn = sectorPositions;
    for (int state = 0; state < hallStates; ++state) {
        const double sector = sectorOf(state);
        const bool valid = sector >= 0 && sector < sectorPositions;
        const int column = valid ? static_cast<int>(sector) : spareColumn++;
        // Beyond the two spare columns an unplaced state is not shown.
        if (column < columns)
            setCell(stateRow, column, QString::number(state, 2).rightJustified(3, '0'));
    }
    table->setStyleSheet(QStringLiteral("QTableWidget\n{font-size: 9pt;\n}"));
}

void HallTable::selectHallColumn(BitVector* inputs)
{
    if (!table || !runner || !inputs)
        return;
    const int state = inputs->getBit(0) + 2 * inputs->getBit(1) + 4 * inputs->getBit(2);
    const double column = sectorOf(state);
    // A state never seen holds 15: there is no such column to select.
    if (column >= 0 && column < table->columnCount())
        table->selectColumn(static_cast<int>(column));
}
