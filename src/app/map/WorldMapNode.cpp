#include "WorldMapNode.h"

#include "MapSprites.h"
#include "WorldLand.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGRectangleNode>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QSGTextureMaterial>

#include <cmath>
#include <cstring>
#include <optional>

namespace {

QPainter *painterOf(QQuickWindow *window)
{
    QSGRendererInterface *renderer = window->rendererInterface();
    return static_cast<QPainter *>(renderer->getResource(window, QSGRendererInterface::PainterResource));
}

// Paints one copy of the land for the software renderer: the outlines thinned to the scale the
// transforms above give, those in the area to paint.
class LandPaintNode : public QSGRenderNode
{
public:
    explicit LandPaintNode(QQuickWindow *window)
        : m_window(window)
    {
    }

    // While the map is on its way somewhere, outlines made for a nearby scale do.
    void setInPassing(bool inPassing) { m_inPassing = inPassing; }

    void render(const RenderState *state) override
    {
        QPainter *painter = painterOf(m_window);
        if (!painter)
            return;
        const QRegion &area = *state->clipRegion();
        painter->setClipRegion(area);
        const QTransform transform = matrix()->toTransform();
        const double scale = transform.m11();
        painter->setTransform(transform);
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(WorldMapNode::landColour);
        const QRectF shown = transform.inverted().mapRect(QRectF(area.boundingRect()));
        const auto outlines = WorldLand::shared().outlines(scale, m_inPassing);
        for (const WorldLand::Outline &outline : *outlines) {
            if (outline.bounds.intersects(shown))
                painter->drawPath(outline.path);
        }
    }
    [[nodiscard]] StateFlags changedStates() const override { return {}; }
    [[nodiscard]] RenderingFlags flags() const override { return BoundedRectRendering; }
    [[nodiscard]] QRectF rect() const override { return {0, 0, 1, 1}; }

private:
    QQuickWindow *m_window;
    bool m_inPassing = false;
};

} // namespace

// Paints the markers for the software renderer: each one's picture where the layout put it.
class MarkerPaintNode : public QSGRenderNode
{
public:
    struct Stamp
    {
        QPointF topLeft;
        qsizetype picture = 0;
    };

    explicit MarkerPaintNode(QQuickWindow *window)
        : m_window(window)
    {
    }

    void setStamps(const QRectF &rect, QList<QImage> pictures, QList<Stamp> stamps)
    {
        m_rect = rect;
        m_pictures = std::move(pictures);
        m_stamps = std::move(stamps);
        markDirty(DirtyMaterial);
    }

    void render(const RenderState *state) override
    {
        QPainter *painter = painterOf(m_window);
        if (!painter)
            return;
        painter->setClipRegion(*state->clipRegion());
        painter->setTransform(matrix()->toTransform());
        for (const Stamp &stamp : std::as_const(m_stamps))
            painter->drawImage(stamp.topLeft, m_pictures.at(stamp.picture));
    }
    [[nodiscard]] StateFlags changedStates() const override { return {}; }
    [[nodiscard]] RenderingFlags flags() const override { return BoundedRectRendering; }
    [[nodiscard]] QRectF rect() const override { return m_rect; }

private:
    QQuickWindow *m_window;
    QRectF m_rect;
    QList<QImage> m_pictures;
    QList<Stamp> m_stamps;
};

const QColor WorldMapNode::seaColour(0xaa, 0xd3, 0xec);
const QColor WorldMapNode::landColour(0xf4, 0xf1, 0xea);

WorldMapNode::WorldMapNode(QQuickWindow *window)
    : m_window(window)
    , m_software(window->rendererInterface()->graphicsApi() == QSGRendererInterface::Software)
    , m_devicePixelRatio(window->effectiveDevicePixelRatio())
{
    m_sea = window->createRectangleNode();
    m_sea->setColor(seaColour);
    // Transforms rather than plain nodes: the software renderer places a child added later by the
    // nearest transform, clip or opacity node above it that it has seen, and would miss the item's.
    m_land = new QSGTransformNode;
    m_markers = new QSGTransformNode;
    m_titles = new QSGTransformNode;
    appendChildNode(m_sea);
    appendChildNode(m_land);
    appendChildNode(m_markers);
    appendChildNode(m_titles);

    if (m_software) {
        m_markerPainter = new MarkerPaintNode(window);
        m_markers->appendChildNode(m_markerPainter);
        return;
    }
    const WorldLand &land = WorldLand::shared();
    m_landGeometry =
        std::make_unique<QSGGeometry>(QSGGeometry::defaultAttributes_Point2D(), int(land.points().size()),
                                      int(land.triangles().size()), QSGGeometry::UnsignedIntType);
    m_landGeometry->setDrawingMode(QSGGeometry::DrawTriangles);
    m_landGeometry->setVertexDataPattern(QSGGeometry::StaticPattern);
    m_landGeometry->setIndexDataPattern(QSGGeometry::StaticPattern);
    static_assert(sizeof(QVector2D) == sizeof(QSGGeometry::Point2D));
    std::memcpy(m_landGeometry->vertexData(), land.points().constData(),
                land.points().size() * sizeof(QVector2D));
    std::memcpy(m_landGeometry->indexData(), land.triangles().constData(),
                land.triangles().size() * sizeof(quint32));
    m_landMaterial.setColor(landColour);
}

