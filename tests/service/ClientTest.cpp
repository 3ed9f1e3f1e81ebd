#include "Client.h"
#include "Console.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "StallWatch.h"
#include "StandInService.h"
#include "TestHelpers.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>

using TestHelpers::jsonAnswer;

namespace {

using Fields = QList<QPair<QString, QString>>;
using Header = QPair<QByteArray, QByteArray>;

const QString token = QStringLiteral("tok-5f1e-never-printed");
const QString password = QStringLiteral("pw-Zq7-never-printed");
const QByteArray delimiter = "----------------------------487394079664597082378530";

// The headers the network stack adds by itself; everything else on the wire is the client's own.
const QList<QByteArray> transportHeaders{"host",       "connection",    "accept-encoding", "accept-language",
                                         "user-agent", "content-length"};

QList<Header> clientHeaders(const StandInService::Request &request)
{
    QList<Header> own;
    for (const auto &header : request.headers) {
        if (!transportHeaders.contains(header.first.toLower()))
            own.append(header);
    }
    return own;
}

QByteArray form(const Fields &fields)
{
    QByteArray body;
    for (const auto &[name, value] : fields)
        body += delimiter + "\r\nContent-Disposition: form-data; name=\"" + name.toUtf8() + "\"\r\n\r\n"
            + value.toUtf8() + "\r\n";
    return body + delimiter + "--\r\n";
}

struct Outcome
{
    bool called = false;
    std::optional<Error> error;
    std::optional<JSON> json;
    std::optional<int> status;
    QThread *thread = nullptr;
};
using OutcomePtr = std::shared_ptr<Outcome>;

Client::GetCompletion record(const OutcomePtr &outcome)
{
    return [outcome](std::optional<Error> error, std::optional<JSON> json) {
        *outcome = {true, error, json, std::nullopt, QThread::currentThread()};
    };
}

Client::PostCompletion recordPost(const OutcomePtr &outcome)
{
    return [outcome](std::optional<Error> error, std::optional<JSON> json, std::optional<int> status) {
        *outcome = {true, error, json, status, QThread::currentThread()};
    };
}

bool waitFor(const OutcomePtr &outcome, int timeoutMs = 5000)
{
    return QTest::qWaitFor([&] { return outcome->called; }, timeoutMs);
}

// A GET and a POST started together, as a caller of the client does.
struct Pair
{
    OutcomePtr get = std::make_shared<Outcome>();
    OutcomePtr post = std::make_shared<Outcome>();
    QThread *caller = nullptr;
    bool doneAtReturn = false;

