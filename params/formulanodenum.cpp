#include "formulanodenum.h"

FormulaNodeNum::FormulaNodeNum(double value)
    : m_value(value)
{
}
