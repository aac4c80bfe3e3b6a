#ifndef STARTTAGBOUND_H
#define STARTTAGBOUND_H

#include "xmldocumentdecoder.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QVector>

// Bounds what the start tags of a document may carry before the toolkit's
// XML reader sees it. The reader's time grows with the square of one start
// tag's attributes, with the namespace declarations in force for every name
// it resolves, and, for every start tag, with each attribute a document type
// declares; entities a document type declares may bring start tags of their
// own. A parameter file needs none of that: its root carries two namespace
// declarations and its entries nothing.
//
// The document is taken as it is read. It is refused by a start tag with
// more than maxAttributes attributes or within more than maxNamespaces
// namespace declarations, by a document type with declarations of its own,
// by an XML declaration that names an encoding in which the declaration
// itself reads otherwise (what the reader makes of the rest is unknown)
// or by UCS-4 in an unusual byte order, by a first element that has not
// begun within maxPrologCharacters (a parameter file's root comes at once),
// and by a comment, tag or run of text longer than maxRunCharacters: the
// reader holds each whole, however large. Both count characters, not
// UTF-16 units.
class StartTagBound
{
public:
    static const int maxAttributes = 32;
    static const int maxNamespaces = 32;
    static const int maxPrologCharacters = 128 * 1024;
    static const int maxRunCharacters = 16 * 1024 * 1024;

    // Takes the document's next bytes. False once reading on is of no use:
    // the document is refused, holds what the reader fails at and reports
    // (a NUL character, an encoding it does not know) or bytes not of its
    // encoding (badEncodingLine()).
    bool take(const QByteArray& bytes);
    // Takes what is left once the document has ended.
    void finish();
    // The characters of the bytes last taken (or of finish()), as the
    // reader is to see them.
    const QString& text() const { return m_text; }
    // The line of the first byte not of the document's encoding; 0 while
    // there is none.
    qint64 badEncodingLine() const { return m_badEncodingLine; }
    // The document declares an encoding the reader does not know.
    bool encodingUnknown() const { return m_decoder.unknownEncoding(); }

    // Why the document is refused, after the line of the refusal
    // ("line 3: ..."); empty while it is not.
    QString refusal() const { return m_refusal; }

    // The refusal of a whole document; empty when it is not refused.
    static QString refusalOf(const QByteArray& document);

private:
    enum class State {
        Text,
        Markup,      // after "<"
        Declaration, // after "<!"
        Comment,
        CData,
        DocumentType, // or another declaration, which the reader refuses
        Instruction,
        EndTag,
        StartTag
    };

    void scan(const QString& text);
    void countLine(QChar c);
    void countProlog();
    void countRun(bool wasInMarkup);
    void scanMarkup(QChar c);
    void scanDeclaration(QChar c);
    void scanDocumentType(QChar c);
    void scanStartTag(QChar c);
    void startTagEnded();
    void endTagEnded();
    void refuse(qint64 line, const QString& why);

    XmlDocumentDecoder m_decoder;
    QString m_text;
    qint64 m_badEncodingLine = 0;
    State m_state = State::Text;
    bool m_stopped = false;
    QString m_refusal;
    qint64 m_line = 1;
    bool m_afterReturn = false;
    bool m_afterHighSurrogate = false;
    qint64 m_prologCharacters = 0; // before the first start tag; -1 once it has begun
    qint64 m_runCharacters = 0;    // of the text or markup being read
    qint64 m_runLine = 1;
    qint64 m_tagLine = 1;
    QString m_word; // of a declaration, of a start tag's name being read
    bool m_wordEnded = false;
    int m_run = 0; // of the characters that end a comment, CDATA or instruction
    QChar m_quote; // that opened the quoted text being read; null outside
    bool m_afterSlash = false;
    int m_attributes = 0;
    int m_namespaces = 0;
    // Namespace declarations of each open element, and their sum.
    QVector<int> m_openNamespaces;
    int m_namespacesInForce = 0;
};

#endif // STARTTAGBOUND_H
