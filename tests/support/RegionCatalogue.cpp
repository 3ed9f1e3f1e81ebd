#include "RegionCatalogue.h"

#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Whether the service sends a region's distance from the user.
enum class Distance { Known, Null, Missing };

struct Region
{
    int id;
    const char *city;
    const char *code; // the region's short code, as in its host name
    const char *countryCode;
    const char *countryName;
    const char *continent;
    double latitude;
    double longitude;
    int load;
    bool streaming;
    bool free;
    bool p2p;
    bool alive;
    Distance distance;
};

constexpr bool Y = true;
constexpr bool N = false;
constexpr auto K = Distance::Known;
constexpr auto Null = Distance::Null;
constexpr auto Missing = Distance::Missing;

constexpr const char *EU = "Europe";
constexpr const char *NA = "North America";
constexpr const char *SA = "South America";
constexpr const char *AS = "Asia";
constexpr const char *OC = "Oceania";
constexpr const char *AF = "Africa";

// Regions that went up lately have no distance yet: the service sends null or leaves it out.
// clang-format off
constexpr Region catalogue[] = {
 // id  city             code   cc    country                 continent lat       lon      load stream free p2p alive distance
    {1, "Frankfurt",      "fra", "DE", "Germany",              EU,  50.1109,    8.6821, 62, Y, N, Y, Y, K},
    {2, "Berlin",         "ber", "DE", "Germany",              EU,  52.5200,   13.4050, 35, Y, Y, Y, Y, K},
    {3, "Amsterdam",      "ams", "NL", "Netherlands",          EU,  52.3676,    4.9041, 48, Y, N, Y, Y, K},
    {4, "London",         "lon", "GB", "United Kingdom",       EU,  51.5074,   -0.1278, 71, Y, N, N, Y, K},
    {5, "Manchester",     "man", "GB", "United Kingdom",       EU,  53.4808,   -2.2426, 22, N, N, N, Y, K},
    {6, "Paris",          "par", "FR", "France",               EU,  48.8566,    2.3522, 57, Y, N, Y, Y, K},
    {7, "Marseille",      "mrs", "FR", "France",               EU,  43.2965,    5.3698, 18, N, N, Y, Y, K},
    {8, "Zurich",         "zrh", "CH", "Switzerland",          EU,  47.3769,    8.5417, 41, Y, N, Y, Y, K},
    {9, "Vienna",         "vie", "AT", "Austria",              EU,  48.2082,   16.3738, 33, N, N, Y, Y, K},
    {10, "Stockholm",     "sto", "SE", "Sweden",               EU,  59.3293,   18.0686, 27, Y, N, Y, Y, K},
    {11, "Oslo",          "osl", "NO", "Norway",               EU,  59.9139,   10.7522, 15, N, N, Y, Y, K},
    {12, "Copenhagen",    "cph", "DK", "Denmark",              EU,  55.6761,   12.5683, 44, N, N, Y, Y, K},
    {13, "Helsinki",      "hel", "FI", "Finland",              EU,  60.1699,   24.9384, 12, N, N, Y, Y, K},
    {14, "Madrid",        "mad", "ES", "Spain",                EU,  40.4168,   -3.7038, 52, Y, N, Y, Y, K},
    {15, "Barcelona",     "bcn", "ES", "Spain",                EU,  41.3874,    2.1686, 38, N, N, Y, Y, K},
    {16, "Lisbon",        "lis", "PT", "Portugal",             EU,  38.7223,   -9.1393, 29, N, N, Y, Y, K},
    {17, "Milan",         "mil", "IT", "Italy",                EU,  45.4642,    9.1900, 66, Y, N, Y, Y, K},
    {18, "Rome",          "rom", "IT", "Italy",                EU,  41.9028,   12.4964, 31, N, N, Y, Y, K},
    {19, "Warsaw",        "waw", "PL", "Poland",               EU,  52.2297,   21.0122, 24, N, Y, Y, Y, K},
    {20, "Prague",        "prg", "CZ", "Czechia",              EU,  50.0755,   14.4378, 19, N, N, Y, Y, K},
    {21, "Brussels",      "bru", "BE", "Belgium",              EU,  50.8503,    4.3517, 55, N, N, Y, Y, K},
    {22, "Dublin",        "dub", "IE", "Ireland",              EU,  53.3498,   -6.2603, 37, Y, N, N, Y, K},
    {23, "Bucharest",     "buh", "RO", "Romania",              EU,  44.4268,   26.1025, 21, N, N, Y, Y, K},
    {24, "Athens",        "ath", "GR", "Greece",               EU,  37.9838,   23.7275, 26, N, N, Y, Y, K},
    {25, "Luxembourg",    "lux", "LU", "Luxembourg",           EU,  49.6116,    6.1319,  9, N, N, Y, Y, K},
    {26, "Reykjavik",     "rey", "IS", "Iceland",              EU,  64.1466,  -21.9426,  5, N, N, Y, Y, K},
    {27, "Istanbul",      "ist", "TR", "Turkey",               EU,  41.0082,   28.9784, 58, N, N, N, Y, K},
    {28, "Kyiv",          "kiv", "UA", "Ukraine",              EU,  50.4501,   30.5234, 46, N, N, Y, Y, K},
    {29, "Sofia",         "sof", "BG", "Bulgaria",             EU,  42.6977,   23.3219,  0, N, N, Y, N, K},
    {30, "Budapest",      "bud", "HU", "Hungary",              EU,  47.4979,   19.0402, 34, N, N, Y, Y, K},
    {31, "New York",      "nyc", "US", "United States",        NA,  40.7128,  -74.0060, 74, Y, Y, N, Y, K},
    {32, "Los Angeles",   "lax", "US", "United States",        NA,  34.0522, -118.2437, 68, Y, N, N, Y, K},
    {33, "Chicago",       "chi", "US", "United States",        NA,  41.8781,  -87.6298, 45, Y, N, N, Y, K},
    {34, "Miami",         "mia", "US", "United States",        NA,  25.7617,  -80.1918, 53, Y, N, N, Y, K},
    {35, "Dallas",        "dal", "US", "United States",        NA,  32.7767,  -96.7970, 39, N, N, N, Y, K},
    {36, "Seattle",       "sea", "US", "United States",        NA,  47.6062, -122.3321, 42, N, N, N, Y, K},
    {37, "Toronto",       "tor", "CA", "Canada",               NA,  43.6532,  -79.3832, 47, Y, Y, Y, Y, K},
    {38, "Vancouver",     "van", "CA", "Canada",               NA,  49.2827, -123.1207, 28, N, N, Y, Y, K},
    {39, "Montreal",      "mtl", "CA", "Canada",               NA,  45.5017,  -73.5673, 33, N, N, Y, Y, K},
    {40, "Mexico City",   "mex", "MX", "Mexico",               NA,  19.4326,  -99.1332, 36, Y, N, Y, Y, K},
    {41, "Panama City",   "pty", "PA", "Panama",               NA,   8.9824,  -79.5199, 11, N, N, Y, Y, Null},
    {42, "São Paulo",     "sao", "BR", "Brazil",               SA, -23.5505,  -46.6333, 61, Y, N, Y, Y, K},
    {43, "Rio de Janeiro", "rio", "BR", "Brazil",              SA, -22.9068,  -43.1729, 40, N, N, Y, Y, K},
    {44, "Buenos Aires",  "bue", "AR", "Argentina",            SA, -34.6037,  -58.3816, 35, Y, N, Y, Y, K},
    {45, "Santiago",      "scl", "CL", "Chile",                SA, -33.4489,  -70.6693, 23, N, N, Y, Y, K},
    {46, "Bogotá",        "bog", "CO", "Colombia",             SA,   4.7110,  -74.0721, 30, N, N, Y, Y, K},
    {47, "Lima",          "lim", "PE", "Peru",                 SA, -12.0464,  -77.0428, 17, N, N, Y, Y, K},
    {48, "Montevideo",    "mvd", "UY", "Uruguay",              SA, -34.9011,  -56.1645,  8, N, N, Y, Y, K},
    {49, "Tokyo",         "tyo", "JP", "Japan",                AS,  35.6762,  139.6503, 72, Y, N, N, Y, K},
    {50, "Osaka",         "osa", "JP", "Japan",                AS,  34.6937,  135.5023, 38, N, N, N, Y, K},
    {51, "Singapore",     "sin", "SG", "Singapore",            AS,   1.3521,  103.8198, 64, Y, Y, Y, Y, K},
    {52, "Hong Kong",     "hkg", "HK", "Hong Kong",            AS,  22.3193,  114.1694, 59, Y, N, Y, Y, K},
    {53, "Seoul",         "sel", "KR", "South Korea",          AS,  37.5665,  126.9780, 50, Y, N, N, Y, K},
    {54, "Taipei",        "tpe", "TW", "Taiwan",               AS,  25.0330,  121.5654, 32, N, N, Y, Y, K},
    {55, "Mumbai",        "bom", "IN", "India",                AS,  19.0760,   72.8777, 56, Y, N, Y, Y, K},
    {56, "Bangalore",     "blr", "IN", "India",                AS,  12.9716,   77.5946, 43, N, N, Y, Y, K},
    {57, "Dubai",         "dxb", "AE", "United Arab Emirates", AS,  25.2048,   55.2708, 49, N, N, N, Y, K},
    {58, "Tel Aviv",      "tlv", "IL", "Israel",               AS,  32.0853,   34.7818, 36, N, N, Y, Y, K},
    {59, "Bangkok",       "bkk", "TH", "Thailand",             AS,  13.7563,  100.5018, 41, N, N, Y, Y, K},
    {60, "Jakarta",       "jkt", "ID", "Indonesia",            AS,  -6.2088,  106.8456, 47, N, N, Y, Y, K},
    {61, "Kuala Lumpur",  "kul", "MY", "Malaysia",             AS,   3.1390,  101.6869, 29, N, N, Y, Y, K},
    {62, "Manila",        "mnl", "PH", "Philippines",          AS,  14.5995,  120.9842, 25, N, N, Y, Y, K},
    {63, "Hanoi",         "han", "VN", "Vietnam",              AS,  21.0278,  105.8342, 20, N, N, Y, Y, Missing},
    {64, "Sydney",        "syd", "AU", "Australia",            OC, -33.8688,  151.2093, 58, Y, N, Y, Y, K},
    {65, "Melbourne",     "mel", "AU", "Australia",            OC, -37.8136,  144.9631, 44, Y, N, Y, Y, K},
    {66, "Brisbane",      "bne", "AU", "Australia",            OC, -27.4698,  153.0251, 27, N, N, Y, Y, K},
    {67, "Perth",         "per", "AU", "Australia",            OC, -31.9505,  115.8605, 19, N, N, Y, Y, K},
    {68, "Auckland",      "akl", "NZ", "New Zealand",          OC, -36.8485,  174.7633, 31, Y, N, Y, Y, K},
    {69, "Johannesburg",  "jnb", "ZA", "South Africa",         AF, -26.2041,   28.0473, 46, Y, N, Y, Y, K},
    {70, "Cape Town",     "cpt", "ZA", "South Africa",         AF, -33.9249,   18.4241, 33, N, N, Y, Y, K},
    {71, "Lagos",         "los", "NG", "Nigeria",              AF,   6.5244,    3.3792, 52, N, N, Y, Y, K},
    {72, "Nairobi",       "nbo", "KE", "Kenya",                AF,  -1.2921,   36.8219, 38, N, N, Y, Y, K},
    {73, "Cairo",         "cai", "EG", "Egypt",                AF,  30.0444,   31.2357, 45, N, N, Y, Y, K},
    {74, "Casablanca",    "cas", "MA", "Morocco",              AF,  33.5731,   -7.5898, 24, N, N, Y, Y, K},
    {75, "Accra",         "acc", "GH", "Ghana",                AF,   5.6037,   -0.1870, 14, N, N, Y, Y, Missing},
};
// clang-format on

