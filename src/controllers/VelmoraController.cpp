#include "VelmoraController.h"

#include "AppIcon.h"
#include "BackgroundWork.h"
#include "Client.h"
#include "Console.h"
#include "JSON.h"
#include "MainQueue.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "SystemVpnManager.h"
#include "VPNHelper.h"
#include "VPNRegionList.h"
#include "VpnConnection.h"

#include <QPointer>

#include <algorithm>
#include <utility>

namespace {

const QString applicationIcon = QStringLiteral("AppIconMacOS");
const QString retryMessage = QStringLiteral("Error. Please try again.");

QString planText(const JSON &answer)
{
    if (answer[QStringLiteral("status")].stringValue() != QLatin1StringView("active"))
        return QStringLiteral("Your Plan Has Expired");
    if (answer[QStringLiteral("is_unlimited")].boolValue())
        return QStringLiteral("Current Plan: Lifetime");
    if (answer[QStringLiteral("is_trial")].boolValue())
        return QStringLiteral("Current Plan: Trial");
    return QStringLiteral("Current Plan: ") + answer[Client::Keys::name].stringValue();
}

QString redeemMessage(const std::optional<JSON> &answer, std::optional<int> httpStatus)
{
    if (!httpStatus)
        return retryMessage;
    if (*httpStatus == 200)
        return QStringLiteral("The code has been applied successfully.");
    if (!answer)
        return retryMessage;
    const std::optional<QString> code = (*answer)[Client::Keys::code].string();
    if (code == QLatin1StringView("E0141"))
        return QStringLiteral("The code is incorrect. Please try again.");
    if (code == QLatin1StringView("E0142"))
        return QStringLiteral("This code has already been used.");
    if (code == QLatin1StringView("E0143"))
        return QStringLiteral("This code is invalid. Please get in touch with support.");
    return retryMessage;
}

} // namespace

