#pragma once
// The VPN profile's connection: its live status, read from NetworkManager's active connection for
// the profile, and start and stop. Every status change is posted as statusDidChangeNotification.
// A profile saved with on-demand on has a tunnel that dropped unasked brought back (Reasserting), with
// the kill switch's block up from the moment that tunnel is up until it is stopped.

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
class TrafficBlock;
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
    // Ends any reconnection and lifts the block at once, with an attempt still activating; a tunnel
    // that is up stays up.
    void endReasserting();

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
                    const QString &server, std::function<void()> ready = {});
    // Reads NetworkManager's active connections again and follows the one of the profile.
    void resync(std::function<void()> ready = {});
    [[nodiscard]] VpnStatus currentStatus() const;
    // Posts the notification when the status has changed.
    void updateStatus();
    void onTunnelDead();
    // A deactivation that the person asked for outside the application ends the reconnection; the
    // application's own, the tunnel watch's among them, carry the same reason and are drops.
    void noteEnd(uint reason);
    // The block was taken down outside the application, which is the person's disconnect: nothing is
    // brought back until the next connect.
    void standDown();
    void activate(std::function<void(const QDBusMessage &)> onReply);
    void deactivate(const QString &activePath);
    // Activates the profile again unless it is active already; a refusal or a failed activation
    // waits longer before the next.
    void reassert();
    void raiseBlock();
    void disarm();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    TunnelWatch *m_tunnel;
    TrafficBlock *m_block;
    QTimer *m_retry;
    // The wait starts over only once a tunnel has held: one that dies at once is not rebuilt every second.
    QTimer *m_held;
    int m_retryDelay;
    int m_attempts = 0;
    // The tunnel was up with on-demand on and nobody asked for it to go down.
    bool m_keepUp = false;
    bool m_activating = false;
    QString m_profilePath;
    QString m_profileUuid;
    QString m_server;
    // The active connection that this process took down last.
    QString m_takenDown;
    bool m_enabled = false;
    bool m_onDemand = false;
    bool m_networkManagerPresent = false;
    QString m_activePath;
    uint m_activeState = 0;
    uint m_vpnState = 0;
    quint64 m_generation = 0;
    VpnStatus m_status = VpnStatus::Invalid;
};