// Where the service places its user: Mainz, a short way from the Frankfurt servers.
constexpr double userLatitude = 49.9929;
constexpr double userLongitude = 8.2473;

qint64 kilometresFromUser(const Region &region)
{
    constexpr double earthRadius = 6371.0;
    const auto radians = [](double degrees) { return degrees * std::numbers::pi / 180.0; };
    const double dLatitude = radians(region.latitude - userLatitude);
    const double dLongitude = radians(region.longitude - userLongitude);
    const double a = std::pow(std::sin(dLatitude / 2), 2) + std::cos(radians(userLatitude)) *
                                                                std::cos(radians(region.latitude)) *
                                                                std::pow(std::sin(dLongitude / 2), 2);
    return qRound64(2 * earthRadius * std::asin(std::sqrt(a)));
}

QString shortName(const Region &region)
{
    return QString::fromLatin1(region.countryCode).toLower() + QLatin1Char('-') +
           QString::fromLatin1(region.code);
}

QJsonObject toJson(const Region &region)
{
    const qint64 kilometres = kilometresFromUser(region);
    const QString name = shortName(region);
    QJsonObject json{
        {"id", region.id},
        {"is_streaming", region.streaming},
        {"is_free", region.free},
        {"is_alive", region.alive},
        {"server_domain", name + QStringLiteral(".vpn.velmora.io")},
        {"city", QString::fromUtf8(region.city)},
        {"country_code", region.countryCode},
        {"is_p2p", region.p2p},
        {"ip", QStringLiteral("203.0.113.%1").arg(region.id)},
        {"load_percentage", region.load},
        {"country_name", QString::fromUtf8(region.countryName)},
        {"is_nearest",
         region.distance == Distance::Known && kilometres <= RegionCatalogue::nearestKilometres},
        {"location", QJsonObject{{"latitude", region.latitude}, {"longitude", region.longitude}}},
        {"short_name", name},
        {"continent", region.continent},
    };
    if (region.distance == Distance::Known)
        json.insert("distance", kilometres);
    else if (region.distance == Distance::Null)
        json.insert("distance", QJsonValue::Null);
    return json;
}

} // namespace

