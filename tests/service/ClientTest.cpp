#include "Client.h"
#include "Console.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "StandInService.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Fields = QList<QPair<QString, QString>>;
using Answer = StandInService::Answer;
using Header = QPair<QByteArray, QByteArray>;

const QString token = QStringLiteral("tok-5f1e-never-printed");
const QString password = QStringLiteral("pw-Zq7-never-printed");
const QByteArray delimiter = "----------------------------487394079664597082378530";

// The headers the network stack adds by itself; everything else on the wire is the client's own.
const QList<QByteArray> transportHeaders{"host", "connection", "accept-encoding", "accept-language", "user-agent",
                                         "content-length"};

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

Answer answer(int status, const QByteArray &body)
{
    Answer a;
    a.status = status;
    a.body = body;
    a.headers = {{"Content-Type", "application/json"}};
    return a;
}

struct Outcome
{
    bool called = false;
    std::optional<Error> error;
    std::optional<JSON> json;
    std::optional<int> status;
    QThread *thread = nullptr;
};

Client::GetCompletion record(const std::shared_ptr<Outcome> &outcome)
{
    return [outcome](std::optional<Error> error, std::optional<JSON> json) {
        *outcome = {true, error, json, std::nullopt, QThread::currentThread()};
    };
}

Client::PostCompletion recordPost(const std::shared_ptr<Outcome> &outcome)
{
    return [outcome](std::optional<Error> error, std::optional<JSON> json, std::optional<int> status) {
        *outcome = {true, error, json, status, QThread::currentThread()};
    };
}

bool waitFor(const std::shared_ptr<Outcome> &outcome, int timeoutMs = 5000)
{
    return QTest::qWaitFor([&] { return outcome->called; }, timeoutMs);
}

// One operation of the client as the service sees it.
struct Endpoint
{
    const char *name;
    QByteArray verb;
    QString path;
    bool auth;
    std::function<Fields()> fields; // evaluated after the call, with the device fields known
    std::function<void(Client &, const std::shared_ptr<Outcome> &)> call;
};

Fields deviceFields()
{
    const Client &client = Client::shared();
    return {{"platform", client.platform()},
            {"os", client.os()},
            {"app_version", client.appVersion()},
            {"device_name", client.deviceName()}};
}

