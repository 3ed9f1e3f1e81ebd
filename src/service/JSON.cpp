#include "JSON.h"

#include "Error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QVariant>

#include <cmath>

namespace {

// A whole number within qint64, or none; the fraction is dropped. Doubles beyond the range have no
// integer reading at all (casting them would be undefined).
std::optional<qint64> truncated(double number)
{
    const double whole = std::trunc(number);
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!(whole >= -limit && whole < limit))
        return std::nullopt;
    return qint64(whole);
}

} // namespace

JSON::JSON(const QJsonValue &value)
    : m_value(value)
{
}

std::optional<JSON> JSON::parse(const QByteArray &data, Error *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (document.isNull()) {
        if (error) {
            *error = Error(QStringLiteral("QJsonParseError"), parseError.error,
                           QStringLiteral("The data is not valid JSON: %1 at offset %2.")
                               .arg(parseError.errorString())
                               .arg(parseError.offset));
        }
        return std::nullopt;
    }
    return JSON(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
}

JSON JSON::operator[](const QString &key) const
{
    if (!m_value.isObject())
        return {};
    return JSON(m_value.toObject().value(key));
}

JSON JSON::operator[](qsizetype index) const
{
    if (!m_value.isArray())
        return {};
    const QJsonArray array = m_value.toArray();
    if (index < 0 || index >= array.size())
        return {};
    return JSON(array.at(index));
}

bool JSON::exists() const
{
    return !m_value.isUndefined();
}

std::optional<QString> JSON::string() const
{
    if (!m_value.isString())
        return std::nullopt;
    return m_value.toString();
}

std::optional<qint64> JSON::integer() const
{
    if (m_value.isBool())
        return m_value.toBool() ? 1 : 0;
    if (!m_value.isDouble())
        return std::nullopt;
    // Integers are kept exactly (beyond 2^53 too); only true doubles go through truncation.
    const QVariant number = m_value.toVariant();
    if (number.typeId() == QMetaType::LongLong)
        return number.toLongLong();
    return truncated(m_value.toDouble());
}

std::optional<double> JSON::number() const
{
    if (!m_value.isDouble())
        return std::nullopt;
    return m_value.toDouble();
}

std::optional<bool> JSON::boolean() const
{
    if (!m_value.isBool())
        return std::nullopt;
    return m_value.toBool();
}

std::optional<QList<JSON>> JSON::array() const
{
    if (!m_value.isArray())
        return std::nullopt;
    const QJsonArray array = m_value.toArray();
    QList<JSON> elements;
    elements.reserve(array.size());
    for (const QJsonValue &element : array)
        elements.append(JSON(element));
    return elements;
}

QString JSON::stringValue() const
{
    switch (m_value.type()) {
    case QJsonValue::String:
        return m_value.toString();
    case QJsonValue::Bool:
        return m_value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        if (const QVariant number = m_value.toVariant(); number.typeId() == QMetaType::LongLong)
            return QString::number(number.toLongLong());
        return QString::number(m_value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return {};
    }
}

qint64 JSON::intValue() const
{
    if (const auto value = integer())
        return *value;
    if (m_value.isString()) {
        bool ok = false;
        const double number = m_value.toString().trimmed().toDouble(&ok);
        if (ok)
            return truncated(number).value_or(0);
    }
    return 0;
}

double JSON::doubleValue() const
{
    if (m_value.isBool())
        return m_value.toBool() ? 1 : 0;
    if (m_value.isString()) {
        bool ok = false;
        const double number = m_value.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(number) ? number : 0;
    }
    return number().value_or(0);
}

bool JSON::boolValue() const
{
    switch (m_value.type()) {
    case QJsonValue::Bool:
        return m_value.toBool();
    case QJsonValue::Double:
        return m_value.toDouble() != 0;
    case QJsonValue::String: {
        static const QStringList truths = {QStringLiteral("true"), QStringLiteral("y"), QStringLiteral("t"),
                                           QStringLiteral("yes"), QStringLiteral("1")};
        return truths.contains(m_value.toString().toLower());
    }
    default:
        return false;
    }
}

QList<JSON> JSON::arrayValue() const
{
    return array().value_or(QList<JSON>{});
}

bool JSON::operator==(const JSON &other) const
{
    return m_value == other.m_value;
}