namespace RegionCatalogue {

QJsonArray regions()
{
    QJsonArray list;
    for (const Region &region : catalogue)
        list.append(toJson(region));
    return list;
}

QJsonArray many(qsizetype count)
{
    const QJsonArray templates = regions();
    QRandomGenerator random(20250101);
    QJsonArray list;
    for (qsizetype i = 0; i < count; ++i) {
        QJsonObject region = templates.at(random.bounded(qsizetype(templates.size()))).toObject();
        region[QStringLiteral("id")] = i + 1;
        region[QStringLiteral("city")] =
            region[QStringLiteral("city")].toString() + u' ' + QString::number(i);
        region[QStringLiteral("load_percentage")] = random.bounded(100);
        if (region[QStringLiteral("distance")].isDouble())
            region[QStringLiteral("distance")] = random.bounded(20000);
        list.append(region);
    }
    return list;
}

QJsonArray bestRegions(int count)
{
    QList<QJsonObject> nearest;
    for (const Region &region : catalogue) {
        const QJsonObject json = toJson(region);
        if (json.value("is_nearest").toBool() && region.alive)
            nearest.append(json);
    }
    const auto score = [](const QJsonObject &json) {
        return json.value("distance").toInteger() + json.value("load_percentage").toInteger();
    };
    std::stable_sort(nearest.begin(), nearest.end(),
                     [&score](const QJsonObject &a, const QJsonObject &b) { return score(a) < score(b); });
    QJsonArray list;
    for (const QJsonObject &json : nearest.mid(0, count))
        list.append(json);
    return list;
}

} // namespace RegionCatalogue
