#ifndef REGISTERSOURCE_H
#define REGISTERSOURCE_H

#include "registerentry.h"

#include <QJsonObject>
#include <QList>
#include <QStringList>

// Reads the annotated register list and checks it: member types, formula
// grammar, references, labels of enum and bit-vector registers, and the
// bookkeeping of documented and chosen attributes.
class RegisterSource
{
public:
    bool load(const QString& path);

    const QList<RegisterEntry>& entries() const { return registers; }
    const QStringList& errors() const { return problems; }

private:
    void readEntry(const QJsonObject& object);
    void checkFormulas(const RegisterEntry& entry);
    void checkLabels(const RegisterEntry& entry);
    void checkBookkeeping(const RegisterEntry& entry, const QJsonObject& object);
    void fail(int address, const QString& message);

    QList<RegisterEntry> registers;
    QStringList problems;
};

#endif // REGISTERSOURCE_H
