#pragma once
// Key-value credential store over the freedesktop Secret Service (libsecret): one item per
// (service, account) in the default collection; an item's persistent reference is its object path.

#include "Error.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class SecretStore
{
public:
    static inline const QString errorDomain = QStringLiteral("SecretStore");
    enum ErrorCode : qint64 {
        ServiceUnavailable = 1, // no Secret Service answers on the bus
        Locked = 2,             // the keyring stayed locked (unlock refused or dismissed)
        NoDefaultCollection = 3,
        OperationFailed = 4, // the service refused the request
        NoSuchItem = 5,      // the object path names no item
    };

    struct Item
    {
        QString path; // Secret Service object path, stable for the item's lifetime
        QString service;
        QString account;
        QByteArray secret;
    };

    // An item, or no item (not found), or the failure that kept the store from answering.
    struct ItemResult
    {
        std::optional<Item> item;
        std::optional<Error> error;
    };

    // Talks to the Secret Service on the bus at busAddress; an empty address means the session bus.
    // The connection is opened on first use and kept.
    explicit SecretStore(const QString &busAddress = {});
    ~SecretStore();
    SecretStore(const SecretStore &) = delete;
    SecretStore &operator=(const SecretStore &) = delete;

    // The stored text; none when the item is missing, unreadable or not valid UTF-8.
    [[nodiscard]] std::optional<QString> value(const QString &service, const QString &account) const;
    // Updates the existing item in place (same object path) or adds one.
    std::optional<Error> setValue(const QString &service, const QString &account, const QString &value);
    // Removes the item; a missing item is not an error.
    std::optional<Error> remove(const QString &service, const QString &account);

    [[nodiscard]] ItemResult findItem(const QString &service, const QString &account) const;
    // The item at an object path, with its service and account attributes.
    [[nodiscard]] ItemResult itemAtPath(const QString &path) const;
    std::optional<Error> setSecret(const QString &path, const QByteArray &secret);
    // Adds a new item to the default collection; the result carries its object path.
    ItemResult addItem(const QString &service, const QString &account, const QByteArray &secret);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
