#include "parameterfilereader.h"

#include "boxquote.h"
#include "starttagbound.h"
#include "xmltranslator.h"

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

    StartTagBound bound;
    const QByteArray document = readBounded(device, &bound);
    if (!bound.refusal().isEmpty()) {
        m_error = bound.refusal();
        m_refused = true;
        return false;
    }

    QXmlStreamReader xml(document);
    PendingEntry entry;
    bool inEntry = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringRef name = xml.name();
            if (name == XMLTranslator::parameterTag) {
                if (inEntry) {
                    xml.raiseError(QStringLiteral("\"%1\" inside another one")
                                       .arg(XMLTranslator::parameterTag));
                    break;
                }
                entry = PendingEntry();
                entry.line = xml.lineNumber();
                inEntry = true;
            } else if (inEntry && name == XMLTranslator::addressTag) {
                entry.address = xml.readElementText();
                entry.hasAddress = true;
            } else if (inEntry && name == XMLTranslator::valueTag) {
                entry.value = xml.readElementText();
                entry.hasValue = true;
            }
        } else if (xml.isEndElement() && xml.name() == XMLTranslator::parameterTag) {
            finishEntry(entry);
            inEntry = false;
        }
    }

    if (xml.hasError()) {
        m_entries.clear();
        // The reader's message may quote a name from the file.
        m_error = QStringLiteral("line %1: %2")
                      .arg(xml.lineNumber())
                      .arg(BoxQuote::cut(xml.errorString()));
        return false;
    }
    return true;
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

// The document as far as the reader is to see it: each part of it passes
// the bound before the reader is given any.
QByteArray ParameterFileReader::readBounded(QIODevice* device, StartTagBound* bound)
{
    QByteArray document;
    for (;;) {
        const QByteArray chunk = device->read(chunkBytes);
        if (chunk.isEmpty()) {
            bound->finish();
            return document;
        }
        document += chunk;
        if (!bound->take(chunk))
            return document;
    }
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
