#pragma once
// A world map of our own for the screens: Web Mercator over the bundled land, with markers that
// can be selected, dragged and zoomed by mouse, wheel, touch, pinch and the + and − keys, and a
// camera given as a region that the map moves to with an animation once it is on screen.

#include "GeoRegion.h"
#include "MapCamera.h"
#include "MapMarker.h"

#include <QList>
#include <QPointF>
#include <QQuickItem>
#include <QVariant>
#include <QVariantAnimation>
#include <QtQml/qqmlregistration.h>

#include <optional>

class WorldMap : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(GeoRegion camera READ camera WRITE setCamera NOTIFY cameraChanged)
    Q_PROPERTY(GeoRegion visibleRegion READ visibleRegion NOTIFY visibleRegionChanged)
    Q_PROPERTY(QList<MapMarker> markers READ markers WRITE setMarkers NOTIFY markersChanged)
    // A marker's tag, or null.
    Q_PROPERTY(QVariant selectedTag READ selectedTagValue WRITE setSelectedTagValue NOTIFY selectedTagChanged)
    // Whether a click on a marker selects it (and a click beside the markers clears the selection).
    Q_PROPERTY(bool selectable READ selectable WRITE setSelectable NOTIFY selectableChanged)
    // An animated move is under way.
    Q_PROPERTY(bool moving READ moving NOTIFY movingChanged)

public:
    explicit WorldMap(QQuickItem *parent = nullptr);

    // The region asked for last.
    [[nodiscard]] GeoRegion camera() const { return m_requested; }
    // Shows all of the region, as close as the view allows: animated when the map is on screen, at once
    // before. Every call moves the map, also to the region asked for before; until the user moves the
    // map, a new size fits the region again.
    void setCamera(const GeoRegion &region);
    [[nodiscard]] GeoRegion visibleRegion() const { return m_view.region(size()); }
    [[nodiscard]] const MapCamera &view() const { return m_view; }
    [[nodiscard]] QList<MapMarker> markers() const { return m_markers; }
    void setMarkers(const QList<MapMarker> &markers);
    [[nodiscard]] std::optional<qint64> selectedTag() const { return m_selectedTag; }
    void setSelectedTag(std::optional<qint64> tag);
    [[nodiscard]] QVariant selectedTagValue() const;
    void setSelectedTagValue(const QVariant &tag);
    [[nodiscard]] bool selectable() const { return m_selectable; }
    void setSelectable(bool selectable);
    [[nodiscard]] bool moving() const { return m_flight.state() == QAbstractAnimation::Running; }

    // Where a coordinate is in the item, on the copy of the world nearest the centre.
    [[nodiscard]] QPointF toItem(double latitude, double longitude) const;

Q_SIGNALS:
    void cameraChanged();
    void visibleRegionChanged();
    void markersChanged();
    void selectedTagChanged();
    void selectableChanged();
    void movingChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseUngrabEvent() override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void touchEvent(QTouchEvent *event) override;

private:
    [[nodiscard]] bool onScreen() const;
    void show(const MapCamera &camera);
    void moveTo(const MapCamera &camera, int duration);
    // The user moved the map: a new size keeps the view where it is.
    void userMoved(const MapCamera &camera);
    void choose(const QPointF &point);

    GeoRegion m_requested{0, 0, 170, 360};
    bool m_following = true;
    MapCamera m_view;
    QVariantAnimation m_flight;
    MapCamera m_flightFrom;
    MapCamera m_flightTo;
    QList<MapMarker> m_markers;
    QList<QPointF> m_positions;
    std::optional<qint64> m_selectedTag;
    bool m_selectable = false;
    QPointF m_pressedAt;
    QPointF m_lastAt;
    bool m_dragging = false;
    QList<QPointF> m_touches;
    bool m_touchMoved = false;
};
