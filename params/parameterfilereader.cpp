#include "parameterfilereader.h"

#include "boxquote.h"
#include "xmltranslator.h"

#include <QXmlStreamReader>

namespace {

bool wholeNumber(const QString& text, int* number)
{
    bool ok = false;
    *number = text.trimmed().toInt(&ok, 10);
    return ok;
}

} // namespace

bool ParameterFileReader::read(QIODevice* device)
{
    m_entries.clear();
    m_skipped.clear();
    m_error.clear();

    QXmlStreamReader xml(device);
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
    if (!wholeNumber(entry.value, &parsed.value)) {
        m_skipped << where
                + QStringLiteral(": Value \"%1\" is not a whole number")
                      .arg(BoxQuote::cut(entry.value));
        return;
    }
    m_entries.append(parsed);
}
