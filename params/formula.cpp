#include "formula.h"

#include "formulanode.h"
#include "numericconversion.h"

Formula::Formula(FormulaNode* root, QObject* parent)
    : QObject(parent)
    , m_root(root)
{
    attachParameterChangedSignals();
}

Formula::~Formula()
{
    delete m_root;
}

double Formula::evaluate()
{
    return m_root->evaluate();
}

double Formula::toDisplay(int raw)
{
    const double value = m_root->evaluate();
    if (value == 0.0) {
        m_isNaN = true;
        return -1.0;
    }
    m_isNaN = false;
    return raw / value;
}

int Formula::toMemory(double v)
{
    return truncateToInt(roundHalfUp(m_root->evaluate() * v));
}

void Formula::attachParameterChangedSignals()
{
    m_root->attachParameterChangedSignals();
    connect(m_root, &FormulaNode::formulaParameterChanged,
            this, &Formula::formulaParameterChanged);
}
