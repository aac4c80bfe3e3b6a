#ifndef DEFINITIONFILEWRITER_H
#define DEFINITIONFILEWRITER_H

#include "registerentry.h"

#include <QByteArray>
#include <QList>

// Writes a definition file: one object keyed by register address, entries in
// ascending address order, members in the order the suite reads them.
// Formulas are written as strings, so no number turns into an exponent text.
class DefinitionFileWriter
{
public:
    static QByteArray toJson(const QList<RegisterEntry>& entries);

private:
    static QByteArray entryToJson(const RegisterEntry& entry);
    static QByteArray quoted(const QString& text);
    static QByteArray labelsToJson(const QMap<int, QString>& labels);
};

#endif // DEFINITIONFILEWRITER_H
