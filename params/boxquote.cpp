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

// The embeddings, overrides and isolates, and the marks of either
// direction: each turns the text that follows it, up to the end of the
// line, however far that lies beyond the quote.
bool turnsDirection(QChar c)
{
    const ushort code = c.unicode();
    return (code >= 0x202a && code <= 0x202e) || (code >= 0x2066 && code <= 0x2069)
        || code == 0x200e || code == 0x200f || code == 0x061c;
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// The separator before the last step of a path (a folder path may end in
// one); -1 when the text has none.
int lastStepSeparator(const QString& text)
{
    int end = text.size();
    while (end > 0 && isSeparator(text.at(end - 1)))
        --end;
    for (int i = end - 1; i >= 0; --i) {
        if (isSeparator(text.at(i)))
            return i;
    }
    return -1;
}

// At most `length` characters: two thirds from the start, the rest from
// the end.
QString keepStartAndEnd(const QString& text, int length)
{
    if (text.size() <= length)
        return text;
    int head = (length - 1) * 2 / 3;
    if (splitsPair(text, head))
        --head;
    int tailStart = text.size() - (length - 1 - head);
    if (splitsPair(text, tailStart))
        ++tailStart;
    return text.left(head) + ellipsis + text.mid(tailStart);
}

QString shortened(const QString& text)
{
    const int separator = lastStepSeparator(text);
    if (separator < 0)
        return keepStartAndEnd(text, maxLength);
    const QString name = text.mid(separator);
    // The name whole, after as much of the folders as leaves room for it;
    // the separator before it, then the ellipsis, give way to a long name.
    if (name.size() < maxLength) {
        int head = maxLength - 1 - name.size();
        if (splitsPair(text, head))
            --head;
        return text.left(head) + ellipsis + name;
    }
    if (name.size() == maxLength)
        return ellipsis + name.mid(1);
    if (name.size() == maxLength + 1)
        return name.mid(1);
    // The name alone is too long: the folders go where the cut would not
    // reach into the name anyway.
    if (separator >= (maxLength - 1) * 2 / 3)
        return ellipsis + keepStartAndEnd(name, maxLength - 1);
    return keepStartAndEnd(text, maxLength);
}

} // namespace

QString plain(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator || turnsDirection(c))
            c = QLatin1Char(' ');
    }
    return shown;
}

QString cut(const QString& text)
{
    return plain(text.size() <= maxLength ? text : shortened(text));
}

} // namespace BoxQuote