WorldMapNode::~WorldMapNode()
{
    // The nodes go before the geometry, material and textures they draw with.
    while (QSGNode *child = firstChild()) {
        removeChildNode(child);
        delete child;
    }
    for (const Sprite &sprite : std::as_const(m_markerSprites))
        delete sprite.texture;
    for (const Sprite &sprite : std::as_const(m_titleSprites))
        delete sprite.texture;
}

template <typename Key, typename Make>
WorldMapNode::Sprite &WorldMapNode::sprite(Sprites<Key> &sprites, const Key &key, Make make)
{
    auto found = sprites.find(key);
    if (found == sprites.end()) {
        Sprite made{make(), nullptr, 0};
        made.texture = m_window->createTextureFromImage(made.image);
        made.texture->setFiltering(QSGTexture::Linear);
        found = sprites.insert(key, made);
    }
    found->lastFrame = m_frame;
    return *found;
}

template <typename Key> void WorldMapNode::forgetUnused(Sprites<Key> &sprites, qsizetype keep)
{
    if (sprites.size() <= keep)
        return;
    for (auto it = sprites.begin(); it != sprites.end();) {
        if (it->lastFrame != m_frame) {
            delete it->texture;
            it = sprites.erase(it);
        } else {
            ++it;
        }
    }
}

void WorldMapNode::followMarkers(const QList<MapMarker> &markers)
{
    if (markers.constData() == m_markersSeen && markers.size() == m_known.size())
        return;
    m_markersSeen = markers.constData();
    m_known.clear();
    m_known.reserve(markers.size());
    for (const MapMarker &marker : markers) {
        quint64 symbol = 0;
        if (!marker.symbol.isEmpty()) {
            auto found = m_symbols.constFind(marker.symbol);
            if (found == m_symbols.cend())
                found = m_symbols.insert(marker.symbol, quint64(m_symbols.size() + 1));
            symbol = *found;
        }
        m_known.append({quint64(marker.tint.rgba()) | symbol << 32, {}, {}});
    }
}

quint64 WorldMapNode::look(qsizetype marker, bool selected) const
{
    return m_known.at(marker).look | quint64(selected) << 63;
}

const QString &WorldMapNode::titleOf(const QList<MapMarker> &markers, qsizetype marker)
{
    Known &known = m_known[marker];
    if (known.title.isNull())
        known.title = MapSprites::shown(markers.at(marker).title);
    return known.title;
}

void WorldMapNode::update(const Frame &frame)
{
    ++m_frame;
    followMarkers(frame.markers);
    m_sea->setRect(QRectF(QPointF(0, 0), frame.view));
    updateLand(frame);
    const QList<MarkerLayout::Placed> placed =
        MarkerLayout::place(frame.markers, frame.positions, frame.camera, frame.view, frame.selected);
    updateMarkers(frame, placed);
    updateTitles(frame, placed);
    forgetUnused(m_markerSprites, 16);
    forgetUnused(m_titleSprites, 2 * MarkerLayout::maximumTitles);
}

void WorldMapNode::updateLand(const Frame &frame)
{
    const MapCamera &camera = frame.camera;
    const double halfWidth = frame.view.width() / 2 / camera.scale;
    const int first = int(std::floor(camera.centre.x() - halfWidth));
    const int copies = int(std::floor(camera.centre.x() + halfWidth)) - first + 1;
    while (m_land->childCount() < copies) {
        auto *transform = new QSGTransformNode;
        if (m_software) {
            transform->appendChildNode(new LandPaintNode(m_window));
        } else {
            auto *land = new QSGGeometryNode;
            land->setGeometry(m_landGeometry.get());
            land->setMaterial(&m_landMaterial);
            transform->appendChildNode(land);
        }
        m_land->appendChildNode(transform);
    }
    while (m_land->childCount() > copies) {
        QSGNode *last = m_land->lastChild();
        m_land->removeChildNode(last);
        delete last;
    }
    QSGNode *copy = m_land->firstChild();
    for (int turn = first; copy; ++turn, copy = copy->nextSibling()) {
        QMatrix4x4 matrix;
        matrix.translate(float(frame.view.width() / 2 + (turn - camera.centre.x()) * camera.scale),
                         float(frame.view.height() / 2 - camera.centre.y() * camera.scale));
        matrix.scale(float(camera.scale));
        static_cast<QSGTransformNode *>(copy)->setMatrix(matrix);
        if (m_software)
            static_cast<LandPaintNode *>(copy->firstChild())->setInPassing(frame.moving);
    }
}

