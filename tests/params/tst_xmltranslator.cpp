#include "parameterfilereader.h"
#include "parameternotes.h"
#include "parameterset.h"
#include "starttagbound.h"
#include "xmltranslatortesting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <memory>

namespace {

QString fixture(const QString& name)
{
    return QString(KELVARA_TEST_FIXTURES) + "/" + name;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

enum ImportKind { UserImport, AdvancedImport, NamedImport, WebImport };

// Once the next message box is up, clicks the button with the given text (or
// closes the box) and returns "title|text|sorted buttons|default button".
std::shared_ptr<QString> answerNextBox(const QString& buttonText)
{
    auto content = std::make_shared<QString>();
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, content, buttonText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->deleteLater();
        timer->stop();
        QStringList buttons;
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            buttons << button->text().remove('&');
            chosen = buttons.last() == buttonText ? button : chosen;
        }
        buttons.sort();
        *content = QStringList{box->windowTitle(), box->text(), buttons.join(','),
                               box->defaultButton() ? box->defaultButton()->text().remove('&') : ""}
                       .join('|');
        chosen ? chosen->click() : void(box->close());
    });
    timer->start(10);
    return content;
}

// An entry for register 7 whose element carries count attributes named
// name0, name1, ...
QByteArray entryCarrying(int count, const QByteArray& name)
{
    QByteArray attributes;
    for (int i = 0; i < count; ++i)
        attributes += " " + name + QByteArray::number(i) + "=\"u\"";
    return entry("7", "321")
        .replace("<SerializableParameter>", "<SerializableParameter" + attributes + ">");
}

// A file of the size given, read as it is asked for: its head, then its
// line over and over.
class LargeFile : public QIODevice
{
public:
    LargeFile(const QByteArray& head, const QByteArray& line, qint64 size)
        : m_head(head)
        , m_line(line)
        , m_size(size)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    qint64 size() const override { return m_size; }
    // How often the file was read from.
    int reads() const { return m_reads; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        ++m_reads;
        const qint64 count = qMin(maxSize, m_size - pos());
        for (qint64 i = 0, at = pos(); i < count; ++i, ++at) {
            data[i] = at < m_head.size() ? m_head.at(int(at))
                                         : m_line.at(int((at - m_head.size()) % m_line.size()));
        }
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_head;
    QByteArray m_line;
    qint64 m_size;
    int m_reads = 0;
};

// The text in the encoding given, without a byte order mark. The toolkit's
// UTF-32 encoder adds a unit after a surrogate pair: those units are made
// here.
QByteArray encodedText(const QString& text, const QByteArray& encoding)
{
    if (!encoding.startsWith("UTF-32")) {
        QTextEncoder encoder(QTextCodec::codecForName(encoding), QTextCodec::IgnoreHeader);
        return encoder.fromUnicode(text);
    }
    QByteArray bytes;
    for (const uint character : text.toUcs4()) {
        char unit[4];
        encoding.endsWith("BE") ? qToBigEndian(character, unit) : qToLittleEndian(character, unit);
        bytes.append(unit, 4);
    }
    return bytes;
}

// Registers whose limits or scale refer to another one, by the referenced one.
const QMap<int, QList<int>> dependants = {{0, {71, 154}}, {71, {154}}};

} // namespace

