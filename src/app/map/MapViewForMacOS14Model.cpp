#include "MapViewForMacOS14Model.h"

void MapViewForMacOS14Model::setSelection(std::optional<qint64> selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    Q_EMIT selectionChanged();
}

QVariant MapViewForMacOS14Model::selectionValue() const
{
    return m_selection ? QVariant(*m_selection) : QVariant();
}

void MapViewForMacOS14Model::setSelectionValue(const QVariant &selection)
{
    bool ok = false;
    const qint64 id = selection.toLongLong(&ok);
    setSelection(selection.isNull() || !ok ? std::nullopt : std::optional(id));
}

GeoRegion MapViewForMacOS14Model::startPosition()
{
    return {startLatitude, startLongitude, 180.0, 360.0};
}

MapMarker MapViewForMacOS14Model::marker(const VPNRegion &region, bool current) const
{
    return {region.id,
            region.location.latitude,
            region.location.longitude,
            region.city,
            current ? currentTint() : otherTint(),
            current ? QString::fromLatin1(symbol) : QString()};
}

void MapViewForMacOS14Model::moveTo(qint64 regionId, double latitude, double longitude)
{
    m_position = {latitude, longitude, 20.0, 40.0};
    Q_EMIT positionChanged();
    setSelection(regionId);
}
