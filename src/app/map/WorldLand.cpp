#include "WorldLand.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Reads the little-endian numbers of the land file in order; a read past the end fails them all.
class Reader
{
public:
    explicit Reader(const QByteArray &data)
        : m_data(data)
    {
    }

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] bool atEnd() const { return m_at == m_data.size(); }

    template <typename T> T next()
    {
        if (!m_ok || m_data.size() - m_at < qsizetype(sizeof(T))) {
            m_ok = false;
            return T{};
        }
        const T value = qFromLittleEndian<T>(m_data.constData() + m_at);
        m_at += sizeof(T);
        return value;
    }

private:
    const QByteArray &m_data;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// The part of a ring between two lines across one axis (Sutherland–Hodgman, once for each line):
// between two values of y for Qt::Vertical, of x for Qt::Horizontal.
QPolygonF band(const QPolygonF &ring, Qt::Orientation across, double from, double to)
{
    const auto cut = [across](const QPolygonF &in, double at, double sign) {
        QPolygonF out;
        const auto side = [&](const QPointF &p) {
            return sign * ((across == Qt::Vertical ? p.y() : p.x()) - at);
        };
        for (qsizetype i = 0; i < in.size(); ++i) {
            const QPointF &a = in[i];
            const QPointF &b = in[(i + 1) % in.size()];
            const double sideA = side(a);
            const double sideB = side(b);
            if (sideA >= 0)
                out.append(a);
            if ((sideA >= 0) != (sideB >= 0))
                out.append(a + (b - a) * (sideA / (sideA - sideB)));
        }
        return out;
    };
    return cut(cut(ring, from, 1), to, -1);
}

float nextFloat(Reader &reader)
{
    const quint32 bits = reader.next<quint32>();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

const WorldLand &WorldLand::shared()
{
    static WorldLand land;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        QFile file(QStringLiteral(":/qt/qml/Velmora/assets/map/world-land.bin"));
        if (!file.open(QIODevice::ReadOnly) || !land.read(file.readAll()))
            qWarning("The map's land could not be read; the map shows sea only.");
    });
    return land;
}

bool WorldLand::read(const QByteArray &data)
{
    Reader in(data);
    const bool tagged = data.startsWith("VLND");
    in.next<quint32>();
    const quint32 version = in.next<quint32>();
    const quint32 polygonCount = in.next<quint32>();
    const quint32 ringCount = in.next<quint32>();
    const quint32 pointCount = in.next<quint32>();
    const quint32 indexCount = in.next<quint32>();
    // Every count is bounded by the bytes that would hold it.
    if (!tagged || version != 1 || !in.ok() || polygonCount > data.size() / 8 || ringCount > data.size() / 4
        || pointCount > data.size() / 8 || indexCount > data.size() / 2)
        return false;

    QList<quint32> ringsOf(polygonCount);
    QList<quint32> indicesOf(polygonCount);
    for (quint32 i = 0; i < polygonCount; ++i) {
        ringsOf[i] = in.next<quint32>();
        indicesOf[i] = in.next<quint32>();
    }
    QList<qsizetype> ringStarts(1, 0);
    for (quint32 i = 0; i < ringCount; ++i)
        ringStarts.append(ringStarts.last() + in.next<quint32>());
    QList<QVector2D> points(pointCount);
    for (QVector2D &point : points) {
        const float x = nextFloat(in);
        point = QVector2D(x, nextFloat(in));
    }
    if (!in.ok() || ringStarts.last() != qsizetype(pointCount))
        return false;

    QList<Polygon> polygons;
    QList<quint32> triangles;
    triangles.reserve(indexCount);
    qsizetype ring = 0;
    for (quint32 i = 0; i < polygonCount; ++i) {
        if (ringsOf[i] == 0 || ringsOf[i] > ringCount - ring || indicesOf[i] % 3 != 0)
            return false;
        const qsizetype first = ringStarts[ring];
        const qsizetype end = ringStarts[ring + ringsOf[i]];
        float left = 1, top = 1, right = 0, bottom = 0;
        for (qsizetype p = first; p < end; ++p) {
            const QVector2D &point = points[p];
            if (!(point.x() >= 0 && point.x() <= 1 && point.y() >= 0 && point.y() <= 1))
                return false;
            left = std::min(left, point.x());
            right = std::max(right, point.x());
            top = std::min(top, point.y());
            bottom = std::max(bottom, point.y());
        }
        for (quint32 k = 0; k < indicesOf[i]; ++k) {
            const quint16 index = in.next<quint16>();
            if (index >= end - first)
                return false;
            triangles.append(quint32(first + index));
        }
        polygons.append({ring, ringsOf[i], QRectF(QPointF(left, top), QPointF(right, bottom))});
        ring += ringsOf[i];
    }
    if (!in.ok() || !in.atEnd() || ring != qsizetype(ringCount))
        return false;

    m_polygons = std::move(polygons);
    m_ringStarts = std::move(ringStarts);
    m_points = std::move(points);
    m_triangles = std::move(triangles);
    return true;
}

