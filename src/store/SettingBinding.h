#pragma once
// One user-defaults setting as an observable value for screens: reads through on every access,
// writes through, and announces every write to its key, whichever path made it.

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

class SettingBinding : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariant value READ value WRITE setValue NOTIFY valueChanged)
public:
    using Reader = std::function<QVariant()>;
    using Writer = std::function<void(const QVariant &)>;

    // Follows key in UserDefaults::standard(); reader and writer give the setting its type and default.
    SettingBinding(const QString &key, Reader reader, Writer writer, QObject *parent = nullptr);

    [[nodiscard]] QVariant value() const;
    void setValue(const QVariant &value);

Q_SIGNALS:
    void valueChanged();

private:
    QString m_key;
    Reader m_reader;
    Writer m_writer;
};
