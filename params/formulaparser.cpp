#include "formulaparser.h"

#include "formula.h"
#include "formulanodemathop.h"
#include "formulanodenum.h"
#include "formulanodevar.h"
#include "parameter.h"
#include "stdoutline.h"

#include <algorithm>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int digitsAt(const QString& text, int position)
{
    int count = 0;
    while (position + count < text.size() && isAsciiDigit(text.at(position + count)))
        ++count;
    return count;
}

// Length of a number at the position: optional sign, digits, optional
// fraction (no exponent); 0 when none stands there.
int numberLength(const QString& text, int position)
{
    int length = 0;
    if (position < text.size()
        && (text.at(position) == QLatin1Char('+') || text.at(position) == QLatin1Char('-')))
        ++length;
    const int whole = digitsAt(text, position + length);
    if (whole == 0)
        return 0;
    length += whole;
    if (position + length < text.size() && text.at(position + length) == QLatin1Char('.')) {
        const int fraction = digitsAt(text, position + length + 1);
        if (fraction > 0)
            length += 1 + fraction;
    }
    return length;
}

// True when a "(" stands at the position with a ")" somewhere after it.
bool groupStartsAt(const QString& text, int position)
{
    return position < text.size() && text.at(position) == QLatin1Char('(')
        && text.indexOf(QLatin1Char(')'), position + 1) > position;
}

// Length of a register reference "p[N]" (one to three digits) at the
// position; 0 when none stands there.
int registerLength(const QString& text, int position)
{
    if (position + 1 >= text.size() || text.at(position) != QLatin1Char('p')
        || text.at(position + 1) != QLatin1Char('['))
        return 0;
    const int digits = digitsAt(text, position + 2);
    const int close = position + 2 + digits;
    if (digits < 1 || digits > 3 || close >= text.size() || text.at(close) != QLatin1Char(']'))
        return 0;
    return digits + 3;
}

// Length of the parenthesised group that begins at start: the scan starts
// after the "(" with a depth of 1 and stops at the first character that is
// no parenthesis met at depth 0, or at the end of the text.
int groupLength(const QString& text, int start)
{
    int depth = 1;
    int position = start + 1;
    for (; position < text.size(); ++position) {
        const QChar c = text.at(position);
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (depth == 0)
            break;
    }
    return position - start;
}

// "1 0" reads as "10": white space may stand anywhere.
QString withoutWhiteSpace(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSpace(); }))
        return text;
    QString cleaned;
    cleaned.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            cleaned.append(c);
    }
    return cleaned;
}

} // namespace

FormulaParser::FormulaParser(const QMap<int, Parameter*>& parameters, QObject* parent)
    : QObject(parent)
    , m_parameters(parameters)
{
}

bool FormulaParser::parseAllFormulas()
{
    for (Parameter* parameter : qAsConst(m_parameters)) {
        if (!parseSingleFormula(parameter))
            return false;
    }
    return true;
}

bool FormulaParser::parseSingleFormula(Parameter* p)
{
    Formula* scale = parseFormula(p->getScaleFormulaString());
    p->setScaleFormula(scale);
    Formula* offset = parseFormula(p->getOffsetString());
    p->setOffsetFormula(offset);
    bool ok = scale && offset;
    // An empty limit text means no limit.
    if (!p->getMinString().isEmpty()) {
        Formula* min = parseFormula(p->getMinString());
        p->setMinFormula(min);
        ok = ok && min;
    }
    if (!p->getMaxString().isEmpty()) {
        Formula* max = parseFormula(p->getMaxString());
        p->setMaxFormula(max);
        ok = ok && max;
    }
    return ok;
}

Formula* FormulaParser::parseFormula(const QString& text)
{
    FormulaNode* root = parseOneFormulaString(text);
    if (!root) {
        printStdoutLine(QStringLiteral("Could not parse formula string"));
        return nullptr;
    }
    return new Formula(root, nullptr);
}

