#include "VPNKeychain.h"
#include "Preferences.h"
#include "SecretStore.h"

#include <QtTest>

namespace {

const QString service = QStringLiteral("io.velmora.macSA");
const QString account = QStringLiteral("vpnPassword");

} // namespace

class VPNKeychainTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void referenceIsTheStoresOwnItem_data();
    void referenceIsTheStoresOwnItem();
    void failureCarriesAStatus();
};

void VPNKeychainTest::referenceIsTheStoresOwnItem_data()
{
    QTest::addColumn<QString>("stored"); // null: no item
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("same bytes as stored") << "secret" << QByteArray("secret");
    QTest::newRow("changed bytes") << "old" << QByteArray("new");
    QTest::newRow("empty, as stored") << "" << QByteArray("");
    QTest::newRow("no item yet") << QString() << QByteArray("fresh");
}

void VPNKeychainTest::referenceIsTheStoresOwnItem()
{
    QFETCH(QString, stored);
    QFETCH(QByteArray, password);
    SecretStore &store = Preferences::defaultKeychain();
    Preferences::setKeychainValue(stored.isNull() ? std::nullopt : std::optional<QString>(stored), account);
    const std::optional<SecretStore::Item> before = store.findItem(service, account).item;

    Error error{QString()};
    const std::optional<QByteArray> reference =
        VPNKeychain::persistentReferenceFor(service, account, password, &error);
    QVERIFY2(reference, qPrintable(error.localizedDescription()));
    if (before)
        QCOMPARE(*reference, before->path.toUtf8());
    const std::optional<SecretStore::Item> item = store.itemAtPath(QString::fromUtf8(*reference)).item;
    QVERIFY(item);
    QCOMPARE(QStringList({item->service, item->account}), QStringList({service, account}));
    QCOMPARE(item->secret, password);
    // The one item the store reads under that key.
    QCOMPARE(Preferences::vpnPassword(), std::optional<QString>(QString::fromUtf8(password)));
    QCOMPARE(store.findItem(service, account).item->path, item->path);
}

void VPNKeychainTest::failureCarriesAStatus()
{
    Preferences::setDefaultKeychain(
        std::make_shared<SecretStore>(QStringLiteral("unix:path=/nonexistent/bus")));
    Error error{QString()};
    QCOMPARE(VPNKeychain::persistentReferenceFor(service, account, "secret", &error), std::nullopt);
    QCOMPARE(error.domain(), VPNKeychain::errorDomain);
    QCOMPARE(error.code(), qint64(VPNKeychain::NotAvailable));
    Preferences::setDefaultKeychain(nullptr);
}

QTEST_GUILESS_MAIN(VPNKeychainTest)
#include "VPNKeychainTest.moc"
