#ifndef XMLDOCUMENTDECODER_H
#define XMLDOCUMENTDECODER_H

#include <QByteArray>
#include <QString>
#include <QTextCodec>

#include <memory>

class QTextDecoder;

// Decodes an XML document's bytes, as they come, into the characters the
// toolkit's XML reader takes them for: in the encoding the first bytes show
// (a byte order mark, or a first "<" of UTF-16, UTF-32 or EBCDIC), else
// UTF-8, or in the one the XML declaration names. A declaration of
// "UTF-16" or "UTF-32" names the family: the byte order stays the one the
// first bytes show.
//
// Where the declaration names an encoding in which the declaration itself
// reads otherwise (an ASCII declaration before a body in UTF-16 or EBCDIC),
// what the reader makes of the rest is not known here: the document is
// misdeclared.
class XmlDocumentDecoder
{
public:
    XmlDocumentDecoder();
    ~XmlDocumentDecoder();

    // The characters of the bytes given so far that could be decoded now;
    // none while the encoding is still undecided.
    QString take(const QByteArray& bytes);
    // What is left once the document has ended.
    QString finish();

    // The reader fails at what was taken: bytes that are not of the
    // encoding, or an encoding it does not know.
    bool failed() const { return m_failed; }
    // The declaration names an encoding the toolkit does not know.
    bool unknownEncoding() const { return m_unknownEncoding; }
    // Where in the characters last returned the first byte or unit not of
    // the encoding stands (as a replacement character, a surrogate not of a
    // pair, or the characters made of a UTF-32 unit beyond U+10FFFF); -1
    // where it is not.
    int badCharacterAt() const { return m_badAt; }
    // Why the document cannot be read in any encoding (a misdeclared one,
    // or UCS-4 in an unusual byte order); empty for one that can.
    QString refusal() const { return m_refusal; }

    // Blank, tab, carriage return and line feed: the white space of XML.
    static bool isXmlSpace(QChar c);

private:
    // Decides the encoding once the bytes taken show it (or, at the end,
    // with what there is); false while they do not.
    bool decide(bool atEnd);
    QString decodePending(bool atEnd = false);
    QString decode(const QByteArray& bytes, bool atEnd = false);
    void takeFirstCodec();

    // Until the encoding is decided: the bytes taken, and their text in
    // the encoding of the first bytes.
    QByteArray m_pending;
    QTextCodec* m_firstCodec = nullptr;
    std::unique_ptr<QTextDecoder> m_firstDecoder;
    QString m_firstText;
    int m_searchedTo = 0; // for the declaration's end

    // Once decided: the encoding, and where its decoding stands.
    QTextCodec* m_codec = nullptr;
    std::unique_ptr<QTextCodec::ConverterState> m_state;
    bool m_utf32 = false;
    bool m_bigEndianUnits = false;
    QByteArray m_unitBytes;  // of a UTF-32 unit the next piece ends
    QString m_heldSurrogate; // of a pair the next piece may end
    bool m_failed = false;
    bool m_unknownEncoding = false;
    bool m_badBytes = false;
    int m_badAt = -1;
    QString m_refusal;
};

#endif // XMLDOCUMENTDECODER_H
