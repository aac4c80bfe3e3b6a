#include "formulanode.h"

FormulaNode::FormulaNode(QObject* parent)
    : QObject(parent)
{
}
