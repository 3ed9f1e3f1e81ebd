#pragma once
// The service's REST API on 127.0.0.1, in-process, for tests and the demo: accounts, tokens,
// regions, plans, IKEv2 configurations, codes; every request logged, any answer overridable.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <memory>

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
    };

    // A canned answer to a path (the path after "/api/", e.g. "users/me/regions").
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
    void clearRequests();

    // The next request to path gets answer instead of the service's own; queued answers are used in turn.
    void answerNext(const QString &path, const Answer &answer);
    // Every request to path gets answer until cleared.
    void answerAlways(const QString &path, const Answer &answer);
    void clearAnswers();

    // Accounts: e-mail and password; returns the account's bearer token.
    QByteArray addAccount(const QString &email, const QString &password);
    // The IKEv2 configuration answered under "config/ipsec/<id>" for every id.
    void setIpsecConfiguration(const QString &serverDomain, const QString &login, const QString &password);

    static constexpr const char *demoEmail = "demo@velmora.io";
    static constexpr const char *demoPassword = "demo-password";

Q_SIGNALS:
    void requestReceived(const StandInService::Request &request);

private:
    class Private;
    std::unique_ptr<Private> d;
};
