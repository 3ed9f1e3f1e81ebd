#pragma once
// What a region map shows of the controller: one marker per region in the list's order, the current
// region's marked, made again whenever the controller publishes; and, for every current region it
// publishes (the one it holds when the map is made included), a move to that region when the id
// names a region whose coordinate is valid. The two kinds of map differ in their markers and moves;
// neither writes to the controller.

#include "MapMarker.h"
#include "VPNRegion.h"
#include "VelmoraController.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class RegionMapModel : public QObject
{
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(VelmoraController *ctrl READ ctrl WRITE setCtrl NOTIFY ctrlChanged REQUIRED)
    Q_PROPERTY(QList<MapMarker> markers READ markers NOTIFY markersChanged)

public:
    // Where both kinds of map start, before any region is current.
    static constexpr double startLatitude = 54.0;
    static constexpr double startLongitude = 15.0;

    using QObject::QObject;

    [[nodiscard]] VelmoraController *ctrl() const { return m_ctrl; }
    // Follows the controller's regions and current region; the current one is looked at at once.
    void setCtrl(VelmoraController *ctrl);
    [[nodiscard]] QList<MapMarker> markers() const { return m_markers; }

    [[nodiscard]] static QColor currentTint();
    [[nodiscard]] static QColor otherTint();

Q_SIGNALS:
    void ctrlChanged();
    void markersChanged();

protected:
    [[nodiscard]] virtual MapMarker marker(const VPNRegion &region, bool current) const = 0;
    // The region the id names became current, at a valid coordinate.
    virtual void moveTo(qint64 regionId, double latitude, double longitude) = 0;

private:
    void refreshMarkers();
    void currentRegionDelivered();

    QPointer<VelmoraController> m_ctrl;
    QList<MapMarker> m_markers;
};
