#include "NetworkManagerPeers.h"

#include "Console.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "StandInService.h"
#include "VPNHelper.h"
#include "VpnConnection.h"

#include <QtTest>

namespace peers = NetworkManagerPeers;

namespace {

// What the VPN layer printed, without the service client's own lines.
QStringList vpnLines(const Console::Capture &capture)
{
    QStringList lines = capture.lines();
    lines.removeIf(
        [](const QString &line) { return line.startsWith("GET: ") || line.startsWith("Error Domain="); });
    return lines;
}

const QStringList startedLines{"Attempting to connect to server: 10.99.0.1",
                               "CALL LOAD TO PREFERENCES AGAIN...", "Start VPN"};

} // namespace

class VPNHelperTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void disconnectBeforeAnyLoadTouchesNothing();
    void tunnelComesUpCarriesTrafficAndGoesDown_data();
    void tunnelComesUpCarriesTrafficAndGoesDown();
    void wrongPasswordEndsDisconnected();
    void answersThatEndTheConnect_data();
    void answersThatEndTheConnect();
    void settingsReachTheSavedProfile_data();
    void settingsReachTheSavedProfile();
    void removedProfileComesBackOnlyWithAConnect();
    void profileDeletedOnTheDesktopStaysDeleted();
    void logoutCancelsAConnectOnItsWay();
    void removesTheProfileWhetherOrNotThereIsOne();

private:
    StandInService m_service;
    QDBusConnection m_world{QString()};
    QList<VpnStatus> m_posted;
    QVariant m_uuid;
};

void VPNHelperTest::initTestCase()
{
    if (peers::worldBus().isEmpty())
        QFAIL(peers::worldMissing);
    // The process-wide helper takes the system bus at first use: the world's.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", peers::worldBus().toUtf8());
    m_world = QDBusConnection::connectToBus(peers::worldBus(), QStringLiteral("world"));
    peers::deleteVelmoraProfiles(m_world);
    QVERIFY(m_service.start());
    qputenv("VELMORA_API_URL", m_service.apiUrl().toUtf8());
    Preferences::setToken(QString::fromUtf8(m_service.addAccount("vpn@velmora.io", "pw")));
    Preferences::setConfigId(0);
    NotificationCenter::defaultCenter().addObserver(
        VpnConnection::statusDidChangeNotification, this,
        [this](QObject *connection) { m_posted.append(static_cast<VpnConnection *>(connection)->status()); });
}

void VPNHelperTest::init()
{
    m_posted.clear();
    m_service.clearAnswers();
    m_service.clearRequests();
    m_service.setIpsecConfiguration("10.99.0.1", "alice", "secret");
}

void VPNHelperTest::cleanup()
{
    if (VPNHelper::shared().currentStatus() != VpnStatus::Connected)
        return;
    VPNHelper::shared().disconnectVPN(); // so that one failure does not carry over
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);
}

void VPNHelperTest::disconnectBeforeAnyLoadTouchesNothing()
{
    Console::Capture capture;
    VPNHelper::shared().disconnectVPN();
    QTest::qWait(300);
    QCOMPARE(vpnLines(capture), QStringList());
    QVERIFY(peers::velmoraProfiles(m_world).isEmpty());
    QCOMPARE(VPNHelper::shared().currentStatus(), VpnStatus::Invalid);
}

void VPNHelperTest::tunnelComesUpCarriesTrafficAndGoesDown_data()
{
    QTest::addColumn<bool>("killSwitch");
    QTest::newRow("first connect, kill switch off") << false;
    QTest::newRow("second connect, kill switch on") << true;
}

void VPNHelperTest::tunnelComesUpCarriesTrafficAndGoesDown()
{
    QFETCH(bool, killSwitch);
    Preferences::setKillSwitch(killSwitch);
    Console::Capture capture;
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    QCOMPARE(vpnLines(capture), startedLines);
    QCOMPARE(m_service.requestsTo(QStringLiteral("config/ipsec/0")).size(), 1);
    QVERIFY(peers::trafficGoesThroughTheTunnel());

    // One profile across connects, with one uuid, and the password in none of its settings.
    const auto profiles = peers::velmoraProfiles(m_world);
    QCOMPARE(profiles.size(), 1);
    if (m_uuid.isNull())
        m_uuid = profiles.first().value("connection").value("uuid");
    QCOMPARE(profiles.first().value("connection").value("uuid"), m_uuid);
    QCOMPARE(profiles.first().value("vpn").value("persistent").toBool(), killSwitch);
    QVERIFY(!profiles.first().value("vpn").contains("secrets"));
    for (const char *setting : {"vpn", "user"})
        QVERIFY(!NetworkManagerDBus::stringMap(profiles.first().value(setting).value("data"))
                     .values()
                     .contains("secret"));

    VPNHelper::shared().disconnectVPN();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);
    QCOMPARE(peers::velmoraProfiles(m_world).first().value("vpn").value("persistent").toBool(), false);
    if (m_posted.value(0) == VpnStatus::Disconnected) // the profile's first appearance
        m_posted.removeFirst();
    QCOMPARE(m_posted,
             (QList<VpnStatus>{VpnStatus::Connecting, VpnStatus::Connected, VpnStatus::Disconnecting,
                               VpnStatus::Disconnected}));
    const QByteArray files = peers::savedProfileFiles();
    QVERIFY(files.contains("password-flags=1") && !files.contains("=secret\n"));
    for (const QString &line : capture.lines())
        QVERIFY2(!line.contains("secret"), qPrintable(line));
}

