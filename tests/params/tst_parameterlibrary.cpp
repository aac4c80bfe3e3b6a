#include "parameterdefinition.h"
#include "parameterlibrary.h"
#include "parameterset.h"
#include "stdoutcapture.h"

#include <QTemporaryFile>
#include <QtTest>

namespace {

// Builds a library over the given file content and keeps what it printed.
struct LoadedLibrary
{
    explicit LoadedLibrary(const QByteArray& json)
    {
        file.open();
        file.write(json);
        file.flush();
        output = capturedStdout([this] { library = new ParameterLibrary(file.fileName()); });
    }
    ~LoadedLibrary() { delete library; }

    QTemporaryFile file;
    ParameterLibrary* library = nullptr;
    QString output;
};

QVariant field(const ParameterDefinition* d, const QString& name)
{
    if (name == "scale") return d->getScaling();
    if (name == "decimals") return d->numDecimals();
    if (name == "min") return d->getMin();
    if (name == "max") return d->getMax();
    if (name == "offset") return d->getOffset();
    if (name == "units") return d->getUnits();
    if (name == "type") return int(d->getType());
    if (name == "level") return d->getLevel();
    if (name == "singleStep") return d->getSingleStep();
    if (name == "isSigned") return d->isSigned();
    if (name == "tooltip") return d->getTooltip();
    return QVariant();
}

} // namespace

class TestParameterLibrary : public QObject
{
    Q_OBJECT

private slots:
    void requiredMembersOnlyGiveDefaults()
    {
        LoadedLibrary loaded(definitionFile({registerEntry(5, "Plain", "")}));
        QVERIFY(loaded.library->isParsed());
        QCOMPARE(loaded.output, QString());
        const ParameterDefinition* d = loaded.library->getParameterDefinition(5);
        QCOMPARE(d->getName(), QString("Plain"));
        QCOMPARE(d->getAddress(), 5);
        QCOMPARE(d->getScaling(), QString("1"));
        QCOMPARE(d->getOffset(), QString("0"));
        QVERIFY(d->getUnits().isEmpty() && d->getMin().isEmpty() && d->getMax().isEmpty());
        QVERIFY(d->getTooltip().isEmpty());
        QCOMPARE(d->numDecimals(), 0);
        QCOMPARE(d->getSingleStep(), 1.0);
        QVERIFY(!d->isSigned());
        QVERIFY(!d->getBitDefs() && !d->getEnumDefs());
        QCOMPARE(int(d->getType()), 0);
        QCOMPARE(d->getLevel(), 3);
    }

