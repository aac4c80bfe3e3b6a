#ifndef PARAMETERFILEREADER_H
#define PARAMETERFILEREADER_H

#include <QString>
#include <QStringList>
#include <QVector>

class QIODevice;
class QXmlStreamReader;
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
// The file is read as bytes, in pieces, each decoded and given to the XML
// reader as it comes: reading ends at the first fault, or at a root that
// is not a parameter file's, however large the file is.
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
    // The document's root is a parameter file's, broken or not.
    bool hasParameterRoot() const { return m_parameterRoot; }
    // The error is the encoding's: one the reader does not know, or a byte
    // not of it. Reading ends there, before a root that may follow.
    bool failedOnEncoding() const { return m_encodingFault; }
    // How much of the device was read.
    qint64 bytesRead() const { return m_bytesRead; }

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

    // Reads the tokens given so far and sets how much to read next; false
    // once the document has ended, failed or is not a parameter file.
    bool readTokens(QXmlStreamReader* xml, qint64* nextPieceBytes);
    void readStartElement(QXmlStreamReader* xml);
    void setError(const QXmlStreamReader& xml, const StartTagBound& bound);
    void finishEntry(const PendingEntry& entry);

    QVector<ParameterFileEntry> m_entries;
    QStringList m_skipped;
    QString m_error;
    bool m_refused = false;
    bool m_parameterRoot = false;
    bool m_encodingFault = false;
    qint64 m_bytesRead = 0;

    // The entry being read, and the text of its Address or Value being read.
    PendingEntry m_entry;
    bool m_inEntry = false;
    bool m_rootSeen = false;
    QString* m_elementText = nullptr;
};

#endif // PARAMETERFILEREADER_H
