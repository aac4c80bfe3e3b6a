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
        output = capturedStdout([this] { library.reset(new ParameterLibrary(file.fileName())); });
    }

    QTemporaryFile file;
    QScopedPointer<ParameterLibrary> library;
    QString output;
};

QVariantMap fields(const ParameterDefinition* d)
{
    return {{"scale", d->getScaling()},
            {"decimals", d->numDecimals()},
            {"min", d->getMin()},
            {"max", d->getMax()},
            {"offset", d->getOffset()},
            {"units", d->getUnits()},
            {"type", int(d->getType())},
            {"level", d->getLevel()},
            {"singleStep", d->getSingleStep()},
            {"isSigned", d->isSigned()},
            {"tooltip", d->getTooltip()},
            {"labelled", d->getBitDefs() || d->getEnumDefs()}};
}

} // namespace

class TestParameterLibrary : public QObject
{
    Q_OBJECT

private slots:
    void members_data()
    {
        QTest::addColumn<QByteArray>("members");
        QTest::addColumn<QVariantMap>("expected");
        QTest::newRow("required members only")
            << QByteArray()
            << QVariantMap{{"scale", "1"},  {"offset", "0"},     {"units", ""},
                           {"min", ""},     {"max", ""},         {"tooltip", ""},
                           {"decimals", 0}, {"singleStep", 1.0}, {"isSigned", false},
                           {"type", 0},     {"level", 3},        {"labelled", false}};
        QTest::newRow("scale number 40.96")
            << QByteArray("\"scale\": 40.96") << QVariantMap{{"scale", "40.96"}, {"decimals", 2}};
        QTest::newRow("scale 6 digits")
            << QByteArray("\"scale\": 91.02222222") << QVariantMap{{"scale", "91.0222"}};
        QTest::newRow("empty scale")
            << QByteArray("\"scale\": \"\"") << QVariantMap{{"scale", "1"}, {"decimals", 2}};
        QTest::newRow("numbers without exponent")
            << QByteArray("\"scale\": 1000000, \"max\": 2500000, \"min\": 0.00001")
            << QVariantMap{{"scale", "1000000"}, {"max", "2500000"}, {"min", "0.00001"}};
        QTest::newRow("min number, offset number ignored")
            << QByteArray("\"min\": 0, \"offset\": 5")
            << QVariantMap{{"min", "0"}, {"offset", "0"}};
        QTest::newRow("truncated") << QByteArray("\"decimals\": 2.9, \"accessLevel\": 2.5")
                                   << QVariantMap{{"decimals", 2}, {"level", 2}};
        QTest::newRow("well typed") << QByteArray(
            "\"offset\": \"5\", \"units\": \"A\", \"tooltip\": \"Help\", \"singleStep\": 0.5, "
            "\"isSigned\": true")
                                    << QVariantMap{{"offset", "5"},
                                                   {"units", "A"},
                                                   {"tooltip", "Help"},
                                                   {"singleStep", 0.5},
                                                   {"isSigned", true}};
        QTest::newRow("mistyped") << QByteArray(
            "\"units\": 3, \"singleStep\": \"0.5\", \"isSigned\": \"true\", \"type\": 3")
                                  << QVariantMap{{"units", ""},
                                                 {"singleStep", 1.0},
                                                 {"isSigned", false},
                                                 {"type", 0}};
        QTest::newRow("type bit vector")
            << QByteArray("\"type\": \"bit vector\"") << QVariantMap{{"type", 3}};
        QTest::newRow("type Bit vector")
            << QByteArray("\"type\": \"Bit vector\"") << QVariantMap{{"type", 0}};
    }

    void members()
    {
        QFETCH(QByteArray, members);
        QFETCH(QVariantMap, expected);
        LoadedLibrary loaded(definitionFile({registerEntry(9, "Entry", members)}));
        QVERIFY(loaded.library->isParsed());
        QCOMPARE(loaded.output, QString());
        const QVariantMap actual = fields(loaded.library->getParameterDefinition(9));
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
            QCOMPARE(qMakePair(it.key(), actual.value(it.key())), qMakePair(it.key(), it.value()));
    }

