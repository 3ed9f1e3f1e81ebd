#pragma once
// Named user-defaults keys for the review prompt's bookkeeping, with typed access by key.

#include <QString>
#include <QVariant>

#include <optional>

class UserDefaults;

enum class UserDefaultsKey { reviewWorthyActionCount, lastReviewRequestAppVersion };

[[nodiscard]] QString rawValue(UserDefaultsKey key);
// The key whose raw value equals text exactly, or none.
[[nodiscard]] std::optional<UserDefaultsKey> userDefaultsKeyFromRawValue(const QString &text);

// The stored integer, 0 when absent or not an integer.
[[nodiscard]] qint64 integer(const UserDefaults &defaults, UserDefaultsKey key);
[[nodiscard]] std::optional<QString> string(const UserDefaults &defaults, UserDefaultsKey key);
void set(UserDefaults &defaults, qint64 value, UserDefaultsKey key);
// None removes the key.
void set(UserDefaults &defaults, const std::optional<QVariant> &value, UserDefaultsKey key);
