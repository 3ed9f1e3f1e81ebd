#include "NetworkManagerPeers.h"

#include "Console.h"
#include "VPNHelper.h"

#include <QtTest>

// The helper on a system bus where NetworkManager is not running.
class VPNHelperOfflineTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyOperationReportsTheMissingNetworkManager();

private:
    NetworkManagerPeers::PrivateBus m_bus;
};

void VPNHelperOfflineTest::everyOperationReportsTheMissingNetworkManager()
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus.address().toUtf8());
    Console::Capture capture;
    VPNHelper::shared().connectIPSecIKEv2();
    QTRY_COMPARE(capture.lines().size(), 1);
    QVERIFY2(capture.lines().first().startsWith(
                 "Error loading VPN preferences: The name org.freedesktop.NetworkManager"),
             qPrintable(capture.lines().first()));
    QCOMPARE(VPNHelper::shared().currentStatus(), VpnStatus::Invalid);

    const auto removed =
        NetworkManagerPeers::await([](auto done) { VPNHelper::shared().removeVPNProfile(done); });
    QVERIFY(removed.done && removed.error);
    VPNHelper::shared().disconnectVPN();
    QTest::qWait(200);
    QCOMPARE(capture.lines().size(), 1);
}

QTEST_GUILESS_MAIN(VPNHelperOfflineTest)
#include "VPNHelperOfflineTest.moc"