    void abortMessages_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        const QByteArray flags = "\"read\": true, \"write\": true, \"saved\": true";
        QTest::newRow("name not text") << "{\"0\": {\"name\": 5, " + flags + "}}"
                                       << "Incorrect parameter item type (name). Abort.";
        QTest::newRow("read missing")
            << QByteArray("{\"0\": {\"name\": \"a\", \"write\": true, \"saved\": true}}")
            << "Incorrect parameter item type (readable). Abort.";
        QTest::newRow("entry not object")
            << QByteArray("{\"0\": 5}") << "Parameter is not object. Abort.";
        QTest::newRow("syntax error")
            << QByteArray("{\"0\": {") << "Document is not object. Abort.";
        // Keys are read in string order: 0, 1, 10, 100, 12 - the broken 12 comes last.
        QTest::newRow("entries read before are dropped")
            << definitionFile({registerEntry(0, "a", ""), registerEntry(1, "b", ""),
                               registerEntry(10, "c", ""), registerEntry(100, "d", ""),
                               "\"12\": {\"name\": \"e\"}"})
            << "Incorrect parameter item type (readable). Abort.";
    }

    void abortMessages()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        LoadedLibrary loaded(json);
        QCOMPARE(loaded.output, message + "\n");
        QVERIFY(!loaded.library->isParsed());
        QVERIFY(loaded.library->getAllDefinitions().isEmpty());
        // Any address then gives a read-only level-3 stand-in.
        const ParameterDefinition* d = loaded.library->getParameterDefinition(100);
        QCOMPARE(d->getName(), QString("invalid"));
        QVERIFY(d->getAddress() == 0 && !d->isWriteable() && d->getLevel() == 3);
    }

    void missingFileReportsTwoLines()
    {
        ParameterLibrary* library = nullptr;
        const QString output = capturedStdout(
            [&] { library = new ParameterLibrary("/nonexistent/definitions.json"); });
        const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QString("Could not open JSON file."));
        QVERIFY(lines.at(1).startsWith("Error: ") && lines.at(1).size() > 7);
        QVERIFY(!library->isParsed());
        delete library;
    }

    void keysAndLabels()
    {
        LoadedLibrary loaded(definitionFile(
            {registerEntry(7, "seven", "\"address\": 8"),
             "\"07\": {\"name\": \"zero seven\", \"read\": true, \"write\": true, \"saved\": true}",
             registerEntry(
                 3, "three",
                 "\"bitDefs\": {\"0\": \"Ready\", \"3\": 7, \"x\": \"Odd\", \"03\": \"Busy\"}, "
                 "\"enumDefs\": {\"12\": \"1200\"}")}));
        const auto definitions = loaded.library->getAllDefinitions();
        QCOMPARE(definitions.keys(), QList<int>({3, 7}));
        // "07" sorts before "7", so the entry of key "7" wins; the key gives the address.
        QCOMPARE(definitions.value(7)->getName(), QString("seven"));
        QCOMPARE(definitions.value(7)->getAddress(), 7);
        // Key order "0", "03", "3", "x": "x" reads as bit 0 and replaces "Ready",
        // "3" replaces "03", and its label 7 is not a text.
        QCOMPARE(*definitions.value(3)->getBitDefs(), (QMap<int, QString>{{0, "Odd"}, {3, ""}}));
        QCOMPARE(*definitions.value(3)->getEnumDefs(), (QMap<int, QString>{{12, "1200"}}));
    }

    void filesParseSilently()
    {
        for (const char* name : {"bod_fixture.json", "bod_v6_fixture.json"}) {
            ParameterLibrary* library = nullptr;
            const QString path = QString(KELVARA_TEST_FIXTURES) + "/" + name;
            QCOMPARE(capturedStdout([&] { library = new ParameterLibrary(path); }), QString());
            QVERIFY(library->isParsed() && !library->getAllDefinitions().isEmpty());
            delete library;
        }
    }
};

QTEST_GUILESS_MAIN(TestParameterLibrary)
#include "tst_parameterlibrary.moc"
