#include "xmldocumentdecoder.h"

#include "boxquote.h"

#include <QRegularExpression>
#include <QTextCodec>
#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace {

const QChar byteOrderMark(0xfeff);
const QLatin1String declarationStart("<?xml");
const QLatin1String declarationEnd("?>");
// A declaration is a line; one that has not ended within this many
// characters is taken as undeclared, so that its bytes are not held on
// waiting for an end that may never come.
const int maxDeclarationCharacters = 4096;

const int utf8Mib = 106;
const int utf16BeMib = 1013;
const int utf16LeMib = 1014;
const int utf16Mib = 1015; // the byte order its mark shows
const int utf32Mib = 1017;
const int utf32BeMib = 1018;
const int utf32LeMib = 1019;
const char* const ebcdicName = "IBM037";

// The encoding the first four bytes show, by the XML rules; null for UCS-4
// in an unusual byte order, which *unusualOrder then names.
QTextCodec* codecOfFirstBytes(const QByteArray& bytes, QString* unusualOrder)
{
    if (bytes.size() < 4)
        return QTextCodec::codecForMib(utf8Mib);
    const quint32 first = qFromBigEndian<quint32>(bytes.constData());
    switch (first) {
    case 0x0000feff: // byte order marks
    case 0xfffe0000:
        return QTextCodec::codecForMib(utf32Mib);
    case 0x0000003c: // "<"
        return QTextCodec::codecForMib(utf32BeMib);
    case 0x3c000000:
        return QTextCodec::codecForMib(utf32LeMib);
    case 0x0000fffe:
    case 0x00003c00:
        *unusualOrder = QStringLiteral("2143");
        return nullptr;
    case 0xfeff0000:
    case 0x003c0000:
        *unusualOrder = QStringLiteral("3412");
        return nullptr;
    case 0x4c6fa794: // "<?xm"; the declaration names the variant
        if (QTextCodec* ebcdic = QTextCodec::codecForName(ebcdicName))
            return ebcdic;
        break;
    default:
        break;
    }
    const quint32 firstTwo = first >> 16;
    if (firstTwo == 0xfeff || firstTwo == 0xfffe)
        return QTextCodec::codecForMib(utf16Mib);
    if (firstTwo == 0x3c00)
        return QTextCodec::codecForMib(utf16LeMib);
    if (firstTwo == 0x003c)
        return QTextCodec::codecForMib(utf16BeMib);
    return QTextCodec::codecForMib(utf8Mib);
}

// "UTF-16" and "UTF-32" name a family whose byte order the first bytes
// show: the reader keeps that order.
bool namesFamilyOf(const QTextCodec* named, const QTextCodec* first)
{
    const int family = named->mibEnum();
    const int member = first->mibEnum();
    if (family == utf16Mib)
        return member == utf16BeMib || member == utf16LeMib;
    if (family == utf32Mib)
        return member == utf32BeMib || member == utf32LeMib;
    return false;
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

// Where a decoder stood before a piece, so that the piece can be decoded
// again from there. Codecs that keep their state elsewhere (d) cannot be.
struct SavedState
{
    explicit SavedState(const QTextCodec::ConverterState& state)
        : flags(state.flags)
        , remainingChars(state.remainingChars)
        , data{state.state_data[0], state.state_data[1], state.state_data[2]}
        , restorable(state.d == nullptr && !(state.flags & QTextCodec::FreeFunction))
    {
    }

    // The characters of bytes decoded from where the decoder stood.
    QString decodeAgain(const QTextCodec* codec, const char* bytes, int size,
                        QTextCodec::ConversionFlags extraFlags = {}) const
    {
        QTextCodec::ConverterState again(flags | extraFlags);
        again.remainingChars = remainingChars;
        std::copy(std::begin(data), std::end(data), again.state_data);
        return codec->toUnicode(bytes, size, &again);
    }

    QTextCodec::ConversionFlags flags;
    int remainingChars;
    uint data[3];
    bool restorable;
};

// The index in text, the piece's characters, of its first byte not of the
// encoding: the piece is decoded again with such bytes as NUL, so that a
// replacement character the file itself holds is told from one of a bad
// byte. Where that cannot be, the first replacement character.
int firstBadCharacter(const QTextCodec* codec, const QByteArray& piece, const QString& text,
                      const SavedState& before)
{
    if (before.restorable) {
        const QString marked = before.decodeAgain(codec, piece.constData(), piece.size(),
                                                  QTextCodec::ConvertInvalidToNull);
        const int size = qMin(text.size(), marked.size());
        for (int i = 0; i < size; ++i) {
            if (text.at(i) != marked.at(i))
                return i;
        }
    }
    return qMax(0, text.indexOf(QChar(QChar::ReplacementCharacter)));
}

// The first surrogate of text that is not one of a pair; -1 where there is
// none. The toolkit's UTF-16 decoder passes such a unit on, and the reader
// would take it for another character.
int firstLoneSurrogate(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return i;
    }
    return -1;
}

