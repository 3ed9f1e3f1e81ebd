#include "ServerResponse.h"

#include <QJsonObject>
#include <QVariant>
#include <QVariantMap>

namespace {

std::optional<QString> textMember(const QVariant &representation, const QString &key)
{
    if (representation.metaType() == QMetaType::fromType<QJsonObject>()) {
        const QJsonValue member = representation.value<QJsonObject>().value(key);
        return member.isString() ? std::optional(member.toString()) : std::nullopt;
    }
    if (representation.metaType() == QMetaType::fromType<QVariantMap>()) {
        const QVariant member = representation.toMap().value(key);
        return member.metaType() == QMetaType::fromType<QString>() ? std::optional(member.toString())
                                                                   : std::nullopt;
    }
    return std::nullopt;
}

} // namespace

ServerResponse::ServerResponse(const QString &shortName, const QString &continent)
    : m_shortName(shortName)
    , m_continent(continent)
{
}

std::optional<ServerResponse> ServerResponse::fromRepresentation(const QVariant &representation)
{
    const std::optional<QString> shortName = textMember(representation, QStringLiteral("short_name"));
    const std::optional<QString> continent = textMember(representation, QStringLiteral("continent"));
    if (!shortName || !continent)
        return std::nullopt;
    return ServerResponse(*shortName, *continent);
}
