#pragma once
// The region catalogue as the controller publishes it: the service's answer decoded, ordered by
// country name, and the optimal region, marked in its name, put first.

#include "VPNRegion.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace VPNRegionList {

// Stable, by Unicode scalar values of the NFC form: case-sensitive, not locale-aware.
void sortByCountryName(QList<VPNRegion> &regions);

// Index of the optimal region among the nearest ones (all when none is nearest): the first with the
// smallest distance plus load, a missing distance counting as the largest value and a sum beyond the
// signed 64-bit range as that end of the range. None for an empty list; noneNearest, when given, tells
// whether none was nearest.
[[nodiscard]] std::optional<qsizetype> optimalIndex(const QList<VPNRegion> &regions,
                                                    bool *noneNearest = nullptr);

// The lists that one answer is published as, in turn.
struct Arrangement
{
    // As decoded, sorted, and, when there is an optimal region, without every region sharing its id,
    // then with it first.
    QList<QList<VPNRegion>> stages;
    // No region was nearest, so all were candidates.
    bool noneNearest = false;
};

// Decodes answer and brings it to its published order. Prints nothing and shares nothing, so it
// may run on any thread. None, with the decoding error's description in error, when the answer does
// not decode. Lets go of answer once decoded: given the last reference, its memory goes then.
[[nodiscard]] std::optional<Arrangement> arrange(QJsonValue answer, QString *error = nullptr);

} // namespace VPNRegionList
