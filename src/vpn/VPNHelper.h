#pragma once
// The one component that drives the system's VPN: fetches the IKEv2 credentials of the chosen region,
// keeps the one "Velmora" profile in NetworkManager, starts and stops the tunnel, reports its status.

#include "Error.h"
#include "VpnStatus.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class JSON;
class QDBusConnection;
class SystemBus;
class SystemVpnManager;
class VpnSecretAgent;

class VPNHelper : public QObject
{
    Q_OBJECT
public:
    using RemoveCompletion = std::function<void(std::optional<Error>)>;

    // Created on first use, on the main thread, on the system bus (DBUS_SYSTEM_BUS_ADDRESS when set);
    // lives until the process ends. Also registers the application's secret agent.
    static VPNHelper &shared();
    // A helper of its own on the given system bus, with its own secret agent; for tests and tools.
    // reconnect makes a new connection to the bus once the given one is lost; without it, the
    // status stays Invalid after a loss.
    explicit VPNHelper(const QDBusConnection &systemBus, std::function<QDBusConnection()> reconnect = {},
                       QObject *parent = nullptr);

    // The profile's manager; its connection posts VpnConnection::statusDidChangeNotification.
    [[nodiscard]] SystemVpnManager &manager() const { return *m_manager; }

    // The status as last reported by NetworkManager, without loading the preferences.
    [[nodiscard]] VpnStatus currentStatus() const;
    // Fetches the configuration of the stored region, saves the profile and starts the tunnel.
    // Returns at once; failures are console lines.
    void connectIPSecIKEv2();
    // Cancels a connect that has not started the tunnel yet, switches reconnection off, saves, then
    // stops the tunnel whatever the save gave.
    void disconnectVPN();
    // Deletes the profile; completion gets the error, or none, on the main thread's loop.
    void removeVPNProfile(RemoveCompletion completion);

private:
    // Whether a connect begun when the disconnect count was disconnects may go on: the helper still
    // lives and no disconnect came since.
    [[nodiscard]] static bool stillWanted(const QPointer<VPNHelper> &helper, quint64 disconnects);
    void configure(const JSON &answer, quint64 disconnects);

    void useBus();

    SystemBus *m_bus;
    SystemVpnManager *m_manager;
    VpnSecretAgent *m_agent;
    quint64 m_disconnects = 0;
};
