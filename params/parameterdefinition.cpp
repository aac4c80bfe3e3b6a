#include "parameterdefinition.h"

ParameterDefinition::ParameterDefinition(
    const QString& name, int address, int defaultValue, const QString& scale, const QString& units,
    const QString& min, const QString& max, const QString& offset, int decimals, bool isSigned,
    bool read, bool write, bool saved, QMap<int, QString>* bitDefs, QMap<int, QString>* enumDefs,
    Type type, int accessLevel, double singleStep, const QString& tooltip, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_address(address)
    , m_default(defaultValue)
    , m_singleStep(singleStep)
    // A formula text is never empty: no scale means one raw unit per display unit.
    , m_scale(scale.isEmpty() ? QStringLiteral("1") : scale)
    , m_units(units)
    , m_min(min)
    , m_max(max)
    , m_offset(offset)
    , m_decimals(decimals)
    , m_isSigned(isSigned)
    , m_read(read)
    , m_write(write)
    , m_saved(saved)
    , m_bitDefs(bitDefs)
    , m_enumDefs(enumDefs)
    , m_type(type)
    , m_accessLevel(accessLevel)
    , m_tooltip(tooltip)
{
}

ParameterDefinition::~ParameterDefinition()
{
    delete m_bitDefs;
    delete m_enumDefs;
}
