#include "LoginController.h"
#include "Preferences.h"
#include "StandInService.h"
#include "TestHelpers.h"

#include <QtTest>

namespace {

using Status = LoginController::Status;

const QString knownEmail = QStringLiteral("kai@example.com");
const QString knownPassword = QStringLiteral("secret-7");

} // namespace

class LoginControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        m_service.addAccount(knownEmail, knownPassword);
    }

    void emailPattern_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char *email, bool valid) {
            QTest::newRow(email) << QString::fromUtf8(email) << valid;
        };
        row("k.a_i+tag!#$%&'*/=?^`{|}~-@example.com", true);
        row("K\u00e4i\U0001D400@example.com", true); // any letter in the local part, beyond the BMP too
        row("kai@\u00c4xamplE.com", true); // any letter first and last in a label
        row("kai@example.\u00dcBER", true); // any letters in the last label
        row("kai@ex\u00e4mple.com", false);
        row("kai@sub.EXAMPLE.com", false);
        row(" kai@example.com", false);
        row("kai@example.com ", false);
        row("kai@example", false);
        row("k\\ai@example.com", false);
        row("\"kai kim\"@example.com", false);
        row("\"kai\\ kim\"@example.com", true);
        row("kai@[192.0.2.1]", true);
        row("kai@[192.0.2.256]", false);
        row("kai@[192.0.2.tag:x]", true);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "@example.com" << false;
    }

    void emailPattern()
    {
        QFETCH(QString, email);
        QFETCH(bool, valid);
        QCOMPARE(LoginController::isValidEmailAddr(email), valid);
    }

    void inputChecks_data()
    {
        QTest::addColumn<bool>("signUp");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, bool signUp, const QString &email, const QString &password,
                            const QString &repeat, const char *message) {
            QTest::newRow(name) << signUp << email << password << repeat << QString(message);
        };
        const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        row("e-mail first", false, "kai@example", "abc", "", "Please enter valid email");
        const char *tooShort = "Password should be 6 chars at least";
        const char *notSame = "Passwords are not the same";
        row("five accented", false, knownEmail, "e\u0301e\u0301e\u0301e\u0301e\u0301", "", tooShort);
        // Extended grapheme clusters, where counting syllables gives fewer (or, in Myanmar, more).
        const QString tamil = QStringLiteral("\u0BA8\u0BA9\u0BCD\u0BB1\u0BBF"); // 3 clusters
        const QString kannada = QStringLiteral("\u0C95\u0CA8\u0CCD\u0CA8\u0CA1"); // 4 clusters
        const QString khmer = QStringLiteral("\u1781\u17D2\u1798\u17C2\u179A"); // 3 clusters
        row("six Tamil", true, knownEmail, tamil + tamil, "", notSame);
        row("five Tamil", true, knownEmail, tamil + tamil.first(3), "", tooShort);
        row("six Kannada", true, knownEmail, kannada + "\u0C95\u0CCD\u0C95", "", notSame);
        row("five Kannada", true, knownEmail, kannada + "\u0C95", "", tooShort);
        row("six Myanmar", true, knownEmail, QString("\u1000\u1039\u1000").repeated(3), "", notSame);
        row("five Myanmar", true, knownEmail, QString("\u1000\u102D\u102F").repeated(5), "", tooShort);
        row("six Khmer", true, knownEmail, khmer + khmer, "", notSame);
        row("five Khmer", true, knownEmail, khmer + khmer.first(3), "", tooShort);
        row("length before mismatch", true, knownEmail, "12345", "54321", tooShort);
        row("six emoji sequences are six", true, knownEmail, family.repeated(6), "other!", notSame);
        row("not trimmed", true, knownEmail, "secret-7", "secret-7 ", notSame);
    }

    void inputChecks()
    {
        QFETCH(bool, signUp);
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QString, repeat);
        QFETCH(QString, message);
        m_service.clearRequests();
        LoginController controller;
        QStringList log;
        connect(&controller, &LoginController::loginErrorMsgChanged,
                [&] { log << controller.loginErrorMsg(); });
        connect(&controller, &LoginController::loginErrorChanged,
                [&] { log << QString::number(controller.loginError()); });
        connect(&controller, &LoginController::loginResultChanged,
                [&] { log << QString::number(int(controller.loginResult())); });
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (signUp)
                controller.signupPressed(email, password, repeat);
            else
                controller.loginPressed(email, password);
        }
        const QStringList once{message, "1",
                               QString::number(int(signUp ? Status::SignUpFalse : Status::LogInFalse))};
        QCOMPARE(log, once + once);
        QTest::qWait(50);
        QVERIFY(m_service.requests().isEmpty());
    }

    void serviceOutcomes_data()
    {
        QTest::addColumn<bool>("signUp");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>(
            "override"); // the service's answer body instead of its own; empty: its own
        QTest::addColumn<Status>("result");
        QTest::addColumn<QString>(
            "detail"); // a failure's message, else the stored token ("*": the account's)
        const auto row = [](const char *name, bool signUp, const QString &email, const QString &password,
                            const QByteArray &body, Status result, const char *detail, int status = 200) {
            QTest::newRow(name) << signUp << email << password << status << body << result << QString(detail);
        };
        row("accepted, e-mail as typed", false, "Kai@Example.com", knownPassword, {}, Status::LogInTrue, "*");
        row("refused", false, knownEmail, "wrong-pw", {}, Status::LogInFalse,
            "These credentials do not match our records.");
        row("errors null", false, knownEmail, knownPassword, R"({"errors": null, "access_token": "t"})",
            Status::LogInFalse, "Unknown Error");
        row("message not text", false, knownEmail, knownPassword, R"({"errors": {}, "message": 5})",
            Status::LogInFalse, "Unknown Error");
        row("error status without errors", false, knownEmail, knownPassword,
            R"({"message": "Too many attempts.", "access_token": "t"})", Status::LogInFalse,
            "Too many attempts.", 429);
        row("error status, no message", true, "new@example.com", knownPassword, R"({"access_token": "t"})",
            Status::SignUpFalse, "Unknown Error", 500);
        row("no token", false, knownEmail, knownPassword, "[]", Status::LogInFalse, "Unknown Error");
        row("token not text", false, knownEmail, knownPassword, R"({"access_token": 12345})",
            Status::LogInFalse, "Unknown Error");
        row("token with a line break", false, knownEmail, knownPassword,
            R"({"access_token": "t\r\nX-Admin: 1", "message": "Welcome!"})", Status::LogInFalse, "Welcome!");
        row("sign-up token with a blank", true, "new@example.com", knownPassword,
            R"({"access_token": "t t"})", Status::SignUpFalse, "Unknown Error");
        row("padding inside the token", false, knownEmail, knownPassword, R"({"access_token": "t=t"})",
            Status::LogInFalse, "Unknown Error");
        row("token beyond ASCII", false, knownEmail, knownPassword, R"({"access_token": "t\u00f6ken"})",
            Status::LogInFalse, "Unknown Error");
        row("empty token", false, knownEmail, knownPassword, R"({"access_token": ""})", Status::LogInFalse,
            "Unknown Error");
        row("every token character", false, knownEmail, knownPassword,
            R"({"access_token": "azAZ09-._~+/=="})", Status::LogInTrue, "azAZ09-._~+/==");
        row("unreadable", false, knownEmail, knownPassword, "<html>", Status::LogInFalse,
            "The data is not valid JSON");
        row("sign-up, equivalent repeat", true, "new@example.com", "caf\u00e9-\u00e9t\u00e9", {},
            Status::SignUpTrue, "*");
        row("sign-up refused", true, knownEmail, "another-1", {}, Status::SignUpFalse,
            "The email has already been taken.");
    }

    void serviceOutcomes()
    {
        QFETCH(bool, signUp);
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QByteArray, override);
        QFETCH(Status, result);
        QFETCH(QString, detail);
        const QString endpoint = signUp ? "auth/email" : "auth/login/email";
        m_service.clearRequests();
        if (!override.isEmpty())
            m_service.answerNext(endpoint, TestHelpers::jsonAnswer(status, override));
        Preferences::setToken(QStringLiteral("earlier-token"));
        Preferences::setEmail(std::nullopt);
        Preferences::setPassword(std::nullopt);

        LoginController controller;
        QSignalSpy results(&controller, &LoginController::loginResultChanged);
        if (signUp)
            controller.signupPressed(email, password, password.normalized(QString::NormalizationForm_D));
        else
            controller.loginPressed(email, password);
        QVERIFY(results.wait());
        QCOMPARE(controller.loginResult(), result);
        const StandInService::Request sent = m_service.requestsTo(endpoint).value(0);
        QCOMPARE(sent.formField("email_password"), password);
        if (signUp)
            QCOMPARE(sent.formField("uid"), Preferences::uid().value());

        if (result == Status::LogInFalse || result == Status::SignUpFalse) {
            QVERIFY2(controller.loginErrorMsg().startsWith(detail), qPrintable(controller.loginErrorMsg()));
            QCOMPARE(Preferences::token(), "earlier-token");
            QCOMPARE(Preferences::email(), std::nullopt);
            QCOMPARE(Preferences::password(), std::nullopt);
            return;
        }
        QCOMPARE(controller.loginErrorMsg(), "NotLoggedIn");
        QCOMPARE(Preferences::token(),
                 detail == "*" ? QString::fromLatin1(m_service.tokenOf(email)) : detail);
        QCOMPARE(Preferences::email(), email);
        QCOMPARE(Preferences::password(), password);
    }

private:
    StandInService m_service;
};

QTEST_GUILESS_MAIN(LoginControllerTest)
#include "LoginControllerTest.moc"
