#include "VpnConnection.h"

#include "Console.h"
#include "MainQueue.h"
#include "NetworkManagerDBus.h"
#include "NotificationCenter.h"
#include "TrafficBlock.h"
#include "TunnelWatch.h"
#include "VpnError.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QHostInfo>
#include <QTimer>

#include <algorithm>

namespace nm = NetworkManagerDBus;

namespace {

using nm::activeActivated;
using nm::activeDeactivated;
using nm::activeDeactivating;

// NetworkManager's VPN connection states.
constexpr uint vpnActivated = 5;
constexpr uint vpnFailed = 6;
constexpr uint vpnDisconnected = 7;
// The same value in the active connection's reasons and the VPN connection's.
constexpr uint reasonUserDisconnected = 2;

// A dropped tunnel is activated again 1 s later, then after twice as long as the time before, up to
// 30 s: a charon-nm still tearing down a dead peer's SA fails every activation (after 10 s, with
// "no secrets") for up to about 165 s.
constexpr int firstRetryDelay = 1000;
constexpr int maxRetryDelay = 30000;
constexpr int heldFor = 60000;
const QString unknownConnectionError = QStringLiteral("org.freedesktop.NetworkManager.UnknownConnection");

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
    , m_block(new TrafficBlock(bus, this))
    , m_retry(new QTimer(this))
    , m_held(new QTimer(this))
    , m_retryDelay(firstRetryDelay)
{
    nm::registerTypes();
    connect(m_tunnel, &TunnelWatch::tunnelDead, this, &VpnConnection::onTunnelDead);
    connect(m_block, &TrafficBlock::liftedOutside, this, &VpnConnection::standDown);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &VpnConnection::reassert);
    m_held->setSingleShot(true);
    m_held->setInterval(heldFor);
    connect(m_held, &QTimer::timeout, this, [this] {
        m_retryDelay = firstRetryDelay;
        m_attempts = 0;
    });
    setBus(bus);
}

void VpnConnection::setBus(const QDBusConnection &bus)
{
    m_bus = bus;
    delete m_watcher;
    m_watcher = nullptr;
    m_block->setBus(bus);
    // A lost bus or NetworkManager takes its tunnels along; what comes back starts without ours, and a
    // block found there is lifted.
    disarm();
    ++m_generation;
    m_networkManagerPresent = false;
    m_activePath.clear();
    m_takenDown.clear();
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
                disarm();
                m_networkManagerPresent = false;
                // A new NetworkManager hands the active connection paths out afresh.
                m_activePath.clear();
                m_takenDown.clear();
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
    // Read afresh: the tunnel may have been brought up meanwhile, from the desktop.
    resync([this] {
        if (!m_keepUp || currentStatus() != VpnStatus::Disconnected) {
            m_activating = false;
            updateStatus();
            return;
        }
        Console::print(QStringLiteral("Reconnecting the VPN tunnel, attempt %1.").arg(++m_attempts));
        activate([this](const QDBusMessage &reply) {
            m_activating = false;
            if (reply.type() == QDBusMessage::ErrorMessage) {
                // Refused: the next attempt waits longer. A profile deleted meanwhile has nothing
                // left to bring back.
                if (reply.errorName() == unknownConnectionError)
                    disarm();
                updateStatus();
                return;
            }
            // Stopped while the activation was on its way: take down what it started.
            if (!m_keepUp)
                deactivate(reply.arguments().value(0).value<QDBusObjectPath>().path());
            resync();
        });
    });
}

void VpnConnection::endReasserting()
{
    const bool attempting = m_keepUp && currentStatus() == VpnStatus::Connecting;
    disarm();
    // An attempt on its way was the reconnection's own: it goes with it.
    if (attempting)
        deactivate(m_activePath);
    updateStatus();
}

void VpnConnection::disarm()
{
    m_keepUp = false;
    m_attempts = 0;
    m_retryDelay = firstRetryDelay;
    m_retry->stop();
    m_held->stop();
    m_block->lift();
}

void VpnConnection::standDown()
{
    disarm();
    // Taking the block down is the person's disconnect: a tunnel or an attempt on its way goes too.
    if (!m_activePath.isEmpty() && currentStatus() != VpnStatus::Disconnected)
        deactivate(m_activePath);
    updateStatus();
}

void VpnConnection::noteEnd(uint reason)
{
    if (reason == reasonUserDisconnected && m_activePath != m_takenDown && m_keepUp)
        endReasserting();
}

void VpnConnection::raiseBlock()
{
    const QHostAddress address(m_server);
    if (!address.isNull()) {
        m_block->raise({address});
        return;
    }
    // A server named by host name is looked up while the tunnel is up and carries the lookup.
    QHostInfo::lookupHost(m_server, this, [this](const QHostInfo &info) {
        if (m_keepUp)
            m_block->raise(info.addresses());
    });
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
    if (!m_activePath.isEmpty())
        deactivate(m_activePath);
}

void VpnConnection::deactivate(const QString &activePath)
{
    m_takenDown = activePath;
    nm::call(m_bus, this, nm::managerPath, nm::managerInterface, QStringLiteral("DeactivateConnection"),
             {QVariant::fromValue(QDBusObjectPath(activePath))}, [](const QDBusMessage &) {});
}

void VpnConnection::setProfile(const QString &path, const QString &uuid, bool enabled, bool onDemand,
                               const QString &server, std::function<void()> ready)
{
    m_profilePath = path;
    m_profileUuid = uuid;
    m_enabled = enabled;
    m_onDemand = onDemand;
    m_server = server;
    if (!onDemand || path.isEmpty())
        disarm();
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
                         const nm::ManagedObjects objects = nm::managedObjects(reply);
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

void VpnConnection::onActiveStateChanged(uint state, uint reason, const QDBusMessage &message)
{
    if (message.path() != m_activePath || m_activePath.isEmpty())
        return;
    m_activeState = state;
    if (state >= activeDeactivating)
        noteEnd(reason);
    updateStatus();
}

void VpnConnection::onVpnStateChanged(uint state, uint reason, const QDBusMessage &message)
{
    if (message.path() != m_activePath || m_activePath.isEmpty())
        return;
    m_vpnState = state;
    if (state == vpnFailed || state == vpnDisconnected)
        noteEnd(reason);
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
    // An activation this process asked to take down is on its way down, whatever NetworkManager says yet.
    return m_activePath == m_takenDown ? VpnStatus::Disconnecting : VpnStatus::Connecting;
}

void VpnConnection::updateStatus()
{
    const VpnStatus live = currentStatus();
    if (live == VpnStatus::Connected) {
        // Armed as the tunnel comes up, so that a stop asked for while it is up is not undone.
        if (m_status != VpnStatus::Connected) {
            m_keepUp = m_onDemand;
            // Up by whichever path: the pending attempt has nothing left to do.
            m_retry->stop();
            if (m_keepUp) {
                m_held->start();
                raiseBlock();
            }
        }
    } else {
        m_held->stop();
        if (m_keepUp && live == VpnStatus::Disconnected && !m_activating && !m_retry->isActive()) {
            m_retry->start(m_retryDelay);
            m_retryDelay = std::min(2 * m_retryDelay, maxRetryDelay);
        }
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
