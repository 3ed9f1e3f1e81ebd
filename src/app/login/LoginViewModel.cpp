#include "LoginViewModel.h"

#include "Configuration.h"
#include "MainQueue.h"
#include "Workspace.h"

LoginViewModel::LoginViewModel(QObject *parent)
    : QObject(parent)
{
}

void LoginViewModel::setVm(ContentViewModel *value)
{
    m_vm = value;
    Q_EMIT vmChanged();
}

void LoginViewModel::setServices(Services *value)
{
    m_services = value;
    Q_EMIT servicesChanged();
}

void LoginViewModel::componentComplete()
{
    if (m_controller || !m_services)
        return;
    m_controller = m_services->newLoginController(this);
    connect(m_controller, &LoginController::loginResultChanged, this,
            [this] { deliverLater(m_controller->loginResult()); });
    // Watching the result starts with its current value, as every later one does.
    deliverLater(m_controller->loginResult());
    Q_EMIT controllerChanged();
}

void LoginViewModel::submit()
{
    if (!m_controller)
        return;
    switch (m_mode) {
    case Mode::Loading:
        return;
    case Mode::LogIn:
        setMode(Mode::Loading);
        m_controller->loginPressed(m_email, m_password);
        return;
    case Mode::SignUp:
        setMode(Mode::Loading);
        m_controller->signupPressed(m_email, m_password, m_repeatPassword);
        return;
    }
}

void LoginViewModel::showSignUp()
{
    if (m_mode == Mode::LogIn)
        setMode(Mode::SignUp);
}

void LoginViewModel::showLogIn()
{
    if (m_mode == Mode::SignUp)
        setMode(Mode::LogIn);
}

void LoginViewModel::dismissAlert()
{
    if (!m_controller)
        return;
    m_controller->setLoginErrorMsg(QString());
    m_controller->setLoginError(false);
}

bool LoginViewModel::openPasswordReset() const
{
    return Workspace::open(passwordResetUrl());
}

QUrl LoginViewModel::passwordResetUrl()
{
    const QString path = QStringLiteral("/reset_password");
    const QUrl url(QStringLiteral("https://") + Configuration::webHost() + path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || url.path() != path
        || url.hasQuery() || url.hasFragment())
        return {};
    return url;
}

void LoginViewModel::setMode(Mode value)
{
    if (m_mode == value)
        return;
    m_mode = value;
    Q_EMIT modeChanged();
}

void LoginViewModel::deliverLater(LoginController::Status result)
{
    MainQueue::async([model = QPointer<LoginViewModel>(this), result] {
        if (model)
            model->react(result);
    });
}

void LoginViewModel::react(LoginController::Status result)
{
    switch (result) {
    case LoginController::Status::None:
    case LoginController::Status::LogInFalse:
        setMode(Mode::LogIn);
        return;
    case LoginController::Status::SignUpFalse:
        setMode(Mode::SignUp);
        return;
    case LoginController::Status::LogInTrue:
    case LoginController::Status::SignUpTrue:
        // The root view puts the main screen in place of this one.
        if (m_vm)
            m_vm->setState(ContentViewModel::ProgramState::LoggedIn);
        return;
    }
}
