#pragma once
// The VPN profile's connection: its live status, read from NetworkManager's active connection for
// the profile, and start and stop. Every status change is posted as statusDidChangeNotification.

#include "Error.h"
#include "VpnStatus.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;
class TunnelWatch;

class VpnConnection : public QObject
{
    Q_OBJECT
public:
    using StartCompletion = std::function<void(std::optional<Error>)>;

    // Posted on the default notification centre, with the connection as object.
    static inline const QString statusDidChangeNotification = QStringLiteral("VpnStatusDidChange");

    // Invalid while no saved profile is known or NetworkManager is not on the bus.
    [[nodiscard]] VpnStatus status() const { return m_status; }

    // Asks NetworkManager to activate the saved profile. completion gets the refusal, or no error once
    // activation has begun; how it ends shows in the status.
    void startVPNTunnel(StartCompletion completion);
    // Asks NetworkManager to take down the profile's active connection, if there is one.
    void stopVPNTunnel();

private Q_SLOTS:
    void onActiveStateChanged(uint state, uint reason, const QDBusMessage &message);
    void onVpnStateChanged(uint state, uint reason, const QDBusMessage &message);
    void onPropertiesChanged(const QString &interface, const QVariantMap &changed,
                             const QStringList &invalidated, const QDBusMessage &message);

private:
    friend class SystemVpnManager;

    VpnConnection(const QDBusConnection &bus, QObject *parent);

    // Follows NetworkManager on another connection to the system bus; a lost one shows as Invalid.
    void setBus(const QDBusConnection &bus);
    // The saved profile as the manager last loaded or saved it (empty path: none). The status
    // follows the active connection of that uuid once NetworkManager's active connections have
    // been read; then ready runs.
    void setProfile(const QString &path, const QString &uuid, bool enabled, std::function<void()> ready = {});
    // Reads NetworkManager's active connections again and follows the one of the profile.
    void resync(std::function<void()> ready = {});
    [[nodiscard]] VpnStatus currentStatus() const;
    // Posts the notification when the status has changed.
    void updateStatus();
    void onTunnelDead();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    TunnelWatch *m_tunnel;
    QString m_profilePath;
    QString m_profileUuid;
    bool m_enabled = false;
    bool m_networkManagerPresent = false;
    QString m_activePath;
    uint m_activeState = 0;
    uint m_vpnState = 0;
    quint64 m_generation = 0;
    VpnStatus m_status = VpnStatus::Invalid;
};
