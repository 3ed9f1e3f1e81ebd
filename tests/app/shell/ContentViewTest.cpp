#include "AppWindow.h"

#include "NotificationCenter.h"
#include "Preferences.h"
#include "StandInService.h"
#include "TestHelpers.h"

#include <QtTest>

namespace {

using State = ContentViewModel::ProgramState;

const QString loginView = QStringLiteral("loginView");

} // namespace

// The window's root: the screen chosen from the stored credentials, and the switches between the
// login and the main screen.
class ContentViewTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(TestHelpers::startForClient(m_service)); }

    void init()
    {
        Preferences::setEmail(std::nullopt);
        Preferences::setToken(std::nullopt);
    }

    // No request is needed to choose: only a non-empty e-mail and token lead to the main screen.
    void screenAtStart_data()
    {
        QTest::addColumn<std::optional<QString>>("email");
        QTest::addColumn<std::optional<QString>>("token");
        QTest::addColumn<State>("state");
        const std::optional<QString> none;
        const QString email = QStringLiteral("kai@example.com");
        const QString token = QStringLiteral("t0k3n");
        QTest::newRow("both") << std::optional(email) << std::optional(token) << State::LoggedIn;
        QTest::newRow("no e-mail") << none << std::optional(token) << State::NeedLogin;
        QTest::newRow("no token") << std::optional(email) << none << State::NeedLogin;
        QTest::newRow("empty e-mail") << std::optional(QString()) << std::optional(token) << State::NeedLogin;
        QTest::newRow("empty token") << std::optional(email) << std::optional(QString()) << State::NeedLogin;
        QTest::newRow("nothing") << none << none << State::NeedLogin;
    }

    void screenAtStart()
    {
        QFETCH(std::optional<QString>, email);
        QFETCH(std::optional<QString>, token);
        QFETCH(State, state);
        Preferences::setEmail(email);
        Preferences::setToken(token);
        m_service.clearRequests();

        AppWindow app;
        QCOMPARE(app.vm().state(), state);
        QVERIFY(app.open());
        QVERIFY(app.screen());
        QCOMPARE(app.screen()->objectName() == loginView, state == State::NeedLogin);
        if (state == State::NeedLogin) {
            QVERIFY(m_service.requests().isEmpty());
            return;
        }
        // The main screen asks for the regions and the plan; let them arrive within this row.
        QTRY_COMPARE(m_service.requests().size(), 2);
    }

    // Each entry to a state builds its screen afresh; "showLoginView" on the login screen keeps it.
    void switchesMakeFreshScreens()
    {
        AppWindow app;
        QVERIFY(app.open());
        app.type(QStringLiteral("emailField"), QStringLiteral("kai@example.com"));
        app.click(QStringLiteral("modeSwitchLink"));
        QPointer<QQuickItem> first = app.screen();

        QSignalSpy stateChanges(&app.vm(), &ContentViewModel::stateChanged);
        NotificationCenter::defaultCenter().post(QStringLiteral("showLoginView"), nullptr);
        NotificationCenter::defaultCenter().post(QStringLiteral("showLoginView"), nullptr);
        QCOMPARE(stateChanges.size(), 2);
        QCOMPARE(app.screen(), first.data());
        QCOMPARE(app.object(QStringLiteral("emailField"))->property("text").toString(),
                 QStringLiteral("kai@example.com"));
        QVERIFY(app.find(QStringLiteral("repeatPasswordFieldInput")));

        app.vm().setState(State::LoggedIn);
        QVERIFY(app.screen() && app.screen()->objectName() != loginView);
        QTRY_VERIFY(!first);

        NotificationCenter::defaultCenter().post(QStringLiteral("showLoginView"), nullptr);
        QVERIFY(app.screen() && app.screen()->objectName() == loginView);
        QCOMPARE(app.object(QStringLiteral("emailField"))->property("text").toString(), QString());
        QVERIFY(!app.find(QStringLiteral("repeatPasswordFieldInput")));

        // The main screen comes back after a logout, made anew.
        app.vm().setState(State::LoggedIn);
        QVERIFY(app.screen() && app.screen()->objectName() != loginView);
    }

private:
    StandInService m_service;
};

QTEST_MAIN(ContentViewTest)
#include "ContentViewTest.moc"
