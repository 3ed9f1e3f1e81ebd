// The stand-in service itself, where a fault would mislead the tests that rely on it.

#include "StandInService.h"
#include "RegionCatalogue.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTest>

namespace {

const QByteArray boundary = "--------------------------487394079664597082378530";

using Fields = QList<QPair<QString, QString>>;

QByteArray formBody(const Fields &fields)
{
    QByteArray body;
    for (const auto &[name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name.toUtf8() +
                "\"\r\n\r\n" + value.toUtf8() + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

struct Reply
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;

    [[nodiscard]] QJsonObject object() const { return QJsonDocument::fromJson(body).object(); }
};

} // namespace

class StandInServiceTest : public QObject
{
    Q_OBJECT

private:
    Reply send(const QByteArray &method, const QString &endpoint, const Fields &fields = {},
               const QByteArray &token = {}, const QList<QPair<QByteArray, QByteArray>> &headers = {})
    {
        QNetworkRequest request(QUrl(m_service->apiUrl() + endpoint));
        request.setTransferTimeout(10000);
        for (const auto &[name, value] : headers)
            request.setRawHeader(name, value);
        if (!token.isNull())
            request.setRawHeader("Authorization", "Bearer " + token);
        QNetworkReply *reply = nullptr;
        if (method == "POST") {
            request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary);
            reply = m_network.post(request, formBody(fields));
        } else {
            reply = m_network.get(request);
        }
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(15000);
        Reply result{reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                     reply->readAll()};
        reply->deleteLater();
        return result;
    }

    QNetworkAccessManager m_network;
    std::unique_ptr<StandInService> m_service;

private Q_SLOTS:
    void init()
    {
        m_service = std::make_unique<StandInService>();
        QVERIFY(m_service->start());
        QVERIFY(m_service->port() != 0);
    }

    void cleanup() { m_service.reset(); }

    void logsRequestsAsTheClientSentThem()
    {
        // An empty token makes the value "Bearer " with its trailing blank, which must survive.
        send("GET", "users/me/plan?x=1", {}, QByteArray(""),
             {{"Cache-control", "no-cache"}, {"X-Spaced", "  a  b  "}});
        const Fields fields{{"code", "X1"}, {"plan_id", "3"}};
        send("POST", "codes/apply", fields, {}, {{"Cache-Control", "no-cache"}});

        const QList<StandInService::Request> requests = m_service->requests();
        QCOMPARE(requests.size(), 2);
        const StandInService::Request &get = requests.at(0);
        QCOMPARE(get.method, QByteArray("GET"));
        QCOMPARE(get.path, QByteArray("/api/users/me/plan?x=1"));
        QCOMPARE(get.endpoint(), QStringLiteral("users/me/plan"));
        const auto names = [](const StandInService::Request &request) {
            QList<QByteArray> list;
            for (const auto &header : request.headers)
                list.append(header.first);
            return list;
        };
        QVERIFY2(names(get).contains("Cache-control"), names(get).join(", "));
        QVERIFY(!names(get).contains("Cache-Control"));
        QCOMPARE(get.header("cache-CONTROL"), QByteArray("no-cache"));
        QCOMPARE(get.header("Authorization"), QByteArray("Bearer "));
        QCOMPARE(get.header("X-Spaced"), QByteArray("a  b  "));

        const StandInService::Request &post = requests.at(1);
        QVERIFY(names(post).contains("Cache-Control"));
        QVERIFY(!post.hasHeader("Authorization"));
        QCOMPARE(post.body, formBody(fields));
        QCOMPARE(post.formFields(), std::optional<Fields>(fields));
        QCOMPARE(m_service->requestsTo("codes/apply").size(), 1);
    }

    void readsFormBodies_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<std::optional<Fields>>("expected");
        const QByteArray contentType = "multipart/form-data; boundary=" + boundary;
        const QByteArray delimiter = "--" + boundary;

        QTest::newRow("one field") << contentType << formBody({{"code", "X1"}})
                                   << std::optional<Fields>(Fields{{"code", "X1"}});
        QTest::newRow("values with line breaks, blanks, UTF-8 and empty")
            << contentType << formBody({{"a", "line\r\nnext --"}, {"b", ""}, {"c", "Zürich 東京"}})
            << std::optional<Fields>(Fields{{"a", "line\r\nnext --"}, {"b", ""}, {"c", "Zürich 東京"}});
        QTest::newRow("no fields: the closing line only") << contentType << delimiter + "--\r\n"
                                                          << std::optional<Fields>(Fields{});
        QTest::newRow("quoted boundary")
            << "multipart/form-data; boundary=\"" + boundary + "\"" << formBody({{"x", "1"}})
            << std::optional<Fields>(Fields{{"x", "1"}});
        QTest::newRow("no closing line")
            << contentType << formBody({{"x", "1"}}).chopped(4) << std::optional<Fields>();
        QTest::newRow("other boundary") << QByteArray("multipart/form-data; boundary=other")
                                        << formBody({{"x", "1"}}) << std::optional<Fields>();
        QTest::newRow("not a form") << QByteArray("application/json") << QByteArray("{}")
                                    << std::optional<Fields>();
        QTest::newRow("part without a name")
            << contentType << delimiter + "\r\nContent-Type: text/plain\r\n\r\nx\r\n" + delimiter + "--\r\n"
            << std::optional<Fields>();
    }

