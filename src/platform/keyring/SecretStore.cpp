#include "SecretStore.h"

#include "Console.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QStringDecoder>

// libsecret asks for this acknowledgement before its session calls (encoding secrets for our own
// requests); every request itself goes straight over our connection, with our own time-out.
#define SECRET_API_SUBJECT_TO_CHANGE
#include <libsecret/secret.h>

namespace {

// Short enough that a missing or hung keyring daemon never freezes the caller for long.
constexpr int callTimeoutMs = 1500;

const char *const servicePath = "/org/freedesktop/secrets";
const char *const serviceInterface = "org.freedesktop.Secret.Service";
const char *const collectionInterface = "org.freedesktop.Secret.Collection";
const char *const itemInterface = "org.freedesktop.Secret.Item";
const char *const promptInterface = "org.freedesktop.Secret.Prompt";
const char *const noPrompt = "/";

struct ErrorFree
{
    void operator()(GError *p) const { g_error_free(p); }
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
struct ObjectUnref
{
    void operator()(gpointer p) const { g_object_unref(p); }
};
struct ContextUnref
{
    void operator()(GMainContext *p) const { g_main_context_unref(p); }
};

using ErrorPtr = std::unique_ptr<GError, ErrorFree>;
using CharPtr = std::unique_ptr<gchar, CharFree>;
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;
using ValuePtr = std::unique_ptr<SecretValue, ValueUnref>;
using ServicePtr = std::unique_ptr<SecretService, ObjectUnref>;
using ContextPtr = std::unique_ptr<GMainContext, ContextUnref>;

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

// Our own time-out ran out: the service is there but does not answer.
bool meansNoAnswer(const GError *error)
{
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT);
}

bool meansNoSuchObject(const GError *error)
{
    if (error->domain == G_DBUS_ERROR)
        return error->code == G_DBUS_ERROR_UNKNOWN_METHOD || error->code == G_DBUS_ERROR_UNKNOWN_OBJECT
            || error->code == G_DBUS_ERROR_UNKNOWN_INTERFACE || error->code == G_DBUS_ERROR_UNKNOWN_PROPERTY;
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

GVariant *attributesOf(const QString &service, const QString &account)
{
    GVariantBuilder attributes;
    g_variant_builder_init(&attributes, G_VARIANT_TYPE("a{ss}"));
    g_variant_builder_add(&attributes, "{ss}", "service", service.toUtf8().constData());
    g_variant_builder_add(&attributes, "{ss}", "account", account.toUtf8().constData());
    return g_variant_builder_end(&attributes);
}

QList<QByteArray> pathsIn(GVariant *paths)
{
    QList<QByteArray> list;
    GVariantIter iter;
    g_variant_iter_init(&iter, paths);
    const gchar *path = nullptr;
    while (g_variant_iter_next(&iter, "&o", &path))
        list.append(QByteArray(path));
    return list;
}

// What a prompt reports through its Completed signal, awaited on a main context of our own.
struct PromptWait
{
    bool completed = false;
    bool dismissed = false;
    bool timedOut = false;
    bool unsubscribed = false;
    VariantPtr result;

    static void onCompleted(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
                            GVariant *parameters, gpointer self)
    {
        auto *wait = static_cast<PromptWait *>(self);
        if (wait->completed || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(bv)")))
            return;
        gboolean dismissed = FALSE;
        GVariant *result = nullptr;
        g_variant_get(parameters, "(bv)", &dismissed, &result);
        wait->completed = true;
        wait->dismissed = dismissed;
        wait->result.reset(result);
    }
    static void onUnsubscribed(gpointer self) { static_cast<PromptWait *>(self)->unsubscribed = true; }
    static gboolean onTimeout(gpointer self)
    {
        static_cast<PromptWait *>(self)->timedOut = true;
        return G_SOURCE_REMOVE;
    }
};

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
    Connection(const QString &busAddress, Limits storeLimits)
        : address(busAddress)
        , limits(storeLimits)
    {
        // Registers libsecret's remote error names, so "IsLocked" and friends arrive as SECRET_ERROR.
        (void)secret_error_get_quark();
    }
    ~Connection() { reset(); }

    ServicePtr openService(std::optional<Error> &failure);
    ServicePtr openSession(std::optional<Error> &failure);
    void dropService();
    void reset();
    Error serviceFailure(const GError *error);
    Error failure(const GError *error);

    GVariant *call(SecretService *svc, const char *path, const char *interface, const char *method,
                   GVariant *args, const GVariantType *replyType, ErrorPtr &error);
    std::optional<Error> runPrompt(SecretService *svc, const QByteArray &prompt, VariantPtr *result);
    std::optional<Error> unlock(const QByteArray &path);
    std::optional<Error> readSecret(const QByteArray &path, QByteArray *secret);
    std::optional<Error> writeSecret(const QByteArray &path, const QByteArray &secret);

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
    const Limits limits;
    QMutex mutex;
    GDBusConnection *bus = nullptr;
    SecretService *proxy = nullptr;
    // A service that let a call time out is not asked again before this runs out.
    std::optional<Error> unanswered;
    QDeadlineTimer unansweredUntil;
    bool unansweredReported = false;
};

// A new reference, so that the service stays usable while the lock is let go during a prompt.
ServicePtr SecretStore::Connection::openService(std::optional<Error> &failure)
{
    if (unanswered) {
        if (!unansweredUntil.hasExpired()) {
            failure = unanswered;
            return nullptr;
        }
        unanswered.reset();
    }
    if (bus && g_dbus_connection_is_closed(bus))
        reset();
    if (proxy)
        return ServicePtr(static_cast<SecretService *>(g_object_ref(proxy)));

    GError *raw = nullptr;
    if (!bus) {
        CharPtr target(address.isEmpty() ? g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &raw)
                                         : g_strdup(address.toUtf8().constData()));
        if (target) {
            // Our own connection: the shared one would end the process when the bus goes away.
            bus = g_dbus_connection_new_for_address_sync(
                target.get(),
                GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                     | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
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
        failure = serviceFailure(error.get());
        return nullptr;
    }
    unansweredReported = false;
    return ServicePtr(static_cast<SecretService *>(g_object_ref(proxy)));
}

// The service with a session for passing secrets.
ServicePtr SecretStore::Connection::openSession(std::optional<Error> &failure)
{
    ServicePtr svc = openService(failure);
    GError *raw = nullptr;
    if (svc && !secret_service_ensure_session_sync(svc.get(), nullptr, &raw)) {
        ErrorPtr error(raw);
        failure = this->failure(error.get());
        return nullptr;
    }
    return svc;
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

Error SecretStore::Connection::serviceFailure(const GError *error)
{
    dropService();
    const Error gone = makeError(
        ServiceUnavailable, QStringLiteral("The Secret Service is not available: %1").arg(messageOf(error)));
    if (meansNoAnswer(error)) {
        // Each further call would cost the whole time-out again; once said is enough.
        unanswered = gone;
        unansweredUntil.setRemainingTime(limits.unansweredHoldOff);
        if (!unansweredReported) {
            unansweredReported = true;
            Console::print(QStringLiteral("Keychain not answering: keychain calls fail at once for %1 s")
                               .arg(double(limits.unansweredHoldOff.count()) / 1000));
        }
    }
    return gone;
}

Error SecretStore::Connection::failure(const GError *error)
{
    if (meansServiceGone(error))
        return serviceFailure(error);
    if (meansLocked(error))
        return lockedError();
    return makeError(OperationFailed,
                     QStringLiteral("The Secret Service refused the request: %1").arg(messageOf(error)));
}

GVariant *SecretStore::Connection::call(SecretService *svc, const char *path, const char *interface,
                                        const char *method, GVariant *args, const GVariantType *replyType,
                                        ErrorPtr &error)
{
    GError *raw = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(
        g_dbus_proxy_get_connection(G_DBUS_PROXY(svc)), g_dbus_proxy_get_name(G_DBUS_PROXY(svc)), path,
        interface, method, args, replyType, G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs, nullptr, &raw);
    error.reset(raw);
    if (reply)
        unansweredReported = false;
    return reply;
}

std::optional<Error> SecretStore::Connection::runPrompt(SecretService *svc, const QByteArray &prompt,
                                                        VariantPtr *result)
{
    if (prompt == noPrompt)
        return {};
    GDBusConnection *connection = g_dbus_proxy_get_connection(G_DBUS_PROXY(svc));
    CharPtr owner(g_dbus_proxy_get_name_owner(G_DBUS_PROXY(svc)));
    PromptWait wait;
    ContextPtr context(g_main_context_new());
    g_main_context_push_thread_default(context.get());
    const guint subscription = g_dbus_connection_signal_subscribe(
        connection, owner ? owner.get() : g_dbus_proxy_get_name(G_DBUS_PROXY(svc)), promptInterface,
        "Completed", prompt.constData(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &PromptWait::onCompleted, &wait,
        &PromptWait::onUnsubscribed);

    ErrorPtr error;
    VariantPtr reply(
        call(svc, prompt.constData(), promptInterface, "Prompt", g_variant_new("(s)", ""), nullptr, error));
    if (reply) {
        // A person may take a while over a keyring password: nobody else waits for that.
        mutex.unlock();
        GSource *timeout = g_timeout_source_new(guint(limits.promptWait.count()));
        g_source_set_callback(timeout, &PromptWait::onTimeout, &wait, nullptr);
        g_source_attach(timeout, context.get());
        while (!wait.completed && !wait.timedOut)
            g_main_context_iteration(context.get(), TRUE);
        g_source_destroy(timeout);
        g_source_unref(timeout);
        mutex.lock();
    }
    g_dbus_connection_signal_unsubscribe(connection, subscription);
    while (!wait.unsubscribed)
        g_main_context_iteration(context.get(), TRUE);
    g_main_context_pop_thread_default(context.get());

    if (!reply)
        return failure(error.get());
    if (!wait.completed) {
        // Nobody answered in time: take the prompt down rather than leave it behind for nothing.
        g_dbus_connection_call(connection, g_dbus_proxy_get_name(G_DBUS_PROXY(svc)), prompt.constData(),
                               promptInterface, "Dismiss", nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                               callTimeoutMs, nullptr, nullptr, nullptr);
        return lockedError();
    }
    if (wait.dismissed)
        return lockedError();
    if (result)
        *result = std::move(wait.result);
    return {};
}

std::optional<Error> SecretStore::Connection::unlock(const QByteArray &path)
{
    std::optional<Error> unavailable;
    const ServicePtr svc = openService(unavailable);
    if (!svc)
        return unavailable;
    ErrorPtr error;
    const gchar *paths[] = {path.constData(), nullptr};
    VariantPtr reply(call(svc.get(), servicePath, serviceInterface, "Unlock", g_variant_new("(^ao)", paths),
                          G_VARIANT_TYPE("(aoo)"), error));
    if (!reply)
        return failure(error.get());
    VariantPtr unlocked(g_variant_get_child_value(reply.get(), 0));
    if (g_variant_n_children(unlocked.get()) > 0)
        return {};
    const gchar *prompt = nullptr;
    g_variant_get_child(reply.get(), 1, "&o", &prompt);
    if (g_strcmp0(prompt, noPrompt) == 0)
        return lockedError();
    VariantPtr answer;
    if (auto failed = runPrompt(svc.get(), QByteArray(prompt), &answer))
        return failed;
    if (!answer || !g_variant_is_of_type(answer.get(), G_VARIANT_TYPE_OBJECT_PATH_ARRAY)
        || g_variant_n_children(answer.get()) < 1)
        return lockedError();
    return {};
}

std::optional<Error> SecretStore::Connection::readSecret(const QByteArray &path, QByteArray *secret)
{
    std::optional<Error> unavailable;
    const ServicePtr svc = openSession(unavailable);
    if (!svc)
        return unavailable;
    // Asked for directly: libsecret's own read leaves every answer behind in memory.
    ErrorPtr error;
    VariantPtr reply(call(svc.get(), path.constData(), itemInterface, "GetSecret",
                          g_variant_new("(o)", secret_service_get_session_dbus_path(svc.get())),
                          G_VARIANT_TYPE("((oayays))"), error));
    if (!reply)
        return meansNoSuchObject(error.get()) ? noSuchItemError() : failure(error.get());
    VariantPtr encoded(g_variant_get_child_value(reply.get(), 0));
    ValuePtr value(secret_service_decode_dbus_secret(svc.get(), encoded.get()));
    if (!value)
        return makeError(OperationFailed,
                         QStringLiteral("The Secret Service sent a secret that cannot be read"));
    gsize length = 0;
    const gchar *data = secret_value_get(value.get(), &length);
    *secret = QByteArray(data, qsizetype(length));
    return {};
}

std::optional<Error> SecretStore::Connection::writeSecret(const QByteArray &path, const QByteArray &secret)
{
    for (int attempt = 0;; ++attempt) {
        std::optional<Error> unavailable;
        const ServicePtr svc = openSession(unavailable);
        if (!svc)
            return unavailable;
        ValuePtr value(secret_value_new(secret.constData(), secret.size(), contentTypeFor(secret)));
        ErrorPtr error;
        VariantPtr reply(
            call(svc.get(), path.constData(), itemInterface, "SetSecret",
                 g_variant_new("(@(oayays))", secret_service_encode_dbus_secret(svc.get(), value.get())),
                 nullptr, error));
        if (reply)
            return {};
        if (attempt == 0 && meansLocked(error.get())) {
            if (auto failed = unlock(path))
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
    const ServicePtr svc = openService(found.error);
    if (!svc)
        return found;

    ErrorPtr error;
    VariantPtr reply(call(svc.get(), servicePath, serviceInterface, "SearchItems",
                          g_variant_new("(@a{ss})", attributesOf(service, account)), G_VARIANT_TYPE("(aoao)"),
                          error));
    if (!reply) {
        found.error = failure(error.get());
        return found;
    }
    VariantPtr unlocked(g_variant_get_child_value(reply.get(), 0));
    VariantPtr locked(g_variant_get_child_value(reply.get(), 1));
    found.unlocked = pathsIn(unlocked.get());
    found.locked = pathsIn(locked.get());
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
        if (auto failed = unlock(path))
            return {{}, failed};
    } else {
        return {};
    }
    Item item{QString::fromUtf8(path), service, account, {}};
    if (withSecret) {
        if (auto failed = readSecret(path, &item.secret))
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
    const ServicePtr svc = openService(unavailable);
    if (!svc)
        return {{}, unavailable};

    ErrorPtr error;
    VariantPtr reply(call(svc.get(), objectPath.constData(), "org.freedesktop.DBus.Properties", "GetAll",
                          g_variant_new("(s)", itemInterface), G_VARIANT_TYPE("(a{sv})"), error));
    if (!reply) {
        // An object without the item interface (a collection, say) answers InvalidArgs here.
        if (meansNoSuchObject(error.get())
            || g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS))
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
        if (auto failed = unlock(objectPath))
            return {{}, failed};
    }
    Item item{path, QString::fromUtf8(service), QString::fromUtf8(account), {}};
    if (auto failed = readSecret(objectPath, &item.secret))
        return {{}, failed};
    return {item, {}};
}

SecretStore::ItemResult SecretStore::Connection::add(const QString &service, const QString &account,
                                                     const QByteArray &secret)
{
    std::optional<Error> unavailable;
    ServicePtr svc = openService(unavailable);
    if (!svc)
        return {{}, unavailable};

    ErrorPtr error;
    VariantPtr alias(call(svc.get(), servicePath, serviceInterface, "ReadAlias",
                          g_variant_new("(s)", SECRET_COLLECTION_DEFAULT), G_VARIANT_TYPE("(o)"), error));
    if (!alias)
        return {{}, failure(error.get())};
    const gchar *aliasPath = nullptr;
    g_variant_get(alias.get(), "(&o)", &aliasPath);
    const QByteArray collection(aliasPath);
    if (collection == noPrompt)
        return {{},
                makeError(NoDefaultCollection, QStringLiteral("The Secret Service has no default keyring"))};
    if (auto failed = unlock(collection))
        return {{}, failed};
    svc = openSession(unavailable);
    if (!svc)
        return {{}, unavailable};

    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&properties, "{sv}", "org.freedesktop.Secret.Item.Label",
                          g_variant_new_string(label(account).constData()));
    g_variant_builder_add(&properties, "{sv}", "org.freedesktop.Secret.Item.Attributes",
                          attributesOf(service, account));
    ValuePtr value(secret_value_new(secret.constData(), secret.size(), contentTypeFor(secret)));

    // Replacing: another store (or program) may have added the item since this one looked.
    VariantPtr reply(call(svc.get(), collection.constData(), collectionInterface, "CreateItem",
                          g_variant_new("(@a{sv}@(oayays)b)", g_variant_builder_end(&properties),
                                        secret_service_encode_dbus_secret(svc.get(), value.get()), TRUE),
                          G_VARIANT_TYPE("(oo)"), error));
    if (!reply)
        return {{}, failure(error.get())};
    const gchar *created = nullptr;
    const gchar *prompt = nullptr;
    g_variant_get(reply.get(), "(&o&o)", &created, &prompt);
    Item item{QString::fromUtf8(created), service, account, secret};
    if (item.path == QLatin1String(noPrompt)) {
        VariantPtr answer;
        if (auto failed = runPrompt(svc.get(), QByteArray(prompt), &answer))
            return {{}, failed};
        if (!answer || !g_variant_is_of_type(answer.get(), G_VARIANT_TYPE_OBJECT_PATH))
            return {{}, makeError(OperationFailed, QStringLiteral("The Secret Service named no new item"))};
        item.path = QString::fromUtf8(g_variant_get_string(answer.get(), nullptr));
    }
    return {item, {}};
}

std::optional<Error> SecretStore::Connection::setSecret(const QString &path, const QByteArray &secret)
{
    const QByteArray objectPath = path.toUtf8();
    if (!g_variant_is_object_path(objectPath.constData()))
        return noSuchItemError();
    return writeSecret(objectPath, secret);
}

std::optional<Error> SecretStore::Connection::remove(const QString &service, const QString &account)
{
    Search found = search(service, account);
    if (found.error)
        return found.error;
    for (const QByteArray &path : std::as_const(found.locked)) {
        if (auto failed = unlock(path))
            return failed;
    }
    // Every match goes, so that no older duplicate resurfaces after a removal.
    for (const QByteArray &path : found.unlocked + found.locked) {
        std::optional<Error> unavailable;
        const ServicePtr svc = openService(unavailable);
        if (!svc)
            return unavailable;
        ErrorPtr error;
        VariantPtr reply(call(svc.get(), path.constData(), itemInterface, "Delete", nullptr,
                              G_VARIANT_TYPE("(o)"), error));
        if (!reply) {
            if (meansNoSuchObject(error.get()))
                continue;
            return failure(error.get());
        }
        const gchar *prompt = nullptr;
        g_variant_get(reply.get(), "(&o)", &prompt);
        if (auto failed = runPrompt(svc.get(), QByteArray(prompt), nullptr))
            return failed;
    }
    return {};
}

SecretStore::SecretStore(const QString &busAddress, Limits limits)
    : m_connection(std::make_unique<Connection>(busAddress, limits))
{
}

SecretStore::~SecretStore() = default;

std::optional<QString> SecretStore::value(const QString &service, const QString &account,
                                          std::optional<Error> *failure) const
{
    QByteArray secret;
    {
        QMutexLocker lock(&m_connection->mutex);
        ItemResult found = m_connection->find(service, account, true);
        if (!found.item) {
            if (failure)
                *failure = std::move(found.error);
            return std::nullopt;
        }
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