    void memberCoercions_data()
    {
        QTest::addColumn<QByteArray>("members");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("scale number 40.96") << QByteArray("\"scale\": 40.96") << "scale" << QVariant("40.96");
        QTest::newRow("scale 40.96 gives 2 decimals") << QByteArray("\"scale\": 40.96") << "decimals" << QVariant(2);
        QTest::newRow("scale number 1 gives 0 decimals") << QByteArray("\"scale\": 1") << "decimals" << QVariant(0);
        QTest::newRow("scale number 4096") << QByteArray("\"scale\": 4096") << "scale" << QVariant("4096");
        QTest::newRow("scale 6 digits") << QByteArray("\"scale\": 91.02222222") << "scale" << QVariant("91.0222");
        QTest::newRow("scale 6 digits long") << QByteArray("\"scale\": 182.04444444444445") << "scale" << QVariant("182.044");
        QTest::newRow("empty scale stored as 1") << QByteArray("\"scale\": \"\"") << "scale" << QVariant("1");
        QTest::newRow("empty scale gives 2 decimals") << QByteArray("\"scale\": \"\"") << "decimals" << QVariant(2);
        QTest::newRow("scale text 1.0 gives 2 decimals") << QByteArray("\"scale\": \"1.0\"") << "decimals" << QVariant(2);
        QTest::newRow("mistyped scale") << QByteArray("\"scale\": true") << "scale" << QVariant("1");
        QTest::newRow("large scale without exponent") << QByteArray("\"scale\": 1000000") << "scale" << QVariant("1000000");
        QTest::newRow("large max without exponent") << QByteArray("\"max\": 2500000") << "max" << QVariant("2500000");
        QTest::newRow("small min without exponent") << QByteArray("\"min\": 0.00001") << "min" << QVariant("0.00001");
        QTest::newRow("negative large min") << QByteArray("\"min\": -1234567") << "min" << QVariant("-1234567");
        QTest::newRow("decimals truncated") << QByteArray("\"decimals\": 2.9") << "decimals" << QVariant(2);
        QTest::newRow("level truncated") << QByteArray("\"accessLevel\": 2.5") << "level" << QVariant(2);
        QTest::newRow("min number") << QByteArray("\"min\": 0") << "min" << QVariant("0");
        QTest::newRow("offset number ignored") << QByteArray("\"offset\": 5") << "offset" << QVariant("0");
        QTest::newRow("offset text") << QByteArray("\"offset\": \"5\"") << "offset" << QVariant("5");
        QTest::newRow("units without blank") << QByteArray("\"units\": \"A\"") << "units" << QVariant("A");
        QTest::newRow("units mistyped") << QByteArray("\"units\": 3") << "units" << QVariant("");
        QTest::newRow("type enum") << QByteArray("\"type\": \"enum\"") << "type" << QVariant(2);
        QTest::newRow("type bit vector") << QByteArray("\"type\": \"bit vector\"") << "type" << QVariant(3);
        QTest::newRow("type dependent") << QByteArray("\"type\": \"dependent\"") << "type" << QVariant(1);
        QTest::newRow("type Bit vector") << QByteArray("\"type\": \"Bit vector\"") << "type" << QVariant(0);
        QTest::newRow("type number") << QByteArray("\"type\": 3") << "type" << QVariant(0);
        QTest::newRow("singleStep number") << QByteArray("\"singleStep\": 0.5") << "singleStep" << QVariant(0.5);
        QTest::newRow("singleStep text") << QByteArray("\"singleStep\": \"0.5\"") << "singleStep" << QVariant(1.0);
        QTest::newRow("isSigned text") << QByteArray("\"isSigned\": \"true\"") << "isSigned" << QVariant(false);
        QTest::newRow("isSigned") << QByteArray("\"isSigned\": true") << "isSigned" << QVariant(true);
        QTest::newRow("tooltip") << QByteArray("\"tooltip\": \"Help\"") << "tooltip" << QVariant("Help");
    }

    void memberCoercions()
    {
        QFETCH(QByteArray, members);
        QFETCH(QString, field);
        QFETCH(QVariant, expected);
        LoadedLibrary loaded(definitionFile({registerEntry(9, "Entry", members)}));
        QVERIFY(loaded.library->isParsed());
        QCOMPARE(loaded.output, QString());
        QCOMPARE(::field(loaded.library->getParameterDefinition(9), field), expected);
    }

    void abortMessages_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");

