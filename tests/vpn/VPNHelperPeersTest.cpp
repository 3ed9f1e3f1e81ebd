#include "NetworkManagerPeers.h"

#include "Console.h"
#include "Preferences.h"
#include "StandInService.h"
#include "SystemVpnManager.h"
#include "VPNHelper.h"

#include <QElapsedTimer>
#include <QtTest>

namespace peers = NetworkManagerPeers;

// The helper when the peers around it fail: the responder killed, NetworkManager restarted, the
// system bus lost. Runs in the world's client namespace, beside NetworkManager.
class VPNHelperPeersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void deadResponderEndsTheTunnel();
    void restartedNetworkManagerFindsTheProfileAndAsksTheAgent();
    void lostSystemBusShowsAndIsJoinedAgain();

private:
    void connectAndCarryTraffic();

    StandInService m_service;
    QDBusConnection m_world{QString()};
};

void VPNHelperPeersTest::initTestCase()
{
    if (peers::worldBus().isEmpty())
        QFAIL(peers::worldMissing);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", peers::worldBus().toUtf8());
    m_world = QDBusConnection::connectToBus(peers::worldBus(), QStringLiteral("world"));
    QVERIFY(m_service.start());
    qputenv("VELMORA_API_URL", m_service.apiUrl().toUtf8());
    Preferences::setToken(QString::fromUtf8(m_service.addAccount("vpn@velmora.io", "pw")));
    Preferences::setConfigId(0);
    m_service.setIpsecConfiguration("10.99.0.1", "alice", "secret");
}

void VPNHelperPeersTest::cleanup()
{
    if (VPNHelper::shared().currentStatus() != VpnStatus::Connected)
        return;
    VPNHelper::shared().disconnectVPN();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);
}

void VPNHelperPeersTest::connectAndCarryTraffic()
{
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    QVERIFY(peers::trafficGoesThroughTheTunnel());
}

void VPNHelperPeersTest::restartedNetworkManagerFindsTheProfileAndAsksTheAgent()
{
    // A NetworkManager that knows only the base profile gives ours the path that the base profile
    // gets after the next restart.
    if (m_world.isConnected())
        peers::deleteVelmoraProfiles(m_world);
    QVERIFY(peers::restartInWorld(QStringLiteral("nm")));
    connectAndCarryTraffic();
    const QString uuid = peers::velmoraProfiles(m_world).first().value("connection").value("uuid").toString();
    VPNHelper::shared().disconnectVPN();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);

    QVERIFY(peers::restartInWorld(QStringLiteral("nm")));
    QVERIFY(peers::velmoraProfiles(m_world).first().value("connection").value("uuid") == uuid);
    // The base profile is active, and is not ours.
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 5000);
    QTest::qWait(500);
    QCOMPARE(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected);

    // The very profile starts, with the password from the agent.
    connectAndCarryTraffic();
    QCOMPARE(peers::velmoraProfiles(m_world).size(), 1);
}

void VPNHelperPeersTest::deadResponderEndsTheTunnel()
{
    // The kill switch would bring it back.
    Preferences::setKillSwitch(false);
    connectAndCarryTraffic();
    Console::Capture capture;
    QElapsedTimer sinceDeath;
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-down")));
    sinceDeath.start();
    QTRY_VERIFY_WITH_TIMEOUT(VPNHelper::shared().currentStatus() != VpnStatus::Connected, 20000);
    qInfo("status left Connected %lld ms after the responder died", sinceDeath.elapsed());
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 5000);
    QCOMPARE(capture.lines(), QStringList{"The VPN tunnel no longer answers: disconnecting."});
    QVERIFY(peers::restartInWorld(QStringLiteral("responder-up")));
}

void VPNHelperPeersTest::lostSystemBusShowsAndIsJoinedAgain()
{
    connectAndCarryTraffic();
    Console::Capture capture;
    QVERIFY(peers::restartInWorld(QStringLiteral("bus-down")));
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Invalid, 5000);
    QCOMPARE(capture.lines(),
             QStringList{"Lost the system bus: the VPN cannot be reached until it is back."});

    // A click says why nothing happens.
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE(capture.lines().size(), 2);
    QVERIFY2(capture.lines().last().startsWith("Error loading VPN preferences: "),
             qPrintable(capture.lines().last()));

    QVERIFY(peers::restartInWorld(QStringLiteral("bus-up")));
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 5000);
    QCOMPARE(capture.lines().value(2), "The system bus is back.");
    QDBusConnection::disconnectFromBus(QStringLiteral("world"));
    m_world = QDBusConnection::connectToBus(peers::worldBus(), QStringLiteral("world"));
    connectAndCarryTraffic();
}

QTEST_GUILESS_MAIN(VPNHelperPeersTest)
#include "VPNHelperPeersTest.moc"