    [[nodiscard]] bool finished(int timeoutMs = 5000) const
    {
        return waitFor(get, timeoutMs) && waitFor(post, timeoutMs);
    }
};

// Both requests to url, the POST with the password in its form; on a worker thread when asked.
Pair send(const QString &url, bool fromWorker = false)
{
    Pair pair;
    const auto start = [&pair, url] {
        pair.caller = QThread::currentThread();
        Client::shared().get(url, true, record(pair.get));
        Client::shared().post(url, {{"password", password}}, true, recordPost(pair.post));
        pair.doneAtReturn = pair.get->called && pair.post->called;
    };
    if (fromWorker) {
        std::unique_ptr<QThread> worker(QThread::create(start));
        worker->start();
        worker->wait();
    } else {
        start();
    }
    return pair;
}

// One operation of the client as the service sees it.
struct Endpoint
{
    const char *name;
    QString path;
    bool auth;
    std::optional<Fields> form; // none: a GET
    std::function<void(Client &, const Pair &)> call;
};

std::function<void(Client &, const Pair &)> getting(void (Client::*operation)(Client::GetCompletion))
{
    return [operation](Client &c, const Pair &p) { (c.*operation)(record(p.get)); };
}

// Built on first use, when the device fields and the stored uid are known.
const QList<Endpoint> &endpoints()
{
    static const QList<Endpoint> table = [] {
        using P = const Pair &;
        const Client &client = Client::shared();
        const Fields device{{"platform", client.platform()},
                            {"os", client.os()},
                            {"app_version", client.appVersion()},
                            {"device_name", client.deviceName()}};
        const Fields uid{{"uid", Preferences::uid().value_or(QString())}};
        return QList<Endpoint>{
            {"signupWithUid", "auth/signup", false,
             Fields{{"uid", "u-1"}, {"uid_password", password}} + device,
             [](Client &c, P p) { c.signupWithUid("u-1", password, recordPost(p.post)); }},
            {"associateUser", "auth/email", false,
             Fields{{"email", "a@b.c"}, {"email_password", password}, {"uid", "u-2"}} + device,
             [](Client &c, P p) { c.associateUser("a@b.c", password, "u-2", recordPost(p.post)); }},
            {"loginWithUid", "auth/login/uid", false,
             Fields{{"uid", "u-3"}, {"uid_password", password}} + device,
             [](Client &c, P p) { c.loginWithUid("u-3", password, recordPost(p.post)); }},
            {"loginWithEmail", "auth/login/email", false,
             Fields{{"email", "a@b.c"}, {"email_password", password}} + device + uid,
             [](Client &c, P p) { c.loginWithEmail("a@b.c", password, recordPost(p.post)); }},
            {"userInformation", "users/me", true, {}, getting(&Client::userInformation)},
            {"userIp", "users/me/ip", true, {}, getting(&Client::userIp)},
            {"userPlans", "vpn/plans", true, {}, getting(&Client::userPlans)},
            {"userCurrentPlan", "users/me/plan", true, {}, getting(&Client::userCurrentPlan)},
            {"userDelete", "users/me/delete", true, {}, getting(&Client::userDelete)},
            {"userRegions", "users/me/regions", true, {}, getting(&Client::userRegions)},
            {"userBestRegions", "users/me/regions/best", false, {}, getting(&Client::userBestRegions)},
            {"IPSecConfiguration",
             "config/ipsec/0",
             true,
             {},
             [](Client &c, P p) { c.IPSecConfiguration("0", record(p.get)); }},
            {"openVPNConfiguration",
             "config/openvpn/17",
             true,
             {},
             [](Client &c, P p) { c.openVPNConfiguration("17", record(p.get)); }},
            {"codesApply", "codes/apply", false, Fields{{"code", "X1"}, {"plan_id", "3"}},
             [](Client &c, P p) { c.codesApply("X1", "3", recordPost(p.post)); }},
            {"receiptValidate/subscription", "receipt-validator/itunes", false,
             Fields{{"receipt", "r-1"}, {"is_subscription", "1"}},
             [](Client &c, P p) { c.receiptValidate("r-1", true, recordPost(p.post)); }},
            {"receiptValidate/purchase", "receipt-validator/itunes", false,
             Fields{{"receipt", "r-1"}, {"is_subscription", "0"}},
             [](Client &c, P p) { c.receiptValidate("r-1", false, recordPost(p.post)); }},
            {"resetPassword", "auth/reset-password", false, Fields{{"email", "a@b.c"}},
             [](Client &c, P p) { c.resetPassword("a@b.c", recordPost(p.post)); }},
            {"resetPasswordWithCode", "auth/verify-code", false,
             Fields{{"email", "a@b.c"}, {"code", "424242"}},
             [](Client &c, P p) { c.resetPasswordWithCode("a@b.c", "424242", recordPost(p.post)); }},
            {"resetPasswordWithPassword", "auth/update-password", true,
             Fields{{"password", password}, {"password_confirmation", password}},
             [](Client &c, P p) { c.resetPasswordWithPassword("a@b.c", password, recordPost(p.post)); }},
            {"redeemCodeByEmail", "codes/applyByEmail", false, Fields{{"email", "a@b.c"}, {"code", "X2"}},
             [](Client &c, P p) { c.redeemCodeByEmail("a@b.c", "X2", recordPost(p.post)); }},
        };
    }();
    return table;
}

enum class Reading { Json, NotJson, Logout };

} // namespace

Q_DECLARE_METATYPE(Reading)

class ClientTest : public QObject
{
    Q_OBJECT

