#include "ServerResponse.h"

#include <QJsonObject>
#include <QtTest>

class ServerResponseTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every map is read both as a variant map and as a JSON object.
    void fromRepresentation()
    {
        const QVariantMap complete{{"short_name", "fra"}, {"continent", "Europe"}, {"load", 12}};
        QVariantMap noContinent = complete;
        noContinent.remove("continent");
        QVariantMap numericName = complete;
        numericName["short_name"] = 7;
        QVariantMap nullContinent = complete;
        nullContinent["continent"] = QVariant::fromValue(nullptr);
        const auto forms = [](const QVariantMap &map) {
            return QVariantList{map, QVariant::fromValue(QJsonObject::fromVariantMap(map))};
        };

        for (const QVariant &made : forms(complete)) {
            const std::optional<ServerResponse> response = ServerResponse::fromRepresentation(made);
            QVERIFY(response);
            QCOMPARE(response->shortName(), QStringLiteral("fra"));
            QCOMPARE(response->continent(), QStringLiteral("Europe"));
        }
        const QVariantList refused = forms(noContinent) + forms(numericName) + forms(nullContinent)
            + QVariantList{QStringLiteral("fra"), QVariantList{complete}, QVariant()};
        for (const QVariant &representation : refused)
            QVERIFY(!ServerResponse::fromRepresentation(representation));
    }
};

QTEST_GUILESS_MAIN(ServerResponseTest)
#include "ServerResponseTest.moc"
