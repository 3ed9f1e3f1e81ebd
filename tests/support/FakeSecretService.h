#pragma once
// A Secret Service of the test's own on a private bus: plain sessions, items in memory, an unlock
// prompt that unlocks, is dismissed or is never answered, and a count of the calls it received.

#include <QByteArray>
#include <QList>
#include <QString>

#include <gio/gio.h>

#include <atomic>
#include <mutex>

class FakeSecretService
{
public:
    enum class PromptAnswer { Unlocks, Dismissed, NeverAnswered };

    // Owns the Secret Service's name on the bus at address and answers on GDBus's own thread.
    explicit FakeSecretService(const QString &address)
    {
        m_connection = g_dbus_connection_new_for_address_sync(
            address.toUtf8().constData(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                 | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        if (!m_connection)
            return;
        g_dbus_connection_add_filter(m_connection, &FakeSecretService::filter, this, nullptr);
        GVariant *owned = g_dbus_connection_call_sync(
            m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 4u), nullptr,
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        if (owned)
            g_variant_unref(owned);
    }
    ~FakeSecretService()
    {
        if (m_connection) {
            g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
            g_object_unref(m_connection);
        }
    }
    FakeSecretService(const FakeSecretService &) = delete;
    FakeSecretService &operator=(const FakeSecretService &) = delete;

    void addItem(const QString &service, const QString &account, const QByteArray &secret, bool locked)
    {
        std::lock_guard lock(m_mutex);
        const QByteArray path =
            "/org/freedesktop/secrets/collection/login/" + QByteArray::number(m_items.size() + 1);
        m_items.append({path, service, account, secret, locked});
    }
    void setPromptAnswer(PromptAnswer answer) { m_answer = answer; }

    [[nodiscard]] int calls() const { return m_calls; }
    [[nodiscard]] int prompts() const { return m_prompts; }
    [[nodiscard]] int dismissals() const { return m_dismissals; }

private:
    struct Item
    {
        QByteArray path;
        QString service;
        QString account;
        QByteArray secret;
        bool locked;
    };

    static constexpr const char *sessionPath = "/org/freedesktop/secrets/session/1";
    static constexpr const char *promptPath = "/org/freedesktop/secrets/prompt/1";

    static GDBusMessage *filter(GDBusConnection *connection, GDBusMessage *message, gboolean incoming,
                                gpointer self)
    {
        if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
            return message;
        static_cast<FakeSecretService *>(self)->answer(connection, message);
        g_object_unref(message);
        return nullptr;
    }

    void answer(GDBusConnection *connection, GDBusMessage *call)
    {
        ++m_calls;
        const QByteArray member = g_dbus_message_get_member(call);
        const QByteArray path = g_dbus_message_get_path(call);
        GVariant *body = g_dbus_message_get_body(call);
        std::lock_guard lock(m_mutex);
        GDBusMessage *reply = nullptr;
        bool promptShown = false;
        if (member == "OpenSession") {
            const gchar *algorithm = nullptr;
            g_variant_get_child(body, 0, "&s", &algorithm);
            if (g_strcmp0(algorithm, "plain") == 0)
                reply = replyWith(call, g_variant_new("(vo)", g_variant_new_string(""), sessionPath));
            else
                reply = errorFor(call, "org.freedesktop.DBus.Error.NotSupported");
        } else if (member == "SearchItems") {
            GVariantBuilder unlocked, locked;
            g_variant_builder_init(&unlocked, G_VARIANT_TYPE("ao"));
            g_variant_builder_init(&locked, G_VARIANT_TYPE("ao"));
            const gchar *service = nullptr, *account = nullptr;
            GVariant *attributes = g_variant_get_child_value(body, 0);
            g_variant_lookup(attributes, "service", "&s", &service);
            g_variant_lookup(attributes, "account", "&s", &account);
            for (const Item &item : std::as_const(m_items)) {
                if (item.service == QString::fromUtf8(service) && item.account == QString::fromUtf8(account))
                    g_variant_builder_add(item.locked ? &locked : &unlocked, "o", item.path.constData());
            }
            g_variant_unref(attributes);
            reply = replyWith(call, g_variant_new("(aoao)", &unlocked, &locked));
        } else if (member == "Unlock") {
            GVariant *none = g_variant_new_array(G_VARIANT_TYPE_OBJECT_PATH, nullptr, 0);
            reply = replyWith(call, g_variant_new("(@aoo)", none, promptPath));
        } else if (member == "Prompt") {
            ++m_prompts;
            promptShown = true;
            reply = replyWith(call, nullptr);
        } else if (member == "Dismiss") {
            ++m_dismissals;
            reply = replyWith(call, nullptr);
        } else if (member == "GetSecret") {
            if (const Item *item = itemAt(path); !item)
                reply = errorFor(call, "org.freedesktop.DBus.Error.UnknownObject");
            else if (item->locked)
                reply = errorFor(call, "org.freedesktop.Secret.Error.IsLocked");
            else
                reply = replyWith(call,
                                  g_variant_new("((o@ay@ays))", sessionPath, bytes(QByteArray()),
                                                bytes(item->secret), "text/plain"));
        } else {
            reply = errorFor(call, "org.freedesktop.DBus.Error.UnknownMethod");
        }
        g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
        g_object_unref(reply);
        if (promptShown)
            completePrompt(connection);
    }

    void completePrompt(GDBusConnection *connection)
    {
        if (m_answer == PromptAnswer::NeverAnswered)
            return;
        const bool unlocks = m_answer == PromptAnswer::Unlocks;
        GVariantBuilder unlocked;
        g_variant_builder_init(&unlocked, G_VARIANT_TYPE("ao"));
        for (Item &item : m_items) {
            if (unlocks && item.locked) {
                item.locked = false;
                g_variant_builder_add(&unlocked, "o", item.path.constData());
            }
        }
        GVariant *result = g_variant_new_variant(g_variant_builder_end(&unlocked));
        g_dbus_connection_emit_signal(connection, nullptr, promptPath, "org.freedesktop.Secret.Prompt",
                                      "Completed", g_variant_new("(b@v)", !unlocks, result), nullptr);
    }

    static GDBusMessage *replyWith(GDBusMessage *call, GVariant *body)
    {
        GDBusMessage *reply = g_dbus_message_new_method_reply(call);
        if (body)
            g_dbus_message_set_body(reply, body);
        return reply;
    }

    static GDBusMessage *errorFor(GDBusMessage *call, const char *name)
    {
        return g_dbus_message_new_method_error_literal(call, name, "refused by the test's service");
    }

    static GVariant *bytes(const QByteArray &data)
    {
        return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, data.constData(), gsize(data.size()), 1);
    }

    const Item *itemAt(const QByteArray &path) const
    {
        for (const Item &item : m_items) {
            if (item.path == path)
                return &item;
        }
        return nullptr;
    }

    GDBusConnection *m_connection = nullptr;
    std::mutex m_mutex;
    QList<Item> m_items;
    std::atomic<PromptAnswer> m_answer = PromptAnswer::Unlocks;
    std::atomic<int> m_calls = 0;
    std::atomic<int> m_prompts = 0;
    std::atomic<int> m_dismissals = 0;
};
