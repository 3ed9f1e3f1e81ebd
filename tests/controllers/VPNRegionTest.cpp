#include "VPNRegionList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

struct Row
{
    qint64 id;
    QString name;
    bool nearest = true;
    std::optional<qint64> distance = std::nullopt;
    qint64 load = 0;
};

QJsonObject jsonOf(const Row &r)
{
    QJsonObject region = QJsonDocument::fromJson(R"({"is_streaming": true, "is_free": false, "is_alive": true,
        "server_domain": "s.example", "city": "Frankfurt", "country_code": "DE", "is_p2p": true, "ip": "192.0.2.7",
        "location": {"latitude": 50.11, "longitude": 8.68}, "short_name": "fra", "continent": "Europe",
        "provider": "not a field"})")
                             .object();
    region["id"] = r.id;
    region["country_name"] = r.name;
    region["is_nearest"] = r.nearest;
    region["distance"] = r.distance ? QJsonValue(*r.distance) : QJsonValue();
    region["load_percentage"] = r.load;
    return region;
}

QJsonArray arrayOf(const QList<Row> &rows)
{
    QJsonArray json;
    for (const Row &row : rows)
        json.append(jsonOf(row));
    return json;
}

// A valid element, then one with the members of change put in and the member removed taken out.
QJsonValue answerWith(const char *change, const QString &removed = {})
{
    QJsonObject element = jsonOf(Row{2, "Spain"});
    const QJsonObject changes = QJsonDocument::fromJson(change).object();
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
        element.insert(it.key(), it.value());
    element.remove(removed);
    return QJsonArray{jsonOf(Row{1, "Italy"}), element};
}

QList<qint64> idsOf(const QList<VPNRegion> &regions)
{
    QList<qint64> ids;
    for (const VPNRegion &region : regions)
        ids.append(region.id);
    return ids;
}

constexpr qint64 largest = std::numeric_limits<qint64>::max();

} // namespace

Q_DECLARE_METATYPE(QList<Row>)

class VPNRegionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodesEveryField()
    {
        const VPNRegion frankfurt{
            7,           true, false,     true, "s.example", "Frankfurt",     "DE",  true,
            "192.0.2.7", 62,   "Germany", 12,   true,        {50.11f, 8.68f}, "fra", "Europe"};
        QCOMPARE(VPNRegion::decodeList(arrayOf({Row{7, "Germany", true, 12, 62}})),
                 QList<VPNRegion>{frankfurt});
    }

    // A catalogue of 100,000 regions repeats a few hundred cities: equal texts keep one copy.
    void repeatedTextsShareOneCopy()
    {
        const QList<VPNRegion> regions =
            VPNRegion::decodeList(arrayOf({Row{1, "Germany"}, Row{2, "Germany"}, Row{3, "Spain"}})).value();
        QCOMPARE(regions.at(1).country_name, QStringLiteral("Germany"));
        QCOMPARE(regions.at(0).country_name.constData(), regions.at(1).country_name.constData());
        QVERIFY(regions.at(0).country_name.constData() != regions.at(2).country_name.constData());
        for (const VPNRegion &region : regions.sliced(1)) {
            QCOMPARE(region.city.constData(), regions.at(0).city.constData());
            QCOMPARE(region.country_code.constData(), regions.at(0).country_code.constData());
            QCOMPARE(region.short_name.constData(), regions.at(0).short_name.constData());
            QCOMPARE(region.continent.constData(), regions.at(0).continent.constData());
        }
    }

    void decodesStrictly_data()
    {
        QTest::addColumn<QJsonValue>("answer");
        QTest::addColumn<QString>("error"); // empty: the list decodes
        const auto row = [](const char *name, const QJsonValue &answer, const char *error) {
            QTest::newRow(name) << answer << QString(error);
        };
        row("no distance", answerWith("{}", "distance"), "");
        row("largest id", answerWith(R"({"id": 9223372036854775807, "distance": null})"), "");
        row("missing", answerWith("{}", "city"), R"(region at index 1: key "city" is missing)");
        row("null", answerWith(R"({"city": null})"), R"(key "city" is null, expected a string)");
        row("text for integer", answerWith(R"({"id": "7"})"),
            R"(key "id" holds a string, expected an integer)");
        row("fraction", answerWith(R"({"distance": 2.5})"),
            R"(key "distance" holds 2.5, which is not a whole)");
        row("smallest id", answerWith(R"({"id": -9223372036854775807})"), "");
        row("beyond 64 bits", answerWith(R"({"id": 9223372036854775808})"), "not a whole number from");
        row("below 64 bits", answerWith(R"({"id": -9223372036854775809})"), R"(key "id" holds -9.22)");
        row("fraction below 64 bits", answerWith(R"({"distance": -9223372036854775808.5})"),
            R"(key "distance" holds -9.22)");
        row("number for Boolean", answerWith(R"({"is_free": 1})"), R"(key "is_free" holds a number)");
        row("nested", answerWith(R"({"location": {"latitude": "50", "longitude": 8}})"),
            R"(key "location.latitude" holds a string)");
        row("beyond a float", answerWith(R"({"location": {"latitude": 1, "longitude": 1e300}})"),
            "does not fit a 32-bit float");
        row("not an object", QJsonArray{"Berlin"}, "region at index 0 is a string, expected an object");
        row("not a list", QJsonObject{}, "expected an array of regions, found an object");
    }

    void decodesStrictly()
    {
        QFETCH(QJsonValue, answer);
        QFETCH(QString, error);
        QString description;
        QCOMPARE(VPNRegion::decodeList(answer, &description).has_value(), error.isEmpty());
        QVERIFY2(description.contains(error), qPrintable(description));
    }

    void sortsByScalarValuesOfNfc_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<qint64>>("order");
        const auto row = [](const char *name, const QStringList &names, const QList<qint64> &order) {
            QTest::newRow(name) << names << order;
        };
        row("capitals first", {"albania", "Zambia", "Austria"}, {2, 1, 0});
        // U+FF21 is below U+1D400, whose surrogates sort first by UTF-16 units.
        row("scalar values", {"\U0001D400", "\uFF21", "A"}, {2, 1, 0});
        row("canonical equivalents keep their order", {"e\u0301", "f", "\u00e9", "e\u0301"}, {1, 0, 2, 3});
        row("stable", {"Spain", "Italy", "Spain", "Italy"}, {1, 3, 0, 2});
        row("nothing trimmed", {"Chile", " Peru"}, {1, 0});
    }

    void sortsByScalarValuesOfNfc()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<qint64>, order);
        QList<Row> rows;
        for (qsizetype i = 0; i < names.size(); ++i)
            rows.append({i, names[i]});
        QList<VPNRegion> regions = VPNRegion::decodeList(arrayOf(rows)).value();
        VPNRegionList::sortByCountryName(regions);
        QCOMPARE(idsOf(regions), order);
    }

    void choosesOptimal_data()
    {
        QTest::addColumn<QList<Row>>("rows");
        QTest::addColumn<std::optional<qsizetype>>("optimal");

        const auto row = [](const char *name, const QList<Row> &rows, std::optional<qsizetype> optimal) {
            QTest::newRow(name) << rows << optimal;
        };
        row("smallest sum", {{1, "A", true, 100, 50}, {2, "B", true, 90, 70}, {3, "C", true, 80, 60}}, 2);
        row("tie to the first", {{1, "A", true, 10, 5}, {2, "B", true, 5, 10}}, 0);
        row("only nearest compete", {{1, "A", false, 0, 0}, {2, "B", true, 500, 50}}, 1);
        row("none nearest: all compete", {{1, "A", false, 500, 0}, {2, "B", false, 5, 0}}, 1);
        row("no distance loses to a smaller sum", {{1, "A", true, {}, 0}, {2, "B", true, largest - 1, 0}}, 1);
        row("no distances: the first", {{1, "A", true, {}, 0}, {2, "B", true, {}, 0}}, 0);
        // Wrapping would make these sums negative, the smallest of all.
        row("sum above the range stays largest", {{1, "A", true, {}, 5}, {2, "B", true, 100, 0}}, 1);
        row("sum below the range stays smallest", {{1, "A", true, 0, 0}, {2, "B", true, -largest, -9}}, 1);
        row("empty", {}, std::nullopt);
    }

    void choosesOptimal()
    {
        QFETCH(QList<Row>, rows);
        QFETCH(std::optional<qsizetype>, optimal);
        QCOMPARE(VPNRegionList::optimalIndex(VPNRegion::decodeList(arrayOf(rows)).value()), optimal);
    }

    void arrangesInStages()
    {
        // The optimal region (id 5) shares its id with a far one: both go, the optimal comes back first.
        const QJsonArray answer = arrayOf({{4, "Spain", true, 900, 10},
                                           {5, "France", true, 100, 10},
                                           {6, "Austria", false, 50, 0},
                                           {5, "Zambia", true, 9000, 0},
                                           {7, "\U0001F30D", true, {}, 0}});
        const std::optional<VPNRegionList::Arrangement> arranged = VPNRegionList::arrange(answer);
        QVERIFY(arranged);
        QList<QList<qint64>> stages;
        for (const QList<VPNRegion> &stage : arranged->stages)
            stages.append(idsOf(stage));
        const QList<QList<qint64>> expected{{4, 5, 6, 5, 7}, {6, 5, 4, 5, 7}, {6, 4, 7}, {5, 6, 4, 7}};
        QCOMPARE(stages, expected);
        QCOMPARE(arranged->stages.last().first().country_name, "Optimal region\nFrance");
        QVERIFY(!arranged->noneNearest);

        QString error;
        QVERIFY(!VPNRegionList::arrange(answerWith("{}", "ip"), &error));
        QCOMPARE(error, "region at index 1: key \"ip\" is missing, expected a string");
        const auto alone = VPNRegionList::arrange(arrayOf({Row{8, "Peru", false}}));
        QVERIFY(alone && alone->noneNearest);
        QCOMPARE(alone->stages.last().first().country_name, "Optimal region\nPeru");
    }
};

QTEST_GUILESS_MAIN(VPNRegionTest)
#include "VPNRegionTest.moc"
