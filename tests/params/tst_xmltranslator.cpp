#include "bitvector.h"
#include "formula.h"
#include "messagecapture.h"
#include "parameterconstants.h"
#include "parameternotes.h"
#include "parameterset.h"
#include "stdoutcapture.h"
#include "xmltranslatortesting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
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

enum ImportKind { UserImport, AdvancedImport, NamedImport };

// What a message box showed; a button as "text|role|tooltip".
struct BoxContent
{
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString informativeText;
    QStringList buttons;
    QString defaultButton;
};

// Once the next message box is up, records what it shows, then clicks the
// button with the given text, or closes the box when none has it.
std::shared_ptr<BoxContent> answerNextBox(const QString& buttonText = QString())
{
    auto content = std::make_shared<BoxContent>();
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, content, buttonText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        *content = {box->windowTitle(),
                    box->icon(),
                    box->text(),
                    box->informativeText(),
                    {},
                    box->defaultButton() ? box->defaultButton()->text().remove('&') : QString()};
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* button : box->buttons()) {
            const QString text = button->text().remove('&');
            content->buttons << text + "|" + QString::number(int(box->buttonRole(button))) + "|"
                    + button->toolTip();
            chosen = text == buttonText ? button : chosen;
        }
        content->buttons.sort();
        chosen ? chosen->click() : void(box->close());
    });
    timer->start(10);
    return content;
}

QString buttonLine(const char* text, QMessageBox::ButtonRole role, const char* toolTip = "")
{
    return QString(text) + "|" + QString::number(int(role)) + "|" + toolTip;
}

// A model over the embedded definitions holding the embedded initial values.
struct Model
{
    Model()
        : translator(&device)
    {
        translator.setDialogs(dialogs);
        translator.importFromXML(":/InitialValues.xml");
    }

    QString exportKind(bool technician, int exportType, const QString& path)
    {
        dialogs->saveAnswer = path;
        dialogs->exportAnswer = exportType;
        technician ? translator.technican_exportToXML() : translator.exportToXML();
        return path;
    }

    Kelvara device;
    XMLTranslator translator;
    FakeDialogs* dialogs = new FakeDialogs; // owned by the translator
};

// Another valid value for a parameter: the next enum key, one bit flipped,
// the middle of its range, or one raw step up.
void changeValue(Parameter* parameter)
{
    if (parameter->getType() == ParameterDefinition::TypeEnum) {
        const QList<int> keys = parameter->getEnumDefs()->keys();
        parameter->setRegisterValue(
            keys.at((keys.indexOf(parameter->getRegisterValue()) + 1) % keys.size()));
    } else if (parameter->getType() == ParameterDefinition::TypeBitVector) {
        auto* bits = static_cast<BitVector*>(parameter);
        bits->toggleBit(bits->getBitDefs()->firstKey());
    } else if (parameter->getMinFormula() && parameter->getMaxFormula()) {
        parameter->setValue(
            (parameter->getMinFormula()->evaluate() + parameter->getMaxFormula()->evaluate()) / 2);
    } else {
        parameter->setRegisterValue(parameter->getRegisterValue() + 1);
        parameter->setValue(parameter->getValue());
    }
}

// Registers whose limits or scale refer to another one, by the referenced one.
const QMap<int, QList<int>> dependants = {{0, {71, 154}}, {71, {154}}};

