#include "boxquote.h"

namespace BoxQuote {

namespace {

const QChar ellipsis(0x2026);

// Whether a cut at `at` falls between the two halves of a surrogate pair,
// which would leave half a character.
bool splitsPair(const QString& text, int at)
{
    return at > 0 && at < text.size() && text.at(at).isLowSurrogate()
        && text.at(at - 1).isHighSurrogate();
}

QString onOneLine(QString text)
{
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

QString cut(const QString& text)
{
    if (text.size() <= maxLength)
        return onOneLine(text);
    int head = (maxLength - 1) * 2 / 3;
    if (splitsPair(text, head))
        --head;
    int tailStart = text.size() - (maxLength - 1 - head);
    if (splitsPair(text, tailStart))
        ++tailStart;
    return onOneLine(text.left(head) + ellipsis + text.mid(tailStart));
}

} // namespace BoxQuote
