#include "ServerResponse.h"

#include <QJsonObject>
#include <QtTest>

class ServerResponseTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fromRepresentation_data();
    void fromRepresentation();
};

void ServerResponseTest::fromRepresentation_data()
{
    QTest::addColumn<QVariant>("representation");
    QTest::addColumn<bool>("made");

    const QVariantMap complete{{"short_name", "fra"}, {"continent", "Europe"}, {"load", 12}};
    QTest::newRow("map") << QVariant(complete) << true;
    QTest::newRow("JSON object") << QVariant::fromValue(QJsonObject::fromVariantMap(complete)) << true;

    QVariantMap noContinent = complete;
    noContinent.remove("continent");
    QTest::newRow("map without continent") << QVariant(noContinent) << false;
    QTest::newRow("JSON object without continent")
        << QVariant::fromValue(QJsonObject::fromVariantMap(noContinent)) << false;

    QVariantMap numericName = complete;
    numericName["short_name"] = 7;
    QTest::newRow("map with a number for the name") << QVariant(numericName) << false;
    QTest::newRow("JSON object with a number for the name")
        << QVariant::fromValue(QJsonObject::fromVariantMap(numericName)) << false;
    QVariantMap nullContinent = complete;
    nullContinent["continent"] = QVariant::fromValue(nullptr);
    QTest::newRow("map with a null continent") << QVariant(nullContinent) << false;

    QTest::newRow("text") << QVariant(QStringLiteral("fra")) << false;
    QTest::newRow("list") << QVariant(QVariantList{complete}) << false;
    QTest::newRow("nothing") << QVariant() << false;
}

void ServerResponseTest::fromRepresentation()
{
    QFETCH(QVariant, representation);
    QFETCH(bool, made);
    const std::optional<ServerResponse> response = ServerResponse::fromRepresentation(representation);
    QCOMPARE(response.has_value(), made);
    if (made) {
        QCOMPARE(response->shortName(), QStringLiteral("fra"));
        QCOMPARE(response->continent(), QStringLiteral("Europe"));
    }
}

QTEST_GUILESS_MAIN(ServerResponseTest)
#include "ServerResponseTest.moc"
