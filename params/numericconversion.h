#ifndef NUMERICCONVERSION_H
#define NUMERICCONVERSION_H

#include <cmath>
#include <limits>

// Conversions from double to int that never overflow: values beyond the int
// range saturate, and a value that is not a number becomes 0.
inline int truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// True when the value, truncated toward zero, fits into an int.
inline bool fitsInInt(double value)
{
    return std::isfinite(value)
        && std::trunc(value) >= static_cast<double>(std::numeric_limits<int>::min())
        && std::trunc(value) <= static_cast<double>(std::numeric_limits<int>::max());
}

// Rounds to a whole number with halves going toward plus infinity
// (2.5 -> 3, -2.5 -> -2, -2.6 -> -3). Works in double, so large values keep
// their magnitude; a value that is not a number stays one.
inline double roundHalfUp(double x)
{
    if (x >= 0)
        return std::trunc(x + 0.5);
    const double c = std::trunc(x - 1);
    return std::trunc((x - c) + 0.5) + c;
}

#endif // NUMERICCONVERSION_H
