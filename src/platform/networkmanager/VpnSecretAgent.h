#pragma once
// The application's NetworkManager secret agent: hands NetworkManager the VPN password of a profile
// that refers to it, read from the credential store at that moment; it stores nothing itself.

#include "NetworkManagerDBus.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QDBusServiceWatcher;
class QTimer;
class SecretStore;

class VpnSecretAgent : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.SecretAgent")
public:
    static inline const QString identifier = QStringLiteral("io.velmora.macSA");

    // Answers only for password items whose service and account attributes are these; store gives
    // the credential store to read at each request. Registers with NetworkManager now and whenever
    // it comes back on the bus, trying again until it answers.
    VpnSecretAgent(const QDBusConnection &bus, std::function<SecretStore &()> store, const QString &service,
                   const QString &account, QObject *parent = nullptr);
    ~VpnSecretAgent() override;

    // Serves and registers on another connection to the system bus (after the bus came back).
    void setBus(const QDBusConnection &bus);

Q_SIGNALS:
    // After each attempt to register with NetworkManager's agent manager.
    void registrationFinished(bool registered);

public Q_SLOTS:
    NMSettings GetSecrets(const NMSettings &connection, const QDBusObjectPath &path,
                          const QString &settingName, const QStringList &hints, uint flags);
    void CancelGetSecrets(const QDBusObjectPath &path, const QString &settingName);
    void SaveSecrets(const NMSettings &connection, const QDBusObjectPath &path);
    void DeleteSecrets(const NMSettings &connection, const QDBusObjectPath &path);

private:
    void registerWithNetworkManager();
    [[nodiscard]] bool callerIsNetworkManager() const;

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    QTimer *m_retry;
    std::function<SecretStore &()> m_store;
    QString m_service;
    QString m_account;
};
