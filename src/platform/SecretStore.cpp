#include "SecretStore.h"

#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QStringDecoder>

// libsecret asks for this acknowledgement before its object-path calls, which keep every request on
// our own connection, with our own time-out, and without a proxy object per item.
#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>

namespace {

// Short enough that a missing or hung keyring daemon never freezes the caller for long.
constexpr int callTimeoutMs = 1500;

const char *const collectionInterface = "org.freedesktop.Secret.Collection";
const char *const itemInterface = "org.freedesktop.Secret.Item";
const char *const noPrompt = "/";

struct ErrorFree
{
    void operator()(GError *p) const { g_error_free(p); }
};
struct StrvFree
{
    void operator()(gchar **p) const { g_strfreev(p); }
};
struct CharFree
{
    void operator()(gchar *p) const { g_free(p); }
};
struct VariantUnref
{
    void operator()(GVariant *p) const { g_variant_unref(p); }
};
struct ValueUnref
{
    void operator()(SecretValue *p) const { secret_value_unref(p); }
};
struct HashUnref
{
    void operator()(GHashTable *p) const { g_hash_table_unref(p); }
};

using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using StrvPtr = std::unique_ptr<gchar *, StrvFree>;
using CharPtr = std::unique_ptr<gchar, CharFree>;
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;
using HashPtr = std::unique_ptr<GHashTable, HashUnref>;

Error makeError(SecretStore::ErrorCode code, const QString &description)
{
    return Error(SecretStore::errorDomain, code, description);
}

Error lockedError()
{
    return makeError(SecretStore::Locked, QStringLiteral("The keyring is locked"));
}

Error noSuchItemError()
{
    return makeError(SecretStore::NoSuchItem, QStringLiteral("No such item in the Secret Service"));
}

QString messageOf(const GError *error)
{
    // Without the "GDBus.Error:<name>: " prefix of remote errors.
    ErrorPtr copy(g_error_copy(error));
    g_dbus_error_strip_remote_error(copy.get());
    return QString::fromUtf8(copy->message);
}

// The service is gone (or never was): the cached connection is worth nothing any more.
bool meansServiceGone(const GError *error)
{
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
        case G_DBUS_ERROR_DISCONNECTED:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
            return true;
        default:
            return false;
        }
    }
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_CLOSED:
        case G_IO_ERROR_TIMED_OUT:
        case G_IO_ERROR_CONNECTION_CLOSED:
        case G_IO_ERROR_CONNECTION_REFUSED:
            return true;
        default:
            return false;
        }
    }
    return false;
}

bool meansNoSuchObject(const GError *error)
{
    if (error->domain == G_DBUS_ERROR)
        return error->code == G_DBUS_ERROR_UNKNOWN_METHOD || error->code == G_DBUS_ERROR_UNKNOWN_OBJECT ||
               error->code == G_DBUS_ERROR_UNKNOWN_INTERFACE || error->code == G_DBUS_ERROR_UNKNOWN_PROPERTY;
    return error->domain == SECRET_ERROR && error->code == SECRET_ERROR_NO_SUCH_OBJECT;
}

bool meansLocked(const GError *error)
{
    return error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED;
}

const char *contentTypeFor(const QByteArray &secret)
{
    return g_utf8_validate(secret.constData(), secret.size(), nullptr) ? "text/plain"
                                                                       : "application/octet-stream";
}

QByteArray label(const QString &account)
{
    return QStringLiteral("Velmora %1").arg(account).toUtf8();
}

} // namespace

// libsecret pins every SecretService to the process's shared session bus whatever connection it is
// given; this subclass undoes that as it is built, so that the service talks over our connection.
// It also skips the property load and signal matching that nothing here uses (the property load
// would wait out the bus's long default time-out on a hung daemon).
struct VelmoraSecretService
{
    SecretService parent;
};
struct VelmoraSecretServiceClass
{
    SecretServiceClass parentClass;
};

G_DEFINE_TYPE(VelmoraSecretService, velmora_secret_service, SECRET_TYPE_SERVICE)