void VPNHelperTest::wrongPasswordEndsDisconnected()
{
    m_service.setIpsecConfiguration("10.99.0.1", "alice", "wrong");
    Console::Capture capture;
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_VERIFY(m_posted.contains(VpnStatus::Connecting));
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 20000);
    QVERIFY(!m_posted.contains(VpnStatus::Connected));
    QCOMPARE(vpnLines(capture), startedLines);
}

void VPNHelperTest::answersThatEndTheConnect_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // none: the connection closes without an answer
    QTest::addColumn<QStringList>("lines"); // the last one may go on with an error's description
    const QString failed = QStringLiteral("Failed to retrieve IPSec configuration: ");
    QTest::newRow("fields missing") << 200 << QByteArray("{}")
                                    << QStringList{failed + "The answer has no radius_login."};
    QTest::newRow("Boolean for the password")
        << 200
        << QByteArray(R"({"server_domain": "10.99.0.1", "radius_login": "alice", "radius_password": true})")
        << QStringList{failed + "The answer has no radius_password."};
    QTest::newRow("number for the user")
        << 200
        << QByteArray(R"({"server_domain": "10.99.0.1", "radius_login": 7, "radius_password": "secret"})")
        << QStringList{failed + "The answer has no radius_login."};
    QTest::newRow("empty server")
        << 200 << QByteArray(R"({"server_domain": "", "radius_login": "alice", "radius_password": "secret"})")
        << QStringList{failed + "The answer has no server_domain."};
    QTest::newRow("refused, with credentials and a line break")
        << 403 << QByteArray(R"({"errors": {"plan": ["expired"]}, "message": "Plan expired.\nStart VPN",
            "server_domain": "10.99.0.1", "radius_login": "alice", "radius_password": "secret"})")
        << QStringList{failed + "Plan expired.\\nStart VPN"};
    QTest::newRow("refused without a message")
        << 500 << QByteArray(R"({"errors": null})") << QStringList{failed + "Unknown error"};
    QTest::newRow("forced logout") << 401 << QByteArray(R"({"code":"E0112"})") << QStringList();
    QTest::newRow("no answer") << 200 << QByteArray() << QStringList{failed};
}

void VPNHelperTest::answersThatEndTheConnect()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, lines);
    StandInService::Answer answer;
    answer.status = status;
    answer.body = body;
    answer.closeConnection = body.isNull();
    m_service.answerAlways(QStringLiteral("config/ipsec/0"), answer);
    int logouts = 0;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver("logout", &observer, [&](QObject *) { ++logouts; });
    Preferences::setVpnUsername(QStringLiteral("kept-user"));
    Preferences::setVpnPassword(QStringLiteral("kept-password"));
    Preferences::setServer(QStringLiteral("kept.example"));
    const QByteArray filesBefore = peers::savedProfileFiles();
    const VpnStatus statusBefore = VPNHelper::shared().currentStatus();
    Console::Capture capture;

    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(vpnLines(capture).size(), lines.size(), 10000);
    QTRY_VERIFY(!m_service.requestsTo(QStringLiteral("config/ipsec/0")).isEmpty());
    QTest::qWait(500); // whatever the tunnel does then, it does within milliseconds
    const QStringList printed = vpnLines(capture);
    QCOMPARE(printed.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QVERIFY2(i + 1 < lines.size() ? printed[i] == lines[i] : printed[i].startsWith(lines[i]),
                 qPrintable(printed[i]));
    QCOMPARE(logouts, status == 401 ? 1 : 0);
    QVERIFY(!m_posted.contains(VpnStatus::Connecting));
    QCOMPARE(VPNHelper::shared().currentStatus(), statusBefore);
    QCOMPARE(peers::savedProfileFiles(), filesBefore);
    QCOMPARE(Preferences::vpnUsername(), "kept-user");
    QCOMPARE(Preferences::vpnPassword(), "kept-password");
    QCOMPARE(Preferences::server(), "kept.example");
}

void VPNHelperTest::settingsReachTheSavedProfile_data()
{
    QTest::addColumn<bool>("killSwitch");
    QTest::addColumn<bool>("excludeLocalNetworks");
    QTest::newRow("kill switch, local networks excluded") << true << true;
    QTest::newRow("kill switch") << true << false;
    QTest::newRow("local networks excluded") << false << true;
    QTest::newRow("neither") << false << false;
}

