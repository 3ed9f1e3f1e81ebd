#include "NetworkManagerPeers.h"

#include "NotificationCenter.h"
#include "SystemVpnManager.h"
#include "VpnConnection.h"
#include "VpnError.h"

#include <QtTest>

namespace peers = NetworkManagerPeers;

namespace {

using Rule = SystemVpnManager::OnDemandRuleConnect;

} // namespace

class SystemVpnManagerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void savedProfileReadsBackWhole_data();
    void savedProfileReadsBackWhole();
    void failuresReachTheCompletion_data();
    void failuresReachTheCompletion();
    void statusFollowsTheActiveConnection_data();
    void statusFollowsTheActiveConnection();

private:
    QDBusConnection m_world{QString()};
};

void SystemVpnManagerTest::initTestCase()
{
    if (peers::worldBus().isEmpty())
        QFAIL(peers::worldMissing);
    m_world = QDBusConnection::connectToBus(peers::worldBus(), QStringLiteral("world"));
}

void SystemVpnManagerTest::init()
{
    peers::deleteVelmoraProfiles(m_world);
}

void SystemVpnManagerTest::savedProfileReadsBackWhole_data()
{
    QTest::addColumn<bool>("killSwitch");
    QTest::addColumn<bool>("excludeLocal");
    QTest::newRow("kill switch off, local networks in") << false << false;
    QTest::newRow("kill switch off, local networks out") << false << true;
    QTest::newRow("kill switch on, local networks in") << true << false;
    QTest::newRow("kill switch on, local networks out") << true << true;
}

void SystemVpnManagerTest::savedProfileReadsBackWhole()
{
    QFETCH(bool, killSwitch);
    QFETCH(bool, excludeLocal);
    SystemVpnManager saver(m_world, QStringLiteral("Velmora"));
    peers::configureProfile(saver, killSwitch, excludeLocal);
    QVERIFY(!peers::await([&](auto done) { saver.saveToPreferences(done); }).error);

    const auto profiles = peers::velmoraProfiles(m_world);
    QCOMPARE(profiles.size(), 1);
    const NMSettings settings = profiles.first();
    QCOMPARE(settings.value("connection").value("type"), QStringLiteral("vpn"));
    QCOMPARE(settings.value("connection").value("autoconnect"), false);
    QCOMPARE(settings.value("connection").value("permissions"), QStringList{QStringLiteral("user:root:")});
    QCOMPARE(settings.value("vpn").value("service-type"),
             QStringLiteral("org.freedesktop.NetworkManager.strongswan"));
    QCOMPARE(settings.value("vpn").value("persistent").toBool(), killSwitch);
    QCOMPARE(settings.value("ipv4").value("method"), QStringLiteral("auto"));
    QCOMPARE(settings.value("ipv6").value("method"), QStringLiteral("auto"));
    NMStringMap data{{"address", "10.99.0.1"},
                     {"remote-identity", "10.99.0.1"},
                     {"method", "eap"},
                     {"user", "alice"},
                     {"proposal", "yes"},
                     {"ike", "aes256gcm16-prfsha384-curve25519"},
                     {"esp", "aes256gcm16-curve25519"},
                     {"virtual", "yes"},
                     {"password-flags", "1"}};
    if (killSwitch)
        data.insert(QStringLiteral("remote-ts"), QStringLiteral("0.0.0.0/0;::/0"));
    QCOMPARE(NetworkManagerDBus::stringMap(settings.value("vpn").value("data")), data);
    QCOMPARE(
        NetworkManagerDBus::stringMap(settings.value("user").value("data")).value("io.velmora.password-ref"),
        QStringLiteral("/org/freedesktop/secrets/collection/login/7"));

    SystemVpnManager loader(m_world, QStringLiteral("Velmora"));
    QVERIFY(!peers::await([&](auto done) { loader.loadFromPreferences(done); }).error);
    QCOMPARE(loader.protocolConfiguration(), saver.protocolConfiguration());
    QCOMPARE(loader.isOnDemandEnabled(), killSwitch);
    QCOMPARE(loader.onDemandRules(), QList<Rule>{Rule{}});
    QVERIFY(loader.isEnabled());
    QCOMPARE(loader.connection()->status(), VpnStatus::Disconnected);
}

void SystemVpnManagerTest::failuresReachTheCompletion_data()
{
    QTest::addColumn<QString>("refused");
    QTest::addColumn<int>("step"); // 0 load, 1 first save, 2 second save, 3 remove, 4 start
    QTest::addColumn<qint64>("code");
    QTest::newRow("load") << "ListConnections" << 0 << qint64(VpnError::ConfigurationReadWriteFailed);
    QTest::newRow("add") << "AddConnection" << 1 << qint64(VpnError::ConfigurationReadWriteFailed);
    QTest::newRow("update") << "Update" << 2 << qint64(VpnError::ConfigurationReadWriteFailed);
    QTest::newRow("remove") << "Delete" << 3 << qint64(VpnError::ConfigurationReadWriteFailed);
    QTest::newRow("start") << "ActivateConnection" << 4 << qint64(VpnError::ConnectionFailed);
}

