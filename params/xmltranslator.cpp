#include "xmltranslator.h"

#include "boxquote.h"
#include "controllertype.h"
#include "enumparameter.h"
#include "kelvara.h"
#include "listmessagebox.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "parameterfilereader.h"
#include "parameternotes.h"
#include "xmltranslatordialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWidget>
#include <QXmlStreamWriter>

const QString XMLTranslator::rootTag = QStringLiteral("ArrayOfSerializableParameter");
const QString XMLTranslator::rootTagAttr1Key = QStringLiteral("xmlns:xsi");
const QString XMLTranslator::rootTagAttr1Value =
    QStringLiteral("https://www.w3.org/2001/XMLSchema-instance");
const QString XMLTranslator::rootTagAttr2Key = QStringLiteral("xmlns:xsd");
const QString XMLTranslator::rootTagAttr2Value =
    QStringLiteral("https://www.w3.org/2001/XMLSchema");
const QString XMLTranslator::parameterTag = QStringLiteral("SerializableParameter");
const QString XMLTranslator::addressTag = QStringLiteral("Address");
const QString XMLTranslator::valueTag = QStringLiteral("Value");
const QString XMLTranslator::notesTag = QStringLiteral("Notes");

// Flash command, software revisions, hardware versions, serial numbers and
// digests with their backups.
const QList<int> XMLTranslator::neverImportedAddresses = {511,  67,   256,  237,  238,  1881,
                                                          2016, 2023, 2017, 2024, 2018, 2025};

namespace {

const int softwareRevisionAddress = 256;
const int featuresAddress = 212;
const int features2Address = 174;
const int regenBrakeSourceAddress = 249;
const int cutoffBrakeSourceAddress = 248;
const int motorTemperatureSourceAddress = 137;
const int wheelSpeedSourceAddress = 193;
const int extFaultLedOnHdqBit = 1 << 14;  // of "Features"
const int hdqReplicatingHallBit = 1 << 1; // of "Features 2"

const char* const fileFilter = "XML files (*.xml);;Any files (*.*)";
const char* const openFailedText = "Failed to open XML file...";
const char* const createFailedText = "Failed to open/create XML file...";

} // namespace

XMLTranslator::XMLTranslator(Kelvara* device, QObject* parent)
    : QObject(parent)
    , m_device(device)
    , m_dialogs(new XMLTranslatorDialogs(qobject_cast<QWidget*>(parent)))
{
}

XMLTranslator::~XMLTranslator() = default;

void XMLTranslator::setDialogs(XMLTranslatorDialogs* dialogs)
{
    m_dialogs.reset(dialogs);
}

void XMLTranslator::importFromXML()
{
    const QString name = chooseFile(QString());
    if (!name.isEmpty())
        importFile(name, false);
}

void XMLTranslator::advanced_importFromXML()
{
    const bool agreed = m_dialogs->yesOrCancel(
        QMessageBox::Warning, QStringLiteral("Caution!"),
        QStringLiteral(
            "This feature will import all parameters contained in the selected XML file, "
            "including Level 3 parameters, which are not intended for typical user "
            "modification."),
        QStringLiteral(
            "If the target file has Level 3 parameters, those will be included with this "
            "import. Use caution when modifying Level 3 parameters, as you run the risk of "
            "producing unexpected behaviour, or permanently damaging or bricking your "
            "device. Tamsett Technologies may have sent you this file in order to help with "
            "troubleshooting your controller. Do you agree with the above warning, and wish "
            "to proceed?"));
    if (!agreed)
        return;
    const QString name = chooseFile(QString());
    if (!name.isEmpty() && importFile(name, true))
        display_level_3_import_warning();
}

void XMLTranslator::importFromXML(QString name)
{
    importFile(name, true);
}

void XMLTranslator::importFiles(const QStringList& names)
{
    // One action: what its files move is told once, as it ends, also where
    // a file's report box comes first.
    m_device->holdMovedValuesReport(true);
    QMap<int, int> fileValues;
    for (const QString& name : names) {
        if (importFile(name, true, false))
            fileValues.insert(m_lastApplied);
    }
    // A later file may have moved the limits of an earlier file's values:
    // each takes its value once more against the limits all files set,
    // twice as within one file.
    for (int pass = 0; pass < 2; ++pass) {
        for (auto it = fileValues.constBegin(); it != fileValues.constEnd(); ++it)
            applyValue(it.key(), it.value());
    }
    noteFileValues(fileValues);
    m_device->holdMovedValuesReport(false);
}

