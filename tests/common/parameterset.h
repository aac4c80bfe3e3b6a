#ifndef PARAMETERSET_H
#define PARAMETERSET_H

#include "bitvector.h"
#include "enumparameter.h"
#include "formulaparser.h"
#include "parameter.h"
#include "parameterdefinition.h"
#include "parameterlibrary.h"

#include <QTemporaryFile>

// A small set of parameters built from definition-file text the way the
// device model builds its own: library, one parameter per definition by
// type, then the formulas in address order.
class ParameterSet
{
public:
    explicit ParameterSet(const QByteArray& json)
    {
        m_file.open();
        m_file.write(json);
        m_file.flush();
        m_library = new ParameterLibrary(m_file.fileName());
        const auto definitions = m_library->getAllDefinitions();
        for (ParameterDefinition* definition : definitions) {
            Parameter* parameter = nullptr;
            if (definition->getType() == ParameterDefinition::TypeBitVector)
                parameter = new BitVector(definition);
            else if (definition->getType() == ParameterDefinition::TypeEnum)
                parameter = new EnumParameter(definition);
            else
                parameter = new Parameter(definition);
            m_parameters.insert(definition->getAddress(), parameter);
        }
        m_formulasParsed = FormulaParser(m_parameters).parseAllFormulas();
    }

    ~ParameterSet()
    {
        qDeleteAll(m_parameters);
        delete m_library;
    }

    Parameter* operator[](int address) const { return m_parameters.value(address); }
    EnumParameter* enumAt(int address) const
    {
        return static_cast<EnumParameter*>((*this)[address]);
    }
    BitVector* bitsAt(int address) const { return static_cast<BitVector*>((*this)[address]); }
    const QMap<int, Parameter*>& parameters() const { return m_parameters; }
    ParameterLibrary* library() const { return m_library; }
    bool formulasParsed() const { return m_formulasParsed; }

private:
    QTemporaryFile m_file;
    ParameterLibrary* m_library = nullptr;
    QMap<int, Parameter*> m_parameters;
    bool m_formulasParsed = false;
};

// One register entry of a definition file with its required members.
inline QByteArray registerEntry(int address, const QByteArray& name, const QByteArray& members,
                                bool write = true)
{
    return "\"" + QByteArray::number(address) + "\": {\"name\": \"" + name
        + "\", \"read\": true, \"write\": " + (write ? "true" : "false") + ", \"saved\": true"
        + (members.isEmpty() ? QByteArray() : ", " + members) + "}";
}

inline QByteArray definitionFile(const QList<QByteArray>& entries)
{
    QByteArray json = "{";
    for (int i = 0; i < entries.size(); ++i)
        json += (i ? ",\n" : "\n") + entries.at(i);
    return json + "\n}";
}

#endif // PARAMETERSET_H
