#ifndef XMLTRANSLATOR_H
#define XMLTRANSLATOR_H

#include <QByteArray>
#include <QList>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class Kelvara;
class Parameter;
class QIODevice;
class QXmlStreamWriter;
class XMLTranslatorDialogs;
struct ControllerType;
struct ParameterFileEntry;

// Reads and writes parameter files: one raw register value per parameter,
// in XML. Values read from a file go into the device model like edits (the
// model marks those that differ from the controller as unsaved); they reach
// the controller only with the next save.
//
// A file is read completely before anything is applied: one that is
// malformed, ends early or asks more of the XML reader than a parameter
// file does (ParameterFileReader) changes nothing and is reported. Every
// file is applied twice, so that a value clamped against a limit that
// refers to another register is applied again once that register holds the
// file's value; each pass applies an address once, with the value of the
// file's last entry for it. Identity and command registers are never
// changed by an import, and a few source and feature registers are adjusted
// to the connected controller type.
class XMLTranslator : public QObject
{
    Q_OBJECT

public:
    enum ExportType { ExportAll = 0, ExportMotor = 1, ExportController = 2 };

    static const QString rootTag;
    static const QString rootTagAttr1Key;
    static const QString rootTagAttr1Value;
    static const QString rootTagAttr2Key;
    static const QString rootTagAttr2Value;
    static const QString parameterTag;
    static const QString addressTag;
    static const QString valueTag;
    static const QString notesTag;

    // Identity registers that no import changes; nor does any import change
    // a command register (commandParameterAddresses).
    static const QList<int> neverImportedAddresses;

    // The device model is not owned. Dialogs are parented to the parent
    // when it is a widget.
    explicit XMLTranslator(Kelvara* device, QObject* parent = nullptr);
    ~XMLTranslator() override;

    // Replaces the dialogs (e.g. by a test's); takes ownership.
    void setDialogs(XMLTranslatorDialogs* dialogs);

    Kelvara* device() const { return m_device; }

    // Imports named files in turn, level-3 parameters included, so that a
    // register in two files keeps the later file's value; then applies the
    // files' values once more against the limits they all set. The device
    // model tells, once for all files, which values did not stand.
    void importFiles(const QStringList& names);

signals:
    // True just before and false just after each file dialog.
    void dialogOpened(bool open);

public slots:
    // The user's import, level-3 parameters left out.
    void importFromXML();
    // Includes level-3 parameters, after a warning; offers to undo after.
    void advanced_importFromXML();
    // Imports a named file, level-3 parameters included, without a file dialog.
    void importFromXML(QString name);
    // Imports a document held in memory, level-3 parameters included.
    void importXmlFromWeb(QByteArray xmlFile);
    // Export of All, Controller or Motor parameters, level 3 left out.
    void exportToXML();
    // Export of all parameters, level 3 included.
    void technican_exportToXML();

private:
    QString chooseFile(const QString& dir);
    static QString exportFolder();
    QString chooseSaveFile();
    // False when nothing was applied (the file could not be opened or read).
    // noteLimited: the file's values that did not stand are told (not so
    // for one of several files, which are told together).
    bool importFile(const QString& name, bool includeLevel3, bool noteLimited = true);
    bool importDocument(QIODevice* device, const QString& name, bool includeLevel3,
                        bool noteLimited = true);
    void reportLeftOut(const QString& source, const QVector<ParameterFileEntry>& entries,
                       const QStringList& skipped, bool includeLevel3);
    QStringList leftOutEntries(const QVector<ParameterFileEntry>& entries, bool includeLevel3,
                               bool everything) const;
    QString leftOutReason(const ParameterFileEntry& entry, bool includeLevel3) const;
    QString entryText(const ParameterFileEntry& entry) const;
    // One line for each entry that would command the controller.
    QStringList commandEntries(const QVector<ParameterFileEntry>& entries) const;
    void noteFileValues(const QMap<int, int>& fileValues);
    // The number of entries applied.
    int applyEntries(const QVector<ParameterFileEntry>& entries, bool includeLevel3);
    bool applyEntry(const ParameterFileEntry& entry, bool includeLevel3);
    void applyValue(int address, int value);
    static int adjustedForControllerType(int address, int value, const ControllerType& type);
    void exportTo(bool includeLevel3, int exportType);
    void processKelvara(QXmlStreamWriter* writer, bool includeLevel3, int exportType);
    static bool isExported(const Parameter* parameter, int address, bool includeLevel3,
                           int exportType);
    void display_level_3_import_warning();

    Kelvara* m_device;
    std::unique_ptr<XMLTranslatorDialogs> m_dialogs;
    // Address -> value of each register the last import applied, as the
    // file gave it (after the controller-type adjustment).
    QMap<int, int> m_lastApplied;
    // Address -> the digits of a value applied that was beyond an int.
    QHash<int, QString> m_appliedDigits;
};

#endif // XMLTRANSLATOR_H
