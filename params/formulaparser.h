#ifndef FORMULAPARSER_H
#define FORMULAPARSER_H

#include <QMap>
#include <QObject>
#include <QString>

class Formula;
class FormulaNode;
class Parameter;

// Turns the formula texts of a set of parameters into Formula trees.
//
// Grammar: numbers ("2", "-3", "40.96"; no exponent), register references
// "p[N]" with one to three digits, parenthesised groups and the operators
// + - (loosest) and % * / < > b (tighter), grouping from the left. White
// space is ignored anywhere.
// Every failure prints its line on standard output and yields null.
class FormulaParser : public QObject
{
    Q_OBJECT

public:
    explicit FormulaParser(const QMap<int, Parameter*>& parameters, QObject* parent = nullptr);

    // In ascending address order; stops at the first parameter that fails.
    bool parseAllFormulas();
    bool parseSingleFormula(Parameter* p);
    Formula* parseFormula(const QString& text);
    FormulaNode* parseOneFormulaString(QString text);
    QString captureInsideOfParentheses(const QString& text, int start) const;

private:
    bool tokenize(const QString& text, QStringList* operands, QString* operators) const;
    FormulaNode* parseOperand(const QString& operand);
    FormulaNode* parseTokens(const QStringList& operands, const QString& operators, int first,
                             int last, int lastOperator);
    // Index of the operator between first and last (inclusive) that
    // becomes the root; -1 when none of them is an operator.
    static int splitOperatorIndex(const QString& operators, int first, int last);

    QMap<int, Parameter*> m_parameters;
};

#endif // FORMULAPARSER_H
