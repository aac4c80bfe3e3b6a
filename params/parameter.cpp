#include "parameter.h"

#include "formula.h"
#include "numericconversion.h"
#include "typingrange.h"

#include <QDoubleSpinBox>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Every announcement of a display value gets a number; 0 outside of any.
quint64 lastAnnouncement = 0;
quint64 currentAnnouncement = 0;

bool recomputationKeepsRaw = false;
bool setByRule = false;
// The registers whose stores are under way, innermost last.
std::vector<const Parameter*> storesUnderWay;

bool limitValue(Formula* formula, double* value)
{
    if (!formula)
        return false;
    const double v = formula->evaluate();
    if (!std::isfinite(v))
        return false;
    *value = v;
    return true;
}

// A formula that does not evaluate to a number stays so.
bool sameFormulaValues(const std::array<double, 4>& a, const std::array<double, 4>& b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && !(std::isnan(a[i]) && std::isnan(b[i])))
            return false;
    }
    return true;
}

// raw held at a limit whose raw value is bound: below it (an upper bound)
// or above it. A bound a rounding error off a whole number is that number.
int rawInsideLimit(int raw, double bound, bool upper)
{
    if (!std::isfinite(bound))
        return raw;
    const double whole = std::round(bound);
    if (std::fabs(bound - whole) < 1e-6)
        bound = whole;
    if (upper)
        return raw > bound ? truncateToInt(std::floor(bound)) : raw;
    return raw < bound ? truncateToInt(std::ceil(bound)) : raw;
}

} // namespace

Parameter::StoreScope::StoreScope(Parameter* parameter)
    : m_parameter(parameter)
{
    storesUnderWay.push_back(parameter);
}

Parameter::StoreScope::~StoreScope()
{
    storesUnderWay.pop_back();
    if (storesUnderWay.empty())
        emit m_parameter->storesEnded();
}

bool Parameter::isStoringAnother(const Parameter* parameter)
{
    return std::any_of(storesUnderWay.begin(), storesUnderWay.end(),
                       [parameter](const Parameter* storing) { return storing != parameter; });
}

const Parameter* Parameter::outermostStore()
{
    return storesUnderWay.empty() ? nullptr : storesUnderWay.front();
}

bool Parameter::isRecomputing() const
{
    if (!m_recomputing || m_recomputationDepth > storesUnderWay.size())
        return false;
    return std::all_of(storesUnderWay.begin() + m_recomputationDepth, storesUnderWay.end(),
                       [this](const Parameter* storing) { return storing == this; });
}

void Parameter::setRecomputationKeepsRaw(bool keeps)
{
    recomputationKeepsRaw = keeps;
}

void Parameter::setSetByRule(bool byRule)
{
    setByRule = byRule;
}

Parameter::Parameter(ParameterDefinition* definition, QObject* parent)
    : QObject(parent)
    , m_definition(definition)
{
}

Parameter::~Parameter()
{
    delete m_scale;
    delete m_min;
    delete m_max;
    delete m_offset;
}

void Parameter::setScaleFormula(Formula* formula)
{
    replaceFormula(m_scale, formula);
}

void Parameter::setMinFormula(Formula* formula)
{
    replaceFormula(m_min, formula);
}

void Parameter::setMaxFormula(Formula* formula)
{
    replaceFormula(m_max, formula);
}

void Parameter::setOffsetFormula(Formula* formula)
{
    replaceFormula(m_offset, formula);
}

void Parameter::replaceFormula(Formula*& slot, Formula* formula)
{
    if (slot == formula)
        return;
    delete slot;
    slot = formula;
    if (formula)
        connect(formula, &Formula::formulaParameterChanged, this,
                &Parameter::calledOnFormulaMemberChanged);
}

bool Parameter::isValid() const
{
    return m_scale && m_offset;
}

