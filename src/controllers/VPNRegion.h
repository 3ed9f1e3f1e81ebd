#pragma once
// One server region as the service lists it, and the strict decoding of the service's region list:
// every required key present, no null in a required field, exact JSON types; all or nothing.

#include "Location.h"

#include <QJsonValue>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

struct VPNRegion
{
    Q_GADGET
    Q_PROPERTY(qint64 id MEMBER id)
    Q_PROPERTY(bool is_streaming MEMBER is_streaming)
    Q_PROPERTY(bool is_free MEMBER is_free)
    Q_PROPERTY(bool is_alive MEMBER is_alive)
    Q_PROPERTY(QString server_domain MEMBER server_domain)
    Q_PROPERTY(QString city MEMBER city)
    Q_PROPERTY(QString country_code MEMBER country_code)
    Q_PROPERTY(bool is_p2p MEMBER is_p2p)
    Q_PROPERTY(QString ip MEMBER ip)
    Q_PROPERTY(qint64 load_percentage MEMBER load_percentage)
    Q_PROPERTY(QString country_name MEMBER country_name)
    Q_PROPERTY(QVariant distance READ distanceValue)
    Q_PROPERTY(bool is_nearest MEMBER is_nearest)
    Q_PROPERTY(Location location MEMBER location)
    Q_PROPERTY(QString short_name MEMBER short_name)
    Q_PROPERTY(QString continent MEMBER continent)

public:
    qint64 id = 0;
    bool is_streaming = false;
    bool is_free = false;
    bool is_alive = false;
    QString server_domain;
    QString city;
    QString country_code;
    bool is_p2p = false;
    QString ip;
    qint64 load_percentage = 0;
    QString country_name;
    std::optional<qint64> distance;
    bool is_nearest = false;
    Location location;
    QString short_name;
    QString continent;

    // The distance for QML: a number, or null when the service gave none.
    [[nodiscard]] QVariant distanceValue() const;

    // Decodes an array of region objects. Keys the region does not name are ignored. On failure
    // returns none and, when error is given, a description naming the element and the key.
    [[nodiscard]] static std::optional<QList<VPNRegion>> decodeList(const QJsonValue &json,
                                                                    QString *error = nullptr);

    bool operator==(const VPNRegion &other) const = default;
};

Q_DECLARE_TYPEINFO(VPNRegion, Q_RELOCATABLE_TYPE);
