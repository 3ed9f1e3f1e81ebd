#include "JSON.h"
#include "Error.h"

#include <QtTest>

namespace {

// The member "v" of an object holding value; an empty value leaves the member out.
JSON member(const QByteArray &value)
{
    return (*JSON::parse(value.isEmpty() ? "{}" : R"({"v":)" + value + "}"))[QStringLiteral("v")];
}

template <typename T> QVariant orNone(const std::optional<T> &value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

} // namespace

class JSONTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Empty, scalar, deeply nested and invalid UTF-8 answers also go through the client's tests.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("parses");
        QTest::newRow("object") << QByteArray(R"({"a":1})") << true;
        QTest::newRow("array in blanks") << QByteArray(" [1, \"x\"]\n") << true;
        QTest::newRow("nested 1000 deep") << QByteArray(1'000, '[') + QByteArray(1'000, ']') << true;
        QTest::newRow("true") << QByteArray("true") << false;
        QTest::newRow("null") << QByteArray("null") << false;
        QTest::newRow("trailing garbage") << QByteArray("{} x") << false;
        QTest::newRow("invalid UTF-8") << QByteArray("{\"a\":\"\xc3\x28\"}") << false;
        QTest::newRow("nested 100000 deep") << QByteArray(100'000, '[') + QByteArray(100'000, ']') << false;
    }

    void parse()
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

    void accessors_data()
    {
        QTest::addColumn<QByteArray>("value");
        // string(), integer(), number(), boolean() and the array's size; an invalid QVariant for none
        QTest::addColumn<QVariantList>("optional");
        // stringValue(), intValue(), doubleValue(), boolValue(); arrayValue() is the array or empty
        QTest::addColumn<QVariantList>("plain");
        const QVariant none;
        const auto row = [](const char *name, const QByteArray &value, const QVariantList &optional,
                            const QVariantList &plain) { QTest::newRow(name) << value << optional << plain; };
        const auto text = [&](const char *letters, qint64 intValue, double doubleValue, bool boolValue) {
            const QString string = QString::fromUtf8(letters);
            QTest::addRow("text '%s'", letters)
                << '"' + QByteArray(letters) + '"' << QVariantList{string, none, none, none, none}
                << QVariantList{string, intValue, doubleValue, boolValue};
        };
        const QVariantList nothing{QString(), qint64(0), 0.0, false};
        row("missing", "", {none, none, none, none, none}, nothing);
        row("object", "{}", {none, none, none, none, none}, nothing);
        row("null", "null", {none, none, none, none, none}, nothing);
        row("array", "[1,[2],{}]", {none, none, none, none, qsizetype(3)}, nothing);
        row("number 112", "112", {none, qint64(112), 112.0, none, none}, {"112", qint64(112), 112.0, true});
        row("number 0.5", "0.5", {none, qint64(0), 0.5, none, none}, {"0.5", qint64(0), 0.5, true});
        row("fraction dropped", "-2.9", {none, qint64(-2), -2.9, none, none},
            {"-2.9", qint64(-2), -2.9, true});
        row("beyond 2^53 kept exact", "9007199254740993",
            {none, qint64(9007199254740993), 9007199254740992.0, none, none},
            {"9007199254740993", qint64(9007199254740993), 9007199254740992.0, true});
        row("beyond 64 bits", "1e300", {none, none, 1e300, none, none}, {"1e+300", qint64(0), 1e300, true});
        row("true", "true", {none, qint64(1), none, true, none}, {"true", qint64(1), 1.0, true});
        row("false", "false", {none, qint64(0), none, false, none}, {"false", qint64(0), 0.0, false});
        text("12", 12, 12, false);
        text("1", 1, 1, true);
        text(" 7.8", 7, 7.8, false);
        text("nan", 0, 0, false);
        for (const char *truth : {"true", "TRUE", "y", "Y", "t", "T", "yes", "Yes"})
            text(truth, 0, 0, true);
        for (const char *other : {"on", "no", "yes ", "tr", ""})
            text(other, 0, 0, false);
    }

    void accessors()
    {
        QFETCH(QByteArray, value);
        QFETCH(QVariantList, optional);
        QFETCH(QVariantList, plain);
        const JSON json = member(value);
        QCOMPARE(json.exists(), !value.isEmpty());
        const QVariant size = json.array() ? QVariant::fromValue(json.array()->size()) : QVariant();
        QCOMPARE((QVariantList{orNone(json.string()), orNone(json.integer()), orNone(json.number()),
                               orNone(json.boolean()), size}),
                 optional);
        QCOMPARE((QVariantList{json.stringValue(), json.intValue(), json.doubleValue(), json.boolValue()}),
                 plain);
        QCOMPARE(json.arrayValue().size(), size.isValid() ? size.value<qsizetype>() : 0);
    }

    void lookupOnlyFindsMembersAndElements()
    {
        const JSON json = *JSON::parse(R"({"list":[{"code":"E0112"},"x"],"text":"abc","n":null})");
        QCOMPARE(json["list"][0]["code"].stringValue(), QStringLiteral("E0112"));
        QCOMPARE(json["list"].arrayValue().size(), 2);
        QVERIFY(json["n"].exists());
        for (const JSON &absent :
             {json["list"][2], json["list"][-1], json["list"]["code"], json["text"]["code"], json["text"][0],
              json[0], json["missing"]["deeper"][3]})
            QVERIFY(!absent.exists());

        QVERIFY(json["list"][0] == *JSON::parse(R"({"code":"E0112"})"));
        QVERIFY(!(json["list"][1] == json["text"]));
        QVERIFY(json["missing"] == json["other"]);
    }
};

QTEST_GUILESS_MAIN(JSONTest)
#include "JSONTest.moc"
