#include "Preferences.h"

#include "Console.h"
#include "HostInfo.h"
#include "SecretStore.h"
#include "SettingBinding.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QUuid>

namespace {

const QString excludeLocalNetworksKey = QStringLiteral("ExcludeLocalNetworks");
const QString killSwitchKey = QStringLiteral("KillSwitch");
const QString vpnProtocolKey = QStringLiteral("VPNProtocol");
const QString countryConnectedKey = QStringLiteral("CountryConnected");
const QString connectedProtocolKey = QStringLiteral("ConnectedVPNProtocol");
const QString compactViewKey = QStringLiteral("CompactView");

QMutex &keychainMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<SecretStore> &keychainSlot()
{
    static std::shared_ptr<SecretStore> store;
    return store;
}

// Callers hold their own reference, so a replacement never pulls the store from under them.
std::shared_ptr<SecretStore> keychain()
{
    QMutexLocker lock(&keychainMutex());
    std::shared_ptr<SecretStore> &store = keychainSlot();
    if (!store)
        store = std::make_shared<SecretStore>();
    return store;
}

// The credentials that every authorised request reads, kept in memory so that requests leave the
// keyring alone. Every change through setKeychainValue passes here; a new generation tells a read
// that was under way meanwhile not to keep what it found.
struct CredentialCache
{
    static bool holds(const QString &key) { return key == Preferences::Keys::token; }

