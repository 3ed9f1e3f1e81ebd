#pragma once
// The application's one VPN profile in NetworkManager, run by strongSwan's plugin: load, save and
// remove it, its IKEv2 protocol and on-demand reconnection, and its connection (status, start, stop).

#include "Error.h"
#include "IKEv2Settings.h"
#include "NetworkManagerDBus.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusServiceWatcher;
class VpnConnection;

class SystemVpnManager : public QObject
{
    Q_OBJECT
public:
    using Completion = std::function<void(std::optional<Error>)>;

    // Starts the tunnel on demand; NetworkManager reconnects a persistent profile whatever the interface.
    struct OnDemandRuleConnect
    {
        enum class InterfaceType { Any = 0, Ethernet = 1, WiFi = 2, Cellular = 3 };
        InterfaceType interfaceTypeMatch = InterfaceType::Any;
        bool operator==(const OnDemandRuleConnect &other) const = default;
    };

    // The profile is the one whose id is description (or whose uuid this manager last saw).
    SystemVpnManager(const QDBusConnection &bus, const QString &description, QObject *parent = nullptr);

    // Each completion runs once, on a later turn of the main thread's loop, with NetworkManager's
    // error or none. Load without a saved profile gives an empty configuration and no error.
    void loadFromPreferences(Completion completion);
    // Adds the profile the first time and replaces it whole afterwards; never makes a second one. Once
    // the profile known here is deleted, saving is refused until a load has found none.
    void saveToPreferences(Completion completion);
    // Deletes the saved profile and forgets its configuration, so that only a new one is saved again;
    // no error when there is none.
    void removeFromPreferences(Completion completion);

    [[nodiscard]] VpnConnection *connection() const { return m_connection; }

    // Talks to NetworkManager over another connection to the system bus (after the bus came back);
    // a connection that is lost shows as the Invalid status until then.
    void setBus(const QDBusConnection &bus);

    [[nodiscard]] std::optional<IKEv2Settings> protocolConfiguration() const { return m_protocol; }
    void setProtocolConfiguration(const std::optional<IKEv2Settings> &protocol) { m_protocol = protocol; }
    [[nodiscard]] QString localizedDescription() const { return m_description; }
    void setLocalizedDescription(const QString &description) { m_description = description; }
    [[nodiscard]] bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    [[nodiscard]] bool isOnDemandEnabled() const { return m_onDemandEnabled; }
    void setOnDemandEnabled(bool enabled) { m_onDemandEnabled = enabled; }
    [[nodiscard]] QList<OnDemandRuleConnect> onDemandRules() const { return m_onDemandRules; }
    void setOnDemandRules(const QList<OnDemandRuleConnect> &rules) { m_onDemandRules = rules; }

private:
    using Found = std::function<void(std::optional<Error>, const QString &path, const NMSettings &settings)>;

    void findProfile(Found found);
    [[nodiscard]] NMSettings toSettings() const;
    void takeSettings(const NMSettings &settings);
    void clearConfiguration();
    [[nodiscard]] QString serverAddress() const;
    void finish(const QString &path, Completion completion);
    void watchNetworkManager();
    // Looks the known profile up again by its uuid and lets the connection follow it.
    void rediscover();

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    VpnConnection *m_connection;
    QString m_description;
    QString m_uuid;
    std::optional<IKEv2Settings> m_protocol;
    bool m_enabled = false;
    bool m_onDemandEnabled = false;
    QList<OnDemandRuleConnect> m_onDemandRules;
};