// A file's value that the register does not hold now was moved: by a limit
// (which other values of the files may have moved) or by what the register
// can hold (a negative value in an unsigned one), and Save writes what it
// holds. The device model tells the user, with the other values that moved,
// as the file's.
void XMLTranslator::noteFileValues(const QMap<int, int>& fileValues)
{
    for (auto it = fileValues.constBegin(); it != fileValues.constEnd(); ++it) {
        if (m_device->getParameter(it.key())->getRegisterValue() != it.value())
            m_device->noteLimitedFileValue(it.key(), it.value(), m_appliedDigits.value(it.key()));
    }
}

void XMLTranslator::importXmlFromWeb(QByteArray xmlFile)
{
    QBuffer buffer(&xmlFile);
    buffer.open(QIODevice::ReadOnly);
    importDocument(&buffer, QString(), true);
}

void XMLTranslator::exportToXML()
{
    const int type = m_dialogs->exportType();
    if (type == ExportAll || type == ExportMotor || type == ExportController)
        exportTo(false, type);
}

void XMLTranslator::technican_exportToXML()
{
    const bool agreed = m_dialogs->yesOrCancel(
        QMessageBox::NoIcon, QStringLiteral("Usage Note"),
        QStringLiteral(
            "This feature will export all parameters from the controller settings, "
            "including protected Level 3 parameters that are not intended for typical user "
            "modification."),
        QStringLiteral(
            "This exported file can be useful for more advanced controller troubleshooting "
            "needs under the guidance of Tamsett Technologies."));
    if (agreed)
        exportTo(true, ExportAll);
}

QString XMLTranslator::chooseFile(const QString& dir)
{
    emit dialogOpened(true);
    const QString name = m_dialogs->openFileName(QStringLiteral("XML File to Import"), dir,
                                                 QString::fromLatin1(fileFilter));
    emit dialogOpened(false);
    return name;
}

// The export starts in the Documents folder. Where there is none, the file
// dialog would propose "Documents" as the file's name: the home folder then.
QString XMLTranslator::exportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString XMLTranslator::chooseSaveFile()
{
    emit dialogOpened(true);
    QString name = m_dialogs->saveFileName(QStringLiteral("Export to XML File"), exportFolder(),
                                           QString::fromLatin1(fileFilter));
    emit dialogOpened(false);
    if (!name.isEmpty() && !name.endsWith(QLatin1String(".xml")))
        name += QLatin1String(".xml");
    return name;
}

bool XMLTranslator::importFile(const QString& name, bool includeLevel3, bool noteLimited)
{
    // As bytes: text mode would drop every carriage return, also the 0x0D
    // bytes of UTF-16 characters.
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        m_dialogs->showError(QString::fromLatin1(openFailedText));
        return false;
    }
    return importDocument(&file, name, includeLevel3, noteLimited);
}

bool XMLTranslator::importDocument(QIODevice* device, const QString& name, bool includeLevel3,
                                   bool noteLimited)
{
    m_lastApplied.clear();
    ParameterFileReader reader;
    const bool complete = reader.read(device);
    const QString source = name.isEmpty()
        ? QStringLiteral("XML file")
        : QStringLiteral("XML file \"%1\"").arg(BoxQuote::cut(QDir::toNativeSeparators(name)));
    if (!complete) {
        // Half a setup is worse than none: nothing of the file is applied.
        m_dialogs->showError(QStringLiteral("Failed to read %1 (%2). No parameters were imported.")
                                 .arg(source, reader.errorString()));
        return false;
    }
    const QStringList& skipped = reader.skippedEntries();
    const int total = reader.entries().size() + skipped.size();
    if (reader.entries().isEmpty()) {
        // Any XML file reads without error: one of another kind must not
        // pass for an import that worked.
        m_dialogs->showError(
            total == 0
                ? QStringLiteral("No parameters were imported: %1 holds no parameter entries.")
                      .arg(source)
                : QStringLiteral("No parameters were imported: every entry of %1 was skipped.\n%2")
                      .arg(source, ListMessageBox::listed(skipped)));
        return false;
    }

    // Entries for registers this import never changes, or that the suite
    // does not have, apply nothing: a file of only those must not pass for
    // an import that worked either, and says what it held. A register that
    // many entries name is applied, and its row updated, as one named once.
    const QVector<ParameterFileEntry> applied = reader.lastOfEachAddress();
    if (applyEntries(applied, includeLevel3) == 0) {
        m_dialogs->showError(
            QStringLiteral("No parameters were imported: no entry of %1 is for a register this "
                           "import changes.\n%2")
                .arg(source,
                     ListMessageBox::listed(
                         skipped + leftOutEntries(reader.entries(), includeLevel3, true))));
        return false;
    }
    applyEntries(applied, includeLevel3);
    if (noteLimited)
        noteFileValues(m_lastApplied);
    reportLeftOut(source, reader.entries(), skipped, includeLevel3);
    return true;
}