static GObject *velmoraSecretServiceConstructor(GType type, guint count, GObjectConstructParam *properties)
{
    GObject *object =
        G_OBJECT_CLASS(velmora_secret_service_parent_class)->constructor(type, count, properties);
    g_object_set(object, "g-bus-type", G_BUS_TYPE_NONE, "g-flags",
                 G_DBUS_PROXY_FLAGS_DO_NOT_LOAD_PROPERTIES | G_DBUS_PROXY_FLAGS_DO_NOT_CONNECT_SIGNALS,
                 nullptr);
    return object;
}

static void velmora_secret_service_class_init(VelmoraSecretServiceClass *serviceClass)
{
    G_OBJECT_CLASS(serviceClass)->constructor = velmoraSecretServiceConstructor;
}

static void velmora_secret_service_init(VelmoraSecretService *) {}

struct SecretStore::Connection
{
    explicit Connection(const QString &busAddress)
        : address(busAddress)
    {
        // Registers libsecret's remote error names, so "IsLocked" and friends arrive as SECRET_ERROR.
        (void)secret_error_get_quark();
    }
    ~Connection() { reset(); }

    SecretService *ensureService(std::optional<Error> &failure);
    void dropService();
    void reset();
    Error failure(const GError *error);

    GVariant *call(const char *path, const char *interface, const char *method, GVariant *args,
                   const GVariantType *replyType, ErrorPtr &error);
    std::optional<Error> runPrompt(SecretService *svc, const char *prompt, const GVariantType *type,
                                   VariantPtr *result);
    std::optional<Error> unlock(SecretService *svc, const QByteArray &path);
    std::optional<Error> readSecret(SecretService *svc, const QByteArray &path, QByteArray *secret);
    std::optional<Error> writeSecret(SecretService *svc, const QByteArray &path, const QByteArray &secret);

    struct Search
    {
        QList<QByteArray> unlocked;
        QList<QByteArray> locked;
        std::optional<Error> error;
    };
    Search search(const QString &service, const QString &account);
    ItemResult find(const QString &service, const QString &account, bool withSecret);
    ItemResult itemAt(const QString &path);
    ItemResult add(const QString &service, const QString &account, const QByteArray &secret);
    std::optional<Error> setSecret(const QString &path, const QByteArray &secret);
    std::optional<Error> remove(const QString &service, const QString &account);

    const QString address;
    QMutex mutex;
    GDBusConnection *bus = nullptr;
    SecretService *proxy = nullptr;
};

SecretService *SecretStore::Connection::ensureService(std::optional<Error> &failure)
{
    if (bus && g_dbus_connection_is_closed(bus))
        reset();
    if (proxy)
        return proxy;

    GError *raw = nullptr;
    if (!bus) {
        CharPtr target(address.isEmpty() ? g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &raw)
                                         : g_strdup(address.toUtf8().constData()));
        if (target) {
            // Our own connection: the shared one would end the process when the bus goes away.
            bus = g_dbus_connection_new_for_address_sync(
                target.get(),
                GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                     G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &raw);
        }
        if (!bus) {
            ErrorPtr error(raw);
            failure =
                makeError(ServiceUnavailable,
                          QStringLiteral("The session bus is not reachable: %1").arg(messageOf(error.get())));
            return nullptr;
        }
    }

    proxy = static_cast<SecretService *>(
        g_initable_new(velmora_secret_service_get_type(), nullptr, &raw, "g-connection", bus,
                       "g-default-timeout", callTimeoutMs, "flags", SECRET_SERVICE_OPEN_SESSION, nullptr));
    if (!proxy) {
        ErrorPtr error(raw);
        failure =
            makeError(ServiceUnavailable,
                      QStringLiteral("The Secret Service is not available: %1").arg(messageOf(error.get())));
        return nullptr;
    }
    return proxy;
}

// The next request opens a new session, e.g. with a keyring daemon that was restarted.
void SecretStore::Connection::dropService()
{
    if (proxy) {
        g_object_unref(proxy);
        proxy = nullptr;
    }
}

void SecretStore::Connection::reset()
{
    dropService();
    if (bus) {
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
        bus = nullptr;
    }
}

Error SecretStore::Connection::failure(const GError *error)
{
    if (meansServiceGone(error)) {
        dropService();
        return makeError(ServiceUnavailable,
                         QStringLiteral("The Secret Service is not available: %1").arg(messageOf(error)));
    }
    if (meansLocked(error))
        return lockedError();
    return makeError(OperationFailed,
                     QStringLiteral("The Secret Service refused the request: %1").arg(messageOf(error)));
}

