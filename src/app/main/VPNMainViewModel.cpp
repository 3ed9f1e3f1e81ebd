#include "VPNMainViewModel.h"

#include "ContentViewModel.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "SettingBinding.h"
#include "WindowFrame.h"

VPNMainViewModel::VPNMainViewModel(QObject *parent)
    : QObject(parent)
{
    // Presence is what counts: an empty stored token still shows the screen, unlike at start-up.
    const bool hasToken = Preferences::token().has_value();
    const std::optional<QString> email = Preferences::email();
    m_loggedIn = hasToken && email.has_value();
    m_accountName = email.value_or(tr("UNDEFINED"));
    connect(&Preferences::compactViewBinding(), &SettingBinding::valueChanged, this,
            &VPNMainViewModel::compactChanged);
}

bool VPNMainViewModel::compact() const
{
    return Preferences::compactView();
}

QSize VPNMainViewModel::windowSize(bool compact)
{
    return compact ? QSize(300, 600) : QSize(800, 600);
}

void VPNMainViewModel::adjustWindowSize(QWindow *window) const
{
    const QSize size = windowSize();
    WindowFrame::resize(window, size.width(), size.height());
}

void VPNMainViewModel::requestLogin() const
{
    MainQueue::async([] { NotificationCenter::defaultCenter().post(QStringLiteral("logout")); });
}

void VPNMainViewModel::logOut(ContentViewModel *vm) const
{
    NotificationCenter::defaultCenter().post(QStringLiteral("logout"));
    if (vm)
        vm->setState(ContentViewModel::ProgramState::NeedLogin);
}
