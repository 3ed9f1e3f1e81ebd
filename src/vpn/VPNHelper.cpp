#include "VPNHelper.h"

#include "Client.h"
#include "Console.h"
#include "JSON.h"
#include "Preferences.h"
#include "SecretStore.h"
#include "SystemBus.h"
#include "SystemVpnManager.h"
#include "VPNKeychain.h"
#include "VpnConnection.h"
#include "VpnSecretAgent.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QPointer>

#include <algorithm>
#include <iterator>

namespace {

const QString profileDescription = QStringLiteral("Velmora");

using Parameters = IKEv2Settings::SecurityAssociationParameters;

// AES-256-GCM with SHA-384 and Curve25519, for the IKE and the child security associations alike.
const Parameters securityAssociation{Parameters::EncryptionAlgorithm::AES256GCM,
                                     Parameters::IntegrityAlgorithm::SHA384,
                                     Parameters::DiffieHellmanGroup::Group31};

// A credential of the answer: only a JSON string counts, so a number or a Boolean never becomes a user
// name, password or server.
QString credential(const JSON &answer, const QString &key)
{
    return answer[key].string().value_or(QString());
}

// Why the answer cannot configure the tunnel, or none: the service refused, or a credential is missing.
std::optional<QString> unusable(const JSON &answer)
{
    const QString credentials[] = {Client::Keys::radiusLogin, Client::Keys::radiusPassword,
                                   Client::Keys::serverDomain};
    const auto missing =
        std::find_if(std::cbegin(credentials), std::cend(credentials),
                     [&answer](const QString &key) { return credential(answer, key).isEmpty(); });
    const bool refused = answer[Client::Keys::errors].exists();
    if (!refused && missing == std::cend(credentials))
        return std::nullopt;
    if (const auto message = answer[Client::Keys::message].string())
        return *message;
    return refused ? QStringLiteral("Unknown error") : QStringLiteral("The answer has no %1.").arg(*missing);
}

} // namespace

VPNHelper &VPNHelper::shared()
{
    static VPNHelper *const instance = [] {
        auto *helper = new VPNHelper(QDBusConnection::systemBus(), [] {
            // Each attempt under a name of its own: a name stays taken by its connection, even a failed one.
            static int attempt = 0;
            const QString name = QStringLiteral("velmora-system-bus-%1").arg(++attempt);
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SystemBus, name);
            if (!bus.isConnected())
                QDBusConnection::disconnectFromBus(name);
            return bus;
        });
        // Status tracking and the secret agent answer on the main loop, whoever asked first.
        if (auto *app = QCoreApplication::instance(); app && helper->thread() != app->thread())
            helper->moveToThread(app->thread());
        return helper;
    }();
    return *instance;
}

VPNHelper::VPNHelper(const QDBusConnection &systemBus, std::function<QDBusConnection()> reconnect,
                     QObject *parent)
    : QObject(parent)
    , m_bus(new SystemBus(systemBus, std::move(reconnect), this))
    , m_manager(new SystemVpnManager(systemBus, profileDescription, this))
    // NetworkManager asks whichever process runs this helper for the tunnel's password.
    , m_agent(new VpnSecretAgent(
          systemBus, []() -> SecretStore & { return Preferences::defaultKeychain(); },
          Preferences::keychainGroupName, Preferences::Keys::vpnPassword, this))
{
    connect(m_bus, &SystemBus::lost, this, [this] {
        Console::print(QStringLiteral("Lost the system bus: the VPN cannot be reached until it is back."));
        useBus();
    });
    connect(m_bus, &SystemBus::reconnected, this, [this] {
        Console::print(QStringLiteral("The system bus is back."));
        useBus();
    });
}

void VPNHelper::useBus()
{
    m_manager->setBus(m_bus->connection());
    m_agent->setBus(m_bus->connection());
}

VpnStatus VPNHelper::currentStatus() const
{
    return m_manager->connection()->status();
}

bool VPNHelper::stillWanted(const QPointer<VPNHelper> &helper, quint64 disconnects)
{
    return helper && helper->m_disconnects == disconnects;
}

void VPNHelper::connectIPSecIKEv2()
{
    QPointer<VPNHelper> weakSelf(this);
    const quint64 disconnects = m_disconnects;
    m_manager->loadFromPreferences([weakSelf, disconnects](std::optional<Error> error) {
        if (!stillWanted(weakSelf, disconnects))
            return;
        if (error) {
            Console::print(QStringLiteral("Error loading VPN preferences: ") + error->localizedDescription());
            return;
        }
        Client::shared().IPSecConfiguration(
            QString::number(Preferences::configId()),
            [weakSelf, disconnects](std::optional<Error> error, std::optional<JSON> answer) {
                if (!stillWanted(weakSelf, disconnects))
                    return;
                if (!answer) {
                    Console::print(
                        QStringLiteral("Failed to retrieve IPSec configuration: ")
                        + (error ? error->localizedDescription() : QStringLiteral("Unknown error")));
                    return;
                }
                // Nothing stored is overwritten and no profile is saved for an answer without credentials.
                if (const auto problem = unusable(*answer)) {
                    Console::print(QStringLiteral("Failed to retrieve IPSec configuration: ") + *problem);
                    return;
                }
                weakSelf->configure(*answer, disconnects);
            });
    });
}

