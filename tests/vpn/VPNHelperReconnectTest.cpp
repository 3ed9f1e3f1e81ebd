#include "NetworkManagerPeers.h"

#include "Console.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "StandInService.h"
#include "SystemVpnManager.h"
#include "VPNHelper.h"
#include "VelmoraController.h"
#include "VpnConnection.h"

#include <QElapsedTimer>
#include <QtTest>

namespace peers = NetworkManagerPeers;

// The kill switch bringing back a tunnel whose responder was killed, and what stops it. Runs in the
// world's client namespace, beside NetworkManager; every posted status is recorded.
class VPNHelperReconnectTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void killSwitchOffLeavesTheTunnelDown();
    void stopEndsTheAttempts_data();
    void stopEndsTheAttempts();
    void killSwitchBringsTheTunnelBack();

private:
    void connectAndKillTheResponder(bool killSwitch);
    [[nodiscard]] qsizetype attempts() const;
    [[nodiscard]] bool profileActive() const;

    StandInService m_service;
    QDBusConnection m_world{QString()};
    QString m_token;
    QObject m_observer;
    QList<VpnStatus> m_posted;
    std::unique_ptr<Console::Capture> m_console;
};

static VpnStatus status()
{
    return VPNHelper::shared().currentStatus();
}

void VPNHelperReconnectTest::initTestCase()
{
    if (peers::worldBus().isEmpty())
        QFAIL(peers::worldMissing);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", peers::worldBus().toUtf8());
    m_world = QDBusConnection::connectToBus(peers::worldBus(), QStringLiteral("world"));
    QVERIFY(m_service.start());
    qputenv("VELMORA_API_URL", m_service.apiUrl().toUtf8());
    m_token = QString::fromUtf8(m_service.addAccount("vpn@velmora.io", "pw"));
    Preferences::setConfigId(0);
    m_service.setIpsecConfiguration("10.99.0.1", "alice", "secret");
    NotificationCenter::defaultCenter().addObserver(
        VpnConnection::statusDidChangeNotification, &m_observer, [this](QObject *connection) {
            m_posted.append(qobject_cast<VpnConnection *>(connection)->status());
        });
}

void VPNHelperReconnectTest::init()
{
    Preferences::setToken(m_token);
    m_console = std::make_unique<Console::Capture>();
}

void VPNHelperReconnectTest::cleanup()
{
    VPNHelper::shared().disconnectVPN();
    QTRY_VERIFY_WITH_TIMEOUT(status() == VpnStatus::Disconnected || status() == VpnStatus::Invalid, 10000);
    // A fresh responder, and no charon-nm still busy with the dead one.
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-down")));
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-up")));
    m_console.reset();
}

void VPNHelperReconnectTest::connectAndKillTheResponder(bool killSwitch)
{
    Preferences::setKillSwitch(killSwitch);
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Connected, 20000);
    m_posted.clear();
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-down")));
    QTRY_VERIFY_WITH_TIMEOUT(status() != VpnStatus::Connected, 20000);
}

qsizetype VPNHelperReconnectTest::attempts() const
{
    const QStringList lines = m_console->lines();
    return std::count_if(lines.cbegin(), lines.cend(), [](const QString &line) {
        return line.startsWith(QLatin1String("Reconnecting the VPN tunnel"));
    });
}

// Whether NetworkManager has an active connection of the profile, even one still activating.
bool VPNHelperReconnectTest::profileActive() const
{
    namespace nm = NetworkManagerDBus;
    const auto property = [this](const QString &path, const QString &interface, const QString &name) {
        return peers::callNetworkManager(m_world, path, nm::propertiesInterface, QStringLiteral("Get"),
                                         {interface, name})
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant();
    };
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(
        property(nm::managerPath, nm::managerInterface, QStringLiteral("ActiveConnections"))
            .value<QDBusArgument>());
    return std::any_of(paths.cbegin(), paths.cend(), [&](const QDBusObjectPath &path) {
        return property(path.path(), nm::activeInterface, QStringLiteral("Id")) == QStringLiteral("Velmora");
    });
}

void VPNHelperReconnectTest::killSwitchOffLeavesTheTunnelDown()
{
    connectAndKillTheResponder(false);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Disconnected, 5000);
    QVERIFY(m_console->lines().contains("The VPN tunnel no longer answers: disconnecting."));
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-up")));
    // Well past the first attempt a kill switch would make.
    QVERIFY(!QTest::qWaitFor([this] { return status() != VpnStatus::Disconnected || attempts() > 0; }, 4000));
    QVERIFY(!m_posted.contains(VpnStatus::Reasserting));
    QVERIFY(!m_posted.contains(VpnStatus::Connecting));
}

void VPNHelperReconnectTest::stopEndsTheAttempts_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<bool>("betweenAttempts");
    QTest::addColumn<VpnStatus>("after");
    QTest::newRow("the button, during an attempt") << "press" << false << VpnStatus::Disconnected;
    QTest::newRow("logout, between attempts") << "logout" << true << VpnStatus::Disconnected;
    // As a disconnect does once the profile was removed: nothing saved, the tunnel stopped.
    QTest::newRow("stop alone, between attempts") << "stop" << true << VpnStatus::Disconnected;
    QTest::newRow("profile removed, between attempts") << "remove" << true << VpnStatus::Invalid;
}

void VPNHelperReconnectTest::stopEndsTheAttempts()
{
    QFETCH(QString, stop);
    QFETCH(bool, betweenAttempts);
    QFETCH(VpnStatus, after);
    VelmoraController controller;
    connectAndKillTheResponder(true);
    if (QTest::currentTestFailed())
        return;
    // An attempt lasts until charon-nm refuses it, about 10 s; then the next one waits 2 s.
    QTRY_VERIFY_WITH_TIMEOUT(attempts() > 0 && profileActive() != betweenAttempts, 30000);
    QTRY_COMPARE(controller.connectionStatus(), VpnStatus::Reasserting);
    if (stop == "press")
        controller.doConnect();
    else if (stop == "logout")
        NotificationCenter::defaultCenter().post(QStringLiteral("logout"));
    else if (stop == "stop")
        VPNHelper::shared().manager().connection()->stopVPNTunnel();
    else
        QVERIFY(!peers::await([](auto done) { VPNHelper::shared().removeVPNProfile(done); }).error);
    QTRY_COMPARE_WITH_TIMEOUT(status(), after, 10000);
    const qsizetype made = attempts();
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-up")));
    // With a responder that would take an attempt, nothing starts again.
    QVERIFY(!QTest::qWaitFor([&] { return status() != after || attempts() > made; }, 5000));
    QCOMPARE(m_posted.last(), after);
}

void VPNHelperReconnectTest::killSwitchBringsTheTunnelBack()
{
    connectAndKillTheResponder(true);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Reasserting, 5000);
    QVERIFY(m_console->lines().contains("The VPN tunnel no longer answers: reconnecting."));
    // charon-nm goes on tearing down the dead responder's SA and refuses to connect meanwhile.
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-return")));
    QElapsedTimer sinceReturn;
    sinceReturn.start();
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Connected, 240000);
    qInfo("connected %lld ms after the responder's return, after %lld attempts", sinceReturn.elapsed(),
          static_cast<long long>(attempts()));
    QCOMPARE(m_posted, (QList<VpnStatus>{VpnStatus::Reasserting, VpnStatus::Connected}));
    QVERIFY(peers::trafficGoesThroughTheTunnel());
}

QTEST_GUILESS_MAIN(VPNHelperReconnectTest)
#include "VPNHelperReconnectTest.moc"
