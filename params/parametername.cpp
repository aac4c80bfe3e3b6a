#include "parametername.h"

ParameterName::ParameterName(const QString& name, int address, int bit, QListWidget* list)
    : QListWidgetItem(name, list, QListWidgetItem::Type)
    , m_address(address)
    , m_bit(bit)
{
}
