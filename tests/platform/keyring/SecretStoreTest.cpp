#include "SecretStore.h"
#include "BareSessionBus.h"
#include "Console.h"
#include "FakeSecretService.h"
#include "TestHelpers.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QUuid>
#include <QtTest>

#include <gio/gio.h>
#include <libsecret/secret.h>

#include <latch>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using TestHelpers::secretTool;

namespace {

// A peer that owns the Secret Service's name on a bus and never answers a call.
GDBusConnection *silentService(const QString &address)
{
    GDBusConnection *connection = g_dbus_connection_new_for_address_sync(
        address.toUtf8().constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                             | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    const auto swallowCalls = [](GDBusConnection *, GDBusMessage *message, gboolean incoming, gpointer) {
        if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
            return message;
        g_object_unref(message);
        return static_cast<GDBusMessage *>(nullptr);
    };
    g_dbus_connection_add_filter(connection, swallowCalls, nullptr, nullptr);
    g_variant_unref(g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "RequestName",
                                                g_variant_new("(su)", "org.freedesktop.secrets", 4u), nullptr,
                                                G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr));
    return connection;
}

// An item added beside any other with the same attributes, as a program that does not replace would.
bool addDuplicate(const QString &serviceName, const QString &account, const QByteArray &secret)
{
    SecretService *service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, nullptr);
    if (!service)
        return false;
    SecretCollection *collection = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                    SECRET_COLLECTION_NONE, nullptr, nullptr);
    g_object_unref(service);
    if (!collection)
        return false;
    const QByteArray serviceText = serviceName.toUtf8();
    const QByteArray accountText = account.toUtf8();
    GHashTable *attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, gpointer("service"), gpointer(serviceText.constData()));
    g_hash_table_insert(attributes, gpointer("account"), gpointer(accountText.constData()));
    SecretValue *value = secret_value_new(secret.constData(), secret.size(), "text/plain");
    SecretItem *item = secret_item_create_sync(collection, nullptr, attributes, "duplicate", value,
                                               SECRET_ITEM_CREATE_NONE, nullptr, nullptr);
    secret_value_unref(value);
    g_hash_table_unref(attributes);
    g_object_unref(collection);
    if (!item)
        return false;
    g_object_unref(item);
    return true;
}

} // namespace

class SecretStoreTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { m_service = "io.velmora.test."_L1 + QUuid::createUuid().toString(QUuid::WithoutBraces); }
    void cleanup() { secretTool({u"clear"_s, u"service"_s, m_service}); }

    void storesAndReplacesInPlace_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("empty text is a value") << QString() << u"x"_s;
        QTest::newRow("non-ASCII") << u"OpenVPN\u00AE \u4E2D"_s << u"\u00E9t\u00E9"_s;
        QTest::newRow("leading byte-order mark kept") << u"\uFEFFtoken"_s << u"a\nb"_s;
    }

    void storesAndReplacesInPlace()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        SecretStore store;
        QVERIFY(!store.setValue(m_service, u"token"_s, first));
        QCOMPARE(store.value(m_service, u"token"_s), std::optional(first));
        const QString path = store.findItem(m_service, u"token"_s).item.value_or(SecretStore::Item{}).path;
        QVERIFY(path.startsWith("/org/freedesktop/secrets/collection/"_L1));

        QVERIFY(!store.setValue(m_service, u"token"_s, second));
        QCOMPARE(secretTool({u"lookup"_s, u"service"_s, m_service, u"account"_s, u"token"_s}),
                 std::optional(second.toUtf8()));
        // The same item, so a reference taken before the write still points at the value.
        const SecretStore::Item atPath = store.itemAtPath(path).item.value_or(SecretStore::Item{});
        QCOMPARE(atPath.service, m_service);
        QCOMPARE(atPath.account, u"token"_s);
        QCOMPARE(atPath.secret, second.toUtf8());
        QCOMPARE(itemCount(), 1);
        const QByteArray listed = secretTool({u"search"_s, u"service"_s, m_service}).value_or("");
        QVERIFY(listed.contains("\nlabel = Velmora token\n"));
    }

    void invalidUtf8ReadsAsNone()
    {
        SecretStore store;
        for (const QByteArray &bytes : {QByteArray("\xff\xfe\x00x", 4), QByteArray("caf\xc3")}) {
            QVERIFY(!store.addItem(m_service, u"raw"_s, bytes).error);
            QCOMPARE(store.value(m_service, u"raw"_s), std::nullopt);
            QCOMPARE(store.findItem(m_service, u"raw"_s).item.value_or(SecretStore::Item{}).secret, bytes);
            QVERIFY(!store.remove(m_service, u"raw"_s));
        }
    }

    void removeDeletesEveryMatchAndToleratesNone()
    {
        SecretStore store;
        QVERIFY(!store.remove(m_service, u"never"_s));
        // A duplicate made by some other tool must not resurface after a removal.
        QVERIFY(!store.addItem(m_service, u"dup"_s, "one").error);
        QVERIFY(addDuplicate(m_service, u"dup"_s, "two"));
        QCOMPARE(itemCount(), 2);
        QVERIFY(!store.remove(m_service, u"dup"_s));
        const SecretStore::ItemResult after = store.findItem(m_service, u"dup"_s);
        QVERIFY(!after.item && !after.error);
        QCOMPARE(itemCount(), 0);
    }

    void pathOfNoItemFindsNothing()
    {
        SecretStore store;
        for (const QString &path : {u"/org/freedesktop/secrets/collection/login/987654"_s,
                                    u"/org/freedesktop/secrets/collection/login"_s, u"item 3; rm -rf"_s}) {
            const SecretStore::ItemResult result = store.itemAtPath(path);
            QVERIFY2(!result.item && !result.error, qPrintable(path));
            QCOMPARE(store.setSecret(path, "x").value_or(Error(QString())).code(),
                     qint64(SecretStore::NoSuchItem));
        }
    }

    void concurrentWritersKeepOneItem_data()
    {
        QTest::addColumn<bool>("storeEach");
        QTest::newRow("threads sharing a store") << false;
        // Nothing of ours orders them: as two programs writing the same new key.
        QTest::newRow("a store each") << true;
    }

    void concurrentWritersKeepOneItem()
    {
        QFETCH(bool, storeEach);
        constexpr int writers = 6;
        std::vector<std::unique_ptr<SecretStore>> stores;
        for (int i = 0; i < (storeEach ? writers : 1); ++i) {
            stores.push_back(std::make_unique<SecretStore>());
            (void)stores.back()->value(m_service, u"warm-up"_s); // connected before the race
        }
        for (int round = 0; round < 3; ++round) {
            const QString account = u"race-"_s + QString::number(round);
            std::latch start(writers);
            std::vector<std::optional<Error>> errors(writers);
            std::vector<std::thread> threads;
            for (int i = 0; i < writers; ++i) {
                threads.emplace_back([&, i] {
                    SecretStore &store = *stores[storeEach ? i : 0];
                    start.arrive_and_wait();
                    errors[i] = store.setValue(m_service, account, QString::number(i));
                });
            }
            for (std::thread &thread : threads)
                thread.join();
            QCOMPARE(errors, std::vector<std::optional<Error>>(writers));
            QCOMPARE(itemCount(account), 1);
        }
    }

    void unlockPromptIsBounded_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("unlocks");
        QTest::newRow("prompt unlocks") << int(FakeSecretService::PromptAnswer::Unlocks) << true;
        QTest::newRow("prompt dismissed") << int(FakeSecretService::PromptAnswer::Dismissed) << false;
        QTest::newRow("prompt never answered")
            << int(FakeSecretService::PromptAnswer::NeverAnswered) << false;
    }

    void unlockPromptIsBounded()
    {
        QFETCH(int, answer);
        QFETCH(bool, unlocks);
        BareSessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        FakeSecretService keyring(bus.address());
        keyring.setPromptAnswer(FakeSecretService::PromptAnswer(answer));
        keyring.addItem(m_service, u"locked"_s, "behind a prompt", true);
        keyring.addItem(m_service, u"open"_s, "in plain sight", false);
        constexpr qint64 boundMs = 1500;
        SecretStore store(bus.address(),
                          {std::chrono::milliseconds(boundMs), SecretStore::defaultLimits.unansweredHoldOff});

        QElapsedTimer timer;
        timer.start();
        SecretStore::ItemResult behindPrompt;
        qint64 promptDone = 0;
        std::thread prompting([&] {
            behindPrompt = store.findItem(m_service, u"locked"_s);
            promptDone = timer.elapsed();
        });
        const auto join = qScopeGuard([&] {
            if (prompting.joinable())
                prompting.join();
        });
        QTRY_COMPARE(keyring.prompts(), 1);
        // Another caller of the same store is not held up by the prompt.
        const SecretStore::ItemResult open = store.findItem(m_service, u"open"_s);
        const qint64 openDone = timer.elapsed();
        QCOMPARE(open.item.value_or(SecretStore::Item{}).secret, "in plain sight");
        QVERIFY2(openDone < boundMs, qPrintable(QString::number(openDone)));
        prompting.join();

        if (unlocks) {
            QCOMPARE(behindPrompt.item.value_or(SecretStore::Item{}).secret, "behind a prompt");
        } else {
            QVERIFY(!behindPrompt.item);
            QCOMPARE(behindPrompt.error.value_or(Error(QString())).code(), qint64(SecretStore::Locked));
        }
        if (answer == int(FakeSecretService::PromptAnswer::NeverAnswered)) {
            QVERIFY2(promptDone >= boundMs && promptDone < boundMs + 1000,
                     qPrintable(QString::number(promptDone)));
            QTRY_COMPARE(keyring.dismissals(), 1);
        }
    }

    void failsFastWithoutService_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::newRow("no Secret Service on the bus") << u"none"_s;
        QTest::newRow("a Secret Service that never answers") << u"silent"_s;
        QTest::newRow("no bus at all") << u"no bus"_s;
    }

    void failsFastWithoutService()
    {
        QFETCH(QString, peer);
        BareSessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        GDBusConnection *silent = peer == "silent"_L1 ? silentService(bus.address()) : nullptr;
        const auto closeSilent = qScopeGuard([silent] {
            if (silent) {
                g_dbus_connection_close_sync(silent, nullptr, nullptr);
                g_object_unref(silent);
            }
        });
        SecretStore store(peer == "no bus"_L1 ? u"unix:path=/nonexistent/velmora-bus"_s : bus.address());

        QElapsedTimer timer;
        timer.start();
        QCOMPARE(store.value(m_service, u"token"_s), std::nullopt);
        QVERIFY(timer.elapsed() < 2000);
        timer.restart();
        const std::optional<Error> error = store.setValue(m_service, u"token"_s, u"t"_s);
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(error.value_or(Error(QString())).domain(), SecretStore::errorDomain);
        QCOMPARE(error->code(), qint64(SecretStore::ServiceUnavailable));
        QVERIFY(store.remove(m_service, u"token"_s));
    }

    void unansweredServiceIsLeftAloneForAWhile()
    {
        BareSessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        GDBusConnection *silent = silentService(bus.address());
        const auto closeSilent = qScopeGuard([silent] {
            g_dbus_connection_close_sync(silent, nullptr, nullptr);
            g_object_unref(silent);
        });
        constexpr std::chrono::milliseconds holdOff(2500);
        SecretStore store(bus.address(), {SecretStore::defaultLimits.promptWait, holdOff});
        Console::Capture console;

        QCOMPARE(store.value(m_service, u"token"_s), std::nullopt);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(store.findItem(m_service, u"token"_s).error.value_or(Error(QString())).code(),
                     qint64(SecretStore::ServiceUnavailable));
            QCOMPARE(store.setValue(m_service, u"token"_s, u"t"_s).value_or(Error(QString())).code(),
                     qint64(SecretStore::ServiceUnavailable));
        }
        QVERIFY2(timer.elapsed() < 100, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(console.lines(),
                 QStringList{u"Keychain not answering: keychain calls fail at once for 2.5 s"_s});

        // Afterwards it is asked again, still without a second line.
        QTest::qWait(int(holdOff.count()));
        timer.restart();
        QVERIFY(store.remove(m_service, u"token"_s));
        QVERIFY(timer.elapsed() >= 1000);
        QCOMPARE(console.lines().size(), 1);
    }

private:
    int itemCount(const QString &account = {})
    {
        QStringList query{u"search"_s, u"--all"_s, u"service"_s, m_service};
        if (!account.isEmpty())
            query << u"account"_s << account;
        return int(secretTool(query).value_or("").count("\nlabel = "));
    }

    QString m_service;
};

QTEST_GUILESS_MAIN(SecretStoreTest)
#include "SecretStoreTest.moc"
