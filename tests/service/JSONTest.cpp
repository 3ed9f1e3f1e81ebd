#include "Error.h"
#include "JSON.h"

#include <QtTest>

namespace {

JSON member(const char *document, const char *key)
{
    return (*JSON::parse(document))[QString::fromUtf8(key)];
}

} // namespace

class JSONTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void optionalAccessors_data();
    void optionalAccessors();
    void plainAccessors_data();
    void plainAccessors();
    void lookupOnlyFindsMembersAndElements();
};

void JSONTest::parse_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("parses");
    QTest::newRow("object") << QByteArray(R"({"a":1})") << true;
    QTest::newRow("array in blanks") << QByteArray(" [1, \"x\"]\n") << true;
    QTest::newRow("nested 1000 deep") << QByteArray(1'000, '[') + QByteArray(1'000, ']') << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("number") << QByteArray("5") << false;
    QTest::newRow("text") << QByteArray(R"("x")") << false;
    QTest::newRow("true") << QByteArray("true") << false;
    QTest::newRow("null") << QByteArray("null") << false;
    QTest::newRow("trailing garbage") << QByteArray("{} x") << false;
    QTest::newRow("truncated") << QByteArray(R"({"a":)") << false;
    QTest::newRow("invalid UTF-8") << QByteArray("{\"a\":\"\xc3\x28\"}") << false;
    QTest::newRow("nested 100000 deep") << QByteArray(100'000, '[') + QByteArray(100'000, ']') << false;
}

void JSONTest::parse()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, parses);
    Error error(QStringLiteral("untouched"));
    const std::optional<JSON> json = JSON::parse(data, &error);
    QCOMPARE(json.has_value(), parses);
    if (parses) {
        QVERIFY(json->exists());
        QCOMPARE(error.domain(), QStringLiteral("untouched"));
    } else {
        QCOMPARE(error.domain(), QStringLiteral("QJsonParseError"));
        QVERIFY(error.code() != 0);
        QVERIFY(error.localizedDescription().contains(QLatin1String(" at offset ")));
    }
}

void JSONTest::optionalAccessors_data()
{
    using Text = std::optional<QString>;
    using Integer = std::optional<qint64>;
    using Number = std::optional<double>;
    using Boolean = std::optional<bool>;
    QTest::addColumn<QByteArray>("value"); // a JSON value, read as the member "v"
    QTest::addColumn<Text>("string");
    QTest::addColumn<Integer>("integer");
    QTest::addColumn<Number>("number");
    QTest::addColumn<Boolean>("boolean");
    QTest::addColumn<qsizetype>("arraySize"); // -1: no array

    QTest::newRow("text") << QByteArray(R"("12")") << Text("12") << Integer() << Number() << Boolean() << qsizetype(-1);
    QTest::newRow("fraction dropped") << QByteArray("-2.9") << Text() << Integer(-2) << Number(-2.9) << Boolean()
                                      << qsizetype(-1);
    QTest::newRow("beyond 2^53 kept exact") << QByteArray("9007199254740993") << Text() << Integer(9007199254740993)
                                            << Number(9007199254740992.0) << Boolean() << qsizetype(-1);
    QTest::newRow("beyond 64 bits") << QByteArray("1e300") << Text() << Integer() << Number(1e300) << Boolean()
                                    << qsizetype(-1);
    QTest::newRow("true") << QByteArray("true") << Text() << Integer(1) << Number() << Boolean(true) << qsizetype(-1);
    QTest::newRow("false") << QByteArray("false") << Text() << Integer(0) << Number() << Boolean(false)
                           << qsizetype(-1);
    QTest::newRow("null") << QByteArray("null") << Text() << Integer() << Number() << Boolean() << qsizetype(-1);
    QTest::newRow("array") << QByteArray("[1,[2],{}]") << Text() << Integer() << Number() << Boolean() << qsizetype(3);
}

