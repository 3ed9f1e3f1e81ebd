#pragma once
// Turns a service, an account and password bytes into the persistent reference of the matching
// password item in the credential store, updating or adding the item as needed.

#include "Error.h"

#include <QByteArray>
#include <QString>

#include <optional>

class VPNKeychain
{
public:
    VPNKeychain() = delete;

    // Failures carry a credential-store status code in this domain.
    static inline const QString errorDomain = QStringLiteral("SecretStatusErrorDomain");
    enum Status : qint64 {
        ItemNotFound = -25300,
        NotAvailable = -25291,
        InteractionNotAllowed = -25308,
        NoDefaultKeychain = -25307,
        IOError = -36,
    };

    // The reference of the item with that service and account, now holding password: found and
    // left alone when it holds those bytes, updated in place when not, added when missing.
    // None on failure, with the status error in *error when given.
    [[nodiscard]] static std::optional<QByteArray> persistentReferenceFor(const QString &service,
                                                                          const QString &account,
                                                                          const QByteArray &password,
                                                                          Error *error = nullptr);

private:
    static std::optional<QByteArray> persistentReferenceByUpdating(const QString &path,
                                                                   const QByteArray &stored,
                                                                   const QByteArray &password, Error *error);
    static std::optional<QByteArray> persistentReferenceByAdding(const QString &service,
                                                                 const QString &account,
                                                                 const QByteArray &password, Error *error);
};
