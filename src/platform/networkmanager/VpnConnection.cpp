#include "VpnConnection.h"

#include "Console.h"
#include "MainQueue.h"
#include "NetworkManagerDBus.h"
#include "NotificationCenter.h"
#include "TunnelWatch.h"
#include "VpnError.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QTimer>

#include <algorithm>

namespace nm = NetworkManagerDBus;

namespace {

// NetworkManager's active connection and VPN connection states.
constexpr uint activeActivated = 2;
constexpr uint activeDeactivating = 3;
constexpr uint activeDeactivated = 4;
constexpr uint vpnActivated = 5;
constexpr uint vpnFailed = 6;
constexpr uint vpnDisconnected = 7;

// A dropped tunnel is activated again 1 s later, then after twice as long as the time before, up to
// 30 s: a charon-nm still tearing down a dead peer's SA fails every activation (after 10 s, with
// "no secrets") for up to about 165 s.
constexpr int firstRetryDelay = 1000;
constexpr int maxRetryDelay = 30000;
const QString unknownConnectionError = QStringLiteral("org.freedesktop.NetworkManager.UnknownConnection");

using ManagedObjects = QMap<QDBusObjectPath, NMSettings>;

ManagedObjects managedObjects(const QVariant &value)
{
    return qdbus_cast<ManagedObjects>(value.value<QDBusArgument>());
}

QList<QDBusObjectPath> objectPaths(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<QList<QDBusObjectPath>>(value.value<QDBusArgument>());
    return value.value<QList<QDBusObjectPath>>();
}

} // namespace

VpnConnection::VpnConnection(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_tunnel(new TunnelWatch(bus, this))
    , m_retry(new QTimer(this))
{
    nm::registerTypes();
    connect(m_tunnel, &TunnelWatch::tunnelDead, this, &VpnConnection::onTunnelDead);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &VpnConnection::reassert);
    setBus(bus);
}

void VpnConnection::setBus(const QDBusConnection &bus)
{
    m_bus = bus;
    delete m_watcher;
    m_watcher = nullptr;
    // A lost bus or NetworkManager takes its tunnels along; what comes back starts without ours.
    endReasserting();
    ++m_generation;
    m_networkManagerPresent = false;
    m_activePath.clear();
    updateStatus();
    if (!m_bus.isConnected())
        return;
    m_watcher = new QDBusServiceWatcher(nm::service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    m_bus.connect(nm::service, {}, nm::activeInterface, QStringLiteral("StateChanged"), this,
                  SLOT(onActiveStateChanged(uint, uint, QDBusMessage)));
    m_bus.connect(nm::service, {}, nm::vpnConnectionInterface, QStringLiteral("VpnStateChanged"), this,
                  SLOT(onVpnStateChanged(uint, uint, QDBusMessage)));
    m_bus.connect(nm::service, nm::managerPath, nm::propertiesInterface, QStringLiteral("PropertiesChanged"),
                  this, SLOT(onPropertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                endReasserting();
                m_networkManagerPresent = false;
                m_activePath.clear();
                updateStatus();
                if (!newOwner.isEmpty())
                    resync();
            });
}

void VpnConnection::startVPNTunnel(StartCompletion completion)
{
    if (m_profilePath.isEmpty() || !m_enabled) {
        const Error error = m_profilePath.isEmpty() ? Error(VpnError::domain, VpnError::ConfigurationInvalid,
                                                            QStringLiteral("No VPN profile is saved."))
                                                    : Error(VpnError::domain, VpnError::ConfigurationDisabled,
                                                            QStringLiteral("The VPN profile is disabled."));
        MainQueue::async([completion = std::move(completion), error] { completion(error); });
        return;
    }
    activate([this, completion = std::move(completion)](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ErrorMessage) {
            completion(Error(VpnError::domain, VpnError::ConnectionFailed, nm::errorText(reply)));
            return;
        }
        // Signals of the new active connection may have come before this reply: read it whole.
        resync([completion] { completion(std::nullopt); });
    });
}

void VpnConnection::activate(std::function<void(const QDBusMessage &)> onReply)
{
    const QDBusObjectPath none(QStringLiteral("/"));
    nm::call(m_bus, this, nm::managerPath, nm::managerInterface, QStringLiteral("ActivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(m_profilePath)), QVariant::fromValue(none),
              QVariant::fromValue(none)},
             std::move(onReply));
}

void VpnConnection::reassert()
{
    if (!m_keepUp || m_activating)
        return;
    m_activating = true;
    Console::print(QStringLiteral("Reconnecting the VPN tunnel, attempt %1.").arg(++m_attempts));
    activate([this](const QDBusMessage &reply) {
        m_activating = false;
        if (reply.type() == QDBusMessage::ErrorMessage) {
            // Refused: the next attempt waits longer. A profile deleted meanwhile has nothing left
            // to bring back.
            if (reply.errorName() == unknownConnectionError)
                endReasserting();
            updateStatus();
            return;
        }
        // Stopped while the activation was on its way: take down what it started.
        if (!m_keepUp)
            deactivate(reply.arguments().value(0).value<QDBusObjectPath>().path());
        resync();
    });
}

void VpnConnection::endReasserting()
{
    m_keepUp = false;
    m_attempts = 0;
    m_retry->stop();
}