void JSONTest::optionalAccessors()
{
    QFETCH(QByteArray, value);
    QFETCH(std::optional<QString>, string);
    QFETCH(std::optional<qint64>, integer);
    QFETCH(std::optional<double>, number);
    QFETCH(std::optional<bool>, boolean);
    QFETCH(qsizetype, arraySize);

    const JSON json = member(R"({"v":)" + value + "}", "v");
    QCOMPARE(json.string(), string);
    QCOMPARE(json.integer(), integer);
    QCOMPARE(json.number(), number);
    QCOMPARE(json.boolean(), boolean);
    QCOMPARE(json.array() ? json.array()->size() : -1, arraySize);

    const JSON missing = member(R"({"v":)" + value + "}", "w");
    QVERIFY(!missing.exists() && !missing.string() && !missing.integer() && !missing.number() && !missing.boolean()
            && !missing.array());
}

void JSONTest::plainAccessors_data()
{
    QTest::addColumn<QByteArray>("value"); // empty: a missing member
    QTest::addColumn<QString>("stringValue");
    QTest::addColumn<qint64>("intValue");
    QTest::addColumn<double>("doubleValue");
    QTest::addColumn<bool>("boolValue");

    QTest::newRow("missing") << QByteArray() << "" << qint64(0) << 0.0 << false;
    QTest::newRow("object") << QByteArray("{}") << "" << qint64(0) << 0.0 << false;
    QTest::newRow("number 112") << QByteArray("112") << "112" << qint64(112) << 112.0 << true;
    QTest::newRow("number 0.5") << QByteArray("0.5") << "0.5" << qint64(0) << 0.5 << true;
    QTest::newRow("false") << QByteArray("false") << "false" << qint64(0) << 0.0 << false;
    QTest::newRow("true") << QByteArray("true") << "true" << qint64(1) << 1.0 << true;
    QTest::newRow("text 1") << QByteArray(R"("1")") << "1" << qint64(1) << 1.0 << true;
    QTest::newRow("text 2") << QByteArray(R"("2")") << "2" << qint64(2) << 2.0 << false;
    QTest::newRow("text 7.8") << QByteArray(R"(" 7.8")") << " 7.8" << qint64(7) << 7.8 << false;
    QTest::newRow("text nan") << QByteArray(R"("nan")") << "nan" << qint64(0) << 0.0 << false;
    for (const char *truth : {"true", "TRUE", "y", "Y", "t", "T", "yes", "Yes"})
        QTest::addRow("text %s", truth) << '"' + QByteArray(truth) + '"' << truth << qint64(0) << 0.0 << true;
    for (const char *other : {"on", "no", "yes ", "tr", ""})
        QTest::addRow("text '%s'", other) << '"' + QByteArray(other) + '"' << other << qint64(0) << 0.0 << false;
}

void JSONTest::plainAccessors()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, stringValue);
    QFETCH(qint64, intValue);
    QFETCH(double, doubleValue);
    QFETCH(bool, boolValue);

    const JSON json = value.isEmpty() ? member("{}", "v") : member(R"({"v":)" + value + "}", "v");
    QCOMPARE(json.stringValue(), stringValue);
    QCOMPARE(json.intValue(), intValue);
    QCOMPARE(json.doubleValue(), doubleValue);
    QCOMPARE(json.boolValue(), boolValue);
    QVERIFY(json.arrayValue().isEmpty());
}

void JSONTest::lookupOnlyFindsMembersAndElements()
{
    const JSON json = *JSON::parse(R"({"list":[{"code":"E0112"},"x"],"text":"abc","n":null})");
    QCOMPARE(json["list"][0]["code"].stringValue(), QStringLiteral("E0112"));
    QCOMPARE(json["list"].arrayValue().size(), 2);
    QVERIFY(!json["list"][2].exists());
    QVERIFY(!json["list"][-1].exists());
    QVERIFY(!json["list"]["code"].exists());
    QVERIFY(!json["text"]["code"].exists());
    QVERIFY(!json["text"][0].exists());
    QVERIFY(!json[0].exists());
    QVERIFY(json["n"].exists());
    QVERIFY(!json["missing"]["deeper"][3].exists());

    QVERIFY(json["list"][0] == *JSON::parse(R"({"code":"E0112"})"));
    QVERIFY(!(json["list"][1] == json["text"]));
    QVERIFY(json["missing"] == json["other"]);
}

QTEST_GUILESS_MAIN(JSONTest)
#include "JSONTest.moc"
