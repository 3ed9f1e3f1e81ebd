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
        row("kai@\u00c4xamplE.com", true);          // any letter first and last in a label
        row("kai@example.\u00dcBER", true);         // any letters in the last label
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
        connect(&controller, &LoginController::loginErrorMsgChanged, [&] { log << controller.loginErrorMsg(); });
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
        const QStringList once{message, "1", QString::number(int(signUp ? Status::SignUpFalse : Status::LogInFalse))};
        QCOMPARE(log, once + once);
        QTest::qWait(50);
        QVERIFY(m_service.requests().isEmpty());
    }

    void serviceOutcomes_data()
    {
        QTest::addColumn<bool>("signUp");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("override"); // the service's answer body instead of its own; empty: its own
        QTest::addColumn<Status>("result");
        QTest::addColumn<QString>("detail"); // a failure's message, else the stored token ("*": the account's)
        const auto row = [](const char *name, bool signUp, const QString &email, const QString &password,
                            const QByteArray &body, Status result, const char *detail) {
            QTest::newRow(name) << signUp << email << password << body << result << QString(detail);
        };
        row("accepted, e-mail as typed", false, "Kai@Example.com", knownPassword, {}, Status::LogInTrue, "*");
        row("refused", false, knownEmail, "wrong-pw", {}, Status::LogInFalse,
            "These credentials do not match our records.");
        row("errors null", false, knownEmail, knownPassword, R"({"errors": null, "access_token": "t"})",
            Status::LogInFalse, "Unknown Error");
        row("message not text", false, knownEmail, knownPassword, R"({"errors": {}, "message": 5})", Status::LogInFalse,
            "Unknown Error");
        row("no token", false, knownEmail, knownPassword, "[]", Status::LogInTrue, "");
        row("unreadable", false, knownEmail, knownPassword, "<html>", Status::LogInFalse, "The data is not valid JSON");
        row("sign-up, equivalent repeat", true, "new@example.com", "caf\u00e9-\u00e9t\u00e9", {}, Status::SignUpTrue,
            "*");
        row("sign-up refused", true, knownEmail, "another-1", {}, Status::SignUpFalse,
            "The email has already been taken.");
    }

    void serviceOutcomes()
    {
        QFETCH(bool, signUp);
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QByteArray, override);
        QFETCH(Status, result);
        QFETCH(QString, detail);
        const QString endpoint = signUp ? "auth/email" : "auth/login/email";
        m_service.clearRequests();
        if (!override.isEmpty())
            m_service.answerNext(endpoint, TestHelpers::jsonAnswer(200, override));
        Preferences::setToken(QStringLiteral("earlier-token"));
        Preferences::setEmail(std::nullopt);

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
            return;
        }
        QCOMPARE(controller.loginErrorMsg(), "NotLoggedIn");
        QCOMPARE(Preferences::token(), detail == "*" ? QString::fromLatin1(m_service.tokenOf(email)) : detail);
        QCOMPARE(Preferences::email(), email);
        QCOMPARE(Preferences::password(), password);
    }

private:
    StandInService m_service;
};

QTEST_GUILESS_MAIN(LoginControllerTest)
#include "LoginControllerTest.moc"