void VPNHelperTest::settingsReachTheSavedProfile()
{
    QFETCH(bool, killSwitch);
    QFETCH(bool, excludeLocalNetworks);
    Preferences::setKillSwitch(killSwitch);
    Preferences::setExcludeLocalNetworks(excludeLocalNetworks);
    const QString flag = excludeLocalNetworks ? "true" : "false";
    const auto saved = [this](const char *setting) {
        return NetworkManagerDBus::stringMap(
            peers::velmoraProfiles(m_world).first().value(setting).value("data"));
    };

    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    QCOMPARE(saved("vpn").value("remote-ts"), killSwitch ? "0.0.0.0/0;::/0" : QString());
    QCOMPARE(saved("user").value("io.velmora.exclude-local-networks"), flag);
    QCOMPARE(saved("user").value("io.velmora.on-demand-rules"), "any");

    // A disconnect switches reconnection off and keeps the rest.
    VPNHelper::shared().disconnectVPN();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);
    QCOMPARE(saved("vpn").value("remote-ts"), killSwitch ? "0.0.0.0/0;::/0" : QString());
    QCOMPARE(saved("user").value("io.velmora.exclude-local-networks"), flag);
    QCOMPARE(saved("user").value("io.velmora.on-demand-rules"), "any");
    QCOMPARE(saved("user").value("io.velmora.on-demand"), "false");
}

void VPNHelperTest::removedProfileComesBackOnlyWithAConnect()
{
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    VPNHelper::shared().disconnectVPN();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);
    const peers::Outcome removed =
        peers::await([](auto done) { VPNHelper::shared().removeVPNProfile(done); });
    QVERIFY(removed.done && !removed.error);

    // Every logout disconnects; a save would take a few round trips to NetworkManager.
    VPNHelper::shared().disconnectVPN();
    QVERIFY(!QTest::qWaitFor([this] { return !peers::velmoraProfiles(m_world).isEmpty(); }, 2000));
    QCOMPARE(VPNHelper::shared().currentStatus(), VpnStatus::Invalid);

    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    QCOMPARE(peers::velmoraProfiles(m_world).size(), 1);
}

void VPNHelperTest::profileDeletedOnTheDesktopStaysDeleted()
{
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    VPNHelper::shared().disconnectVPN();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Disconnected, 10000);
    const QString uuid = peers::velmoraProfiles(m_world).first().value("connection").value("uuid").toString();
    QVERIFY(peers::nmcli({"connection", "delete", "uuid", uuid}));

    VPNHelper::shared().disconnectVPN(); // what every logout does
    QVERIFY(!QTest::qWaitFor([this] { return !peers::velmoraProfiles(m_world).isEmpty(); }, 2000));

    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    QCOMPARE(peers::velmoraProfiles(m_world).size(), 1);
}

void VPNHelperTest::logoutCancelsAConnectOnItsWay()
{
    Preferences::setKillSwitch(true);
    m_service.answerNext(
        QStringLiteral("config/ipsec/0"),
        {200,
         R"({"server_domain":"10.99.0.1","radius_login":"alice","radius_password":"secret"})",
         1500,
         false,
         {{"Content-Type", "application/json"}}});
    Console::Capture capture;
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(m_service.requestsTo(QStringLiteral("config/ipsec/0")).size(), 1, 10000);
    VPNHelper::shared().disconnectVPN();

    // The answer comes after the logout: nothing is saved or started for it.
    QTRY_VERIFY_WITH_TIMEOUT(!capture.lines().filter(QRegularExpression("^GET: ")).isEmpty(), 10000);
    QVERIFY(!QTest::qWaitFor(
        [] {
            const VpnStatus status = VPNHelper::shared().currentStatus();
            return status == VpnStatus::Connecting || status == VpnStatus::Connected;
        },
        2000));
    QCOMPARE(vpnLines(capture), QStringList());
    for (const NMSettings &profile : peers::velmoraProfiles(m_world))
        QVERIFY(!profile.value("vpn").value("persistent").toBool());

    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE_WITH_TIMEOUT(VPNHelper::shared().currentStatus(), VpnStatus::Connected, 20000);
    QCOMPARE(vpnLines(capture), startedLines);
}

void VPNHelperTest::removesTheProfileWhetherOrNotThereIsOne()
{
    for (int round = 0; round < 2; ++round) {
        const peers::Outcome removed =
            peers::await([](auto done) { VPNHelper::shared().removeVPNProfile(done); });
        QVERIFY(removed.done && !removed.error);
        QVERIFY(peers::velmoraProfiles(m_world).isEmpty());
        QCOMPARE(VPNHelper::shared().currentStatus(), VpnStatus::Invalid);
    }
}

QTEST_GUILESS_MAIN(VPNHelperTest)
#include "VPNHelperTest.moc"
