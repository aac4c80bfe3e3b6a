#include "formulanodevar.h"

#include "parameter.h"

#include <limits>

FormulaNodeVar::FormulaNodeVar(Parameter* parameter)
    : m_parameter(parameter)
{
}

double FormulaNodeVar::evaluate()
{
    if (m_evaluating || !m_parameter)
        return std::numeric_limits<double>::quiet_NaN();
    m_evaluating = true;
    const double value = m_parameter->getValue();
    m_evaluating = false;
    return value;
}

void FormulaNodeVar::attachParameterChangedSignals()
{
    if (m_parameter)
        connect(m_parameter.data(), &Parameter::displayChanged,
                this, &FormulaNode::formulaParameterChanged);
}
