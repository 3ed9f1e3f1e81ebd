#pragma once
// The region catalogue as the controller publishes it: the service's answer decoded, ordered by
// country name, and the optimal region, marked in its name, put first.

#include "VPNRegion.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace VPNRegionList {

// Stable, by Unicode scalar values of the NFC form: case-sensitive, not locale-aware.
void sortByCountryName(QList<VPNRegion> &regions);

// Index of the optimal region among the nearest ones (all when none is nearest): the first with the
// smallest distance plus load, a missing distance counting as the largest value and a sum beyond the
// signed 64-bit range as that end of the range. None for an empty list; noneNearest, when given, tells whether none was nearest.
[[nodiscard]] std::optional<qsizetype> optimalIndex(const QList<VPNRegion> &regions,
                                                    bool *noneNearest = nullptr);

// Decodes answer into regions and brings it to its published order in stages, calling published()
// after each: as decoded, sorted, and, when there is an optimal region, without every region sharing
// its id, then with it first. Writes the console lines of a failed decoding and of a list without
// nearest regions. False, with regions untouched, when the answer does not decode.
bool arrange(const QJsonValue &answer, QList<VPNRegion> &regions, const std::function<void()> &published);

} // namespace VPNRegionList
