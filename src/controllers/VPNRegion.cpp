#include "VPNRegion.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

QString describe(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a Boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// The record's keys, in declaration order; a decoding failure names the first of them that fails.
enum Field {
    Id,
    IsStreaming,
    IsFree,
    IsAlive,
    ServerDomain,
    City,
    CountryCode,
    IsP2p,
    Ip,
    LoadPercentage,
    CountryName,
    Distance,
    IsNearest,
    LocationField,
    ShortName,
    Continent,
    FieldCount
};

constexpr QLatin1StringView fieldKeys[FieldCount] = {
    QLatin1StringView("id"),
    QLatin1StringView("is_streaming"),
    QLatin1StringView("is_free"),
    QLatin1StringView("is_alive"),
    QLatin1StringView("server_domain"),
    QLatin1StringView("city"),
    QLatin1StringView("country_code"),
    QLatin1StringView("is_p2p"),
    QLatin1StringView("ip"),
    QLatin1StringView("load_percentage"),
    QLatin1StringView("country_name"),
    QLatin1StringView("distance"),
    QLatin1StringView("is_nearest"),
    QLatin1StringView("location"),
    QLatin1StringView("short_name"),
    QLatin1StringView("continent"),
};

constexpr QLatin1StringView latitudeKey("latitude");
constexpr QLatin1StringView longitudeKey("longitude");

// One element's fields located by a single pass over its members, which costs less than a lookup
// per key; keys the record does not name are skipped.
class Members
{
public:
    // object must outlive the reader.
    explicit Members(const QJsonObject &object)
        : m_begin(object.constBegin())
    {
        std::fill(std::begin(m_at), std::end(m_at), -1);
        qsizetype index = 0;
        for (auto it = object.constBegin(), end = object.constEnd(); it != end; ++it, ++index) {
            const QString key = it.key();
            for (int field = 0; field < FieldCount; ++field) {
                if (key.size() == fieldKeys[field].size() && key == fieldKeys[field]) {
                    m_at[field] = index;
                    break;
                }
            }
        }
    }

    [[nodiscard]] QJsonValue operator[](Field field) const
    {
        return m_at[field] < 0 ? QJsonValue(QJsonValue::Undefined) : QJsonValue(*(m_begin + m_at[field]));
    }

private:
    QJsonObject::const_iterator m_begin;
    qsizetype m_at[FieldCount];
};

// Reads the fields of one element. The first failure is kept and later reads give defaults, so a
// caller checks failed() once per element.
class FieldReader
{
public:
    FieldReader(qsizetype index, QString *error)
        : m_index(index)
        , m_error(error)
    {
    }

    [[nodiscard]] bool failed() const { return m_failed; }

    QString string(const QJsonValue &value, QLatin1StringView key)
    {
        if (value.isString())
            return value.toString();
        mismatch(key, value, "a string");
        return {};
    }

    bool boolean(const QJsonValue &value, QLatin1StringView key)
    {
        if (value.isBool())
            return value.toBool();
        mismatch(key, value, "a Boolean");
        return false;
    }

    qint64 integer(const QJsonValue &value, QLatin1StringView key)
    {
        if (!value.isDouble()) {
            mismatch(key, value, "an integer");
            return 0;
        }
        // The parsed document keeps a number as a 64-bit integer when it is whole and in range, else
        // as a double, for which toInteger() gives its default: two defaults tell the cases apart.
        // Numbers a little below the range, fractions there included, round to the smallest integer
        // on parsing, so that value cannot be told from them and is refused with them.
        const qint64 number = value.toInteger(0);
        if (number != value.toInteger(1) || number == std::numeric_limits<qint64>::min()) {
            fail(key,
                 QStringLiteral("holds %1, which is not a whole number from %2 to %3")
                     .arg(value.toDouble(), 0, 'g', 17)
                     .arg(-std::numeric_limits<qint64>::max())
                     .arg(std::numeric_limits<qint64>::max()));
            return 0;
        }
        return number;
    }

    std::optional<qint64> optionalInteger(const QJsonValue &value, QLatin1StringView key)
    {
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        return integer(value, key);
    }

    float real(const QJsonValue &value, QLatin1StringView key)
    {
        if (!value.isDouble()) {
            mismatch(key, value, "a number");
            return 0;
        }
        const double number = value.toDouble();
        const auto narrowed = float(number);
        if (!std::isfinite(narrowed)) {
            fail(key, QStringLiteral("holds %1, which does not fit a 32-bit float").arg(number, 0, 'g', 17));
            return 0;
        }
        return narrowed;
    }

    Location location(const QJsonValue &value, QLatin1StringView key)
    {
        if (!value.isObject()) {
            mismatch(key, value, "an object");
            return {};
        }
        const QJsonObject object = value.toObject();
        m_prefix = key;
        Location location;
        location.latitude = real(object.value(latitudeKey), latitudeKey);
        location.longitude = real(object.value(longitudeKey), longitudeKey);
        m_prefix = {};
        return location;
    }

private:
    void mismatch(QLatin1StringView key, const QJsonValue &value, const char *expected)
    {
        const auto wanted = QLatin1StringView(expected);
        if (value.isUndefined())
            fail(key, QStringLiteral("is missing, expected %1").arg(wanted));
        else if (value.isNull())
            fail(key, QStringLiteral("is null, expected %1").arg(wanted));
        else
            fail(key, QStringLiteral("holds %1, expected %2").arg(describe(value), wanted));
    }

    void fail(QLatin1StringView key, const QString &what)
    {
        if (m_failed)
            return;
        m_failed = true;
        if (!m_error)
            return;
        const QString path = m_prefix.isEmpty() ? QString(key) : m_prefix + u'.' + key;
        *m_error = QStringLiteral("region at index %1: key \"%2\" %3").arg(m_index).arg(path, what);
    }

    const qsizetype m_index;
    QString *const m_error;
    QLatin1StringView m_prefix;
    bool m_failed = false;
};

// One copy of each text that many regions repeat (city, country, continent): equal strings share
// their characters instead of each holding its own.
class SharedTexts
{
public:
    QString operator()(QString text)
    {
        const auto known = m_texts.constFind(text);
        if (known != m_texts.cend())
            return *known;
        m_texts.insert(text);
        return text;
    }

private:
    QSet<QString> m_texts;
};

} // namespace

