#pragma once
// The map's scene graph: the sea; the land as geometry built once, one copy per turn of the world
// in view, each moved by a transform (with the software renderer, which draws no geometry, the same
// transforms move render nodes that paint the land's outlines); the markers in one batch per look;
// the titles as images.

#include "MapCamera.h"
#include "MapMarker.h"
#include "MarkerLayout.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSGFlatColorMaterial>
#include <QSGGeometry>
#include <QSGNode>
#include <QSizeF>

#include <memory>
#include <optional>

class QQuickWindow;
class QSGRectangleNode;
class QSGTexture;
class MarkerPaintNode;

class WorldMapNode : public QSGNode
{
public:
    struct Frame
    {
        MapCamera camera;
        QSizeF view;
        QList<MapMarker> markers;
        // The markers' places on Web Mercator's unit square, as MarkerLayout::project gives them.
        QList<QPointF> positions;
        std::optional<qint64> selected;
        // An animated move is under way.
        bool moving = false;
    };

    static const QColor seaColour;
    static const QColor landColour;

    explicit WorldMapNode(QQuickWindow *window);
    ~WorldMapNode() override;
    WorldMapNode(const WorldMapNode &) = delete;
    WorldMapNode &operator=(const WorldMapNode &) = delete;

    void update(const Frame &frame);

private:
    struct Sprite
    {
        QImage image;
        QSGTexture *texture = nullptr;
        quint64 lastFrame = 0;
    };
    template <typename Key> using Sprites = QHash<Key, Sprite>;

    template <typename Key, typename Make> Sprite &sprite(Sprites<Key> &sprites, const Key &key, Make make);
    template <typename Key> void forgetUnused(Sprites<Key> &sprites, qsizetype keep);
    // What is worked out once per list of markers: each one's look unselected, its title as shown
    // and that title's size, the last two when first asked for.
    struct Known
    {
        quint64 look = 0;
        QString title;
        QSizeF titleSize;
    };

    void followMarkers(const QList<MapMarker> &markers);
    [[nodiscard]] quint64 look(qsizetype marker, bool selected) const;
    [[nodiscard]] const QString &titleOf(const QList<MapMarker> &markers, qsizetype marker);

    void updateLand(const Frame &frame);
    void updateMarkers(const Frame &frame, const QList<MarkerLayout::Placed> &placed);
    void updateTitles(const Frame &frame, const QList<MarkerLayout::Placed> &placed);

    QQuickWindow *m_window;
    const bool m_software;
    const qreal m_devicePixelRatio;
    quint64 m_frame = 0;
    QSGRectangleNode *m_sea = nullptr;
    QSGNode *m_land = nullptr;
    QSGNode *m_markers = nullptr;
    QSGNode *m_titles = nullptr;
    MarkerPaintNode *m_markerPainter = nullptr;
    std::unique_ptr<QSGGeometry> m_landGeometry;
    QSGFlatColorMaterial m_landMaterial;
    QHash<QString, quint64> m_symbols;
    const MapMarker *m_markersSeen = nullptr;
    QList<Known> m_known;
    QHash<quint64, QSGGeometryNode *> m_batches;
    Sprites<quint64> m_markerSprites;
    Sprites<QString> m_titleSprites;
};
