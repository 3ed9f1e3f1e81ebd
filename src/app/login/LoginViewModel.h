#pragma once
// The login screen's decisions: its mode, what the main button and Return do in each mode, the
// reaction to every login result, the alert's dismissal and the password-reset page.

#include "ContentViewModel.h"
#include "LoginController.h"
#include "Services.h"

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class LoginViewModel : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(ContentViewModel *vm READ vm WRITE setVm NOTIFY vmChanged REQUIRED)
    Q_PROPERTY(Services *services READ services WRITE setServices NOTIFY servicesChanged REQUIRED)
    Q_PROPERTY(LoginController *controller READ controller NOTIFY controllerChanged)
    Q_PROPERTY(Mode mode READ mode NOTIFY modeChanged)
    Q_PROPERTY(QString email MEMBER m_email NOTIFY emailChanged)
    Q_PROPERTY(QString password MEMBER m_password NOTIFY passwordChanged)
    Q_PROPERTY(QString repeatPassword MEMBER m_repeatPassword NOTIFY repeatPasswordChanged)
    Q_PROPERTY(bool keepLoggedIn MEMBER m_keepLoggedIn NOTIFY keepLoggedInChanged)

public:
    enum class Mode { Loading, LogIn, SignUp };
    Q_ENUM(Mode)

    explicit LoginViewModel(QObject *parent = nullptr);

    [[nodiscard]] ContentViewModel *vm() const { return m_vm; }
    void setVm(ContentViewModel *value);
    [[nodiscard]] Services *services() const { return m_services; }
    void setServices(Services *value);
    // Made once, when the screen is complete; null before.
    [[nodiscard]] LoginController *controller() const { return m_controller; }
    [[nodiscard]] Mode mode() const { return m_mode; }

    // The main button and Return: logs in or signs up with the texts as typed; nothing while loading.
    Q_INVOKABLE void submit();
    // The mode links; they keep every typed text.
    Q_INVOKABLE void showSignUp();
    Q_INVOKABLE void showLogIn();
    // The alert's "OK": closes the alert and empties its message.
    Q_INVOKABLE void dismissAlert();
    // Opens the password-reset page in the browser; false when there is no valid address.
    Q_INVOKABLE bool openPasswordReset() const;

    // "https://<web host>/reset_password"; empty when the configured host would make anything else.
    [[nodiscard]] static QUrl passwordResetUrl();

    void classBegin() override {}
    void componentComplete() override;

Q_SIGNALS:
    void vmChanged();
    void servicesChanged();
    void controllerChanged();
    void modeChanged();
    void emailChanged();
    void passwordChanged();
    void repeatPasswordChanged();
    void keepLoggedInChanged();

private:
    void setMode(Mode value);
    void react(LoginController::Status result);
    void deliverLater(LoginController::Status result);

    QPointer<ContentViewModel> m_vm;
    QPointer<Services> m_services;
    LoginController *m_controller = nullptr;
    Mode m_mode = Mode::LogIn;
    // The typed texts live as long as the screen, across the modes; "Keep Logged In" is read by
    // nothing: a successful login is kept either way.
    QString m_email;
    QString m_password;
    QString m_repeatPassword;
    bool m_keepLoggedIn = false;
};
