#pragma once
// Which kind of region map the main screen shows: the current kind, or the older one when the
// environment variable VELMORA_LEGACY_MAP is set.

#include <QObject>
#include <QtQml/qqmlregistration.h>

class MapChoice : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool legacy READ legacy CONSTANT)

public:
    using QObject::QObject;

    [[nodiscard]] static bool legacy();
};
