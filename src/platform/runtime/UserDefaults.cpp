#include "UserDefaults.h"

#include <QLocale>
#include <QMutexLocker>

namespace {

QString settingsFilePath()
{
    // The native format on Linux is INI, in $XDG_CONFIG_HOME/Velmora/Velmora.conf.
    const QSettings probe(QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Velmora"));
    return probe.fileName();
}

QVariant asStoredText(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return value;
    }
}

} // namespace

UserDefaults &UserDefaults::standard()
{
    static UserDefaults defaults(settingsFilePath());
    return defaults;
}

UserDefaults::UserDefaults(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_settings(filePath, QSettings::IniFormat)
{
}

QVariant UserDefaults::stored(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings.value(key);
}

bool UserDefaults::contains(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings.contains(key);
}

bool UserDefaults::boolValue(const QString &key, bool defaultValue) const
{
    const QVariant value = stored(key);
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool();
    if (value.metaType().id() != QMetaType::QString)
        return defaultValue;
    const QString text = value.toString();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return defaultValue;
}

qint64 UserDefaults::integer(const QString &key, qint64 defaultValue) const
{
    const QVariant value = stored(key);
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::QString: {
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        return ok ? number : defaultValue;
    }
    default:
        return defaultValue;
    }
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QVariant value = stored(key);
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    {
        QMutexLocker lock(&m_mutex);
        m_settings.setValue(key, asStoredText(value));
        // Written at once, so that a crash loses nothing.
        m_settings.sync();
    }
    Q_EMIT changed(key);
}

void UserDefaults::remove(const QString &key)
{
    {
        QMutexLocker lock(&m_mutex);
        m_settings.remove(key);
        m_settings.sync();
    }
    Q_EMIT changed(key);
}
