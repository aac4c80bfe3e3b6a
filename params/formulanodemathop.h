#ifndef FORMULANODEMATHOP_H
#define FORMULANODEMATHOP_H

#include "formulanode.h"

// A binary operator node. Owns both operands.
class FormulaNodeMathOp : public FormulaNode
{
    Q_OBJECT

public:
    enum Operation {
        Add = 0,
        Subtract = 1,
        Multiply = 2,
        Divide = 3,
        Modulo = 4,
        Less = 5,
        Greater = 6,
        BitTest = 7,
        Unknown = 8
    };

    FormulaNodeMathOp(char op, FormulaNode* left, FormulaNode* right);
    ~FormulaNodeMathOp() override;

    static int charToOp(char op);

    double evaluate() override;
    int getNodeType() override { return OperatorNode; }
    void attachParameterChangedSignals() override;

    int getOperation() const { return m_operation; }
    FormulaNode* getLeft() const { return m_left; }
    FormulaNode* getRight() const { return m_right; }

private:
    int m_operation;
    FormulaNode* m_left;
    FormulaNode* m_right;
};

#endif // FORMULANODEMATHOP_H