const QList<Endpoint> &endpoints()
{
    static const QList<Endpoint> table{
        {"signupWithUid", "POST", "auth/signup", false,
         [] { return Fields{{"uid", "u-1"}, {"uid_password", password}} + deviceFields(); },
         [](Client &c, auto o) { c.signupWithUid("u-1", password, recordPost(o)); }},
        {"associateUser", "POST", "auth/email", false,
         [] { return Fields{{"email", "a@b.c"}, {"email_password", password}, {"uid", "u-2"}} + deviceFields(); },
         [](Client &c, auto o) { c.associateUser("a@b.c", password, "u-2", recordPost(o)); }},
        {"loginWithUid", "POST", "auth/login/uid", false,
         [] { return Fields{{"uid", "u-3"}, {"uid_password", password}} + deviceFields(); },
         [](Client &c, auto o) { c.loginWithUid("u-3", password, recordPost(o)); }},
        {"loginWithEmail", "POST", "auth/login/email", false,
         [] {
             return Fields{{"email", "a@b.c"}, {"email_password", password}} + deviceFields()
                 + Fields{{"uid", Preferences::uid().value_or(QString())}};
         },
         [](Client &c, auto o) { c.loginWithEmail("a@b.c", password, recordPost(o)); }},
        {"userInformation", "GET", "users/me", true, {}, [](Client &c, auto o) { c.userInformation(record(o)); }},
        {"userIp", "GET", "users/me/ip", true, {}, [](Client &c, auto o) { c.userIp(record(o)); }},
        {"userPlans", "GET", "vpn/plans", true, {}, [](Client &c, auto o) { c.userPlans(record(o)); }},
        {"userCurrentPlan", "GET", "users/me/plan", true, {}, [](Client &c, auto o) { c.userCurrentPlan(record(o)); }},
        {"userDelete", "GET", "users/me/delete", true, {}, [](Client &c, auto o) { c.userDelete(record(o)); }},
        {"userRegions", "GET", "users/me/regions", true, {}, [](Client &c, auto o) { c.userRegions(record(o)); }},
        {"userBestRegions", "GET", "users/me/regions/best", false, {},
         [](Client &c, auto o) { c.userBestRegions(record(o)); }},
        {"IPSecConfiguration", "GET", "config/ipsec/0", true, {},
         [](Client &c, auto o) { c.IPSecConfiguration("0", record(o)); }},
        {"openVPNConfiguration", "GET", "config/openvpn/17", true, {},
         [](Client &c, auto o) { c.openVPNConfiguration("17", record(o)); }},
        {"codesApply", "POST", "codes/apply", false, [] { return Fields{{"code", "X1"}, {"plan_id", "3"}}; },
         [](Client &c, auto o) { c.codesApply("X1", "3", recordPost(o)); }},
        {"receiptValidate/subscription", "POST", "receipt-validator/itunes", false,
         [] { return Fields{{"receipt", "r-1"}, {"is_subscription", "1"}}; },
         [](Client &c, auto o) { c.receiptValidate("r-1", true, recordPost(o)); }},
        {"receiptValidate/purchase", "POST", "receipt-validator/itunes", false,
         [] { return Fields{{"receipt", "r-1"}, {"is_subscription", "0"}}; },
         [](Client &c, auto o) { c.receiptValidate("r-1", false, recordPost(o)); }},
        {"resetPassword", "POST", "auth/reset-password", false, [] { return Fields{{"email", "a@b.c"}}; },
         [](Client &c, auto o) { c.resetPassword("a@b.c", recordPost(o)); }},
        {"resetPasswordWithCode", "POST", "auth/verify-code", false,
         [] { return Fields{{"email", "a@b.c"}, {"code", "424242"}}; },
         [](Client &c, auto o) { c.resetPasswordWithCode("a@b.c", "424242", recordPost(o)); }},
        {"resetPasswordWithPassword", "POST", "auth/update-password", true,
         [] { return Fields{{"password", password}, {"password_confirmation", password}}; },
         [](Client &c, auto o) { c.resetPasswordWithPassword("a@b.c", password, recordPost(o)); }},
        {"redeemCodeByEmail", "POST", "codes/applyByEmail", false,
         [] { return Fields{{"email", "a@b.c"}, {"code", "X2"}}; },
         [](Client &c, auto o) { c.redeemCodeByEmail("a@b.c", "X2", recordPost(o)); }},
    };
    return table;
}

} // namespace

class ClientTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void endpointRequests_data();
    void endpointRequests();
    void postBodyIsTheFormByteForByte();
    void invalidUrlFailsAtOnceOnTheCallersThread_data();
    void invalidUrlFailsAtOnceOnTheCallersThread();
    void requestFromAWorkerThreadCompletesOnTheMainThread();
    void answers_data();
    void answers();
    void forcedLogoutOnlyOnGet_data();
    void forcedLogoutOnlyOnGet();
    void transportErrors_data();
    void transportErrors();
    void timeOutAfterTenSecondsKeepsTheLoopRunning();
    void fiftyMegabyteAnswer();

private:
    StandInService m_service;
    std::unique_ptr<Console::Capture> m_console;
    QStringList m_allLines;
};

void ClientTest::initTestCase()
{
    QVERIFY(m_service.start());
    qputenv("VELMORA_API_URL", m_service.apiUrl().toUtf8());
    QCOMPARE(Client::serverPath(), m_service.apiUrl());
    m_console = std::make_unique<Console::Capture>();
}

void ClientTest::init()
{
    Preferences::setToken(token);
}

void ClientTest::cleanup()
{
    m_service.clearAnswers();
    m_service.clearRequests();
    m_allLines += m_console->lines();
    m_console->clear();
}

void ClientTest::cleanupTestCase()
{
    m_allLines += m_console->lines();
    QVERIFY(!m_allLines.isEmpty());
    for (const QString &line : std::as_const(m_allLines)) {
        QVERIFY2(!line.contains(token) && !line.contains(password), qPrintable(line));
    }
    Preferences::setToken(std::nullopt);
}

void ClientTest::endpointRequests_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("tokenStored");
    for (qsizetype i = 0; i < endpoints().size(); ++i) {
        QTest::addRow("%s/token", endpoints()[i].name) << int(i) << true;
        QTest::addRow("%s/no token", endpoints()[i].name) << int(i) << false;
    }
}

