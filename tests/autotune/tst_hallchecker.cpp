// Judging, explaining and repairing learnt hall tables, and the live hall
// table that shows one.

#include "bitvector.h"
#include "hallchecker.h"
#include "halltable.h"
#include "kelvara.h"
#include "parameter.h"

#include <QTableWidget>
#include <QtTest>

using Table = QList<int>;

class TestHallChecker : public QObject
{
    Q_OBJECT

    std::unique_ptr<Kelvara> model;

    // The learnt table, also taken as the working table.
    void learn(const Table& table)
    {
        for (int state = 0; state < 8; ++state) {
            model->getParameter(440 + state)->setRegisterValue(table.value(state));
            model->getParameter(80 + state)->setRegisterValue(table.value(state));
        }
    }

private slots:
    void init() { model.reset(new Kelvara); }

    void judgesTables_data()
    {
        QTest::addColumn<Table>("table");
        QTest::addColumn<bool>("errors");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("description");

        QTest::newRow("good") << Table{15, 0, 2, 1, 4, 5, 3, 15} << false << true << "";
        QTest::newRow("60 degree halls") << Table{0, 1, 15, 2, 3, 15, 4, 5} << false << false << "";
        QTest::newRow("4 twice, 5 missing") << Table{15, 0, 2, 1, 4, 4, 3, 15} << true << false
                                            << "Invalid hall pattern detected. Sensors may be shorted "
                                               "together, or have connection issues.\n";
        QTest::newRow("one unseen") << Table{15, 0, 2, 1, 4, 5, 3, 1} << true << true << "";
        QTest::newRow("three unseen") << Table{15, 0, 2, 15, 4, 5, 3, 15} << true << true << "";
        QTest::newRow("cable off") << Table{15, 15, 15, 15, 15, 15, 15, 15} << true << false
                                   << "No valid hall signals. Maybe the hall cable is disconnected.\n";
        QTest::newRow("green stuck low") << Table{15, 0, 15, 1, 15, 2, 15, 3} << true << false
                                         << "Green hall faulty (low - shorted to ground?)\n";
        QTest::newRow("green stuck high") << Table{0, 15, 1, 15, 2, 15, 3, 15} << true << false
                                          << "Green hall faulty (high - disconnected or shorted to Hall V+?)\n";
        QTest::newRow("single inputs") << Table{15, 0, 1, 15, 2, 15, 15, 15} << true << false
                                       << "Invalid hall pattern detected. Sensors may be shorted "
                                          "together, or have connection issues.\n";
        QTest::newRow("sector 7") << Table{15, 0, 2, 1, 4, 7, 3, 15} << true << true
                                  << "Invalid hall pattern detected. Sensors may be shorted "
                                     "together, or have connection issues.\n";
    }

    void judgesTables()
    {
        QFETCH(Table, table);
        QFETCH(bool, errors);
        QFETCH(bool, valid);
        QFETCH(QString, description);
        learn(table);
        HallChecker checker(nullptr, model.get());
        QCOMPARE(checker.hallSensorErrors(), errors);
        QCOMPARE(checker.areHallsValid(), valid);
        if (errors && !description.isEmpty())
            QCOMPARE(checker.describeHallError(), description);
    }

    void repairsOneDuplicate_data()
    {
        QTest::addColumn<Table>("table");
        QTest::addColumn<Table>("repaired");
        // States 3 and 4 share sector 2, sector 3 is free: state 5 (sector 4)
        // differs from state 4 in one bit, so state 4 moves up.
        QTest::newRow("move up") << Table{15, 0, 1, 2, 2, 4, 5, 15} << Table{15, 0, 1, 2, 3, 4, 5, 15};
        // States 1 and 6 share sector 5 and sector 0 is free; state 2 (sector 1)
        // differs from state 6 in one bit, so state 6 moves up to 0, not 6.
        QTest::newRow("wraps to 0") << Table{15, 5, 1, 2, 3, 4, 5, 15} << Table{15, 5, 1, 2, 3, 4, 0, 15};
        QTest::newRow("unseen states stay") << Table{0, 1, 15, 2, 3, 15, 4, 5} << Table{0, 1, 15, 2, 3, 15, 4, 5};
    }

    void repairsOneDuplicate()
    {
        QFETCH(Table, table);
        QFETCH(Table, repaired);
        learn(table);
        HallChecker(nullptr, model.get()).adjustHallValues();
        Table working;
        for (int state = 0; state < 8; ++state)
            working << int(model->getParameter(80 + state)->getValue());
        QCOMPARE(working, repaired);
    }

    void liveTable_data()
    {
        QTest::addColumn<Table>("sectors");
        QTest::addColumn<QString>("stateRow");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<int>("selected");
        QTest::newRow("two unseen") << Table{15, 0, 2, 1, 4, 5, 3, 15} << "001|011|010|110|100|101|000|111" << 3 << 1;
        QTest::newRow("none seen, selection kept") << QVector<int>(8, 15).toList() << " | | | | | |000|001" << 7 << 7;
        QTest::newRow("duplicates") << Table{0, 0, 1, 1, 2, 2, 3, 3} << "001|011|101|111| | | | " << 0x4c << 2;
    }

    // The state row from the learnt sectors, and the column of the live
    // hall inputs selected.
    void liveTable()
    {
        QFETCH(Table, sectors);
        QFETCH(QString, stateRow);
        QFETCH(int, inputs);
        QFETCH(int, selected);
        QTableWidget table;
        HallTable hall(nullptr, &table, model.get());
        learn({15, 0, 2, 1, 4, 5, 3, 15});
        hall.calculateHallTable();
        learn(sectors); // nothing of a full table may show through
        hall.calculateHallTable();
        QStringList shown;
        for (int column = 0; column < 8; ++column)
            shown << table.item(1, column)->text();
        QCOMPARE(shown.join('|'), stateRow);

        table.selectColumn(7);
        model->getParameter(276)->setRegisterValue(inputs); // bits 3 and 6 are no hall inputs
        hall.selectHallColumn(static_cast<BitVector*>(model->getParameter(276)));
        QCOMPARE(table.selectionModel()->selectedColumns().value(0).column(), selected);
    }
};

QTEST_MAIN(TestHallChecker)
#include "tst_hallchecker.moc"