QList<Parameter*> Parameter::referencedParameters() const
{
    QList<Parameter*> parameters;
    for (const Formula* formula : {m_scale, m_offset, m_min, m_max}) {
        if (!formula)
            continue;
        const QList<Parameter*> references = formula->referencedParameters();
        for (Parameter* reference : references) {
            if (!parameters.contains(reference))
                parameters.append(reference);
        }
    }
    return parameters;
}

bool Parameter::minimumValue(double* value) const
{
    return limitValue(m_min, value);
}

bool Parameter::maximumValue(double* value) const
{
    return limitValue(m_max, value);
}

double Parameter::getValue() const
{
    return asValue(m_registerValue);
}

double Parameter::roundValue(double v) const
{
    const double p = std::pow(10.0, numDecimals());
    return roundHalfUp(v * p) / p;
}

double Parameter::asValue(int raw) const
{
    if (!m_scale || !m_offset)
        return -1.0;
    double v = m_scale->toDisplay(raw) - m_offset->evaluate();
    double limit;
    if (maximumValue(&limit) && v > limit) {
        v = limit;
        if (numDecimals() == 0)
            v = std::floor(v);
    }
    // After the max check, so a min above the max wins.
    if (minimumValue(&limit) && limit > v) {
        v = limit;
        if (numDecimals() == 0)
            v = std::ceil(v);
    }
    if (m_scale->isNaN())
        return -1.0;
    return roundValue(v);
}

double Parameter::unlimitedValue(int raw) const
{
    return roundValue(unroundedValue(raw));
}

double Parameter::unroundedValue(int raw) const
{
    if (!m_scale || !m_offset)
        return -1.0;
    const double v = m_scale->toDisplay(raw) - m_offset->evaluate();
    return m_scale->isNaN() ? -1.0 : v;
}

double Parameter::toldValue(int raw) const
{
    const double value = unlimitedValue(raw);
    if (!isWithinLimits(raw) && value == asValue(raw))
        return unroundedValue(raw);
    return value;
}

double Parameter::referenceValue() const
{
    return m_unlimited ? unlimitedValue(m_registerValue) : asValue(m_registerValue);
}

// Judged on the raw value first: one raw step past a limit may still show
// as the limit, and is stored as the limit all the same.
bool Parameter::isWithinLimits(int raw) const
{
    return limitedRaw(raw) == raw && unlimitedValue(raw) == asValue(raw);
}

bool Parameter::showsValue(double value) const
{
    return std::fabs(value - getValue()) < 0.5 * std::pow(10.0, -numDecimals());
}

void Parameter::setHeldValue(int raw)
{
    m_heldValue = raw;
    m_hasHeldValue = true;
}

// The raw value that already shows as shown, so that the display step
// never reaches it: the register's own (a widget writing back what it
// shows), else the controller's (a value typed back). A value beyond the
// limits stays only where the value set is within them; of the
// controller's, only for a value set on its own: a rule of another
// register's change (the order of the battery-voltage thumbs) that puts it
// on the limit it shows as moves it there. A recomputation is no value set:
// the device model works out what the limits do.
bool Parameter::rawShowing(double shown, bool setWithinLimits, int* raw) const
{
    if (m_recomputing)
        return false;
    if (showsValue(shown) && (setWithinLimits || isWithinLimits(m_registerValue))) {
        *raw = m_registerValue;
        return true;
    }
    if (!m_hasHeldValue
        || (!isWithinLimits(m_heldValue)
            && (!setWithinLimits || isStoringAnother(this) || setByRule)))
        return false;
    if (std::fabs(shown - asValue(m_heldValue)) >= 0.5 * std::pow(10.0, -numDecimals()))
        return false;
    *raw = m_heldValue;
    return true;
}

// A raw value beyond the limits is stored as it stands, as a read stores it.
void Parameter::storeRaw(int raw)
{
    if (isWithinLimits(raw))
        setRegisterValue(raw);
    else
        setRegisterValueUnlimited(raw);
}