// The index in the characters of bytes of the first UTF-32 unit that is no
// character (beyond U+10FFFF, or a surrogate), of which the toolkit's
// decoder makes some character all the same; 0 for one begun in the piece
// before, -1 where there is none.
int firstBadUtf32Unit(const QTextCodec* codec, const QByteArray& begun, const QByteArray& bytes,
                      bool bigEndian, const SavedState& before)
{
    const QByteArray units = begun + bytes;
    for (int at = 0; at + 4 <= units.size(); at += 4) {
        const char* unitAt = units.constData() + at;
        const quint32 unit =
            bigEndian ? qFromBigEndian<quint32>(unitAt) : qFromLittleEndian<quint32>(unitAt);
        if (unit <= 0x10ffff && !QChar::isSurrogate(unit))
            continue;
        const int byteAt = at - begun.size();
        return byteAt > 0 && before.restorable
            ? before.decodeAgain(codec, bytes.constData(), byteAt).size()
            : 0;
    }
    return -1;
}

// The earlier of two indexes, -1 for none.
int earlier(int one, int other)
{
    return one < 0 || (other >= 0 && other < one) ? other : one;
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
    if (m_state)
        return decode(bytes);
    m_pending += bytes;
    if (m_firstDecoder) {
        m_firstText += m_firstDecoder->toUnicode(bytes);
    } else if (m_pending.size() >= 4) {
        takeFirstCodec();
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
    if (m_state)
        return decode(QByteArray(), true);
    if (!m_firstDecoder) {
        takeFirstCodec();
        m_firstText = withoutByteOrderMark(m_firstCodec->toUnicode(m_pending));
    }
    decide(true);
    return decodePending(true);
}

// UCS-4 in an unusual byte order is refused; what the reader is given
// then does not matter.
void XmlDocumentDecoder::takeFirstCodec()
{
    QString unusualOrder;
    m_firstCodec = codecOfFirstBytes(m_pending, &unusualOrder);
    if (m_firstCodec)
        return;
    m_refusal = QStringLiteral("the file is in UCS-4 with the unusual byte order %1, which "
                               "the suite does not read")
                    .arg(unusualOrder);
    m_failed = true;
    m_firstCodec = QTextCodec::codecForMib(utf8Mib);
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
            m_unknownEncoding = true;
        } else if (named != m_firstCodec && !namesFamilyOf(named, m_firstCodec)) {
            const int declarationLength = end + declarationEnd.size();
            if (m_refusal.isEmpty()
                && withoutByteOrderMark(named->toUnicode(m_pending)).left(declarationLength)
                    != text.left(declarationLength))
                m_refusal = QStringLiteral("the file is not written in the encoding it declares "
                                           "(%1)")
                                .arg(BoxQuote::cut(name));
            codec = named;
        }
    }
    m_codec = codec;
    m_state.reset(new QTextCodec::ConverterState);
    const int mib = codec->mibEnum();
    m_utf32 = mib == utf32Mib || mib == utf32BeMib || mib == utf32LeMib;
    m_bigEndianUnits = mib == utf32BeMib
        || (mib == utf32Mib && !m_pending.startsWith(QByteArray("\xff\xfe\0\0", 4)));
    return true;
}

QString XmlDocumentDecoder::decodePending(bool atEnd)
{
    QByteArray pending;
    pending.swap(m_pending);
    m_firstDecoder.reset();
    m_firstText.clear();
    return decode(pending, atEnd);
}

// A high surrogate that ends the piece is held back until the next piece
// shows whether it is of a pair.
QString XmlDocumentDecoder::decode(const QByteArray& bytes, bool atEnd)
{
    const SavedState before(*m_state);
    const QString decoded = m_codec->toUnicode(bytes.constData(), bytes.size(), m_state.get());
    const int held = m_heldSurrogate.size();
    QString text = m_heldSurrogate + decoded;
    m_heldSurrogate.clear();
    const bool endsInHigh = !atEnd && !text.isEmpty() && QChar(text.back()).isHighSurrogate();
    if (!m_badBytes) {
        m_badAt = firstLoneSurrogate(endsInHigh ? text.chopped(1) : text);
        if (m_state->invalidChars > 0)
            m_badAt = earlier(m_badAt, held + firstBadCharacter(m_codec, bytes, decoded, before));
        if (m_utf32) {
            const int badUnit =
                firstBadUtf32Unit(m_codec, m_unitBytes, bytes, m_bigEndianUnits, before);
            m_badAt = earlier(m_badAt, badUnit < 0 ? -1 : held + badUnit);
        }
        m_badBytes = m_badAt >= 0;
    }
    if (m_utf32) {
        const QByteArray units = m_unitBytes + bytes;
        m_unitBytes = units.right(units.size() % 4);
    }
    if (endsInHigh && !m_badBytes) {
        m_heldSurrogate = text.back();
        text.chop(1);
    }
    m_failed = m_failed || m_badBytes;
    return text;
}