void VPNHelper::configure(const JSON &answer, quint64 disconnects)
{
    using Keys = Preferences::Keys;
    const QString password = credential(answer, Client::Keys::radiusPassword);
    Preferences::setKeychainValue(credential(answer, Client::Keys::radiusLogin), Keys::vpnUsername);
    Preferences::setKeychainValue(password, Keys::vpnPassword);
    Preferences::setKeychainValue(credential(answer, Client::Keys::serverDomain), Keys::server);

    IKEv2Settings protocol;
    protocol.authenticationMethod = IKEv2Settings::AuthenticationMethod::None;
    protocol.useExtendedAuthentication = true;
    if (const auto server = Preferences::server())
        protocol.serverAddress = *server;
    if (const auto server = Preferences::server())
        protocol.remoteIdentifier = *server;
    if (const auto username = Preferences::vpnUsername())
        protocol.username = *username;

    Error failure{QString()};
    const std::optional<QByteArray> reference = VPNKeychain::persistentReferenceFor(
        Preferences::keychainGroupName, Keys::vpnPassword, password.toUtf8(), &failure);
    if (!reference) {
        Console::print(QStringLiteral("Error setting up password reference: ")
                       + failure.localizedDescription());
        return;
    }
    protocol.passwordReference = *reference;

    protocol.ikeSecurityAssociationParameters = securityAssociation;
    protocol.childSecurityAssociationParameters = securityAssociation;
    protocol.enablePFS = true;

    m_manager->setOnDemandRules({SystemVpnManager::OnDemandRuleConnect{}});
    m_manager->setOnDemandEnabled(Preferences::killSwitch());
    protocol.includeAllNetworks = Preferences::killSwitch();
    protocol.excludeLocalNetworks = Preferences::excludeLocalNetworks();

    m_manager->setProtocolConfiguration(protocol);
    m_manager->setLocalizedDescription(profileDescription);
    m_manager->setEnabled(true);

    Console::print(QStringLiteral("Attempting to connect to server: ")
                   + Preferences::server().value_or(QStringLiteral("Unknown")));

    QPointer<VPNHelper> weakSelf(this);
    m_manager->saveToPreferences([weakSelf, disconnects](std::optional<Error> error) {
        if (!stillWanted(weakSelf, disconnects))
            return;
        if (error) {
            Console::print(QStringLiteral("Save Error:  ") + error->localizedDescription());
            return;
        }
        Console::print(QStringLiteral("CALL LOAD TO PREFERENCES AGAIN..."));
        weakSelf->m_manager->loadFromPreferences([weakSelf, disconnects](std::optional<Error> error) {
            if (!stillWanted(weakSelf, disconnects))
                return;
            if (error) {
                Console::print(QStringLiteral("VPN Preferences error: 2 - Optional(%1)")
                                   .arg(error->localizedDescription()));
                return;
            }
            weakSelf->m_manager->connection()->startVPNTunnel([](std::optional<Error> error) {
                if (error)
                    Console::print(QStringLiteral("Error starting VPN Tunnel: ")
                                   + error->localizedDescription());
                else
                    Console::print(QStringLiteral("Start VPN"));
            });
        });
    });
}

void VPNHelper::disconnectVPN()
{
    // A connect still on its way saves and starts nothing after this.
    ++m_disconnects;
    m_manager->setOnDemandEnabled(false);
    // No reconnection attempt starts while the save is on its way.
    m_manager->connection()->endReasserting();
    // The save's outcome does not matter: the tunnel goes down either way. After a removal the manager
    // holds no profile, so the save is refused and nothing is written back.
    QPointer<VPNHelper> weakSelf(this);
    m_manager->saveToPreferences([weakSelf](std::optional<Error>) {
        if (weakSelf)
            weakSelf->m_manager->connection()->stopVPNTunnel();
    });
}

void VPNHelper::removeVPNProfile(RemoveCompletion completion)
{
    QPointer<VPNHelper> weakSelf(this);
    m_manager->loadFromPreferences(
        [weakSelf, completion = std::move(completion)](std::optional<Error> error) {
            if (!weakSelf)
                return;
            if (error) {
                completion(error);
                return;
            }
            weakSelf->m_manager->removeFromPreferences(completion);
        });
}
