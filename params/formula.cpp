#include "formula.h"

#include "formulanode.h"
#include "formulanodemathop.h"
#include "formulanodevar.h"
#include "numericconversion.h"
#include "parameter.h"

Formula::Formula(FormulaNode* root, QObject* parent)
    : QObject(parent)
    , m_root(root)
    , m_hasReferences(refersToRegisters(root))
{
    attachParameterChangedSignals();
}

Formula::~Formula()
{
    delete m_root;
}

// Register references make the value depend on other formulas: one
// evaluation then spans all of them.
double Formula::rootValue()
{
    if (!m_hasReferences)
        return m_root->evaluate();
    const FormulaNodeVar::Evaluation evaluation;
    return m_root->evaluate();
}

bool Formula::refersToRegisters(FormulaNode* node)
{
    if (node->getNodeType() == FormulaNode::RegisterNode)
        return true;
    auto* operation = qobject_cast<FormulaNodeMathOp*>(node);
    return operation
        && (refersToRegisters(operation->getLeft()) || refersToRegisters(operation->getRight()));
}

QList<Parameter*> Formula::referencedParameters() const
{
    QList<Parameter*> parameters;
    collectReferences(m_root, &parameters);
    return parameters;
}

void Formula::collectReferences(FormulaNode* node, QList<Parameter*>* parameters)
{
    if (auto* reference = qobject_cast<FormulaNodeVar*>(node)) {
        Parameter* parameter = reference->getParameter();
        if (parameter && !parameters->contains(parameter))
            parameters->append(parameter);
    } else if (auto* operation = qobject_cast<FormulaNodeMathOp*>(node)) {
        collectReferences(operation->getLeft(), parameters);
        collectReferences(operation->getRight(), parameters);
    }
}

double Formula::evaluate()
{
    return rootValue();
}

double Formula::toDisplay(int raw)
{
    const double value = rootValue();
    if (value == 0.0) {
        m_isNaN = true;
        return -1.0;
    }
    m_isNaN = false;
    return raw / value;
}

int Formula::toMemory(double v)
{
    return truncateToInt(roundHalfUp(rootValue() * v));
}

void Formula::attachParameterChangedSignals()
{
    m_root->attachParameterChangedSignals();
    connect(m_root, &FormulaNode::formulaParameterChanged, this, &Formula::formulaParameterChanged);
}
