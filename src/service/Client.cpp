#include "Client.h"

#include "BackgroundWork.h"
#include "Configuration.h"
#include "Console.h"
#include "HostInfo.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "WebAddress.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {

// What the network stack runs at once for one host and port; it queues any more itself.
constexpr int connectionsPerHost = 6;

Error localError(const char *message)
{
    return Error(QString::fromUtf8(message));
}

QString originOf(const QUrl &url)
{
    return url.scheme() + QStringLiteral("://") + url.host() + u':'
        + QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
}

// The stored token, unless it holds a control character: a line break in a header value would
// start a header line of its own.
std::optional<QString> usableToken()
{
    const std::optional<QString> token = Preferences::token();
    const auto isControl = [](QChar c) { return c.category() == QChar::Other_Control; };
    if (token && std::any_of(token->cbegin(), token->cend(), isControl))
        return std::nullopt;
    return token;
}

QNetworkRequest makeRequest(const QUrl &url, const Client::Headers &headers)
{
    QNetworkRequest request(url);
    // The header sets are the whole story: no cookie jar adds to them or learns from answers.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(tls);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    return request;
}

// Runs fn now on the main thread, else queues it there.
void onMainThread(std::function<void()> fn)
{
    if (MainQueue::isMainThread())
        fn();
    else
        MainQueue::async(std::move(fn));
}

// Errors that only restate an HTTP status the service answered with; its body is still the answer.
bool isStatusError(QNetworkReply::NetworkError code)
{
    return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError)
        || code == QNetworkReply::ProtocolInvalidOperationError
        || (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError);
}

std::optional<int> statusOf(const QNetworkReply &reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return std::nullopt;
    return status.toInt();
}

std::optional<Error> transportError(const QNetworkReply &reply)
{
    const QNetworkReply::NetworkError code = reply.error();
    if (code == QNetworkReply::NoError || (statusOf(reply) && isStatusError(code)))
        return std::nullopt;
    // Nothing here aborts a request, so a cancelled one ran out of time.
    if (code == QNetworkReply::OperationCanceledError || code == QNetworkReply::TimeoutError)
        return Error(QStringLiteral("QNetworkReply"), QNetworkReply::TimeoutError,
                     QStringLiteral("The request timed out."));
    return Error(QStringLiteral("QNetworkReply"), code, reply.errorString());
}

QString describe(const Error &error)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"")
        .arg(error.domain())
        .arg(error.code())
        .arg(error.localizedDescription());
}

QString describeResponse(const QNetworkReply &reply)
{
    QStringList headers;
    for (const auto &[name, value] : reply.rawHeaderPairs())
        headers.append(QString::fromLatin1(name) + QStringLiteral(": ") + QString::fromLatin1(value));
    return QStringLiteral("<HTTP response: %1 { %2 }>")
        .arg(statusOf(reply).value_or(0))
        .arg(headers.join(QStringLiteral("; ")));
}

// An answer's body parsed off the main thread.
struct Parsed
{
    std::optional<JSON> json;
    Error error{QString()};
};

Parsed parse(const QByteArray &body)
{
    Parsed parsed;
    parsed.json = JSON::parse(body, &parsed.error);
    return parsed;
}

void handleGetAnswer(QNetworkReply &reply, Client::GetCompletion completion)
{
    std::optional<Error> error = transportError(reply);
    QStringList lines;
    if (error)
        lines.append(describe(*error));
    else
        lines = {QStringLiteral("GET: Optional(%1)")
                     .arg(reply.request().url().toString(QUrl::FullyEncoded | QUrl::RemovePassword)),
                 u' ' + describeResponse(reply)};
    BackgroundWork::run([body = error ? QByteArray() : reply.readAll()] { return parse(body); },
                        [error = std::move(error), lines = std::move(lines),
                         completion = std::move(completion)](Parsed parsed) {
                            Console::printLines(lines);
                            if (error) {
                                completion(error, std::nullopt);
                                return;
                            }
                            if (!parsed.json) {
                                completion(localError("Unknown error"), std::nullopt);
                                return;
                            }
                            if ((*parsed.json)[Client::Keys::code].stringValue() == QLatin1String("E0112")) {
                                NotificationCenter::defaultCenter().post(QStringLiteral("logout"));
                                return;
                            }
                            completion(std::nullopt, std::move(parsed.json));
                        });
}

