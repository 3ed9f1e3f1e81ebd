#include "VpnSecretAgent.h"

#include "SecretStore.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace nm = NetworkManagerDBus;

namespace {

// NetworkManager offers VPN hints to agents that say they take them.
constexpr uint vpnHintsCapability = 0x1;

const QString noSecretsError = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets");
const QString permissionDeniedError =
    QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.PermissionDenied");
const QString failedError = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.Failed");

} // namespace

VpnSecretAgent::VpnSecretAgent(const QDBusConnection &bus, std::function<SecretStore &()> store,
                               const QString &service, const QString &account, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_store(std::move(store))
    , m_service(service)
    , m_account(account)
{
    nm::registerTypes();
    m_bus.registerObject(nm::secretAgentPath, this, QDBusConnection::ExportAllSlots);
    auto *watcher =
        new QDBusServiceWatcher(nm::service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                // A restarted NetworkManager knows no agents.
                if (!newOwner.isEmpty())
                    registerWithNetworkManager();
            });
    registerWithNetworkManager();
}

VpnSecretAgent::~VpnSecretAgent()
{
    m_bus.unregisterObject(nm::secretAgentPath);
}

NMSettings VpnSecretAgent::GetSecrets(const NMSettings &connection, const QDBusObjectPath &, const QString &,
                                      const QStringList &, uint)
{
    // Anyone on the bus could ask; only NetworkManager gets an answer.
    if (!callerIsNetworkManager()) {
        sendErrorReply(permissionDeniedError, QStringLiteral("Only NetworkManager may ask for secrets."));
        return {};
    }
    const NMStringMap userData =
        nm::stringMap(connection.value(QStringLiteral("user")).value(QStringLiteral("data")));
    const QString reference = userData.value(nm::passwordReferenceKey);
    if (reference.isEmpty()) {
        sendErrorReply(noSecretsError, QStringLiteral("This connection keeps no password with this agent."));
        return {};
    }
    const SecretStore::ItemResult found = m_store().itemAtPath(reference);
    if (found.error) {
        sendErrorReply(failedError, found.error->localizedDescription());
        return {};
    }
    // An item path may be handed to another item after the keyring restarts: check whose it is.
    if (!found.item || found.item->service != m_service || found.item->account != m_account) {
        sendErrorReply(noSecretsError, QStringLiteral("The password item of this connection is gone."));
        return {};
    }
    const NMStringMap secrets{{QStringLiteral("password"), QString::fromUtf8(found.item->secret)}};
    return {{QStringLiteral("vpn"), {{QStringLiteral("secrets"), QVariant::fromValue(secrets)}}}};
}

void VpnSecretAgent::CancelGetSecrets(const QDBusObjectPath &, const QString &) {}

// The password item belongs to the credential store: nothing to save or delete here.
void VpnSecretAgent::SaveSecrets(const NMSettings &, const QDBusObjectPath &) {}

void VpnSecretAgent::DeleteSecrets(const NMSettings &, const QDBusObjectPath &) {}

void VpnSecretAgent::registerWithNetworkManager()
{
    nm::call(m_bus, this, nm::agentManagerPath, nm::agentManagerInterface,
             QStringLiteral("RegisterWithCapabilities"), {identifier, vpnHintsCapability},
             [this](const QDBusMessage &reply) {
                 Q_EMIT registrationFinished(reply.type() != QDBusMessage::ErrorMessage);
             });
}

bool VpnSecretAgent::callerIsNetworkManager() const
{
    const QDBusReply<QString> owner = m_bus.interface()->serviceOwner(nm::service);
    return owner.isValid() && owner.value() == message().service();
}
