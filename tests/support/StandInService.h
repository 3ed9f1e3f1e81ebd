#pragma once
// The service's REST API on 127.0.0.1, in-process, for tests and the demo: accounts, tokens,
// regions, plans, IKEv2 configurations, codes, and the update feed with a signed release; every
// request logged, any answer overridable.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class StandInService : public QObject
{
    Q_OBJECT
public:
    // One request as it arrived: header names with the letter case the client sent.
    struct Request
    {
        QByteArray method;
        QByteArray path; // with the query, e.g. "/api/users/me/regions"
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        // First value of a header, compared without regard to case; null when absent.
        [[nodiscard]] QByteArray header(const QByteArray &name) const;
        [[nodiscard]] bool hasHeader(const QByteArray &name) const;
        // The path after "/api/" without the query, e.g. "users/me/regions", or outside the API the
        // whole path, e.g. "/linux/appcast.xml"; the answers are keyed by it.
        [[nodiscard]] QString endpoint() const;
        // The fields of a multipart/form-data body with the boundary its Content-Type names, in body
        // order; no value when the body is not such a form.
        [[nodiscard]] std::optional<QList<QPair<QString, QString>>> formFields() const;
        // The first field of that name; null when absent or when the body is not a form.
        [[nodiscard]] QString formField(const QString &name) const;
    };

    // A canned answer to a path (as Request::endpoint() gives it).
    struct Answer
    {
        int status = 200;
        QByteArray body;
        int delayMs = 0;
        bool closeConnection = false; // close without answering
        QList<QPair<QByteArray, QByteArray>> headers;
    };

    enum class Mode { Http, Tls };

    explicit StandInService(QObject *parent = nullptr);
    ~StandInService() override;

    // Listens on 127.0.0.1 (port 0 picks a free one). In Tls mode a self-signed certificate
    // for 127.0.0.1 is made now. False when listening fails.
    bool start(Mode mode = Mode::Http, quint16 port = 0);
    [[nodiscard]] quint16 port() const;
    // "http://127.0.0.1:<port>/api/" (https in Tls mode): what the client is pointed at.
    [[nodiscard]] QString apiUrl() const;
    [[nodiscard]] QSslCertificate certificate() const;

    [[nodiscard]] QList<Request> requests() const;
    // The requests to one endpoint (the path after "/api/", no query), in order of arrival.
    [[nodiscard]] QList<Request> requestsTo(const QString &endpoint) const;
    void clearRequests();

    // The next request to path gets answer instead of the service's own; queued answers are used in turn.
    // Mind that QNetworkAccessManager sends a request a second time when the connection closes before any
    // answer: to make a request fail with a closed connection, queue the closing answer twice or use
    // answerAlways.
    void answerNext(const QString &path, const Answer &answer);
    // Every request to path gets answer until cleared.
    void answerAlways(const QString &path, const Answer &answer);
    void clearAnswers();

    // Accounts: e-mail and password; returns the account's bearer token, which every login answers.
    // A new account has the trial plan.
    QByteArray addAccount(const QString &email, const QString &password);
    // The bearer token of the account with that e-mail (letter case ignored); null when there is none.
    [[nodiscard]] QByteArray tokenOf(const QString &email) const;
    [[nodiscard]] std::optional<QString> passwordOf(const QString &email) const;
    // The IKEv2 configuration answered under "config/ipsec/<id>" for every id.
    void setIpsecConfiguration(const QString &serverDomain, const QString &login, const QString &password);

    // The update feed lists one release, whose file the service serves, signed with a key of its
    // own made when it was constructed.
    struct Release
    {
        QString version;
        QString shortVersion;
        QByteArray file;
    };
    // Replaces the release (at first version "1.1.0", "1.1", a small file).
    void setRelease(const Release &release);
    // What the application is pointed at: VELMORA_UPDATE_FEED and VELMORA_UPDATE_PUBLIC_KEY.
    [[nodiscard]] QString updateFeedUrl() const;
    [[nodiscard]] QByteArray updatePublicKey() const;
    static constexpr const char *feedPath = "/linux/appcast.xml";
    static constexpr const char *releasePath = "/linux/velmora-release.tar.gz";

    static constexpr const char *demoEmail = "demo@velmora.io";
    static constexpr const char *demoPassword = "demo-password";

    // Promotion codes: redeemableCode succeeds once, then counts as used; usedCode is used already;
    // voidCode is withdrawn; any other code is incorrect.
    static constexpr const char *redeemableCode = "VELMORA-YEAR-2025";
    static constexpr const char *usedCode = "VELMORA-USED-0001";
    static constexpr const char *voidCode = "VELMORA-VOID-0001";
    // The code that "auth/reset-password" sends and "auth/verify-code" accepts.
    static constexpr const char *verificationCode = "424242";

Q_SIGNALS:
    void requestReceived(const StandInService::Request &request);

private:
    class Private;
    std::unique_ptr<Private> d;
};
