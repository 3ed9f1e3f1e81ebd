#pragma once
// Peers for the VPN tests: the run's real NetworkManager world (made by scripts/test from
// tests/vpn/world), and private buses holding python-dbusmock's NetworkManager or nothing at all.

#include "Error.h"
#include "NetworkManagerDBus.h"
#include "SystemVpnManager.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace NetworkManagerPeers {

// The real world's bus; empty when scripts/test could not bring the world up.
inline QString worldBus()
{
    return qEnvironmentVariable("VELMORA_NM_BUS");
}
inline const char *worldMissing =
    "The NetworkManager test world is not up: run the tests through scripts/test as root";
inline QString worldDir()
{
    return qEnvironmentVariable("VELMORA_NM_WORLD");
}

inline QByteArray runInWorld(const QString &side, const QStringList &command)
{
    QProcess process;
    process.start(QStringLiteral("ip"),
                  QStringList{QStringLiteral("netns"), QStringLiteral("exec"),
                              qEnvironmentVariable("WORLD_PREFIX") + side}
                      + command);
    process.waitForFinished(15000);
    return process.readAllStandardOutput();
}

// Makes a peer of the world fail or come back (tests/vpn/world/world-restart); true when it did.
inline bool restartInWorld(const QString &what)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WORLD"), worldDir());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELMORA_TEST_DATA_DIR "/vpn/world/world-restart"), {what});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// Pings the responder's inner address and tells whether the packets went through the tunnel: with
// userspace ESP the kernel shows nothing, the responder's SA counters do.
inline bool trafficGoesThroughTheTunnel()
{
    const auto packetsIn = [] {
        const QString sas = QString::fromUtf8(
            runInWorld(QStringLiteral("server"),
                       {QStringLiteral("env"), "STRONGSWAN_CONF=" + worldDir() + "/server/strongswan.conf",
                        QStringLiteral("swanctl"), QStringLiteral("--list-sas"), QStringLiteral("--uri"),
                        "unix://" + worldDir() + "/run/server/charon.vici"}));
        static const QRegularExpression in(
            QStringLiteral("^\\s*in\\s+\\S+,\\s+\\d+ bytes,\\s+(\\d+) packets"),
            QRegularExpression::MultilineOption);
        qint64 packets = 0;
        for (auto match = in.globalMatch(sas); match.hasNext();)
            packets += match.next().captured(1).toLongLong();
        return packets;
    };
    const qint64 before = packetsIn();
    const QByteArray ping = runInWorld(QStringLiteral("client"),
                                       {QStringLiteral("ping"), QStringLiteral("-c3"),
                                        QStringLiteral("-i0.2"), QStringLiteral("10.100.0.1")});
    return ping.contains(" 0% packet loss") && packetsIn() >= before + 3;
}

// Hosts beyond the server in the world: the tunnel carries the IPv4 one; IPv6 only the plain link does.
inline const QString beyondTheServer4 = QStringLiteral("203.0.113.5");
inline const QString beyondTheServer6 = QStringLiteral("2001:db8:5::5");

// Whether a TCP connection from here reached host: it accepted or refused (nothing listens there, so
// it refuses at once). Anything else, a time-out or a refusal by the kill switch's block, is no.
inline bool reaches(const QString &host)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(host), 9);
    return socket.waitForConnected(1500) || socket.error() == QAbstractSocket::ConnectionRefusedError;
}

// Runs nmcli against the world's NetworkManager, as the person does from a terminal or the desktop's
// network menu; true when it succeeded. The loop runs meanwhile: NetworkManager may ask this process's
// secret agent.
inline bool nmcli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("nmcli"), arguments);
    return QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 30000)
        && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Everything NetworkManager keeps on disk about profiles.