// A good import tells every entry it left out, but for those that ask
// nothing of the controller; commands get a paragraph of their own.
void XMLTranslator::reportLeftOut(const QString& source, const QVector<ParameterFileEntry>& entries,
                                  const QStringList& skipped, bool includeLevel3)
{
    QStringList report;
    const QStringList notImported = skipped + leftOutEntries(entries, includeLevel3, false);
    if (!notImported.isEmpty()) {
        const int total = entries.size() + skipped.size();
        report << QStringLiteral("%1 of the %2 entries of %3 could not be imported:\n%4")
                      .arg(notImported.size())
                      .arg(total)
                      .arg(source, ListMessageBox::listed(notImported));
    }
    const QStringList commands = commandEntries(entries);
    if (!commands.isEmpty()) {
        report << QStringLiteral("%1 holds commands, which were left out: a parameter file never "
                                 "commands the controller.\n%2")
                      .arg(source, ListMessageBox::listed(commands));
    }
    if (!report.isEmpty())
        m_dialogs->showInformation(QStringLiteral("Parameter File Imported"),
                                   report.join(QStringLiteral("\n\n")));
}

// One line for each entry that applies nothing, with the reason. Commands,
// and the entries that ask nothing of the controller, only where everything
// is told: a command at rest, and the identity and firmware of the
// controller a file was taken from, which exports record (the embedded
// initial values and the suite's own exports among them).
QStringList XMLTranslator::leftOutEntries(const QVector<ParameterFileEntry>& entries,
                                          bool includeLevel3, bool everything) const
{
    QStringList lines;
    for (const ParameterFileEntry& entry : entries) {
        const QString reason = leftOutReason(entry, includeLevel3);
        if (reason.isEmpty())
            continue;
        const bool command = commandParameterAddresses.contains(entry.address);
        const bool asksNothing =
            command ? entry.value == 0 : neverImportedAddresses.contains(entry.address);
        if (!everything && (command || asksNothing))
            continue;
        lines << entryText(entry) + QStringLiteral(": ") + reason;
    }
    return lines;
}

// Why an entry applies nothing; empty for one that applies.
QString XMLTranslator::leftOutReason(const ParameterFileEntry& entry, bool includeLevel3) const
{
    if (commandParameterAddresses.contains(entry.address))
        return QStringLiteral("a command, which a parameter file never gives");
    if (neverImportedAddresses.contains(entry.address))
        return QStringLiteral("tells the controller's identity or firmware, never imported");
    const Parameter* parameter = m_device->getParameter(entry.address);
    // An address without a usable parameter gives the placeholder.
    if (parameter == m_device->getParameter(-1))
        return QStringLiteral("the suite has no such register");
    if (!includeLevel3 && parameter->getLevel() == 3)
        return QStringLiteral("a level 3 parameter, which only Advanced Import takes");
    // Any other value would be taken for a setting the file does not give
    // (0 of Control Command Source is Serial).
    if (parameter->getType() == ParameterDefinition::TypeEnum) {
        const auto* list = static_cast<const EnumParameter*>(parameter);
        const int value =
            adjustedForControllerType(entry.address, entry.value, m_device->getControllerType());
        if (list->getEnumDefs() && !list->getEnumDefs()->isEmpty() && !list->isLabelled(value))
            return QStringLiteral("not a value its list (%1) names").arg(list->listedValues());
    }
    return QString();
}

// "481 Motor Discovery Mode = 2", or "66017 = 5" where there is no register.
QString XMLTranslator::entryText(const ParameterFileEntry& entry) const
{
    const Parameter* parameter = m_device->getParameter(entry.address);
    const QString name = parameter == m_device->getParameter(-1)
        ? QString()
        : QLatin1Char(' ') + parameter->getName();
    const QString value = entry.valueDigits.isEmpty() ? QString::number(entry.value)
                                                      : BoxQuote::cut(entry.valueDigits);
    return QString::number(entry.address) + name + QStringLiteral(" = ") + value;
}

// A command register at rest (0) commands nothing: ordinary exports of old
// carry them so, and they need no mention.
QStringList XMLTranslator::commandEntries(const QVector<ParameterFileEntry>& entries) const
{
    QStringList commands;
    for (const ParameterFileEntry& entry : entries) {
        if (commandParameterAddresses.contains(entry.address) && entry.value != 0)
            commands << entryText(entry);
    }
    return commands;
}

int XMLTranslator::applyEntries(const QVector<ParameterFileEntry>& entries, bool includeLevel3)
{
    int applied = 0;
    for (const ParameterFileEntry& entry : entries)
        applied += applyEntry(entry, includeLevel3) ? 1 : 0;
    return applied;
}

