#include "GeoRegion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double earthRadius = 6378137.0;
constexpr double metresPerDegree = earthRadius * std::numbers::pi / 180.0;

// Degrees that a distance covers where a degree is that long; no limit means the whole span.
double degrees(double metres, double degreeLength, double whole)
{
    if (!(metres > 0))
        return 0;
    if (!(degreeLength > 0))
        return whole;
    return std::min(whole, metres / degreeLength);
}

} // namespace

bool GeoRegion::isValidCoordinate(double latitude, double longitude)
{
    return latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180;
}

GeoRegion GeoRegion::withDistances(double latitude, double longitude, double northSouthMetres,
                                   double eastWestMetres)
{
    const double parallel = metresPerDegree * std::cos(latitude * std::numbers::pi / 180.0);
    return {latitude, longitude, degrees(northSouthMetres, metresPerDegree, 180),
            degrees(eastWestMetres, parallel, 360)};
}