int Parameter::clampToRegisterWidth(int raw) const
{
    if (isSigned())
        return qBound(-32768, raw, 32767);
    return qBound(0, raw, 65535);
}

// The whole raw values inside the limits: a limit whose raw value is not
// whole is held on the raw step on its own side. A minimum bounds the raw
// value from below where the scale is positive, from above where it is
// negative; a maximum the other way round.
int Parameter::limitedRaw(int raw) const
{
    raw = clampToRegisterWidth(raw);
    if (!m_scale)
        return raw;
    const double scale = m_scale->evaluate();
    double limit;
    if (maximumValue(&limit))
        raw = rawInsideLimit(raw, limit * scale, scale >= 0);
    // After the maximum, so a minimum above the maximum wins.
    if (minimumValue(&limit))
        raw = rawInsideLimit(raw, limit * scale, scale < 0);
    // A limit beyond what the register can hold must not push the value out
    // of the register's width.
    return clampToRegisterWidth(raw);
}

void Parameter::setRegisterValue(int raw)
{
    storeAndAnnounce(limitedRaw(raw), false);
}

void Parameter::setRegisterValueUnlimited(int raw)
{
    storeAndAnnounce(clampToRegisterWidth(raw), true);
}

Parameter::FormulaValues Parameter::formulaValues() const
{
    FormulaValues values;
    values.fill(std::numeric_limits<double>::quiet_NaN());
    const Formula* formulas[] = {m_scale, m_offset, m_min, m_max};
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (formulas[i])
            values[i] = const_cast<Formula*>(formulas[i])->evaluate();
    }
    return values;
}

void Parameter::storeAndAnnounce(int raw, bool unlimited)
{
    const StoreScope scope(this);
    storeRegisterValue(raw, unlimited);
    m_storedUnder = formulaValues();
    m_hasStoredUnder = true;
    emit valueChanged();
    // The value as it stands now: a receiver of valueChanged() may have
    // stored another one, and a stale value would be written back by the
    // widgets that show it.
    announceDisplay(asValue(m_registerValue));
    emit valueSet();
}

bool Parameter::rawFromDisplay(double display, int* raw) const
{
    if (!m_scale || !m_offset)
        return false;
    const double memoryValue = m_offset->evaluate() + display;
    if (!std::isfinite(m_scale->evaluate() * memoryValue))
        return false;
    *raw = m_scale->toMemory(memoryValue);
    return true;
}

void Parameter::announceCurrentValue()
{
    emit valueChanged();
    announceDisplay(asValue(m_registerValue));
}

void Parameter::setValue(double newValue)
{
    if (!m_scale || !isWriteable())
        return;
    const StoreScope scope(this);
    // Only this store is under way: no other one set it off.
    const bool given = !m_recomputing && storesUnderWay.size() == 1;
    if (given && std::isfinite(m_scale->evaluate()) && std::isfinite(newValue))
        emit valueGiven(roundValue(newValue));
    if (!std::isfinite(m_scale->evaluate()) || std::isnan(newValue)) {
        announceCurrentValue();
        // Told where it was entered, not where a rule passed it on.
        if (given && std::isfinite(newValue) && !showsValue(newValue))
            emit valueRefused(newValue);
        return;
    }

    double min = 0.0;
    double max = 0.0;
    const bool hasMin = minimumValue(&min);
    const bool hasMax = maximumValue(&max);
    int raw = 0;

    if ((!hasMin || newValue >= min) && (!hasMax || newValue <= max)) {
        m_lastSetValue = roundValue(newValue);
        if (rawShowing(m_lastSetValue, true, &raw))
            storeRaw(raw);
        else if (rawFromDisplay(m_lastSetValue, &raw))
            setRegisterValue(raw);
        else
            announceCurrentValue();
        return;
    }

    if (hasMin && hasMax && min > max)
        m_lastSetValue = min;
    else if (hasMin && min > newValue)
        m_lastSetValue = numDecimals() == 0 ? std::ceil(min) : min;
    else
        m_lastSetValue = numDecimals() == 0 ? std::floor(max) : max;

    // A value beyond the limits gives the limit.
    if (!rawShowing(m_lastSetValue, false, &raw) && !rawFromDisplay(m_lastSetValue, &raw)) {
        announceCurrentValue();
        return;
    }
    const quint64 storesBefore = m_stores;
    setRegisterValue(raw);
    // A receiver that stored another value has announced it already.
    if (m_stores != storesBefore + 1)
        return;
    // Sets back a widget that offered the out-of-range value.
    emit valueChanged();
    announceDisplay(m_lastSetValue);
}

