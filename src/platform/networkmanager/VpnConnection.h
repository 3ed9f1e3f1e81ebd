#pragma once
// The VPN profile's connection: its live status, read from NetworkManager's active connection for
// the profile, and start and stop. Every status change is posted as statusDidChangeNotification.
// A profile saved with on-demand on has a tunnel that dropped unasked brought back (Reasserting).

#include "Error.h"
#include "VpnStatus.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;
class QTimer;
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
    // Ends any reconnection and asks NetworkManager to take down the profile's active connection,
    // if there is one.
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
    // been read; then ready runs. Without on-demand, a dropped tunnel stays down.
    void setProfile(const QString &path, const QString &uuid, bool enabled, bool onDemand,
                    std::function<void()> ready = {});
    // Reads NetworkManager's active connections again and follows the one of the profile.
    void resync(std::function<void()> ready = {});
    [[nodiscard]] VpnStatus currentStatus() const;
    // Posts the notification when the status has changed.
    void updateStatus();
    void onTunnelDead();
    void activate(std::function<void(const QDBusMessage &)> onReply);
    void deactivate(const QString &activePath);
    // Activates the profile again; a refusal or a failed activation waits longer before the next.
    void reassert();
    void endReasserting();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    TunnelWatch *m_tunnel;
    QTimer *m_retry;
    int m_retryDelay = 0;
    int m_attempts = 0;
    // The tunnel was up with on-demand on and nobody asked for it to go down.
    bool m_keepUp = false;
    bool m_activating = false;
    QString m_profilePath;
    QString m_profileUuid;
    bool m_enabled = false;
    bool m_onDemand = false;
    bool m_networkManagerPresent = false;
    QString m_activePath;
    uint m_activeState = 0;
    uint m_vpnState = 0;
    quint64 m_generation = 0;
    VpnStatus m_status = VpnStatus::Invalid;
};
