#ifndef BOXQUOTE_H
#define BOXQUOTE_H

#include <QString>

// What a box quotes of a text it was given (a value, name or path from a
// file, a server text, a web address): at most maxLength characters on one
// line. A longer text keeps its start and its end around an ellipsis, so a
// path keeps its file name; line breaks and other control characters show
// as blanks. However large the input, the box lays out a few words.
namespace BoxQuote {

const int maxLength = 100;

QString cut(const QString& text);

} // namespace BoxQuote

#endif // BOXQUOTE_H
