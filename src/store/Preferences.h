#pragma once
// The application's store: settings in the user defaults and credentials in the Secret Service
// under the service name "io.velmora.macSA". Static members only.

#include "VPNProtocol.h"

#include <QString>

#include <memory>
#include <optional>

class SecretStore;
class SettingBinding;

class Preferences
{
public:
    Preferences() = delete;

    // Names of stored items and settings; each text equals the constant's name.
    struct Keys
    {
        static inline const QString onboardingShown = QStringLiteral("onboardingShown");
        static inline const QString termsShown = QStringLiteral("termsShown");
        static inline const QString reconnect = QStringLiteral("reconnect");
        static inline const QString token = QStringLiteral("token");
        static inline const QString email = QStringLiteral("email");
        static inline const QString uid = QStringLiteral("uid");
        static inline const QString server = QStringLiteral("server");
        static inline const QString password = QStringLiteral("password");
        static inline const QString vpnProtocol = QStringLiteral("vpnProtocol");
        static inline const QString vpnPassword = QStringLiteral("vpnPassword");
        static inline const QString vpnUsername = QStringLiteral("vpnUsername");
        static inline const QString sharedSecret = QStringLiteral("sharedSecret");
        static inline const QString updated = QStringLiteral("updated");
        static inline const QString configId = QStringLiteral("configId");
    };

    // --- credentials (Secret Service) ---
    static inline const QString keychainGroupName = QStringLiteral("io.velmora.macSA");

    // The store every credential goes through: the session bus's Secret Service unless replaced.
    static SecretStore &defaultKeychain();
    // Also forgets the credentials kept in memory, which belonged to the store replaced.
    static void setDefaultKeychain(std::shared_ptr<SecretStore> store);

    // The stored text for key, or none when missing or unreadable. The token, which every authorised
    // request reads, is kept in memory once read: a change made behind this writer's back is not seen.
    [[nodiscard]] static std::optional<QString> keychainValue(const QString &key);
    // The one writer: a value stores it (replacing in place), none removes the item.
    // A failure prints "Keychain error for <key>: <error>" and is otherwise ignored.
    static void setKeychainValue(const std::optional<QString> &value, const QString &key);

    [[nodiscard]] static std::optional<QString> token();
    static void setToken(const std::optional<QString> &value);
    [[nodiscard]] static std::optional<QString> email();
    static void setEmail(const std::optional<QString> &value);
    [[nodiscard]] static std::optional<QString> password();
    static void setPassword(const std::optional<QString> &value);
    [[nodiscard]] static std::optional<QString> server();
    static void setServer(const std::optional<QString> &value);
    [[nodiscard]] static std::optional<QString> vpnUsername();
    static void setVpnUsername(const std::optional<QString> &value);
    [[nodiscard]] static std::optional<QString> vpnPassword();
    static void setVpnPassword(const std::optional<QString> &value);

    // The device identifier: derived once from the machine serial and kept under "uid".
    [[nodiscard]] static std::optional<QString> uid();
    [[nodiscard]] static std::optional<QString> macSerialNumber();

    // --- settings (user defaults); a missing or mistyped value reads as the default ---
    [[nodiscard]] static bool excludeLocalNetworks();
    static void setExcludeLocalNetworks(bool value);
    [[nodiscard]] static bool killSwitch();
    static void setKillSwitch(bool value);
    [[nodiscard]] static VPNProtocol vpnProtocol();
    static void setVpnProtocol(VPNProtocol value);
    [[nodiscard]] static QString countryConnected();
    static void setCountryConnected(const QString &value);
    [[nodiscard]] static VPNProtocol connectedProtocol();
    static void setConnectedProtocol(VPNProtocol value);
    [[nodiscard]] static bool compactView();
    static void setCompactView(bool value);
    [[nodiscard]] static bool onboardingShown();
    static void setOnboardingShown(bool value);
    [[nodiscard]] static bool termsShown();
    static void setTermsShown(bool value);
    [[nodiscard]] static bool updated();
    static void setUpdated(bool value);
    [[nodiscard]] static qint64 configId();
    static void setConfigId(qint64 value);

    // Each setting as an observable value for screens; one object per setting, on the main thread.
    static SettingBinding &excludeLocalNetworksBinding();
    static SettingBinding &killSwitchBinding();
    static SettingBinding &vpnProtocolBinding(); // the raw text of the protocol
    static SettingBinding &countryConnectedBinding();
    static SettingBinding &connectedProtocolBinding(); // the raw text of the protocol
    static SettingBinding &compactViewBinding();
    static SettingBinding &onboardingShownBinding();
    static SettingBinding &termsShownBinding();
    static SettingBinding &updatedBinding();
    static SettingBinding &configIdBinding();
};
