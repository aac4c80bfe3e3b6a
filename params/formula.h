#ifndef FORMULA_H
#define FORMULA_H

#include <QList>
#include <QObject>

class FormulaNode;
class Parameter;

// A parsed formula text: converts between raw and display values and tells
// when a register it refers to changes. Owns its expression tree.
class Formula : public QObject
{
    Q_OBJECT

public:
    // Wires the tree at once, so formulaParameterChanged() follows the
    // registers the formula refers to.
    explicit Formula(FormulaNode* root, QObject* parent = nullptr);
    ~Formula() override;

    double evaluate();
    // raw / value; -1.0 with isNaN() set when the value is exactly 0.
    double toDisplay(int raw);
    // value x v made whole, halves toward plus infinity, saturated to the
    // int range (0 for a product that is not a number).
    int toMemory(double v);
    bool isNaN() const { return m_isNaN; }
    FormulaNode* getRootTree() const { return m_root; }
    // The registers the formula refers to, each once.
    QList<Parameter*> referencedParameters() const;
    // Repeats the wiring the constructor made; every connection then doubles.
    void attachParameterChangedSignals();

signals:
    void formulaParameterChanged();

private:
    double rootValue();
    static bool refersToRegisters(FormulaNode* node);
    static void collectReferences(FormulaNode* node, QList<Parameter*>* parameters);

    FormulaNode* m_root;
    bool m_hasReferences;
    bool m_isNaN = false;
};

#endif // FORMULA_H
