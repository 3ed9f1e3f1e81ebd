#pragma once
// Where a server region is on the map: latitude and longitude in degrees, as 32-bit floats.

#include <QMetaType>
#include <QObject>

struct Location
{
    Q_GADGET
    Q_PROPERTY(float latitude MEMBER latitude)
    Q_PROPERTY(float longitude MEMBER longitude)

public:
    float latitude = 0;
    float longitude = 0;

    bool operator==(const Location &other) const = default;
};

Q_DECLARE_TYPEINFO(Location, Q_PRIMITIVE_TYPE);