class TestXMLTranslator : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Kelvara> device;
    std::unique_ptr<XMLTranslator> translator;
    FakeDialogs* dialogs = nullptr; // owned by the translator
    std::unique_ptr<QTemporaryDir> dir;

    Parameter* p(int address) { return device->getParameter(address); }

    QString writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(dir->filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return file.fileName();
    }

    void runImport(ImportKind kind, const QString& path)
    {
        dialogs->openAnswer = path;
        dialogs->yesAnswer = true;
        if (kind == UserImport)
            translator->importFromXML();
        else if (kind == AdvancedImport)
            translator->advanced_importFromXML();
        else if (kind == NamedImport)
            translator->importFromXML(path);
        else
            translator->importXmlFromWeb(readAll(path));
    }

    QStringList files() const
    {
        return QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void init()
    {
        device.reset(
            new Kelvara(nullptr, fixture("xml/definitions.json"), fixture("bod_v6_fixture.json")));
        translator.reset(new XMLTranslator(device.get()));
        dialogs = new FakeDialogs;
        translator->setDialogs(dialogs);
        dir.reset(new QTemporaryDir);
        QVERIFY(dir->isValid());

        // A fixed model: the values file, plus the identity registers that
        // only a controller read sets, and a controller that reports its
        // motor test under way (481), which no export may carry.
        translator->importFromXML(fixture("xml/fixed_model.xml"));
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('\n')));
        p(256)->setRegisterValue(5921);
        p(237)->setRegisterValue(0x0305);
        p(481)->setRegisterValue(1);
        QCOMPARE(p(71)->getRegisterValue(), 90);
        QCOMPARE(p(154)->getRegisterValue(), 1001);
    }

    void cleanup()
    {
        translator.reset();
        device.reset();
    }

    void exportMatchesGoldenFile_data()
    {
        QTest::addColumn<bool>("technician");
        QTest::addColumn<int>("exportType");
        QTest::newRow("all") << false << int(XMLTranslator::ExportAll);
        QTest::newRow("controller") << false << int(XMLTranslator::ExportController);
        QTest::newRow("motor") << false << int(XMLTranslator::ExportMotor);
        QTest::newRow("technician") << true << int(XMLTranslator::ExportAll);
    }

    void exportMatchesGoldenFile()
    {
        QFETCH(bool, technician);
        QFETCH(int, exportType);
        const QString golden = QString("xml/export_%1.xml").arg(QTest::currentDataTag());
        dialogs->saveAnswer = dir->filePath("export");
        dialogs->exportAnswer = exportType;
        technician ? translator->technican_exportToXML() : translator->exportToXML();
        QCOMPARE(dialogs->fileDialogs.size(), 1);
        QCOMPARE(dialogs->fileDialogs.first().at(0), QString("Export to XML File"));
        QCOMPARE(dialogs->fileDialogs.first().at(2), QString("XML files (*.xml);;Any files (*.*)"));
        QCOMPARE(QString::fromUtf8(readAll(dir->filePath("export.xml"))),
                 QString::fromUtf8(readAll(fixture(golden))));
    }

    // Notes the golden files do not show: exponent, enum units.
    void notes()
    {
        ParameterSet set(definitionFile(
            {registerEntry(2, "Small", "\"scale\": \"0.01\", \"decimals\": 0, \"accessLevel\": 0"),
             registerEntry(
                 3, "Mains",
                 "\"type\": \"enum\", \"units\": \"Hz\", \"enumDefs\": {\"50\": \"Fifty\"}")}));
        set[2]->setRegisterValue(12345);
        set[3]->setRegisterValue(50);
        QCOMPARE(parameterNotes(set[2]), QString("Small: 1.2345e+06 (scale = 0.01)"));
        QCOMPARE(parameterNotes(set[3]), QString("Mains: 50[Fifty Hz] Level 3"));
    }

    void importTable_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<RegisterValues>("expected");
        QTest::addColumn<int>("told"); // lines of the report, besides its first
        const int named = NamedImport;
        QTest::newRow("level 3 left out by the user import")
            << int(UserImport) << entry("349", "4096") + entry("7", "300")
            << RegisterValues{{349, 2048}, {7, 300}} << 1;
        // Each entry stands on its own; the rest of the file still applies.
        QTest::newRow("missing Value")
            << named << entry("7", "300") + entry("52", nullptr) + entry("0", "200")
            << RegisterValues{{7, 300}, {52, 500}, {0, 200}} << 1;
        QTest::newRow("no Address") << named << entry(nullptr, "55") << RegisterValues{} << 1;
        QTest::newRow("Address not a number") << named << entry("seven", "77") + entry("52", "600")
                                              << RegisterValues{{0, 130}, {52, 600}} << 1;
        QTest::newRow("Value not a whole number")
            << named << entry("7", "12.5") << RegisterValues{{7, 250}} << 1;
        QByteArray identity = entry("7", "321"); // and the rest stays as it is
        for (const char* address : {"511", "67", "256", "237", "238", "1881", "2016", "2023",
                                    "2017", "2024", "2018", "2025"})
            identity += entry(address, "4660");
        QTest::newRow("identity never imported")
            << named << identity << RegisterValues{{7, 321}}
            << 1; // 511 told as a command; the others tell where the file came from
        // Nothing of a file commands the controller; what would is told.
        const QByteArray commands = entry("481", "2") + entry("508", "1") + entry("509", "61957")
            + entry("7", "321") + entry("510", "0");
        for (int kind : {int(UserImport), int(AdvancedImport), named})
            QTest::addRow("commands never imported, import %d", kind)
                << kind << commands
                << RegisterValues{{7, 321}, {481, 1}, {508, 0}, {509, 0}, {510, 0}}
                << 3; // 510 at rest needs no mention
        QTest::newRow("address without a parameter")
            << named << entry("9999", "5") + entry("7", "300") << RegisterValues{{7, 300}} << 1;
        QTest::newRow("no register it can import") // told like a file without entries
            << int(UserImport) << entry("9999", "5") + entry("511", "1") + entry("349", "1")
            << RegisterValues{} << 3; // each named
        // A value within its limits is taken as the file holds it, off the
        // display grid too (1000 shows 17, which would be 1001); a limit
        // moves one beyond them.
        QTest::newRow("off the display grid")
            << named << entry("154", "1000") << RegisterValues{{154, 1000}} << 0;
        QTest::newRow("beyond the limit")
            << named << entry("52", "12000") << RegisterValues{{52, 9999}} << 0;
        // The limit of 71 (96 now) follows register 0, listed after it: the
        // second pass applies 71 against the file's value of 0.
        QTest::newRow("from memory, second pass too")
            << int(WebImport) << entry("71", "120") + entry("0", "200") + entry("349", "4096")
            << RegisterValues{{71, 120}, {0, 200}, {349, 4096}} << 0;
        QTest::newRow("dependent limit settles in the second pass")
            << named << entry("71", "120") + entry("0", "200")
            << RegisterValues{{71, 120}, {0, 200}} << 0;
        QTest::newRow("an address named again: its last value")
            << named << entry("7", "100") + entry("52", "600") + entry("7", "321")
            << RegisterValues{{7, 321}, {52, 600}} << 0;
    }

    void importTable()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, entries);
        QFETCH(RegisterValues, expected);
        QFETCH(int, told);
        const RegisterValues before = rawValues(device.get());
        const int placeholderBefore = p(-1)->getRegisterValue();
        const QString path = writeFile("import.xml", parameterDocument(entries));
        runImport(static_cast<ImportKind>(kind), path);

        // Entries not imported are told in a box, one line each; so is a file
        // without any.
        const QStringList lines =
            (dialogs->errors + dialogs->infos).join('\n').split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), told > 0 || expected.isEmpty() ? told + 1 : 0);
        QVERIFY(lines.isEmpty() || lines.first().contains(QDir::toNativeSeparators(path)));
        RegisterValues after = rawValues(device.get());
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
            QCOMPARE(qMakePair(it.key(), after.value(it.key())), qMakePair(it.key(), it.value()));

        // Nothing else changed, apart from what follows a changed register.
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
            after.remove(it.key());
            for (int dependant : dependants.value(it.key()))
                after.remove(dependant);
        }
        for (auto it = after.constBegin(); it != after.constEnd(); ++it)
            QCOMPARE(qMakePair(it.key(), it.value()), qMakePair(it.key(), before.value(it.key())));
        QCOMPARE(p(-1)->getRegisterValue(), placeholderBefore);
    }

    void reportsSayWhatHappened_data()
    {
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("information");
        QTest::newRow("only commands: named, and nothing imported")
            << entry("481", "2") + entry("509", "61957")
            << "No parameters were imported: no entry of %1 is for a register this import "
               "changes.\n  481 Motor Discovery Mode = 2: a command, which a parameter file never "
               "gives\n  509 Parameter Access Code = 61957: a command, which a parameter file "
               "never gives"
            << QString();
        QTest::newRow("commands left out of a good import: told, no error")
            << entry("7", "300") + entry("508", "1") << QString()
            << "Parameter File Imported|%1 holds commands, which were left out: a parameter "
               "file never commands the controller.\n  508 Fault Clear = 1";
        // Of eight entries one is imported: two that cannot be read, five
        // for addresses the suite has no register for; the firmware
        // revision and a command at rest need no mention.
        QByteArray eight = entry("7", "300") + entry(nullptr, "1") + entry("52", nullptr);
        for (const char* address : {"66017", "9999", "2047", "600", "1"})
            eight += entry(address, "5");
        QTest::newRow("every entry not imported counted and named")
            << eight + entry("256", "5921") + entry("481", "0") << QString()
            << "Parameter File Imported|7 of the 10 entries of %1 could not be imported:\n";
        // Quoted on one line, its start and end kept: the box stays small.
        QTest::newRow("a value of millions of digits quoted cut")
            << entry("7", "300") + entry("70", QByteArray(4000000, '1').append(".5").constData())
            << QString()
            << "Parameter File Imported|1 of the 2 entries of %1 could not be imported:\n  entry "
               "at line 8: Value \""
                + QString(66, '1') + QChar(0x2026) + QString(31, '1')
                + ".5\" is not a whole number";
        // A whole number of any length is one: it names its register.
        QTest::newRow("a whole number of millions of digits quoted cut")
            << entry("7", "300") + entry("70000", QByteArray(4000000, '1').prepend('-').constData())
            << QString()
            << "Parameter File Imported|1 of the 2 entries of %1 could not be imported:\n  70000 = -"
                + QString(65, '1') + QChar(0x2026) + QString(33, '1')
                + ": the suite has no such register";
        QTest::newRow("an address with a line break")
            << entry("7\n  8" + QByteArray(200, ' ') + "x", "1")
            << "No parameters were imported: every entry of %1 was skipped.\n  entry at line 3: "
               "Address \"7   8"
                + QString(61, ' ') + QChar(0x2026) + QString(32, ' ') + "x\" is not a whole number"
            << QString();
    }

    void reportsSayWhatHappened()
    {
        QFETCH(QByteArray, entries);
        QFETCH(QString, error);
        QFETCH(QString, information);
        const QString path = writeFile("report.xml", parameterDocument(entries));
        runImport(NamedImport, path);
        const QString source = QString("XML file \"%1\"").arg(QDir::toNativeSeparators(path));
        QCOMPARE(dialogs->errors, error.isEmpty() ? QStringList() : QStringList{error.arg(source)});
        QCOMPARE(dialogs->infos.size(), information.isEmpty() ? 0 : 1);
        if (information.isEmpty())
            return;
        QVERIFY2(dialogs->infos.first().startsWith(information.arg(source)),
                 qPrintable(dialogs->infos.first()));
        for (const char* named : {"\n  66017 = 5: the suite has no such register", "\n  9999 = 5"})
            QCOMPARE(dialogs->infos.first().contains(named),
                     information.startsWith("Parameter "
                                            "File Imported|7"));
    }

    void controllerTypeAdjustments_data()
    {
        QTest::addColumn<int>("typeId");
        QTest::addColumn<RegisterValues>("file");
        QTest::addColumn<RegisterValues>("stored");
        // Registers 212, 174, 249, 248, 137 and 193: HDQ use and input sources.
        QTest::newRow("Kelvara: HDQ replicates the hall input, sources free")
            << -1
            << RegisterValues{{212, 0x4220}, {174, 0x8}, {249, 2}, {248, 1}, {137, 1}, {193, 0}}
            << RegisterValues{{212, 0x0220}, {174, 0xa}, {249, 0}, {248, 4}, {137, 1}, {193, 0}};
        QTest::newRow("Ostrel V4 Z9: external fault lamp on HDQ, fixed sources")
            << 1 << RegisterValues{{212, 0x0220}, {174, 0xa}, {249, 2}, {248, 0},
                                   {137, 0},      {193, 0},   {7, 123}}
            << RegisterValues{{212, 0x4220}, {174, 0x8}, {249, 1}, {248, 4},
                              {137, 2},      {193, 1},   {7, 123}};
        QTest::newRow("Kelvara V6: replicates hall, fixed sources")
            << 8 << RegisterValues{{212, 0x4000}, {174, 0}, {249, 0}, {248, 3}, {137, 1}, {193, 0}}
            << RegisterValues{{212, 0}, {174, 0x2}, {249, 1}, {248, 4}, {137, 2}, {193, 1}};
    }

    void controllerTypeAdjustments()
    {
        QFETCH(int, typeId);
        QFETCH(RegisterValues, file);
        QFETCH(RegisterValues, stored);
        device->setType(typeId);
        QCOMPARE(device->getControllerType().id, typeId);
        QByteArray entries;
        for (auto it = file.constBegin(); it != file.constEnd(); ++it)
            entries += entry(QByteArray::number(it.key()), QByteArray::number(it.value()));
        translator->importFromXML(writeFile("type.xml", parameterDocument(entries)));
        for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
            QCOMPARE(qMakePair(it.key(), p(it.key())->getRegisterValue()),
                     qMakePair(it.key(), it.value()));
    }

    void longMarkupIsReadInGrowingPieces_data()
    {
        QTest::addColumn<QByteArray>("head");
        const QByteArray root = "<ArrayOfSerializableParameter>\n";
        QTest::newRow("a comment") << root + "<!--";
        QTest::newRow("a CDATA section") << root + "<![CDATA[";
        QTest::newRow("a processing instruction") << root + "<?notes ";
    }

    // The XML reader reads what a piece ends within again from its start:
    // 8 MB of one comment in pieces of the same size throughout would cost
    // it 128 times 4 MB. It is read in a few pieces, as large again each.
    void longMarkupIsReadInGrowingPieces()
    {
        QFETCH(QByteArray, head);
        LargeFile file(head, "notes\n", qint64(8) << 20);
        ParameterFileReader reader;
        QVERIFY(!reader.read(&file));
        QCOMPARE(reader.bytesRead(), file.size());
        QVERIFY2(file.reads() <= 16, qPrintable(QString::number(file.reads())));
        QVERIFY2(reader.errorString().endsWith(": Premature end of document."),
                 qPrintable(reader.errorString()));
    }

    void endlessRunsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("head");
        const QByteArray root = "<ArrayOfSerializableParameter>\n";
        QTest::newRow("a comment") << root + "<!--";
        QTest::newRow("a CDATA section") << root + "<![CDATA[";
        QTest::newRow("the notes of an entry") << root + "<SerializableParameter><Notes>";
    }

    // The reader would hold one run whole, until memory runs out.
    void endlessRunsAreRefused()
    {
        QFETCH(QByteArray, head);
        LargeFile file(head, "notes\n", qint64(4) << 30);
        ParameterFileReader reader;
        QVERIFY(!reader.read(&file));
        QVERIFY(reader.isRefused());
        QCOMPARE(reader.errorString(),
                 QString("line 2: a comment, tag or text runs beyond 16777216 characters"));
        QVERIFY2(reader.bytesRead() <= qint64(64) << 20,
                 qPrintable(QString::number(reader.bytesRead())));
    }

    void malformedFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refusal"); // of a file refused before it is read
        const QByteArray good = parameterDocument(entry("7", "300") + entry("52", "600"));
        QTest::newRow("ends within an entry") << good.left(good.indexOf("<Value>600")) << "";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("not XML") << QByteArray("Address,Value\n7,300\n") << "";
        QTest::newRow("an undeclared entity with a long name")
            << parameterDocument("&" + QByteArray(1000000, 'e') + ";") << "";
        // What would keep the XML reader busy for minutes, in small.
        const QString attributes = "line 3: an element carries more than 32 attributes";
        const QByteArray flood = parameterDocument(entryCarrying(1000, "a"));
        QTest::newRow("an element with 1,000 attributes") << flood << attributes;
        QTest::newRow("the same in UTF-16") << QTextCodec::codecForName("UTF-16")->fromUnicode(
            QString::fromUtf8(flood).replace("UTF-8", "UTF-16"))
                                            << attributes;
        QTest::newRow("33 namespace declarations in force") // the root's and 32
            << parameterDocument(entryCarrying(32, "xmlns:n"))
            << "line 3: an element lies within more than 32 namespace declarations";
        QTest::newRow("a document type declaring an entity")
            << "<?xml version=\"1.0\"?>\n<!DOCTYPE A [<!ENTITY v \"321\">]>\n"
                + parameterDocument(entry("7", "&v;")).mid(39)
            << "line 2: the document type holds declarations of its own";
        const QByteArray body = parameterDocument(entry("7", "321")).mid(38);
        // Named on their own lines, wherever they fall in the pieces read.
        QTest::newRow("a byte not of UTF-8 on line 6")
            << QByteArray(good).replace("ignored", "ign\xf0red")
            << "line 6: Encountered incorrectly encoded content.";
        QTest::newRow("an encoding the suite does not know")
            << QByteArray(good).replace("UTF-8", "x-kelvara-7")
            << "line 1: Encoding x-kelvara-7 is unsupported";
        QTest::newRow("a NUL character on line 6")
            << QByteArray(good).replace("ignored", QByteArray("ign\0red", 7))
            << "line 6: Unexpected ''.";
        const QByteArray many = entry("7", "300").repeated(3000);
        QTest::newRow("a byte not of UTF-8 on line 15,006, past 200 KB")
            << parameterDocument(many + entry("7", "300").replace("ignored", "\xff"))
            << "line 15006: Encountered incorrectly encoded content.";
        QTest::newRow("declared in an encoding it is not written in")
            << "<?xml version=\"1.0\" encoding=\"IBM037\"?>"
                + QTextCodec::codecForName("IBM037")->fromUnicode(QString::fromUtf8(body))
            << "line 1: the file is not written in the encoding it declares (IBM037)";
        QTest::newRow("declared UTF-16, written in UTF-8")
            << QByteArray(good).replace("UTF-8", "UTF-16")
            << "line 1: the file is not written in the encoding it declares (UTF-16)";
        const QString unusualOrder =
            "line 1: the file is in UCS-4 with the unusual byte order %1, which the suite does "
            "not read";
        QTest::newRow("UCS-4 in the byte order 2143")
            << QByteArray("\0\0<\0\0\0?\0\0\0x\0", 12) << unusualOrder.arg(2143);
        QTest::newRow("UCS-4 in the byte order 3412")
            << QByteArray("\0<\0\0\0?\0\0\0x\0\0", 12) << unusualOrder.arg(3412);
        // The toolkit's decoders make a character of each of these units.
        const QByteArray marked =
            entry("7", "300").replace("ignored", "ign@red") + entry("52", "600");
        const QByteArray utf16 = encodedDocument(marked, "UTF-16LE", "UTF-16LE", false, "\n");
        const QByteArray utf32 = encodedDocument(marked, "UTF-32BE", "UTF-32BE", false, "\n");
        const QString badUnit = "line %1: Encountered incorrectly encoded content.";
        QTest::newRow("a surrogate not of a pair in UTF-16 on line 6")
            << QByteArray(utf16).replace(QByteArray("@\0", 2), QByteArray("\0\xdc", 2))
            << badUnit.arg(6);
        QTest::newRow("a UTF-32 unit beyond U+10FFFF on line 6")
            << QByteArray(utf32).replace(QByteArray("\0\0\0@", 4), QByteArray("\0\x11\0\0", 4))
            << badUnit.arg(6);
    }

    void badByteNamesItsLine_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArrayList>("badUnits");
        QTest::newRow("UTF-8") << QByteArray(
            "UTF-8") << QByteArrayList{"\xff", "\x80", "\xc4 ", "\xed\xa0\x80", "\xf0\x9f\x98"};
        // Surrogates not of a pair, and UTF-32 units beyond U+10FFFF (one of
        // which the toolkit would read as U+10000) or holding a surrogate.
        QTest::newRow("UTF-16BE") << QByteArray("UTF-16BE")
                                  << QByteArrayList{QByteArray("\xd8\0", 2), "\xdf\xff\xdb\xff"};
        QTest::newRow("UTF-16LE") << QByteArray("UTF-16LE")
                                  << QByteArrayList{QByteArray("\0\xdc", 2), "\xff\xdf\xff\xdb"};
        QTest::newRow("UTF-32BE") << QByteArray("UTF-32BE")
                                  << QByteArrayList{QByteArray("\0\x11\0\0", 4),
                                                    QByteArray("\0\0\xd8\0\0\0\xdc\0", 8)};
        QTest::newRow("UTF-32LE") << QByteArray("UTF-32LE")
                                  << QByteArrayList{QByteArray("\0\0\x01\x04", 4),
                                                    QByteArray("\0\xdc\0\0", 4)};
    }

    // Wherever a byte or unit not of the encoding falls, in whichever
    // piece, after characters of many bytes and replacement characters the
    // file holds itself, the error names its own line.
    void badByteNamesItsLine()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArrayList, badUnits);
        const QStringList notes = {"ignored", "\ufffd", "\u010d",
                                   QString::fromUcs4(U"\U0001F600\ufffd")};
        QString head = QString::fromUtf8(parameterDocument("")).replace("UTF-8", encoding);
        const QString tail = head.mid(head.indexOf("</"));
        head.chop(tail.size());
        QRandomGenerator random(69);
        for (int round = 0; round < 40; ++round) {
            const int count = 1 + random.bounded(2500);
            const int badEntry = random.bounded(count);
            QString entries;
            int badAt = 0;
            for (int i = 0; i < count; ++i) {
                const QString text = notes.at(random.bounded(notes.size()));
                const QString one = QString::fromUtf8(entry("7", "300")).replace("ignored", text);
                if (i == badEntry)
                    badAt = entries.size() + one.indexOf(text) + random.bounded(text.size() + 1);
                entries += one;
            }
            // Not within a surrogate pair: that would be a fault of its own.
            badAt -= entries.at(badAt).isLowSurrogate() ? 1 : 0;
            QBuffer buffer;
            buffer.setData(encodedText(head + entries.left(badAt), encoding)
                           + badUnits.at(random.bounded(badUnits.size()))
                           + encodedText(entries.mid(badAt) + tail, encoding));
            buffer.open(QIODevice::ReadOnly);
            ParameterFileReader reader;
            QVERIFY(!reader.read(&buffer));
            // Two lines before the entries, five to an entry, its notes the fourth.
            QCOMPARE(reader.errorString(),
                     QString("line %1: Encountered incorrectly encoded content.")
                         .arg(2 + 5 * badEntry + 4));
        }
    }

    void firstElementBoundCountsCharacters_data()
    {
        QTest::addColumn<QString>("filler");
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<int>("rootAt"); // the character of the root's "<"
        const QString emoji = QString::fromUcs4(U"\U0001F600");
        QTest::newRow("the root's < as character 131,072") << "x" << QByteArray("UTF-8") << 131072;
        QTest::newRow("the root's < as character 131,073") << "x" << QByteArray("UTF-8") << 131073;
        QTest::newRow("a comment of emoji, the root at 131,072")
            << emoji << QByteArray("UTF-8") << 131072;
        QTest::newRow("a comment of emoji, the root at 131,073")
            << emoji << QByteArray("UTF-8") << 131073;
        QTest::newRow("the same in UTF-16, the root at 131,072")
            << emoji << QByteArray("UTF-16LE") << 131072;
    }

    // A root whose "<" is within the first 131072 characters is read; a
    // character of two UTF-16 units counts once.
    void firstElementBoundCountsCharacters()
    {
        QFETCH(QString, filler);
        QFETCH(QByteArray, encoding);
        QFETCH(int, rootAt);
        const QString head = "<!--";
        const QString tail = "-->";
        const QString text = head + filler.repeated(rootAt - 1 - head.size() - tail.size()) + tail
            + QString::fromUtf8(parameterDocument(entry("7", "321")).mid(39));
        QBuffer buffer;
        buffer.setData(QTextCodec::codecForName(encoding)->fromUnicode(text));
        buffer.open(QIODevice::ReadOnly);
        ParameterFileReader reader;
        const bool inTime = rootAt <= StartTagBound::maxPrologCharacters;
        QCOMPARE(reader.read(&buffer), inTime);
        QCOMPARE(reader.errorString(),
                 inTime ? QString()
                        : QString("line 1: no element begins within its first 131072 characters"));
        QCOMPARE(reader.entries().size(), inTime ? 1 : 0);
    }

    void encodingsAndLineEnds_data()
    {
        QTest::addColumn<QByteArray>("content");
        // "č" is U+010D: in UTF-16 one of its bytes is a carriage return.
        const QByteArray entries = entry("7", "321").replace("ignored", "Kv č (rpm/V)")
            + entry("52", "600").replace("ignored", "ěščřžýáíé");
        QTest::newRow("UTF-16 LE, byte order mark, CRLF")
            << encodedDocument(entries, "UTF-16", "UTF-16LE", true, "\r\n");
        QTest::newRow("UTF-16 BE, byte order mark, CRLF")
            << encodedDocument(entries, "UTF-16", "UTF-16BE", true, "\r\n");
        QTest::newRow("UTF-16 LE, byte order mark, LF")
            << encodedDocument(entries, "UTF-16", "UTF-16LE", true, "\n");
        QTest::newRow("UTF-16 LE declared, no byte order mark, CRLF")
            << encodedDocument(entries, "UTF-16LE", "UTF-16LE", false, "\r\n");
        QTest::newRow("UTF-32 LE, byte order mark, CRLF")
            << encodedDocument(entries, "UTF-32", "UTF-32LE", true, "\r\n");
        // Declared as the family: the first bytes show the order.
        for (const char* order : {"LE", "BE"}) {
            for (const char* family : {"UTF-16", "UTF-32"}) {
                QTest::addRow("%s %s declared %s, no byte order mark", family, order, family)
                    << encodedDocument(entries, family, QByteArray(family).append(order), false,
                                       "\r\n");
            }
        }
        QTest::newRow("EBCDIC, declared IBM037") // which has no "č"
            << encodedDocument(entry("7", "321") + entry("52", "600"), "IBM037", "IBM037", false,
                               "\n");
        QTest::newRow("UTF-8, byte order mark, CRLF")
            << encodedDocument(entries, "UTF-8", "UTF-8", true, "\r\n");
        QByteArray across = parameterDocument(QByteArray(entries).replace("Kv", "@"));
        const int at = across.indexOf('@'); // "č" across the first two pieces read
        QTest::newRow("UTF-8, a character across two pieces")
            << across.replace(at, 1, QByteArray(64 * 1024 - 2 - at, '-'));
        QTest::newRow("ISO-8859-2, CR only")
            << encodedDocument(entries, "ISO-8859-2", "ISO-8859-2", false, "\r");
    }

    // Every path reads the file's bytes as they are, whatever the encoding
    // and line ends.
    void encodingsAndLineEnds()
    {
        QFETCH(QByteArray, content);
        const QString path = writeFile("encoded.xml", content);
        for (ImportKind kind : {UserImport, AdvancedImport, NamedImport, WebImport}) {
            p(7)->setRegisterValue(300);
            p(52)->setRegisterValue(500);
            runImport(kind, path);
            QCOMPARE(dialogs->errors, QStringList());
            QCOMPARE(p(7)->getRegisterValue(), 321);
            QCOMPARE(p(52)->getRegisterValue(), 600);
        }
    }

    void largeFilesOfAnotherKindAreReadInPart_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("error");
        QTest::newRow("comma-separated values")
            << QByteArray("Address,Value\n") << QByteArray("7,300\n")
            << "line 1: Start tag expected.";
        QTest::newRow("the same in UTF-16")
            << QByteArray("\xff\xfe") << QByteArray("7\0,\0003\0000\0000\0\r\0\n\0", 14)
            << "line 1: Start tag expected.";
        QTest::newRow("bytes not of UTF-8")
            << QByteArray("PK\x03\x04") << QByteArray("\xff\xfe\x80\n")
            << "line 1: Encountered incorrectly encoded content.";
        // Well-formed, of another kind: no entries, as from a small one.
        QTest::newRow("a web page")
            << QByteArray("<html>\n") << QByteArray("<p>a</p>\n") << QString();
        // No element ever begins: the reader would hold what comes whole.
        const QString noElement = "line 1: no element begins within its first 131072 characters";
        QTest::newRow("a comment that never ends")
            << QByteArray("<!--") << QByteArray("notes\n") << noElement;
        QTest::newRow("a declaration that never ends")
            << QByteArray("<?xml ") << QByteArray("    \n") << noElement;
    }

    // However large, a file that is not a parameter file is read no further
    // than a few pieces.
    void largeFilesOfAnotherKindAreReadInPart()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, line);
        QFETCH(QString, error);
        LargeFile file(head, line, qint64(4) << 30);
        ParameterFileReader reader;
        QCOMPARE(reader.read(&file), error.isEmpty());
        QCOMPARE(reader.errorString(), error);
        QVERIFY(reader.entries().isEmpty());
        QVERIFY(!reader.hasParameterRoot());
        QVERIFY2(reader.bytesRead() <= 256 * 1024, qPrintable(QString::number(reader.bytesRead())));
    }

    void malformedFileChangesNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, refusal);
        const RegisterValues before = rawValues(device.get());
        const QString path = writeFile("broken.xml", content);
        for (ImportKind kind : {UserImport, AdvancedImport, NamedImport, WebImport}) {
            dialogs->errors.clear();
            runImport(kind, path);
            QCOMPARE(dialogs->errors.size(), 1);
            const QString error = dialogs->errors.first();
            const QString file =
                kind == WebImport ? "" : "\"" + QDir::toNativeSeparators(path) + "\" ";
            QVERIFY2(error.startsWith("Failed to read XML file " + file + "(line ")
                         && error.endsWith("). No parameters were imported.")
                         && error.size() < 250 + file.size()
                         && (refusal.isEmpty() || error.contains("(" + refusal + ").")),
                     qPrintable(error.left(500)));
            QCOMPARE(rawValues(device.get()), before);
        }
        QCOMPARE(dialogs->level3Asked, 0);

        // Nor does one that cannot be opened.
        for (const QString& path : {dir->filePath("missing.xml"), dir->path()}) {
            dialogs->errors.clear();
            runImport(UserImport, path);
            QCOMPARE(dialogs->errors, QStringList{"Failed to open XML file..."});
        }
    }

    // The name gets its ending (see the golden files); an existing file is
    // replaced whole; a folder that is not there is an error.
    void saveTargets()
    {
        writeFile("existing.xml", QByteArray(100000, 'x'));
        dialogs->exportAnswer = XMLTranslator::ExportMotor;
        dialogs->saveAnswer = dir->filePath("existing.xml");
        translator->exportToXML();
        QCOMPARE(readAll(dir->filePath("existing.xml")), readAll(fixture("xml/export_motor.xml")));
        dialogs->saveAnswer = dir->filePath("nowhere/export.xml");
        translator->exportToXML();
        QCOMPARE(dialogs->errors, QStringList{"Failed to open/create XML file..."});
        QCOMPARE(files(), QStringList{"existing.xml"});
    }

    // A missing Documents folder would be proposed as the file's name.
    void exportStartsInAnExistingFolder()
    {
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(dir->path()));
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        dialogs->exportAnswer = XMLTranslator::ExportMotor;
        translator->exportToXML();
        QVERIFY(QDir(dir->path()).mkdir("Documents"));
        translator->exportToXML();
        qputenv("HOME", home);
        QCOMPARE(dialogs->fileDialogs.size(), 2);
        QCOMPARE(dialogs->fileDialogs.at(0).at(1), dir->path());
        QCOMPARE(dialogs->fileDialogs.at(1).at(1), documents);
    }

    void cancelledOperationsDoNothing()
    {
        QSignalSpy opened(translator.get(), &XMLTranslator::dialogOpened);
        const RegisterValues before = rawValues(device.get());
        dialogs->exportAnswer = XMLTranslatorDialogs::exportCancelled;
        translator->exportToXML();
        dialogs->yesAnswer = false;
        translator->technican_exportToXML();
        translator->advanced_importFromXML();
        QCOMPARE(opened.count(), 0);
        QCOMPARE(dialogs->fileDialogs.size(), 0);
        QCOMPARE(dialogs->questions.size(), 2);
        QCOMPARE(dialogs->questions.at(0).icon, QMessageBox::NoIcon);
        QCOMPARE(dialogs->questions.at(0).title + dialogs->questions.at(0).text,
                 QString("Usage NoteThis feature will export all parameters from the controller "
                         "settings, including protected Level 3 parameters that are not intended "
                         "for typical user modification."));
        QCOMPARE(dialogs->questions.at(1).icon, QMessageBox::Warning);
        QCOMPARE(dialogs->questions.at(1).title + dialogs->questions.at(1).text,
                 QString("Caution!This feature will import all parameters contained in the "
                         "selected XML file, including Level 3 parameters, which are not intended "
                         "for typical user modification."));

        // An empty choice in the file dialog: the pair of signals, nothing else.
        dialogs->yesAnswer = true;
        translator->importFromXML();
        QCOMPARE(opened.count(), 2);
        QVERIFY(opened.at(0).at(0).toBool() && !opened.at(1).at(0).toBool());
        QCOMPARE(dialogs->fileDialogs,
                 QList<QStringList>(
                     {{"XML File to Import", QString(), "XML files (*.xml);;Any files (*.*)"}}));
        QVERIFY(dialogs->errors.isEmpty() && dialogs->level3Asked == 0 && files().isEmpty());
        QCOMPARE(rawValues(device.get()), before);
    }

    void standardBoxes_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("shown");
        const QString exportBox = "Select Export Type|Select the type of parameters for the export."
                                  "|All,Cancel,Controller,Motor|";
        const QString yesBox = "Caution!|text|Cancel,Yes|Cancel";
        const QString level3Box =
            "Caution!|You have imported and changed one or more Level 3 parameters!"
            "|OK,Restore All,Restore Level 3 Only|Restore All";
        QTest::newRow("export Motor") << "export"
                                      << "Motor" << int(XMLTranslator::ExportMotor) << exportBox;
        QTest::newRow("Yes") << "yes"
                             << "Yes" << 1 << yesBox;
        QTest::newRow("closed") << "yes"
                                << "" << 0 << yesBox;
        QTest::newRow("Restore Level 3 Only")
            << "level 3"
            << "Restore Level 3 Only" << int(XMLTranslatorDialogs::RestoreLevel3Only) << level3Box;
        QTest::newRow("error") << "error"
                               << "OK" << 0 << "Error|Failed to open XML file...|OK|OK";
    }

    void standardBoxes()
    {
        QFETCH(QString, question);
        QFETCH(QString, button);
        QFETCH(int, answer);
        QFETCH(QString, shown);
        XMLTranslatorDialogs standard;
        const auto box = answerNextBox(button);
        int given = 0;
        if (question == "export")
            given = standard.exportType();
        else if (question == "yes")
            given = standard.yesOrCancel(QMessageBox::Warning, "Caution!", "text", "more");
        else if (question == "level 3")
            given = standard.level3ImportChoice();
        else
            standard.showError("Failed to open XML file...");
        QCOMPARE(given, answer);
        QCOMPARE(*box, shown);
    }

    void level3Warning_data()
    {
        QTest::addColumn<bool>("afterRead");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<RegisterValues>("expected");
        const QByteArray both = entry("349", "4096") + entry("7", "300");
        const int advanced = AdvancedImport;
        const int restoreAll = XMLTranslatorDialogs::RestoreAll;
        QTest::newRow("level 3 changed, OK keeps")
            << true << advanced << both << int(XMLTranslatorDialogs::KeepImported) << true
            << RegisterValues{{349, 4096}, {7, 300}};
        QTest::newRow("Restore All") << true << advanced << both << restoreAll << true
                                     << RegisterValues{{349, 2048}, {7, 250}};
        QTest::newRow("Restore Level 3 Only")
            << true << advanced << both << int(XMLTranslatorDialogs::RestoreLevel3Only) << true
            << RegisterValues{{349, 2048}, {7, 300}};
        QTest::newRow("level 3 imported at its saved value")
            << true << advanced << entry("349", "2048") + entry("7", "300") << restoreAll << false
            << RegisterValues{{349, 2048}, {7, 300}};
        QTest::newRow("named import does not ask")
            << true << int(NamedImport) << both << restoreAll << false
            << RegisterValues{{349, 4096}, {7, 300}};
        QTest::newRow("before any read nothing is unsaved")
            << false << advanced << both << restoreAll << false
            << RegisterValues{{349, 4096}, {7, 300}};
    }

    void level3Warning()
    {
        QFETCH(bool, afterRead);
        QFETCH(int, kind);
        QFETCH(QByteArray, entries);
        QFETCH(int, answer);
        QFETCH(bool, warned);
        QFETCH(RegisterValues, expected);
        if (afterRead) { // as a complete read: every register settles, the first-read snapshot is taken
            for (int address : device->getAllParameters().keys())
                device->setControllerRamToEdit(address);
            device->setValid(true);
            device->saveFirstReadValues();
        }
        dialogs->level3Answer = static_cast<XMLTranslatorDialogs::Level3Choice>(answer);
        runImport(static_cast<ImportKind>(kind),
                  writeFile("level3.xml", parameterDocument(entries)));

        QCOMPARE(dialogs->level3Asked, warned ? 1 : 0);
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
            QCOMPARE(qMakePair(it.key(), p(it.key())->getRegisterValue()),
                     qMakePair(it.key(), it.value()));
            if (afterRead) // the unsaved marks follow the values
                QCOMPARE(
                    qMakePair(it.key(), device->getUnsavedValues().contains(it.key())),
                    qMakePair(it.key(), device->getSavedValues().value(it.key()) != it.value()));
        }
    }
};

QTEST_MAIN(TestXMLTranslator)
#include "tst_xmltranslator.moc"
