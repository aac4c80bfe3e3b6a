#ifndef STDOUTLINE_H
#define STDOUTLINE_H

class QString;

// Writes one diagnostic line to standard output and flushes it, so the line
// is visible at once even when standard output is not a terminal.
void printStdoutLine(const QString& text);

#endif // STDOUTLINE_H
