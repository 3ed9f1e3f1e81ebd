#include "AppWindow.h"
#include "Assets.h"

#include "LoginViewModel.h"
#include "Preferences.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "Workspace.h"

#include <QAccessible>
#include <QtTest>

namespace {

using Mode = LoginViewModel::Mode;

// TextInput.echoMode's values.
enum class Echo { Normal = 0, Password = 2 };

const QString knownEmail = QStringLiteral("kai@example.com");
const QString knownPassword = QStringLiteral("secret-7");

} // namespace

// The login screen as a user meets it: typing, clicking, Return, the alert, the switch to the main
// screen.
class LoginViewTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        m_service.addAccount(knownEmail, knownPassword);
    }

    void init()
    {
        Preferences::setEmail(std::nullopt);
        Preferences::setToken(std::nullopt);
        m_service.clearAnswers();
        m_service.clearRequests();
        m_app = std::make_unique<AppWindow>();
        QVERIFY(m_app->open());
        QVERIFY(m_app->find(QStringLiteral("loginView")));
    }

    void cleanup() { m_app.reset(); }

    void freshScreenLogsIn()
    {
        QCOMPARE(mode(), Mode::LogIn);
        for (const char *name : {"logo", "title", "emailField", "passwordFieldInput", "passwordFieldEye",
                                 "keepLoggedIn", "forgetPassword", "mainButton", "logoPanel"})
            QVERIFY2(m_app->shows(QString::fromUtf8(name)), name);
        QVERIFY(!m_app->find(QStringLiteral("repeatPasswordField")));
        QCOMPARE(text("title"), QStringLiteral("Velmora"));
        QCOMPARE(text("mainButton"), QStringLiteral("Login"));
        QCOMPARE(text("modeSwitchText"), QStringLiteral("Don't have account yet?"));
        QCOMPARE(text("modeSwitchLink"), QStringLiteral("Sign Up"));
        QCOMPARE(m_app->find(QStringLiteral("emailField"))->property("placeholderText").toString(),
                 QStringLiteral("Email"));
        QVERIFY(!m_app->shows(QStringLiteral("alertMessage")));
        // The panel is the named colour, drawn as the panel's own.
        QCOMPARE(m_app->find(QStringLiteral("logoPanel"))->property("color").value<QColor>(),
                 Assets::rightBarColor());
        m_app->screenshot(QStringLiteral("login-logIn"));
    }

    void modeLinksKeepTheTypedTexts()
    {
        m_app->type(QStringLiteral("emailField"), QStringLiteral("kai@example"));
        m_app->type(QStringLiteral("passwordFieldInput"), QStringLiteral("abc"));
        m_app->click(QStringLiteral("modeSwitchLink"));
        QCOMPARE(mode(), Mode::SignUp);
        QTRY_VERIFY(m_app->shows(QStringLiteral("repeatPasswordFieldInput")));
        QCOMPARE(text("mainButton"), QStringLiteral("Sign Up"));
        QCOMPARE(text("modeSwitchText"), QStringLiteral("If you already have an account, "));
        QCOMPARE(text("modeSwitchLink"), QStringLiteral("Log In"));
        m_app->type(QStringLiteral("repeatPasswordFieldInput"), QStringLiteral("xyz"));
        m_app->click(QStringLiteral("repeatPasswordFieldEye"));
        m_app->screenshot(QStringLiteral("login-signUp"));

        m_app->click(QStringLiteral("modeSwitchLink"));
        QCOMPARE(mode(), Mode::LogIn);
        QTRY_VERIFY(!m_app->find(QStringLiteral("repeatPasswordField")));
        QCOMPARE(text("mainButton"), QStringLiteral("Login"));
        QCOMPARE(text("emailField"), QStringLiteral("kai@example"));
        QCOMPARE(text("passwordFieldInput"), QStringLiteral("abc"));

        // The repeated password comes back with its text, masked again.
        m_app->click(QStringLiteral("modeSwitchLink"));
        QTRY_VERIFY(m_app->find(QStringLiteral("repeatPasswordFieldInput")));
        QCOMPARE(text("repeatPasswordFieldInput"), QStringLiteral("xyz"));
        QCOMPARE(echoMode("repeatPasswordFieldInput"), Echo::Password);
    }

    void eyeButtonShowsOnlyItsOwnField()
    {
        m_app->click(QStringLiteral("modeSwitchLink"));
        QTRY_VERIFY(m_app->find(QStringLiteral("repeatPasswordFieldInput")));
        m_app->type(QStringLiteral("passwordFieldInput"), QStringLiteral("first-1"));
        m_app->type(QStringLiteral("repeatPasswordFieldInput"), QStringLiteral("second-2"));

        m_app->click(QStringLiteral("passwordFieldEye"));
        QCOMPARE(echoMode("passwordFieldInput"), Echo::Normal);
        QCOMPARE(echoMode("repeatPasswordFieldInput"), Echo::Password);
        QCOMPARE(text("passwordFieldInput"), QStringLiteral("first-1"));

        m_app->click(QStringLiteral("passwordFieldEye"));
        QCOMPARE(echoMode("passwordFieldInput"), Echo::Password);
        QCOMPARE(text("passwordFieldInput"), QStringLiteral("first-1"));
    }

    // Return acts as the main button of the mode; an input error passes through "Loading…", and the
    // alert with the controller's text is up before the mode comes back.
    void returnAndInputErrors_data()
    {
        QTest::addColumn<bool>("signUp");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("log in") << false << "kai@example"
                                << "secret-7"
                                << "Please enter valid email";
        QTest::newRow("sign up") << true << knownEmail << "12345"
                                 << "Password should be 6 chars at least";
    }

    void returnAndInputErrors()
    {
        QFETCH(bool, signUp);
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(QString, message);
        if (signUp)
            m_app->click(QStringLiteral("modeSwitchLink"));
        m_app->type(QStringLiteral("emailField"), email);
        m_app->type(QStringLiteral("passwordFieldInput"), password);
        QStringList seen;
        connect(model(), &LoginViewModel::modeChanged, this, [this, &seen] {
            const QString shown = QVariant::fromValue(mode()).toString();
            seen.append(mode() == Mode::Loading
                            ? shown
                            : QStringLiteral("%1 %2 %3")
                                  .arg(shown, controller()->property("loginError").toString(),
                                       controller()->property("loginErrorMsg").toString()));
        });

        m_app->key(Qt::Key_Return);
        const QString back = signUp ? QStringLiteral("SignUp") : QStringLiteral("LogIn");
        QTRY_COMPARE(seen,
                     (QStringList{QStringLiteral("Loading"), back + QStringLiteral(" true ") + message}));
        QTRY_VERIFY(m_app->shows(QStringLiteral("alertMessage")));
        QCOMPARE(text("alertMessage"), message);
        QCOMPARE(text("emailField"), email);
        QVERIFY(m_service.requests().isEmpty());
    }

    void alertShowsTheServiceTextVerbatim()
    {
        const QString message = QStringLiteral("<b>Wrong</b> password & \"more\"");
        m_service.answerNext(
            QStringLiteral("auth/login/email"),
            TestHelpers::jsonAnswer(
                422, QJsonDocument(QJsonObject{{"errors", QJsonObject{}}, {"message", message}}).toJson()));
        logIn(knownEmail, QStringLiteral("wrong-password"));
        QTRY_VERIFY(m_app->shows(QStringLiteral("alertMessage")));
        QTRY_COMPARE(mode(), Mode::LogIn);
        QCOMPARE(text("alertMessage"), message);
        QCOMPARE(m_app->find(QStringLiteral("alertMessage"))->property("textFormat").toInt(),
                 int(Qt::PlainText));
        // Past the alert's opening transition.
        QTRY_VERIFY(m_app->object(QStringLiteral("alert"))->property("opened").toBool());
        m_app->screenshot(QStringLiteral("login-alert"));

        // While the alert is up, Return belongs to it, not to the form.
        m_app->key(Qt::Key_Return);
        QTRY_VERIFY(!controller()->property("loginError").toBool());
        QCOMPARE(controller()->property("loginErrorMsg").toString(), QString());
        QTRY_VERIFY(!m_app->shows(QStringLiteral("alertMessage")));
        QCOMPARE(m_service.requestsTo(QStringLiteral("auth/login/email")).size(), 1);
        QCOMPARE(mode(), Mode::LogIn);
    }

    void alertCloses_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("OK") << false;
        QTest::newRow("Escape") << true;
    }

    // Like every other alert of the application.
    void alertCloses()
    {
        QFETCH(bool, escape);
        m_app->type(QStringLiteral("emailField"), QStringLiteral("nobody"));
        m_app->click(QStringLiteral("mainButton"));
        QTRY_VERIFY(m_app->shows(QStringLiteral("alertOK")));
        QTRY_VERIFY(m_app->object(QStringLiteral("alert"))->property("opened").toBool());
        if (escape)
            m_app->key(Qt::Key_Escape);
        else
            m_app->click(QStringLiteral("alertOK"));
        QTRY_VERIFY(!m_app->shows(QStringLiteral("alertMessage")));
        QVERIFY(!controller()->property("loginError").toBool());
        QCOMPARE(controller()->property("loginErrorMsg").toString(), QString());
    }

    void loadingShowsOnlyTheProgress()
    {
        StandInService::Answer slow = TestHelpers::jsonAnswer(422, R"({"errors":{},"message":"Later"})");
        slow.delayMs = 1500;
        m_service.answerNext(QStringLiteral("auth/login/email"), slow);
        logIn(knownEmail, knownPassword);
        QTRY_COMPARE(mode(), Mode::Loading);
        QTRY_VERIFY(m_app->shows(QStringLiteral("loadingLabel")));
        QCOMPARE(text("loadingLabel"), QStringLiteral("Loading…"));
        for (const char *name : {"logo", "title", "loadingIndicator", "logoPanel"})
            QVERIFY2(m_app->shows(QString::fromUtf8(name)), name);
        for (const char *name : {"emailField", "mainButton", "forgetPassword", "modeSwitchLink"})
            QVERIFY2(!m_app->shows(QString::fromUtf8(name)), name);
        m_app->screenshot(QStringLiteral("login-loading"));

        m_app->key(Qt::Key_Return);
        QTRY_COMPARE(mode(), Mode::LogIn);
        QCOMPARE(m_service.requestsTo(QStringLiteral("auth/login/email")).size(), 1);
        QCOMPARE(text("emailField"), knownEmail);
    }

    void failedSignUpReturnsToSignUp()
    {
        m_service.answerNext(QStringLiteral("auth/email"),
                             TestHelpers::jsonAnswer(422, R"({"errors":{},"message":"Taken"})"));
        m_app->click(QStringLiteral("modeSwitchLink"));
        QTRY_VERIFY(m_app->find(QStringLiteral("repeatPasswordFieldInput")));
        m_app->type(QStringLiteral("emailField"), knownEmail);
        m_app->type(QStringLiteral("passwordFieldInput"), knownPassword);
        m_app->type(QStringLiteral("repeatPasswordFieldInput"), knownPassword);
        QSignalSpy modes(model(), &LoginViewModel::modeChanged);
        m_app->click(QStringLiteral("mainButton"));
        QTRY_COMPARE(modes.size(), 2);
        QCOMPARE(mode(), Mode::SignUp);
        QCOMPARE(text("alertMessage"), QStringLiteral("Taken"));
        QVERIFY(m_app->find(QStringLiteral("repeatPasswordFieldInput")));
    }

    void successShowsTheMainScreen_data()
    {
        QTest::addColumn<bool>("signUp");
        QTest::newRow("log in") << false;
        QTest::newRow("sign up") << true;
    }

    void successShowsTheMainScreen()
    {
        QFETCH(bool, signUp);
        QSignalSpy stateChanges(&m_app->vm(), &ContentViewModel::stateChanged);
        const QString email = signUp ? QStringLiteral("new@example.com") : knownEmail;
        if (signUp) {
            m_app->click(QStringLiteral("modeSwitchLink"));
            QTRY_VERIFY(m_app->find(QStringLiteral("repeatPasswordFieldInput")));
            m_app->type(QStringLiteral("repeatPasswordFieldInput"), knownPassword);
        }
        m_app->type(QStringLiteral("emailField"), email);
        m_app->type(QStringLiteral("passwordFieldInput"), knownPassword);
        m_app->key(Qt::Key_Enter);

        QTRY_COMPARE(m_app->vm().state(), ContentViewModel::ProgramState::LoggedIn);
        QCOMPARE(stateChanges.size(), 1);
        QTRY_VERIFY(m_app->screen() && m_app->screen()->objectName() != QStringLiteral("loginView"));
        QTRY_VERIFY(!m_app->find(QStringLiteral("loginView")));
        QCOMPARE(Preferences::email(), email);
    }

    // The keyboard alone reaches every control, each with a name a screen reader can say.
    void tabReachesEveryControl()
    {
        m_app->click(QStringLiteral("modeSwitchLink"));
        QTRY_VERIFY(m_app->find(QStringLiteral("repeatPasswordFieldInput")));
        m_app->click(QStringLiteral("emailField"));
        QStringList reached;
        for (int i = 0; i < 10; ++i) {
            const QQuickItem *focused = m_app->window()->activeFocusItem();
            QVERIFY(focused);
            reached.append(focused->objectName());
            m_app->key(Qt::Key_Tab);
        }
        QCOMPARE(reached,
                 (QStringList{"emailField", "passwordFieldInput", "passwordFieldEye",
                              "repeatPasswordFieldInput", "repeatPasswordFieldEye", "keepLoggedIn",
                              "forgetPassword", "mainButton", "modeSwitchLink", "emailField"}));
        for (const QString &name : reached) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(m_app->find(name));
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(), qPrintable(name));
        }
    }

    void resetLinkOpensTheWebPage()
    {
        QList<QUrl> opened;
        Workspace::setHandler([&opened](const QUrl &url) { opened.append(url); });
        qputenv("VELMORA_WEB_HOST", "web.velmora.test");
        m_app->click(QStringLiteral("forgetPassword"));
        qunsetenv("VELMORA_WEB_HOST");
        Workspace::setHandler(nullptr);
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://web.velmora.test/reset_password"))});
        QCOMPARE(mode(), Mode::LogIn);
    }

    // Each time the login screen is shown the whole window becomes 800 x 500, its lower-left corner
    // staying where it was.
    void shownScreenSizesTheWindow()
    {
        QWindow *window = m_app->window();
        QTRY_COMPARE(window->frameGeometry().size(), QSize(800, 500));
        m_app->vm().setState(ContentViewModel::ProgramState::LoggedIn);
        window->setFramePosition(QPoint(40, 300));
        window->resize(640, 320);
        QTRY_COMPARE(window->frameGeometry().topLeft(), QPoint(40, 300));
        const QRect before = window->frameGeometry();
        QVERIFY(before.size() != QSize(800, 500));

        m_app->vm().setState(ContentViewModel::ProgramState::NeedLogin);
        QTRY_COMPARE(window->frameGeometry().size(), QSize(800, 500));
        QCOMPARE(window->frameGeometry().bottomLeft(), before.bottomLeft());
    }

private:
    [[nodiscard]] LoginViewModel *model() const { return m_app->window()->findChild<LoginViewModel *>(); }
    [[nodiscard]] QObject *controller() const { return model()->controller(); }
    [[nodiscard]] Mode mode() const { return model()->mode(); }
    [[nodiscard]] QString text(const char *name) const
    {
        const QObject *item = m_app->object(QString::fromUtf8(name));
        return item ? item->property("text").toString() : QStringLiteral("<no %1>").arg(name);
    }
    [[nodiscard]] Echo echoMode(const char *name) const
    {
        return Echo(m_app->find(QString::fromUtf8(name))->property("echoMode").toInt());
    }
    void logIn(const QString &email, const QString &password)
    {
        m_app->type(QStringLiteral("emailField"), email);
        m_app->type(QStringLiteral("passwordFieldInput"), password);
        m_app->click(QStringLiteral("mainButton"));
    }

    StandInService m_service;
    std::unique_ptr<AppWindow> m_app;
};

QTEST_MAIN(LoginViewTest)
#include "LoginViewTest.moc"
