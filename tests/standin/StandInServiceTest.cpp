// The stand-in service itself, where a fault would mislead the tests that rely on it.

#include "StandInService.h"
#include "RegionCatalogue.h"
#include "VPNRegion.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSet>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTest>

namespace {

using Fields = QList<QPair<QString, QString>>;

const QByteArray boundary = "--------------------------487394079664597082378530";

QByteArray formBody(const Fields &fields)
{
    QByteArray body;
    for (const auto &[name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name.toUtf8() + "\"\r\n\r\n"
            + value.toUtf8() + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

struct Reply
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
};

} // namespace

class StandInServiceTest : public QObject
{
    Q_OBJECT

    // A GET, or a POST of the form when there are fields; headers as given.
    Reply send(const QString &endpoint, const QList<QPair<QByteArray, QByteArray>> &headers = {},
               const Fields &fields = {}, QNetworkAccessManager *network = nullptr,
               const QSslConfiguration &tls = QSslConfiguration::defaultConfiguration())
    {
        QNetworkRequest request(QUrl(m_service->apiUrl() + endpoint));
        request.setTransferTimeout(10000);
        request.setSslConfiguration(tls);
        for (const auto &[name, value] : headers)
            request.setRawHeader(name, value);
        network = network ? network : &m_network;
        QNetworkReply *reply = nullptr;
        if (fields.isEmpty()) {
            reply = network->get(request);
        } else {
            request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary);
            reply = network->post(request, formBody(fields));
        }
        QSignalSpy finished(reply, &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(15000);
        const Reply result{reply->error(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
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
    }

    void cleanup() { m_service.reset(); }

    void logsRequestsAsTheClientSentThem()
    {
        // An empty token makes the value "Bearer " with its trailing blank, which must survive.
        send("users/me/plan?x=1",
             {{"Cache-control", "no-cache"}, {"X-Spaced", "  a  b  "}, {"Authorization", "Bearer "}});
        const Fields fields{{"code", "X1"}, {"plan_id", "3"}};
        send("codes/apply", {{"Cache-Control", "no-cache"}}, fields);

        const QList<StandInService::Request> requests = m_service->requests();
        QCOMPARE(requests.size(), 2);
        const StandInService::Request &get = requests.at(0);
        QCOMPARE(get.method, QByteArray("GET"));
        QCOMPARE(get.path, QByteArray("/api/users/me/plan?x=1"));
        QCOMPARE(get.endpoint(), QStringLiteral("users/me/plan"));
        using Header = QPair<QByteArray, QByteArray>;
        QVERIFY(get.headers.contains(Header("Cache-control", "no-cache"))); // the letter case as sent
        QCOMPARE(get.header("cache-CONTROL"), QByteArray("no-cache"));
        QCOMPARE(get.header("Authorization"), QByteArray("Bearer "));
        QCOMPARE(get.header("X-Spaced"), QByteArray("a  b  "));

        const StandInService::Request &post = requests.at(1);
        QVERIFY(post.headers.contains(Header("Cache-Control", "no-cache")));
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
        const QByteArray form = "multipart/form-data; boundary=" + boundary;
        const QByteArray delimiter = "--" + boundary;
        const Fields odd{{"a", "line\r\nnext --"}, {"b", ""}, {"c", "Zürich 東京"}};
        using Expected = std::optional<Fields>;

        QTest::newRow("one field") << form << formBody({{"code", "X1"}}) << Expected(Fields{{"code", "X1"}});
        QTest::newRow("line breaks, blanks, UTF-8 and empty") << form << formBody(odd) << Expected(odd);
        QTest::newRow("no fields: the closing line only") << form << delimiter + "--\r\n"
                                                          << Expected(Fields{});
        QTest::newRow("quoted boundary") << "multipart/form-data; boundary=\"" + boundary + "\""
                                         << formBody({{"x", "1"}}) << Expected(Fields{{"x", "1"}});
        QTest::newRow("no closing line") << form << formBody({{"x", "1"}}).chopped(4) << Expected();
        QTest::newRow("other boundary")
            << QByteArray("multipart/form-data; boundary=other") << formBody({{"x", "1"}}) << Expected();
        QTest::newRow("not a form") << QByteArray("application/json") << QByteArray("{}") << Expected();
        QTest::newRow("part without a name")
            << form << delimiter + "\r\nContent-Type: text/plain\r\n\r\nx\r\n" + delimiter + "--\r\n"
            << Expected();
    }

    void readsFormBodies()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(std::optional<Fields>, expected);
        StandInService::Request request{"POST", "/api/codes/apply", {{"Content-Type", contentType}}, body};
        QCOMPARE(request.formFields(), expected);
    }

    void usesQueuedAnswersInTurnThenTheStandingOne()
    {
        m_service->answerNext("vpn/plans", {500, "first", 400, false, {}});
        m_service->answerNext("vpn/plans", {201, "second", 0, false, {{"Content-Type", "text/plain"}}});
        m_service->answerAlways("vpn/plans", {503, "always", 0, false, {}});

        QElapsedTimer clock;
        clock.start();
        const QList<QPair<int, QByteArray>> expected{
            {500, "first"}, {201, "second"}, {503, "always"}, {503, "always"}};
        for (const auto &[status, body] : expected) {
            const Reply reply = send("vpn/plans");
            QCOMPARE(reply.status, status);
            QCOMPARE(reply.body, body);
            if (body == "first")
                QVERIFY2(clock.elapsed() >= 400, QByteArray::number(clock.elapsed()));
        }
        // Other paths keep the service's own answers: a forced logout for a missing or unknown token.
        QCOMPARE(send("users/me/plan").status, 401);
        QVERIFY(send("users/me", {{"Authorization", "Bearer 0123456789abcdef"}}).body.contains("\"E0112\""));
        m_service->clearAnswers();
        QVERIFY(send("vpn/plans").body.contains("\"E0112\""));
        QCOMPARE(m_service->requestsTo("vpn/plans").size(), 5);
    }

    void closesTheConnectionWithoutAnAnswer_data()
    {
        QTest::addColumn<int>("queued");
        QTest::addColumn<bool>("always");
        QTest::addColumn<QNetworkReply::NetworkError>("error");
        // The manager sends a request once more when the connection closes before any answer.
        QTest::newRow("queued once: the second try is answered") << 1 << false << QNetworkReply::NoError;
        QTest::newRow("queued twice") << 2 << false << QNetworkReply::RemoteHostClosedError;
        QTest::newRow("always") << 0 << true << QNetworkReply::RemoteHostClosedError;
    }

    void closesTheConnectionWithoutAnAnswer()
    {
        QFETCH(int, queued);
        QFETCH(bool, always);
        QFETCH(QNetworkReply::NetworkError, error);
        StandInService::Answer closed;
        closed.closeConnection = true;
        for (int i = 0; i < queued; ++i)
            m_service->answerNext("users/me/regions/best", closed);
        if (always)
            m_service->answerAlways("users/me/regions/best", closed);

        QCOMPARE(send("users/me/regions/best").error, error);
        QCOMPARE(m_service->requests().size(), 2);
    }

    void servesTlsWithACertificateNobodyTrusts()
    {
        m_service = std::make_unique<StandInService>();
        QVERIFY(m_service->start(StandInService::Mode::Tls));
        QVERIFY(m_service->apiUrl().startsWith("https://127.0.0.1:"));
        QCOMPARE(send("users/me/regions/best").error, QNetworkReply::SslHandshakeFailedError);
        QCOMPARE(m_service->requests().size(), 0);

        // With its certificate trusted the same server answers: the refusal above was the client's.
        // (A manager of its own: a manager keeps the TLS settings of its first connection to a host.)
        QNetworkAccessManager network;
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.setCaCertificates({m_service->certificate()});
        const Reply reply =
            send("users/me/regions/best", {{"Authorization", "Bearer "}}, {}, &network, trusting);
        QCOMPARE(reply.error, QNetworkReply::NoError);
        QVERIFY(QJsonDocument::fromJson(reply.body).isArray());
        QCOMPARE(m_service->requests().size(), 1);
        QCOMPARE(m_service->requests().first().header("Authorization"), QByteArray("Bearer "));
    }

    void catalogueHasEveryFieldWithItsType()
    {
        const QByteArray token = "Bearer " + m_service->tokenOf(StandInService::demoEmail);
        const QByteArray body = send("users/me/regions", {{"Authorization", token}}).body;
        // The application's own strict decoder checks every key and its JSON type.
        QString error;
        const std::optional<QList<VPNRegion>> regions =
            VPNRegion::decodeList(QJsonDocument::fromJson(body).array(), &error);
        QVERIFY2(regions, qPrintable(error));
        QVERIFY(regions->size() >= 60);

        QSet<qint64> ids;
        QSet<QString> continents;
        int nearest = 0;
        int withoutDistance = 0;
        for (const VPNRegion &region : *regions) {
            QVERIFY(qAbs(region.location.latitude) <= 90 && qAbs(region.location.longitude) <= 180);
            ids.insert(region.id);
            continents.insert(region.continent);
            withoutDistance += !region.distance;
            if (region.is_nearest) {
                ++nearest;
                QVERIFY(region.distance.value_or(0) <= RegionCatalogue::nearestKilometres);
            }
        }
        QCOMPARE(ids.size(), regions->size());
        QCOMPARE(continents,
                 (QSet<QString>{"Africa", "Asia", "Europe", "North America", "Oceania", "South America"}));
        QVERIFY(nearest > 1 && nearest < regions->size() / 2);
        QVERIFY(withoutDistance >= 2);
    }
};

QTEST_GUILESS_MAIN(StandInServiceTest)
#include "StandInServiceTest.moc"
