#include "bitvector.h"
#include "halltable.h"
#include "kelvara.h"

#include <QTableWidget>
#include <QtTest>

const QList<int> learnt = {15, 0, 2, 1, 4, 5, 3, 15};

class TestHallTable : public QObject
{
    Q_OBJECT

    Kelvara model;
    QTableWidget table;
    HallTable hall{nullptr, &table, &model};

    void calculate(const QList<int>& sectors)
    {
        for (int state = 0; state < 8; ++state)
            model.getParameter(80 + state)->setRegisterValue(sectors.at(state));
        hall.calculateHallTable();
    }

private slots:
    void tableFromSectorsAndLiveState_data()
    {
        QTest::addColumn<QList<int>>("sectors");
        QTest::addColumn<QString>("stateRow");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<int>("selected");
        QTest::newRow("two unseen") << learnt << "001|011|010|110|100|101|000|111" << 3 << 1;
        QTest::newRow("none seen, selection kept")
            << QVector<int>(8, 15).toList() << " | | | | | |000|001" << 7 << 7;
        QTest::newRow("duplicates")
            << QList<int>{0, 0, 1, 1, 2, 2, 3, 3} << "001|011|101|111| | | | " << 0x4c << 2;
    }
    void tableFromSectorsAndLiveState()
    {
        QFETCH(QList<int>, sectors);
        QFETCH(QString, stateRow);
        QFETCH(int, inputs);
        QFETCH(int, selected);
        calculate(learnt); // nothing of a full table may show through
        calculate(sectors);
        QStringList shown;
        for (int column = 0; column < 8; ++column)
            shown << table.item(1, column)->text();
        QCOMPARE(shown.join('|'), stateRow);

        table.selectColumn(7);
        model.getParameter(276)->setRegisterValue(inputs); // bits 3 and 6 are no hall inputs
        hall.selectHallColumn(static_cast<BitVector*>(model.getParameter(276)));
        QCOMPARE(table.selectionModel()->selectedColumns().value(0).column(), selected);
    }
};

QTEST_MAIN(TestHallTable)
#include "tst_halltable.moc"