GVariant *SecretStore::Connection::call(const char *path, const char *interface, const char *method,
                                        GVariant *args, const GVariantType *replyType, ErrorPtr &error)
{
    GError *raw = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(
        bus, g_dbus_proxy_get_name(G_DBUS_PROXY(proxy)), path, interface, method, args, replyType,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, &raw);
    error.reset(raw);
    return reply;
}

std::optional<Error> SecretStore::Connection::runPrompt(SecretService *svc, const char *prompt,
                                                        const GVariantType *type, VariantPtr *result)
{
    if (g_strcmp0(prompt, noPrompt) == 0)
        return {};
    GError *raw = nullptr;
    VariantPtr answer(secret_service_prompt_at_dbus_path_sync(svc, prompt, nullptr, type, &raw));
    ErrorPtr error(raw);
    if (error)
        return failure(error.get());
    if (!answer)
        return lockedError(); // the user dismissed the prompt
    if (result)
        *result = std::move(answer);
    return {};
}

std::optional<Error> SecretStore::Connection::unlock(SecretService *svc, const QByteArray &path)
{
    const gchar *paths[] = {path.constData(), nullptr};
    gchar **unlockedRaw = nullptr;
    GError *raw = nullptr;
    const gint count = secret_service_unlock_dbus_paths_sync(svc, paths, nullptr, &unlockedRaw, &raw);
    StrvPtr unlocked(unlockedRaw);
    ErrorPtr error(raw);
    if (error)
        return failure(error.get());
    if (count < 1)
        return lockedError();
    return {};
}

std::optional<Error> SecretStore::Connection::readSecret(SecretService *svc, const QByteArray &path,
                                                         QByteArray *secret)
{
    GError *raw = nullptr;
    ValuePtr value(secret_service_get_secret_for_dbus_path_sync(svc, path.constData(), nullptr, &raw));
    ErrorPtr error(raw);
    if (error)
        return meansNoSuchObject(error.get()) ? noSuchItemError() : failure(error.get());
    if (!value)
        return lockedError();
    gsize length = 0;
    const gchar *data = secret_value_get(value.get(), &length);
    *secret = QByteArray(data, qsizetype(length));
    return {};
}

std::optional<Error> SecretStore::Connection::writeSecret(SecretService *svc, const QByteArray &path,
                                                          const QByteArray &secret)
{
    GError *raw = nullptr;
    if (!secret_service_ensure_session_sync(svc, nullptr, &raw)) {
        ErrorPtr error(raw);
        return failure(error.get());
    }
    ValuePtr value(secret_value_new(secret.constData(), secret.size(), contentTypeFor(secret)));
    for (int attempt = 0;; ++attempt) {
        ErrorPtr error;
        VariantPtr reply(
            call(path.constData(), itemInterface, "SetSecret",
                 g_variant_new("(@(oayays))", secret_service_encode_dbus_secret(svc, value.get())), nullptr,
                 error));
        if (reply)
            return {};
        if (attempt == 0 && meansLocked(error.get())) {
            if (auto failed = unlock(svc, path))
                return failed;
            continue;
        }
        return meansNoSuchObject(error.get()) ? noSuchItemError() : failure(error.get());
    }
}

SecretStore::Connection::Search SecretStore::Connection::search(const QString &service,
                                                                const QString &account)
{
    Search found;
    SecretService *svc = ensureService(found.error);
    if (!svc)
        return found;

    HashPtr attributes(g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free));
    g_hash_table_insert(attributes.get(), g_strdup("service"), g_strdup(service.toUtf8().constData()));
    g_hash_table_insert(attributes.get(), g_strdup("account"), g_strdup(account.toUtf8().constData()));
    gchar **unlockedRaw = nullptr;
    gchar **lockedRaw = nullptr;
    GError *raw = nullptr;
    const bool ok = secret_service_search_for_dbus_paths_sync(svc, nullptr, attributes.get(), nullptr,
                                                              &unlockedRaw, &lockedRaw, &raw);
    StrvPtr unlocked(unlockedRaw);
    StrvPtr locked(lockedRaw);
    ErrorPtr error(raw);
    if (!ok) {
        found.error = failure(error.get());
        return found;
    }
    for (gchar **p = unlocked.get(); p && *p; ++p)
        found.unlocked.append(QByteArray(*p));
    for (gchar **p = locked.get(); p && *p; ++p)
        found.locked.append(QByteArray(*p));
    return found;
}

