#pragma once
// Key-value credential store over the freedesktop Secret Service (libsecret): one item per
// (service, account) in the default collection; an item's persistent reference is its object path.

#include "Error.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class SecretStore
{
public:
    static inline const QString errorDomain = QStringLiteral("SecretStore");
    enum ErrorCode : qint64 {
        ServiceUnavailable = 1, // no Secret Service answers on the bus
        Locked = 2, // the keyring stayed locked (unlock refused, dismissed or unanswered)
        NoDefaultCollection = 3,
        OperationFailed = 4, // the service refused the request
        NoSuchItem = 5, // the object path names no item
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

    // How long the store waits for the Secret Service beyond the time-out of a single call.
    struct Limits
    {
        // For an unlock prompt: a person typing a keyring password. Then the call fails as locked.
        std::chrono::milliseconds promptWait;
        // After a call went unanswered, every call fails at once for this long.
        std::chrono::milliseconds unansweredHoldOff;
    };
    static constexpr Limits defaultLimits{std::chrono::minutes(2), std::chrono::seconds(30)};

    // Talks to the Secret Service on the bus at busAddress; an empty address means the session bus.
    // The connection is opened on first use and kept.
    explicit SecretStore(const QString &busAddress = {}, Limits limits = defaultLimits);
    ~SecretStore();
    SecretStore(const SecretStore &) = delete;
    SecretStore &operator=(const SecretStore &) = delete;

    // The stored text; none when the item is missing, unreadable or not valid UTF-8. When the store
    // could not be asked at all, the failure also goes to *failure if given.
    [[nodiscard]] std::optional<QString> value(const QString &service, const QString &account,
                                               std::optional<Error> *failure = nullptr) const;
    // Updates the existing item in place (same object path) or adds one.
    std::optional<Error> setValue(const QString &service, const QString &account, const QString &value);
    // Removes the item; a missing item is not an error.
    std::optional<Error> remove(const QString &service, const QString &account);

    [[nodiscard]] ItemResult findItem(const QString &service, const QString &account) const;
    // The item at an object path, with its service and account attributes.
    [[nodiscard]] ItemResult itemAtPath(const QString &path) const;
    std::optional<Error> setSecret(const QString &path, const QByteArray &secret);
    // Adds an item to the default collection, or replaces the one there with the same service and
    // account, so that a key never has two items; the result carries its object path.
    ItemResult addItem(const QString &service, const QString &account, const QByteArray &secret);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