QString FormulaParser::captureInsideOfParentheses(const QString& text, int start) const
{
    return text.mid(start, groupLength(text, start));
}

bool FormulaParser::tokenize(const QString& text, QStringList* operands, QString* operators) const
{
    int position = 0;
    do {
        int length = numberLength(text, position);
        if (length == 0 && groupStartsAt(text, position))
            length = groupLength(text, position);
        if (length == 0)
            length = registerLength(text, position);
        if (length == 0) {
            printStdoutLine(
                QStringLiteral("Failed to match formula string with either op, num or param."));
            return false;
        }
        operands->append(text.mid(position, length));
        position += length;
        if (position >= text.size())
            break;
        // Whatever stands after an operand is taken as an operator.
        operators->append(text.at(position));
        ++position;
    } while (position < text.size());
    return true;
}

FormulaNode* FormulaParser::parseOperand(const QString& operand)
{
    if (!operand.isEmpty() && numberLength(operand, 0) == operand.size())
        return new FormulaNodeNum(operand.toDouble());

    // A lone operand is a register reference only when it is exactly "p[N]".
    if (registerLength(operand, 0) != operand.size()) {
        printStdoutLine(QStringLiteral("Could not match parameter address."));
        return nullptr;
    }
    const int address = operand.midRef(2, operand.size() - 3).toInt();
    Parameter* parameter = m_parameters.value(address, nullptr);
    if (!parameter) {
        printStdoutLine(
            QStringLiteral("Formula refers to register %1, which has no parameter.").arg(address));
        return nullptr;
    }
    return new FormulaNodeVar(parameter);
}

int FormulaParser::splitOperatorIndex(const QString& operators, int first, int last)
{
    // The loosest operator last in the text becomes the root, so operators
    // of one level group from the left.
    for (int i = last; i >= first; --i) {
        const QChar op = operators.at(i);
        if (op == QLatin1Char('+') || op == QLatin1Char('-'))
            return i;
    }
    const QString tighter = QStringLiteral("%*/<>b");
    for (int i = last; i >= first; --i) {
        if (tighter.contains(operators.at(i)))
            return i;
    }
    return -1;
}

FormulaNode* FormulaParser::parseOneFormulaString(QString text)
{
    text = withoutWhiteSpace(text);

    // Strip every pair of parentheses that encloses the whole text.
    while (text.startsWith(QLatin1Char('(')) && groupLength(text, 0) == text.size()) {
        text = text.mid(1, text.size() - 2);
    }

    QStringList operands;
    QString operators;
    if (!tokenize(text, &operands, &operators))
        return nullptr;

    if (operators.isEmpty())
        return parseOperand(operands.constFirst());
    // An operator after the last operand is looked at here only.
    return parseTokens(operands, operators, 0, operands.size() - 1, operators.size() - 1);
}

// The operands first..last with the operators first..lastOperator between
// them, as the text they were read from would parse: a run of tokens reads
// back as the same tokens, so it is split where it stands instead of being
// read again.
FormulaNode* FormulaParser::parseTokens(const QStringList& operands, const QString& operators,
                                        int first, int last, int lastOperator)
{
    if (first > last) // nothing after an operator
        return parseOneFormulaString(QString());
    if (lastOperator < first)
        return parseOneFormulaString(operands.at(first));

    const int k = splitOperatorIndex(operators, first, lastOperator);
    if (k < 0) {
        printStdoutLine(QStringLiteral("Could not find operator in formula string"));
        return nullptr;
    }

    FormulaNode* left = parseTokens(operands, operators, first, k, k - 1);
    FormulaNode* right = parseTokens(operands, operators, k + 1, last, last - 1);
    if (!left || !right) {
        printStdoutLine(QStringLiteral("Could not parse left or right side of root"));
        delete left;
        delete right;
        return nullptr;
    }
    return new FormulaNodeMathOp(operators.at(k).toLatin1(), left, right);
}
