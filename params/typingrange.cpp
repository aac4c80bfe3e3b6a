#include "typingrange.h"

#include <algorithm>
#include <cmath>

namespace {

const double typingCeiling = 9999.0;
const double typingHeadroom = 10.0;

} // namespace

void TypingRange::around(double lowest, double highest, double* low, double* high)
{
    double widest = std::max(std::fabs(lowest), std::fabs(highest));
    if (!std::isfinite(widest))
        widest = 0.0;
    *high = std::max(typingCeiling, typingHeadroom * widest);
    *low = -*high;
}
