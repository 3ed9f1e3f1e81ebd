#include "RegionMapModel.h"

#include "GeoRegion.h"

void RegionMapModel::setCtrl(VelmoraController *ctrl)
{
    if (m_ctrl == ctrl)
        return;
    if (m_ctrl)
        disconnect(m_ctrl, nullptr, this, nullptr);
    m_ctrl = ctrl;
    if (ctrl) {
        connect(ctrl, &VelmoraController::regionsChanged, this, &RegionMapModel::refreshMarkers);
        connect(ctrl, &VelmoraController::currentRegionChanged, this, [this] {
            refreshMarkers();
            currentRegionDelivered();
        });
    }
    Q_EMIT ctrlChanged();
    refreshMarkers();
    currentRegionDelivered();
}

QColor RegionMapModel::currentTint()
{
    return QColor(0x34, 0xc7, 0x59);
}

QColor RegionMapModel::otherTint()
{
    return QColor(0x8e, 0x8e, 0x93);
}

void RegionMapModel::refreshMarkers()
{
    QList<MapMarker> markers;
    if (m_ctrl) {
        const QList<VPNRegion> regions = m_ctrl->regions();
        const std::optional<qint64> current = m_ctrl->currentRegion();
        markers.reserve(regions.size());
        for (const VPNRegion &region : regions)
            markers.append(marker(region, region.id == current));
    }
    m_markers = std::move(markers);
    Q_EMIT markersChanged();
}

void RegionMapModel::currentRegionDelivered()
{
    if (!m_ctrl)
        return;
    const std::optional<qint64> id = m_ctrl->currentRegion();
    if (!id)
        return;
    const std::optional<VPNRegion> region = m_ctrl->regionById(*id);
    if (!region)
        return;
    const double latitude = region->location.latitude;
    const double longitude = region->location.longitude;
    if (!GeoRegion::isValidCoordinate(latitude, longitude))
        return;
    moveTo(*id, latitude, longitude);
}
