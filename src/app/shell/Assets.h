#pragma once
// The bundled images by name: symbol images, country flags and the application's own artwork, as
// addresses the screens can load, and the artwork's colour. A name that has no image gives an empty
// address.

#include <QColor>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class Assets : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // The login screen's logo panel, behind "rightBarLogo".
    Q_PROPERTY(QColor rightBarColor READ rightBarColor CONSTANT)

public:
    using QObject::QObject;

    // A symbol image ("magnifyingglass", "xmark.circle.fill", ...).
    [[nodiscard]] Q_INVOKABLE static QUrl symbol(const QString &name);
    // A flag by country code in any letter case ("de", "EU", "gb-sct"; "uk" is the British flag).
    [[nodiscard]] Q_INVOKABLE static QUrl flag(const QString &countryCode);
    // Our own artwork ("logo", "connectedButton", "AppIconMacOS", ...).
    [[nodiscard]] Q_INVOKABLE static QUrl image(const QString &name);

    [[nodiscard]] static QColor rightBarColor();
};