void Parameter::announceDisplay(double value)
{
    const bool wasAnnouncing = m_announcing;
    const quint64 outerAnnouncement = currentAnnouncement;
    m_announcing = true;
    currentAnnouncement = ++lastAnnouncement;
    emit displayChanged(value);
    currentAnnouncement = outerAnnouncement;
    m_announcing = wasAnnouncing;
}

void Parameter::calledOnFormulaMemberChanged()
{
    // A chain of formulas that leads back here must not recurse without end.
    if (m_recomputing || m_announcing)
        return;
    // One announcement reaches this register once per reference to the
    // announcing one. The first recomputes it; the others would only repeat
    // that, each time with everything that follows from it, which makes a
    // chain of such registers take time exponential in its length.
    if (currentAnnouncement != 0 && currentAnnouncement == m_recomputedFor)
        return;
    m_recomputedFor = currentAnnouncement;
    // A register announced again with the values it had (a file applied
    // twice, say) changes neither scale nor limits: worked out again, the
    // raw value would only be put on the display grid.
    const FormulaValues now = formulaValues();
    if (m_hasStoredUnder && sameFormulaValues(now, m_storedUnder))
        return;
    m_storedUnder = now;
    m_hasStoredUnder = true;
    m_recomputing = true;
    m_recomputationDepth = storesUnderWay.size();
    // A raw value the new limits let stand keeps its place: only what it
    // means is announced. One beyond them moves to the limit.
    if (!recomputationKeepsRaw && !isWithinLimits(m_registerValue)) {
        setValue(asValue(m_registerValue));
    } else if (m_scale && isWriteable()) {
        const StoreScope scope(this);
        announceCurrentValue();
    }
    m_recomputing = false;
}

void Parameter::typingRange(double* low, double* high) const
{
    // Where a limit is missing, the end of the register's raw range.
    double lowest = 0.0;
    double highest = 0.0;
    if (m_scale && m_offset) {
        const double shift = m_offset->evaluate();
        lowest = m_scale->toDisplay(isSigned() ? -32768 : 0) - shift;
        highest = m_scale->toDisplay(isSigned() ? 32767 : 65535) - shift;
    }
    minimumValue(&lowest);
    maximumValue(&highest);
    TypingRange::around(lowest, highest, low, high);
}

// Silently: a box that clamped or rounded a shown value would write it back
// into the register as if it had been typed.
void Parameter::showInBoundBox(QDoubleSpinBox* box, double value) const
{
    double low = 0.0;
    double high = 0.0;
    typingRange(&low, &high);
    const QSignalBlocker blocker(box);
    box->setRange(std::min(low, value), std::max(high, value));
    box->setValue(value);
}

void Parameter::connectDisplay(QDoubleSpinBox* box)
{
    // Decimals before the value, so that the box does not round it.
    box->setDecimals(numDecimals());
    box->setKeyboardTracking(false);
    showInBoundBox(box, getValue());
    box->setSuffix(getUnits().isEmpty() ? QString() : QLatin1Char(' ') + getUnits());

    connect(this, &Parameter::displayChanged, box,
            [this, box](double value) { showInBoundBox(box, value); });
    connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &Parameter::setValue);
}
