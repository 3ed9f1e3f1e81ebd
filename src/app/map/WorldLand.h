#pragma once
// The land of the bundled world map, Natural Earth's polygons on Web Mercator's unit square: points
// and triangles for the scene graph, and, for painting in software, outlines thinned to a scale.

#include <QList>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QVector2D>

#include <memory>
#include <mutex>
#include <utility>

class WorldLand
{
public:
    // Read once from the application's resources; empty when the resource is unreadable.
    [[nodiscard]] static const WorldLand &shared();
    // Reads the land file's bytes; false, leaving it empty, when they are not a land file.
    [[nodiscard]] bool read(const QByteArray &data);

    [[nodiscard]] const QList<QVector2D> &points() const { return m_points; }
    // Three indices into points() per triangle.
    [[nodiscard]] const QList<quint32> &triangles() const { return m_triangles; }

    // The land of one part of the map in one path (outlines and holes, odd-even), and the bounds of
    // what it holds.
    struct Outline
    {
        QRectF bounds;
        QPainterPath path;
    };

    // The land in squares of a couple of hundred pixels, with no point closer to the one before than
    // half a pixel at that many pixels per world width (or the finest there is); made when first
    // asked for, from any thread, and kept for the few scales asked for last. In passing (a map on
    // its way somewhere) the closest of those kept stands in rather than a new one being made.
    [[nodiscard]] std::shared_ptr<const QList<Outline>> outlines(double scale, bool inPassing = false) const;

private:
    struct Polygon
    {
        qsizetype firstRing = 0;
        qsizetype ringCount = 0;
        QRectF bounds;
    };

    static constexpr int coarsest = 8;
    // Closer than 2^-14 world widths (2.4 km at the equator), the land has few points left to thin.
    static constexpr int finest = 14;
    static constexpr qsizetype keptLevels = 2;

    [[nodiscard]] QList<Outline> makeOutlines(int k) const;
    // The polygon's rings with no point closer than spacing to the one before; none when the
    // outline itself thins below a triangle.
    [[nodiscard]] QList<QPolygonF> thinned(const Polygon &polygon, double spacing) const;

    QList<Polygon> m_polygons;
    QList<qsizetype> m_ringStarts;
    QList<QVector2D> m_points;
    QList<quint32> m_triangles;
    mutable std::mutex m_mutex;
    // The levels made, the one used last first.
    mutable QList<std::pair<int, std::shared_ptr<const QList<Outline>>>> m_levels;
};
