#include "SettingsViewModel.h"

#include "LoginItem.h"
#include "MainQueue.h"
#include "Preferences.h"
#include "SettingBinding.h"
#include "UserDefaults.h"
#include "VPNHelper.h"
#include "VPNMainViewModel.h"
#include "WindowFrame.h"

SettingsViewModel::SettingsViewModel(VPNProtocol selectedProtocol, QObject *parent)
    : QObject(parent)
    , m_defaultProtocol(selectedProtocol)
    , m_compactView(Preferences::compactView())
    , m_launchAtLogin(LoginItem::isEnabled())
{
    connect(&Preferences::killSwitchBinding(), &SettingBinding::valueChanged, this,
            &SettingsViewModel::killSwitchChanged);
    connect(&Preferences::excludeLocalNetworksBinding(), &SettingBinding::valueChanged, this,
            &SettingsViewModel::excludeLocalNetworksChanged);
}

void SettingsViewModel::setServices(Services *value)
{
    if (m_services == value)
        return;
    m_services = value;
    Q_EMIT servicesChanged();
}

void SettingsViewModel::setMainWindow(QWindow *value)
{
    if (m_mainWindow == value)
        return;
    m_mainWindow = value;
    Q_EMIT mainWindowChanged();
}

VPNProtocol SettingsViewModel::selectedProtocol() const
{
    const std::optional<QString> stored = UserDefaults::standard().string(QStringLiteral("VPNProtocol"));
    return stored ? vpnProtocolFromRawValue(*stored).value_or(m_defaultProtocol) : m_defaultProtocol;
}

void SettingsViewModel::setCompactView(bool value)
{
    if (m_compactView == value)
        return;
    m_compactView = value;
    Preferences::setCompactView(value);
    Q_EMIT compactViewChanged();
    MainQueue::async([screen = QPointer(this), value] {
        if (screen)
            screen->updateWindowSize(value);
    });
}

void SettingsViewModel::updateWindowSize(bool compact)
{
    const QSize size = VPNMainViewModel::windowSize(compact);
    WindowFrame::resize(m_mainWindow, size.width(), size.height());
}

bool SettingsViewModel::killSwitch() const
{
    return Preferences::killSwitch();
}

void SettingsViewModel::setKillSwitch(bool value)
{
    Preferences::setKillSwitch(value);
}

bool SettingsViewModel::excludeLocalNetworks() const
{
    return Preferences::excludeLocalNetworks();
}

void SettingsViewModel::setExcludeLocalNetworks(bool value)
{
    Preferences::setExcludeLocalNetworks(value);
}

void SettingsViewModel::setLaunchAtLogin(bool value)
{
    LoginItem::setEnabled(value);
    m_launchAtLogin = LoginItem::isEnabled();
    // Also when nothing changed: a switch the user flipped goes back to what the system holds.
    Q_EMIT launchAtLoginChanged();
}

QString SettingsViewModel::alertTitle() const
{
    return m_activeAlert ? m_activeAlert->title : QString();
}

QString SettingsViewModel::alertMessage() const
{
    return m_activeAlert ? m_activeAlert->message : QString();
}

void SettingsViewModel::removeProfile()
{
    if (!m_services)
        return;
    m_services->vpn().removeVPNProfile([screen = QPointer(this)](std::optional<Error> error) {
        MainQueue::async([screen, error] {
            if (!screen)
                return;
            if (error)
                screen->setActiveAlert(SettingsView::ActiveAlert{
                    QStringLiteral("Error"),
                    QStringLiteral("Error removing VPN profile: ") + error->localizedDescription()});
            else
                screen->setActiveAlert(SettingsView::ActiveAlert{
                    QStringLiteral("Profile Removed"),
                    QStringLiteral("The VPN profile has been successfully removed from your device.")});
        });
    });
}

void SettingsViewModel::dismissAlert()
{
    setActiveAlert(std::nullopt);
}

void SettingsViewModel::setActiveAlert(const std::optional<SettingsView::ActiveAlert> &value)
{
    const bool same =
        value.has_value() == m_activeAlert.has_value() && (!value || value->id() == m_activeAlert->id());
    m_activeAlert = value;
    if (!same)
        Q_EMIT activeAlertChanged();
}
