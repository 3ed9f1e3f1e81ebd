#include "WorldMap.h"

#include "MarkerLayout.h"
#include "WorldMapNode.h"

#include <QGuiApplication>
#include <QLineF>
#include <QNativeGestureEvent>
#include <QQuickWindow>
#include <QStyleHints>

#include <cmath>

namespace {

// One notch of a mouse wheel zooms by this much.
constexpr double wheelNotchFactor = 1.4142135623730951;
// Milliseconds of an animated move: to a new camera, and a step asked for by a key.
constexpr int moveDuration = 500;
constexpr int keyMoveDuration = 200;

} // namespace

WorldMap::WorldMap(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents);
    setClip(true);
    setAcceptedMouseButtons(Qt::LeftButton);
    setAcceptTouchEvents(true);
    setActiveFocusOnTab(true);
    m_flight.setStartValue(0.0);
    m_flight.setEndValue(1.0);
    m_flight.setEasingCurve(QEasingCurve::InOutCubic);
    connect(&m_flight, &QVariantAnimation::valueChanged, this, [this](const QVariant &progress) {
        show(MapCamera::between(m_flightFrom, m_flightTo, progress.toDouble()));
    });
    connect(&m_flight, &QAbstractAnimation::stateChanged, this, [this] {
        // The frame after a move is drawn as a still map is.
        update();
        Q_EMIT movingChanged();
    });
}

void WorldMap::setCamera(const GeoRegion &region)
{
    m_requested = region;
    m_following = true;
    Q_EMIT cameraChanged();
    if (size().isEmpty())
        return;
    const MapCamera target = MapCamera::fitting(region, size());
    if (onScreen()) {
        moveTo(target, moveDuration);
    } else {
        m_flight.stop();
        show(target);
    }
}

void WorldMap::setMarkers(const QList<MapMarker> &markers)
{
    m_markers = markers;
    m_positions = MarkerLayout::project(markers);
    update();
    Q_EMIT markersChanged();
}

void WorldMap::setSelectedTag(std::optional<qint64> tag)
{
    if (m_selectedTag == tag)
        return;
    m_selectedTag = tag;
    update();
    Q_EMIT selectedTagChanged();
}

QVariant WorldMap::selectedTagValue() const
{
    return m_selectedTag ? QVariant(*m_selectedTag) : QVariant();
}

void WorldMap::setSelectedTagValue(const QVariant &tag)
{
    bool ok = false;
    const qint64 value = tag.toLongLong(&ok);
    setSelectedTag(tag.isNull() || !ok ? std::nullopt : std::optional(value));
}

void WorldMap::setSelectable(bool selectable)
{
    if (m_selectable == selectable)
        return;
    m_selectable = selectable;
    Q_EMIT selectableChanged();
}

QPointF WorldMap::toItem(double latitude, double longitude) const
{
    QPointF world = MapCamera::project(latitude, longitude);
    world.rx() -= std::round(world.x() - m_view.centre.x());
    return m_view.toView(world, size());
}

QSGNode *WorldMap::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    if (size().isEmpty()) {
        delete oldNode;
        return nullptr;
    }
    auto *node = static_cast<WorldMapNode *>(oldNode);
    if (!node)
        node = new WorldMapNode(window());
    node->update({m_view, size(), m_markers, m_positions, m_selectedTag, moving()});
    return node;
}

void WorldMap::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() == oldGeometry.size() || newGeometry.size().isEmpty())
        return;
    if (m_following) {
        m_flightTo = MapCamera::fitting(m_requested, size());
        if (!moving())
            show(m_flightTo);
    } else {
        show(m_view);
    }
}

bool WorldMap::onScreen() const
{
    return window() && window()->isExposed() && isVisible() && !size().isEmpty();
}

void WorldMap::show(const MapCamera &camera)
{
    m_view = camera.clamped(size());
    update();
    Q_EMIT visibleRegionChanged();
}

void WorldMap::moveTo(const MapCamera &camera, int duration)
{
    m_flight.stop();
    m_flightFrom = m_view;
    m_flightTo = camera;
    m_flight.setDuration(duration);
    m_flight.start();
}

