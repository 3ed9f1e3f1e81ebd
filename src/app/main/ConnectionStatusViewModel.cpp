#include "ConnectionStatusViewModel.h"

#include "Assets.h"
#include "Preferences.h"
#include "SettingBinding.h"

ConnectionStatusViewModel::ConnectionStatusViewModel(QObject *parent)
    : QObject(parent)
{
    connect(&Preferences::countryConnectedBinding(), &SettingBinding::valueChanged, this, [this] {
        if (m_status == VpnStatus::Connected)
            Q_EMIT textChanged();
    });
}

void ConnectionStatusViewModel::setStatus(VpnStatus value)
{
    if (m_status == value)
        return;
    m_status = value;
    Q_EMIT statusChanged();
    Q_EMIT textChanged();
}

QUrl ConnectionStatusViewModel::image() const
{
    return Assets::image(imageName());
}

QString ConnectionStatusViewModel::text(VpnStatus status)
{
    switch (status) {
    case VpnStatus::Invalid:
        return tr("VPN Not Connected");
    case VpnStatus::Disconnected:
        return tr("Not Connected");
    case VpnStatus::Connecting:
        return tr("Connecting...");
    case VpnStatus::Connected:
        return tr("Connected to %1").arg(Preferences::countryConnected());
    case VpnStatus::Reasserting:
        return tr("Reconnecting...");
    case VpnStatus::Disconnecting:
        return tr("Disconnecting...");
    }
    return tr("Error. Reconnecting...");
}

QString ConnectionStatusViewModel::imageName(VpnStatus status)
{
    switch (status) {
    case VpnStatus::Invalid:
    case VpnStatus::Disconnected:
        return QStringLiteral("notConnectedButton");
    case VpnStatus::Connected:
        return QStringLiteral("connectedButton");
    case VpnStatus::Connecting:
    case VpnStatus::Reasserting:
    case VpnStatus::Disconnecting:
        break;
    }
    return QStringLiteral("connectingButton");
}

bool ConnectionStatusViewModel::busy(VpnStatus status)
{
    return status != VpnStatus::Invalid && status != VpnStatus::Disconnected
        && status != VpnStatus::Connected;
}

QString ConnectionStatusViewModel::action(VpnStatus status)
{
    switch (status) {
    case VpnStatus::Invalid:
    case VpnStatus::Disconnected:
        return tr("Connect");
    case VpnStatus::Connecting:
    case VpnStatus::Connected:
    case VpnStatus::Reasserting:
        return tr("Disconnect");
    case VpnStatus::Disconnecting:
        return tr("Disconnecting...");
    }
    // A press does nothing in a status the application does not know: the button says the status.
    return text(status);
}
