#pragma once
// The application's user defaults: typed settings in an INI file under the XDG config directory.
// A missing or mistyped value reads as the caller's default; every write announces changed(key).

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <optional>

class UserDefaults : public QObject
{
    Q_OBJECT
public:
    // The process-wide defaults: organisation "Velmora", application "Velmora".
    static UserDefaults &standard();

    // Defaults kept in the INI file at filePath.
    explicit UserDefaults(const QString &filePath, QObject *parent = nullptr);

    [[nodiscard]] bool contains(const QString &key) const;
    [[nodiscard]] bool boolValue(const QString &key, bool defaultValue) const;
    [[nodiscard]] qint64 integer(const QString &key, qint64 defaultValue = 0) const;
    // The stored text, or none when the key is absent or holds something else.
    [[nodiscard]] std::optional<QString> string(const QString &key) const;

    // Booleans and numbers are kept as the text they have in the file, so a value reads the same
    // before and after a restart.
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);

Q_SIGNALS:
    // After every write of key (set or remove), on the writing thread.
    void changed(const QString &key);

private:
    [[nodiscard]] QVariant stored(const QString &key) const;

    mutable QMutex m_mutex;
    QSettings m_settings;
};
