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

// The kill switch bringing back a tunnel whose responder was killed, what it lets out meanwhile and
// around the tunnel, and what stops it. Runs in the world's client namespace, beside NetworkManager;
// every posted status is recorded.
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
    void desktopDisconnectStaysDown();
    void nothingGetsOutWhileReconnecting();
    void blockLeftBehindIsLifted();

private:
    void connectAndKillTheResponder(bool killSwitch);
    [[nodiscard]] qsizetype attempts() const;
    [[nodiscard]] bool profileActive() const;
    [[nodiscard]] bool blockActive() const;
    [[nodiscard]] QString profileUuid() const;

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
    QTRY_COMPARE(blockActive(), killSwitch);
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

QString VPNHelperReconnectTest::profileUuid() const
{
    return peers::velmoraProfiles(m_world).first().value("connection").value("uuid").toString();
}

// Whether NetworkManager has an active connection of that name, even one still activating.
static bool activeWithId(const QDBusConnection &world, const QString &id)
{
    const auto paths = peers::activeConnections(world);
    return std::any_of(paths.cbegin(), paths.cend(), [&](const QDBusObjectPath &path) {
        return peers::callNetworkManager(world, path.path(), NetworkManagerDBus::propertiesInterface,
                                         QStringLiteral("Get"),
                                         {NetworkManagerDBus::activeInterface, QStringLiteral("Id")})
                   .arguments()
                   .value(0)
                   .value<QDBusVariant>()
                   .variant()
            == id;
    });
}

bool VPNHelperReconnectTest::profileActive() const
{
    return activeWithId(m_world, QStringLiteral("Velmora"));
}

bool VPNHelperReconnectTest::blockActive() const
{
    return activeWithId(m_world, QStringLiteral("Velmora kill switch"));
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
    QTest::newRow("desktop disconnect, during an attempt") << "desktop" << false << VpnStatus::Disconnected;
    QTest::newRow("block taken down on the desktop, between attempts")
        << "block" << true << VpnStatus::Disconnected;
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
    else if (stop == "desktop")
        QVERIFY(peers::nmcli({"connection", "down", "uuid", profileUuid()}));
    else if (stop == "block")
        QVERIFY(peers::nmcli({"connection", "down", "id", "Velmora kill switch"}));
    else
        QVERIFY(!peers::await([](auto done) { VPNHelper::shared().removeVPNProfile(done); }).error);
    // The block goes with the attempts: traffic goes out again, in the clear. (IPv4 may still run into
    // the dead tunnel's routes for as long as charon-nm tears it down.)
    QTRY_VERIFY_WITH_TIMEOUT(peers::reaches(peers::beyondTheServer6), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(status(), after, 10000);
    QVERIFY(!profileActive());
    QVERIFY(!blockActive());
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
    // No tunnel, and nothing beyond the server is reached in the clear, in either family.
    for (int i = 0; i < 10; ++i)
        QVERIFY(!peers::reaches(peers::beyondTheServer4));
    QVERIFY(!peers::reaches(peers::beyondTheServer6));
    // charon-nm goes on tearing down the dead responder's SA and refuses to connect meanwhile.
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-return")));
    QElapsedTimer sinceReturn;
    sinceReturn.start();
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Connected, 240000);
    qInfo("connected %lld ms after the responder's return, after %lld attempts", sinceReturn.elapsed(),
          static_cast<long long>(attempts()));
    QCOMPARE(m_posted, (QList<VpnStatus>{VpnStatus::Reasserting, VpnStatus::Connected}));
    QVERIFY(peers::trafficGoesThroughTheTunnel());
    QVERIFY(peers::reaches(peers::beyondTheServer4));
    QVERIFY(!peers::reaches(peers::beyondTheServer6));
}

void VPNHelperReconnectTest::nothingGetsOutWhileReconnecting()
{
    connectAndKillTheResponder(true);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Reasserting, 5000);
    // The dead tunnel's routes go with charon-nm: from then on only the block keeps traffic in.
    QVERIFY(peers::restartInWorld(QStringLiteral("charon-nm-down")));
    QTRY_VERIFY(!peers::runInWorld(QStringLiteral("client"), {"ip", "route", "show", "table", "220"})
                     .contains("dev ipsec0"));
    QCOMPARE(status(), VpnStatus::Reasserting);
    for (int i = 0; i < 10; ++i)
        QVERIFY(!peers::reaches(peers::beyondTheServer4));
    QVERIFY(!peers::reaches(peers::beyondTheServer6));

    VPNHelper::shared().disconnectVPN();
    QTRY_VERIFY_WITH_TIMEOUT(
        peers::reaches(peers::beyondTheServer4) && peers::reaches(peers::beyondTheServer6), 2000);
}

void VPNHelperReconnectTest::blockLeftBehindIsLifted()
{
    // As a run that crashed while reconnecting leaves it.
    QVERIFY(peers::nmcli({"connection", "add", "type", "bridge", "con-name", "Velmora kill switch", "ifname",
                          "velmora-block", "ipv4.method", "disabled", "ipv6.method", "disabled",
                          "ipv6.routing-rules", "priority 32001 prohibit"}));
    QVERIFY(peers::nmcli({"connection", "up", "id", "Velmora kill switch"}));
    QVERIFY(!peers::reaches(peers::beyondTheServer6));

    const QString name = QStringLiteral("next-start");
    {
        VPNHelper nextStart(QDBusConnection::connectToBus(peers::worldBus(), name));
        QTRY_VERIFY(!blockActive());
        QVERIFY(peers::reaches(peers::beyondTheServer6));
    }
    QDBusConnection::disconnectFromBus(name);
    peers::nmcli({"connection", "delete", "id", "Velmora kill switch"});
}

void VPNHelperReconnectTest::desktopDisconnectStaysDown()
{
    Preferences::setKillSwitch(true);
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Connected, 20000);
    QTRY_VERIFY(blockActive());
    // IPv4 goes through the tunnel; IPv6, which it does not carry, goes nowhere rather than around it.
    QVERIFY(peers::trafficGoesThroughTheTunnel());
    QVERIFY(peers::reaches(peers::beyondTheServer4));
    QVERIFY(!peers::reaches(peers::beyondTheServer6));

    QVERIFY(peers::nmcli({"connection", "down", "uuid", profileUuid()}));
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Disconnected, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(peers::reaches(peers::beyondTheServer6), 2000);
    QVERIFY(!QTest::qWaitFor([this] { return status() != VpnStatus::Disconnected || attempts() > 0; }, 4000));
    QVERIFY(!profileActive());
    QVERIFY(!blockActive());

    // Connected again from the desktop: the kill switch is armed again.
    QVERIFY(peers::nmcli({"connection", "up", "uuid", profileUuid()}));
    QTRY_COMPARE_WITH_TIMEOUT(status(), VpnStatus::Connected, 20000);
    QTRY_VERIFY(blockActive());
    QVERIFY(!peers::reaches(peers::beyondTheServer6));
}

QTEST_GUILESS_MAIN(VPNHelperReconnectTest)
#include "VPNHelperReconnectTest.moc"