    StandInService m_service;
    Console::Capture m_console;
    QStringList m_allLines;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        QCOMPARE(Client::serverPath(), m_service.apiUrl());
    }

    void init() { Preferences::setToken(token); }

    void cleanup()
    {
        Client::shared().setTransferTimeout(std::chrono::seconds(10));
        m_service.clearAnswers();
        m_service.clearRequests();
        m_allLines += m_console.lines();
        m_console.clear();
    }

    void cleanupTestCase()
    {
        m_allLines += m_console.lines();
        QVERIFY(!m_allLines.isEmpty());
        for (const QString &line : std::as_const(m_allLines))
            QVERIFY2(!line.contains(token) && !line.contains(password), qPrintable(line));
        Preferences::setToken(std::nullopt);
    }

    void endpointRequests_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("tokenStored");
        for (qsizetype i = 0; i < endpoints().size(); ++i) {
            QTest::addRow("%s/token", endpoints()[i].name) << int(i) << true;
            QTest::addRow("%s/no token", endpoints()[i].name) << int(i) << false;
        }
    }

    void endpointRequests()
    {
        QFETCH(int, index);
        QFETCH(bool, tokenStored);
        const Endpoint &endpoint = endpoints()[index];
        if (!tokenStored)
            Preferences::setToken(std::nullopt);
        m_service.answerNext(endpoint.path, jsonAnswer(200, "{}"));

        const Pair pair;
        endpoint.call(Client::shared(), pair);
        QVERIFY(QTest::qWaitFor([&] { return pair.get->called || pair.post->called; }, 5000));
        QVERIFY(!pair.get->error && !pair.post->error);

        const auto requests = m_service.requests();
        QCOMPARE(requests.size(), 1);
        const auto &request = requests.first();
        QCOMPARE(request.method, QByteArray(endpoint.form ? "POST" : "GET"));
        QCOMPARE(request.path, "/api/" + endpoint.path.toUtf8());

        // An authorised GET always names the bearer, token or not; a POST only with a token.
        QList<Header> expected{{"Accept", "application/json"}};
        if (!endpoint.form) {
            expected.append(Header{"Cache-control", "no-cache"});
            if (endpoint.auth)
                expected.append(
                    Header{"Authorization", tokenStored ? "Bearer " + token.toUtf8() : "Bearer "});
            QVERIFY(request.body.isEmpty());
        } else {
            expected.append(Header{"Cache-Control", "no-cache"});
            expected.append(Header{"Content-Type", "multipart/form-data; boundary=" + delimiter.mid(2)});
            if (endpoint.auth && tokenStored)
                expected.append(Header{"Authorization", "Bearer " + token.toUtf8()});
            QCOMPARE(request.body, form(*endpoint.form));
        }
        QCOMPARE(clientHeaders(request), expected);
    }

    void postBodyIsTheFormByteForByte()
    {
        for (const Fields &fields : {Fields{{"code", "X1"}}, Fields{}}) {
            const Pair pair;
            Client::shared().post(m_service.apiUrl() + "codes/apply", fields, false, recordPost(pair.post));
            QVERIFY(waitFor(pair.post));
        }
        const auto requests = m_service.requests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].body,
                 delimiter + "\r\nContent-Disposition: form-data; name=\"code\"\r\n\r\nX1\r\n" + delimiter
                     + "--\r\n");
        QCOMPARE(requests[1].body, delimiter + "--\r\n");
    }

    void invalidUrlFailsAtOnceOnTheCallersThread_data()
    {
        QTest::addColumn<QString>("tail"); // after the service's address, or a whole address with a scheme
        QTest::addColumn<bool>("fromWorker");
        const QStringList tails{"config/ipsec/1 2", "config/ipsec/<1>",   "config/ipsec/%zz",
                                "config/ipsec/a|b", "config/ipsec/\"1\"", "file:///etc/passwd",
                                "users/me",         "https:///api/"};
        for (const QString &tail : tails) {
            QTest::addRow("%s", qPrintable(tail)) << tail << false;
            QTest::addRow("%s/worker", qPrintable(tail)) << tail << true;
        }
    }

    void invalidUrlFailsAtOnceOnTheCallersThread()
    {
        QFETCH(QString, tail);
        QFETCH(bool, fromWorker);
        // "users/me" alone is a bare relative path; the other tails go after the service's address.
        const bool whole = tail.contains(QLatin1Char(':')) || tail == QLatin1String("users/me");
        const Pair pair = send(whole ? tail : m_service.apiUrl() + tail, fromWorker);

        QVERIFY(pair.doneAtReturn);
        for (const auto &outcome : {pair.get, pair.post}) {
            QCOMPARE(outcome->thread, pair.caller);
            QCOMPARE(outcome->error, Error("Invalid URL"));
            QVERIFY(!outcome->json && !outcome->status);
        }
        QTest::qWait(50);
        QVERIFY(m_service.requests().isEmpty());
    }

    void answers_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Reading>("reading");
        QTest::addColumn<bool>("fromWorker"); // started there, completed on the main thread all the same

        const QByteArray deep = QByteArray(100'000, '[') + QByteArray(100'000, ']');
        const QByteArray ok = R"({"message":"ok"})";
        QTest::newRow("200 object") << 200 << ok << Reading::Json << false;
        QTest::newRow("200 object, from a worker") << 200 << ok << Reading::Json << true;
        QTest::newRow("401 with JSON")
            << 401 << QByteArray(R"({"errors":{},"message":"Unauthenticated."})") << Reading::Json << false;
        QTest::newRow("500 with JSON")
            << 500 << QByteArray(R"({"message":"Server Error"})") << Reading::Json << false;
        QTest::newRow("array") << 200 << QByteArray("[1,2]") << Reading::Json << false;
        QTest::newRow("empty body") << 200 << QByteArray() << Reading::NotJson << false;
        QTest::newRow("not JSON") << 200 << QByteArray("<html>Bad Gateway</html>") << Reading::NotJson
                                  << false;
        QTest::newRow("top-level number") << 200 << QByteArray("5") << Reading::NotJson << false;
        QTest::newRow("top-level text") << 200 << QByteArray(R"("x")") << Reading::NotJson << false;
        QTest::newRow("nested 100000 deep") << 200 << deep << Reading::NotJson << false;
        // 50,000 strings of 1,000 letters: what a runaway region list might look like.
        QByteArray big = "[\"" + QByteArray(1'000, 'x') + '"';
        for (int i = 1; i < 50'000; ++i)
            big += ",\"" + QByteArray(1'000, 'x') + '"';
        QTest::newRow("50 MB") << 200 << big + ']' << Reading::Json << false;
        QTest::newRow("invalid UTF-8")
            << 200 << QByteArray("{\"message\":\"a\xff\xfe\"}") << Reading::NotJson << true;
        // A forced logout ends a GET without its completion; a POST gets the answer as it is.
        QTest::newRow("E0112, 401") << 401 << QByteArray(R"({"code":"E0112","message":"Unauthenticated."})")
                                    << Reading::Logout << false;
        QTest::newRow("E0112, 200") << 200 << QByteArray(R"({"code":"E0112"})") << Reading::Logout << false;
        QTest::newRow("code 112 as a number")
            << 200 << QByteArray(R"({"code":112})") << Reading::Json << false;
        QTest::newRow("code in lower case")
            << 200 << QByteArray(R"({"code":"e0112"})") << Reading::Json << false;
        QTest::newRow("code in an array")
            << 200 << QByteArray(R"([{"code":"E0112"}])") << Reading::Json << false;
    }

    void answers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(Reading, reading);
        QFETCH(bool, fromWorker);
        m_service.answerAlways("users/me", jsonAnswer(status, body));
        QObject observer;
        QList<QThread *> logouts;
        NotificationCenter::defaultCenter().addObserver(QStringLiteral("logout"), &observer,
                                                        [&](QObject *object) {
                                                            QVERIFY(!object);
                                                            logouts.append(QThread::currentThread());
                                                        });

        const StallWatch stalls;
        const Pair pair = send(m_service.apiUrl() + "users/me", fromWorker);
        QVERIFY(waitFor(pair.post, 60'000));
        if (reading == Reading::Logout) {
            QTRY_COMPARE(logouts, QList<QThread *>{QThread::currentThread()});
            QTest::qWait(200);
            QVERIFY(!pair.get->called);
        } else {
            QVERIFY(waitFor(pair.get, 60'000));
            QCOMPARE(pair.get->thread, QThread::currentThread());
            QVERIFY(logouts.isEmpty());
        }
        QTest::qWait(20);
        QVERIFY2(stalls.longestMs() < 5'000, qPrintable(QString::number(stalls.longestMs())));
        QCOMPARE(pair.post->thread, QThread::currentThread());
        QCOMPARE(pair.post->status, status);
        QCOMPARE(m_service.requests().value(0).header("Authorization"), "Bearer " + token.toUtf8());

        const QStringList lines = m_console.lines();
        const QRegularExpression getEntry(
            QStringLiteral(R"(^GET: Optional\(http://127\.0\.0\.1:\d+/api/users/me\)\n )"
                           R"(<HTTP response: %1 \{ .*Content-Type: application/json.* \}>$)")
                .arg(status));
        QCOMPARE(lines.filter(getEntry).size(), 1);

        if (reading == Reading::NotJson) {
            QCOMPARE(pair.get->error, Error("Unknown error"));
            QVERIFY(!pair.get->json && !pair.post->json);
            QVERIFY(pair.post->error && pair.post->error->domain() == QLatin1String("QJsonParseError"));
            QCOMPARE(lines.filter(QRegularExpression("^JSON Parsing Error: .+")).size(), 1);
        } else {
            const JSON expected = *JSON::parse(body);
            QVERIFY(!pair.post->error);
            QCOMPARE(pair.post->json, expected);
            if (reading == Reading::Json)
                QVERIFY(!pair.get->error && pair.get->json == expected);
            QVERIFY(lines.filter(QStringLiteral("JSON Parsing Error: ")).isEmpty());
        }
        QCOMPARE(Preferences::token(), std::optional<QString>(token));
    }

    void transportErrors_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("service down") << "down";
        QTest::newRow("untrusted certificate") << "tls";
        QTest::newRow("connection closed without answer") << "closed";
        QTest::newRow("no answer within 10 s") << "late";
    }

    void transportErrors()
    {
        QFETCH(QString, kind);
        StandInService tlsService;
        QString base = m_service.apiUrl();
        if (kind == QLatin1String("down")) {
            QTcpServer vacated;
            QVERIFY(vacated.listen(QHostAddress::LocalHost));
            base = QStringLiteral("http://127.0.0.1:%1/api/").arg(vacated.serverPort());
        } else if (kind == QLatin1String("tls")) {
            QVERIFY(tlsService.start(StandInService::Mode::Tls));
            base = tlsService.apiUrl();
        } else if (kind == QLatin1String("closed")) {
            m_service.answerAlways("users/me", TestHelpers::closedConnection());
        } else {
            StandInService::Answer late = jsonAnswer(200, "{}");
            late.delayMs = 30'000;
            m_service.answerAlways("users/me", late);
        }

        const StallWatch stalls;
        QElapsedTimer clock;
        clock.start();
        const Pair pair = send(base + "users/me");
        QVERIFY(pair.finished(15'000));
        const qint64 elapsed = clock.elapsed();
        QVERIFY(pair.get->error && pair.post->error);
        QCOMPARE(pair.get->error->domain(), QStringLiteral("QNetworkReply"));
        QVERIFY(!pair.get->json && !pair.post->json && !pair.post->status);
        QCOMPARE(pair.get->thread, QThread::currentThread());
        QCOMPARE(pair.post->thread, QThread::currentThread());
        const QStringList lines = m_console.lines();
        QCOMPARE(lines.filter(QRegularExpression(R"(^Error Domain=QNetworkReply Code=\d+ ".+"$)")).size(), 1);
        QCOMPARE(lines.filter(QStringLiteral("Error: ") + pair.post->error->localizedDescription()).size(),
                 1);
        QVERIFY(lines.filter(QStringLiteral("GET: ")).isEmpty());
        QVERIFY2(stalls.longestMs() < 2'000, qPrintable(QString::number(stalls.longestMs())));
        if (kind == QLatin1String("tls"))
            QVERIFY(tlsService.requests().isEmpty());
        if (kind == QLatin1String("late")) {
            QVERIFY2(elapsed >= 9'500 && elapsed < 13'000, qPrintable(QString::number(elapsed)));
            QCOMPARE(pair.get->error, Error("QNetworkReply", 4, "The request timed out."));
            QVERIFY(lines.contains(
                QStringLiteral("Error Domain=QNetworkReply Code=4 \"The request timed out.\"")));
        }
        QCOMPARE(Preferences::token(), std::optional<QString>(token));
    }

    void storedTokenWithControlCharactersStaysOffTheWire_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("CR LF and a header") << QStringLiteral("tok\r\nX-Injected: 1");
        QTest::newRow("LF") << QStringLiteral("tok\nX-Injected: 1");
        QTest::newRow("CR") << QStringLiteral("tok\rX-Injected: 1");
        QTest::newRow("NUL") << QString::fromUtf8("tok\0X-Injected", 14);
        QTest::newRow("tab") << QStringLiteral("tok\tX");
        QTest::newRow("escape") << QStringLiteral("tok\x1b[2J");
        QTest::newRow("DEL") << QStringLiteral("tok\x7f");
        QTest::newRow("NEL") << QStringLiteral("tok\u0085X");
    }

    void storedTokenWithControlCharactersStaysOffTheWire()
    {
        QFETCH(QString, stored);
        Preferences::setToken(stored);
        m_service.answerAlways("users/me", jsonAnswer(200, "{}"));
        QVERIFY(send(m_service.apiUrl() + "users/me").finished());

        const auto requests = m_service.requests();
        QCOMPARE(requests.size(), 2);
        const auto isControl = [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7f; };
        for (const auto &request : requests) {
            for (const auto &[name, value] : request.headers)
                QVERIFY2(std::none_of(value.cbegin(), value.cend(), isControl), value.toHex(' ').constData());
            QVERIFY(!request.hasHeader("X-Injected"));
            // As if no token were stored: an authorised GET names the bearer alone, a POST not at all.
            if (request.method == "GET")
                QCOMPARE(request.header("Authorization"), "Bearer ");
            else
                QVERIFY(!request.hasHeader("Authorization"));
        }
    }

    void requestsWaitingForAConnectionDoNotTimeOut()
    {
        // The client keeps six connections to the service: 30 requests answered after 300 ms each
        // take five rounds, longer than the time-out, which must count only on the wire.
        Client::shared().setTransferTimeout(std::chrono::milliseconds(1'000));
        StandInService::Answer slow = jsonAnswer(200, "{}");
        slow.delayMs = 300;
        m_service.answerAlways("users/me", slow);
        QList<Pair> pairs;
        for (int i = 0; i < 15; ++i)
            pairs.append(send(m_service.apiUrl() + "users/me"));
        for (const Pair &pair : std::as_const(pairs)) {
            QVERIFY(pair.finished(10'000));
            for (const auto &outcome : {pair.get, pair.post})
                QVERIFY2(!outcome->error, qPrintable(outcome->error->localizedDescription()));
        }
        QCOMPARE(m_service.requests().size(), 30);

        // A request on the wire still runs out of time.
        slow.delayMs = 5'000;
        m_service.answerAlways("users/me", slow);
        QElapsedTimer clock;
        clock.start();
        const Pair late = send(m_service.apiUrl() + "users/me");
        QVERIFY(late.finished(4'000));
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(late.get->error, Error("QNetworkReply", 4, "The request timed out."));
        QCOMPARE(late.post->error, Error("QNetworkReply", 4, "The request timed out."));
    }
};

QTEST_GUILESS_MAIN(ClientTest)
#include "ClientTest.moc"