void ClientTest::endpointRequests()
{
    QFETCH(int, index);
    QFETCH(bool, tokenStored);
    const Endpoint &endpoint = endpoints()[index];
    if (!tokenStored)
        Preferences::setToken(std::nullopt);
    m_service.answerNext(endpoint.path, answer(200, "{}"));

    auto outcome = std::make_shared<Outcome>();
    endpoint.call(Client::shared(), outcome);
    QVERIFY(waitFor(outcome));
    QVERIFY(!outcome->error);

    const auto requests = m_service.requests();
    QCOMPARE(requests.size(), 1);
    const auto &request = requests.first();
    QCOMPARE(request.method, endpoint.verb);
    QCOMPARE(request.path, "/api/" + endpoint.path.toUtf8());

    // An authorised GET always names the bearer, token or not; a POST only with a token.
    QList<Header> expected{{"Accept", "application/json"}};
    if (endpoint.verb == "GET") {
        expected.append(Header{"Cache-control", "no-cache"});
        if (endpoint.auth)
            expected.append(Header{"Authorization", tokenStored ? "Bearer " + token.toUtf8() : "Bearer "});
        QVERIFY(request.body.isEmpty());
    } else {
        expected.append(Header{"Cache-Control", "no-cache"});
        expected.append(Header{"Content-Type", "multipart/form-data; boundary=" + delimiter.mid(2)});
        if (endpoint.auth && tokenStored)
            expected.append(Header{"Authorization", "Bearer " + token.toUtf8()});
        QCOMPARE(request.body, form(endpoint.fields()));
    }
    QCOMPARE(clientHeaders(request), expected);
}

void ClientTest::postBodyIsTheFormByteForByte()
{
    auto outcome = std::make_shared<Outcome>();
    Client::shared().post(m_service.apiUrl() + "codes/apply", {{"code", "X1"}}, false, recordPost(outcome));
    QVERIFY(waitFor(outcome));
    outcome = std::make_shared<Outcome>();
    Client::shared().post(m_service.apiUrl() + "codes/apply", {}, false, recordPost(outcome));
    QVERIFY(waitFor(outcome));

    const auto requests = m_service.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].body, QByteArray("----------------------------487394079664597082378530\r\n"
                                          "Content-Disposition: form-data; name=\"code\"\r\n"
                                          "\r\n"
                                          "X1\r\n"
                                          "----------------------------487394079664597082378530--\r\n"));
    QCOMPARE(requests[1].body, QByteArray("----------------------------487394079664597082378530--\r\n"));
}

void ClientTest::invalidUrlFailsAtOnceOnTheCallersThread_data()
{
    QTest::addColumn<QString>("tail"); // after the service's address, or a whole address when it has a scheme
    QTest::addColumn<bool>("fromWorker");
    const QStringList tails{"config/ipsec/1 2", "config/ipsec/<1>", "config/ipsec/%zz", "config/ipsec/a|b",
                            "config/ipsec/\"1\"", "file:///etc/passwd", "users/me", "https:///api/"};
    for (const QString &tail : tails) {
        QTest::addRow("%s", qPrintable(tail)) << tail << false;
        QTest::addRow("%s/worker", qPrintable(tail)) << tail << true;
    }
}

void ClientTest::invalidUrlFailsAtOnceOnTheCallersThread()
{
    QFETCH(QString, tail);
    QFETCH(bool, fromWorker);
    // "users/me" alone is a bare relative path; the other tails go after the service's address.
    const QString path = tail.contains(QLatin1Char(':')) || tail == QLatin1String("users/me")
        ? tail
        : m_service.apiUrl() + tail;

    auto get = std::make_shared<Outcome>();
    auto post = std::make_shared<Outcome>();
    bool doneBeforeReturn = false;
    QThread *caller = nullptr;
    auto start = [&] {
        caller = QThread::currentThread();
        Client::shared().get(path, true, record(get));
        Client::shared().post(path, {{"code", "X1"}}, true, recordPost(post));
        doneBeforeReturn = get->called && post->called;
    };
    if (fromWorker) {
        std::unique_ptr<QThread> worker(QThread::create(start));
        worker->start();
        QVERIFY(worker->wait(5000));
    } else {
        start();
    }

    QVERIFY(doneBeforeReturn);
    for (const auto &outcome : {get, post}) {
        QCOMPARE(outcome->thread, caller);
        QCOMPARE(outcome->error, Error("Invalid URL"));
        QVERIFY(!outcome->json && !outcome->status);
    }
    QTest::qWait(50);
    QVERIFY(m_service.requests().isEmpty());
}

