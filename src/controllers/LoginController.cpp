#include "LoginController.h"

#include "Client.h"
#include "Console.h"
#include "MainQueue.h"
#include "Preferences.h"

#include <QRegularExpression>

#include <unicode/ubrk.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

constexpr qsizetype minimumPasswordLength = 6;

const QString unknownError = QStringLiteral("Unknown Error");

const QRegularExpression &emailPattern()
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        R"RE((?:[\p{L}0-9!#$%\&'*+/=?\^_`{|}~-]+(?:\.[\p{L}0-9!#$%\&'*+/=?\^_`{|}~-]+)*|"(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*")@(?:(?:[\p{L}0-9](?:[a-z0-9-]*[\p{L}0-9])?\.)+[\p{L}0-9](?:[\p{L}0-9-]*[\p{L}0-9])?|\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[\p{L}0-9-]*[\p{L}0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\]))RE")));
    return pattern;
}

// Characters as the user sees them, Unicode's extended grapheme clusters: a base letter with its
// marks, a flag or an emoji sequence is one. ICU's count, as Qt's boundary finder goes by syllables
// in Tamil, Kannada, Myanmar and Khmer.
bool isShorterThan(const QString &text, qsizetype count)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> characters(
        ubrk_open(UBRK_CHARACTER, "", reinterpret_cast<const UChar *>(text.utf16()),
                  int32_t(std::min<qsizetype>(text.size(), std::numeric_limits<int32_t>::max())), &status),
        &ubrk_close);
    // Without ICU's data, code points are the nearest count there is.
    if (U_FAILURE(status))
        return text.toUcs4().size() < count;
    qsizetype seen = 0;
    while (seen < count && ubrk_next(characters.get()) != UBRK_DONE)
        ++seen;
    return seen < count;
}

// RFC 6750's token68: what may follow "Bearer " in a header, and nothing else.
bool isBearerToken(QStringView token)
{
    qsizetype end = token.size();
    while (end > 0 && token[end - 1] == u'=')
        --end;
    const QStringView body = token.first(end);
    return !body.isEmpty() && std::all_of(body.begin(), body.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-'
            || u == u'.' || u == u'_' || u == u'~' || u == u'+' || u == u'/';
    });
}

} // namespace

LoginController::LoginController(Client &client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    Console::print(QStringLiteral("LoginController init"));
}

void LoginController::setEmail(const QString &value)
{
    m_email = value;
    Q_EMIT emailChanged();
}

void LoginController::setPassword(const QString &value)
{
    m_password = value;
    Q_EMIT passwordChanged();
}

void LoginController::setRepeatPassword(const QString &value)
{
    m_repeatPassword = value;
    Q_EMIT repeatPasswordChanged();
}

void LoginController::setLoginError(bool value)
{
    m_loginError = value;
    Q_EMIT loginErrorChanged();
}

void LoginController::setLoginErrorMsg(const QString &value)
{
    m_loginErrorMsg = value;
    Q_EMIT loginErrorMsgChanged();
}

void LoginController::setLoginResult(Status value)
{
    m_loginResult = value;
    Q_EMIT loginResultChanged();
}

bool LoginController::isValidEmailAddr(const QString &strToValidate)
{
    return emailPattern().match(strToValidate).hasMatch();
}

std::optional<QString> LoginController::inputProblem(const QString &email, const QString &password,
                                                     const QString *repeatPassword)
{
    if (!isValidEmailAddr(email))
        return QStringLiteral("Please enter valid email");
    if (isShorterThan(password, minimumPasswordLength))
        return QStringLiteral("Password should be 6 chars at least");
    // Canonically equivalent texts are the same password, however the keyboard composed them.
    if (repeatPassword
        && password.normalized(QString::NormalizationForm_C)
            != repeatPassword->normalized(QString::NormalizationForm_C))
        return QStringLiteral("Passwords are not the same");
    return std::nullopt;
}

void LoginController::reportFailure(const QString &message, Status status)
{
    // The screen reacts to the result and expects message and flag to be in place by then.
    setLoginErrorMsg(message);
    setLoginError(true);
    setLoginResult(status);
}

void LoginController::loginPressed(const QString &email, const QString &password)
{
    if (const auto problem = inputProblem(email, password, nullptr)) {
        reportFailure(*problem, Status::LogInFalse);
        return;
    }
    m_client.loginWithEmail(email, password,
                            [controller = QPointer(this), email, password](std::optional<Error> error,
                                                                           std::optional<JSON> json,
                                                                           std::optional<int> status) {
                                MainQueue::async([controller, email, password, error = std::move(error),
                                                  json = std::move(json), status] {
                                    handleAnswer(controller, error, json, status, email, password,
                                                 Status::LogInTrue, Status::LogInFalse);
                                });
                            });
}

void LoginController::signupPressed(const QString &email, const QString &password,
                                    const QString &repeatPassword)
{
    if (const auto problem = inputProblem(email, password, &repeatPassword)) {
        reportFailure(*problem, Status::SignUpFalse);
        return;
    }
    const std::optional<QString> uid = Preferences::uid();
    if (!uid) {
        reportFailure(QStringLiteral("This device has no identifier to sign up with. Please try again."),
                      Status::SignUpFalse);
        return;
    }
    m_client.associateUser(email, password, *uid,
                           [controller = QPointer(this), email, password](std::optional<Error> error,
                                                                          std::optional<JSON> json,
                                                                          std::optional<int> status) {
                               handleAnswer(controller, error, json, status, email, password,
                                            Status::SignUpTrue, Status::SignUpFalse);
                           });
}

void LoginController::handleAnswer(const QPointer<LoginController> &controller,
                                   const std::optional<Error> &error, const std::optional<JSON> &json,
                                   std::optional<int> status, const QString &email, const QString &password,
                                   Status success, Status failure)
{
    if (!json) {
        if (controller)
            controller->reportFailure(error ? error->localizedDescription() : unknownError, failure);
        return;
    }
    // Only a token that can stand in a header as it is counts as an acceptance: every later
    // request carries it.
    const std::optional<QString> token = (*json)[Client::Keys::accesToken].string();
    const bool refused = (*json)[Client::Keys::errors].exists() || status.value_or(0) >= 400;
    if (refused || !token || !isBearerToken(*token)) {
        if (controller)
            controller->reportFailure((*json)[Client::Keys::message].string().value_or(unknownError),
                                      failure);
        return;
    }
    Preferences::setKeychainValue(*token, Preferences::Keys::token);
    Preferences::setKeychainValue(email, Preferences::Keys::email);
    Preferences::setKeychainValue(password, Preferences::Keys::password);
    if (controller)
        controller->setLoginResult(success);
}
