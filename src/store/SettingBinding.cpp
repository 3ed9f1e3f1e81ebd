#include "SettingBinding.h"

#include "UserDefaults.h"

SettingBinding::SettingBinding(const QString &key, Reader reader, Writer writer, QObject *parent)
    : QObject(parent)
    , m_key(key)
    , m_reader(std::move(reader))
    , m_writer(std::move(writer))
{
    connect(&UserDefaults::standard(), &UserDefaults::changed, this, [this](const QString &changedKey) {
        if (changedKey == m_key)
            Q_EMIT valueChanged();
    });
}

QVariant SettingBinding::value() const
{
    return m_reader();
}

void SettingBinding::setValue(const QVariant &value)
{
    m_writer(value);
}