VelmoraController::VelmoraController(Client &client, VPNHelper &vpn, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_vpn(vpn)
    , m_connectionStatus(vpn.currentStatus())
    , m_currentRegion(Preferences::configId())
{
    Console::print(QStringLiteral("initializing VelmoraController"));
    m_vpn.manager().loadFromPreferences([](std::optional<Error> error) {
        if (error)
            Console::print(QStringLiteral("Error loading VPN preferences: ") + error->localizedDescription());
    });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(VpnConnection::statusDidChangeNotification, this,
                       [this](QObject *connection) { vpnStatusDidChange(connection); });
    center.addObserver(QStringLiteral("logout"), this, [this](QObject *) { logout(); });
}

VelmoraController::~VelmoraController()
{
    // Now rather than when QObject's destructor signals it: a post from another thread must not
    // reach a controller that is half gone.
    NotificationCenter::defaultCenter().removeObserver(this);
}

void VelmoraController::setShowRedeem(bool value)
{
    if (std::exchange(m_showRedeem, value) != value)
        Q_EMIT showRedeemChanged();
}

void VelmoraController::setShowSettings(bool value)
{
    if (std::exchange(m_showSettings, value) != value)
        Q_EMIT showSettingsChanged();
}

void VelmoraController::setShowPricing(bool value)
{
    if (std::exchange(m_showPricing, value) != value)
        Q_EMIT showPricingChanged();
}

void VelmoraController::setShowAlert(bool value)
{
    if (std::exchange(m_showAlert, value) != value)
        Q_EMIT showAlertChanged();
}

void VelmoraController::setRedeemAlertMessage(const QString &value)
{
    if (std::exchange(m_redeemAlertMessage, value) != value)
        Q_EMIT redeemAlertMessageChanged();
}

void VelmoraController::setCode(const QString &value)
{
    if (std::exchange(m_code, value) != value)
        Q_EMIT codeChanged();
}

void VelmoraController::setSubscription(const QString &value)
{
    if (std::exchange(m_subscription, value) != value)
        Q_EMIT subscriptionChanged();
}

void VelmoraController::setConnectionStatus(VpnStatus value)
{
    m_connectionStatus = value;
    Q_EMIT connectionStatusChanged();
}

void VelmoraController::setRegions(const QList<VPNRegion> &value)
{
    m_regions = value;
    Q_EMIT regionsChanged();
}

void VelmoraController::setCurrentRegion(std::optional<qint64> value)
{
    m_currentRegion = value;
    Q_EMIT currentRegionChanged();
}

QVariant VelmoraController::currentRegionValue() const
{
    return m_currentRegion ? QVariant(*m_currentRegion) : QVariant::fromValue(nullptr);
}

void VelmoraController::setCurrentRegionValue(const QVariant &value)
{
    bool isNumber = false;
    const qint64 id = value.toLongLong(&isNumber);
    setCurrentRegion(isNumber && !value.isNull() ? std::optional(id) : std::nullopt);
}

QString VelmoraController::statusLine(VpnStatus status)
{
    switch (status) {
    case VpnStatus::Invalid:
        return QStringLiteral("NEVPNConnection.status: invalid");
    case VpnStatus::Disconnected:
        return QStringLiteral("NEVPNConnection.status: disconnected");
    case VpnStatus::Connecting:
        return QStringLiteral("NEVPNConnection.status: connecting");
    case VpnStatus::Connected:
        return QStringLiteral("NEVPNConnection.status: connected");
    case VpnStatus::Reasserting:
        return QStringLiteral("NEVPNConnection.status: reasserting");
    case VpnStatus::Disconnecting:
        return QStringLiteral("NEVPNConnection.status: disconnecting");
    }
    return QStringLiteral("NEVPNConnection.status: unknown");
}

QString VelmoraController::statusIcon(VpnStatus status)
{
    switch (status) {
    case VpnStatus::Invalid:
        return QStringLiteral("iconInvalid");
    case VpnStatus::Connecting:
    case VpnStatus::Reasserting:
        return QStringLiteral("iconConnecting");
    case VpnStatus::Connected:
        return QStringLiteral("iconConnected");
    case VpnStatus::Disconnecting:
        return QStringLiteral("iconDisconnecting");
    case VpnStatus::Disconnected:
        break;
    }
    return applicationIcon;
}

void VelmoraController::vpnStatusDidChange(QObject *connection)
{
    auto *vpnConnection = qobject_cast<VpnConnection *>(connection);
    // Only a connection has a status to mirror; anything else posted under the name is ignored.
    if (!vpnConnection)
        return;
    // The published status is read again when the write runs: the latest one wins.
    MainQueue::async([controller = QPointer(this), source = QPointer(vpnConnection)] {
        if (controller && source)
            controller->setConnectionStatus(source->status());
    });
    const VpnStatus status = vpnConnection->status();
    Console::print(statusLine(status));
    AppIcon::set(statusIcon(status));
}

void VelmoraController::doConnect()
{
    switch (m_connectionStatus) {
    case VpnStatus::Connecting:
    case VpnStatus::Connected:
    case VpnStatus::Reasserting:
        m_vpn.disconnectVPN();
        break;
    case VpnStatus::Invalid:
    case VpnStatus::Disconnected:
        m_vpn.connectIPSecIKEv2();
        break;
    case VpnStatus::Disconnecting:
        break;
    }
}

void VelmoraController::logout()
{
    Preferences::setKeychainValue(std::nullopt, Preferences::Keys::email);
    Preferences::setKeychainValue(std::nullopt, Preferences::Keys::token);
    Preferences::setKeychainValue(std::nullopt, Preferences::Keys::password);
    m_vpn.disconnectVPN();
    AppIcon::set(applicationIcon);
    NotificationCenter::defaultCenter().post(QStringLiteral("showLoginView"));
}

void VelmoraController::loadRegions()
{
    m_client.userRegions([controller = QPointer(this)](std::optional<Error> error, std::optional<JSON> json) {
        if (!controller)
            return;
        if (error) {
            Console::print(QStringLiteral("Error while getting regions: ") + error->localizedDescription());
            return;
        }
        if (!json) {
            Console::print(QStringLiteral("JSON is nil"));
            return;
        }
        // Thousands of regions take longer to decode and sort than a frame lasts.
        struct Decoded
        {
            std::optional<VPNRegionList::Arrangement> arrangement;
            QString error;
        };
        BackgroundWork::run(
            [json = std::move(*json)]() mutable {
                // The answer's only reference goes to arrange, which lets go of it once decoded.
                QJsonValue answer = std::exchange(json, JSON()).value();
                Decoded decoded;
                decoded.arrangement = VPNRegionList::arrange(std::move(answer), &decoded.error);
                return decoded;
            },
            [controller](Decoded decoded) {
                if (!controller)
                    return;
                if (!decoded.arrangement) {
                    Console::print(QStringLiteral("Decoding error: ") + decoded.error);
                    return;
                }
                QList<VPNRegion> previous = controller->m_regions;
                const QList<QList<VPNRegion>> &stages = decoded.arrangement->stages;
                for (qsizetype i = 0; i < stages.size(); ++i) {
                    controller->setRegions(stages[i]);
                    // Said once the list is sorted, before the optimal region moves to the front.
                    if (i == 1 && decoded.arrangement->noneNearest)
                        Console::print(QStringLiteral("No regions with is_nearest == true found."));
                }
                BackgroundWork::release(std::pair(std::move(previous), std::move(decoded)));
                MainQueue::async([controller] {
                    if (controller)
                        controller->applyDefaultSelection();
                });
            });
    });
}

void VelmoraController::applyDefaultSelection()
{
    if (Preferences::configId() != 0 && m_currentRegion && *m_currentRegion != 0)
        return;
    if (m_regions.isEmpty()) {
        Console::print(
            QStringLiteral("Regions array is empty, cannot set Preferences.configId and currentRegion"));
        return;
    }
    const VPNRegion first = m_regions.first();
    // The stored id goes first: the region list then sees the new current region as no new choice.
    Preferences::setConfigId(first.id);
    setCurrentRegion(first.id);
    Preferences::setCountryConnected(first.country_name);
}

std::optional<VPNRegion> VelmoraController::regionById(qint64 regionId) const
{
    const auto found = std::find_if(m_regions.cbegin(), m_regions.cend(),
                                    [regionId](const VPNRegion &region) { return region.id == regionId; });
    if (found == m_regions.cend())
        return std::nullopt;
    return *found;
}

void VelmoraController::didSelectRegion(qint64 regionId)
{
    if (const std::optional<VPNRegion> region = regionById(regionId))
        didSelectRegion(*region);
}

void VelmoraController::didSelectRegion(const VPNRegion &region)
{
    Preferences::setKeychainValue(region.server_domain, Preferences::Keys::server);
    Preferences::setConfigId(region.id);
    doConnect();
    Preferences::setCountryConnected(region.country_name);
}

void VelmoraController::showCurrentSubscription()
{
    m_client.userCurrentPlan([controller = QPointer(this)](std::optional<Error>, std::optional<JSON> json) {
        if (controller && json)
            controller->setSubscription(planText(*json));
    });
}

void VelmoraController::redeemCode()
{
    const std::optional<QString> email = Preferences::keychainValue(Preferences::Keys::email);
    if (!email) {
        logout();
        return;
    }
    m_client.redeemCodeByEmail(*email, m_code,
                               [controller = QPointer(this)](std::optional<Error>, std::optional<JSON> json,
                                                             std::optional<int> status) {
                                   if (!controller)
                                       return;
                                   controller->setRedeemAlertMessage(retryMessage);
                                   controller->setRedeemAlertMessage(redeemMessage(json, status));
                                   controller->showCurrentSubscription();
                                   controller->setShowAlert(!controller->showAlert());
                               });
}