void ClientTest::requestFromAWorkerThreadCompletesOnTheMainThread()
{
    m_service.answerNext("users/me/regions", answer(200, R"([{"id":1}])"));
    m_service.answerNext("codes/apply", answer(200, R"({"message":"ok"})"));
    auto get = std::make_shared<Outcome>();
    auto post = std::make_shared<Outcome>();
    std::unique_ptr<QThread> worker(QThread::create([&] {
        Client::shared().userRegions(record(get));
        Client::shared().codesApply("X1", "3", recordPost(post));
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QVERIFY(waitFor(get));
    QVERIFY(waitFor(post));

    QCOMPARE(get->thread, QThread::currentThread());
    QCOMPARE(post->thread, QThread::currentThread());
    QCOMPARE((*get->json)[0]["id"].intValue(), 1);
    QCOMPARE(post->status, 200);
    QCOMPARE(m_service.requestsTo("users/me/regions").first().header("Authorization"), "Bearer " + token.toUtf8());
}

void ClientTest::answers_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("isJson");

    QByteArray deep = QByteArray(100'000, '[') + QByteArray(100'000, ']');
    QTest::newRow("200 object") << 200 << QByteArray(R"({"message":"ok"})") << true;
    QTest::newRow("401 with JSON") << 401 << QByteArray(R"({"errors":{},"message":"Unauthenticated."})") << true;
    QTest::newRow("500 with JSON") << 500 << QByteArray(R"({"message":"Server Error"})") << true;
    QTest::newRow("array") << 200 << QByteArray("[1,2]") << true;
    QTest::newRow("empty body") << 200 << QByteArray() << false;
    QTest::newRow("not JSON") << 200 << QByteArray("<html>Bad Gateway</html>") << false;
    QTest::newRow("top-level number") << 200 << QByteArray("5") << false;
    QTest::newRow("top-level text") << 200 << QByteArray(R"("x")") << false;
    QTest::newRow("nested 100000 deep") << 200 << deep << false;
    QTest::newRow("invalid UTF-8") << 200 << QByteArray("{\"message\":\"a\xff\xfe\"}") << false;
}

void ClientTest::answers()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, isJson);
    m_service.answerNext("users/me", answer(status, body));
    m_service.answerNext("codes/apply", answer(status, body));

    auto get = std::make_shared<Outcome>();
    auto post = std::make_shared<Outcome>();
    Client::shared().userInformation(record(get));
    Client::shared().codesApply("X1", "3", recordPost(post));
    QVERIFY(waitFor(get));
    QVERIFY(waitFor(post));
    QCOMPARE(get->thread, QThread::currentThread());
    QCOMPARE(post->thread, QThread::currentThread());
    QCOMPARE(post->status, status);

    const QStringList lines = m_console->lines();
    const QRegularExpression getEntry(QStringLiteral(R"(^GET: Optional\(http://127\.0\.0\.1:\d+/api/users/me\)\n )"
                                                     R"(<HTTP response: %1 \{ .*Content-Type: application/json.* \}>$)")
                                          .arg(status));
    QCOMPARE(lines.filter(getEntry).size(), 1);

    if (isJson) {
        const JSON expected = *JSON::parse(body);
        QVERIFY(!get->error && !post->error);
        QCOMPARE(get->json, expected);
        QCOMPARE(post->json, expected);
        QVERIFY(lines.filter(QStringLiteral("JSON Parsing Error: ")).isEmpty());
    } else {
        QCOMPARE(get->error, Error("Unknown error"));
        QVERIFY(!get->json && !post->json);
        QVERIFY(post->error && post->error->domain() == QLatin1String("QJsonParseError"));
        QCOMPARE(lines.filter(QRegularExpression("^JSON Parsing Error: .+")).size(), 1);
    }
    QCOMPARE(Preferences::token(), std::optional<QString>(token));
}

void ClientTest::forcedLogoutOnlyOnGet_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("logout");
    QTest::newRow("E0112, 401") << 401 << QByteArray(R"({"code":"E0112","message":"Unauthenticated."})") << true;
    QTest::newRow("E0112, 200") << 200 << QByteArray(R"({"code":"E0112"})") << true;
    QTest::newRow("number 112") << 200 << QByteArray(R"({"code":112})") << false;
    QTest::newRow("lower case") << 200 << QByteArray(R"({"code":"e0112"})") << false;
    QTest::newRow("in an array") << 200 << QByteArray(R"([{"code":"E0112"}])") << false;
}

