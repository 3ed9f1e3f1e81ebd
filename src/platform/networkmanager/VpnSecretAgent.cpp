#include "VpnSecretAgent.h"

#include "SecretStore.h"

#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QTimer>

#include <algorithm>

namespace nm = NetworkManagerDBus;

namespace {

// NetworkManager offers VPN hints to agents that say they take them.
constexpr uint vpnHintsCapability = 0x1;

const QString noSecretsError = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets");
const QString permissionDeniedError =
    QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.PermissionDenied");
const QString failedError = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.Failed");
const QString noOwnerError = QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");

// Tries again soon, then less often while NetworkManager keeps refusing.
constexpr int firstRetry = 250;
constexpr int lastRetry = 30000;

} // namespace

VpnSecretAgent::VpnSecretAgent(const QDBusConnection &bus, std::function<SecretStore &()> store,
                               const QString &service, const QString &account, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_retry(new QTimer(this))
    , m_store(std::move(store))
    , m_service(service)
    , m_account(account)
{
    nm::registerTypes();
    m_retry->setSingleShot(true);
    m_retry->setInterval(firstRetry);
    connect(m_retry, &QTimer::timeout, this, &VpnSecretAgent::registerWithNetworkManager);
    setBus(bus);
}

VpnSecretAgent::~VpnSecretAgent()
{
    m_bus.unregisterObject(nm::secretAgentPath);
}

void VpnSecretAgent::setBus(const QDBusConnection &bus)
{
    m_bus.unregisterObject(nm::secretAgentPath);
    m_bus = bus;
    m_retry->stop();
    delete m_watcher;
    m_watcher = nullptr;
    if (!m_bus.isConnected())
        return;
    m_bus.registerObject(nm::secretAgentPath, this, QDBusConnection::ExportAllSlots);
    m_watcher = new QDBusServiceWatcher(nm::service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                // A restarted NetworkManager knows no agents.
                m_retry->stop();
                m_retry->setInterval(firstRetry);
                if (!newOwner.isEmpty())
                    registerWithNetworkManager();
            });
    registerWithNetworkManager();
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
                 const bool registered = reply.type() != QDBusMessage::ErrorMessage;
                 // NetworkManager may own its name before its agent manager answers. Without it on
                 // the bus there is nothing to retry: its return starts a registration.
                 if (registered || reply.errorName() == noOwnerError) {
                     m_retry->setInterval(firstRetry);
                 } else {
                     m_retry->start();
                     m_retry->setInterval(std::min(m_retry->interval() * 2, lastRetry));
                 }
                 Q_EMIT registrationFinished(registered);
             });
}

bool VpnSecretAgent::callerIsNetworkManager() const
{
    const QDBusReply<QString> owner = m_bus.interface()->serviceOwner(nm::service);
    return owner.isValid() && owner.value() == message().service();
}
