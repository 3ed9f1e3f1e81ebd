#pragma once
// What the screens make their controllers from: the service client and the VPN helper, the shared
// ones in the application, others in tests. Each controller belongs to the screen that asks for it.

#include <QObject>
#include <QtQml/qqmlregistration.h>

class Client;
class LoginController;
class PricingController;
class VPNHelper;
class VelmoraController;

class Services : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")

public:
    Services(Client &client, VPNHelper &vpn, QObject *parent = nullptr);

    [[nodiscard]] Client &client() const { return m_client; }
    [[nodiscard]] VPNHelper &vpn() const { return m_vpn; }

    // Each new controller is owned by owner and goes with it.
    Q_INVOKABLE VelmoraController *newVelmoraController(QObject *owner) const;
    Q_INVOKABLE LoginController *newLoginController(QObject *owner) const;
    Q_INVOKABLE PricingController *newPricingController(QObject *owner) const;

private:
    Client &m_client;
    VPNHelper &m_vpn;
};
