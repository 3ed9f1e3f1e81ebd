#include "MapViewLegacyModel.h"

#include "MainQueue.h"

#include <QPointer>

GeoRegion MapViewLegacyModel::startRegion()
{
    return GeoRegion::withDistances(startLatitude, startLongitude, 20'000'000, 20'000'000);
}

MapMarker MapViewLegacyModel::marker(const VPNRegion &region, bool current) const
{
    return {region.id,
            region.location.latitude,
            region.location.longitude,
            {},
            current ? currentTint() : otherTint(),
            {}};
}

void MapViewLegacyModel::moveTo(qint64, double latitude, double longitude)
{
    MainQueue::async([self = QPointer(this), latitude, longitude] {
        if (!self)
            return;
        self->m_mapRegion = GeoRegion::withDistances(latitude, longitude, 10'000'000, 10'000'000);
        Q_EMIT self->mapRegionChanged();
    });
}
