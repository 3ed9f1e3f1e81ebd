#include "NetworkManagerPeers.h"

#include "SecretStore.h"
#include "VpnSecretAgent.h"

#include <QDBusPendingCallWatcher>
#include <QtTest>

namespace peers = NetworkManagerPeers;

namespace {

const QString service = QStringLiteral("io.velmora.macSA");
const QString account = QStringLiteral("vpnPassword");

// A call whose answer comes from this very thread: the event loop runs while waiting.
QDBusMessage callAndWait(const QDBusConnection &bus, const QDBusMessage &message)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(message));
    QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
    return finished.wait(10000) ? watcher.reply() : QDBusMessage();
}

} // namespace

class VpnSecretAgentTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void registersWhereThereIsAnAgentManager_data();
    void registersWhereThereIsAnAgentManager();
    void answersOnlyWithItsOwnPasswordItem_data();
    void answersOnlyWithItsOwnPasswordItem();

private:
    SecretStore m_store;
    QHash<QString, QString> m_paths; // item paths by row name
};

void VpnSecretAgentTest::initTestCase()
{
    const QList<QStringList> items{{"own", service, account},
                                   {"another account's", service, "token"},
                                   {"another service's", "org.example.other", account},
                                   {"removed", service, "removed"}};
    for (const QStringList &item : items) {
        const SecretStore::ItemResult added = m_store.addItem(item[1], item[2], "s3cret-" + item[0].toUtf8());
        QVERIFY(added.item);
        m_paths.insert(item[0], added.item->path);
    }
    QVERIFY(!m_store.remove(service, "removed"));
}

void VpnSecretAgentTest::registersWhereThereIsAnAgentManager_data()
{
    QTest::addColumn<QByteArray>("parameters");
    QTest::addColumn<int>("refusals"); // registrations the agent manager refuses first
    QTest::addColumn<QList<bool>>("attempts");
    QTest::newRow("agent manager") << QByteArray("{}") << 0 << QList<bool>{true};
    // NetworkManager on the bus before its agent manager answers, as when it starts.
    QTest::newRow("agent manager refusing twice") << QByteArray("{}") << 2 << QList<bool>{false, false, true};
    QTest::newRow("no agent manager") << QByteArray(R"({"AgentManager": false})") << 0 << QList<bool>{false};
}

void VpnSecretAgentTest::registersWhereThereIsAnAgentManager()
{
    QFETCH(QByteArray, parameters);
    QFETCH(int, refusals);
    QFETCH(QList<bool>, attempts);
    peers::MockNetworkManager networkManager(parameters);
    for (int i = 0; i < refusals; ++i)
        networkManager.mock(
            "Refuse", {"RegisterWithCapabilities", "org.freedesktop.DBus.Error.UnknownObject", "not yet"});
    VpnSecretAgent agent(
        networkManager.bus(), [this]() -> SecretStore & { return m_store; }, service, account);
    QSignalSpy finished(&agent, &VpnSecretAgent::registrationFinished);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), attempts.size(), 10000);
    QTest::qWait(attempts.last() ? 1000 : 0); // and no more once registered
    QList<bool> seen;
    for (const QList<QVariant> &attempt : finished)
        seen.append(attempt.first().toBool());
    QCOMPARE(seen, attempts);
}

void VpnSecretAgentTest::answersOnlyWithItsOwnPasswordItem_data()
{
    QTest::addColumn<QString>("item"); // null: the profile refers to none
    QTest::addColumn<bool>("askedByNetworkManager");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error");
    const QString noSecrets = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets");
    QTest::newRow("its own item") << "own" << true << "s3cret-own" << QString();
    QTest::newRow("no reference") << QString() << true << QString() << noSecrets;
    QTest::newRow("another account's item") << "another account's" << true << QString() << noSecrets;
    QTest::newRow("another service's item") << "another service's" << true << QString() << noSecrets;
    QTest::newRow("a removed item") << "removed" << true << QString() << noSecrets;
    QTest::newRow("asked by another program")
        << "own" << false << QString() << "org.freedesktop.NetworkManager.SecretAgent.PermissionDenied";
}

void VpnSecretAgentTest::answersOnlyWithItsOwnPasswordItem()
{
    QFETCH(QString, item);
    QFETCH(bool, askedByNetworkManager);
    QFETCH(QString, password);
    QFETCH(QString, error);
    peers::MockNetworkManager networkManager;
    VpnSecretAgent agent(
        networkManager.bus(), [this]() -> SecretStore & { return m_store; }, service, account);
    NMSettings profile{{"connection", {{"id", "Velmora"}}}};
    if (!item.isNull())
        profile.insert(
            "user", {{"data", QVariant::fromValue(NMStringMap{{"io.velmora.password-ref", m_paths[item]}})}});

    QDBusMessage ask;
    if (askedByNetworkManager) { // the mock asks from NetworkManager's own bus name
        ask = QDBusMessage::createMethodCall(NetworkManagerDBus::service, "/org/freedesktop",
                                             "org.freedesktop.DBus.Mock", "AskSecrets");
        ask.setArguments({networkManager.bus().baseService(), QVariant::fromValue(profile)});
    } else {
        ask = QDBusMessage::createMethodCall(networkManager.bus().baseService(),
                                             NetworkManagerDBus::secretAgentPath,
                                             NetworkManagerDBus::secretAgentInterface, "GetSecrets");
        ask.setArguments({QVariant::fromValue(profile), QVariant::fromValue(QDBusObjectPath("/")), "vpn",
                          QStringList(), 4u});
    }
    const QDBusMessage reply =
        callAndWait(askedByNetworkManager ? networkManager.bus() : networkManager.connect(), ask);
    QCOMPARE(reply.errorName(), error);
    const NMSettings secrets = NetworkManagerDBus::settings(reply.arguments().value(0));
    QCOMPARE(NetworkManagerDBus::stringMap(secrets.value("vpn").value("secrets")).value("password"),
             password);
}

QTEST_GUILESS_MAIN(VpnSecretAgentTest)
#include "VpnSecretAgentTest.moc"