        QTest::newRow("name not text")
            << QByteArray("{\"0\": {\"name\": 5, \"read\": true, \"write\": true, \"saved\": true}}")
            << "Incorrect parameter item type (name). Abort.";
        QTest::newRow("read missing")
            << QByteArray("{\"0\": {\"name\": \"a\", \"write\": true, \"saved\": true}}")
            << "Incorrect parameter item type (readable). Abort.";
        QTest::newRow("write mistyped")
            << QByteArray("{\"0\": {\"name\": \"a\", \"read\": true, \"write\": 1, \"saved\": true}}")
            << "Incorrect parameter item type (writeable). Abort.";
        QTest::newRow("saved missing")
            << QByteArray("{\"0\": {\"name\": \"a\", \"read\": true, \"write\": true}}")
            << "Incorrect parameter item type (saved). Abort.";
        QTest::newRow("entry not object") << QByteArray("{\"0\": 5}") << "Parameter is not object. Abort.";
        QTest::newRow("syntax error") << QByteArray("{\"0\": {") << "Document is not object. Abort.";
        QTest::newRow("top level array") << QByteArray("[1, 2]") << "Document is not object. Abort.";
    }

    void abortMessages()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        LoadedLibrary loaded(json);
        QCOMPARE(loaded.output, message + "\n");
        QVERIFY(!loaded.library->isParsed());
        QVERIFY(loaded.library->getAllDefinitions().isEmpty());
        QCOMPARE(loaded.library->getParameterDefinition(0)->getName(), QString("invalid"));
    }

    void missingFileReportsTwoLines()
    {
        ParameterLibrary* library = nullptr;
        const QString output = capturedStdout(
            [&] { library = new ParameterLibrary("/nonexistent/definitions.json"); });
        const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QString("Could not open JSON file."));
        QVERIFY(lines.at(1).startsWith("Error: "));
        QVERIFY(lines.at(1).size() > 7);
        QVERIFY(!library->isParsed());
        delete library;
    }

    void abortDropsEntriesReadBefore()
    {
        // Keys are read in string order: 0, 1, 10, 100, 12 - the broken 12 comes last.
        LoadedLibrary loaded(definitionFile({registerEntry(0, "a", ""), registerEntry(1, "b", ""),
                                             registerEntry(10, "c", ""), registerEntry(100, "d", ""),
                                             "\"12\": {\"name\": \"e\"}"}));
        QCOMPARE(loaded.output, QString("Incorrect parameter item type (readable). Abort.\n"));
        QVERIFY(loaded.library->getAllDefinitions().isEmpty());
        QCOMPARE(loaded.library->getParameterDefinition(100)->getName(), QString("invalid"));
    }

    void addressComesFromKey()
    {
        LoadedLibrary loaded(definitionFile({registerEntry(7, "seven", "\"address\": 8"),
                                             "\"07\": {\"name\": \"zero seven\", \"read\": true, "
                                             "\"write\": true, \"saved\": true}",
                                             registerEntry(3, "three", "")}));
        const auto definitions = loaded.library->getAllDefinitions();
        QCOMPARE(definitions.keys(), QList<int>({3, 7}));
        // "07" sorts before "7", so the entry of key "7" wins.
        QCOMPARE(definitions.value(7)->getName(), QString("seven"));
        QCOMPARE(definitions.value(7)->getAddress(), 7);
    }

    void labelMaps()
    {
        LoadedLibrary loaded(definitionFile({registerEntry(
            2, "Flags", "\"bitDefs\": {\"0\": \"Ready\", \"3\": 7, \"x\": \"Odd\", \"03\": \"Busy\"}, "
                        "\"enumDefs\": {\"12\": \"1200\"}")}));
        const ParameterDefinition* d = loaded.library->getParameterDefinition(2);
        QVERIFY(d->getBitDefs());
        // Key order "0", "03", "3", "x": "x" reads as bit 0 and replaces "Ready",
        // "3" replaces "03", and its label 7 is not a text.
        QCOMPARE(*d->getBitDefs(), (QMap<int, QString>{{0, "Odd"}, {3, ""}}));
        QCOMPARE(*d->getEnumDefs(), (QMap<int, QString>{{12, "1200"}}));
    }

    void unknownAddressGivesFallback()
    {
        LoadedLibrary loaded(definitionFile({registerEntry(0, "a", "")}));
        const ParameterDefinition* d = loaded.library->getParameterDefinition(9999);
        QCOMPARE(d->getName(), QString("invalid"));
        QCOMPARE(d->getAddress(), 0);
        QVERIFY(!d->isWriteable());
        QCOMPARE(d->getLevel(), 3);
    }

    void emptyObjectIsParsed()
    {
        LoadedLibrary loaded("{}");
        QVERIFY(loaded.library->isParsed());
        QVERIFY(loaded.library->getAllDefinitions().isEmpty());
        QCOMPARE(loaded.output, QString());
    }

    void fixturesParseSilently_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("bod") << "bod_fixture.json";
        QTest::newRow("bod v6") << "bod_v6_fixture.json";
    }

    void fixturesParseSilently()
    {
        QFETCH(QString, file);
        ParameterLibrary* library = nullptr;
        const QString output = capturedStdout(
            [&] { library = new ParameterLibrary(QString(KELVARA_TEST_FIXTURES) + "/" + file); });
        QCOMPARE(output, QString());
        QVERIFY(library->isParsed());
        QVERIFY(!library->getAllDefinitions().isEmpty());
        delete library;
    }
};

QTEST_GUILESS_MAIN(TestParameterLibrary)
#include "tst_parameterlibrary.moc"
