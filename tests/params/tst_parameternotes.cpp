#include "parameternotes.h"
#include "parameterset.h"

#include <QtTest>

// The "Notes" text of a parameter-file entry, for every kind of parameter.
class TestParameterNotes : public QObject
{
    Q_OBJECT

private slots:
    void notes_data()
    {
        QTest::addColumn<QByteArray>("members");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("notes");

        QTest::newRow("units, scale 1, level 0")
            << QByteArray("\"units\": \"A\", \"scale\": \"1\", \"accessLevel\": 0") << 90
            << "Name: 90 A";
        QTest::newRow("no units, no level")
            << QByteArray("\"accessLevel\": 0") << 5 << "Name: 5";
        QTest::newRow("scale text and level")
            << QByteArray("\"units\": \"%\", \"scale\": \"40.96\", \"accessLevel\": 2") << 2048
            << "Name: 50 % (scale = 40.96) Level 2";
        QTest::newRow("level 3 by default")
            << QByteArray("\"units\": \"per unit\", \"scale\": 4096") << 1024
            << "Name: 0.25 per unit (scale = 4096) Level 3";
        QTest::newRow("formula scale")
            << QByteArray("\"units\": \"V\", \"scale\": \"40.96 * 100 / p[1]\", \"decimals\": 1, "
                          "\"type\": \"dependent\", \"accessLevel\": 0")
            << 4096 << "Name: 48 V (scale = 40.96 * 100 / p[1])";
        QTest::newRow("six significant digits")
            << QByteArray("\"scale\": \"3\", \"decimals\": 8, \"accessLevel\": 0") << 1
            << "Name: 0.333333 (scale = 3)";
        QTest::newRow("general format exponent")
            << QByteArray("\"scale\": \"0.01\", \"decimals\": 0, \"accessLevel\": 0") << 12345
            << "Name: 1.2345e+06 (scale = 0.01)";
        QTest::newRow("signed negative")
            << QByteArray("\"units\": \"V\", \"scale\": \"1000\", \"decimals\": 3, \"isSigned\": true, "
                          "\"accessLevel\": 1")
            << -250 << "Name: -0.25 V (scale = 1000) Level 1";

        QTest::newRow("enum")
            << QByteArray("\"type\": \"enum\", \"enumDefs\": {\"0\": \"Off\", \"2\": \"On\"}, "
                          "\"accessLevel\": 0")
            << 2 << "Name: 2[On]";
        QTest::newRow("enum with units and level")
            << QByteArray("\"type\": \"enum\", \"units\": \"Hz\", \"enumDefs\": {\"50\": \"Fifty\"}, "
                          "\"accessLevel\": 3")
            << 50 << "Name: 50[Fifty Hz] Level 3";
        QTest::newRow("enum value without text")
            << QByteArray("\"type\": \"enum\", \"enumDefs\": {\"0\": \"Off\"}, \"accessLevel\": 0")
            << 7 << "Name: 7[not defined]";
        QTest::newRow("enum text empty")
            << QByteArray("\"type\": \"enum\", \"enumDefs\": {\"1\": \"\"}, \"accessLevel\": 0")
            << 1 << "Name: 1[not defined]";

        QString bits = "Name:  Level 2";
        for (int bit = 0; bit < 16; ++bit) {
            const QString label = bit == 0 ? "First" : bit == 10 ? "Tenth" : bit == 15 ? "Last" : "";
            const int set = (0x8401 >> bit) & 1;
            bits += QString("\n\t\t\t%1%2- %3 [%4]")
                        .arg(bit)
                        .arg(bit < 10 ? "  " : " ")
                        .arg(set)
                        .arg(label);
        }
        bits += "\n\t\t";
        QTest::newRow("bit vector with level")
            << QByteArray("\"type\": \"bit vector\", \"units\": \"x\", \"accessLevel\": 2, \"bitDefs\": "
                          "{\"0\": \"First\", \"10\": \"Tenth\", \"15\": \"Last\"}")
            << 0x8401 << bits;
    }

    void notes()
    {
        QFETCH(QByteArray, members);
        QFETCH(int, raw);
        QFETCH(QString, notes);

        ParameterSet set(definitionFile(
            {registerEntry(1, "Reference", "\"scale\": \"1\", \"decimals\": 0"),
             registerEntry(2, "Name", members)}));
        QVERIFY(set.formulasParsed());
        set[1]->setRegisterValue(48);
        set[2]->setRegisterValue(raw);
        QCOMPARE(parameterNotes(set[2]), notes);
    }
};

QTEST_MAIN(TestParameterNotes)
#include "tst_parameternotes.moc"