void VpnConnection::onTunnelDead()
{
    // NetworkManager keeps the VPN activated: taken down here, the status tells the truth.
    Console::print(m_keepUp ? QStringLiteral("The VPN tunnel no longer answers: reconnecting.")
                            : QStringLiteral("The VPN tunnel no longer answers: disconnecting."));
    deactivate(m_activePath);
}

void VpnConnection::stopVPNTunnel()
{
    endReasserting();
    updateStatus();
    if (!m_activePath.isEmpty())
        deactivate(m_activePath);
}

void VpnConnection::deactivate(const QString &activePath)
{
    nm::call(m_bus, this, nm::managerPath, nm::managerInterface, QStringLiteral("DeactivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(activePath))}, [](const QDBusMessage &) {});
}

void VpnConnection::setProfile(const QString &path, const QString &uuid, bool enabled, bool onDemand,
                               std::function<void()> ready)
{
    m_profilePath = path;
    m_profileUuid = uuid;
    m_enabled = enabled;
    m_onDemand = onDemand;
    if (!onDemand || path.isEmpty())
        endReasserting();
    if (path.isEmpty()) {
        ++m_generation;
        m_activePath.clear();
        updateStatus();
        if (ready)
            ready();
        return;
    }
    resync(std::move(ready));
}

void VpnConnection::resync(std::function<void()> ready)
{
    const quint64 generation = ++m_generation;
    nm::call(m_bus, this, nm::objectManagerPath, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
             QStringLiteral("GetManagedObjects"), {},
             [this, generation, ready = std::move(ready)](const QDBusMessage &reply) {
                 if (generation == m_generation) {
                     m_networkManagerPresent = reply.type() != QDBusMessage::ErrorMessage;
                     m_activePath.clear();
                     if (m_networkManagerPresent && !m_profilePath.isEmpty()) {
                         const ManagedObjects objects = managedObjects(reply.arguments().value(0));
                         for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
                             // By uuid: a restarted NetworkManager hands the profile paths out afresh.
                             const QVariantMap active = it.value().value(nm::activeInterface);
                             if (m_profileUuid.isEmpty()
                                 || active.value(QStringLiteral("Uuid")).toString() != m_profileUuid)
                                 continue;
                             m_activePath = it.key().path();
                             m_activeState = active.value(QStringLiteral("State")).toUInt();
                             m_vpnState = it.value()
                                              .value(nm::vpnConnectionInterface)
                                              .value(QStringLiteral("VpnState"))
                                              .toUInt();
                         }
                     }
                     updateStatus();
                 }
                 if (ready)
                     ready();
             });
}

void VpnConnection::onActiveStateChanged(uint state, uint, const QDBusMessage &message)
{
    if (message.path() != m_activePath || m_activePath.isEmpty())
        return;
    m_activeState = state;
    updateStatus();
}

void VpnConnection::onVpnStateChanged(uint state, uint, const QDBusMessage &message)
{
    if (message.path() != m_activePath || m_activePath.isEmpty())
        return;
    m_vpnState = state;
    updateStatus();
}

void VpnConnection::onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                        const QStringList &, const QDBusMessage &)
{
    const auto active = changed.constFind(QStringLiteral("ActiveConnections"));
    if (interface != nm::managerInterface || active == changed.cend() || m_profilePath.isEmpty())
        return;
    const QList<QDBusObjectPath> paths = objectPaths(*active);
    if (!m_activePath.isEmpty() && paths.contains(QDBusObjectPath(m_activePath)))
        return;
    // Ours went away, or one appeared that may be ours (started elsewhere, or reconnected).
    m_activePath.clear();
    updateStatus();
    resync();
}

VpnStatus VpnConnection::currentStatus() const
{
    if (!m_networkManagerPresent || m_profilePath.isEmpty())
        return VpnStatus::Invalid;
    if (m_activePath.isEmpty() || m_activeState == activeDeactivated)
        return VpnStatus::Disconnected;
    if (m_activeState == activeDeactivating)
        return VpnStatus::Disconnecting;
    if (m_vpnState == vpnActivated)
        return VpnStatus::Connected;
    if (m_vpnState == vpnFailed || m_vpnState == vpnDisconnected)
        return VpnStatus::Disconnected;
    // No VPN state heard of yet: the active connection's own tells.
    if (m_vpnState == 0 && m_activeState == activeActivated)
        return VpnStatus::Connected;
    return VpnStatus::Connecting;
}

void VpnConnection::updateStatus()
{
    const VpnStatus live = currentStatus();
    if (live == VpnStatus::Connected) {
        // Armed as the tunnel comes up, so that a stop asked for while it is up is not undone.
        if (m_status != VpnStatus::Connected) {
            m_keepUp = m_onDemand;
            m_attempts = 0;
            m_retryDelay = firstRetryDelay;
        }
    } else if (m_keepUp && live == VpnStatus::Disconnected && !m_activating && !m_retry->isActive()) {
        m_retry->start(m_retryDelay);
        m_retryDelay = std::min(2 * m_retryDelay, maxRetryDelay);
    }
    const bool reasserting = m_keepUp && live != VpnStatus::Connected && live != VpnStatus::Invalid;
    const VpnStatus status = reasserting ? VpnStatus::Reasserting : live;
    if (status == m_status)
        return;
    m_status = status;
    if (status == VpnStatus::Connected)
        m_tunnel->watch(m_bus, m_activePath);
    else
        m_tunnel->stop();
    NotificationCenter::defaultCenter().post(statusDidChangeNotification, this);
}