inline QByteArray savedProfileFiles()
{
    QByteArray all;
    const QDir dir(worldDir() + QStringLiteral("/nm/system-connections"));
    for (const QString &name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

inline QDBusMessage callNetworkManager(const QDBusConnection &bus, const QString &path,
                                       const QString &interface, const QString &method,
                                       const QVariantList &arguments = {})
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(NetworkManagerDBus::service, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message);
}

// Every saved profile named "Velmora", by path, as NetworkManager's GetSettings gives it.
inline QMap<QString, NMSettings> velmoraProfiles(const QDBusConnection &bus)
{
    NetworkManagerDBus::registerTypes();
    QMap<QString, NMSettings> found;
    const QDBusMessage list =
        callNetworkManager(bus, NetworkManagerDBus::settingsPath, NetworkManagerDBus::settingsInterface,
                           QStringLiteral("ListConnections"));
    for (const auto &path :
         qdbus_cast<QList<QDBusObjectPath>>(list.arguments().value(0).value<QDBusArgument>())) {
        const QDBusMessage reply = callNetworkManager(
            bus, path.path(), NetworkManagerDBus::connectionInterface, QStringLiteral("GetSettings"));
        const NMSettings settings = NetworkManagerDBus::settings(reply.arguments().value(0));
        if (settings.value("connection").value("id") == QStringLiteral("Velmora"))
            found.insert(path.path(), settings);
    }
    return found;
}

// The profile as the application saves it, with the two routing switches given.
inline void configureProfile(SystemVpnManager &manager, bool killSwitch, bool excludeLocal)
{
    using Parameters = IKEv2Settings::SecurityAssociationParameters;
    IKEv2Settings protocol;
    protocol.useExtendedAuthentication = true;
    protocol.serverAddress = protocol.remoteIdentifier = QStringLiteral("10.99.0.1");
    protocol.username = QStringLiteral("alice");
    protocol.passwordReference = "/org/freedesktop/secrets/collection/login/7";
    protocol.ikeSecurityAssociationParameters = protocol.childSecurityAssociationParameters = {
        Parameters::EncryptionAlgorithm::AES256GCM, Parameters::IntegrityAlgorithm::SHA384,
        Parameters::DiffieHellmanGroup::Group31};
    protocol.enablePFS = true;
    protocol.includeAllNetworks = killSwitch;
    protocol.excludeLocalNetworks = excludeLocal;
    manager.setProtocolConfiguration(protocol);
    manager.setOnDemandRules({SystemVpnManager::OnDemandRuleConnect{}});
    manager.setOnDemandEnabled(killSwitch);
    manager.setEnabled(true);
}

// The active connections NetworkManager lists.
inline QList<QDBusObjectPath> activeConnections(const QDBusConnection &bus)
{
    const QDBusMessage reply = callNetworkManager(
        bus, NetworkManagerDBus::managerPath, NetworkManagerDBus::propertiesInterface, QStringLiteral("Get"),
        {NetworkManagerDBus::managerInterface, QStringLiteral("ActiveConnections")});
    return qdbus_cast<QList<QDBusObjectPath>>(
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>());
}

inline void deleteVelmoraProfiles(const QDBusConnection &bus)
{
    for (const QString &path : velmoraProfiles(bus).keys())
        callNetworkManager(bus, path, NetworkManagerDBus::connectionInterface, QStringLiteral("Delete"));
}

// Starts an operation that takes a completion and runs the event loop until the completion ran.
struct Outcome
{
    bool done = false;
    std::optional<Error> error;
};
inline Outcome await(const std::function<void(std::function<void(std::optional<Error>)>)> &operation)
{
    auto outcome = std::make_shared<Outcome>();
    operation([outcome](std::optional<Error> error) {
        outcome->error = error;
        outcome->done = true;
    });
    outcome->done = QTest::qWaitFor([&] { return outcome->done; }, 20000);
    return *outcome;
}

// A session-type bus daemon of the test's own; nothing on it unless the test puts it there.
class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1"),
                        QStringLiteral("--address=unix:dir=") + m_dir.path()});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString &name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    [[nodiscard]] QString address() const { return m_address; }
    // A new connection of this process to the bus.
    [[nodiscard]] QDBusConnection connect()
    {
        m_connections.append(QStringLiteral("private-%1-%2").arg(quintptr(this)).arg(m_connections.size()));
        return QDBusConnection::connectToBus(m_address, m_connections.last());
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// python-dbusmock's NetworkManager with tests/vpn/world/networkmanager_template.py, on a private bus.
class MockNetworkManager : public PrivateBus
{
public:
    explicit MockNetworkManager(const QByteArray &parameters = "{}")
        : m_bus(connect())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address());
        m_mock.setProcessEnvironment(environment);
        m_mock.setStandardOutputFile(QProcess::nullDevice());
        m_mock.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                      QStringLiteral("-t"),
                      QStringLiteral(VELMORA_TEST_DATA_DIR "/vpn/world/networkmanager_template.py"),
                      QStringLiteral("-p"), QString::fromUtf8(parameters)});
        // The name is taken before the template has loaded: wait until the settings answer.
        QTRY_VERIFY_WITH_TIMEOUT(callNetworkManager(m_bus, NetworkManagerDBus::settingsPath,
                                                    NetworkManagerDBus::settingsInterface,
                                                    QStringLiteral("ListConnections"))
                                         .type()
                                     == QDBusMessage::ReplyMessage,
                                 15000);
    }
    ~MockNetworkManager()
    {
        m_mock.terminate();
        m_mock.waitForFinished(5000);
    }

    [[nodiscard]] QDBusConnection bus() const { return m_bus; }
    // A method of the mock's control interface.
    QDBusMessage mock(const QString &method, const QVariantList &arguments = {})
    {
        return callNetworkManager(m_bus, QStringLiteral("/org/freedesktop"),
                                  QStringLiteral("org.freedesktop.DBus.Mock"), method, arguments);
    }

private:
    QDBusConnection m_bus;
    QProcess m_mock;
};

} // namespace NetworkManagerPeers