    void readsFormBodies()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(std::optional<Fields>, expected);
        StandInService::Request request{"POST", "/api/codes/apply", {{"Content-Type", contentType}}, body};
        QCOMPARE(request.formFields(), expected);
    }

    void answersAccountsTokensAndCodes_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QString>("token"); // "account", "unknown", "empty" or "" for none
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // "*" for any value

        const QString demo = QString::fromLatin1(StandInService::demoEmail);
        const QString demoPassword = QString::fromLatin1(StandInService::demoPassword);
        QTest::newRow("login") << QByteArray("POST") << "auth/login/email"
                               << Fields{{"email", "ana@example.org"},
                                         {"email_password", "secret-1"},
                                         {"uid", "u"}}
                               << "" << 200 << "access_token"
                               << "account";
        QTest::newRow("login, e-mail in other letter case")
            << QByteArray("POST") << "auth/login/email"
            << Fields{{"email", "ANA@example.org"}, {"email_password", "secret-1"}} << "" << 200
            << "access_token"
            << "account";
        QTest::newRow("login, wrong password")
            << QByteArray("POST") << "auth/login/email"
            << Fields{{"email", "ana@example.org"}, {"email_password", "secret-2"}} << "" << 401 << "message"
            << "These credentials do not match our records.";
        QTest::newRow("demo login") << QByteArray("POST") << "auth/login/email"
                                    << Fields{{"email", demo}, {"email_password", demoPassword}} << "" << 200
                                    << "access_token"
                                    << "*";
        QTest::newRow("sign-up") << QByteArray("POST") << "auth/email"
                                 << Fields{{"email", "new@example.org"},
                                           {"email_password", "secret-9"},
                                           {"uid", "u"}}
                                 << "" << 200 << "access_token"
                                 << "*";
        QTest::newRow("sign-up, taken e-mail")
            << QByteArray("POST") << "auth/email"
            << Fields{{"email", "ana@example.org"}, {"email_password", "secret-9"}, {"uid", "u"}} << "" << 422
            << "message"
            << "The email has already been taken.";
        QTest::newRow("current plan")
            << QByteArray("GET") << "users/me/plan" << Fields{} << "account" << 200 << "status"
            << "active";
        QTest::newRow("unknown token")
            << QByteArray("GET") << "users/me/plan" << Fields{} << "unknown" << 401 << "code"
            << "E0112";
        QTest::newRow("empty token") << QByteArray("GET") << "config/ipsec/0" << Fields{} << "empty" << 401
                                     << "code"
                                     << "E0112";
        QTest::newRow("no token") << QByteArray("GET") << "users/me/regions" << Fields{} << "" << 401
                                  << "code"
                                  << "E0112";
        QTest::newRow("IKEv2 configuration")
            << QByteArray("GET") << "config/ipsec/0" << Fields{} << "account" << 200 << "radius_password"
            << "secret";
        QTest::newRow("code applied")
            << QByteArray("POST") << "codes/applyByEmail"
            << Fields{{"email", "ana@example.org"}, {"code", StandInService::redeemableCode}} << "" << 200
            << "message"
            << "*";
        QTest::newRow("code used") << QByteArray("POST") << "codes/applyByEmail"
                                   << Fields{{"email", "ana@example.org"}, {"code", StandInService::usedCode}}
                                   << "" << 422 << "code"
                                   << "E0142";
        QTest::newRow("code withdrawn")
            << QByteArray("POST") << "codes/applyByEmail"
            << Fields{{"email", "ana@example.org"}, {"code", StandInService::voidCode}} << "" << 422 << "code"
            << "E0143";
        QTest::newRow("code unknown")
            << QByteArray("POST") << "codes/applyByEmail"
            << Fields{{"email", "ana@example.org"}, {"code", "NOPE"}} << "" << 422 << "code"
            << "E0141";
        QTest::newRow("code empty") << QByteArray("POST") << "codes/applyByEmail"
                                    << Fields{{"email", "ana@example.org"}, {"code", ""}} << "" << 422
                                    << "code"
                                    << "E0141";
        QTest::newRow("unknown path")
            << QByteArray("GET") << "users/you" << Fields{} << "account" << 404 << "message"
            << "*";
    }

    void answersAccountsTokensAndCodes()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, endpoint);
        QFETCH(Fields, fields);
        QFETCH(QString, token);
        QFETCH(int, status);
        QFETCH(QString, key);
        QFETCH(QString, value);

        const QByteArray accountToken = m_service->addAccount("ana@example.org", "secret-1");
        const QByteArray sent = token == "account"   ? accountToken
                                : token == "unknown" ? QByteArray("0123456789abcdef")
                                : token == "empty"   ? QByteArray("")
                                                     : QByteArray();
        const Reply reply = send(method, endpoint, fields, sent);
        QCOMPARE(reply.status, status);
        const QJsonObject answer = reply.object();
        QVERIFY2(answer.contains(key), reply.body);
        if (value == "account")
            QCOMPARE(answer.value(key).toString().toLatin1(), accountToken);
        else if (value != "*")
            QCOMPARE(answer.value(key).toString(), value);
        if (status >= 400 && !answer.contains("code"))
            QVERIFY2(answer.value("errors").isObject(), reply.body);
    }

    void signUpThenLogInAndRedeemOnce()
    {
        const Fields form{{"email", "bo@example.org"}, {"email_password", "secret-9"}, {"uid", "device-1"}};
        const QString token = send("POST", "auth/email", form).object().value("access_token").toString();
        QVERIFY(!token.isEmpty());
        QCOMPARE(m_service->tokenOf("bo@example.org"), token.toLatin1());
        QCOMPARE(send("POST", "auth/login/email", form).object().value("access_token").toString(), token);
        QCOMPARE(send("GET", "users/me/plan", {}, token.toLatin1()).object().value("is_trial"),
                 QJsonValue(true));

        const Fields redeem{{"email", "bo@example.org"}, {"code", StandInService::redeemableCode}};
        QCOMPARE(send("POST", "codes/applyByEmail", redeem).status, 200);
        QCOMPARE(send("GET", "users/me/plan", {}, token.toLatin1()).object().value("name").toString(),
                 QStringLiteral("Yearly"));
        QCOMPARE(send("POST", "codes/applyByEmail", redeem).object().value("code").toString(),
                 QStringLiteral("E0142"));
    }

    void usesQueuedAnswersInTurnThenTheStandingOne()
    {
        m_service->answerNext("vpn/plans", {500, "first", 0, false, {}});
        m_service->answerNext("vpn/plans", {201, "second", 0, false, {{"Content-Type", "text/plain"}}});
        m_service->answerAlways("vpn/plans", {503, "always", 0, false, {}});

        const QList<QPair<int, QByteArray>> expected{
            {500, "first"}, {201, "second"}, {503, "always"}, {503, "always"}};
        for (const auto &[status, body] : expected) {
            const Reply reply = send("GET", "vpn/plans");
            QCOMPARE(reply.status, status);
            QCOMPARE(reply.body, body);
        }
        QCOMPARE(send("GET", "users/me/plan").status, 401); // other paths keep the service's own answers
        m_service->clearAnswers();
        QVERIFY(send("GET", "vpn/plans").object().contains("code"));
        QCOMPARE(m_service->requestsTo("vpn/plans").size(), 5);
    }

    void delaysAnAnswer()
    {
        m_service->answerNext("users/me/regions/best", {200, "[]", 400, false, {}});
        QElapsedTimer clock;
        clock.start();
        const Reply reply = send("GET", "users/me/regions/best");
        QVERIFY2(clock.elapsed() >= 400, QByteArray::number(clock.elapsed()));
        QCOMPARE(reply.body, QByteArray("[]"));
    }

    void closesTheConnectionWithoutAnAnswer_data()
    {
        QTest::addColumn<int>("queued");
        QTest::addColumn<bool>("always");
        QTest::addColumn<QNetworkReply::NetworkError>("error");
        QTest::addColumn<int>("requests");
        // The manager sends a request once more when the connection closes before any answer.
        QTest::newRow("queued once: the second try is answered") << 1 << false << QNetworkReply::NoError << 2;
        QTest::newRow("queued twice") << 2 << false << QNetworkReply::RemoteHostClosedError << 2;
        QTest::newRow("always") << 0 << true << QNetworkReply::RemoteHostClosedError << 2;
    }

    void closesTheConnectionWithoutAnAnswer()
    {
        QFETCH(int, queued);
        QFETCH(bool, always);
        QFETCH(QNetworkReply::NetworkError, error);
        QFETCH(int, requests);
        StandInService::Answer closed;
        closed.closeConnection = true;
        for (int i = 0; i < queued; ++i)
            m_service->answerNext("users/me/regions/best", closed);
        if (always)
            m_service->answerAlways("users/me/regions/best", closed);

        const Reply reply = send("GET", "users/me/regions/best");
        QCOMPARE(reply.error, error);
        QCOMPARE(m_service->requests().size(), requests);
    }

    void servesTlsWithACertificateNobodyTrusts()
    {
        m_service = std::make_unique<StandInService>();
        QVERIFY(m_service->start(StandInService::Mode::Tls));
        QVERIFY(m_service->apiUrl().startsWith("https://127.0.0.1:"));
        QVERIFY(!m_service->certificate().isNull());

        QCOMPARE(send("GET", "users/me/regions/best").error, QNetworkReply::SslHandshakeFailedError);
        QCOMPARE(m_service->requests().size(), 0);

        // With its certificate trusted the same server answers: the refusal above was the client's.
        // (A manager of its own: a manager keeps the TLS settings of its first connection to a host.)
        QNetworkAccessManager network;
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.setCaCertificates({m_service->certificate()});
        QNetworkRequest request(QUrl(m_service->apiUrl() + "users/me/regions/best"));
        request.setSslConfiguration(trusting);
        request.setRawHeader("Authorization", "Bearer ");
        QNetworkReply *reply = network.get(request);
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(15000));
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QVERIFY(QJsonDocument::fromJson(reply->readAll()).isArray());
        reply->deleteLater();
        QCOMPARE(m_service->requests().size(), 1);
        QCOMPARE(m_service->requests().first().header("Authorization"), QByteArray("Bearer "));
    }

    void catalogueHasEveryFieldWithItsType()
    {
        const Reply reply =
            send("GET", "users/me/regions", {}, m_service->tokenOf(StandInService::demoEmail));
        const QJsonArray regions = QJsonDocument::fromJson(reply.body).array();
        QVERIFY(regions.size() >= 60);

        const QList<QPair<QString, QJsonValue::Type>> required{
            {"id", QJsonValue::Double},
            {"is_streaming", QJsonValue::Bool},
            {"is_free", QJsonValue::Bool},
            {"is_alive", QJsonValue::Bool},
            {"server_domain", QJsonValue::String},
            {"city", QJsonValue::String},
            {"country_code", QJsonValue::String},
            {"is_p2p", QJsonValue::Bool},
            {"ip", QJsonValue::String},
            {"load_percentage", QJsonValue::Double},
            {"country_name", QJsonValue::String},
            {"is_nearest", QJsonValue::Bool},
            {"location", QJsonValue::Object},
            {"short_name", QJsonValue::String},
            {"continent", QJsonValue::String},
        };
        QSet<qint64> ids;
        QSet<QString> continents;
        int nearest = 0;
        int withoutDistance = 0;
        for (const QJsonValue &value : regions) {
            const QJsonObject region = value.toObject();
            for (const auto &[key, type] : required)
                QVERIFY2(region.value(key).type() == type,
                         qPrintable(key + " in " + region.value("city").toString()));
            const QJsonObject location = region.value("location").toObject();
            QVERIFY(location.value("latitude").isDouble() && location.value("longitude").isDouble());
            QVERIFY(qAbs(location.value("latitude").toDouble()) <= 90);
            QVERIFY(qAbs(location.value("longitude").toDouble()) <= 180);
            ids.insert(region.value("id").toInteger());
            continents.insert(region.value("continent").toString());
            const QJsonValue distance = region.value("distance");
            QVERIFY(distance.isDouble() || distance.isNull() || distance.isUndefined());
            if (!distance.isDouble())
                ++withoutDistance;
            if (region.value("is_nearest").toBool()) {
                ++nearest;
                QVERIFY(distance.toInteger() <= RegionCatalogue::nearestKilometres);
            }
        }
        QCOMPARE(ids.size(), regions.size());
        QCOMPARE(continents,
                 (QSet<QString>{"Africa", "Asia", "Europe", "North America", "Oceania", "South America"}));
        QVERIFY(nearest > 1 && nearest < regions.size() / 2);
        QVERIFY(withoutDistance >= 2);
    }
};

QTEST_GUILESS_MAIN(StandInServiceTest)
#include "StandInServiceTest.moc"
