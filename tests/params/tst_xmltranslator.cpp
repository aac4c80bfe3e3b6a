#include "bitvector.h"
#include "controllertype.h"
#include "kelvara.h"
#include "parameter.h"
#include "xmltranslator.h"
#include "xmltranslatordialogs.h"
#include "xmltranslatortesting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
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

enum ImportKind { UserImport, AdvancedImport, NamedImport };

// Once the next message box is up, clicks its button with the given text,
// or closes it when the text is empty.
void answerNextBox(const QString& buttonText)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, buttonText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        if (buttonText.isEmpty()) {
            box->close();
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove('&') == buttonText)
                button->click();
        }
    });
    timer->start(10);
}

// What a message box showed: one line per button, "text|role|tooltip".
struct BoxContent
{
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString informativeText;
    QStringList buttons;
    QString defaultButton;
};

// Once the next message box is up, records what it shows and closes it.
std::shared_ptr<BoxContent> inspectNextBox()
{
    auto content = std::make_shared<BoxContent>();
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, content] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        content->title = box->windowTitle();
        content->icon = box->icon();
        content->text = box->text();
        content->informativeText = box->informativeText();
        for (QAbstractButton* button : box->buttons()) {
            content->buttons << button->text().remove('&') + "|"
                    + QString::number(int(box->buttonRole(button))) + "|" + button->toolTip();
        }
        content->buttons.sort();
        if (box->defaultButton())
            content->defaultButton = box->defaultButton()->text().remove('&');
        box->close();
    });
    timer->start(10);
    return content;
}

