#pragma once
// The settings sheet's decisions: what each switch reads and writes, the main window's size for the
// compact layout, and the removal of the VPN profile with the alert that reports how it went.

#include "Services.h"
#include "VPNProtocol.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace SettingsView {

// The alert of the sheet; two alerts are the same one when title and message together are.
struct ActiveAlert
{
    QString title;
    QString message;

    [[nodiscard]] QString id() const { return title + message; }
};

} // namespace SettingsView

class SettingsViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Services *services READ services WRITE setServices NOTIFY servicesChanged REQUIRED)
    // The window the compact layout resizes; none leaves every window as it is.
    Q_PROPERTY(QWindow *mainWindow READ mainWindow WRITE setMainWindow NOTIFY mainWindowChanged)
    Q_PROPERTY(bool compactView READ compactView WRITE setCompactView NOTIFY compactViewChanged)
    Q_PROPERTY(bool killSwitch READ killSwitch WRITE setKillSwitch NOTIFY killSwitchChanged)
    Q_PROPERTY(bool excludeLocalNetworks READ excludeLocalNetworks WRITE setExcludeLocalNetworks NOTIFY
                   excludeLocalNetworksChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool alertShown READ alertShown NOTIFY activeAlertChanged)
    Q_PROPERTY(QString alertTitle READ alertTitle NOTIFY activeAlertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY activeAlertChanged)

public:
    // Held for a protocol choice this sheet does not offer: the choices and their descriptions.
    static inline const QList<VPNProtocol> radioButtonOptions{
        VPNProtocol::Optimal, VPNProtocol::IKEv2, VPNProtocol::OpenVPNudp, VPNProtocol::OpenVPNtcp};
    static inline const QStringList protocolDescription{
        QStringLiteral("We pick the fastest and most suitable protocol for your network"),
        QStringLiteral("Fast but easy to block for internet providers"),
        QStringLiteral("High performance and security"),
        QStringLiteral("High reliability but lower speed"),
    };

    // Reads the compact setting and the login item now: the sheet is made anew at each opening.
    // selectedProtocol stands for the stored protocol choice while none is stored.
    explicit SettingsViewModel(VPNProtocol selectedProtocol = VPNProtocol::Optimal,
                               QObject *parent = nullptr);

    [[nodiscard]] Services *services() const { return m_services; }
    void setServices(Services *value);
    [[nodiscard]] QWindow *mainWindow() const { return m_mainWindow; }
    void setMainWindow(QWindow *value);

    // The stored "VPNProtocol" choice, else the one given at construction.
    [[nodiscard]] VPNProtocol selectedProtocol() const;

    // As read when the sheet was made, then as switched here; a change made elsewhere is not followed.
    [[nodiscard]] bool compactView() const { return m_compactView; }
    // Stores the setting, which the main screen follows at once, and resizes the main window two
    // main-loop turns later, keeping its lower-left corner.
    void setCompactView(bool value);
    // Written through to the settings; the tunnel takes them up when its profile is next saved.
    [[nodiscard]] bool killSwitch() const;
    void setKillSwitch(bool value);
    [[nodiscard]] bool excludeLocalNetworks() const;
    void setExcludeLocalNetworks(bool value);
    // Whether the autostart entry is there, as last read from the system.
    [[nodiscard]] bool launchAtLogin() const { return m_launchAtLogin; }
    // Writes or removes the entry, then reads the state back, also when that failed.
    void setLaunchAtLogin(bool value);

    [[nodiscard]] bool alertShown() const { return m_activeAlert.has_value(); }
    [[nodiscard]] QString alertTitle() const;
    [[nodiscard]] QString alertMessage() const;

    // Removes the VPN profile, without asking; each removal's outcome becomes the alert in turn.
    Q_INVOKABLE void removeProfile();
    Q_INVOKABLE void dismissAlert();

Q_SIGNALS:
    void servicesChanged();
    void mainWindowChanged();
    void compactViewChanged();
    void killSwitchChanged();
    void excludeLocalNetworksChanged();
    void launchAtLoginChanged();
    void activeAlertChanged();

private:
    void updateWindowSize(bool compact);
    void setActiveAlert(const std::optional<SettingsView::ActiveAlert> &value);

    QPointer<Services> m_services;
    QPointer<QWindow> m_mainWindow;
    VPNProtocol m_defaultProtocol;
    bool m_compactView;
    bool m_launchAtLogin;
    std::optional<SettingsView::ActiveAlert> m_activeAlert;
};
