#include "SecretStore.h"
#include "BareSessionBus.h"
#include "TestHelpers.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QUuid>
#include <QtTest>

#include <gio/gio.h>

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
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
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
        QVERIFY(!store.addItem(m_service, u"dup"_s, "two").error);
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

    void concurrentWritersKeepOneItem()
    {
        SecretStore store;
        std::vector<std::thread> writers;
        for (int i = 0; i < 6; ++i) {
            writers.emplace_back([&store, this, i] {
                store.setValue(m_service, u"race"_s, QString::number(i));
                (void)store.value(m_service, u"race"_s);
            });
        }
        for (std::thread &writer : writers)
            writer.join();
        QCOMPARE(itemCount(), 1);
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

private:
    int itemCount()
    {
        return int(
            secretTool({u"search"_s, u"--all"_s, u"service"_s, m_service}).value_or("").count("\nlabel = "));
    }

    QString m_service;
};

QTEST_GUILESS_MAIN(SecretStoreTest)
#include "SecretStoreTest.moc"