void handlePostAnswer(QNetworkReply &reply, Client::PostCompletion completion)
{
    std::optional<Error> error = transportError(reply);
    BackgroundWork::run([body = error ? QByteArray() : reply.readAll()] { return parse(body); },
                        [error = std::move(error), status = statusOf(reply),
                         completion = std::move(completion)](Parsed parsed) {
                            if (error) {
                                Console::print(QStringLiteral("Error: ") + error->localizedDescription());
                                completion(error, std::nullopt, std::nullopt);
                                return;
                            }
                            if (!parsed.json) {
                                Console::print(QStringLiteral("JSON Parsing Error: ")
                                               + parsed.error.localizedDescription());
                                completion(parsed.error, std::nullopt, status);
                                return;
                            }
                            completion(std::nullopt, std::move(parsed.json), status);
                        });
}

} // namespace

Client &Client::shared()
{
    static Client *const instance = new Client;
    return *instance;
}

Client::Client()
    : m_platform(QStringLiteral("macSA"))
    , m_deviceName(HostInfo::deviceName())
    , m_os(HostInfo::systemVersion())
    , m_appVersion(Configuration::appVersion())
{
    // Whoever asks first, the client belongs to the main thread, where every answer is handled.
    if (auto *app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}

QString Client::serverPath()
{
    QString path = Configuration::apiUrl();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

Client::Headers Client::defaultHeaders() const
{
    return {{"Accept", "application/json"}, {"Cache-control", "no-cache"}};
}

Client::Headers Client::authHeaders() const
{
    Headers headers = defaultHeaders();
    headers.append({"Authorization", "Bearer " + usableToken().value_or(QString()).toUtf8()});
    return headers;
}

void Client::setTransferTimeout(std::chrono::milliseconds timeout)
{
    Q_ASSERT(MainQueue::isMainThread());
    m_transferTimeout = timeout;
}

QNetworkAccessManager *Client::network()
{
    Q_ASSERT(MainQueue::isMainThread());
    if (!m_network) {
        m_network = new QNetworkAccessManager;
        m_network->setAutoDeleteReplies(true);
        // The bearer token goes to the service's own host and nowhere else.
        m_network->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
        // Gone while the application object still exists: its transfer thread winds down cleanly.
        qAddPostRoutine([] { delete Client::shared().m_network.data(); });
    }
    return m_network;
}

void Client::send(Transfer transfer)
{
    const QString origin = originOf(transfer.request.url());
    m_origins[origin].waiting.push_back(std::move(transfer));
    sendWaiting(origin);
}

void Client::sendWaiting(const QString &origin)
{
    const auto found = m_origins.find(origin);
    if (found == m_origins.end())
        return;
    Origin &state = *found;
    while (state.running < connectionsPerHost && !state.waiting.empty()) {
        Transfer transfer = std::move(state.waiting.front());
        state.waiting.pop_front();
        ++state.running;
        transfer.request.setTransferTimeout(int(m_transferTimeout.count()));
        QNetworkReply *reply = transfer.body ? network()->post(transfer.request, *transfer.body)
                                             : network()->get(transfer.request);
        connect(reply, &QNetworkReply::finished, this,
                [this, origin, reply, finished = std::move(transfer.finished)] {
                    --m_origins[origin].running;
                    sendWaiting(origin);
                    finished(*reply);
                });
    }
    if (state.running == 0)
        m_origins.erase(found);
}

void Client::get(const QString &path, bool auth, GetCompletion completion)
{
    const std::optional<QUrl> url = WebAddress::http(path);
    if (!url) {
        completion(localError("Invalid URL"), std::nullopt);
        return;
    }
    QNetworkRequest request = makeRequest(*url, auth ? authHeaders() : defaultHeaders());
    onMainThread([this, request = std::move(request), completion = std::move(completion)]() mutable {
        send({std::move(request), std::nullopt, [completion = std::move(completion)](QNetworkReply &reply) {
                  handleGetAnswer(reply, completion);
              }});
    });
}

void Client::post(const QString &path, const Form &params, bool auth, PostCompletion completion)
{
    const std::optional<QUrl> url = WebAddress::http(path);
    if (!url) {
        completion(localError("Invalid URL"), std::nullopt, std::nullopt);
        return;
    }
    const QByteArray delimiter = "--" + boundary.toUtf8();
    Headers headers{{"Accept", "application/json"},
                    {"Cache-Control", "no-cache"},
                    {"Content-Type", "multipart/form-data; boundary=" + boundary.toUtf8()}};
    if (auth) {
        if (const std::optional<QString> token = usableToken())
            headers.append({"Authorization", "Bearer " + token->toUtf8()});
    }

    QByteArray body;
    for (const auto &[name, value] : params) {
        body += delimiter + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + name.toUtf8() + "\"\r\n\r\n";
        body += value.toUtf8() + "\r\n";
    }
    body += delimiter + "--\r\n";

    QNetworkRequest request = makeRequest(*url, headers);
    onMainThread([this, request = std::move(request), body = std::move(body),
                  completion = std::move(completion)]() mutable {
        send(
            {std::move(request), std::move(body), [completion = std::move(completion)](QNetworkReply &reply) {
                 handlePostAnswer(reply, completion);
             }});
    });
}

Client::Form Client::deviceFields() const
{
    return {{Keys::platform, m_platform},
            {Keys::os, m_os},
            {Keys::appVersion, m_appVersion},
            {Keys::deviceName, m_deviceName}};
}

void Client::signupWithUid(const QString &uid, const QString &password, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/signup"),
         Form{{Keys::uid, uid}, {Keys::uidPassword, password}} + deviceFields(), false,
         std::move(completion));
}

void Client::associateUser(const QString &email, const QString &password, const QString &uid,
                           PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/email"),
         Form{{Keys::email, email}, {Keys::emailPassword, password}, {Keys::uid, uid}} + deviceFields(),
         false, std::move(completion));
}

