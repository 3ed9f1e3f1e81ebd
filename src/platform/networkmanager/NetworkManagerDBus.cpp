#include "NetworkManagerDBus.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>

#include <pwd.h>
#include <unistd.h>

namespace NetworkManagerDBus {

void registerTypes()
{
    qDBusRegisterMetaType<NMStringMap>();
    qDBusRegisterMetaType<NMSettings>();
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

QString ownerPermission()
{
    const passwd *entry = getpwuid(geteuid());
    return QStringLiteral("user:%1:").arg(entry ? QString::fromLocal8Bit(entry->pw_name) : QString());
}

void call(const QDBusConnection &bus, QObject *context, const QString &path, const QString &interface,
          const QString &method, const QVariantList &arguments,
          std::function<void(const QDBusMessage &)> onReply)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [onReply = std::move(onReply)](QDBusPendingCallWatcher *finished) {
                         finished->deleteLater();
                         onReply(finished->reply());
                     });
}

ManagedObjects managedObjects(const QDBusMessage &reply)
{
    return qdbus_cast<ManagedObjects>(reply.arguments().value(0).value<QDBusArgument>());
}

NMStringMap stringMap(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<NMStringMap>(value.value<QDBusArgument>());
    return value.value<NMStringMap>();
}

NMSettings settings(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<NMSettings>(value.value<QDBusArgument>());
    return value.value<NMSettings>();
}

QString errorText(const QDBusMessage &reply)
{
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

} // namespace NetworkManagerDBus
