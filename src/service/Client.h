#pragma once
// The one place that speaks HTTP to the service's REST API: two request primitives (GET, POST with
// a multipart body) and one operation per endpoint. Completions run on the main thread in the order
// the answers arrived, except "Invalid URL", which is reported at once on the caller's thread.

#include "Error.h"
#include "JSON.h"

#include <QHash>
#include <QList>
#include <QNetworkRequest>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

class Client : public QObject
{
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    using Form = QList<QPair<QString, QString>>;
    using GetCompletion = std::function<void(std::optional<Error>, std::optional<JSON>)>;
    using PostCompletion = std::function<void(std::optional<Error>, std::optional<JSON>, std::optional<int>)>;

    // The API's JSON and form-field names.
    struct Keys
    {
        static inline const QString id = QStringLiteral("id");
        static inline const QString uid = QStringLiteral("uid");
        static inline const QString uidPassword = QStringLiteral("uid_password");
        static inline const QString name = QStringLiteral("name");
        static inline const QString email = QStringLiteral("email");
        static inline const QString emailPassword = QStringLiteral("email_password");
        static inline const QString code = QStringLiteral("code");
        static inline const QString errors = QStringLiteral("errors");
        static inline const QString message = QStringLiteral("message");
        static inline const QString regionName = QStringLiteral("region_name");
        static inline const QString countryName = QStringLiteral("country_name");
        static inline const QString isAlive = QStringLiteral("is_alive");
        static inline const QString countryCode = QStringLiteral("country_code");
        static inline const QString serverDomain = QStringLiteral("server_domain");
        static inline const QString accesToken = QStringLiteral("access_token");
        static inline const QString planId = QStringLiteral("plan_id");
        static inline const QString isSubscription = QStringLiteral("is_subscription");
        static inline const QString receipt = QStringLiteral("receipt");
        static inline const QString passwordConfirmation = QStringLiteral("password_confirmation");
        static inline const QString password = QStringLiteral("password");
        static inline const QString radiusLogin = QStringLiteral("radius_login");
        static inline const QString radiusPassword = QStringLiteral("radius_password");
        static inline const QString ca = QStringLiteral("ca");
        static inline const QString cert = QStringLiteral("cert");
        static inline const QString key = QStringLiteral("key");
        static inline const QString appVersion = QStringLiteral("app_version");
        static inline const QString platform = QStringLiteral("platform");
        static inline const QString os = QStringLiteral("os");
        static inline const QString deviceName = QStringLiteral("device_name");
    };

    static Client &shared();

    [[nodiscard]] QString platform() const { return m_platform; }
    [[nodiscard]] QString deviceName() const { return m_deviceName; }
    [[nodiscard]] QString os() const { return m_os; }
    [[nodiscard]] QString appVersion() const { return m_appVersion; }

    // The API's base address, ending in "/"; every endpoint URL is this plus its relative path.
    [[nodiscard]] static QString serverPath();
    static inline const QString boundary =
        QStringLiteral("--------------------------487394079664597082378530");

    [[nodiscard]] virtual Headers defaultHeaders() const;
    // A stored token with a control character is left out as if none were stored.
    [[nodiscard]] virtual Headers authHeaders() const;

    virtual void signupWithUid(const QString &uid, const QString &password, PostCompletion completion);
    virtual void associateUser(const QString &email, const QString &password, const QString &uid,
                               PostCompletion completion);
    virtual void loginWithUid(const QString &uid, const QString &password, PostCompletion completion);
    virtual void loginWithEmail(const QString &email, const QString &password, PostCompletion completion);
    virtual void userInformation(GetCompletion completion);
    virtual void userIp(GetCompletion completion);
    virtual void userPlans(GetCompletion completion);
    virtual void userCurrentPlan(GetCompletion completion);
    virtual void userDelete(GetCompletion completion);
    virtual void userRegions(GetCompletion completion);
    virtual void userBestRegions(GetCompletion completion);
    virtual void IPSecConfiguration(const QString &prot, GetCompletion completion);
    virtual void openVPNConfiguration(const QString &prot, GetCompletion completion);
    virtual void codesApply(const QString &code, const QString &pladId, PostCompletion completion);
    virtual void receiptValidate(const QString &receipt, bool isSubscription, PostCompletion completion);
    virtual void resetPassword(const QString &email, PostCompletion completion);
    virtual void resetPasswordWithCode(const QString &email, const QString &code, PostCompletion completion);
    virtual void resetPasswordWithPassword(const QString &email, const QString &password,
                                           PostCompletion completion);

    // The primitives: path is the complete URL text. Form fields keep the order given.
    virtual void get(const QString &path, bool auth, GetCompletion completion);
    virtual void post(const QString &path, const Form &params, bool auth, PostCompletion completion);

    virtual void redeemCodeByEmail(const QString &email, const QString &code, PostCompletion completion);

    // How long a request on the wire may go without a byte moving: 10 s; tests shorten it. Main
    // thread only; applies to requests sent from then on.
    void setTransferTimeout(std::chrono::milliseconds timeout);

protected:
    Client();

private:
    // A request and what handles its answer.
    struct Transfer
    {
        QNetworkRequest request;
        std::optional<QByteArray> body; // none: a GET
        std::function<void(QNetworkReply &)> finished;
    };
    // One scheme, host and port: the requests on the wire and those waiting for a connection.
    struct Origin
    {
        int running = 0;
        std::deque<Transfer> waiting;
    };

    // Main thread only: made on first use, deleted with the application object.
    QNetworkAccessManager *network();
    // Main thread only. The network stack keeps a few connections per host and queues the rest with
    // their time-out already running; here a request waits for a free connection before it is handed
    // over, so that its time-out counts only on the wire.
    void send(Transfer transfer);
    void sendWaiting(const QString &origin);
    // The four fields that identify this installation in sign-up and login forms.
    [[nodiscard]] Form deviceFields() const;

    const QString m_platform;
    const QString m_deviceName;
    const QString m_os;
    const QString m_appVersion;
    QPointer<QNetworkAccessManager> m_network;
    std::chrono::milliseconds m_transferTimeout{10'000};
    QHash<QString, Origin> m_origins;
};
