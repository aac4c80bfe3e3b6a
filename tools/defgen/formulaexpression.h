#ifndef FORMULAEXPRESSION_H
#define FORMULAEXPRESSION_H

#include <QList>
#include <QString>

#include <functional>
#include <memory>

// A definition formula ("40.96 * 100 / p[70]") parsed the way the suite's
// formula parser reads it: "+" and "-" bind loosest, "%", "*", "/", "<",
// ">" and "b" bind equally tighter, operators of one level group from the
// left. Texts the suite could not parse are refused here with a reason.
class FormulaExpression
{
public:
    FormulaExpression();
    ~FormulaExpression();
    FormulaExpression(FormulaExpression&& other) noexcept;
    FormulaExpression& operator=(FormulaExpression&& other) noexcept;

    // Parses text; on failure returns false and describes why in *error.
    bool parse(const QString& text, QString* error);

    bool isValid() const;
    // Register addresses referred to, in order of appearance.
    QList<int> references() const;
    // Value of the formula; reference(address) yields a register's display value.
    double evaluate(const std::function<double(int)>& reference) const;

    // Expression tree node; only the parser and evaluator in the source use it.
    struct Node;

private:
    std::unique_ptr<Node> root;
};

#endif // FORMULAEXPRESSION_H
