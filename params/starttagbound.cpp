#include "starttagbound.h"

namespace {

const QLatin1String commentStart("--");
const QLatin1String cdataStart("[CDATA[");
const QLatin1String documentTypeStart("DOCTYPE");
const QLatin1String namespaceAttribute("xmlns");
const QLatin1String prefixedNamespaceAttribute("xmlns:");

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

} // namespace

bool StartTagBound::take(const QByteArray& bytes)
{
    m_text.clear();
    if (!m_stopped) {
        m_text = m_decoder.take(bytes);
        scan(m_text);
    }
    return !m_stopped;
}

void StartTagBound::finish()
{
    m_text.clear();
    if (!m_stopped) {
        m_text = m_decoder.finish();
        scan(m_text);
    }
}

QString StartTagBound::refusalOf(const QByteArray& document)
{
    StartTagBound bound;
    if (bound.take(document))
        bound.finish();
    return bound.refusal();
}

// Every character the reader is given is looked at, also after one it
// fails at: it may get past that one.
void StartTagBound::scan(const QString& text)
{
    if (!m_decoder.refusal().isEmpty()) {
        refuse(1, m_decoder.refusal());
        return;
    }
    bool readerFails = m_decoder.failed();
    const int bad = m_decoder.badCharacterAt();
    for (int i = 0; i < text.size() && !m_stopped; ++i) {
        const QChar c = text.at(i);
        countLine(c);
        if (i == bad)
            m_badEncodingLine = m_line;
        readerFails = readerFails || c.isNull();
        // The bounds count characters: a surrogate pair is one.
        const bool newCharacter = !(c.isLowSurrogate() && m_afterHighSurrogate);
        m_afterHighSurrogate = c.isHighSurrogate();
        const bool inMarkup = m_state != State::Text;
        if (inMarkup) {
            scanMarkup(c);
        } else if (c == QLatin1Char('<')) {
            m_state = State::Markup;
            m_tagLine = m_line;
        }
        if (newCharacter) {
            countProlog();
            countRun(inMarkup);
        }
    }
    m_stopped = m_stopped || readerFails;
}

void StartTagBound::scanMarkup(QChar c)
{
    switch (m_state) {
    case State::Text:
        break;
    case State::Markup:
        if (c == QLatin1Char('!')) {
            m_state = State::Declaration;
            m_word.truncate(0);
        } else if (c == QLatin1Char('?')) {
            m_state = State::Instruction;
            m_run = 0;
        } else if (c == QLatin1Char('/')) {
            m_state = State::EndTag;
        } else {
            m_state = State::StartTag;
            m_attributes = 0;
            m_namespaces = 0;
            m_quote = QChar();
            m_afterSlash = false;
            m_word.truncate(0);
            m_word += c;
            m_wordEnded = false;
        }
        break;
    case State::Declaration:
        scanDeclaration(c);
        break;
    case State::Comment:
    case State::CData: {
        // "-->" and "]]>"
        const QChar closing = m_state == State::Comment ? QLatin1Char('-') : QLatin1Char(']');
        if (c == closing) {
            ++m_run;
            break;
        }
        if (c == QLatin1Char('>') && m_run >= 2)
            m_state = State::Text;
        m_run = 0;
        break;
    }
    case State::Instruction:
        if (c == QLatin1Char('>') && m_run == 1)
            m_state = State::Text;
        m_run = c == QLatin1Char('?') ? 1 : 0;
        break;
    case State::DocumentType:
        scanDocumentType(c);
        break;
    case State::EndTag:
        if (c == QLatin1Char('>'))
            endTagEnded();
        break;
    case State::StartTag:
        scanStartTag(c);
        break;
    }
}

// An element begins at its "<", as the name after it tells: one whose "<"
// is the last character within the bound is in time.
void StartTagBound::countProlog()
{
    if (m_prologCharacters < 0)
        return;
    if (m_state == State::StartTag) {
        m_prologCharacters = -1;
        return;
    }
    if (++m_prologCharacters > maxPrologCharacters)
        refuse(m_state == State::Text ? m_line : m_tagLine,
               QStringLiteral("no element begins within its first %1 characters")
                   .arg(maxPrologCharacters));
}

