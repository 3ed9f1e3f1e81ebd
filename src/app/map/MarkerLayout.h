#pragma once
// Where a map's markers fall in its view, in drawing order, and which titles fit: markers off the
// view are left out, a marker that would cover one of the same look on the same pixel is drawn once,
// markers with a symbol go over plain ones and the selected marker over all. Titles go under their
// markers, the selected one's first, then those with a symbol, then in list order, each only where
// it overlaps no title placed before it and no marker with a symbol or selected that is drawn as
// high as its own.

#include "MapCamera.h"
#include "MapMarker.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <optional>

class MarkerLayout
{
public:
    static constexpr double dotRadius = 6;
    static constexpr double badgeRadius = 13;
    static constexpr double selectedGrowth = 1.3;
    static constexpr int maximumTitles = 40;

    struct Placed
    {
        // The marker's centre, on whole pixels of the view.
        QPointF position;
        qsizetype marker = 0;
        bool selected = false;
    };

    struct Title
    {
        QRectF rect;
        qsizetype marker = 0;
        bool selected = false;
    };

    [[nodiscard]] static double radius(const MapMarker &marker, bool selected);

    // Where each marker is on Web Mercator's unit square; not-a-number for a coordinate off the globe.
    [[nodiscard]] static QList<QPointF> project(const QList<MapMarker> &markers);
    // positions: what project gives for the markers.
    [[nodiscard]] static QList<Placed> place(const QList<MapMarker> &markers, const QList<QPointF> &positions,
                                             const MapCamera &camera, const QSizeF &view,
                                             std::optional<qint64> selected);
    // titleSize gives the size of a marker's title as drawn, by its index and whether it is selected;
    // markers without a title have none.
    [[nodiscard]] static QList<Title> titles(const QList<Placed> &placed, const QList<MapMarker> &markers,
                                             const QSizeF &view,
                                             const std::function<QSizeF(qsizetype, bool)> &titleSize);
    // The topmost marker whose disc holds the point, as an index into the markers.
    [[nodiscard]] static std::optional<qsizetype> hit(const QList<Placed> &placed,
                                                      const QList<MapMarker> &markers, const QPointF &point);
};
