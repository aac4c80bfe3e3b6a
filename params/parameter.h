#ifndef PARAMETER_H
#define PARAMETER_H

#include "parameterdefinition.h"

#include <QList>
#include <QObject>

#include <array>
#include <cstddef>

class Formula;
class QDoubleSpinBox;

// One 16-bit controller register at run time: the raw value as the
// controller stores it, and its conversion to and from the display value
// through the scale, offset, min and max formulas of its definition.
//
// Adds no virtual operation: EnumParameter and BitVector hide some of these
// operations, and values stored through a Parameter pointer take this path.
class Parameter : public QObject
{
    Q_OBJECT

public:
    explicit Parameter(ParameterDefinition* definition, QObject* parent = nullptr);
    // Deletes the formulas set on this parameter.
    ~Parameter() override;

    QString getName() const { return m_definition->getName(); }
    QString getUnits() const { return m_definition->getUnits(); }
    QString getTooltip() const { return m_definition->getTooltip(); }
    QString getScaleFormulaString() const { return m_definition->getScaling(); }
    QString getMinString() const { return m_definition->getMin(); }
    QString getMaxString() const { return m_definition->getMax(); }
    QString getOffsetString() const { return m_definition->getOffset(); }
    int getAddress() const { return m_definition->getAddress(); }
    int numDecimals() const { return m_definition->numDecimals(); }
    double getSingleStep() const { return m_definition->getSingleStep(); }
    bool isWriteable() const { return m_definition->isWriteable(); }
    bool isSavable() const { return m_definition->isSavable(); }
    bool isSigned() const { return m_definition->isSigned(); }
    ParameterDefinition::Type getType() const { return m_definition->getType(); }
    int getLevel() const { return m_definition->getLevel(); }
    QMap<int, QString>* getEnumDefs() const { return m_definition->getEnumDefs(); }
    void setName(const QString& name) { m_definition->setName(name); }
    void setMax(const QString& max) { m_definition->setMax(max); }

    Formula* getScaleFormula() const { return m_scale; }
    Formula* getMinFormula() const { return m_min; }
    Formula* getMaxFormula() const { return m_max; }
    Formula* getOffsetFormula() const { return m_offset; }
    // Each setter takes the formula over and recomputes this parameter
    // whenever a register the formula refers to changes its display value.
    void setScaleFormula(Formula* formula);
    void setMinFormula(Formula* formula);
    void setMaxFormula(Formula* formula);
    void setOffsetFormula(Formula* formula);

    // Both the scale and the offset formula are set.
    bool isValid() const;

    int getRegisterValue() const { return m_registerValue; }
    double getValue() const;
    double asValue(int raw) const;
    double roundValue(double v) const;
    // What a register holding raw means, whatever the limits allow now.
    double unlimitedValue(int raw) const;
    // The same, not put on the display grid.
    double unroundedValue(int raw) const;
    // What raw means, to be told: on the display grid, unless that shows a
    // raw value beyond the limits as the limit itself.
    double toldValue(int raw) const;
    // The value formulas of other registers take: the display value, but
    // for a value stored as the controller holds it, what it means to the
    // controller, also beyond the limits.
    double referenceValue() const;
    // The limits leave raw, and its display value, as they are.
    bool isWithinLimits(int raw) const;
    // raw clamped to the register width and the limits, as stored by
    // setRegisterValue().
    int limitedRaw(int raw) const;
    // raw clamped to the register width alone.
    int clampToRegisterWidth(int raw) const;
    // The value is what the register shows, on its display grid: a widget
    // that offers it back offers no edit.
    bool showsValue(double value) const;
    // The raw value a display value stands for, whatever the limits; false
    // where the formulas give it none.
    bool rawFromDisplay(double display, int* raw) const;

    // The raw value the controller holds (its last read or written value):
    // a value set that shows the same gives that very raw value back, not
    // one put on the display grid, so that nothing is left to write. The
    // device model keeps it; none until a read or a write. A value set that
    // the register shows already keeps its raw value likewise.
    void setHeldValue(int raw);

    // Stores a raw value clamped to the register width and the limits;
    // always emits valueChanged(), displayChanged() and valueSet().
    void setRegisterValue(int raw);
    // Stores a raw value as the controller holds it, clamped to the register
    // width only: the display value shows the limit where it lies beyond,
    // while a write sends it back as it was. Signals as setRegisterValue().
    void setRegisterValueUnlimited(int raw);