void WorldMap::userMoved(const MapCamera &camera)
{
    m_following = false;
    m_flight.stop();
    show(camera);
}

void WorldMap::choose(const QPointF &point)
{
    if (!m_selectable)
        return;
    const auto placed = MarkerLayout::place(m_markers, m_positions, m_view, size(), m_selectedTag);
    const std::optional<qsizetype> hit = MarkerLayout::hit(placed, m_markers, point);
    setSelectedTag(hit ? std::optional(m_markers.at(*hit).tag) : std::nullopt);
}

bool WorldMap::event(QEvent *event)
{
    if (event->type() == QEvent::NativeGesture) {
        const auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            userMoved(m_view.zoomed(1 + gesture->value(), gesture->position(), size()));
            event->accept();
            return true;
        }
    }
    return QQuickItem::event(event);
}

void WorldMap::mousePressEvent(QMouseEvent *event)
{
    forceActiveFocus(Qt::MouseFocusReason);
    m_flight.stop();
    m_pressedAt = m_lastAt = event->position();
    m_dragging = false;
    event->accept();
}

void WorldMap::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    if (!m_dragging) {
        if ((at - m_pressedAt).manhattanLength() < QGuiApplication::styleHints()->startDragDistance())
            return;
        m_dragging = true;
        setKeepMouseGrab(true);
    }
    userMoved(m_view.panned(at - m_lastAt, size()));
    m_lastAt = at;
}

void WorldMap::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging)
        choose(event->position());
    m_dragging = false;
    setKeepMouseGrab(false);
}

void WorldMap::mouseUngrabEvent()
{
    m_dragging = false;
    setKeepMouseGrab(false);
}

void WorldMap::wheelEvent(QWheelEvent *event)
{
    // Notches of a wheel, or the pixels of a touchpad's scrolling, sixty to a notch.
    double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        notches = event->pixelDelta().y() / 60.0;
    if (notches == 0) {
        event->ignore();
        return;
    }
    userMoved(m_view.zoomed(std::pow(wheelNotchFactor, notches), event->position(), size()));
}

void WorldMap::keyPressEvent(QKeyEvent *event)
{
    const QPointF centre(width() / 2, height() / 2);
    const QPointF step(width() / 4, height() / 4);
    MapCamera target;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        target = m_view.zoomed(2, centre, size());
        break;
    case Qt::Key_Minus:
        target = m_view.zoomed(0.5, centre, size());
        break;
    case Qt::Key_Left:
        target = m_view.panned({step.x(), 0}, size());
        break;
    case Qt::Key_Right:
        target = m_view.panned({-step.x(), 0}, size());
        break;
    case Qt::Key_Up:
        target = m_view.panned({0, step.y()}, size());
        break;
    case Qt::Key_Down:
        target = m_view.panned({0, -step.y()}, size());
        break;
    default:
        event->ignore();
        return;
    }
    m_following = false;
    moveTo(target, keyMoveDuration);
}

void WorldMap::touchEvent(QTouchEvent *event)
{
    QList<QPointF> down;
    for (const QEventPoint &point : event->points()) {
        if (point.state() != QEventPoint::Released)
            down.append(point.position());
    }
    if (event->type() == QEvent::TouchBegin) {
        m_flight.stop();
        m_touchMoved = false;
    }
    // A finger that comes or goes starts the gesture anew from where the fingers are.
    if (down.size() == m_touches.size() && !down.isEmpty()) {
        MapCamera camera = m_view;
        if (down.size() == 1) {
            camera = camera.panned(down[0] - m_touches[0], size());
        } else {
            const QPointF middle = (down[0] + down[1]) / 2;
            camera = camera.panned(middle - (m_touches[0] + m_touches[1]) / 2, size());
            const double before = QLineF(m_touches[0], m_touches[1]).length();
            const double now = QLineF(down[0], down[1]).length();
            if (before > 0 && now > 0)
                camera = camera.zoomed(now / before, middle, size());
        }
        m_touchMoved = m_touchMoved || camera != m_view;
        if (camera != m_view)
            userMoved(camera);
    }
    if (event->type() == QEvent::TouchEnd && !m_touchMoved && event->points().size() == 1)
        choose(event->points().first().position());
    m_touches = down;
    event->accept();
}
