#include "VPNKeychain.h"

#include "Preferences.h"
#include "SecretStore.h"

namespace {

qint64 statusOf(const Error &error)
{
    switch (error.code()) {
    case SecretStore::ServiceUnavailable:
        return VPNKeychain::NotAvailable;
    case SecretStore::Locked:
        return VPNKeychain::InteractionNotAllowed;
    case SecretStore::NoDefaultCollection:
        return VPNKeychain::NoDefaultKeychain;
    default:
        return VPNKeychain::IOError;
    }
}

std::optional<QByteArray> fail(Error *error, qint64 status, const QString &description)
{
    if (error)
        *error = Error(VPNKeychain::errorDomain, status, description);
    return std::nullopt;
}

std::optional<QByteArray> fail(Error *error, const Error &cause)
{
    return fail(error, statusOf(cause), cause.localizedDescription());
}

} // namespace

std::optional<QByteArray> VPNKeychain::persistentReferenceFor(const QString &service, const QString &account,
                                                              const QByteArray &password, Error *error)
{
    const SecretStore::ItemResult found = Preferences::defaultKeychain().findItem(service, account);
    if (found.error)
        return fail(error, *found.error);
    if (found.item)
        return persistentReferenceByUpdating(found.item->path, found.item->secret, password, error);
    return persistentReferenceByAdding(service, account, password, error);
}

std::optional<QByteArray> VPNKeychain::persistentReferenceByUpdating(const QString &path,
                                                                     const QByteArray &stored,
                                                                     const QByteArray &password, Error *error)
{
    if (stored == password)
        return path.toUtf8();
    SecretStore &store = Preferences::defaultKeychain();
    if (const std::optional<Error> failed = store.setSecret(path, password)) {
        // Deleted since the lookup: the same answer the lookup would have given.
        const SecretStore::ItemResult still = store.itemAtPath(path);
        if (!still.item && !still.error)
            return fail(error, ItemNotFound, failed->localizedDescription());
        return fail(error, *failed);
    }
    return path.toUtf8();
}

std::optional<QByteArray> VPNKeychain::persistentReferenceByAdding(const QString &service,
                                                                   const QString &account,
                                                                   const QByteArray &password, Error *error)
{
    const SecretStore::ItemResult added = Preferences::defaultKeychain().addItem(service, account, password);
    if (added.error)
        return fail(error, *added.error);
    if (!added.item || added.item->path.isEmpty())
        return fail(error, IOError,
                    QStringLiteral("The credential store returned no reference for the new item."));
    return added.item->path.toUtf8();
}
