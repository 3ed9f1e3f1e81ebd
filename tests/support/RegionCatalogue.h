#pragma once
// The stand-in service's server regions: real cities on every continent, with the distance from
// where the service places its user (Mainz) and the flags of the nearest ones.

#include <QJsonArray>

namespace RegionCatalogue {

// Regions within this many kilometres of the user count as nearest.
constexpr int nearestKilometres = 1000;

// Every region as the regions endpoint answers it, in id order.
[[nodiscard]] QJsonArray regions();
// The nearest regions, fewest kilometres plus load first, at most count of them.
[[nodiscard]] QJsonArray bestRegions(int count);
// count regions cut from the catalogue, in no particular order, with ids 1 to count and varied loads
// and distances: a large catalogue as the service would answer it, the same for the same seed.
[[nodiscard]] QJsonArray sample(qsizetype count, quint32 seed = 20250101);

} // namespace RegionCatalogue
