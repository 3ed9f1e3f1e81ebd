#pragma once
// The main screen's controller: the sheets and the redeem alert, the plan text, the live connection
// status, the region catalogue and the chosen region, and the flows that change them.

#include "Client.h"
#include "VPNHelper.h"
#include "VPNRegion.h"
#include "VpnStatus.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

class VelmoraController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool showRedeem READ showRedeem WRITE setShowRedeem NOTIFY showRedeemChanged)
    Q_PROPERTY(bool showSettings READ showSettings WRITE setShowSettings NOTIFY showSettingsChanged)
    Q_PROPERTY(bool showPricing READ showPricing WRITE setShowPricing NOTIFY showPricingChanged)
    Q_PROPERTY(bool showAlert READ showAlert WRITE setShowAlert NOTIFY showAlertChanged)
    Q_PROPERTY(QString redeemAlertMessage READ redeemAlertMessage WRITE setRedeemAlertMessage NOTIFY
                   redeemAlertMessageChanged)
    Q_PROPERTY(QString code READ code WRITE setCode NOTIFY codeChanged)
    // Written by the controller alone: read-only to the screens.
    Q_PROPERTY(QString subscription READ subscription NOTIFY subscriptionChanged)
    Q_PROPERTY(VpnState::Status connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(QList<VPNRegion> regions READ regions NOTIFY regionsChanged)
    // A region id, or null when the selection was cleared.
    Q_PROPERTY(QVariant currentRegion READ currentRegionValue WRITE setCurrentRegionValue NOTIFY
                   currentRegionChanged)

public:
    // Loads the VPN preferences and starts following the VPN status and the "logout" notification.
    explicit VelmoraController(Client &client = Client::shared(), VPNHelper &vpn = VPNHelper::shared(),
                               QObject *parent = nullptr);
    ~VelmoraController() override;

    [[nodiscard]] bool showRedeem() const { return m_showRedeem; }
    void setShowRedeem(bool value);
    [[nodiscard]] bool showSettings() const { return m_showSettings; }
    void setShowSettings(bool value);
    [[nodiscard]] bool showPricing() const { return m_showPricing; }
    void setShowPricing(bool value);
    [[nodiscard]] bool showAlert() const { return m_showAlert; }
    void setShowAlert(bool value);
    [[nodiscard]] QString redeemAlertMessage() const { return m_redeemAlertMessage; }
    void setRedeemAlertMessage(const QString &value);
    [[nodiscard]] QString code() const { return m_code; }
    void setCode(const QString &value);
    [[nodiscard]] QString subscription() const { return m_subscription; }
    void setSubscription(const QString &value);
    // The last three notify on every assignment, also of an equal value: the region list treats each
    // delivered region id as a choice to look at.
    [[nodiscard]] VpnStatus connectionStatus() const { return m_connectionStatus; }
    void setConnectionStatus(VpnStatus value);
    [[nodiscard]] QList<VPNRegion> regions() const { return m_regions; }
    void setRegions(const QList<VPNRegion> &value);
    [[nodiscard]] std::optional<qint64> currentRegion() const { return m_currentRegion; }
    void setCurrentRegion(std::optional<qint64> value);
    [[nodiscard]] QVariant currentRegionValue() const;
    void setCurrentRegionValue(const QVariant &value);

    // The console line and the application icon for a connection status.
    [[nodiscard]] static QString statusLine(VpnStatus status);
    [[nodiscard]] static QString statusIcon(VpnStatus status);

    // Fetches the catalogue; when no region was chosen yet, the first one becomes the chosen one.
    Q_INVOKABLE void loadRegions();
    // The first region with that id.
    [[nodiscard]] std::optional<VPNRegion> regionById(qint64 regionId) const;
    Q_INVOKABLE void didSelectRegion(qint64 regionId);
    void didSelectRegion(const VPNRegion &region);
    // Takes the VPN status notification's object, the connection whose status changed; callable
    // from any thread.
    void vpnStatusDidChange(QObject *connection);
    // Connects or disconnects by the published status.
    Q_INVOKABLE void doConnect();
    // Forgets the credentials, stops the tunnel and sends the window back to the login screen.
    Q_INVOKABLE void logout();
    Q_INVOKABLE void showCurrentSubscription();
    Q_INVOKABLE void redeemCode();

Q_SIGNALS:
    void showRedeemChanged();
    void showSettingsChanged();
    void showPricingChanged();
    void showAlertChanged();
    void redeemAlertMessageChanged();
    void codeChanged();
    void subscriptionChanged();
    void connectionStatusChanged();
    void regionsChanged();
    void currentRegionChanged();

private:
    void applyDefaultSelection();

    Client &m_client;
    VPNHelper &m_vpn;
    bool m_showRedeem = false;
    bool m_showSettings = false;
    bool m_showPricing = false;
    bool m_showAlert = false;
    QString m_redeemAlertMessage;
    QString m_code;
    QString m_subscription;
    VpnStatus m_connectionStatus;
    QList<VPNRegion> m_regions;
    std::optional<qint64> m_currentRegion;
};