SecretStore::ItemResult SecretStore::Connection::find(const QString &service, const QString &account,
                                                      bool withSecret)
{
    Search found = search(service, account);
    if (found.error)
        return {{}, found.error};
    QByteArray path;
    if (!found.unlocked.isEmpty()) {
        path = found.unlocked.first();
    } else if (!found.locked.isEmpty()) {
        path = found.locked.first();
        if (auto failed = unlock(proxy, path))
            return {{}, failed};
    } else {
        return {};
    }
    Item item{QString::fromUtf8(path), service, account, {}};
    if (withSecret) {
        if (auto failed = readSecret(proxy, path, &item.secret))
            return {{}, failed};
    }
    return {item, {}};
}

SecretStore::ItemResult SecretStore::Connection::itemAt(const QString &path)
{
    const QByteArray objectPath = path.toUtf8();
    if (!g_variant_is_object_path(objectPath.constData()))
        return {};
    std::optional<Error> unavailable;
    SecretService *svc = ensureService(unavailable);
    if (!svc)
        return {{}, unavailable};

    ErrorPtr error;
    VariantPtr reply(call(objectPath.constData(), "org.freedesktop.DBus.Properties", "GetAll",
                          g_variant_new("(s)", itemInterface), G_VARIANT_TYPE("(a{sv})"), error));
    if (!reply) {
        // An object without the item interface (a collection, say) answers InvalidArgs here.
        if (meansNoSuchObject(error.get()) ||
            g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS))
            return {};
        return {{}, failure(error.get())};
    }
    VariantPtr properties(g_variant_get_child_value(reply.get(), 0));
    VariantPtr attributes(g_variant_lookup_value(properties.get(), "Attributes", G_VARIANT_TYPE("a{ss}")));
    if (!attributes)
        return {}; // an object of another kind
    const gchar *service = nullptr;
    const gchar *account = nullptr;
    g_variant_lookup(attributes.get(), "service", "&s", &service);
    g_variant_lookup(attributes.get(), "account", "&s", &account);
    gboolean locked = FALSE;
    g_variant_lookup(properties.get(), "Locked", "b", &locked);
    if (locked) {
        if (auto failed = unlock(svc, objectPath))
            return {{}, failed};
    }
    Item item{path, QString::fromUtf8(service), QString::fromUtf8(account), {}};
    if (auto failed = readSecret(svc, objectPath, &item.secret))
        return {{}, failed};
    return {item, {}};
}

SecretStore::ItemResult SecretStore::Connection::add(const QString &service, const QString &account,
                                                     const QByteArray &secret)
{
    std::optional<Error> unavailable;
    SecretService *svc = ensureService(unavailable);
    if (!svc)
        return {{}, unavailable};

    GError *raw = nullptr;
    CharPtr collection(
        secret_service_read_alias_dbus_path_sync(svc, SECRET_COLLECTION_DEFAULT, nullptr, &raw));
    if (raw) {
        ErrorPtr error(raw);
        return {{}, failure(error.get())};
    }
    if (!collection)
        return {{},
                makeError(NoDefaultCollection, QStringLiteral("The Secret Service has no default keyring"))};
    if (auto failed = unlock(svc, QByteArray(collection.get())))
        return {{}, failed};
    if (!secret_service_ensure_session_sync(svc, nullptr, &raw)) {
        ErrorPtr error(raw);
        return {{}, failure(error.get())};
    }

    GVariantBuilder attributes;
    g_variant_builder_init(&attributes, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&attributes, "{ss}", "service", service.toUtf8().constData());
    g_variant_builder_add(&attributes, "{ss}", "account", account.toUtf8().constData());
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&properties, "{sv}", "org.freedesktop.Secret.Item.Label",
                          g_variant_new_string(label(account).constData()));
    g_variant_builder_add(&properties, "{sv}", "org.freedesktop.Secret.Item.Attributes",
                          g_variant_builder_end(&attributes));
    ValuePtr value(secret_value_new(secret.constData(), secret.size(), contentTypeFor(secret)));

    ErrorPtr error;
    VariantPtr reply(call(collection.get(), collectionInterface, "CreateItem",
                          g_variant_new("(@a{sv}@(oayays)b)", g_variant_builder_end(&properties),
                                        secret_service_encode_dbus_secret(svc, value.get()), FALSE),
                          G_VARIANT_TYPE("(oo)"), error));
    if (!reply)
        return {{}, failure(error.get())};
    const gchar *created = nullptr;
    const gchar *prompt = nullptr;
    g_variant_get(reply.get(), "(&o&o)", &created, &prompt);
    Item item{QString::fromUtf8(created), service, account, secret};
    if (item.path == QLatin1String(noPrompt)) {
        VariantPtr answer;
        if (auto failed = runPrompt(svc, prompt, G_VARIANT_TYPE_OBJECT_PATH, &answer))
            return {{}, failed};
        item.path = QString::fromUtf8(g_variant_get_string(answer.get(), nullptr));
    }
    return {item, {}};
}

