#include "HostInfo.h"

#include <QFile>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSysInfo>

namespace {

QMutex &rootMutex()
{
    static QMutex mutex;
    return mutex;
}

QString &root()
{
    static QString path = QStringLiteral("/");
    return path;
}

std::optional<QByteArray> readSystemFile(const QString &path)
{
    QString base;
    {
        QMutexLocker lock(&rootMutex());
        base = root();
    }
    QFile file(base + path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // These files are a few bytes; anything far larger is not what we look for.
    return file.read(64 * 1024);
}

// A shell-style value: quotes removed, backslash escapes resolved.
QString unquoted(QString value)
{
    if (value.size() >= 2 && value.front() == u'\'' && value.back() == u'\'')
        return value.mid(1, value.size() - 2);
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.mid(1, value.size() - 2);
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size())
            ++i;
        result.append(value[i]);
    }
    return result;
}

QString prettyHostName()
{
    const auto contents = readSystemFile(QStringLiteral("etc/machine-info"));
    if (!contents)
        return {};
    const QLatin1String key("PRETTY_HOSTNAME=");
    const QStringList lines = QString::fromUtf8(*contents).split(u'\n');
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(key))
            return unquoted(trimmed.mid(key.size())).trimmed();
    }
    return {};
}

// Firmware that was never given a serial reports one of these; they would make many machines alike.
bool isPlaceholderSerial(const QString &serial)
{
    static const QStringList placeholders = {
        QStringLiteral("To Be Filled By O.E.M."),
        QStringLiteral("Default string"),
        QStringLiteral("System Serial Number"),
        QStringLiteral("Chassis Serial Number"),
        QStringLiteral("Not Specified"),
        QStringLiteral("Not Applicable"),
        QStringLiteral("Not Available"),
        QStringLiteral("None"),
        QStringLiteral("N/A"),
        QStringLiteral("Unknown"),
        QStringLiteral("0123456789"),
    };
    if (placeholders.contains(serial, Qt::CaseInsensitive))
        return true;
    return serial.count(u'0') == serial.size();
}

} // namespace

QString HostInfo::deviceName()
{
    const QString pretty = prettyHostName();
    if (!pretty.isEmpty())
        return pretty;
    const QString hostName = QSysInfo::machineHostName();
    if (!hostName.isEmpty())
        return hostName;
    return QStringLiteral("Unknown Device");
}

QString HostInfo::systemVersion()
{
    return systemVersion(QSysInfo::kernelVersion());
}

QString HostInfo::systemVersion(const QString &kernelRelease)
{
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = numbers.match(kernelRelease.trimmed());
    QStringList parts;
    for (int i = 1; i <= 3; ++i) {
        const QString digits = match.captured(i);
        bool ok = false;
        const qulonglong value = digits.toULongLong(&ok);
        parts.append(ok ? QString::number(value) : digits.isEmpty() ? QStringLiteral("0") : digits);
    }
    return parts.join(u'.');
}

std::optional<QString> HostInfo::machineSerial()
{
    if (const auto dmi = readSystemFile(QStringLiteral("sys/class/dmi/id/product_serial"))) {
        const QString serial = QString::fromUtf8(*dmi).trimmed();
        if (!serial.isEmpty() && !isPlaceholderSerial(serial))
            return serial;
    }
    if (const auto machineId = readSystemFile(QStringLiteral("etc/machine-id"))) {
        const QString id = QString::fromUtf8(*machineId).trimmed();
        if (!id.isEmpty())
            return id;
    }
    return std::nullopt;
}

QString HostInfo::preferredLanguage()
{
    return QLocale::system().uiLanguages().value(0);
}

void HostInfo::setFileSystemRoot(const QString &root)
{
    QMutexLocker lock(&rootMutex());
    ::root() = root.endsWith(u'/') ? root : root + u'/';
}
