#include "SystemVpnManager.h"

#include "MainQueue.h"
#include "VpnConnection.h"
#include "VpnError.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QUuid>

#include <memory>

namespace nm = NetworkManagerDBus;

namespace {

// What NetworkManager cannot hold itself goes to user.data, readable by anyone: no secret here.
const QString onDemandKey = QStringLiteral("io.velmora.on-demand");
const QString onDemandRulesKey = QStringLiteral("io.velmora.on-demand-rules");
const QString includeAllNetworksKey = QStringLiteral("io.velmora.include-all-networks");
const QString excludeLocalNetworksKey = QStringLiteral("io.velmora.exclude-local-networks");
const QString enabledKey = QStringLiteral("io.velmora.enabled");

const QString allNetworks = QStringLiteral("0.0.0.0/0;::/0");

using InterfaceType = SystemVpnManager::OnDemandRuleConnect::InterfaceType;
const QList<std::pair<InterfaceType, QString>> interfaceTypeWords{
    {InterfaceType::Any, QStringLiteral("any")},
    {InterfaceType::Ethernet, QStringLiteral("ethernet")},
    {InterfaceType::WiFi, QStringLiteral("wifi")},
    {InterfaceType::Cellular, QStringLiteral("cellular")},
};

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

bool flag(const NMStringMap &data, const QString &key, bool fallback)
{
    const auto it = data.constFind(key);
    return it == data.cend() ? fallback : *it == QLatin1String("true");
}

Error readWriteError(const QDBusMessage &reply)
{
    return Error(VpnError::domain, VpnError::ConfigurationReadWriteFailed, nm::errorText(reply));
}

bool isError(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage;
}

} // namespace

SystemVpnManager::SystemVpnManager(const QDBusConnection &bus, const QString &description, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_connection(new VpnConnection(bus, this))
    , m_description(description)
{
    nm::registerTypes();
    watchNetworkManager();
}

void SystemVpnManager::setBus(const QDBusConnection &bus)
{
    m_bus = bus;
    m_connection->setBus(bus);
    watchNetworkManager();
    if (m_bus.isConnected())
        rediscover();
}

void SystemVpnManager::watchNetworkManager()
{
    delete m_watcher;
    m_watcher = nullptr;
    if (!m_bus.isConnected())
        return;
    m_watcher = new QDBusServiceWatcher(nm::service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    // A restarted NetworkManager hands the profile paths out afresh: find ours again by its uuid.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                if (!newOwner.isEmpty())
                    rediscover();
            });
}

void SystemVpnManager::rediscover()
{
    if (m_uuid.isEmpty())
        return;
    findProfile([this](std::optional<Error> error, const QString &path, const NMSettings &settings) {
        // The uuid is kept: the next load or save finds the profile should it come back.
        if (error || path.isEmpty()) {
            m_connection->setProfile({}, m_uuid, m_enabled, m_onDemandEnabled, serverAddress());
            return;
        }
        takeSettings(settings);
        finish(path, [](std::optional<Error>) {});
    });
}

void SystemVpnManager::loadFromPreferences(Completion completion)
{
    findProfile([this, completion = std::move(completion)](std::optional<Error> error, const QString &path,
                                                           const NMSettings &settings) {
        if (error) {
            completion(error);
            return;
        }
        if (path.isEmpty())
            clearConfiguration();
        else
            takeSettings(settings);
        finish(path, completion);
    });
}

void SystemVpnManager::saveToPreferences(Completion completion)
{
    const auto refuse = [&completion](const QString &why) {
        MainQueue::async([completion, error = Error(VpnError::domain, VpnError::ConfigurationInvalid, why)] {
            completion(error);
        });
    };
    if (!m_protocol)
        return refuse(QStringLiteral("The VPN profile has no protocol configuration."));
    if (m_protocol->authenticationMethod != IKEv2Settings::AuthenticationMethod::None
        || !m_protocol->useExtendedAuthentication)
        return refuse(QStringLiteral("Only user name and password authentication is supported."));

    findProfile([this, completion = std::move(completion)](std::optional<Error> error, const QString &path,
                                                           const NMSettings &stored) {
        if (error) {
            completion(error);
            return;
        }
        // Deleted outside the application (the desktop, nmcli): saving must not bring it back.
        if (path.isEmpty() && !m_uuid.isEmpty()) {
            completion(Error(VpnError::domain, VpnError::ConfigurationStale,
                             QStringLiteral("The VPN profile was deleted.")));
            return;
        }
        const QString storedUuid =
            stored.value(QStringLiteral("connection")).value(QStringLiteral("uuid")).toString();
        if (!storedUuid.isEmpty())
            m_uuid = storedUuid;
        else if (m_uuid.isEmpty())
            m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QVariant profile = QVariant::fromValue(toSettings());
        const auto done = [this, path, completion](const QDBusMessage &reply) {
            if (isError(reply)) {
                completion(readWriteError(reply));
                return;
            }
            finish(path.isEmpty() ? reply.arguments().value(0).value<QDBusObjectPath>().path() : path,
                   completion);
        };
        if (path.isEmpty())
            nm::call(m_bus, this, nm::settingsPath, nm::settingsInterface, QStringLiteral("AddConnection"),
                     {profile}, done);
        else
            nm::call(m_bus, this, path, nm::connectionInterface, QStringLiteral("Update"), {profile}, done);
    });
}

