#include "Assets.h"

#include <QFile>
#include <QRegularExpression>

namespace {

// Names reach a resource path: only plain names, never a path of the caller's making.
QUrl resource(const QString &folder, const QString &name)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9.-]*$"));
    if (!plainName.match(name).hasMatch() || name.contains(QStringLiteral("..")))
        return {};
    const QString path = QStringLiteral(":/qt/qml/Velmora/assets/%1/%2.svg").arg(folder, name);
    if (!QFile::exists(path))
        return {};
    return QUrl(QStringLiteral("qrc") + path);
}

} // namespace

QUrl Assets::symbol(const QString &name)
{
    return resource(QStringLiteral("symbols"), name);
}

QUrl Assets::flag(const QString &countryCode)
{
    const QString code = countryCode.toLower();
    return resource(QStringLiteral("flags"), code == QLatin1String("uk") ? QStringLiteral("gb") : code);
}

QUrl Assets::image(const QString &name)
{
    return resource(QStringLiteral("images"), name);
}

QColor Assets::rightBarColor()
{
    return QColor(0x1f, 0x2a, 0x5c);
}