QString buttonLine(const char* text, QMessageBox::ButtonRole role, const char* toolTip = "")
{
    return QString(text) + "|" + QString::number(int(role)) + "|" + toolTip;
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
        const QString path = dir->filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    void runImport(ImportKind kind, const QString& path)
    {
        switch (kind) {
        case UserImport:
            dialogs->openAnswer = path;
            translator->importFromXML();
            break;
        case AdvancedImport:
            dialogs->openAnswer = path;
            dialogs->yesAnswer = true;
            translator->advanced_importFromXML();
            break;
        case NamedImport:
            translator->importFromXML(path);
            break;
        }
    }

    // What a complete read does: every register settles as the controller's,
    // the model becomes valid and takes its first-read snapshot.
    void settleAsRead()
    {
        const QMap<int, Parameter*> parameters = device->getAllParameters();
        for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
            device->setMatchesSaved(it.key());
        device->setValid(true);
        device->saveFirstReadValues();
    }

private slots:
    void init()
    {
        device.reset(new Kelvara(nullptr, fixture("xml/definitions.json"),
                                 fixture("bod_v6_fixture.json")));
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
        QTest::newRow("Controller") << false << int(XMLTranslator::ExportController) << "xml/export_controller.xml";
        QTest::newRow("Motor") << false << int(XMLTranslator::ExportMotor) << "xml/export_motor.xml";
        QTest::newRow("technician") << true << int(XMLTranslator::ExportAll) << "xml/export_technician.xml";
    }

    void exportMatchesGoldenFile()
    {
        QFETCH(bool, technician);
        QFETCH(int, exportType);
        QFETCH(QString, golden);

        QSignalSpy opened(translator.get(), &XMLTranslator::dialogOpened);
        dialogs->saveAnswer = dir->filePath("export");
        if (technician) {
            translator->technican_exportToXML();
        } else {
            dialogs->exportAnswer = exportType;
            translator->exportToXML();
        }

        QVERIFY(dialogs->errors.isEmpty());
        QCOMPARE(opened.count(), 2);
        QCOMPARE(opened.at(0).at(0).toBool(), true);
        QCOMPARE(opened.at(1).at(0).toBool(), false);
        QCOMPARE(dialogs->fileDialogs.size(), 1);
        QCOMPARE(dialogs->fileDialogs.first().at(0), QString("Export to XML File"));
        QCOMPARE(dialogs->fileDialogs.first().at(2), QString("XML files (*.xml);;Any files (*.*)"));

        const QByteArray written = readAll(dir->filePath("export.xml"));
        if (qEnvironmentVariableIsSet("KELVARA_UPDATE_GOLDEN")) {
            QFile out(fixture(golden));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(written);
        }
        QCOMPARE(QString::fromUtf8(written), QString::fromUtf8(readAll(fixture(golden))));
    }

    void importTable_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("entries");
        QTest::addColumn<RegisterValues>("expected");
        QTest::addColumn<int>("warnings");

        QTest::newRow("level 3 left out by the user import")
            << int(UserImport) << entry("349", "4096") + entry("7", "300")
            << RegisterValues{{349, 2048}, {7, 300}} << 0;
        QTest::newRow("level 3 taken by the advanced import")
            << int(AdvancedImport) << entry("349", "4096") + entry("7", "300")
            << RegisterValues{{349, 4096}, {7, 300}} << 0;
        QTest::newRow("level 3 taken by the named import")
            << int(NamedImport) << entry("350", "1234") << RegisterValues{{350, 1234}} << 0;

        // Each entry stands on its own; the rest of the file still applies.
        QTest::newRow("missing Value")
            << int(NamedImport) << entry("7", "300") + entry("52", nullptr) + entry("0", "200")
            << RegisterValues{{7, 300}, {52, 500}, {0, 200}} << 1;
        QTest::newRow("Value without its own Address")
            << int(NamedImport) << entry("7", "300") + entry(nullptr, "55")
            << RegisterValues{{7, 300}} << 1;
        QTest::newRow("Address not a number")
            << int(NamedImport) << entry("seven", "77") + entry("52", "600")
            << RegisterValues{{0, 130}, {52, 600}} << 1;
        QTest::newRow("Address with trailing text")
            << int(NamedImport) << entry("7x", "77") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("empty Address") << int(NamedImport) << entry("", "77") << RegisterValues{{0, 130}} << 1;
        QTest::newRow("Value not a whole number")
            << int(NamedImport) << entry("7", "12.5") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("Value not a number")
            << int(NamedImport) << entry("7", "lots") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("empty Value") << int(NamedImport) << entry("7", "") << RegisterValues{{7, 250}} << 1;
        QTest::newRow("blanks around numbers")
            << int(NamedImport) << entry(" 7 ", "\n 300 \n") << RegisterValues{{7, 300}} << 0;
        QTest::newRow("Value before Address")
            << int(NamedImport)
            << QByteArray("<SerializableParameter><Value>300</Value><Address>7</Address></SerializableParameter>\n")
            << RegisterValues{{7, 300}} << 0;
        QTest::newRow("address without a parameter")
            << int(NamedImport) << entry("9999", "5") + entry("7", "300") << RegisterValues{{7, 300}} << 0;
        QTest::newRow("no register it can import") // told like a file without entries
            << int(UserImport) << entry("9999", "5") + entry("511", "1") + entry("349", "1") << RegisterValues{} << 0;
        QTest::newRow("elements outside an entry")
            << int(NamedImport) << QByteArray("<Address>7</Address><Value>5</Value>\n") << RegisterValues{} << 0;

        // Values pass through both conversions, as an edit does.
        QTest::newRow("clamped to the maximum") << int(NamedImport) << entry("7", "20000") << RegisterValues{{7, 9999}} << 0;
        QTest::newRow("clamped to the register")
            << int(NamedImport) << entry("52", "70000") << RegisterValues{{52, 9999}} << 0;
        QTest::newRow("signed negative") << int(NamedImport) << entry("120", "-500") << RegisterValues{{120, -500}} << 0;
        QTest::newRow("below a signed minimum")
            << int(NamedImport) << entry("120", "-30000") << RegisterValues{{120, -1000}} << 0;
        QTest::newRow("onto the display grid")
            << int(NamedImport) << entry("154", "1000") << RegisterValues{{154, 1001}} << 0;

        // The limit of 71 follows register 0, listed after it: the second
        // pass applies 71 against the file's value of 0.
        QTest::newRow("dependent limit settles in the second pass")
            << int(NamedImport) << entry("71", "120") + entry("0", "200")
            << RegisterValues{{71, 120}, {0, 200}} << 0;
        QTest::newRow("dependent limit lowered")
            << int(NamedImport) << entry("71", "60") + entry("0", "100")
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

    void twoPassesAreNeeded()
    {
        // One pass over the same file would leave 71 at its old maximum.
        const QString path = writeFile("two.xml", parameterDocument(entry("71", "120") + entry("0", "200")));
        p(71)->setValue(120);
        QCOMPARE(p(71)->getRegisterValue(), 96); // 0.75 x 130 - 1
        translator->importFromXML(path);
        QCOMPARE(p(71)->getRegisterValue(), 120);
    }

    void controllerTypeAdjustments_data()
    {
        QTest::addColumn<int>("typeId");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("fileValue");
        QTest::addColumn<int>("stored");

        // Generic controller: the file's values.
        QTest::newRow("generic 212") << 0 << 212 << 0x4220 << 0x4220;
        QTest::newRow("generic 174") << 0 << 174 << 0x000a << 0x000a;
        QTest::newRow("generic 249") << 0 << 249 << 2 << 2;
        QTest::newRow("generic 248") << 0 << 248 << 1 << 1;
        QTest::newRow("generic 137") << 0 << 137 << 0 << 0;
        QTest::newRow("generic 193") << 0 << 193 << 0 << 0;
        // "Kelvara" (id -1): HDQ replicates the hall input, sources free.
        QTest::newRow("Kelvara 212 clears bit 14") << -1 << 212 << 0x4220 << 0x0220;
        QTest::newRow("Kelvara 174 sets bit 1") << -1 << 174 << 0x0008 << 0x000a;
        QTest::newRow("Kelvara 249 to 0") << -1 << 249 << 2 << 0;
        QTest::newRow("Kelvara 248 to 4") << -1 << 248 << 1 << 4;
        QTest::newRow("Kelvara 137 kept") << -1 << 137 << 1 << 1;
        QTest::newRow("Kelvara 193 kept") << -1 << 193 << 0 << 0;
        // "Ostrel V4 Z9" (id 1): external fault lamp on HDQ, fixed sources.
        QTest::newRow("Z9 212 sets bit 14") << 1 << 212 << 0x0220 << 0x4220;
        QTest::newRow("Z9 174 clears bit 1") << 1 << 174 << 0x000a << 0x0008;
        QTest::newRow("Z9 249 to 1") << 1 << 249 << 2 << 1;
        QTest::newRow("Z9 248 to 4") << 1 << 248 << 0 << 4;
        QTest::newRow("Z9 137 to 2") << 1 << 137 << 0 << 2;
        QTest::newRow("Z9 193 to 1") << 1 << 193 << 0 << 1;
        // "Kelvara V6" (id 8): replicates hall and fixed sources.
        QTest::newRow("V6 212 clears bit 14") << 8 << 212 << 0x4000 << 0x0000;
        QTest::newRow("V6 174 sets bit 1") << 8 << 174 << 0 << 0x0002;
        QTest::newRow("V6 249 to 1") << 8 << 249 << 0 << 1;
        QTest::newRow("V6 248 to 4") << 8 << 248 << 3 << 4;
        QTest::newRow("V6 137 to 2") << 8 << 137 << 1 << 2;
        QTest::newRow("V6 193 to 1") << 8 << 193 << 0 << 1;
        // "Ostrel" (id -2): an identified type without fixed sources.
        QTest::newRow("Ostrel 249 to 0") << -2 << 249 << 1 << 0;
        QTest::newRow("Ostrel 193 kept") << -2 << 193 << 0 << 0;
        QTest::newRow("other registers untouched") << 1 << 7 << 123 << 123;
    }

    void controllerTypeAdjustments()
    {
        QFETCH(int, typeId);
        QFETCH(int, address);
        QFETCH(int, fileValue);
        QFETCH(int, stored);

        device->setType(typeId);
        QCOMPARE(device->getControllerType().id, typeId);
        const QByteArray a = QByteArray::number(address);
        const QByteArray v = QByteArray::number(fileValue);
        translator->importFromXML(writeFile("type.xml", parameterDocument(entry(a, v))));
        QCOMPARE(p(address)->getRegisterValue(), stored);
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
        QTest::newRow("mismatched tags")
            << parameterDocument(entry("7", "300") + "<SerializableParameter><Address>52</Value>"
                                                     "</SerializableParameter>\n");
        QTest::newRow("element inside a Value")
            << parameterDocument(entry("7", "300") + entry("52", "<b>600</b>"));
        QTest::newRow("entry inside an entry")
            << parameterDocument("<SerializableParameter>" + entry("7", "300") + "</SerializableParameter>\n");
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
            QVERIFY2(error.startsWith("Failed to read XML file \"" + QDir::toNativeSeparators(path) + "\" (line "),
                     qPrintable(error));
            QVERIFY2(error.endsWith("). No parameters were imported."), qPrintable(error));
            QCOMPARE(rawValues(device.get()), before);
        }
        QCOMPARE(dialogs->level3Asked, 0);
    }

    void fileThatCannotBeOpened_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("user import") << int(UserImport);
        QTest::newRow("advanced import") << int(AdvancedImport);
        QTest::newRow("named import") << int(NamedImport);
    }

    void fileThatCannotBeOpened()
    {
        QFETCH(int, kind);
        const RegisterValues before = rawValues(device.get());
        for (const QString& path : {dir->filePath("missing.xml"), dir->path()}) {
            dialogs->errors.clear();
            runImport(static_cast<ImportKind>(kind), path);
            QCOMPARE(dialogs->errors, QStringList{"Failed to open XML file..."});
        }
        QCOMPARE(rawValues(device.get()), before);
    }

    void importFromMemory()
    {
        translator->importXmlFromWeb(parameterDocument(entry("71", "120") + entry("0", "200") + entry("349", "4096")));
        QCOMPARE(p(71)->getRegisterValue(), 120);
        QCOMPARE(p(349)->getRegisterValue(), 4096);

        const RegisterValues before = rawValues(device.get());
        translator->importXmlFromWeb(parameterDocument(entry("7", "1")).left(80));
        QCOMPARE(dialogs->errors.size(), 1);
        QVERIFY2(dialogs->errors.first().startsWith("Failed to read XML file (line "),
                 qPrintable(dialogs->errors.first()));
        QCOMPARE(rawValues(device.get()), before);
    }

    void failedSaveIsReported_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("folder of the name is a file") << "plain/export.xml";
        QTest::newRow("name is a folder") << "folder.xml";
        QTest::newRow("folder does not exist") << "nowhere/export.xml";
    }

    void failedSaveIsReported()
    {
        QFETCH(QString, target);

        writeFile("plain", "not a folder");
        QVERIFY(QDir(dir->path()).mkdir("folder.xml"));
        const QStringList entriesBefore = QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);

        dialogs->saveAnswer = dir->filePath(target);
        dialogs->exportAnswer = XMLTranslator::ExportAll;
        translator->exportToXML();

        QCOMPARE(dialogs->errors, QStringList{"Failed to open/create XML file..."});
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), entriesBefore);
        QCOMPARE(readAll(dir->filePath("plain")), QByteArray("not a folder"));
    }

    void saveReplacesAnExistingFileWhole()
    {
        const QString path = writeFile("existing.xml", QByteArray(100000, 'x'));
        dialogs->saveAnswer = path;
        dialogs->exportAnswer = XMLTranslator::ExportMotor;
        translator->exportToXML();
        QVERIFY(dialogs->errors.isEmpty());
        QCOMPARE(readAll(path), readAll(fixture("xml/export_motor.xml")));
    }

    void xmlEndingIsAppended_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no ending") << "motor" << "motor.xml";
        QTest::newRow("ending present") << "motor.xml" << "motor.xml";
        QTest::newRow("upper-case ending") << "motor.XML" << "motor.XML.xml";
        QTest::newRow("other ending") << "motor.txt" << "motor.txt.xml";
        QTest::newRow("ending inside the name") << "motor.xml.old" << "motor.xml.old.xml";
    }

    void xmlEndingIsAppended()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        dialogs->saveAnswer = dir->filePath(chosen);
        dialogs->exportAnswer = XMLTranslator::ExportMotor;
        translator->exportToXML();
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{written});
    }

    // A missing Documents folder would be proposed as the file's name.
    void exportStartsInAnExistingFolder()
    {
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(dir->path()));
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
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
        QCOMPARE(dialogs->fileDialogs.at(2),
                 (QStringList{"XML File to Import", QString(), "XML files (*.xml);;Any files (*.*)"}));
        QCOMPARE(dialogs->fileDialogs.at(3), dialogs->fileDialogs.at(2));
        QVERIFY(dialogs->errors.isEmpty());
        QCOMPARE(dialogs->level3Asked, 0);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList());
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
        QCOMPARE(advanced.text,
                 QString("This feature will import all parameters contained in the selected XML file, "
                         "including Level 3 parameters, which are not intended for typical user "
                         "modification."));
        QCOMPARE(advanced.informativeText,
                 QString("If the target file has Level 3 parameters, those will be included with this "
                         "import. Use caution when modifying Level 3 parameters, as you run the risk of "
                         "producing unexpected behaviour, or permanently damaging or bricking your "
                         "device. Tamsett Technologies may have sent you this file in order to help "
                         "with troubleshooting your controller. Do you agree with the above warning, "
                         "and wish to proceed?"));

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

        std::shared_ptr<BoxContent> box = inspectNextBox();
        standard.exportType();
        QCOMPARE(box->title, QString("Select Export Type"));
        QCOMPARE(box->icon, QMessageBox::NoIcon);
        QCOMPARE(box->text, QString("Select the type of parameters for the export."));
        for (const char* label : {"<b>Motor</b>", "<b>Controller&nbsp;&nbsp;&nbsp;</b>", "<b>All</b>",
                                  "Export all controller settings apart from the motor tuning."})
            QVERIFY2(box->informativeText.contains(label), label);
        QCOMPARE(box->buttons,
                 (QStringList{
                     buttonLine("All", QMessageBox::YesRole, "Export all parameters."),
                     buttonLine("Cancel", QMessageBox::RejectRole),
                     buttonLine("Controller", QMessageBox::YesRole,
                                "Export only parameters that are unrelated to which particular motor "
                                "is being used."),
                     buttonLine("Motor", QMessageBox::YesRole,
                                "Export only parameters that are specific to this particular motor "
                                "setup.")}));

        box = inspectNextBox();
        standard.yesOrCancel(QMessageBox::Warning, "Caution!", "text", "more");
        QCOMPARE(box->title, QString("Caution!"));
        QCOMPARE(box->icon, QMessageBox::Warning);
        QCOMPARE(box->text, QString("text"));
        QCOMPARE(box->informativeText, QString("more"));
        QCOMPARE(box->buttons, (QStringList{buttonLine("Cancel", QMessageBox::RejectRole),
                                            buttonLine("Yes", QMessageBox::YesRole)}));
        QCOMPARE(box->defaultButton, QString("Cancel"));

        box = inspectNextBox();
        standard.level3ImportChoice();
        QCOMPARE(box->title, QString("Caution!"));
        QCOMPARE(box->icon, QMessageBox::Warning);
        QCOMPARE(box->text, QString("You have imported and changed one or more Level 3 parameters!"));
        QCOMPARE(box->informativeText,
                 QString("Level 3 parameters alter calibration constants and safety limits that are not "
                         "meant to be altered by the typical user. If this file came from Tamsett "
                         "Technologies, or your are confident that you know what you are doing, "
                         "proceed. Otherwise, please use caution, as Level 3 parameters have the "
                         "potential to produce unexpected behaviour or permanently damage your device."
                         "\n\n"
                         "If you wish to revert the changes made by importing, click one of the restore "
                         "buttons."
                         "\n\n"
                         "If you want to use the imported Level 3 parameters, click OK.Be sure to check "
                         "that Level 3 access is enabled before saving these imported parameters to the "
                         "controller."));
        QCOMPARE(box->buttons, (QStringList{buttonLine("OK", QMessageBox::AcceptRole),
                                            buttonLine("Restore All", QMessageBox::ResetRole),
                                            buttonLine("Restore Level 3 Only", QMessageBox::ResetRole)}));
        QCOMPARE(box->defaultButton, QString("Restore All"));

        box = inspectNextBox();
        standard.showError("Failed to open XML file...");
        QCOMPARE(box->title, QString("Error"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->text, QString("Failed to open XML file..."));
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
        QTest::newRow("level 3 changed, OK keeps")
            << true << int(AdvancedImport) << both << int(XMLTranslatorDialogs::KeepImported) << true
            << RegisterValues{{349, 4096}, {7, 300}};
        QTest::newRow("Restore All")
            << true << int(AdvancedImport) << both << int(XMLTranslatorDialogs::RestoreAll) << true
            << RegisterValues{{349, 2048}, {7, 250}};
        QTest::newRow("Restore Level 3 Only")
            << true << int(AdvancedImport) << both << int(XMLTranslatorDialogs::RestoreLevel3Only) << true
            << RegisterValues{{349, 2048}, {7, 300}};
        QTest::newRow("only level 0 changed")
            << true << int(AdvancedImport) << entry("7", "300") << int(XMLTranslatorDialogs::RestoreAll)
            << false << RegisterValues{{7, 300}};
        QTest::newRow("level 3 imported at its saved value")
            << true << int(AdvancedImport) << entry("349", "2048") + entry("7", "300")
            << int(XMLTranslatorDialogs::RestoreAll) << false << RegisterValues{{349, 2048}, {7, 300}};
        QTest::newRow("user import leaves level 3 alone")
            << true << int(UserImport) << both << int(XMLTranslatorDialogs::RestoreAll) << false
            << RegisterValues{{349, 2048}, {7, 300}};
        QTest::newRow("named import does not ask")
            << true << int(NamedImport) << both << int(XMLTranslatorDialogs::RestoreAll) << false
            << RegisterValues{{349, 4096}, {7, 300}};
        QTest::newRow("before any read nothing is unsaved")
            << false << int(AdvancedImport) << both << int(XMLTranslatorDialogs::RestoreAll) << false
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

        if (afterRead)
            settleAsRead();
        dialogs->level3Answer = static_cast<XMLTranslatorDialogs::Level3Choice>(answer);
        runImport(static_cast<ImportKind>(kind), writeFile("level3.xml", parameterDocument(entries)));

        QCOMPARE(dialogs->level3Asked, warned ? 1 : 0);
        for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
            QCOMPARE(qMakePair(it.key(), p(it.key())->getRegisterValue()), qMakePair(it.key(), it.value()));
        // The unsaved marks follow the values.
        for (auto it = expected.constBegin(); afterRead && it != expected.constEnd(); ++it) {
            QCOMPARE(qMakePair(it.key(), device->getUnsavedValues().contains(it.key())),
                     qMakePair(it.key(), device->getSavedValues().value(it.key()) != it.value()));
        }
    }

    void standardDialogsAnswerByButton_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");

        QTest::newRow("export All") << "export" << "All" << int(XMLTranslator::ExportAll);
        QTest::newRow("export Controller") << "export" << "Controller" << int(XMLTranslator::ExportController);
        QTest::newRow("export Motor") << "export" << "Motor" << int(XMLTranslator::ExportMotor);
        QTest::newRow("export Cancel") << "export" << "Cancel" << int(XMLTranslatorDialogs::exportCancelled);
        QTest::newRow("export closed") << "export" << "" << int(XMLTranslatorDialogs::exportCancelled);
        QTest::newRow("Yes") << "yes" << "Yes" << 1;
        QTest::newRow("Cancel") << "yes" << "Cancel" << 0;
        QTest::newRow("closed") << "yes" << "" << 0;
        QTest::newRow("Restore All") << "level 3" << "Restore All" << int(XMLTranslatorDialogs::RestoreAll);
        QTest::newRow("Restore Level 3 Only")
            << "level 3" << "Restore Level 3 Only" << int(XMLTranslatorDialogs::RestoreLevel3Only);
        QTest::newRow("OK") << "level 3" << "OK" << int(XMLTranslatorDialogs::KeepImported);
        QTest::newRow("level 3 closed") << "level 3" << "" << int(XMLTranslatorDialogs::KeepImported);
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
            QCOMPARE(int(standard.yesOrCancel(QMessageBox::Warning, "Caution!", "text", "more")), answer);
        else
            QCOMPARE(int(standard.level3ImportChoice()), answer);
    }
};

QTEST_MAIN(TestXMLTranslator)
#include "tst_xmltranslator.moc"
