#include "UserDefaultsKey.h"

#include "UserDefaults.h"

QString rawValue(UserDefaultsKey key)
{
    switch (key) {
    case UserDefaultsKey::reviewWorthyActionCount:
        return QStringLiteral("reviewWorthyActionCount");
    case UserDefaultsKey::lastReviewRequestAppVersion:
        return QStringLiteral("lastReviewRequestAppVersion");
    }
    Q_UNREACHABLE();
}

std::optional<UserDefaultsKey> userDefaultsKeyFromRawValue(const QString &text)
{
    for (UserDefaultsKey key :
         {UserDefaultsKey::reviewWorthyActionCount, UserDefaultsKey::lastReviewRequestAppVersion}) {
        if (rawValue(key) == text)
            return key;
    }
    return std::nullopt;
}

qint64 integer(const UserDefaults &defaults, UserDefaultsKey key)
{
    return defaults.integer(rawValue(key), 0);
}

std::optional<QString> string(const UserDefaults &defaults, UserDefaultsKey key)
{
    return defaults.string(rawValue(key));
}

void set(UserDefaults &defaults, qint64 value, UserDefaultsKey key)
{
    defaults.setValue(rawValue(key), value);
}

void set(UserDefaults &defaults, const std::optional<QVariant> &value, UserDefaultsKey key)
{
    if (value)
        defaults.setValue(rawValue(key), *value);
    else
        defaults.remove(rawValue(key));
}
