#include "Services.h"

#include "LoginController.h"
#include "PricingController.h"
#include "VelmoraController.h"

Services::Services(Client &client, VPNHelper &vpn, QObject *parent)
    : QObject(parent)
    , m_client(client)
    , m_vpn(vpn)
{
}

VelmoraController *Services::newVelmoraController(QObject *owner) const
{
    return new VelmoraController(m_client, m_vpn, owner);
}

LoginController *Services::newLoginController(QObject *owner) const
{
    return new LoginController(m_client, owner);
}

PricingController *Services::newPricingController(QObject *owner) const
{
    return new PricingController(m_client, owner);
}
