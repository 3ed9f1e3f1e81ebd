#pragma once
// One marker of a map: where it stands, its title (none when empty), its colour, the symbol image
// in it (none when empty) and the tag that selects it.

#include <QColor>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

struct MapMarker
{
    Q_GADGET
    QML_VALUE_TYPE(mapMarker)
    Q_PROPERTY(qint64 tag MEMBER tag)
    Q_PROPERTY(double latitude MEMBER latitude)
    Q_PROPERTY(double longitude MEMBER longitude)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QColor tint MEMBER tint)
    Q_PROPERTY(QString symbol MEMBER symbol)

public:
    qint64 tag = 0;
    double latitude = 0;
    double longitude = 0;
    QString title;
    QColor tint;
    // A symbol image's name, as Assets::symbol takes it.
    QString symbol;

    bool operator==(const MapMarker &other) const = default;
};

Q_DECLARE_TYPEINFO(MapMarker, Q_RELOCATABLE_TYPE);
