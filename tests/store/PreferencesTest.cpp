#include "Preferences.h"
#include "BareSessionBus.h"
#include "Client.h"
#include "Console.h"
#include "FakeSecretService.h"
#include "HostInfo.h"
#include "SecretStore.h"
#include "SettingBinding.h"
#include "TestHelpers.h"
#include "UserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::optional<QByteArray> secretTool(const QString &command, const QString &account)
{
    return TestHelpers::secretTool(
        {command, u"service"_s, Preferences::keychainGroupName, u"account"_s, account});
}

const QString abcUid = u"BA7816BF-8F01-CFEA-4141-40DE5DAE2223"_s;

} // namespace

class PreferencesTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid() && m_host.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        HostInfo::setFileSystemRoot(m_host.path());
    }

    void init()
    {
        for (const QString &account :
             {Preferences::Keys::token, Preferences::Keys::uid, Preferences::Keys::password})
            secretTool(u"clear"_s, account);
        // Forgets what it kept of the items cleared behind its back.
        Preferences::setDefaultKeychain(nullptr);
        QDir(m_host.path()).removeRecursively();
        QDir().mkpath(m_host.path());
    }

    void cleanupTestCase() { init(); }

    void freshInstallReadsDefaultsWithoutWriting()
    {
        QVERIFY(Preferences::killSwitch() && Preferences::excludeLocalNetworks()
                && Preferences::compactView());
        QVERIFY(!Preferences::onboardingShown() && !Preferences::termsShown() && !Preferences::updated());
        QCOMPARE(Preferences::countryConnected(), u"VPN"_s);
        QCOMPARE(Preferences::configId(), qint64(0));
        QCOMPARE(Preferences::vpnProtocol(), VPNProtocol::Optimal);
        QCOMPARE(Preferences::connectedProtocol(), VPNProtocol::Optimal);
        QVERIFY(!QFile::exists(m_config.filePath(u"Velmora/Velmora.conf"_s)));
    }

    void keychainItemIsReplacedAndRemovedQuietly()
    {
        Console::Capture capture;
        Preferences::setToken(u"first-token"_s);
        Preferences::setToken(u"second-token"_s);
        QCOMPARE(secretTool(u"lookup"_s, Preferences::Keys::token),
                 std::optional<QByteArray>("second-token"));

        Preferences::setToken(QString());
        QCOMPARE(Preferences::token(), std::optional(QString()));
        Preferences::setToken(std::nullopt);
        Preferences::setToken(std::nullopt);
        QCOMPARE(Preferences::token(), std::nullopt);
        QCOMPARE(secretTool(u"lookup"_s, Preferences::Keys::token), std::nullopt);
        QCOMPARE(capture.lines(), QStringList());
    }

    void tokenIsKeptOnceReadAndWrittenThrough()
    {
        SecretStore elsewhere; // another program on the same keyring
        const QString group = Preferences::keychainGroupName;
        QVERIFY(!elsewhere.setValue(group, Preferences::Keys::token, u"first"_s));
        QCOMPARE(Preferences::token(), std::optional(u"first"_s));
        QVERIFY(!elsewhere.setValue(group, Preferences::Keys::token, u"changed elsewhere"_s));
        QCOMPARE(Preferences::token(), std::optional(u"first"_s));
        QVERIFY(!elsewhere.setValue(group, Preferences::Keys::password, u"changed elsewhere"_s));
        QCOMPARE(Preferences::password(), std::optional(u"changed elsewhere"_s));

        Preferences::setToken(u"own write"_s);
        QCOMPARE(Preferences::token(), std::optional(u"own write"_s));
        QCOMPARE(secretTool(u"lookup"_s, Preferences::Keys::token), std::optional<QByteArray>("own write"));
        Preferences::setKeychainValue(std::nullopt, Preferences::Keys::token); // as logout does
        QCOMPARE(Preferences::token(), std::nullopt);
        QCOMPARE(secretTool(u"lookup"_s, Preferences::Keys::token), std::nullopt);
    }

    void authorisedRequestsLeaveKeyringAlone()
    {
        StandInService service;
        QVERIFY(TestHelpers::startForClient(service));
        const QByteArray token = service.addAccount(u"kai@example.com"_s, u"secret-7"_s);
        BareSessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        FakeSecretService keyring(bus.address());
        keyring.addItem(Preferences::keychainGroupName, Preferences::Keys::token, token, false);
        Preferences::setDefaultKeychain(std::make_shared<SecretStore>(bus.address()));
        const auto restore = qScopeGuard([] { Preferences::setDefaultKeychain(nullptr); });

        QCOMPARE(Preferences::token(), std::optional(QString::fromLatin1(token)));
        const int calls = keyring.calls();
        int answered = 0;
        for (int i = 0; i < 5; ++i) {
            Client::shared().userInformation([&](auto, auto) { ++answered; });
            Client::shared().resetPasswordWithPassword(u"kai@example.com"_s, u"secret-7"_s,
                                                       [&](auto, auto, auto) { ++answered; });
        }
        QTRY_COMPARE(answered, 10);
        QCOMPARE(service.requests().size(), 10);
        for (const StandInService::Request &request : service.requests())
            QCOMPARE(request.header("Authorization"), "Bearer " + token);
        QCOMPARE(keyring.calls(), calls);
    }

    void withoutSecretServiceEachFailureIsOneLine()
    {
        BareSessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        const std::optional<Error> expected = SecretStore(bus.address()).remove(u"s"_s, u"a"_s);
        QVERIFY(expected);
        Preferences::setDefaultKeychain(std::make_shared<SecretStore>(bus.address()));
        const auto restore = qScopeGuard([] { Preferences::setDefaultKeychain(nullptr); });
        QVERIFY(TestHelpers::writeFile(m_host.path(), u"etc/machine-id"_s, "abc\n"));

        Console::Capture capture;
        QElapsedTimer timer;
        timer.start();
        Preferences::setToken(u"never-printed-token"_s);
        QVERIFY(timer.elapsed() < 2000);
        Preferences::setPassword(std::nullopt);
        QCOMPARE(Preferences::token(), std::nullopt);
        // The identifier is still handed out; failing to keep it is not reported.
        QCOMPARE(Preferences::uid(), std::optional(abcUid));
        const QString reason = expected->localizedDescription();
        QCOMPARE(capture.lines(),
                 QStringList({"Keychain error for token: "_L1 + reason,
                              "Keychain error for password: "_L1 + reason, "Your UUID is "_L1 + abcUid}));
    }

    void uidIsFirstHalfOfSerialDigest_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("expected");
        // SHA-256("abc") = ba7816bf 8f01cfea 414140de 5dae2223 …: the third group keeps its "C", no version
        // bits.
        QTest::newRow("DMI serial") << u"sys/class/dmi/id/product_serial"_s << QByteArray("abc") << abcUid;
        // SHA-256 of the pangram = d7a8fbb3 07d78094 69ca9abc b0082e4f …
        QTest::newRow("machine id, line feed dropped")
            << u"etc/machine-id"_s << QByteArray("The quick brown fox jumps over the lazy dog\n")
            << u"D7A8FBB3-07D7-8094-69CA-9ABCB0082E4F"_s;
    }

    void uidIsFirstHalfOfSerialDigest()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, contents);
        QFETCH(QString, expected);
        QVERIFY(TestHelpers::writeFile(m_host.path(), file, contents));

        Console::Capture capture;
        QCOMPARE(Preferences::uid(), std::optional(expected));
        QCOMPARE(secretTool(u"lookup"_s, Preferences::Keys::uid), std::optional(expected.toUtf8()));
        QCOMPARE(Preferences::uid(), std::optional(expected));
        QCOMPARE(capture.lines(), QStringList{"Your UUID is "_L1 + expected});

        secretTool(u"clear"_s, Preferences::Keys::uid);
        QCOMPARE(Preferences::uid(), std::optional(expected));
        QCOMPARE(capture.lines().size(), 2);
    }

    void uidWithoutSerialIsRandomUntilKept()
    {
        Console::Capture capture;
        // Racing first reads must all get the one identifier that ends up stored.
        std::vector<std::optional<QString>> seen(4);
        std::vector<std::thread> readers;
        for (std::optional<QString> &uid : seen)
            readers.emplace_back([&uid] { uid = Preferences::uid(); });
        for (std::thread &reader : readers)
            reader.join();
        const std::optional<QString> first = Preferences::uid();
        QVERIFY(QRegularExpression(u"^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s)
                    .match(first.value_or(QString()))
                    .hasMatch());
        QCOMPARE(seen, std::vector<std::optional<QString>>(4, first));
        QCOMPARE(capture.lines(), QStringList());
        secretTool(u"clear"_s, Preferences::Keys::uid);
        QVERIFY(Preferences::uid() != first);
    }

    void mistypedSettingsReadAsDefault_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");
        const QStringList list{u"a"_s, u"b"_s};
        const QString udp = QString::fromUtf8("OpenVPN\xC2\xAE UDP");
        QTest::newRow("bool from text") << u"KillSwitch"_s << QVariant("maybe") << QVariant(true);
        QTest::newRow("bool from number") << u"CompactView"_s << QVariant(0) << QVariant(true);
        QTest::newRow("bool stored") << u"KillSwitch"_s << QVariant(false) << QVariant(false);
        QTest::newRow("integer from fraction") << u"configId"_s << QVariant(12.5) << QVariant(qint64(0));
        QTest::newRow("integer from bool") << u"configId"_s << QVariant(true) << QVariant(qint64(0));
        QTest::newRow("integer stored") << u"configId"_s << QVariant(42) << QVariant(qint64(42));
        QTest::newRow("text from list") << u"CountryConnected"_s << QVariant(list) << QVariant(u"VPN"_s);
        QTest::newRow("protocol by case name")
            << u"VPNProtocol"_s << QVariant("IKEv2") << QVariant(u"Optimal"_s);
        QTest::newRow("protocol stored") << u"VPNProtocol"_s << QVariant(udp) << QVariant(udp);
    }

    void mistypedSettingsReadAsDefault()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);
        UserDefaults &defaults = UserDefaults::standard();
        defaults.setValue(key, stored);
        const auto cleanup = qScopeGuard([&] { defaults.remove(key); });

        const QHash<QString, std::function<QVariant()>> readers{
            {u"KillSwitch"_s, [] { return QVariant(Preferences::killSwitch()); }},
            {u"CompactView"_s, [] { return QVariant(Preferences::compactView()); }},
            {u"configId"_s, [] { return QVariant(Preferences::configId()); }},
            {u"CountryConnected"_s, [] { return QVariant(Preferences::countryConnected()); }},
            {u"VPNProtocol"_s, [] { return QVariant(rawValue(Preferences::vpnProtocol())); }},
        };
        QSignalSpy writes(&defaults, &UserDefaults::changed);
        QCOMPARE(readers.value(key)(), expected);
        QCOMPARE(writes.count(), 0);
    }

    void everyWriteReachesBoundReaders()
    {
        SettingBinding &compactView = Preferences::compactViewBinding();
        QSignalSpy spy(&compactView, &SettingBinding::valueChanged);
        QSignalSpy killSwitchSpy(&Preferences::killSwitchBinding(), &SettingBinding::valueChanged);

        Preferences::setCompactView(false);
        QCOMPARE(compactView.value(), QVariant(false));
        QVERIFY(QFile::exists(m_config.filePath(u"Velmora/Velmora.conf"_s)));
        UserDefaults::standard().remove(u"CompactView"_s);
        QCOMPARE(compactView.value(), QVariant(true));
        compactView.setValue(false);
        QCOMPARE(Preferences::compactView(), false);
        QCOMPARE(spy.count(), 3);

        std::thread([] { Preferences::setCompactView(true); }).join();
        QVERIFY(spy.wait());
        QCOMPARE(compactView.value(), QVariant(true));
        QCOMPARE(killSwitchSpy.count(), 0);
    }

    void protocolRawValues()
    {
        const QList<std::pair<VPNProtocol, QByteArray>> protocols{
            {VPNProtocol::Optimal, "Optimal"},
            {VPNProtocol::IKEv2, "IPSecIKEv2"},
            {VPNProtocol::OpenVPNudp, "OpenVPN\xC2\xAE UDP"},
            {VPNProtocol::OpenVPNtcp, "OpenVPN\xC2\xAE TCP"},
            {VPNProtocol::Wireguard, "Wireguard\xC2\xAE"}};
        for (const auto &[protocol, utf8] : protocols) {
            QCOMPARE(rawValue(protocol).toUtf8(), utf8);
            QCOMPARE(vpnProtocolFromRawValue(QString::fromUtf8(utf8)), std::optional(protocol));
        }
        for (const QString &nearMiss : {u"OpenVPN UDP"_s, u"optimal"_s, u"IKEv2"_s})
            QCOMPARE(vpnProtocolFromRawValue(nearMiss), std::nullopt);
    }

private:
    QTemporaryDir m_config;
    QTemporaryDir m_host;
};

QTEST_GUILESS_MAIN(PreferencesTest)
#include "PreferencesTest.moc"
