#include "xmldocumentdecoder.h"

#include <QRegularExpression>
#include <QTextCodec>

namespace {

const QChar byteOrderMark(0xfeff);
const QLatin1String declarationStart("<?xml");
const QLatin1String declarationEnd("?>");
// A declaration is a line; one that has not ended within this many
// characters is taken as undeclared, so that its bytes are not held on
// waiting for an end that may never come.
const int maxDeclarationCharacters = 4096;

// The encoding as the reader tells it from the first four bytes.
QTextCodec* codecOfFirstBytes(const QByteArray& bytes)
{
    if (bytes.size() < 4)
        return QTextCodec::codecForMib(106);
    const auto at = [&bytes](int i) { return uchar(bytes.at(i)); };
    int mib = 106; // UTF-8
    if ((at(0) == 0 && at(1) == 0 && at(2) == 0xfe && at(3) == 0xff)
        || (at(0) == 0xff && at(1) == 0xfe && at(2) == 0 && at(3) == 0))
        mib = 1017; // UTF-32 with a byte order mark
    else if (at(0) == 0x3c && at(1) == 0 && at(2) == 0 && at(3) == 0)
        mib = 1019; // UTF-32LE
    else if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) == 0x3c)
        mib = 1018; // UTF-32BE
    else if ((at(0) == 0xfe && at(1) == 0xff) || (at(0) == 0xff && at(1) == 0xfe))
        mib = 1015; // UTF-16 with a byte order mark
    else if (at(0) == 0x3c && at(1) == 0)
        mib = 1014; // UTF-16LE
    else if (at(0) == 0 && at(1) == 0x3c)
        mib = 1013; // UTF-16BE
    return QTextCodec::codecForMib(mib);
}

QString withoutByteOrderMark(QString text)
{
    if (text.startsWith(byteOrderMark))
        text.remove(0, 1);
    return text;
}

// The value of the declaration's "encoding"; empty when it names none.
QString declaredEncoding(const QString& declaration)
{
    static const QRegularExpression pseudoAttribute(
        QStringLiteral(R"(\s+([A-Za-z]+)\s*=\s*("[^"]*"|'[^']*'))"));
    for (int at = declarationStart.size();;) {
        const QRegularExpressionMatch match =
            pseudoAttribute.match(declaration, at, QRegularExpression::NormalMatch,
                                  QRegularExpression::AnchoredMatchOption);
        if (!match.hasMatch())
            return QString();
        if (match.capturedRef(1) == QLatin1String("encoding"))
            return match.captured(2).mid(1).chopped(1);
        at = match.capturedEnd();
    }
}

} // namespace

XmlDocumentDecoder::XmlDocumentDecoder() = default;

XmlDocumentDecoder::~XmlDocumentDecoder() = default;

bool XmlDocumentDecoder::isXmlSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
        || c == QLatin1Char('\n');
}

QString XmlDocumentDecoder::take(const QByteArray& bytes)
{
    m_badAt = -1;
    if (m_decoder)
        return decode(bytes);
    m_pending += bytes;
    if (m_firstDecoder) {
        m_firstText += m_firstDecoder->toUnicode(bytes);
    } else if (m_pending.size() >= 4) {
        m_firstCodec = codecOfFirstBytes(m_pending);
        m_firstDecoder.reset(m_firstCodec->makeDecoder());
        m_firstText = withoutByteOrderMark(m_firstDecoder->toUnicode(m_pending));
    }
    if (!m_firstDecoder || !decide(false))
        return QString();
    return decodePending();
}

QString XmlDocumentDecoder::finish()
{
    m_badAt = -1;
    if (m_decoder)
        return QString();
    if (!m_firstDecoder) {
        m_firstCodec = codecOfFirstBytes(m_pending);
        m_firstText = withoutByteOrderMark(m_firstCodec->toUnicode(m_pending));
    }
    decide(true);
    return decodePending();
}

// The declaration's start and a blank make a declaration, its end tells
// its encoding: the bytes wait for both, each decoded once.
bool XmlDocumentDecoder::decide(bool atEnd)
{
    const QString& text = m_firstText;
    if (!atEnd && text.size() <= declarationStart.size()
        && declarationStart.startsWith(text.left(declarationStart.size())))
        return false;
    const bool declared = text.size() > declarationStart.size() && text.startsWith(declarationStart)
        && isXmlSpace(text.at(declarationStart.size()));
    int end = -1;
    if (declared) {
        end = text.indexOf(declarationEnd, m_searchedTo);
        m_searchedTo = qMax(0, text.size() - 1);
        if (end < 0 && !atEnd && text.size() < maxDeclarationCharacters)
            return false;
    }

    QTextCodec* codec = m_firstCodec;
    const QString name = end < 0 ? QString() : declaredEncoding(text.left(end));
    if (!name.isEmpty()) {
        QTextCodec* named = QTextCodec::codecForName(name.toLatin1());
        if (!named) {
            m_failed = true;
        } else if (named != m_firstCodec) {
            const int declarationLength = end + declarationEnd.size();
            if (withoutByteOrderMark(named->toUnicode(m_pending)).left(declarationLength)
                != text.left(declarationLength))
                m_misdeclared = name;
            codec = named;
        }
    }
    m_decoder.reset(codec->makeDecoder());
    return true;
}

QString XmlDocumentDecoder::decodePending()
{
    QByteArray pending;
    pending.swap(m_pending);
    m_firstDecoder.reset();
    m_firstText.clear();
    return decode(pending);
}

QString XmlDocumentDecoder::decode(const QByteArray& bytes)
{
    const QString text = m_decoder->toUnicode(bytes);
    // The decoder tells only that it failed; the byte it failed at became
    // the first replacement character since.
    if (!m_badBytes && m_decoder->hasFailure()) {
        m_badBytes = true;
        m_badAt = qMax(0, text.indexOf(QChar(QChar::ReplacementCharacter)));
    }
    m_failed = m_failed || m_badBytes;
    return text;
}
