#pragma once
// Where a map looks: a centre on Web Mercator's unit square (x east from 180° W, y south from the
// top edge near 85° N) and a scale in pixels per world width; how it meets the view and the globe,
// and the limits a view puts on it: the world at least as tall as the view, no sky or sea beyond the
// poles, longitudes going round.

#include "GeoRegion.h"

#include <QPointF>
#include <QSizeF>

class MapCamera
{
public:
    static constexpr double maximumLatitude = 85.0511287798066;
    // About 40 m per pixel: closer than that, the land's detail has nothing left to show.
    static constexpr double maximumScale = 256.0 * 4096.0;

    QPointF centre{0.5, 0.5};
    double scale = 256;

    [[nodiscard]] static QPointF project(double latitude, double longitude);
    [[nodiscard]] static double latitudeAt(double y);
    [[nodiscard]] static double longitudeAt(double x);
    [[nodiscard]] static double minimumScale(const QSizeF &view);

    // The closest camera that shows all of the region in the view.
    [[nodiscard]] static MapCamera fitting(const GeoRegion &region, const QSizeF &view);
    // The part of the globe the view shows.
    [[nodiscard]] GeoRegion region(const QSizeF &view) const;
    // Within the limits: the scale in its range, the world over the whole height, x within [0, 1).
    [[nodiscard]] MapCamera clamped(const QSizeF &view) const;

    [[nodiscard]] QPointF toView(const QPointF &world, const QSizeF &view) const;
    [[nodiscard]] QPointF toWorld(const QPointF &point, const QSizeF &view) const;
    // The map dragged by a distance in the view.
    [[nodiscard]] MapCamera panned(const QPointF &delta, const QSizeF &view) const;
    // The map scaled by a factor, the world under a point of the view staying under it.
    [[nodiscard]] MapCamera zoomed(double factor, const QPointF &about, const QSizeF &view) const;
    // Part of the way from one camera to another: the short way round, the scale evenly in steps of
    // zoom.
    [[nodiscard]] static MapCamera between(const MapCamera &from, const MapCamera &to, double progress);

    bool operator==(const MapCamera &other) const = default;
};