std::shared_ptr<const QList<WorldLand::Outline>> WorldLand::outlines(double scale, bool inPassing) const
{
    // Level k keeps points 2^-k world widths apart, between half a pixel and a pixel at this scale.
    const int k = std::clamp(int(std::ceil(std::log2(std::max(scale, 1.0)))), coarsest, finest);
    const std::lock_guard lock(m_mutex);
    const auto distance = [k](const auto &level) { return std::abs(level.first - k); };
    const auto closest =
        std::min_element(m_levels.begin(), m_levels.end(),
                         [&](const auto &a, const auto &b) { return distance(a) < distance(b); });
    if (closest != m_levels.end() && (distance(*closest) == 0 || inPassing)) {
        std::rotate(m_levels.begin(), closest, closest + 1);
        return m_levels.first().second;
    }
    // The level used longest ago goes first, so that the two are never both held.
    if (m_levels.size() == keptLevels)
        m_levels.removeLast();
    m_levels.prepend({k, std::make_shared<const QList<Outline>>(makeOutlines(k))});
    return m_levels.first().second;
}

QList<WorldLand::Outline> WorldLand::makeOutlines(int k) const
{
    const double spacing = std::ldexp(1.0, -k);
    // Squares of 128 to 256 pixels at the level's scale (larger on the finest levels, which would
    // otherwise hold thousands), overlapping by a pixel or two so that no seam shows between them.
    // Small paths fill much faster than large ones with antialiasing.
    const int squares = std::clamp(1 << std::max(0, k - 7), 1, 32);
    const double side = 1.0 / squares;
    const double margin = squares > 1 ? 2 * spacing : 0;
    QList<Outline> outlines(squares * squares);
    for (Outline &outline : outlines)
        outline.path.setFillRule(Qt::OddEvenFill);

    for (const Polygon &polygon : m_polygons) {
        QList<QPolygonF> rings = thinned(polygon, spacing);
        if (rings.isEmpty())
            continue;
        const auto squareOf = [&](double at) {
            return std::clamp(int(std::floor(at / side)), 0, squares - 1);
        };
        for (int row = squareOf(polygon.bounds.top() - margin);
             row <= squareOf(polygon.bounds.bottom() + margin); ++row) {
            QList<QPolygonF> strip;
            for (const QPolygonF &ring : std::as_const(rings))
                strip.append(band(ring, Qt::Vertical, row * side - margin, (row + 1) * side + margin));
            if (strip.first().size() < 3)
                continue;
            for (int column = squareOf(polygon.bounds.left() - margin);
                 column <= squareOf(polygon.bounds.right() + margin); ++column) {
                Outline &outline = outlines[row * squares + column];
                bool outlined = false;
                for (const QPolygonF &ring : std::as_const(strip)) {
                    const QPolygonF part =
                        band(ring, Qt::Horizontal, column * side - margin, (column + 1) * side + margin);
                    if (part.size() < 3) {
                        if (!outlined)
                            break;
                        continue;
                    }
                    outlined = true;
                    outline.path.addPolygon(part);
                    outline.bounds |= part.boundingRect();
                }
            }
        }
    }
    outlines.removeIf([](const Outline &outline) { return outline.path.isEmpty(); });
    return outlines;
}

QList<QPolygonF> WorldLand::thinned(const Polygon &polygon, double spacing) const
{
    const double spacingSquared = spacing * spacing;
    QList<QPolygonF> rings;
    for (qsizetype r = polygon.firstRing; r < polygon.firstRing + polygon.ringCount; ++r) {
        QPolygonF ring;
        for (qsizetype p = m_ringStarts[r]; p < m_ringStarts[r + 1]; ++p) {
            const QPointF point = m_points[p].toPointF();
            const QPointF step = point - (ring.isEmpty() ? point : ring.last());
            if (ring.isEmpty() || QPointF::dotProduct(step, step) >= spacingSquared)
                ring.append(point);
        }
        // An outline thinned below a triangle is an islet too small to see, holes and all.
        if (ring.size() < 3 && r == polygon.firstRing)
            return {};
        if (ring.size() >= 3)
            rings.append(ring);
    }
    return rings;
}
