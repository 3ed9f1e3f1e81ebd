#include "MarkerLayout.h"

#include <QBitArray>
#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

// Drawing order: plain markers, then markers with a symbol, then the selected one.
int layer(const MapMarker &marker, bool selected)
{
    if (selected)
        return 2;
    return marker.symbol.isEmpty() ? 0 : 1;
}

} // namespace

double MarkerLayout::radius(const MapMarker &marker, bool selected)
{
    const double radius = marker.symbol.isEmpty() ? dotRadius : badgeRadius;
    return selected ? radius * selectedGrowth : radius;
}

QList<QPointF> MarkerLayout::project(const QList<MapMarker> &markers)
{
    QList<QPointF> positions;
    positions.reserve(markers.size());
    for (const MapMarker &marker : markers) {
        positions.append(GeoRegion::isValidCoordinate(marker.latitude, marker.longitude)
                             ? MapCamera::project(marker.latitude, marker.longitude)
                             : QPointF(qQNaN(), qQNaN()));
    }
    return positions;
}

QList<MarkerLayout::Placed> MarkerLayout::place(const QList<MapMarker> &markers,
                                                const QList<QPointF> &positions, const MapCamera &camera,
                                                const QSizeF &view, std::optional<qint64> selected)
{
    const QPointF viewCentre(view.width() / 2, view.height() / 2);
    const double reach = std::ceil(badgeRadius * selectedGrowth);
    const double left = camera.centre.x() - (viewCentre.x() + reach) / camera.scale;
    const double right = camera.centre.x() + (viewCentre.x() + reach) / camera.scale;

    std::array<QList<Placed>, 3> layers;
    // The pixels taken by plain markers so far, one map per colour: most catalogues put many
    // markers on one city.
    const qsizetype columns = qsizetype(view.width() + 2 * reach) + 1;
    const qsizetype rows = qsizetype(view.height() + 2 * reach) + 1;
    QHash<QRgb, QBitArray> drawn;
    bool selectedTaken = false;
    for (qsizetype i = 0; i < markers.size(); ++i) {
        const QPointF &world = positions.at(i);
        if (std::isnan(world.x()))
            continue;
        const MapMarker &marker = markers.at(i);
        const bool isSelected = !selectedTaken && selected == marker.tag;
        selectedTaken = selectedTaken || isSelected;
        const double y = std::round((world.y() - camera.centre.y()) * camera.scale + viewCentre.y());
        if (y < -reach || y > view.height() + reach)
            continue;
        const int onLayer = layer(marker, isSelected);
        // The world repeats east and west: the marker stands on every copy in view.
        for (double x = world.x() + std::ceil(left - world.x()); x <= right; x += 1) {
            const QPointF position(std::round((x - camera.centre.x()) * camera.scale + viewCentre.x()), y);
            if (onLayer == 0) {
                QBitArray &taken = drawn[marker.tint.rgba()];
                if (taken.isEmpty())
                    taken.resize(columns * rows);
                const qsizetype pixel = qsizetype(y + reach) * columns + qsizetype(position.x() + reach);
                if (pixel < 0 || pixel >= taken.size() || taken.testBit(pixel))
                    continue;
                taken.setBit(pixel);
            }
            layers[onLayer].append({position, i, isSelected});
        }
    }
    QList<Placed> placed = std::move(layers[0]);
    placed.append(layers[1]);
    placed.append(layers[2]);
    return placed;
}

QList<MarkerLayout::Title> MarkerLayout::titles(const QList<Placed> &placed, const QList<MapMarker> &markers,
                                                const QSizeF &view,
                                                const std::function<QSizeF(qsizetype, bool)> &titleSize)
{
    // Titles keep off the markers that stand out, those with a symbol and the selected one, unless
    // their own marker stands out more.
    QList<std::pair<QRectF, int>> taken;
    for (const Placed &at : placed) {
        const MapMarker &marker = markers.at(at.marker);
        if (const int onLayer = layer(marker, at.selected); onLayer > 0) {
            const double r = radius(marker, at.selected);
            taken.append({QRectF(at.position - QPointF(r, r), QSizeF(2 * r, 2 * r)), onLayer});
        }
    }
    const QRectF bounds(QPointF(0, 0), view);
    QList<Title> titles;
    // The markers are placed layer by layer from the bottom, each layer in list order.
    for (int onLayer = 2; onLayer >= 0; --onLayer) {
        for (const Placed &at : placed) {
            if (titles.size() == maximumTitles)
                return titles;
            const MapMarker &marker = markers.at(at.marker);
            if (marker.title.isEmpty() || layer(marker, at.selected) != onLayer)
                continue;
            const QPointF anchor = at.position + QPointF(0, radius(marker, at.selected) + 1);
            // Most candidates sit under a title already placed: they are turned away before being
            // measured.
            const auto covers = [&anchor](const Title &title) { return title.rect.contains(anchor); };
            if (std::any_of(titles.cbegin(), titles.cend(), covers))
                continue;
            const QSizeF size = titleSize(at.marker, at.selected);
            const QRectF rect(QPointF(std::round(anchor.x() - size.width() / 2), anchor.y()), size);
            const auto overlaps = [&rect](const Title &title) { return title.rect.intersects(rect); };
            const auto hides = [&](const std::pair<QRectF, int> &disc) {
                return disc.second >= onLayer && disc.first.intersects(rect);
            };
            if (!bounds.intersects(rect) || std::any_of(titles.cbegin(), titles.cend(), overlaps)
                || std::any_of(taken.cbegin(), taken.cend(), hides))
                continue;
            titles.append({rect, at.marker, at.selected});
        }
    }
    return titles;
}

std::optional<qsizetype> MarkerLayout::hit(const QList<Placed> &placed, const QList<MapMarker> &markers,
                                           const QPointF &point)
{
    for (auto at = placed.crbegin(); at != placed.crend(); ++at) {
        const double reach = radius(markers.at(at->marker), at->selected) + 2;
        const QPointF offset = point - at->position;
        if (QPointF::dotProduct(offset, offset) <= reach * reach)
            return at->marker;
    }
    return std::nullopt;
}
