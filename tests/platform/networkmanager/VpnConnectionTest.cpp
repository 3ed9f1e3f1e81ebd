#include "NetworkManagerPeers.h"

#include "Console.h"
#include "SystemVpnManager.h"
#include "VPNHelper.h"
#include "VpnConnection.h"

#include <QElapsedTimer>
#include <QtTest>

namespace peers = NetworkManagerPeers;

// The kill switch's reconnection against python-dbusmock's NetworkManager, whose tunnels come up and
// drop as the test says: what it must never do to a tunnel that is up, and how long it waits.
class VpnConnectionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void tunnelUpMeanwhileIsNotActivatedAgain();
    void waitStartsOverOnlyOnceTheTunnelHeld();
    void pressEndsThePendingAttemptBeforeItsSave();

private:
    // Saves a kill-switch profile through manager, starts it and lets it come up.
    [[nodiscard]] QString connectedTunnel(SystemVpnManager &manager);
    // The tunnel at active drops, as when the network beneath goes away.
    void drop(const QString &active);
    [[nodiscard]] qsizetype attempts() const;

    std::unique_ptr<peers::MockNetworkManager> m_networkManager;
    std::unique_ptr<Console::Capture> m_console;
};

static constexpr uint vpnActivated = 5;
static constexpr uint vpnDisconnected = 7;
static constexpr uint deviceDisconnected = 3;

void VpnConnectionTest::init()
{
    m_networkManager = std::make_unique<peers::MockNetworkManager>();
    m_console = std::make_unique<Console::Capture>();
}

void VpnConnectionTest::cleanup()
{
    m_console.reset();
    m_networkManager.reset();
}

QString VpnConnectionTest::connectedTunnel(SystemVpnManager &manager)
{
    peers::configureProfile(manager, true, false);
    if (peers::await([&](auto done) { manager.saveToPreferences(done); }).error)
        return {};
    if (peers::await([&](auto done) { manager.connection()->startVPNTunnel(done); }).error)
        return {};
    const QString active = peers::activeConnections(m_networkManager->bus()).value(0).path();
    m_networkManager->mock(QStringLiteral("SetVpnState"), {QDBusObjectPath(active), vpnActivated, 1u});
    return QTest::qWaitFor([&] { return manager.connection()->status() == VpnStatus::Connected; })
        ? active
        : QString();
}

void VpnConnectionTest::drop(const QString &active)
{
    m_networkManager->mock(QStringLiteral("SetVpnState"),
                           {QDBusObjectPath(active), vpnDisconnected, deviceDisconnected});
}

qsizetype VpnConnectionTest::attempts() const
{
    return m_console->lines().filter(QRegularExpression("^Reconnecting the VPN tunnel, attempt")).size();
}

void VpnConnectionTest::tunnelUpMeanwhileIsNotActivatedAgain()
{
    SystemVpnManager manager(m_networkManager->bus(), QStringLiteral("Velmora"));
    const QString active = connectedTunnel(manager);
    QVERIFY(!active.isEmpty());
    drop(active);
    QTRY_COMPARE(manager.connection()->status(), VpnStatus::Reasserting);

    // Brought up from the desktop before the first attempt is due.
    const QDBusMessage started = peers::callNetworkManager(
        m_networkManager->bus(), NetworkManagerDBus::managerPath, NetworkManagerDBus::managerInterface,
        QStringLiteral("ActivateConnection"),
        {QVariant::fromValue(QDBusObjectPath(peers::velmoraProfiles(m_networkManager->bus()).firstKey())),
         QVariant::fromValue(QDBusObjectPath("/")), QVariant::fromValue(QDBusObjectPath("/"))});
    m_networkManager->mock(QStringLiteral("SetVpnState"), {started.arguments().value(0), vpnActivated, 1u});
    QTRY_COMPARE(manager.connection()->status(), VpnStatus::Connected);
    QVERIFY(!QTest::qWaitFor([&] { return attempts() > 0; }, 2500));
    QCOMPARE(peers::activeConnections(m_networkManager->bus()).size(), 1);
}

void VpnConnectionTest::waitStartsOverOnlyOnceTheTunnelHeld()
{
    SystemVpnManager manager(m_networkManager->bus(), QStringLiteral("Velmora"));
    const QString active = connectedTunnel(manager);
    QVERIFY(!active.isEmpty());
    drop(active);
    QTRY_COMPARE_WITH_TIMEOUT(attempts(), 1, 5000);
    QTRY_COMPARE(peers::activeConnections(m_networkManager->bus()).size(), 1);
    const QString again = peers::activeConnections(m_networkManager->bus()).first().path();

    // Back up, and down again at once, as a tunnel that carries nothing is.
    m_networkManager->mock(QStringLiteral("SetVpnState"), {QDBusObjectPath(again), vpnActivated, 1u});
    QTRY_COMPARE(manager.connection()->status(), VpnStatus::Connected);
    QElapsedTimer sinceDrop;
    sinceDrop.start();
    drop(again);
    QTRY_COMPARE_WITH_TIMEOUT(attempts(), 2, 10000);
    QVERIFY2(sinceDrop.elapsed() >= 1900, qPrintable(QString::number(sinceDrop.elapsed())));
    QVERIFY(m_console->lines().contains("Reconnecting the VPN tunnel, attempt 2."));
}

void VpnConnectionTest::pressEndsThePendingAttemptBeforeItsSave()
{
    VPNHelper helper(m_networkManager->connect());
    const QString active = connectedTunnel(helper.manager());
    QVERIFY(!active.isEmpty());
    drop(active);
    QTRY_COMPARE(helper.currentStatus(), VpnStatus::Reasserting);

    helper.disconnectVPN();
    // Before the save's first round trip.
    QCOMPARE(helper.currentStatus(), VpnStatus::Disconnected);
    QVERIFY(!QTest::qWaitFor([&] { return attempts() > 0; }, 2500));
    QVERIFY(peers::activeConnections(m_networkManager->bus()).isEmpty());
}

QTEST_GUILESS_MAIN(VpnConnectionTest)
#include "VpnConnectionTest.moc"
