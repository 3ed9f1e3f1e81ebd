#pragma once
// A parsed JSON value with lenient typed access. Optional accessors give no value for a missing
// member or one of another type; plain accessors never fail (empty text, false, 0, empty list).

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

class Error;

class JSON
{
public:
    JSON() = default; // a missing value
    explicit JSON(const QJsonValue &value);

    // Parses a JSON object or array (a bare scalar is not a document); on failure returns none and,
    // when error is given, the parse error.
    [[nodiscard]] static std::optional<JSON> parse(const QByteArray &data, Error *error = nullptr);

    // Member of an object / element of an array; a missing value for anything else.
    [[nodiscard]] JSON operator[](const QString &key) const;
    [[nodiscard]] JSON operator[](qsizetype index) const;

    [[nodiscard]] bool exists() const;
    [[nodiscard]] QJsonValue value() const { return m_value; }

    // Optional accessors. integer() also takes a Boolean as 1 or 0 and drops a number's fraction.
    [[nodiscard]] std::optional<QString> string() const;
    [[nodiscard]] std::optional<qint64> integer() const;
    [[nodiscard]] std::optional<double> number() const;
    [[nodiscard]] std::optional<bool> boolean() const;
    [[nodiscard]] std::optional<QList<JSON>> array() const;

    // Plain accessors. stringValue() writes numbers and Booleans as text; intValue() and doubleValue()
    // read a numeric text; boolValue() takes a string as true only for "true", "y", "t", "yes", "1" in
    // any case, and a number as true when it is not 0.
    [[nodiscard]] QString stringValue() const;
    [[nodiscard]] qint64 intValue() const;
    [[nodiscard]] double doubleValue() const;
    [[nodiscard]] bool boolValue() const;
    [[nodiscard]] QList<JSON> arrayValue() const;

    bool operator==(const JSON &other) const;

private:
    QJsonValue m_value = QJsonValue(QJsonValue::Undefined);
};