void SystemVpnManagerTest::failuresReachTheCompletion()
{
    QFETCH(QString, refused);
    QFETCH(int, step);
    QFETCH(qint64, code);
    peers::MockNetworkManager networkManager;
    SystemVpnManager manager(networkManager.bus(), QStringLiteral("Velmora"));
    peers::configureProfile(manager, false, false);
    const std::array<std::function<void(SystemVpnManager::Completion)>, 5> steps{
        [&](auto done) { manager.loadFromPreferences(done); },
        [&](auto done) { manager.saveToPreferences(done); },
        [&](auto done) { manager.saveToPreferences(done); },
        [&](auto done) { manager.removeFromPreferences(done); },
        [&](auto done) { manager.connection()->startVPNTunnel(done); },
    };
    if (step >= 2)
        QVERIFY(!peers::await(steps[1]).error);
    networkManager.mock(QStringLiteral("Refuse"),
                        {refused, QStringLiteral("org.freedesktop.NetworkManager.Failed"),
                         QStringLiteral("refused for the test")});
    const peers::Outcome outcome = peers::await(steps[size_t(step)]);
    QVERIFY(outcome.error);
    QCOMPARE(outcome.error->domain(), VpnError::domain);
    QCOMPARE(outcome.error->code(), code);
    QCOMPARE(outcome.error->localizedDescription(), QStringLiteral("refused for the test"));
}

void SystemVpnManagerTest::statusFollowsTheActiveConnection_data()
{
    QTest::addColumn<QList<QList<uint>>>("events"); // {VPN state, reason}, or {0, active state, reason}
    QTest::addColumn<QList<VpnStatus>>("statuses");
    using S = VpnStatus;
    QTest::newRow("comes up") << QList<QList<uint>>{{2, 1}, {3, 1}, {4, 1}, {5, 1}}
                              << QList<S>{S::Connecting, S::Connecting, S::Connecting, S::Connected};
    QTest::newRow("no secrets") << QList<QList<uint>>{{2, 1}, {6, 9}}
                                << QList<S>{S::Connecting, S::Disconnected};
    QTest::newRow("login refused") << QList<QList<uint>>{{3, 1}, {6, 0}}
                                   << QList<S>{S::Connecting, S::Disconnected};
    QTest::newRow("dropped") << QList<QList<uint>>{{5, 1}, {7, 2}} << QList<S>{S::Connected, S::Disconnected};
    QTest::newRow("taken down") << QList<QList<uint>>{{5, 1}, {0, 3, 2}, {7, 2}}
                                << QList<S>{S::Connected, S::Disconnecting, S::Disconnected};
}

void SystemVpnManagerTest::statusFollowsTheActiveConnection()
{
    QFETCH(QList<QList<uint>>, events);
    QFETCH(QList<VpnStatus>, statuses);
    peers::MockNetworkManager networkManager;
    SystemVpnManager manager(networkManager.bus(), QStringLiteral("Velmora"));
    peers::configureProfile(manager, false, false);
    QVERIFY(!peers::await([&](auto done) { manager.saveToPreferences(done); }).error);
    QList<VpnStatus> posted;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(VpnConnection::statusDidChangeNotification, &observer,
                                                    [&](QObject *object) {
                                                        QCOMPARE(object, manager.connection());
                                                        posted.append(manager.connection()->status());
                                                    });

    // Started by another program: the connection finds the new active connection by itself.
    const QDBusObjectPath none(QStringLiteral("/"));
    const QDBusMessage started = peers::callNetworkManager(
        networkManager.bus(), NetworkManagerDBus::managerPath, NetworkManagerDBus::managerInterface,
        QStringLiteral("ActivateConnection"),
        {QVariant::fromValue(QDBusObjectPath(peers::velmoraProfiles(networkManager.bus()).firstKey())),
         QVariant::fromValue(none), QVariant::fromValue(none)});
    const QVariant active = started.arguments().value(0);
    QTRY_COMPARE(manager.connection()->status(), VpnStatus::Connecting);
    for (qsizetype i = 0; i < events.size(); ++i) {
        const QList<uint> &event = events[i];
        if (event[0] == 0)
            networkManager.mock(QStringLiteral("SetActiveState"), {active, event[1], event[2]});
        else
            networkManager.mock(QStringLiteral("SetVpnState"), {active, event[0], event[1]});
        QTRY_COMPARE(manager.connection()->status(), statuses[i]);
    }
    QList<VpnStatus> changes{VpnStatus::Connecting};
    for (VpnStatus status : statuses) {
        if (status != changes.last())
            changes.append(status);
    }
    QCOMPARE(posted, changes);
}

QTEST_GUILESS_MAIN(SystemVpnManagerTest)
#include "SystemVpnManagerTest.moc"