void WorldMapNode::updateMarkers(const Frame &frame, const QList<MarkerLayout::Placed> &placed)
{
    // Neighbours in drawing order mostly look alike: the picture is looked up when the look changes.
    std::optional<quint64> current;
    QPointF half;
    const auto lookChanged = [&](const MarkerLayout::Placed &at) -> const Sprite * {
        const quint64 key = look(at.marker, at.selected);
        if (current == key)
            return nullptr;
        current = key;
        const Sprite &picture = sprite(m_markerSprites, key, [&] {
            return MapSprites::marker(frame.markers.at(at.marker), at.selected, m_devicePixelRatio);
        });
        half = QPointF(picture.image.deviceIndependentSize().width(),
                       picture.image.deviceIndependentSize().height())
            / 2;
        return &picture;
    };

    if (m_software) {
        QList<QImage> pictures;
        QList<MarkerPaintNode::Stamp> stamps;
        stamps.reserve(placed.size());
        for (const MarkerLayout::Placed &at : placed) {
            if (const Sprite *picture = lookChanged(at))
                pictures.append(picture->image);
            stamps.append({at.position - half, pictures.size() - 1});
        }
        m_markerPainter->setStamps(QRectF(QPointF(0, 0), frame.view), std::move(pictures), std::move(stamps));
        return;
    }

    // One batch of textured squares per look, in the order the looks are first drawn.
    QList<quint64> order;
    QHash<quint64, QList<QPointF>> corners;
    QList<QPointF> *batchCorners = nullptr;
    for (const MarkerLayout::Placed &at : placed) {
        if (lookChanged(at)) {
            auto found = corners.find(*current);
            if (found == corners.end()) {
                order.append(*current);
                found = corners.insert(*current, {});
            }
            batchCorners = &*found;
        }
        batchCorners->append(at.position - half);
    }
    m_markers->removeAllChildNodes();
    for (auto it = m_batches.begin(); it != m_batches.end();) {
        if (!corners.contains(it.key())) {
            delete it.value();
            it = m_batches.erase(it);
        } else {
            ++it;
        }
    }
    for (const quint64 key : std::as_const(order)) {
        const Sprite &sprite = m_markerSprites[key];
        QSGGeometryNode *&batch = m_batches[key];
        if (!batch) {
            batch = new QSGGeometryNode;
            auto *geometry = new QSGGeometry(QSGGeometry::defaultAttributes_TexturedPoint2D(), 0);
            geometry->setDrawingMode(QSGGeometry::DrawTriangles);
            batch->setGeometry(geometry);
            auto *material = new QSGTextureMaterial;
            material->setFiltering(QSGTexture::Linear);
            batch->setMaterial(material);
            batch->setFlags(QSGNode::OwnsGeometry | QSGNode::OwnsMaterial);
        }
        static_cast<QSGTextureMaterial *>(batch->material())->setTexture(sprite.texture);
        const QList<QPointF> &at = corners[key];
        const QSizeF size = sprite.image.deviceIndependentSize();
        QSGGeometry *geometry = batch->geometry();
        geometry->allocate(int(at.size() * 6));
        QSGGeometry::TexturedPoint2D *vertex = geometry->vertexDataAsTexturedPoint2D();
        for (const QPointF &corner : at) {
            const float left = float(corner.x());
            const float top = float(corner.y());
            const float right = float(corner.x() + size.width());
            const float bottom = float(corner.y() + size.height());
            (vertex++)->set(left, top, 0, 0);
            (vertex++)->set(right, top, 1, 0);
            (vertex++)->set(left, bottom, 0, 1);
            (vertex++)->set(right, top, 1, 0);
            (vertex++)->set(right, bottom, 1, 1);
            (vertex++)->set(left, bottom, 0, 1);
        }
        batch->markDirty(QSGNode::DirtyGeometry | QSGNode::DirtyMaterial);
        m_markers->appendChildNode(batch);
    }
}

void WorldMapNode::updateTitles(const Frame &frame, const QList<MarkerLayout::Placed> &placed)
{
    const QList<MarkerLayout::Title> titles =
        MarkerLayout::titles(placed, frame.markers, frame.view, [&](qsizetype marker, bool selected) {
            if (selected)
                return MapSprites::titleSize(titleOf(frame.markers, marker), true);
            QSizeF &size = m_known[marker].titleSize;
            if (size.isEmpty())
                size = MapSprites::titleSize(titleOf(frame.markers, marker), false);
            return size;
        });
    while (m_titles->childCount() > titles.size()) {
        QSGNode *last = m_titles->lastChild();
        m_titles->removeChildNode(last);
        delete last;
    }
    QSGNode *node = m_titles->firstChild();
    for (const MarkerLayout::Title &title : titles) {
        const QString &text = titleOf(frame.markers, title.marker);
        const QString key = (title.selected ? QStringLiteral("1") : QStringLiteral("0")) + text;
        const Sprite &picture = sprite(
            m_titleSprites, key, [&] { return MapSprites::title(text, title.selected, m_devicePixelRatio); });
        auto *image = static_cast<QSGImageNode *>(node);
        if (!image) {
            image = m_window->createImageNode();
            image->setOwnsTexture(false);
            image->setFiltering(QSGTexture::Linear);
        }
        image->setTexture(picture.texture);
        image->setRect(title.rect);
        // A new node joins the tree once it has its picture: the software renderer looks at it then.
        if (!node)
            m_titles->appendChildNode(image);
        else
            node = node->nextSibling();
    }
}