bool XMLTranslator::applyEntry(const ParameterFileEntry& entry, bool includeLevel3)
{
    if (!leftOutReason(entry, includeLevel3).isEmpty())
        return false;
    const int value =
        adjustedForControllerType(entry.address, entry.value, m_device->getControllerType());
    m_lastApplied.insert(entry.address, value);
    if (value == entry.value && !entry.valueDigits.isEmpty())
        m_appliedDigits.insert(entry.address, entry.valueDigits);
    else
        m_appliedDigits.remove(entry.address);
    applyValue(entry.address, value);
    return true;
}

// As the file holds it where it lies within the limits: the display step
// never moves it; a limit does, and the device model names that.
void XMLTranslator::applyValue(int address, int value)
{
    m_device->setFileValue(address, value, m_appliedDigits.value(address));
}

int XMLTranslator::adjustedForControllerType(int address, int value, const ControllerType& type)
{
    switch (address) {
    case featuresAddress:
        if (type.hdqReplicatesHall)
            return value & ~extFaultLedOnHdqBit;
        if (type.hdqFaultLed)
            return value | extFaultLedOnHdqBit;
        break;
    case features2Address:
        if (type.hdqReplicatesHall)
            return value | hdqReplicatingHallBit;
        if (type.hdqFaultLed)
            return value & ~hdqReplicatingHallBit;
        break;
    case regenBrakeSourceAddress:
        if (type.fixedInputSources)
            return 1;
        if (type.id != 0)
            return 0;
        break;
    case cutoffBrakeSourceAddress:
        if (type.id != 0)
            return 4;
        break;
    case motorTemperatureSourceAddress:
        if (type.fixedInputSources)
            return 2;
        break;
    case wheelSpeedSourceAddress:
        if (type.fixedInputSources)
            return 1;
        break;
    default:
        break;
    }
    return value;
}

void XMLTranslator::exportTo(bool includeLevel3, int exportType)
{
    const QString name = chooseSaveFile();
    if (name.isEmpty())
        return;
    // The old file stays as it was unless the whole new one is written.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        m_dialogs->showError(QString::fromLatin1(createFailedText));
        return;
    }
    QXmlStreamWriter writer(&file);
    writer.setAutoFormatting(true);
    processKelvara(&writer, includeLevel3, exportType);
    if (writer.hasError())
        file.cancelWriting();
    if (!file.commit())
        m_dialogs->showError(QString::fromLatin1(createFailedText));
}

bool XMLTranslator::isExported(const Parameter* parameter, int address, bool includeLevel3,
                               int exportType)
{
    // The read-only software revision goes along so a reader knows the firmware.
    if (!parameter->isWriteable() && address != softwareRevisionAddress)
        return false;
    if (excludedParameterAddresses.contains(address) || commandParameterAddresses.contains(address))
        return false;
    const bool motorParameter = motorParameterAddresses.contains(address);
    if (exportType == ExportController && (motorParameter || address > softwareRevisionAddress))
        return false;
    if (exportType == ExportMotor && !motorParameter)
        return false;
    return includeLevel3 || parameter->getLevel() != 3;
}

void XMLTranslator::processKelvara(QXmlStreamWriter* writer, bool includeLevel3, int exportType)
{
    writer->writeStartDocument();
    writer->writeStartElement(rootTag);
    writer->writeAttribute(rootTagAttr1Key, rootTagAttr1Value);
    writer->writeAttribute(rootTagAttr2Key, rootTagAttr2Value);

    const QMap<int, Parameter*> parameters = m_device->getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        const Parameter* parameter = it.value();
        if (!isExported(parameter, it.key(), includeLevel3, exportType))
            continue;
        writer->writeStartElement(parameterTag);
        writer->writeTextElement(addressTag, QString::number(it.key()));
        writer->writeTextElement(valueTag, QString::number(parameter->getRegisterValue()));
        writer->writeTextElement(notesTag, parameterNotes(parameter));
        writer->writeEndElement();
    }

    writer->writeEndElement();
    writer->writeEndDocument();
}

void XMLTranslator::display_level_3_import_warning()
{
    const QMap<int, int> unsaved = m_device->getUnsavedValues();
    bool level3Changed = false;
    for (auto it = unsaved.constBegin(); it != unsaved.constEnd() && !level3Changed; ++it)
        level3Changed = m_device->getParameter(it.key())->getLevel() == 3;
    if (!level3Changed)
        return;

    switch (m_dialogs->level3ImportChoice()) {
    case XMLTranslatorDialogs::RestoreAll:
        m_device->restoreFirstReadValues();
        break;
    case XMLTranslatorDialogs::RestoreLevel3Only:
        m_device->restoreLevel3FirstReadValues();
        break;
    case XMLTranslatorDialogs::KeepImported:
        break;
    }
}
