#pragma once
// The stand-in service's server regions: real cities on every continent, with the distance from
// where the service places its user (Mainz) and the flags of the nearest ones.

#include <QJsonArray>

namespace RegionCatalogue {

// Regions within this many kilometres of the user count as nearest.
constexpr int nearestKilometres = 1000;

// Every region as the regions endpoint answers it, in id order.
[[nodiscard]] QJsonArray regions();
// count regions cut from the catalogue in no particular order, as a large service would answer:
// ids 1 to count, numbered cities, varied loads and distances; the same list on every call.
[[nodiscard]] QJsonArray many(qsizetype count);
// The nearest regions, fewest kilometres plus load first, at most count of them.
[[nodiscard]] QJsonArray bestRegions(int count);

} // namespace RegionCatalogue
