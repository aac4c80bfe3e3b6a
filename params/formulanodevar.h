#ifndef FORMULANODEVAR_H
#define FORMULANODEVAR_H

#include "formulanode.h"

#include <QMap>
#include <QPointer>

class Parameter;

// A register reference in a formula; stands for the register's display
// value, or for what a value the controller holds beyond the register's
// limits means to it (Parameter::referenceValue()).
class FormulaNodeVar : public FormulaNode
{
    Q_OBJECT

public:
    explicit FormulaNodeVar(Parameter* parameter);

    // Not a number when the reference leads back to a register whose value
    // is being worked out, or when the parameter no longer exists.
    double evaluate() override;

    // One evaluation of a formula with everything its references reach.
    // Within it each register's value is worked out once, so a formula
    // takes time in proportion to its size however often it refers to a
    // register (or to itself). Formula opens one around each evaluation.
    class Evaluation
    {
    public:
        Evaluation() { ++depth; }
        ~Evaluation()
        {
            if (--depth == 0)
                forget();
        }
        Evaluation(const Evaluation&) = delete;
        Evaluation& operator=(const Evaluation&) = delete;

    private:
        static void forget();
        static int depth;
    };
    // While one lives, a register given a raw value here stands for what
    // that value means (read through its own formulas, under the same
    // values, beyond its limits too) instead of its own: values read as
    // another holder of the registers, the controller, reads them. Not to
    // be opened within an evaluation.
    class HeldValues
    {
    public:
        // Address -> raw value.
        explicit HeldValues(const QMap<int, int>& raws);
        ~HeldValues();
        HeldValues(const HeldValues&) = delete;
        HeldValues& operator=(const HeldValues&) = delete;

    private:
        const QMap<int, int>* outer;
    };
    int getNodeType() override { return RegisterNode; }
    void attachParameterChangedSignals() override;

    Parameter* getParameter() const { return m_parameter; }

private:
    QPointer<Parameter> m_parameter;
};

#endif // FORMULANODEVAR_H
