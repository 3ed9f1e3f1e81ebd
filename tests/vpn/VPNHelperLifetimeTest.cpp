#include "NetworkManagerPeers.h"

#include "Console.h"
#include "Preferences.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "VPNHelper.h"

#include <QtTest>

// Helpers of their own, destroyed while their work is still out: what comes back afterwards must
// touch nothing of them. On python-dbusmock's NetworkManager.
class VPNHelperLifetimeTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void destroyedWhileTheDisconnectSaves();
    void destroyedWhileTheConfigurationIsFetched();

private:
    StandInService m_service;
    NetworkManagerPeers::MockNetworkManager m_networkManager;
};

void VPNHelperLifetimeTest::initTestCase()
{
    QVERIFY(TestHelpers::startForClient(m_service));
    Preferences::setToken(QString::fromUtf8(m_service.addAccount("vpn@velmora.io", "pw")));
    Preferences::setConfigId(0);
}

void VPNHelperLifetimeTest::destroyedWhileTheDisconnectSaves()
{
    // With no profile loaded the save is refused, and the refusal comes on a later turn.
    auto *helper = new VPNHelper(m_networkManager.connect());
    helper->disconnectVPN();
    delete helper;
    QVERIFY(TestHelpers::runQueued());
}

void VPNHelperLifetimeTest::destroyedWhileTheConfigurationIsFetched()
{
    QPointer<VPNHelper> helper(new VPNHelper(m_networkManager.connect()));
    QObject context;
    connect(&m_service, &StandInService::requestReceived, &context, [&helper] { delete helper.data(); });
    Console::Capture capture;
    helper->connectIPSecIKEv2();
    // The client prints its "GET: " lines and then completes, in one turn.
    QTRY_VERIFY_WITH_TIMEOUT(!capture.lines().filter(QRegularExpression("^GET: ")).isEmpty(), 20000);
    QVERIFY(!helper);
    QCOMPARE(capture.lines().filter(QRegularExpression("^Attempting to connect")), QStringList());
}

QTEST_GUILESS_MAIN(VPNHelperLifetimeTest)
#include "VPNHelperLifetimeTest.moc"