QVariant VPNRegion::distanceValue() const
{
    return distance ? QVariant(*distance) : QVariant::fromValue(nullptr);
}

std::optional<QList<VPNRegion>> VPNRegion::decodeList(const QJsonValue &json, QString *error)
{
    if (!json.isArray()) {
        if (error)
            *error = QStringLiteral("expected an array of regions, found %1").arg(describe(json));
        return std::nullopt;
    }
    const QJsonArray array = json.toArray();
    QList<VPNRegion> regions;
    regions.reserve(array.size());
    SharedTexts shared;
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue element = array.at(i);
        if (!element.isObject()) {
            if (error)
                *error = QStringLiteral("region at index %1 is %2, expected an object")
                             .arg(i)
                             .arg(describe(element));
            return std::nullopt;
        }
        const QJsonObject object = element.toObject();
        const Members field(object);
        FieldReader read(i, error);
        VPNRegion region;
        region.id = read.integer(field[Id], fieldKeys[Id]);
        region.is_streaming = read.boolean(field[IsStreaming], fieldKeys[IsStreaming]);
        region.is_free = read.boolean(field[IsFree], fieldKeys[IsFree]);
        region.is_alive = read.boolean(field[IsAlive], fieldKeys[IsAlive]);
        region.server_domain = read.string(field[ServerDomain], fieldKeys[ServerDomain]);
        region.city = shared(read.string(field[City], fieldKeys[City]));
        region.country_code = shared(read.string(field[CountryCode], fieldKeys[CountryCode]));
        region.is_p2p = read.boolean(field[IsP2p], fieldKeys[IsP2p]);
        region.ip = read.string(field[Ip], fieldKeys[Ip]);
        region.load_percentage = read.integer(field[LoadPercentage], fieldKeys[LoadPercentage]);
        region.country_name = shared(read.string(field[CountryName], fieldKeys[CountryName]));
        region.distance = read.optionalInteger(field[Distance], fieldKeys[Distance]);
        region.is_nearest = read.boolean(field[IsNearest], fieldKeys[IsNearest]);
        region.location = read.location(field[LocationField], fieldKeys[LocationField]);
        region.short_name = shared(read.string(field[ShortName], fieldKeys[ShortName]));
        region.continent = shared(read.string(field[Continent], fieldKeys[Continent]));
        if (read.failed())
            return std::nullopt;
        regions.append(std::move(region));
    }
    return regions;
}
