#include "VPNRegionList.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

namespace {

const QString optimalPrefix = QStringLiteral("Optimal region\n");

// UTF-16 code units reordered so that they compare like the scalar values they encode: surrogates,
// which only encode values above the Basic Multilingual Plane, move above every other unit.
constexpr ushort scalarOrder(ushort unit)
{
    if (unit < 0xD800)
        return unit;
    return unit >= 0xE000 ? ushort(unit - 0x800) : ushort(unit + 0x2000);
}

bool scalarLess(const QString &a, const QString &b)
{
    const ushort *p = a.utf16();
    const ushort *q = b.utf16();
    const auto [endA, endB] = std::mismatch(p, p + a.size(), q, q + b.size());
    if (endA == p + a.size())
        return endB != q + b.size();
    if (endB == q + b.size())
        return false;
    return scalarOrder(*endA) < scalarOrder(*endB);
}

// Distance plus load, a missing distance counting as the largest value. A sum beyond the signed 64-bit
// range stays at that end of the range: wrapped, it would turn into a winning score of the other sign.
qint64 score(const VPNRegion &region)
{
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    qint64 sum;
    if (!__builtin_add_overflow(region.distance.value_or(largest), region.load_percentage, &sum))
        return sum;
    return region.load_percentage < 0 ? std::numeric_limits<qint64>::min() : largest;
}

} // namespace

namespace VPNRegionList {

void sortByCountryName(QList<VPNRegion> &regions)
{
    // Many regions share a country: the distinct names are ordered once, then the regions are placed
    // by the rank of their name (a counting sort), in list order within a rank, which keeps it stable.
    QHash<QString, qsizetype> nameIndex;
    std::vector<QString> names;
    std::vector<size_t> nameOfRegion;
    nameOfRegion.reserve(size_t(regions.size()));
    for (const VPNRegion &region : std::as_const(regions)) {
        const QString name = region.country_name.normalized(QString::NormalizationForm_C);
        auto it = nameIndex.constFind(name);
        if (it == nameIndex.cend()) {
            it = nameIndex.insert(name, qsizetype(names.size()));
            names.push_back(name);
        }
        nameOfRegion.push_back(size_t(*it));
    }
    std::vector<size_t> byName(names.size());
    std::iota(byName.begin(), byName.end(), 0);
    std::sort(byName.begin(), byName.end(),
              [&names](size_t a, size_t b) { return scalarLess(names[a], names[b]); });

    // nextSlot[name]: where the next region with that name goes.
    std::vector<size_t> count(names.size(), 0);
    for (const size_t name : nameOfRegion)
        ++count[name];
    std::vector<size_t> nextSlot(names.size());
    size_t slot = 0;
    for (const size_t name : byName) {
        nextSlot[name] = slot;
        slot += count[name];
    }
    std::vector<qsizetype> order(nameOfRegion.size());
    for (size_t i = 0; i < nameOfRegion.size(); ++i)
        order[nextSlot[nameOfRegion[i]]++] = qsizetype(i);

    QList<VPNRegion> sorted;
    sorted.reserve(regions.size());
    for (const qsizetype index : order)
        sorted.append(std::move(regions[index]));
    regions = std::move(sorted);
}

std::optional<qsizetype> optimalIndex(const QList<VPNRegion> &regions, bool *noneNearest)
{
    const bool anyNearest = std::any_of(regions.cbegin(), regions.cend(),
                                        [](const VPNRegion &region) { return region.is_nearest; });
    if (noneNearest)
        *noneNearest = !anyNearest;
    std::optional<qsizetype> best;
    qint64 bestScore = 0;
    for (qsizetype i = 0; i < regions.size(); ++i) {
        if (anyNearest && !regions.at(i).is_nearest)
            continue;
        const qint64 candidate = score(regions.at(i));
        if (!best || candidate < bestScore) {
            best = i;
            bestScore = candidate;
        }
    }
    return best;
}

std::optional<Arrangement> arrange(QJsonValue answer, QString *error)
{
    std::optional<QList<VPNRegion>> decoded = VPNRegion::decodeList(answer, error);
    // A large answer's parsed form is several times the size of its regions: gone before the stages.
    answer = QJsonValue();
    if (!decoded)
        return std::nullopt;
    Arrangement arrangement;
    QList<VPNRegion> regions = *decoded;
    arrangement.stages.append(std::move(*decoded));
    sortByCountryName(regions);
    arrangement.stages.append(regions);

    const std::optional<qsizetype> best = optimalIndex(regions, &arrangement.noneNearest);
    if (!best)
        return arrangement;
    VPNRegion optimal = regions.at(*best);
    regions.removeIf([id = optimal.id](const VPNRegion &region) { return region.id == id; });
    arrangement.stages.append(regions);
    optimal.country_name.prepend(optimalPrefix);
    regions.prepend(std::move(optimal));
    arrangement.stages.append(std::move(regions));
    return arrangement;
}

} // namespace VPNRegionList
