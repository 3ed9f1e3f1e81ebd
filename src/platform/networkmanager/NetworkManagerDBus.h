#pragma once
// Names, types and the asynchronous call used to talk to NetworkManager over D-Bus, shared by the
// VPN manager, its connection and the secret agent.

#include "Error.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

#include <functional>

// A connection profile as NetworkManager passes it: setting name → property → value (a{sa{sv}}).
using NMSettings = QMap<QString, QVariantMap>;
// String dictionaries such as vpn.data and user.data (a{ss}).
using NMStringMap = QMap<QString, QString>;
Q_DECLARE_METATYPE(NMSettings)

namespace NetworkManagerDBus {

inline const QString service = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString managerPath = QStringLiteral("/org/freedesktop/NetworkManager");
inline const QString managerInterface = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString settingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
inline const QString settingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
inline const QString connectionInterface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
inline const QString activeInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
inline const QString vpnConnectionInterface = QStringLiteral("org.freedesktop.NetworkManager.VPN.Connection");
inline const QString agentManagerPath = QStringLiteral("/org/freedesktop/NetworkManager/AgentManager");
inline const QString agentManagerInterface = QStringLiteral("org.freedesktop.NetworkManager.AgentManager");
inline const QString secretAgentPath = QStringLiteral("/org/freedesktop/NetworkManager/SecretAgent");
inline const QString secretAgentInterface = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent");
inline const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
inline const QString objectManagerPath = QStringLiteral("/org/freedesktop");
inline const QString strongswanServiceType = QStringLiteral("org.freedesktop.NetworkManager.strongswan");
// The user.data key under which a profile keeps the persistent reference of its password item.
inline const QString passwordReferenceKey = QStringLiteral("io.velmora.password-ref");

// The active connection's states.
constexpr uint activeActivated = 2;
constexpr uint activeDeactivating = 3;
constexpr uint activeDeactivated = 4;

// GetManagedObjects' answer: object path → interface → property → value.
using ManagedObjects = QMap<QDBusObjectPath, NMSettings>;
[[nodiscard]] ManagedObjects managedObjects(const QDBusMessage &reply);

// Registers the D-Bus marshalling of NMSettings, NMStringMap and lists of dictionaries (aa{sv}, as
// routing rules are); safe to call more than once.
void registerTypes();

// The permission that lets only the current user (and root) change or activate a profile, without an
// administrator password: "user:<login name>:".
[[nodiscard]] QString ownerPermission();

// Calls method asynchronously; onReply gets the reply or the error message on context's thread,
// and is dropped when context is destroyed first.
void call(const QDBusConnection &bus, QObject *context, const QString &path, const QString &interface,
          const QString &method, const QVariantList &arguments,
          std::function<void(const QDBusMessage &)> onReply);

// A string dictionary out of a reply value, whether it arrived marshalled or already converted.
[[nodiscard]] NMStringMap stringMap(const QVariant &value);
[[nodiscard]] NMSettings settings(const QVariant &value);

// The readable text of an error reply: NetworkManager's message, else the error's name.
[[nodiscard]] QString errorText(const QDBusMessage &reply);

} // namespace NetworkManagerDBus
