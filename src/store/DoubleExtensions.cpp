#include "DoubleExtensions.h"

#include <cmath>

double rounded(double value, int places)
{
    const double scale = std::pow(10.0, places);
    if (scale == 0.0) // far more negative places than any double has: nothing survives
        return std::copysign(0.0, value);
    const double scaled = value * scale;
    // Beyond 2^52 a double has no fractional digits left, so there is nothing to round away; the
    // value stays as it is rather than pick up the error of scaling back (or overflow to infinity).
    if (!std::isfinite(scaled) || std::abs(scaled) >= 0x1p52)
        return value;
    return std::round(scaled) / scale;
}
