#pragma once
// A part of the globe as a map shows it: a centre in degrees of latitude and longitude, and how many
// degrees of each it spans; with the rule for a usable coordinate and the region that distances make.

#include <QMetaType>
#include <QObject>
#include <QtQml/qqmlregistration.h>

struct GeoRegion
{
    Q_GADGET
    QML_VALUE_TYPE(geoRegion)
    Q_PROPERTY(double latitude MEMBER latitude)
    Q_PROPERTY(double longitude MEMBER longitude)
    Q_PROPERTY(double latitudeDelta MEMBER latitudeDelta)
    Q_PROPERTY(double longitudeDelta MEMBER longitudeDelta)

public:
    double latitude = 0;
    double longitude = 0;
    double latitudeDelta = 0;
    double longitudeDelta = 0;

    // Latitude within ±90 and longitude within ±180 degrees, ends included.
    [[nodiscard]] static bool isValidCoordinate(double latitude, double longitude);
    // The region centred there that spans those distances north–south and east–west on a sphere the
    // size of the equator, its spans held to the whole globe (180 by 360 degrees).
    [[nodiscard]] static GeoRegion withDistances(double latitude, double longitude, double northSouthMetres,
                                                 double eastWestMetres);

    bool operator==(const GeoRegion &other) const = default;
};