void StartTagBound::countRun(bool wasInMarkup)
{
    if ((m_state != State::Text) != wasInMarkup) {
        m_runCharacters = 0;
        m_runLine = m_line;
    } else if (++m_runCharacters > maxRunCharacters) {
        refuse(m_runLine,
               QStringLiteral("a comment, tag or text runs beyond %1 characters")
                   .arg(maxRunCharacters));
    }
}

// The reader counts a line break of two characters once.
void StartTagBound::countLine(QChar c)
{
    if (c == QLatin1Char('\n') && !m_afterReturn)
        ++m_line;
    else if (c == QLatin1Char('\r'))
        ++m_line;
    m_afterReturn = c == QLatin1Char('\r');
}

void StartTagBound::scanDeclaration(QChar c)
{
    m_word += c;
    m_run = 0;
    if (m_word == commentStart) {
        m_state = State::Comment;
    } else if (m_word == cdataStart) {
        m_state = State::CData;
    } else if (m_word == documentTypeStart) {
        m_state = State::DocumentType;
        m_quote = QChar();
    } else if (!commentStart.startsWith(m_word) && !cdataStart.startsWith(m_word)
               && !documentTypeStart.startsWith(m_word)) {
        m_state = State::DocumentType;
        m_quote = QChar();
        scanDocumentType(c);
    }
}

void StartTagBound::scanDocumentType(QChar c)
{
    if (!m_quote.isNull()) {
        if (c == m_quote)
            m_quote = QChar();
    } else if (isQuote(c)) {
        m_quote = c;
    } else if (c == QLatin1Char('[')) {
        refuse(m_line, QStringLiteral("the document type holds declarations of its own"));
    } else if (c == QLatin1Char('>')) {
        m_state = State::Text;
    }
}

// Outside quotes, each "=" gives one attribute; the name before it tells a
// namespace declaration.
void StartTagBound::scanStartTag(QChar c)
{
    if (!m_quote.isNull()) {
        if (c == m_quote) {
            m_quote = QChar();
            m_wordEnded = true;
        }
        return;
    }
    if (isQuote(c)) {
        m_quote = c;
        m_afterSlash = false;
    } else if (c == QLatin1Char('=')) {
        if (++m_attributes > maxAttributes) {
            refuse(m_tagLine,
                   QStringLiteral("an element carries more than %1 attributes").arg(maxAttributes));
            return;
        }
        if (m_word == namespaceAttribute || m_word.startsWith(prefixedNamespaceAttribute))
            ++m_namespaces;
        m_word.truncate(0);
        m_afterSlash = false;
    } else if (c == QLatin1Char('>')) {
        startTagEnded();
    } else if (XmlDocumentDecoder::isXmlSpace(c)) {
        m_wordEnded = true;
    } else {
        if (m_wordEnded)
            m_word.truncate(0);
        m_wordEnded = false;
        // Enough to tell "xmlns" and "xmlns:".
        if (m_word.size() < prefixedNamespaceAttribute.size())
            m_word += c;
        m_afterSlash = c == QLatin1Char('/');
    }
}

// The declarations of an element are in force for its own names too, and
// for those within it until its end tag.
void StartTagBound::startTagEnded()
{
    m_state = State::Text;
    if (m_namespacesInForce + m_namespaces > maxNamespaces) {
        refuse(m_tagLine,
               QStringLiteral("an element lies within more than %1 namespace declarations")
                   .arg(maxNamespaces));
        return;
    }
    if (m_afterSlash)
        return;
    m_openNamespaces.append(m_namespaces);
    m_namespacesInForce += m_namespaces;
}

void StartTagBound::endTagEnded()
{
    m_state = State::Text;
    if (!m_openNamespaces.isEmpty())
        m_namespacesInForce -= m_openNamespaces.takeLast();
}

void StartTagBound::refuse(qint64 line, const QString& why)
{
    m_refusal = QStringLiteral("line %1: %2").arg(line).arg(why);
    m_stopped = true;
}
