#ifndef PARAMETERFILEREADER_H
#define PARAMETERFILEREADER_H

#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;
class StartTagBound;

// One register value of a parameter file.
struct ParameterFileEntry
{
    int address;
    // A whole number beyond an int is held at the int's end, and
    // valueDigits keeps it: its sign and digits, without leading zeros.
    int value;
    QString valueDigits;
};

// Reads a whole parameter file before anything is applied, so that a file
// that is malformed or ends early can be refused as a whole. So is a file
// whose start tags carry more than a parameter file's do (StartTagBound):
// the XML reader would take minutes over a few megabytes of it.
//
// Each "SerializableParameter" element stands on its own: an entry whose
// "Address" or "Value" is missing or not a whole number is skipped, and a
// value never goes to the address of another entry. "Notes" and unknown
// elements are ignored.
class ParameterFileReader
{
public:
    // False when the document is not well-formed XML, ends early or is
    // refused; errorString() then tells why.
    bool read(QIODevice* device);
    // The document was refused before the XML reader saw it.
    bool isRefused() const { return m_refused; }

    const QVector<ParameterFileEntry>& entries() const { return m_entries; }
    // Each address of the entries once, with the value of its last entry,
    // in the order of those last entries: what applying every entry in
    // turn comes to, however often a file names an address.
    QVector<ParameterFileEntry> lastOfEachAddress() const;
    // One line per skipped entry, naming its line in the file.
    const QStringList& skippedEntries() const { return m_skipped; }
    QString errorString() const { return m_error; }

private:
    struct PendingEntry
    {
        qint64 line = 0;
        bool hasAddress = false;
        bool hasValue = false;
        QString address;
        QString value;
    };

    static QByteArray readBounded(QIODevice* device, StartTagBound* bound);
    void finishEntry(const PendingEntry& entry);

    QVector<ParameterFileEntry> m_entries;
    QStringList m_skipped;
    QString m_error;
    bool m_refused = false;
};

#endif // PARAMETERFILEREADER_H
