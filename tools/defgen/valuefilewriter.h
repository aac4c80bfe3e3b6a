#ifndef VALUEFILEWRITER_H
#define VALUEFILEWRITER_H

#include <QByteArray>
#include <QList>
#include <QPair>

// Writes raw register values as a parameter file without notes: the XML
// declaration, the root element with its two schema namespaces, and one
// entry with Address and Value per register, indented by four blanks.
class ValueFileWriter
{
public:
    static QByteArray toXml(const QList<QPair<int, int>>& values);
};

#endif // VALUEFILEWRITER_H
