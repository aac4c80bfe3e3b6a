#ifndef FORMULANODEVAR_H
#define FORMULANODEVAR_H

#include "formulanode.h"

#include <QPointer>

class Parameter;

// A register reference in a formula; stands for the register's display value.
class FormulaNodeVar : public FormulaNode
{
    Q_OBJECT

public:
    explicit FormulaNodeVar(Parameter* parameter);

    // Not a number when the reference leads back to itself through a chain
    // of formulas, or when the parameter no longer exists.
    double evaluate() override;
    int getNodeType() override { return RegisterNode; }
    void attachParameterChangedSignals() override;

    Parameter* getParameter() const { return m_parameter; }

private:
    QPointer<Parameter> m_parameter;
    bool m_evaluating = false;
};

#endif // FORMULANODEVAR_H