void Client::loginWithUid(const QString &uid, const QString &password, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/login/uid"),
         Form{{Keys::uid, uid}, {Keys::uidPassword, password}} + deviceFields(), false,
         std::move(completion));
}

void Client::loginWithEmail(const QString &email, const QString &password, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/login/email"),
         Form{{Keys::email, email}, {Keys::emailPassword, password}} + deviceFields()
             + Form{{Keys::uid, Preferences::uid().value_or(QString())}},
         false, std::move(completion));
}

void Client::userInformation(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("users/me"), true, std::move(completion));
}

void Client::userIp(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("users/me/ip"), true, std::move(completion));
}

void Client::userPlans(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("vpn/plans"), true, std::move(completion));
}

void Client::userCurrentPlan(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("users/me/plan"), true, std::move(completion));
}

void Client::userDelete(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("users/me/delete"), true, std::move(completion));
}

void Client::userRegions(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("users/me/regions"), true, std::move(completion));
}

void Client::userBestRegions(GetCompletion completion)
{
    get(serverPath() + QStringLiteral("users/me/regions/best"), false, std::move(completion));
}

void Client::IPSecConfiguration(const QString &prot, GetCompletion completion)
{
    get(serverPath() + QStringLiteral("config/ipsec/") + prot, true, std::move(completion));
}

void Client::openVPNConfiguration(const QString &prot, GetCompletion completion)
{
    get(serverPath() + QStringLiteral("config/openvpn/") + prot, true, std::move(completion));
}

void Client::codesApply(const QString &code, const QString &pladId, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("codes/apply"), {{Keys::code, code}, {Keys::planId, pladId}}, false,
         std::move(completion));
}

void Client::receiptValidate(const QString &receipt, bool isSubscription, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("receipt-validator/itunes"),
         {{Keys::receipt, receipt},
          {Keys::isSubscription, isSubscription ? QStringLiteral("1") : QStringLiteral("0")}},
         false, std::move(completion));
}

void Client::resetPassword(const QString &email, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/reset-password"), {{Keys::email, email}}, false,
         std::move(completion));
}

void Client::resetPasswordWithCode(const QString &email, const QString &code, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/verify-code"), {{Keys::email, email}, {Keys::code, code}}, false,
         std::move(completion));
}

void Client::resetPasswordWithPassword(const QString &, const QString &password, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("auth/update-password"),
         {{Keys::password, password}, {Keys::passwordConfirmation, password}}, true, std::move(completion));
}

void Client::redeemCodeByEmail(const QString &email, const QString &code, PostCompletion completion)
{
    post(serverPath() + QStringLiteral("codes/applyByEmail"), {{Keys::email, email}, {Keys::code, code}},
         false, std::move(completion));
}
