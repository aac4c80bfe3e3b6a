#include "formulaexpression.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

struct FormulaExpression::Node
{
    enum Kind { Number, Reference, Operation };
    Kind kind = Number;
    double number = 0.0;
    int address = -1;
    QChar op;
    std::unique_ptr<Node> left;
    std::unique_ptr<Node> right;
};

namespace {

const QString operatorCharacters = QStringLiteral("+-*/%<>b");

const QRegularExpression& numberPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\+|\\-)?\\d+(\\.\\d+)?"));
    return pattern;
}

const QRegularExpression& referencePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^p\\[(\\d{1,3})\\]"));
    return pattern;
}

// Length of the parenthesised group starting at start, scanned like the
// suite's parser: after the "(" count nesting and stop at the first other
// character met at depth 0. -1 when the group never closes.
int groupLength(const QString& text, int start)
{
    int depth = 1;
    int i = start + 1;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (depth == 0)
            break;
    }
    return depth == 0 ? i - start : -1;
}

int anchoredMatchLength(const QRegularExpression& pattern, const QString& text, int position)
{
    const QRegularExpressionMatch match = pattern.match(text.mid(position));
    return match.hasMatch() ? match.capturedLength() : 0;
}

int toInt32(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (truncated < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(truncated);
}

} // namespace

static std::unique_ptr<FormulaExpression::Node> parseText(QString text, QString* error);

static std::unique_ptr<FormulaExpression::Node> parseOperand(const QString& operand, QString* error)
{
    using N = FormulaExpression::Node;
    if (operand.startsWith(QLatin1Char('(')))
        return parseText(operand, error);
    auto node = std::make_unique<N>();
    if (anchoredMatchLength(numberPattern(), operand, 0) == operand.size()) {
        node->kind = N::Number;
        node->number = operand.toDouble();
        return node;
    }
    const QRegularExpressionMatch match = referencePattern().match(operand);
    if (match.hasMatch() && match.capturedLength() == operand.size()) {
        node->kind = N::Reference;
        node->address = match.captured(1).toInt();
        return node;
    }
    *error = QStringLiteral("\"%1\" is neither a number nor a register reference").arg(operand);
    return nullptr;
}

static std::unique_ptr<FormulaExpression::Node> parseText(QString text, QString* error)
{
    using N = FormulaExpression::Node;
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    while (text.startsWith(QLatin1Char('(')) && groupLength(text, 0) == text.size())
        text = text.mid(1, text.size() - 2);
    if (text.isEmpty()) {
        *error = QStringLiteral("empty formula");
        return nullptr;
    }

    QStringList operands;
    QString operators;
    int position = 0;
    while (true) {
        if (position >= text.size()) {
            *error = QStringLiteral("\"%1\" ends in an operator").arg(text);
            return nullptr;
        }
        int length = anchoredMatchLength(numberPattern(), text, position);
        if (length == 0 && text.at(position) == QLatin1Char('(')) {
            length = groupLength(text, position);
            if (length < 0) {
                *error = QStringLiteral("unbalanced parentheses in \"%1\"").arg(text);
                return nullptr;
            }
        }
        if (length == 0)
            length = anchoredMatchLength(referencePattern(), text, position);
        if (length == 0) {
            *error =
                QStringLiteral("no number or register reference at \"%1\"").arg(text.mid(position));
            return nullptr;
        }
        operands << text.mid(position, length);
        position += length;
        if (position == text.size())
            break;
        const QChar op = text.at(position);
        if (!operatorCharacters.contains(op)) {
            *error = QStringLiteral("unknown operator '%1' in \"%2\"").arg(op).arg(text);
            return nullptr;
        }
        operators += op;
        ++position;
    }

    if (operators.isEmpty())
        return parseOperand(operands.first(), error);

    // Split at the last loosest operator so that one level groups from the left.
    int split = -1;
    for (int i = operators.size() - 1; i >= 0 && split < 0; --i) {
        if (operators.at(i) == QLatin1Char('+') || operators.at(i) == QLatin1Char('-'))
            split = i;
    }
    if (split < 0)
        split = operators.size() - 1;

    QString leftText = operands.first();
    for (int i = 0; i < split; ++i)
        leftText += operators.at(i) + operands.at(i + 1);
    QString rightText = operands.at(split + 1);
    for (int i = split + 1; i < operators.size(); ++i)
        rightText += operators.at(i) + operands.at(i + 1);

    auto node = std::make_unique<N>();
    node->kind = N::Operation;
    node->op = operators.at(split);
    node->left = parseText(leftText, error);
    if (!node->left)
        return nullptr;
    node->right = parseText(rightText, error);
    if (!node->right)
        return nullptr;
    if (node->op == QLatin1Char('%') && node->right->kind == N::Number
        && toInt32(node->right->number) == 0) {
        *error = QStringLiteral("\"%\" by zero in \"%1\"").arg(text);
        return nullptr;
    }
    return node;
}

static void collectReferences(const FormulaExpression::Node* node, QList<int>* addresses)
{
    if (!node)
        return;
    if (node->kind == FormulaExpression::Node::Reference)
        addresses->append(node->address);
    collectReferences(node->left.get(), addresses);
    collectReferences(node->right.get(), addresses);
}

static double evaluateNode(const FormulaExpression::Node* node,
                           const std::function<double(int)>& reference)
{
    using N = FormulaExpression::Node;
    switch (node->kind) {
    case N::Number:
        return node->number;
    case N::Reference:
        return reference(node->address);
    case N::Operation:
        break;
    }
    const double left = evaluateNode(node->left.get(), reference);
    const double right = evaluateNode(node->right.get(), reference);
    switch (node->op.toLatin1()) {
    case '+':
        return left + right;
    case '-':
        return left - right;
    case '*':
        return left * right;
    case '/':
        return left / right;
    case '<':
        return left < right ? 1.0 : 0.0;
    case '>':
        return left > right ? 1.0 : 0.0;
    case '%': {
        if (!std::isfinite(left) || !std::isfinite(right) || toInt32(right) == 0)
            return std::numeric_limits<double>::quiet_NaN();
        return static_cast<double>(toInt32(left) % toInt32(right));
    }
    case 'b': {
        if (!std::isfinite(left) || !std::isfinite(right))
            return std::numeric_limits<double>::quiet_NaN();
        const unsigned bits = static_cast<unsigned>(toInt32(left));
        return ((bits >> (static_cast<unsigned>(toInt32(right)) % 32u)) & 1u) ? 1.0 : 0.0;
    }
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

FormulaExpression::FormulaExpression() = default;
FormulaExpression::~FormulaExpression() = default;
FormulaExpression::FormulaExpression(FormulaExpression&& other) noexcept = default;
FormulaExpression& FormulaExpression::operator=(FormulaExpression&& other) noexcept = default;

bool FormulaExpression::parse(const QString& text, QString* error)
{
    QString reason;
    root = parseText(text, &reason);
    if (!root && error)
        *error = reason;
    return root != nullptr;
}

bool FormulaExpression::isValid() const
{
    return root != nullptr;
}

QList<int> FormulaExpression::references() const
{
    QList<int> addresses;
    collectReferences(root.get(), &addresses);
    return addresses;
}

double FormulaExpression::evaluate(const std::function<double(int)>& reference) const
{
    if (!root)
        return std::numeric_limits<double>::quiet_NaN();
    return evaluateNode(root.get(), reference);
}
