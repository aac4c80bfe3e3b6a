#ifndef FORMULANODENUM_H
#define FORMULANODENUM_H

#include "formulanode.h"

// A number in a formula.
class FormulaNodeNum : public FormulaNode
{
    Q_OBJECT

public:
    explicit FormulaNodeNum(double value);

    double evaluate() override { return m_value; }
    int getNodeType() override { return NumberNode; }
    void attachParameterChangedSignals() override {}

private:
    double m_value;
};

#endif // FORMULANODENUM_H