void SystemVpnManager::removeFromPreferences(Completion completion)
{
    findProfile([this, completion = std::move(completion)](std::optional<Error> error, const QString &path,
                                                           const NMSettings &) {
        if (error) {
            completion(error);
            return;
        }
        // The configuration held here goes too: a later save of it would bring the profile back.
        const auto forget = [this, completion] {
            clearConfiguration();
            finish({}, completion);
        };
        if (path.isEmpty()) {
            forget();
            return;
        }
        nm::call(m_bus, this, path, nm::connectionInterface, QStringLiteral("Delete"), {},
                 [completion, forget](const QDBusMessage &reply) {
                     if (isError(reply))
                         completion(readWriteError(reply));
                     else
                         forget();
                 });
    });
}

void SystemVpnManager::findProfile(Found found)
{
    nm::call(
        m_bus, this, nm::settingsPath, nm::settingsInterface, QStringLiteral("ListConnections"), {},
        [this, found = std::move(found)](const QDBusMessage &reply) {
            if (isError(reply)) {
                found(readWriteError(reply), {}, {});
                return;
            }
            const auto paths =
                qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().value(0).value<QDBusArgument>());
            struct Search
            {
                qsizetype pending;
                QString byUuid, byId;
                NMSettings uuidSettings, idSettings;
            };
            auto search = std::make_shared<Search>(Search{paths.size(), {}, {}, {}, {}});
            const auto conclude = [search, found] {
                if (search->byUuid.isEmpty())
                    found(std::nullopt, search->byId, search->idSettings);
                else
                    found(std::nullopt, search->byUuid, search->uuidSettings);
            };
            if (paths.isEmpty()) {
                conclude();
                return;
            }
            for (const QDBusObjectPath &candidate : paths) {
                nm::call(
                    m_bus, this, candidate.path(), nm::connectionInterface, QStringLiteral("GetSettings"), {},
                    [this, search, conclude, path = candidate.path()](const QDBusMessage &settingsReply) {
                        // A profile deleted meanwhile answers with an error: it is simply not ours.
                        if (!isError(settingsReply)) {
                            const NMSettings settings = nm::settings(settingsReply.arguments().value(0));
                            const QVariantMap connection = settings.value(QStringLiteral("connection"));
                            const bool strongswan =
                                settings.value(QStringLiteral("vpn")).value(QStringLiteral("service-type"))
                                == nm::strongswanServiceType;
                            if (!m_uuid.isEmpty()
                                && connection.value(QStringLiteral("uuid")).toString() == m_uuid) {
                                search->byUuid = path;
                                search->uuidSettings = settings;
                            } else if (strongswan && search->byId.isEmpty()
                                       && connection.value(QStringLiteral("id")).toString()
                                           == m_description) {
                                search->byId = path;
                                search->idSettings = settings;
                            }
                        }
                        if (--search->pending == 0)
                            conclude();
                    });
            }
        });
}

