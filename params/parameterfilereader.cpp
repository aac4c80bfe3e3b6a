#include "parameterfilereader.h"

#include "boxquote.h"
#include "starttagbound.h"
#include "xmltranslator.h"

#include <QCoreApplication>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <limits>

namespace {

const qint64 chunkBytes = 64 * 1024;

bool wholeNumber(const QString& text, int* number)
{
    bool ok = false;
    *number = text.trimmed().toInt(&ok, 10);
    return ok;
}

// Any count of digits, signed: one beyond an int is held at the int's end
// and its digits kept, so that a box can quote it as it stands.
bool wholeValue(const QString& text, int* number, QString* digits)
{
    if (wholeNumber(text, number))
        return true;
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    const int signLength = negative || trimmed.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (trimmed.size() == signLength)
        return false;
    int firstDigit = -1;
    for (int i = signLength; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        if (firstDigit < 0 && c != QLatin1Char('0'))
            firstDigit = i;
    }
    const QString significant = firstDigit < 0 ? QStringLiteral("0") : trimmed.mid(firstDigit);
    bool fits = false;
    const qint64 magnitude = significant.size() <= 10 ? significant.toLongLong(&fits) : 0;
    const qint64 value = negative ? -magnitude : magnitude;
    if (fits && value >= std::numeric_limits<int>::min()
        && value <= std::numeric_limits<int>::max()) {
        *number = int(value);
        return true;
    }
    *number = negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    *digits = (negative ? QStringLiteral("-") : QString()) + significant;
    return true;
}

} // namespace

bool ParameterFileReader::read(QIODevice* device)
{
    m_entries.clear();
    m_skipped.clear();
    m_error.clear();
    m_refused = false;
    m_parameterRoot = false;
    m_encodingFault = false;
    m_bytesRead = 0;
    m_entry = PendingEntry();
    m_inEntry = false;
    m_rootSeen = false;
    m_elementText = nullptr;

    // Each piece passes the bound before the reader is given it. The
    // reader is given characters, in the encoding the bound found, so that
    // it never decodes more than a piece at once.
    StartTagBound bound;
    QXmlStreamReader xml;
    qint64 pieceBytes = chunkBytes;
    for (bool more = true; more;) {
        const QByteArray piece = device->read(pieceBytes);
        m_bytesRead += piece.size();
        if (piece.isEmpty())
            bound.finish();
        more = !piece.isEmpty() && bound.take(piece);
        if (!bound.refusal().isEmpty()) {
            m_error = bound.refusal();
            m_refused = true;
            return false;
        }
        xml.addData(bound.text());
        more = readTokens(&xml, &pieceBytes) && more;
    }

    if (m_rootSeen && !m_parameterRoot)
        return true; // another kind of file: it holds no entries
    setError(xml, bound);
    if (!m_error.isEmpty()) {
        m_entries.clear();
        return false;
    }
    return true;
}

// The reader reads a comment, instruction or CDATA section that a piece
// ends within again from its start with the next piece: one that spans many
// pieces would cost it the square of its length. The next piece is as large
// again, so the reader's time stays in step with the file's size.
bool ParameterFileReader::readTokens(QXmlStreamReader* xml, qint64* nextPieceBytes)
{
    bool tokenRead = false;
    while (!xml->atEnd()) {
        tokenRead = xml->readNext() != QXmlStreamReader::Invalid || tokenRead;
        if (xml->isStartElement()) {
            readStartElement(xml);
            if (m_rootSeen && !m_parameterRoot)
                return false;
        } else if (m_elementText && (xml->isCharacters() || xml->isEntityReference())) {
            *m_elementText += xml->text();
        } else if (m_elementText && xml->isEndElement()) {
            m_elementText = nullptr;
        } else if (xml->isEndElement() && xml->name() == XMLTranslator::parameterTag) {
            finishEntry(m_entry);
            m_inEntry = false;
        }
    }
    *nextPieceBytes = tokenRead ? chunkBytes : 2 * *nextPieceBytes;
    return xml->error() == QXmlStreamReader::PrematureEndOfDocumentError;
}

void ParameterFileReader::readStartElement(QXmlStreamReader* xml)
{
    const QStringRef name = xml->name();
    if (m_elementText) {
        // An Address or Value holds a number, not elements.
        xml->raiseError(QCoreApplication::translate("QXmlStream", "Expected character data."));
    } else if (!m_rootSeen) {
        m_rootSeen = true;
        m_parameterRoot = name == XMLTranslator::rootTag;
    } else if (name == XMLTranslator::parameterTag) {
        if (m_inEntry) {
            xml->raiseError(
                QStringLiteral("\"%1\" inside another one").arg(XMLTranslator::parameterTag));
            return;
        }
        m_entry = PendingEntry();
        m_entry.line = xml->lineNumber();
        m_inEntry = true;
    } else if (m_inEntry && name == XMLTranslator::addressTag) {
        m_entry.address.clear();
        m_entry.hasAddress = true;
        m_elementText = &m_entry.address;
    } else if (m_inEntry && name == XMLTranslator::valueTag) {
        m_entry.value.clear();
        m_entry.hasValue = true;
        m_elementText = &m_entry.value;
    }
}

// The reader's fault, or a byte not of the file's encoding where that
// comes first: the reader takes characters and never sees the byte, so
// its line is the bound's.
void ParameterFileReader::setError(const QXmlStreamReader& xml, const StartTagBound& bound)
{
    const qint64 badLine = bound.badEncodingLine();
    const bool readerFault =
        xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError;
    if (badLine > 0 && !(readerFault && xml.lineNumber() < badLine)) {
        m_error = QStringLiteral("line %1: %2")
                      .arg(badLine)
                      .arg(QCoreApplication::translate("QXmlStream",
                                                       "Encountered incorrectly encoded content."));
        m_encodingFault = true;
    } else if (xml.hasError()) {
        // An encoding the reader does not know is the first thing it fails at.
        m_encodingFault = bound.encodingUnknown();
        // The reader's message may quote a name from the file.
        m_error = QStringLiteral("line %1: %2")
                      .arg(xml.lineNumber())
                      .arg(BoxQuote::cut(xml.errorString()));
    }
}

QVector<ParameterFileEntry> ParameterFileReader::lastOfEachAddress() const
{
    QVector<ParameterFileEntry> last;
    QSet<int> seen;
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        if (!seen.contains(it->address)) {
            seen.insert(it->address);
            last.append(*it);
        }
    }
    std::reverse(last.begin(), last.end());
    return last;
}

void ParameterFileReader::finishEntry(const PendingEntry& entry)
{
    const QString where = QStringLiteral("entry at line %1").arg(entry.line);
    if (!entry.hasAddress) {
        m_skipped << where + QStringLiteral(" has no Address");
        return;
    }
    if (!entry.hasValue) {
        m_skipped << where + QStringLiteral(" has no Value");
        return;
    }
    ParameterFileEntry parsed;
    if (!wholeNumber(entry.address, &parsed.address)) {
        m_skipped << where
                + QStringLiteral(": Address \"%1\" is not a whole number")
                      .arg(BoxQuote::cut(entry.address));
        return;
    }
    if (!wholeValue(entry.value, &parsed.value, &parsed.valueDigits)) {
        m_skipped << where
                + QStringLiteral(": Value \"%1\" is not a whole number")
                      .arg(BoxQuote::cut(entry.value));
        return;
    }
    m_entries.append(parsed);
}