void ClientTest::forcedLogoutOnlyOnGet()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, logout);
    QObject observer;
    QList<QThread *> logouts;
    NotificationCenter::defaultCenter().addObserver(QStringLiteral("logout"), &observer, [&](QObject *object) {
        QVERIFY(!object);
        logouts.append(QThread::currentThread());
    });
    m_service.answerNext("users/me/plan", answer(status, body));
    m_service.answerNext("codes/applyByEmail", answer(status, body));

    auto get = std::make_shared<Outcome>();
    auto post = std::make_shared<Outcome>();
    Client::shared().userCurrentPlan(record(get));
    Client::shared().redeemCodeByEmail("a@b.c", "X1", recordPost(post));
    QVERIFY(waitFor(post));
    QCOMPARE(post->status, status);
    QVERIFY(!post->error);

    if (logout) {
        QTRY_COMPARE(logouts, QList<QThread *>{QThread::currentThread()});
        QTest::qWait(200);
        QVERIFY(!get->called);
    } else {
        QVERIFY(waitFor(get));
        QVERIFY(!get->error);
        QVERIFY(logouts.isEmpty());
    }
}

void ClientTest::transportErrors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("service down") << "down";
    QTest::newRow("untrusted certificate") << "tls";
    QTest::newRow("connection closed without answer") << "closed";
}

void ClientTest::transportErrors()
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
    } else {
        Answer closed;
        closed.closeConnection = true;
        m_service.answerAlways("users/me", closed);
    }

    auto get = std::make_shared<Outcome>();
    auto post = std::make_shared<Outcome>();
    Client::shared().get(base + "users/me", true, record(get));
    Client::shared().post(base + "users/me", {{"password", password}}, true, recordPost(post));
    QVERIFY(waitFor(get));
    QVERIFY(waitFor(post));

    QVERIFY(get->error && post->error);
    QCOMPARE(get->error->domain(), QStringLiteral("QNetworkReply"));
    QVERIFY(!get->json && !post->json && !post->status);
    QCOMPARE(get->thread, QThread::currentThread());
    QCOMPARE(post->thread, QThread::currentThread());
    const QStringList lines = m_console->lines();
    QCOMPARE(lines.filter(QRegularExpression(R"(^Error Domain=QNetworkReply Code=\d+ ".+"$)")).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral("Error: ") + post->error->localizedDescription()).size(), 1);
    QVERIFY(lines.filter(QStringLiteral("GET: ")).isEmpty());
    if (kind == QLatin1String("tls"))
        QVERIFY(tlsService.requests().isEmpty());
    QCOMPARE(Preferences::token(), std::optional<QString>(token));
}

void ClientTest::timeOutAfterTenSecondsKeepsTheLoopRunning()
{
    Answer late = answer(200, "{}");
    late.delayMs = 30'000;
    m_service.answerAlways("users/me/ip", late);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(100);

    QElapsedTimer clock;
    clock.start();
    auto get = std::make_shared<Outcome>();
    Client::shared().userIp(record(get));
    QVERIFY(waitFor(get, 15'000));
    const qint64 elapsed = clock.elapsed();

    QVERIFY2(elapsed >= 9'500 && elapsed < 13'000, qPrintable(QString::number(elapsed)));
    QVERIFY(ticks >= 80);
    QCOMPARE(get->error, Error("QNetworkReply", 4, "The request timed out."));
    QVERIFY(m_console->lines().contains(QStringLiteral("Error Domain=QNetworkReply Code=4 \"The request timed out.\"")));
}

void ClientTest::fiftyMegabyteAnswer()
{
    // 50,000 strings of 1,000 letters: what a runaway region list might look like.
    const QByteArray element = '"' + QByteArray(1'000, 'x') + '"';
    QByteArray body = "[" + element;
    for (int i = 1; i < 50'000; ++i)
        body += ',' + element;
    body += ']';
    m_service.answerNext("users/me/regions", answer(200, body));

    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.start(10);
    auto get = std::make_shared<Outcome>();
    Client::shared().userRegions(record(get));
    QVERIFY(waitFor(get, 60'000));
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(50);

    qInfo("50 MB answer: delivered after %lld ms; longest stall of the main loop %lld ms", elapsed, longestGap);
    QVERIFY(!get->error);
    QCOMPARE(get->json->arrayValue().size(), 50'000);
    QVERIFY2(longestGap < 5'000, qPrintable(QString::number(longestGap)));
}

QTEST_GUILESS_MAIN(ClientTest)
#include "ClientTest.moc"
