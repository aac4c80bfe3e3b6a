#ifndef PARAMETER_H
#define PARAMETER_H

#include "parameterdefinition.h"

#include <QObject>

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
    // The limits leave the display value of raw as it is.
    bool isWithinLimits(int raw) const;

    // Stores a raw value clamped to the register width and the limits;
    // always emits valueChanged(), displayChanged() and valueSet().
    void setRegisterValue(int raw);

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

public slots:
    void setValue(double newValue);
    void calledOnFormulaMemberChanged();

public:
    // Finite limit values; false when the formula is missing or its value
    // is not finite (such a limit counts as no limit).
    bool minimumValue(double* value) const;
    bool maximumValue(double* value) const;

protected:
    int clampToRegisterWidth(int raw) const;
    void storeRegisterValue(int raw) { m_registerValue = raw; }
    // Emits displayChanged(value). The register's own formulas do not
    // recompute it meanwhile: a formula that refers back to the register
    // would do so once per reference, each time setting off every register
    // that follows this one.
    void announceDisplay(double value);
    ParameterDefinition* definition() const { return m_definition; }

private:
    void replaceFormula(Formula*& slot, Formula* formula);
    bool rawFromDisplay(double display, int* raw) const;
    void announceCurrentValue();
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
};

#endif // PARAMETER_H
