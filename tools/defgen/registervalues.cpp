#include "registervalues.h"

#include "formulaexpression.h"

#include <cmath>
#include <limits>

namespace {

// Whole number nearest to x, halves toward plus infinity, as the suite rounds.
double roundHalfUp(double x)
{
    if (x >= 0.0)
        return std::trunc(x + 0.5);
    const double c = std::trunc(x - 1.0);
    return std::trunc(x - c + 0.5) + c;
}

double roundToDecimals(double value, int decimals)
{
    const double p = std::pow(10.0, decimals);
    return roundHalfUp(value * p) / p;
}

bool nearlyEqual(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

} // namespace

RegisterValues::RegisterValues(const QList<RegisterEntry>& entries, ValueSet valueSet)
    : registers(entries)
    , set(valueSet)
{
}

bool RegisterValues::compute()
{
    raws.clear();
    displayValues.clear();
    problems.clear();

    // References point to lower addresses only, so ascending order has every
    // referenced display value ready.
    for (const RegisterEntry& entry : registers) {
        double display = 0.0;
        if (!valueOf(entry, &display)) {
            displayValues.insert(entry.address, asValue(entry, 0));
            checkDisplayRange(entry);
            continue;
        }
        int raw = 0;
        if (entry.isNumeric()) {
            if (!convertNumeric(entry, display, &raw))
                continue;
        } else {
            raw = static_cast<int>(display);
            const bool whole = std::trunc(display) == display;
            const int low = entry.isSigned ? -32768 : 0;
            const int high = entry.isSigned ? 32767 : 65535;
            if (!whole || display < low || display > high) {
                fail(entry, QStringLiteral("%1 is outside the register width").arg(display));
                continue;
            }
            if (entry.typeCode() == 2 && !entry.enumDefs->contains(raw)) {
                fail(entry, QStringLiteral("%1 is not one of its enum values").arg(raw));
                continue;
            }
        }
        raws.insert(entry.address, raw);
        displayValues.insert(entry.address, asValue(entry, raw));
        checkDisplayRange(entry);
    }
    return problems.isEmpty();
}

QList<QPair<int, int>> RegisterValues::rawValues() const
{
    QList<QPair<int, int>> values;
    for (auto it = raws.begin(); it != raws.end(); ++it)
        values << qMakePair(it.key(), it.value());
    return values;
}

bool RegisterValues::valueOf(const RegisterEntry& entry, double* display) const
{
    if (set == ValueSet::Initial) {
        if (!entry.initial)
            return false;
        *display = *entry.initial;
        return true;
    }
    // The simulator reports every register: its own value, else the initial one, else 0.
    *display = entry.simulator.value_or(entry.initial.value_or(0.0));
    return true;
}

double RegisterValues::evaluate(const QString& formula) const
{
    FormulaExpression expression;
    if (!expression.parse(formula, nullptr))
        return std::numeric_limits<double>::quiet_NaN();
    return expression.evaluate([this](int address) { return displayValues.value(address, 0.0); });
}

double RegisterValues::asValue(const RegisterEntry& entry, int raw) const
{
    const double scale = evaluate(entry.scale);
    if (scale == 0.0 || !std::isfinite(scale))
        return -1.0;
    double value = raw / scale;
    if (!entry.max.isEmpty()) {
        const double max = evaluate(entry.max);
        if (value > max)
            value = entry.decimals == 0 ? std::floor(max) : max;
    }
    if (!entry.min.isEmpty()) {
        const double min = evaluate(entry.min);
        if (min > value)
            value = entry.decimals == 0 ? std::ceil(min) : min;
    }
    return roundToDecimals(value, entry.decimals);
}

bool RegisterValues::convertNumeric(const RegisterEntry& entry, double display, int* raw)
{
    const double scale = evaluate(entry.scale);
    if (!std::isfinite(scale) || scale <= 0.0) {
        fail(entry, QStringLiteral("scale \"%1\" gives %2").arg(entry.scale).arg(scale));
        return false;
    }
    const double shown = roundToDecimals(display, entry.decimals);
    if (!nearlyEqual(shown, display)) {
        fail(entry, QStringLiteral("%1 has more decimals than the register shows").arg(display));
        return false;
    }
    const double min =
        entry.min.isEmpty() ? -std::numeric_limits<double>::infinity() : evaluate(entry.min);
    const double max =
        entry.max.isEmpty() ? std::numeric_limits<double>::infinity() : evaluate(entry.max);
    if (std::isnan(min) || std::isnan(max)) {
        fail(entry, QStringLiteral("a limit does not evaluate to a number"));
        return false;
    }
    if (display < min - 1e-9 || display > max + 1e-9) {
        fail(entry,
             QStringLiteral("%1 lies outside its limits %2 to %3").arg(display).arg(min).arg(max));
        return false;
    }
    const double product = roundHalfUp(scale * display);
    const double low = entry.isSigned ? -32768.0 : 0.0;
    const double high = entry.isSigned ? 32767.0 : 65535.0;
    if (product < low || product > high) {
        fail(entry,
             QStringLiteral("%1 needs raw %2, outside the register width")
                 .arg(display)
                 .arg(product));
        return false;
    }
    *raw = static_cast<int>(product);
    if ((std::isfinite(max) && *raw > std::trunc(max * scale))
        || (std::isfinite(min) && *raw < std::trunc(min * scale))) {
        fail(entry, QStringLiteral("raw %1 would be clamped by the raw limits").arg(*raw));
        return false;
    }
    const double back = asValue(entry, *raw);
    if (!nearlyEqual(back, shown) || roundHalfUp(scale * back) != product) {
        fail(entry,
             QStringLiteral("%1 is not on its display grid: raw %2 shows %3")
                 .arg(display)
                 .arg(*raw)
                 .arg(back));
        return false;
    }
    return true;
}

void RegisterValues::checkDisplayRange(const RegisterEntry& entry)
{
    if (!entry.isNumeric())
        return;
    const double scale = evaluate(entry.scale);
    if (!std::isfinite(scale) || scale <= 0.0)
        return;
    double high = (entry.isSigned ? 32767.0 : 65535.0) / scale;
    double low = entry.isSigned ? -32768.0 / scale : 0.0;
    if (!entry.max.isEmpty())
        high = std::min(high, evaluate(entry.max));
    if (!entry.min.isEmpty())
        low = std::max(low, evaluate(entry.min));
    // The custom editor's box runs from -9999 (signed) or 0 up to 65535; the
    // page rows stop at 9999.
    const double boxHigh =
        entry.rows.isEmpty() || !entry.beyondRowRange.isEmpty() ? 65535.0 : 9999.0;
    if (high > boxHigh)
        fail(entry,
             QStringLiteral("display values reach %1, above the %2 of its spin boxes")
                 .arg(high)
                 .arg(boxHigh));
    if (entry.isSigned && low < -9999.0)
        fail(entry,
             QStringLiteral("display values reach %1, below the -9999 of its spin boxes").arg(low));
}

void RegisterValues::fail(const RegisterEntry& entry, const QString& message)
{
    const QString setName =
        set == ValueSet::Initial ? QStringLiteral("initial") : QStringLiteral("simulator");
    problems
        << QStringLiteral("register %1 (%2 value): %3").arg(entry.address).arg(setName, message);
}
