#pragma once
// A server's short name and continent as an answer describes them; made only from an answer that
// holds both as text.

#include <QString>

#include <optional>

class QVariant;

class ServerResponse
{
public:
    // From a decoded answer (a QVariantMap or a QJsonObject); none when "short_name" or "continent"
    // is missing or not text, or when the representation is not an object at all.
    [[nodiscard]] static std::optional<ServerResponse> fromRepresentation(const QVariant &representation);

    [[nodiscard]] QString shortName() const { return m_shortName; }
    [[nodiscard]] QString continent() const { return m_continent; }

private:
    ServerResponse(const QString &shortName, const QString &continent);

    QString m_shortName;
    QString m_continent;
};