    QMutex mutex;
    QHash<QString, std::optional<QString>> values;
    quint64 generation = 0;
    // One writer at a time, so that the kept value is the one the keyring ended up with.
    QMutex writeMutex;
};

CredentialCache &credentialCache()
{
    static CredentialCache cache;
    return cache;
}

std::optional<QString> cachedKeychainValue(const QString &key)
{
    CredentialCache &cache = credentialCache();
    quint64 generation = 0;
    {
        QMutexLocker lock(&cache.mutex);
        if (const auto kept = cache.values.constFind(key); kept != cache.values.cend())
            return *kept;
        generation = cache.generation;
    }
    std::optional<Error> failure;
    std::optional<QString> value = keychain()->value(Preferences::keychainGroupName, key, &failure);
    // A keyring that could not be asked says nothing about the item: ask again next time.
    if (!failure) {
        QMutexLocker lock(&cache.mutex);
        if (cache.generation == generation)
            cache.values.insert(key, value);
    }
    return value;
}

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

VPNProtocol protocolSetting(const QString &key)
{
    const std::optional<QString> text = defaults().string(key);
    return text ? vpnProtocolFromRawValue(*text).value_or(VPNProtocol::Optimal) : VPNProtocol::Optimal;
}

QString uuidText(const QUuid &uuid)
{
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

// Bindings are process-wide and serve screens, so they live on the main thread whoever asks first.
SettingBinding *makeBinding(const QString &key, SettingBinding::Reader reader, SettingBinding::Writer writer)
{
    auto *binding = new SettingBinding(key, std::move(reader), std::move(writer));
    if (auto *app = QCoreApplication::instance(); app && binding->thread() != app->thread())
        binding->moveToThread(app->thread());
    return binding;
}

SettingBinding *boolBinding(const QString &key, bool (*get)(), void (*set)(bool))
{
    return makeBinding(
        key, [get] { return QVariant(get()); }, [set](const QVariant &v) { set(v.toBool()); });
}

SettingBinding *protocolBinding(const QString &key, VPNProtocol (*get)(), void (*set)(VPNProtocol))
{
    return makeBinding(
        key, [get] { return QVariant(rawValue(get())); },
        [set](const QVariant &v) {
            if (const auto protocol = vpnProtocolFromRawValue(v.toString()))
                set(*protocol);
        });
}

} // namespace

SecretStore &Preferences::defaultKeychain()
{
    return *keychain();
}

void Preferences::setDefaultKeychain(std::shared_ptr<SecretStore> store)
{
    CredentialCache &cache = credentialCache();
    QMutexLocker writeLock(&cache.writeMutex);
    {
        QMutexLocker lock(&keychainMutex());
        keychainSlot() = std::move(store);
    }
    QMutexLocker lock(&cache.mutex);
    cache.values.clear();
    ++cache.generation;
}

std::optional<QString> Preferences::keychainValue(const QString &key)
{
    if (CredentialCache::holds(key))
        return cachedKeychainValue(key);
    return keychain()->value(keychainGroupName, key);
}

void Preferences::setKeychainValue(const std::optional<QString> &value, const QString &key)
{
    CredentialCache &cache = credentialCache();
    const bool cached = CredentialCache::holds(key);
    QMutexLocker writeLock(cached ? &cache.writeMutex : nullptr);
    const std::shared_ptr<SecretStore> store = keychain();
    const std::optional<Error> error =
        value ? store->setValue(keychainGroupName, key, *value) : store->remove(keychainGroupName, key);
    if (cached) {
        QMutexLocker lock(&cache.mutex);
        // After a failure the keyring holds whatever it held: the next read asks it.
        if (error)
            cache.values.remove(key);
        else
            cache.values.insert(key, value);
        ++cache.generation;
    }
    if (error)
        Console::print(QStringLiteral("Keychain error for %1: %2").arg(key, error->localizedDescription()));
}

std::optional<QString> Preferences::token()
{
    return keychainValue(Keys::token);
}

void Preferences::setToken(const std::optional<QString> &value)
{
    setKeychainValue(value, Keys::token);
}

std::optional<QString> Preferences::email()
{
    return keychainValue(Keys::email);
}

void Preferences::setEmail(const std::optional<QString> &value)
{
    setKeychainValue(value, Keys::email);
}

std::optional<QString> Preferences::password()
{
    return keychainValue(Keys::password);
}

void Preferences::setPassword(const std::optional<QString> &value)
{
    setKeychainValue(value, Keys::password);
}

std::optional<QString> Preferences::server()
{
    return keychainValue(Keys::server);
}

void Preferences::setServer(const std::optional<QString> &value)
{
    setKeychainValue(value, Keys::server);
}

std::optional<QString> Preferences::vpnUsername()
{
    return keychainValue(Keys::vpnUsername);
}

void Preferences::setVpnUsername(const std::optional<QString> &value)
{
    setKeychainValue(value, Keys::vpnUsername);
}

std::optional<QString> Preferences::vpnPassword()
{
    return keychainValue(Keys::vpnPassword);
}

void Preferences::setVpnPassword(const std::optional<QString> &value)
{
    setKeychainValue(value, Keys::vpnPassword);
}

std::optional<QString> Preferences::uid()
{
    // One derivation at a time: two first reads racing would otherwise hand out two random ids.
    static QMutex mutex;
    QMutexLocker lock(&mutex);

    const std::shared_ptr<SecretStore> store = keychain();
    if (std::optional<QString> stored = store->value(keychainGroupName, Keys::uid))
        return stored;

    QString uid;
    const std::optional<QString> serial = macSerialNumber();
    if (!serial || serial->isEmpty()) {
        uid = uuidText(QUuid::createUuid());
    } else {
        const QByteArray digest = QCryptographicHash::hash(serial->toUtf8(), QCryptographicHash::Sha256);
        uid = uuidText(QUuid::fromRfc4122(digest.left(16)));
        Console::print(QStringLiteral("Your UUID is ") + uid);
    }
    // Not stored means derived again next time: the same value while the serial stays readable.
    (void)store->setValue(keychainGroupName, Keys::uid, uid);
    return uid;
}

std::optional<QString> Preferences::macSerialNumber()
{
    return HostInfo::machineSerial();
}

bool Preferences::excludeLocalNetworks()
{
    return defaults().boolValue(excludeLocalNetworksKey, true);
}

void Preferences::setExcludeLocalNetworks(bool value)
{
    defaults().setValue(excludeLocalNetworksKey, value);
}

bool Preferences::killSwitch()
{
    return defaults().boolValue(killSwitchKey, true);
}

void Preferences::setKillSwitch(bool value)
{
    defaults().setValue(killSwitchKey, value);
}

VPNProtocol Preferences::vpnProtocol()
{
    return protocolSetting(vpnProtocolKey);
}

void Preferences::setVpnProtocol(VPNProtocol value)
{
    defaults().setValue(vpnProtocolKey, rawValue(value));
}

QString Preferences::countryConnected()
{
    return defaults().string(countryConnectedKey).value_or(QStringLiteral("VPN"));
}

void Preferences::setCountryConnected(const QString &value)
{
    defaults().setValue(countryConnectedKey, value);
}

VPNProtocol Preferences::connectedProtocol()
{
    return protocolSetting(connectedProtocolKey);
}

void Preferences::setConnectedProtocol(VPNProtocol value)
{
    defaults().setValue(connectedProtocolKey, rawValue(value));
}

bool Preferences::compactView()
{
    return defaults().boolValue(compactViewKey, true);
}

void Preferences::setCompactView(bool value)
{
    defaults().setValue(compactViewKey, value);
}

bool Preferences::onboardingShown()
{
    return defaults().boolValue(Keys::onboardingShown, false);
}

void Preferences::setOnboardingShown(bool value)
{
    defaults().setValue(Keys::onboardingShown, value);
}

bool Preferences::termsShown()
{
    return defaults().boolValue(Keys::termsShown, false);
}

void Preferences::setTermsShown(bool value)
{
    defaults().setValue(Keys::termsShown, value);
}

bool Preferences::updated()
{
    return defaults().boolValue(Keys::updated, false);
}

void Preferences::setUpdated(bool value)
{
    defaults().setValue(Keys::updated, value);
}

qint64 Preferences::configId()
{
    return defaults().integer(Keys::configId, 0);
}

void Preferences::setConfigId(qint64 value)
{
    defaults().setValue(Keys::configId, value);
}

SettingBinding &Preferences::excludeLocalNetworksBinding()
{
    static SettingBinding *binding =
        boolBinding(excludeLocalNetworksKey, &excludeLocalNetworks, &setExcludeLocalNetworks);
    return *binding;
}

SettingBinding &Preferences::killSwitchBinding()
{
    static SettingBinding *binding = boolBinding(killSwitchKey, &killSwitch, &setKillSwitch);
    return *binding;
}

SettingBinding &Preferences::vpnProtocolBinding()
{
    static SettingBinding *binding = protocolBinding(vpnProtocolKey, &vpnProtocol, &setVpnProtocol);
    return *binding;
}

SettingBinding &Preferences::countryConnectedBinding()
{
    static SettingBinding *binding = makeBinding(
        countryConnectedKey, [] { return QVariant(countryConnected()); },
        [](const QVariant &v) { setCountryConnected(v.toString()); });
    return *binding;
}

SettingBinding &Preferences::connectedProtocolBinding()
{
    static SettingBinding *binding =
        protocolBinding(connectedProtocolKey, &connectedProtocol, &setConnectedProtocol);
    return *binding;
}

SettingBinding &Preferences::compactViewBinding()
{
    static SettingBinding *binding = boolBinding(compactViewKey, &compactView, &setCompactView);
    return *binding;
}

SettingBinding &Preferences::onboardingShownBinding()
{
    static SettingBinding *binding =
        boolBinding(Keys::onboardingShown, &onboardingShown, &setOnboardingShown);
    return *binding;
}

SettingBinding &Preferences::termsShownBinding()
{
    static SettingBinding *binding = boolBinding(Keys::termsShown, &termsShown, &setTermsShown);
    return *binding;
}

SettingBinding &Preferences::updatedBinding()
{
    static SettingBinding *binding = boolBinding(Keys::updated, &updated, &setUpdated);
    return *binding;
}

SettingBinding &Preferences::configIdBinding()
{
    static SettingBinding *binding = makeBinding(
        Keys::configId, [] { return QVariant(configId()); },
        [](const QVariant &v) { setConfigId(v.toLongLong()); });
    return *binding;
}
