#ifndef FORMULANODE_H
#define FORMULANODE_H

#include <QObject>

// One node of a formula's expression tree.
class FormulaNode : public QObject
{
    Q_OBJECT

public:
    enum NodeType { OperatorNode = 0, NumberNode = 1, RegisterNode = 2 };

    explicit FormulaNode(QObject* parent = nullptr);

    virtual double evaluate() = 0;
    virtual int getNodeType() = 0;
    // Wires the subtree so that a display change of any register it refers
    // to reaches this node's formulaParameterChanged().
    virtual void attachParameterChangedSignals() = 0;

signals:
    void formulaParameterChanged();
};

#endif // FORMULANODE_H
