#pragma once
// An error value as the application passes it around: a domain, a code and a readable description.
// Errors made by the application itself carry their message as the domain, with code 0.

#include <QString>

class Error
{
public:
    explicit Error(const QString &domain, qint64 code = 0, const QString &description = {});

    [[nodiscard]] QString domain() const { return m_domain; }
    [[nodiscard]] qint64 code() const { return m_code; }
    // The description given at construction, else a generic text naming domain and code.
    [[nodiscard]] QString localizedDescription() const;

    bool operator==(const Error &other) const = default;

private:
    QString m_domain;
    qint64 m_code;
    QString m_description;
};
