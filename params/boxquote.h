#ifndef BOXQUOTE_H
#define BOXQUOTE_H

#include <QString>

// What a box quotes of a text it was given (a value, name or path from a
// file, a server text, a web address): at most maxLength characters on one
// line. A longer text keeps its start and its end around an ellipsis; a
// path gives up its folders first and keeps its file name whole, unless
// the name alone is longer. Line breaks, other control characters and
// the marks that turn the writing direction show as blanks, so nothing
// quoted acts on the words around it. However large the input, the box
// lays out a few words.
namespace BoxQuote {

const int maxLength = 100;

QString cut(const QString& text);

// The text as a list shows a name on its own (a drop-down's item): whole,
// with its control and direction characters blanked.
QString plain(const QString& text);

} // namespace BoxQuote

#endif // BOXQUOTE_H
