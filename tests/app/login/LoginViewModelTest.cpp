#include "NetworkManagerPeers.h"

#include "Client.h"
#include "ContentViewModel.h"
#include "LoginViewModel.h"
#include "Services.h"
#include "VPNHelper.h"

#include <QtTest>

namespace {

using Mode = LoginViewModel::Mode;
using Status = LoginController::Status;
using State = ContentViewModel::ProgramState;

} // namespace

// The login screen's decisions without the screen: the reaction to each result, the reset page.
class LoginViewModelTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each delivered result acts on a later turn of the main loop, from whichever mode.
    void reactionToResults_data()
    {
        QTest::addColumn<bool>("fromSignUp");
        QTest::addColumn<Status>("result");
        QTest::addColumn<Mode>("mode");
        QTest::addColumn<State>("state");
        QTest::newRow("none") << true << Status::None << Mode::LogIn << State::NeedLogin;
        QTest::newRow("login failed") << true << Status::LogInFalse << Mode::LogIn << State::NeedLogin;
        QTest::newRow("sign-up failed") << false << Status::SignUpFalse << Mode::SignUp << State::NeedLogin;
        QTest::newRow("logged in") << false << Status::LogInTrue << Mode::LogIn << State::LoggedIn;
        QTest::newRow("signed up") << true << Status::SignUpTrue << Mode::SignUp << State::LoggedIn;
    }

    void reactionToResults()
    {
        QFETCH(bool, fromSignUp);
        QFETCH(Status, result);
        QFETCH(Mode, mode);
        QFETCH(State, state);
        ContentViewModel vm;
        LoginViewModel model;
        model.setVm(&vm);
        model.setServices(&m_services);
        model.componentComplete();
        QTest::qWait(0);
        if (fromSignUp)
            model.showSignUp();
        const Mode before = model.mode();
        QSignalSpy stateChanges(&vm, &ContentViewModel::stateChanged);

        model.controller()->setLoginResult(result);
        QCOMPARE(model.mode(), before);
        QCOMPARE(stateChanges.size(), 0);
        QTRY_COMPARE(model.mode(), mode);
        QTRY_COMPARE(vm.state(), state);
        QCOMPARE(stateChanges.size(), state == State::LoggedIn ? 1 : 0);
    }

    void passwordResetAddress_data()
    {
        QTest::addColumn<QByteArray>("host");
        QTest::addColumn<QString>("address");
        QTest::newRow("host") << QByteArray("velmora.io") << "https://velmora.io/reset_password";
        QTest::newRow("with port") << QByteArray("127.0.0.1:8443") << "https://127.0.0.1:8443/reset_password";
        QTest::newRow("path") << QByteArray("evil.example/phish?x=") << "";
        QTest::newRow("user") << QByteArray("user@velmora.io") << "";
        QTest::newRow("fragment") << QByteArray("velmora.io#top") << "";
        QTest::newRow("blank") << QByteArray("velmora io") << "";
        QTest::newRow("line break") << QByteArray("velmora.io\r\nX: y") << "";
    }

    void passwordResetAddress()
    {
        QFETCH(QByteArray, host);
        QFETCH(QString, address);
        qputenv("VELMORA_WEB_HOST", host);
        const QUrl url = LoginViewModel::passwordResetUrl();
        qunsetenv("VELMORA_WEB_HOST");
        QCOMPARE(url, address.isEmpty() ? QUrl() : QUrl(address));
        QCOMPARE(url.toString(QUrl::FullyEncoded), address);
    }

private:
    NetworkManagerPeers::PrivateBus m_bus;
    VPNHelper m_helper{m_bus.connect()};
    Services m_services{Client::shared(), m_helper};
};

QTEST_GUILESS_MAIN(LoginViewModelTest)
#include "LoginViewModelTest.moc"
