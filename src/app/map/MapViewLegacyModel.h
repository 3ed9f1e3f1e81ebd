#pragma once
// The region map of the older kind: untitled markers, the current region's green and the others
// grey; a main-loop turn after each new current region, the map moves to 10,000 by 10,000 km around it.

#include "GeoRegion.h"
#include "RegionMapModel.h"

#include <QtQml/qqmlregistration.h>

class MapViewLegacyModel : public RegionMapModel
{
    Q_OBJECT
    QML_ELEMENT
    // Notifies on every assignment, so that the map moves also back to where it was.
    Q_PROPERTY(GeoRegion mapRegion READ mapRegion NOTIFY mapRegionChanged)

public:
    using RegionMapModel::RegionMapModel;

    [[nodiscard]] GeoRegion mapRegion() const { return m_mapRegion; }

    // 20,000 by 20,000 km around the start centre.
    [[nodiscard]] static GeoRegion startRegion();

Q_SIGNALS:
    void mapRegionChanged();

protected:
    [[nodiscard]] MapMarker marker(const VPNRegion &region, bool current) const override;
    void moveTo(qint64 regionId, double latitude, double longitude) override;

private:
    GeoRegion m_mapRegion = startRegion();
};
