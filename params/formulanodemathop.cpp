#include "formulanodemathop.h"

#include "numericconversion.h"

#include <QCoreApplication>
#include <QDebug>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();

// Integer remainder of the truncated operands; not a number where the
// integers do not exist or the divisor is 0.
double truncatedRemainder(double left, double right)
{
    if (!fitsInInt(left) || !fitsInInt(right))
        return notANumber;
    const int dividend = static_cast<int>(left);
    const int divisor = static_cast<int>(right);
    if (divisor == 0)
        return notANumber;
    if (divisor == -1) // avoids the overflow of INT_MIN % -1
        return 0.0;
    return static_cast<double>(dividend % divisor);
}

// Bit number `right` (taken modulo 32) of the truncated left operand.
double bitTest(double left, double right)
{
    if (!fitsInInt(left) || !fitsInInt(right))
        return notANumber;
    const auto value = static_cast<std::uint32_t>(static_cast<int>(left));
    const int bit = static_cast<int>(right) & 31;
    return ((value >> bit) & 1u) ? 1.0 : 0.0;
}

} // namespace

FormulaNodeMathOp::FormulaNodeMathOp(char op, FormulaNode* left, FormulaNode* right)
    : m_operation(charToOp(op))
    , m_left(left)
    , m_right(right)
{
}

FormulaNodeMathOp::~FormulaNodeMathOp()
{
    delete m_left;
    delete m_right;
}

int FormulaNodeMathOp::charToOp(char op)
{
    switch (op) {
    case '+':
        return Add;
    case '-':
        return Subtract;
    case '*':
        return Multiply;
    case '/':
        return Divide;
    case '%':
        return Modulo;
    case '<':
        return Less;
    case '>':
        return Greater;
    case 'b':
        return BitTest;
    default:
        return Unknown;
    }
}

double FormulaNodeMathOp::evaluate()
{
    const double left = m_left->evaluate();
    const double right = m_right->evaluate();
    switch (m_operation) {
    case Add:
        return left + right;
    case Subtract:
        return left - right;
    case Multiply:
        return left * right;
    case Divide:
        return left / right;
    case Modulo:
        return truncatedRemainder(left, right);
    case Less:
        return left < right ? 1.0 : 0.0;
    case Greater:
        return left > right ? 1.0 : 0.0;
    case BitTest:
        return bitTest(left, right);
    default:
        qDebug() << "unknown math operation called";
        QCoreApplication::quit();
        return 0.0;
    }
}

void FormulaNodeMathOp::attachParameterChangedSignals()
{
    m_left->attachParameterChangedSignals();
    m_right->attachParameterChangedSignals();
    connect(m_left, &FormulaNode::formulaParameterChanged, this,
            &FormulaNode::formulaParameterChanged);
    connect(m_right, &FormulaNode::formulaParameterChanged, this,
            &FormulaNode::formulaParameterChanged);
}