const QList<std::tuple<QString, bool, int>> exportKinds = {
    {"All", false, XMLTranslator::ExportAll},
    {"Controller", false, XMLTranslator::ExportController},
    {"Motor", false, XMLTranslator::ExportMotor},
    {"technician", true, XMLTranslator::ExportAll}};

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
        else
            translator->importFromXML(path);
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
        // only a controller read sets.
        translator->importFromXML(fixture("xml/fixed_model.xml"));
        QVERIFY2(dialogs->errors.isEmpty(), qPrintable(dialogs->errors.join('\n')));
        p(256)->setRegisterValue(5921);
        p(237)->setRegisterValue(0x0305);
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
        QTest::addColumn<QString>("golden");
        QTest::newRow("All") << false << int(XMLTranslator::ExportAll) << "xml/export_all.xml";
        QTest::newRow("Controller")
            << false << int(XMLTranslator::ExportController) << "xml/export_controller.xml";
        QTest::newRow("Motor") << false << int(XMLTranslator::ExportMotor)
                               << "xml/export_motor.xml";
        QTest::newRow("technician")
            << true << int(XMLTranslator::ExportAll) << "xml/export_technician.xml";
    }

    void exportMatchesGoldenFile()
    {
        QFETCH(bool, technician);
        QFETCH(int, exportType);
        QFETCH(QString, golden);
        QSignalSpy opened(translator.get(), &XMLTranslator::dialogOpened);
        dialogs->saveAnswer = dir->filePath("export");
        dialogs->exportAnswer = exportType;
        technician ? translator->technican_exportToXML() : translator->exportToXML();

        QVERIFY(dialogs->errors.isEmpty());
        QCOMPARE(opened.count(), 2);
        QVERIFY(opened.at(0).at(0).toBool() && !opened.at(1).at(0).toBool());
        QCOMPARE(dialogs->fileDialogs.size(), 1);
        QCOMPARE(dialogs->fileDialogs.first().at(0), QString("Export to XML File"));
        QCOMPARE(dialogs->fileDialogs.first().at(2), QString("XML files (*.xml);;Any files (*.*)"));
        QCOMPARE(QString::fromUtf8(readAll(dir->filePath("export.xml"))),
                 QString::fromUtf8(readAll(fixture(golden))));
    }

    // The Notes texts the golden files do not show already.
    void notes_data()
    {
        QTest::addColumn<QByteArray>("members");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("notes");
        QTest::newRow("level 3 by default")
            << QByteArray("\"units\": \"per unit\", \"scale\": 4096") << 1024
            << "Name: 0.25 per unit (scale = 4096) Level 3";
        QTest::newRow("six significant digits")
            << QByteArray("\"scale\": \"3\", \"decimals\": 8, \"accessLevel\": 0") << 1
            << "Name: 0.333333 (scale = 3)";
        QTest::newRow("general format exponent")
            << QByteArray("\"scale\": \"0.01\", \"decimals\": 0, \"accessLevel\": 0") << 12345
            << "Name: 1.2345e+06 (scale = 0.01)";
        QTest::newRow("enum with units and level") << QByteArray(
            "\"type\": \"enum\", \"units\": \"Hz\", \"enumDefs\": {\"50\": \"Fifty\"}, \"accessLevel\": 3")
                                                   << 50 << "Name: 50[Fifty Hz] Level 3";
        QTest::newRow("enum text empty")
            << QByteArray("\"type\": \"enum\", \"enumDefs\": {\"1\": \"\"}, \"accessLevel\": 0")
            << 1 << "Name: 1[not defined]";
        QString bits = "Name:  Level 2";
        for (int bit = 0; bit < 16; ++bit) {
            const QString label = bit == 0 ? "First"
                : bit == 10                ? "Tenth"
                : bit == 15                ? "Last"
                                           : "";
            bits += QString("\n\t\t\t%1%2- %3 [%4]")
                        .arg(bit)
                        .arg(bit < 10 ? "  " : " ")
                        .arg((0x8401 >> bit) & 1)
                        .arg(label);
        }
        QTest::newRow("bit vector with level") << QByteArray(
            "\"type\": \"bit vector\", \"units\": \"x\", \"accessLevel\": 2, \"bitDefs\": "
            "{\"0\": \"First\", \"10\": \"Tenth\", \"15\": \"Last\"}")
                                               << 0x8401 << bits + "\n\t\t";
    }

    void notes()
    {
        QFETCH(QByteArray, members);
        QFETCH(int, raw);
        QFETCH(QString, notes);
        ParameterSet set(definitionFile({registerEntry(2, "Name", members)}));
        QVERIFY(set.formulasParsed());
        set[2]->setRegisterValue(raw);
        QCOMPARE(parameterNotes(set[2]), notes);
    }

    void importTable_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<RegisterValues>("expected");
        QTest::addColumn<int>("warnings");
        const int named = NamedImport;
        QTest::newRow("level 3 left out by the user import")
            << int(UserImport) << entry("349", "4096") + entry("7", "300")
            << RegisterValues{{349, 2048}, {7, 300}} << 0;
        QTest::newRow("level 3 taken by the advanced import")
            << int(AdvancedImport) << entry("349", "4096") + entry("7", "300")
            << RegisterValues{{349, 4096}, {7, 300}} << 0;
        QTest::newRow("level 3 taken by the named import")
            << named << entry("350", "1234") << RegisterValues{{350, 1234}} << 0;
        // Each entry stands on its own; the rest of the file still applies.
        QTest::newRow("missing Value")
            << named << entry("7", "300") + entry("52", nullptr) + entry("0", "200")
            << RegisterValues{{7, 300}, {52, 500}, {0, 200}} << 1;
        QTest::newRow("Value without its own Address")
            << named << entry("7", "300") + entry(nullptr, "55") << RegisterValues{{7, 300}} << 1;
        QTest::newRow("Address not a number") << named << entry("seven", "77") + entry("52", "600")
                                              << RegisterValues{{0, 130}, {52, 600}} << 1;
        QTest::newRow("Address with trailing text")
            << named << entry("7x", "77") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("empty Address") << named << entry("", "77") << RegisterValues{{0, 130}} << 1;
        QTest::newRow("Value not a whole number")
            << named << entry("7", "12.5") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("Value not a number")
            << named << entry("7", "lots") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("empty Value") << named << entry("7", "") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("blanks around numbers")
            << named << entry(" 7 ", "\n 300 \n") << RegisterValues{{7, 300}} << 0;
        QTest::newRow("Value before Address")
            << named
            << QByteArray(
                   "<SerializableParameter><Value>300</Value><Address>7</Address></SerializableParameter>\n")
            << RegisterValues{{7, 300}} << 0;
        QTest::newRow("address without a parameter")
            << named << entry("9999", "5") + entry("7", "300") << RegisterValues{{7, 300}} << 0;
        QTest::newRow("no register it can import") // told like a file without entries
            << int(UserImport) << entry("9999", "5") + entry("511", "1") + entry("349", "1")
            << RegisterValues{} << 0;
        QTest::newRow("elements outside an entry")
            << named << QByteArray("<Address>7</Address><Value>5</Value>\n") << RegisterValues{}
            << 0;
        // Values pass through both conversions, as an edit does.
        QTest::newRow("clamped to the maximum")
            << named << entry("7", "20000") << RegisterValues{{7, 9999}} << 0;
        QTest::newRow("clamped to the register")
            << named << entry("52", "70000") << RegisterValues{{52, 9999}} << 0;
        QTest::newRow("signed negative")
            << named << entry("120", "-500") << RegisterValues{{120, -500}} << 0;
        QTest::newRow("below a signed minimum")
            << named << entry("120", "-30000") << RegisterValues{{120, -1000}} << 0;
        QTest::newRow("onto the display grid")
            << named << entry("154", "1000") << RegisterValues{{154, 1001}} << 0;
        // The limit of 71 (96 now) follows register 0, listed after it: the
        // second pass applies 71 against the file's value of 0.
        QTest::newRow("dependent limit settles in the second pass")
            << named << entry("71", "120") + entry("0", "200")
            << RegisterValues{{71, 120}, {0, 200}} << 0;
        QTest::newRow("dependent limit lowered") << named << entry("71", "60") + entry("0", "100")
                                                 << RegisterValues{{71, 60}, {0, 100}} << 0;
    }

    void importTable()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, entries);
        QFETCH(RegisterValues, expected);
        QFETCH(int, warnings);
        const RegisterValues before = rawValues(device.get());
        const int placeholderBefore = p(-1)->getRegisterValue();
        const QString path = writeFile("import.xml", parameterDocument(entries));
        runImport(static_cast<ImportKind>(kind), path);

        // Skipped entries are told in a box, one line each; so is a file without any.
        const QStringList lines = dialogs->errors.join('\n').split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), warnings > 0 || expected.isEmpty() ? warnings + 1 : 0);
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

    void controllerTypeAdjustments_data()
    {
        QTest::addColumn<int>("typeId");
        QTest::addColumn<RegisterValues>("file");
        QTest::addColumn<RegisterValues>("stored");
        // Registers 212, 174, 249, 248, 137 and 193: HDQ use and input sources.
        QTest::newRow("generic: the file's values")
            << 0 << RegisterValues{{212, 0x4220}, {174, 0xa}, {249, 2}, {248, 1}}
            << RegisterValues{{212, 0x4220}, {174, 0xa}, {249, 2}, {248, 1}};
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
        QTest::newRow("Ostrel: no fixed sources")
            << -2 << RegisterValues{{249, 1}, {193, 0}} << RegisterValues{{249, 0}, {193, 0}};
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

    void malformedFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        const QByteArray good = parameterDocument(entry("7", "300") + entry("52", "600"));
        QTest::newRow("ends within an entry") << good.left(good.indexOf("<Value>600"));
        QTest::newRow("ends before the root closes")
            << good.left(good.indexOf("</ArrayOfSerializableParameter>"));
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("not XML") << QByteArray("Address,Value\n7,300\n");
        QTest::newRow("mismatched tags") << parameterDocument(
            entry("7", "300")
            + "<SerializableParameter><Address>52</Value></SerializableParameter>\n");
        QTest::newRow("element inside a Value")
            << parameterDocument(entry("7", "300") + entry("52", "<b>600</b>"));
        QTest::newRow("entry inside an entry") << parameterDocument(
            "<SerializableParameter>" + entry("7", "300") + "</SerializableParameter>\n");
        QTest::newRow("text after the root") << good + "<more/>";
    }

    void malformedFileChangesNothing()
    {
        QFETCH(QByteArray, content);
        const RegisterValues before = rawValues(device.get());
        const QString path = writeFile("broken.xml", content);
        for (ImportKind kind : {UserImport, AdvancedImport, NamedImport}) {
            dialogs->errors.clear();
            runImport(kind, path);
            QCOMPARE(dialogs->errors.size(), 1);
            const QString error = dialogs->errors.first();
            QVERIFY2(error.startsWith("Failed to read XML file \"" + QDir::toNativeSeparators(path)
                                      + "\" (line ")
                         && error.endsWith("). No parameters were imported."),
                     qPrintable(error));
            QCOMPARE(rawValues(device.get()), before);
        }
        QCOMPARE(dialogs->level3Asked, 0);

        // Neither does one that cannot be opened, or a refused file from memory.
        for (ImportKind kind : {UserImport, AdvancedImport, NamedImport}) {
            for (const QString& path : {dir->filePath("missing.xml"), dir->path()}) {
                dialogs->errors.clear();
                runImport(kind, path);
                QCOMPARE(dialogs->errors, QStringList{"Failed to open XML file..."});
            }
        }
        dialogs->errors.clear();
        translator->importXmlFromWeb(content);
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY2(dialogs->errors.first().startsWith("Failed to read XML file (line "),
                 qPrintable(dialogs->errors.first()));
        QCOMPARE(rawValues(device.get()), before);
    }

    void importFromMemory()
    {
        translator->importXmlFromWeb(
            parameterDocument(entry("71", "120") + entry("0", "200") + entry("349", "4096")));
        QCOMPARE(p(71)->getRegisterValue(), 120);
        QCOMPARE(p(349)->getRegisterValue(), 4096);
        QVERIFY(dialogs->errors.isEmpty());
    }

    void saveTargets_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written"); // empty when the save fails
        QTest::newRow("no ending") << "motor"
                                   << "motor.xml";
        QTest::newRow("ending present") << "motor.xml"
                                        << "motor.xml";
        QTest::newRow("upper-case ending") << "motor.XML"
                                           << "motor.XML.xml";
        QTest::newRow("other ending") << "motor.txt"
                                      << "motor.txt.xml";
        QTest::newRow("ending inside the name") << "motor.xml.old"
                                                << "motor.xml.old.xml";
        QTest::newRow("existing file replaced whole") << "existing.xml"
                                                      << "existing.xml";
        QTest::newRow("folder of the name is a file") << "plain/export.xml"
                                                      << "";
        QTest::newRow("name is a folder") << "folder.xml"
                                          << "";
        QTest::newRow("folder does not exist") << "nowhere/export.xml"
                                               << "";
    }

    void saveTargets()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        writeFile("plain", "not a folder");
        writeFile("existing.xml", QByteArray(100000, 'x'));
        QVERIFY(QDir(dir->path()).mkdir("folder.xml"));
        QStringList expectedFiles = files();
        dialogs->saveAnswer = dir->filePath(chosen);
        dialogs->exportAnswer = XMLTranslator::ExportMotor;
        translator->exportToXML();

        QCOMPARE(dialogs->errors,
                 written.isEmpty() ? QStringList{"Failed to open/create XML file..."}
                                   : QStringList());
        if (!written.isEmpty() && !expectedFiles.contains(written))
            expectedFiles = QStringList(expectedFiles) << written;
        expectedFiles.sort();
        QCOMPARE(files(), expectedFiles);
        QCOMPARE(readAll(dir->filePath("plain")), QByteArray("not a folder"));
        if (!written.isEmpty())
            QCOMPARE(readAll(dir->filePath(written)), readAll(fixture("xml/export_motor.xml")));
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

        // An empty choice in the file dialog: the pair of signals, nothing else.
        dialogs->yesAnswer = true;
        dialogs->exportAnswer = XMLTranslator::ExportAll;
        translator->exportToXML();
        translator->technican_exportToXML();
        translator->importFromXML();
        translator->advanced_importFromXML();
        QCOMPARE(opened.count(), 8);
        for (int i = 0; i < opened.count(); ++i)
            QCOMPARE(opened.at(i).at(0).toBool(), i % 2 == 0);
        QCOMPARE(
            dialogs->fileDialogs.at(2),
            (QStringList{"XML File to Import", QString(), "XML files (*.xml);;Any files (*.*)"}));
        QCOMPARE(dialogs->fileDialogs.at(3), dialogs->fileDialogs.at(2));
        QVERIFY(dialogs->errors.isEmpty() && dialogs->level3Asked == 0 && files().isEmpty());
        QCOMPARE(rawValues(device.get()), before);
    }

    void questionsBeforeImportAndExport()
    {
        dialogs->yesAnswer = false;
        translator->advanced_importFromXML();
        translator->technican_exportToXML();
        QCOMPARE(dialogs->questions.size(), 2);
        const FakeDialogs::Question advanced = dialogs->questions.at(0);
        QCOMPARE(advanced.icon, QMessageBox::Warning);
        QCOMPARE(advanced.title, QString("Caution!"));
        QCOMPARE(
            advanced.text,
            QString("This feature will import all parameters contained in the selected XML file, "
                    "including Level 3 parameters, which are not intended for typical user "
                    "modification."));
        QCOMPARE(
            advanced.informativeText,
            QString(
                "If the target file has Level 3 parameters, those will be included with this import. Use "
                "caution when modifying Level 3 parameters, as you run the risk of producing unexpected "
                "behaviour, or permanently damaging or bricking your device. Tamsett Technologies may have "
                "sent you this file in order to help with troubleshooting your controller. Do you agree with "
                "the above warning, and wish to proceed?"));
        const FakeDialogs::Question technician = dialogs->questions.at(1);
        QCOMPARE(technician.icon, QMessageBox::NoIcon);
        QCOMPARE(technician.title, QString("Usage Note"));
        QCOMPARE(technician.text,
                 QString("This feature will export all parameters from the controller settings, "
                         "including protected Level 3 parameters that are not intended for typical "
                         "user modification."));
        QCOMPARE(technician.informativeText,
                 QString("This exported file can be useful for more advanced controller "
                         "troubleshooting needs under the guidance of Tamsett Technologies."));
    }

    void standardBoxesShowTheirTexts()
    {
        XMLTranslatorDialogs standard;
        std::shared_ptr<BoxContent> box = answerNextBox();
        standard.exportType();
        QCOMPARE(box->title, QString("Select Export Type"));
        QCOMPARE(box->icon, QMessageBox::NoIcon);
        QCOMPARE(box->text, QString("Select the type of parameters for the export."));
        for (const char* label :
             {"<b>Motor</b>", "<b>Controller&nbsp;&nbsp;&nbsp;</b>", "<b>All</b>",
              "Export all controller settings apart from the motor tuning."})
            QVERIFY2(box->informativeText.contains(label), label);
        QCOMPARE(
            box->buttons,
            (QStringList{
                buttonLine("All", QMessageBox::YesRole, "Export all parameters."),
                buttonLine("Cancel", QMessageBox::RejectRole),
                buttonLine("Controller", QMessageBox::YesRole,
                           "Export only parameters that are unrelated to which particular motor is "
                           "being used."),
                buttonLine(
                    "Motor", QMessageBox::YesRole,
                    "Export only parameters that are specific to this particular motor setup.")}));

        box = answerNextBox();
        standard.yesOrCancel(QMessageBox::Warning, "Caution!", "text", "more");
        QVERIFY(box->title == "Caution!" && box->icon == QMessageBox::Warning && box->text == "text"
                && box->informativeText == "more");
        QCOMPARE(box->buttons,
                 (QStringList{buttonLine("Cancel", QMessageBox::RejectRole),
                              buttonLine("Yes", QMessageBox::YesRole)}));
        QCOMPARE(box->defaultButton, QString("Cancel"));

        box = answerNextBox();
        standard.level3ImportChoice();
        QCOMPARE(box->title, QString("Caution!"));
        QCOMPARE(box->icon, QMessageBox::Warning);
        QCOMPARE(box->text,
                 QString("You have imported and changed one or more Level 3 parameters!"));
        QCOMPARE(
            box->informativeText,
            QString(
                "Level 3 parameters alter calibration constants and safety limits that are not meant to be "
                "altered by the typical user. If this file came from Tamsett Technologies, or your are "
                "confident that you know what you are doing, proceed. Otherwise, please use caution, as "
                "Level 3 parameters have the potential to produce unexpected behaviour or permanently damage "
                "your device.\n\nIf you wish to revert the changes made by importing, click one of the "
                "restore buttons.\n\nIf you want to use the imported Level 3 parameters, click OK.Be sure to "
                "check that Level 3 access is enabled before saving these imported parameters to the "
                "controller."));
        QCOMPARE(box->buttons,
                 (QStringList{buttonLine("OK", QMessageBox::AcceptRole),
                              buttonLine("Restore All", QMessageBox::ResetRole),
                              buttonLine("Restore Level 3 Only", QMessageBox::ResetRole)}));
        QCOMPARE(box->defaultButton, QString("Restore All"));

        box = answerNextBox();
        standard.showError("Failed to open XML file...");
        QVERIFY(box->title == "Error" && box->icon == QMessageBox::Critical
                && box->text == "Failed to open XML file...");
    }

    void standardDialogsAnswerByButton_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("export All") << "export"
                                    << "All" << int(XMLTranslator::ExportAll);
        QTest::newRow("export Controller") << "export"
                                           << "Controller" << int(XMLTranslator::ExportController);
        QTest::newRow("export Motor") << "export"
                                      << "Motor" << int(XMLTranslator::ExportMotor);
        QTest::newRow("export Cancel") << "export"
                                       << "Cancel" << int(XMLTranslatorDialogs::exportCancelled);
        QTest::newRow("export closed") << "export"
                                       << "" << int(XMLTranslatorDialogs::exportCancelled);
        QTest::newRow("Yes") << "yes"
                             << "Yes" << 1;
        QTest::newRow("Cancel") << "yes"
                                << "Cancel" << 0;
        QTest::newRow("closed") << "yes"
                                << "" << 0;
        QTest::newRow("Restore All") << "level 3"
                                     << "Restore All" << int(XMLTranslatorDialogs::RestoreAll);
        QTest::newRow("Restore Level 3 Only")
            << "level 3"
            << "Restore Level 3 Only" << int(XMLTranslatorDialogs::RestoreLevel3Only);
        QTest::newRow("OK") << "level 3"
                            << "OK" << int(XMLTranslatorDialogs::KeepImported);
        QTest::newRow("level 3 closed") << "level 3"
                                        << "" << int(XMLTranslatorDialogs::KeepImported);
    }

    void standardDialogsAnswerByButton()
    {
        QFETCH(QString, question);
        QFETCH(QString, button);
        QFETCH(int, answer);
        XMLTranslatorDialogs standard;
        answerNextBox(button);
        if (question == "export")
            QCOMPARE(standard.exportType(), answer);
        else if (question == "yes")
            QCOMPARE(int(standard.yesOrCancel(QMessageBox::Warning, "Caution!", "text", "more")),
                     answer);
        else
            QCOMPARE(int(standard.level3ImportChoice()), answer);
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
        QTest::newRow("only level 0 changed") << true << advanced << entry("7", "300") << restoreAll
                                              << false << RegisterValues{{7, 300}};
        QTest::newRow("level 3 imported at its saved value")
            << true << advanced << entry("349", "2048") + entry("7", "300") << restoreAll << false
            << RegisterValues{{349, 2048}, {7, 300}};
        QTest::newRow("user import leaves level 3 alone")
            << true << int(UserImport) << both << restoreAll << false
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
                device->setMatchesSaved(address);
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

    // Over the embedded definitions and initial values from here on.
    void everyKindRoundTrips_data()
    {
        QTest::addColumn<int>("kind");
        for (int kind = 0; kind < exportKinds.size(); ++kind)
            QTest::newRow(qPrintable(std::get<0>(exportKinds.at(kind)))) << kind;
    }

    void everyKindRoundTrips()
    {
        QFETCH(int, kind);
        const bool technician = std::get<1>(exportKinds.at(kind));
        const int exportType = std::get<2>(exportKinds.at(kind));
        MessageCapture log;
        StdoutCapture out;
        Model source;
        Model target;

        // What each kind holds of the embedded set, in ascending order. (The
        // selection rules are on the golden files; these are the embedded lists.)
        const auto firstEntries =
            fileEntries(source.exportKind(technician, exportType, dir->filePath("first.xml")));
        QList<int> addresses;
        for (const auto& exported : firstEntries) {
            QVERIFY(addresses.isEmpty() || exported.first > addresses.last());
            QCOMPARE(exported.second,
                     source.device.getParameter(exported.first)->getRegisterValue());
            addresses << exported.first;
        }
        for (int address :
             {67, 237, 238, 508, 509, 510, 511, 1881, 2016, 2017, 2018, 2023, 2024, 2026})
            QVERIFY2(!addresses.contains(address), qPrintable(QString::number(address)));
        if (exportType == XMLTranslator::ExportMotor)
            QCOMPARE(addresses,
                     (QList<int>{7,  8,  12, 13, 51, 52, 53,  54,  55,  71,  72,  73,  74,  75,
                                 77, 78, 79, 80, 81, 82, 83,  84,  85,  86,  87,  90,  91,  92,
                                 93, 94, 95, 96, 97, 98, 106, 107, 108, 109, 110, 127, 154, 231}));
        if (exportType == XMLTranslator::ExportController) {
            for (int address : addresses)
                QVERIFY(address <= 256 && !motorParameterAddresses.contains(address));
        }
        // The embedded set has level-3 registers: only the technician's file holds them.
        QCOMPARE(std::any_of(addresses.cbegin(), addresses.cend(),
                             [&](int a) { return source.device.getParameter(a)->getLevel() == 3; }),
                 technician);

        // Change every register of this kind, so the import has work to do.
        for (int address : addresses) {
            if (address != 256)
                changeValue(source.device.getParameter(address));
        }
        const RegisterValues changed = rawValues(&source.device);
        QVERIFY(changed != rawValues(&target.device));
        const QString path = source.exportKind(technician, exportType, dir->filePath("second.xml"));
        QCOMPARE(fileEntries(path).size(), firstEntries.size());

        source.translator.importFromXML(path); // back into the same model: nothing moves
        QCOMPARE(rawValues(&source.device), changed);
        target.translator.importFromXML(
            path); // into a model of initial values: it becomes the same
        QCOMPARE(rawValues(&target.device), changed);
        QCOMPARE(out.finish(), QString());
        QCOMPARE(log.messages(), QStringList());
        QVERIFY(source.dialogs->errors.isEmpty() && target.dialogs->errors.isEmpty());
    }

    void identityAndCommandRegistersAreNeverImported()
    {
        Model model;
        const QList<int> protectedAddresses = {511,  67,   256,  237,  238,  1881,
                                               2016, 2023, 2017, 2024, 2018, 2025};
        QByteArray entries = entry("7", "321");
        for (int address : protectedAddresses) {
            QVERIFY2(model.device.getParameter(address) != model.device.getParameter(-1),
                     qPrintable(QString::number(address)));
            entries += entry(QByteArray::number(address), "4660");
        }
        const RegisterValues before = rawValues(&model.device);
        model.translator.importFromXML(writeFile("protected.xml", parameterDocument(entries)));
        QCOMPARE(model.device.getParameter(7)->getRegisterValue(), 321);
        for (int address : protectedAddresses)
            QCOMPARE(qMakePair(address, model.device.getParameter(address)->getRegisterValue()),
                     qMakePair(address, before.value(address)));
    }
};

QTEST_MAIN(TestXMLTranslator)
#include "tst_xmltranslator.moc"