std::optional<Error> SecretStore::Connection::setSecret(const QString &path, const QByteArray &secret)
{
    const QByteArray objectPath = path.toUtf8();
    if (!g_variant_is_object_path(objectPath.constData()))
        return noSuchItemError();
    std::optional<Error> unavailable;
    SecretService *svc = ensureService(unavailable);
    if (!svc)
        return unavailable;
    return writeSecret(svc, objectPath, secret);
}

std::optional<Error> SecretStore::Connection::remove(const QString &service, const QString &account)
{
    Search found = search(service, account);
    if (found.error)
        return found.error;
    for (const QByteArray &path : std::as_const(found.locked)) {
        if (auto failed = unlock(proxy, path))
            return failed;
    }
    // Every match goes, so that no older duplicate resurfaces after a removal.
    for (const QByteArray &path : found.unlocked + found.locked) {
        ErrorPtr error;
        VariantPtr reply(
            call(path.constData(), itemInterface, "Delete", nullptr, G_VARIANT_TYPE("(o)"), error));
        if (!reply) {
            if (meansNoSuchObject(error.get()))
                continue;
            return failure(error.get());
        }
        const gchar *prompt = nullptr;
        g_variant_get(reply.get(), "(&o)", &prompt);
        if (auto failed = runPrompt(proxy, prompt, nullptr, nullptr))
            return failed;
    }
    return {};
}

SecretStore::SecretStore(const QString &busAddress)
    : m_connection(std::make_unique<Connection>(busAddress))
{}

SecretStore::~SecretStore() = default;

std::optional<QString> SecretStore::value(const QString &service, const QString &account) const
{
    QByteArray secret;
    {
        QMutexLocker lock(&m_connection->mutex);
        ItemResult found = m_connection->find(service, account, true);
        if (!found.item)
            return std::nullopt;
        secret = std::move(found.item->secret);
    }
    // A leading byte-order mark is kept: the stored bytes come back as they were.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(secret);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<Error> SecretStore::setValue(const QString &service, const QString &account,
                                           const QString &value)
{
    QMutexLocker lock(&m_connection->mutex);
    ItemResult found = m_connection->find(service, account, false);
    if (found.error)
        return found.error;
    if (found.item)
        return m_connection->setSecret(found.item->path, value.toUtf8());
    return m_connection->add(service, account, value.toUtf8()).error;
}

std::optional<Error> SecretStore::remove(const QString &service, const QString &account)
{
    QMutexLocker lock(&m_connection->mutex);
    return m_connection->remove(service, account);
}

SecretStore::ItemResult SecretStore::findItem(const QString &service, const QString &account) const
{
    QMutexLocker lock(&m_connection->mutex);
    return m_connection->find(service, account, true);
}

SecretStore::ItemResult SecretStore::itemAtPath(const QString &path) const
{
    QMutexLocker lock(&m_connection->mutex);
    return m_connection->itemAt(path);
}

std::optional<Error> SecretStore::setSecret(const QString &path, const QByteArray &secret)
{
    QMutexLocker lock(&m_connection->mutex);
    return m_connection->setSecret(path, secret);
}

SecretStore::ItemResult SecretStore::addItem(const QString &service, const QString &account,
                                             const QByteArray &secret)
{
    QMutexLocker lock(&m_connection->mutex);
    return m_connection->add(service, account, secret);
}
