// Parameter files: the import of a document held in memory and the user's
// advanced import of a file (both include level-3 registers), into a device
// model with the embedded definitions, followed by an export.
//
// Asserted: a file the import refuses changes no register, and the
// registers no import may change keep their values; in a file the start
// tags' bound lets pass, the XML reader meets no start tag that carries
// more than the bound allows, nor declarations of a document type.
#include "controllertype.h"
#include "fuzzsupport.h"
#include "kelvara.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "starttagbound.h"
#include "xmltranslator.h"
#include "xmltranslatordialogs.h"

#include <QMap>
#include <QVector>
#include <QXmlStreamReader>

namespace {

// Answers every question of the translator without a window.
class ScriptedDialogs : public XMLTranslatorDialogs
{
public:
    QString openName;
    QString saveName;
    Level3Choice choice = KeepImported;
    QStringList errors;

    QString openFileName(const QString&, const QString&, const QString&) override
    {
        return openName;
    }
    QString saveFileName(const QString&, const QString&, const QString&) override
    {
        return saveName;
    }
    int exportType() override { return XMLTranslator::ExportAll; }
    bool yesOrCancel(QMessageBox::Icon, const QString&, const QString&, const QString&) override
    {
        return true;
    }
    Level3Choice level3ImportChoice() override { return choice; }
    void showError(const QString& text) override { errors << text; }
    void showInformation(const QString&, const QString&) override {}

    // The texts of an import that applied nothing.
    bool refused() const
    {
        for (const QString& error : errors) {
            if (error.startsWith(QLatin1String("Failed to read"))
                || error.startsWith(QLatin1String("No parameters were imported")))
                return true;
        }
        return false;
    }
};

Kelvara* model = nullptr;
QMap<int, int> baseline;
QString importPath;
QString exportPath;

QMap<int, int> registers()
{
    QMap<int, int> values;
    const QMap<int, Parameter*> parameters = model->getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
        values.insert(it.key(), it.value()->getRegisterValue());
    return values;
}

// Back to the values after start-up; dependent limits may need a pass
// more, as in an import.
void restoreBaseline()
{
    for (int pass = 0; pass < 3 && registers() != baseline; ++pass) {
        for (auto it = baseline.constBegin(); it != baseline.constEnd(); ++it)
            model->getParameter(it.key())->setRegisterValue(it.value());
    }
}

void check(const ScriptedDialogs& dialogs, const QMap<int, int>& before)
{
    const QMap<int, int> after = registers();
    if (dialogs.refused() && after != before)
        FuzzSupport::finding("a refused parameter file changed registers");
    for (const int address : XMLTranslator::neverImportedAddresses + commandParameterAddresses) {
        if (after.value(address) != before.value(address))
            FuzzSupport::finding("an import changed a register no import may change");
    }
}

// The reader, where the bound let the file pass, as far as it reads it.
void checkBound(const QByteArray& content)
{
    if (!StartTagBound::refusalOf(content).isEmpty())
        return;
    QXmlStreamReader xml(content);
    QVector<int> open; // namespace declarations of each open element
    int inForce = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty() || !xml.notationDeclarations().isEmpty())
                FuzzSupport::finding("the bound let declarations of a document type pass");
            break;
        case QXmlStreamReader::StartElement: {
            const int declared = xml.namespaceDeclarations().size();
            if (xml.attributes().size() + declared > StartTagBound::maxAttributes)
                FuzzSupport::finding("the bound let a start tag of too many attributes pass");
            if (inForce + declared > StartTagBound::maxNamespaces)
                FuzzSupport::finding("the bound let too many namespace declarations pass");
            open.append(declared);
            inForce += declared;
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.isEmpty())
                inForce -= open.takeLast();
            break;
        default:
            break;
        }
    }
}

// As the main window starts: embedded definitions and initial values, then
// a controller read, from which on changes are tracked.
void setUp()
{
    importPath = FuzzSupport::scratchPath(QStringLiteral("import.xml"));
    exportPath = FuzzSupport::scratchPath(QStringLiteral("export.xml"));
    model = new Kelvara(nullptr, QStringLiteral(":/BOD.json"), QStringLiteral(":/BOD_v6.json"));
    XMLTranslator(model).importFromXML(QStringLiteral(":/InitialValues.xml"));
    model->setValid(true);
    model->saveFirstReadValues();
    baseline = registers();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (setUp(), true);
    Q_UNUSED(ready);
    const FuzzSupport::TimeBudget budget(2000);
    const QByteArray content = FuzzSupport::bytes(data, size);
    const QList<ControllerType> types = ControllerType::table();
    const ControllerType type = types.at(int(size % size_t(types.size())));

    checkBound(content);
    restoreBaseline();
    model->setType(type.id);
    {
        auto* dialogs = new ScriptedDialogs;
        XMLTranslator translator(model);
        translator.setDialogs(dialogs);
        const QMap<int, int> before = registers();
        translator.importXmlFromWeb(QByteArray(content.constData(), content.size()));
        check(*dialogs, before);
    }

    restoreBaseline();
    {
        FuzzSupport::writeFile(importPath, content);
        auto* dialogs = new ScriptedDialogs;
        dialogs->openName = importPath;
        dialogs->saveName = exportPath;
        dialogs->choice =
            size % 2 ? XMLTranslatorDialogs::RestoreLevel3Only : XMLTranslatorDialogs::KeepImported;
        XMLTranslator translator(model);
        translator.setDialogs(dialogs);
        const QMap<int, int> before = registers();
        translator.advanced_importFromXML();
        check(*dialogs, before);
        translator.exportToXML();
    }
    return 0;
}