NMSettings SystemVpnManager::toSettings() const
{
    const IKEv2Settings &protocol = *m_protocol;
    NMStringMap data{
        {QStringLiteral("address"), protocol.serverAddress},
        {QStringLiteral("remote-identity"), protocol.remoteIdentifier},
        {QStringLiteral("method"), QStringLiteral("eap")},
        {QStringLiteral("user"), protocol.username},
        {QStringLiteral("proposal"), QStringLiteral("yes")},
        {QStringLiteral("ike"), protocol.ikeProposal()},
        {QStringLiteral("esp"), protocol.espProposal()},
        {QStringLiteral("virtual"), QStringLiteral("yes")},
        // Agent-owned: NetworkManager asks the application's secret agent and never stores it.
        {QStringLiteral("password-flags"), QStringLiteral("1")},
    };
    if (protocol.includeAllNetworks)
        data.insert(QStringLiteral("remote-ts"), allNetworks);

    QStringList rules;
    for (const OnDemandRuleConnect &rule : m_onDemandRules) {
        for (const auto &[type, word] : interfaceTypeWords) {
            if (type == rule.interfaceTypeMatch)
                rules.append(word);
        }
    }
    NMStringMap userData{
        {onDemandKey, flag(m_onDemandEnabled)},
        {includeAllNetworksKey, flag(protocol.includeAllNetworks)},
        {excludeLocalNetworksKey, flag(protocol.excludeLocalNetworks)},
        {enabledKey, flag(m_enabled)},
    };
    if (!rules.isEmpty())
        userData.insert(onDemandRulesKey, rules.join(QLatin1Char(',')));
    if (!protocol.passwordReference.isEmpty())
        userData.insert(nm::passwordReferenceKey, QString::fromUtf8(protocol.passwordReference));

    return {
        {QStringLiteral("connection"),
         {{QStringLiteral("id"), m_description},
          {QStringLiteral("uuid"), m_uuid},
          {QStringLiteral("type"), QStringLiteral("vpn")},
          {QStringLiteral("autoconnect"), false},
          {QStringLiteral("permissions"), QStringList{nm::ownerPermission()}}}},
        {QStringLiteral("vpn"),
         {{QStringLiteral("service-type"), nm::strongswanServiceType},
          {QStringLiteral("persistent"), m_onDemandEnabled},
          {QStringLiteral("data"), QVariant::fromValue(data)}}},
        {QStringLiteral("user"), {{QStringLiteral("data"), QVariant::fromValue(userData)}}},
        {QStringLiteral("ipv4"), {{QStringLiteral("method"), QStringLiteral("auto")}}},
        {QStringLiteral("ipv6"), {{QStringLiteral("method"), QStringLiteral("auto")}}},
    };
}

void SystemVpnManager::takeSettings(const NMSettings &settings)
{
    const QVariantMap connection = settings.value(QStringLiteral("connection"));
    const QVariantMap vpn = settings.value(QStringLiteral("vpn"));
    const NMStringMap data = nm::stringMap(vpn.value(QStringLiteral("data")));
    const NMStringMap userData =
        nm::stringMap(settings.value(QStringLiteral("user")).value(QStringLiteral("data")));

    m_description = connection.value(QStringLiteral("id")).toString();
    m_uuid = connection.value(QStringLiteral("uuid")).toString();

    IKEv2Settings protocol;
    const QString method = data.value(QStringLiteral("method"));
    protocol.useExtendedAuthentication = method == QLatin1String("eap");
    if (method == QLatin1String("psk"))
        protocol.authenticationMethod = IKEv2Settings::AuthenticationMethod::SharedSecret;
    else if (method != QLatin1String("eap"))
        protocol.authenticationMethod = IKEv2Settings::AuthenticationMethod::Certificate;
    protocol.serverAddress = data.value(QStringLiteral("address"));
    protocol.remoteIdentifier = data.value(QStringLiteral("remote-identity"));
    protocol.username = data.value(QStringLiteral("user"));
    protocol.setProposals(data.value(QStringLiteral("ike")), data.value(QStringLiteral("esp")));
    protocol.includeAllNetworks =
        flag(userData, includeAllNetworksKey, data.contains(QStringLiteral("remote-ts")));
    protocol.excludeLocalNetworks = flag(userData, excludeLocalNetworksKey, false);
    protocol.passwordReference = userData.value(nm::passwordReferenceKey).toUtf8();
    m_protocol = protocol;

    m_onDemandEnabled = flag(userData, onDemandKey, vpn.value(QStringLiteral("persistent")).toBool());
    m_onDemandRules.clear();
    const QStringList rules = userData.value(onDemandRulesKey).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &word : rules) {
        for (const auto &[type, known] : interfaceTypeWords) {
            if (word == known)
                m_onDemandRules.append({type});
        }
    }
    m_enabled = flag(userData, enabledKey, true);
}

void SystemVpnManager::clearConfiguration()
{
    m_uuid.clear();
    m_protocol.reset();
    m_enabled = false;
    m_onDemandEnabled = false;
    m_onDemandRules.clear();
}

QString SystemVpnManager::serverAddress() const
{
    return m_protocol ? m_protocol->serverAddress : QString();
}

void SystemVpnManager::finish(const QString &path, Completion completion)
{
    m_connection->setProfile(path, m_uuid, m_enabled, m_onDemandEnabled, serverAddress(),
                             [completion = std::move(completion)] { completion(std::nullopt); });
}
