#include "MainScreen.h"

#include "ContentViewModel.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "SettingBinding.h"
#include "WindowFrame.h"

MainScreen::MainScreen(QObject *parent)
    : QObject(parent)
{
    // Presence is what counts: an empty stored token still shows the screen, unlike at start-up.
    const bool hasToken = Preferences::token().has_value();
    const std::optional<QString> email = Preferences::email();
    m_loggedIn = hasToken && email.has_value();
    m_accountName = email.value_or(tr("UNDEFINED"));
    connect(&Preferences::compactViewBinding(), &SettingBinding::valueChanged, this,
            &MainScreen::compactChanged);
}

bool MainScreen::compact() const
{
    return Preferences::compactView();
}

QSize MainScreen::windowSize(bool compact)
{
    return compact ? QSize(300, 600) : QSize(800, 600);
}

void MainScreen::adjustWindowSize(QWindow *window) const
{
    const QSize size = windowSize();
    WindowFrame::resize(window, size.width(), size.height());
}

void MainScreen::requestLogin() const
{
    MainQueue::async([] { NotificationCenter::defaultCenter().post(QStringLiteral("logout")); });
}

void MainScreen::logOut(ContentViewModel *vm) const
{
    NotificationCenter::defaultCenter().post(QStringLiteral("logout"));
    if (vm)
        vm->setState(ContentViewModel::ProgramState::NeedLogin);
}
