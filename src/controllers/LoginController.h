#pragma once
// The login screen's model: checks what the user typed, logs in or signs up with the service, keeps
// the credentials on success, and publishes the outcome of every attempt.

#include "Client.h"
#include "Error.h"
#include "JSON.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class LoginController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY emailChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(
        QString repeatPassword READ repeatPassword WRITE setRepeatPassword NOTIFY repeatPasswordChanged)
    Q_PROPERTY(bool loginError READ loginError WRITE setLoginError NOTIFY loginErrorChanged)
    Q_PROPERTY(QString loginErrorMsg READ loginErrorMsg WRITE setLoginErrorMsg NOTIFY loginErrorMsgChanged)
    Q_PROPERTY(Status loginResult READ loginResult WRITE setLoginResult NOTIFY loginResultChanged)

public:
    // The outcome of the latest attempt.
    enum class Status { None, LogInTrue, LogInFalse, SignUpTrue, SignUpFalse };
    Q_ENUM(Status)

    explicit LoginController(Client &client = Client::shared(), QObject *parent = nullptr);

    // Every setter notifies, also when the value is unchanged: the login screen counts on seeing
    // each outcome, two equal failures in a row included.
    [[nodiscard]] QString email() const { return m_email; }
    void setEmail(const QString &value);
    [[nodiscard]] QString password() const { return m_password; }
    void setPassword(const QString &value);
    [[nodiscard]] QString repeatPassword() const { return m_repeatPassword; }
    void setRepeatPassword(const QString &value);
    [[nodiscard]] bool loginError() const { return m_loginError; }
    void setLoginError(bool value);
    [[nodiscard]] QString loginErrorMsg() const { return m_loginErrorMsg; }
    void setLoginErrorMsg(const QString &value);
    [[nodiscard]] Status loginResult() const { return m_loginResult; }
    void setLoginResult(Status value);

    // True when the whole text is an e-mail address of the accepted shape.
    [[nodiscard]] static bool isValidEmailAddr(const QString &strToValidate);

    Q_INVOKABLE void loginPressed(const QString &email, const QString &password);
    Q_INVOKABLE void signupPressed(const QString &email, const QString &password,
                                   const QString &repeatPassword);

Q_SIGNALS:
    void emailChanged();
    void passwordChanged();
    void repeatPasswordChanged();
    void loginErrorChanged();
    void loginErrorMsgChanged();
    void loginResultChanged();

private:
    // The message of the first input check that fails, or none.
    [[nodiscard]] static std::optional<QString> inputProblem(const QString &email, const QString &password,
                                                             const QString *repeatPassword);
    void reportFailure(const QString &message, Status status);
    // Keeps the credentials of an accepted attempt even when the controller has gone meanwhile.
    static void handleAnswer(const QPointer<LoginController> &controller, const std::optional<Error> &error,
                             const std::optional<JSON> &json, std::optional<int> status, const QString &email,
                             const QString &password, Status success, Status failure);

    Client &m_client;
    QString m_email;
    QString m_password;
    QString m_repeatPassword;
    bool m_loginError = false;
    QString m_loginErrorMsg = QStringLiteral("NotLoggedIn");
    Status m_loginResult = Status::None;
};