    // The registers this one's formulas refer to, each once.
    QList<Parameter*> referencedParameters() const;
    // The value is being worked out again because a register its formulas
    // refer to changed, and is being stored by that alone: not by a store of
    // another register that the recomputation set off.
    bool isRecomputing() const;
    // While set, a recomputation keeps the raw value and only announces
    // what it now means: the model takes the controller's own values then,
    // which belong together as the controller holds them.
    static void setRecomputationKeepsRaw(bool keeps);
    // A value of another register is being stored, and its signals are on
    // their way: a store to parameter now follows from that one.
    static bool isStoringAnother(const Parameter* parameter);
    // The register whose store set off every store under way (the user's
    // edit, say); null outside of any store.
    static const Parameter* outermostStore();
    // While set, values are set by a rule that another value set off (an
    // order pushing a neighbour), as a store under way sets them.
    static void setSetByRule(bool byRule);

    // Binds a spin box both ways to the display value. A typed value is
    // taken once complete (Enter or leaving the box).
    void connectDisplay(QDoubleSpinBox* box);

    // The numbers a spin box bound to this parameter should take from the
    // keyboard (see TypingRange), around the limits or, where one is
    // missing, the register's raw range; setValue() puts a number beyond the
    // limits onto them.
    void typingRange(double* low, double* high) const;

signals:
    void valueSet();
    void valueChanged();
    void displayChanged(double value);
    // A value set that the register cannot take (its scale has no value
    // now): it keeps what it holds.
    void valueRefused(double value);
    // A value set for the register on its own, not by a rule that another
    // store set off (typed, dragged, chosen): emitted before it is stored,
    // with the value as it was set, also where the limits hold it back.
    void valueGiven(double value);
    // The store that set off every store under way, this register's, is
    // over: the values they stored all stand.
    void storesEnded();

public slots:
    void setValue(double newValue);
    void calledOnFormulaMemberChanged();

public:
    // Finite limit values; false when the formula is missing or its value
    // is not finite (such a limit counts as no limit).
    bool minimumValue(double* value) const;
    bool maximumValue(double* value) const;

protected:
    // Marks a store of this register, from its first signal to its last.
    class StoreScope
    {
    public:
        explicit StoreScope(Parameter* parameter);
        ~StoreScope();
        StoreScope(const StoreScope&) = delete;
        StoreScope& operator=(const StoreScope&) = delete;

    private:
        Parameter* m_parameter;
    };

    void storeRegisterValue(int raw, bool unlimited = false)
    {
        m_registerValue = raw;
        m_unlimited = unlimited;
        ++m_stores;
    }
    // Emits displayChanged(value). The register's own formulas do not
    // recompute it meanwhile: a formula that refers back to the register
    // would do so once per reference, each time setting off every register
    // that follows this one.
    void announceDisplay(double value);
    ParameterDefinition* definition() const { return m_definition; }

private:
    // Scale, offset, min and max as they evaluate now.
    using FormulaValues = std::array<double, 4>;

    void replaceFormula(Formula*& slot, Formula* formula);
    FormulaValues formulaValues() const;
    bool rawShowing(double shown, bool setWithinLimits, int* raw) const;
    void storeRaw(int raw);
    void announceCurrentValue();
    void storeAndAnnounce(int raw, bool unlimited);
    void showInBoundBox(QDoubleSpinBox* box, double value) const;

    ParameterDefinition* m_definition;
    Formula* m_scale = nullptr;
    Formula* m_min = nullptr;
    Formula* m_max = nullptr;
    Formula* m_offset = nullptr;
    int m_registerValue = 0;
    double m_lastSetValue = 0.0;
    bool m_recomputing = false;
    bool m_announcing = false;
    quint64 m_recomputedFor = 0; // the announcement of the last recomputation
    quint64 m_stores = 0;
    std::size_t m_recomputationDepth = 0; // stores under way as it began
    bool m_unlimited = false;             // stored by setRegisterValueUnlimited()
    bool m_hasHeldValue = false;
    int m_heldValue = 0; // the controller's, see setHeldValue()
    // What the formulas evaluated to as the value was last stored or
    // worked out again; none before the first store.
    bool m_hasStoredUnder = false;
    FormulaValues m_storedUnder = {};
};

#endif // PARAMETER_H
