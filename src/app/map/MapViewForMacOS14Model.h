#pragma once
// The region map of the current kind: markers titled with their city, the current region's green
// with a shield symbol and the others grey; each new current region moves the camera to 20 by 40
// degrees around it and selects its marker. A marker chosen on the map is only selected.

#include "GeoRegion.h"
#include "RegionMapModel.h"

#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <optional>

class MapViewForMacOS14Model : public RegionMapModel
{
    Q_OBJECT
    QML_ELEMENT
    // The camera; notifies on every assignment, so that the map moves also back to where it was.
    Q_PROPERTY(GeoRegion position READ position NOTIFY positionChanged)
    // The selected marker's region id, or null.
    Q_PROPERTY(QVariant selection READ selectionValue WRITE setSelectionValue NOTIFY selectionChanged)

public:
    static constexpr auto symbol = "checkmark.shield.fill";

    using RegionMapModel::RegionMapModel;

    [[nodiscard]] GeoRegion position() const { return m_position; }
    [[nodiscard]] std::optional<qint64> selection() const { return m_selection; }
    void setSelection(std::optional<qint64> selection);
    [[nodiscard]] QVariant selectionValue() const;
    void setSelectionValue(const QVariant &selection);

    // The whole world around the start centre.
    [[nodiscard]] static GeoRegion startPosition();

Q_SIGNALS:
    void positionChanged();
    void selectionChanged();

protected:
    [[nodiscard]] MapMarker marker(const VPNRegion &region, bool current) const override;
    void moveTo(qint64 regionId, double latitude, double longitude) override;

private:
    GeoRegion m_position = startPosition();
    std::optional<qint64> m_selection;
};
