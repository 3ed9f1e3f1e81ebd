#include "VPNProtocol.h"

#include <array>

namespace {

constexpr std::array allProtocols = {VPNProtocol::Optimal, VPNProtocol::IKEv2, VPNProtocol::OpenVPNudp,
                                     VPNProtocol::OpenVPNtcp, VPNProtocol::Wireguard};

} // namespace

QString rawValue(VPNProtocol protocol)
{
    switch (protocol) {
    case VPNProtocol::Optimal:
        return QStringLiteral("Optimal");
    case VPNProtocol::IKEv2:
        return QStringLiteral("IPSecIKEv2");
    case VPNProtocol::OpenVPNudp:
        return QStringLiteral("OpenVPN\u00AE UDP");
    case VPNProtocol::OpenVPNtcp:
        return QStringLiteral("OpenVPN\u00AE TCP");
    case VPNProtocol::Wireguard:
        return QStringLiteral("Wireguard\u00AE");
    }
    Q_UNREACHABLE();
}

std::optional<VPNProtocol> vpnProtocolFromRawValue(const QString &text)
{
    for (VPNProtocol protocol : allProtocols) {
        if (rawValue(protocol) == text)
            return protocol;
    }
    return std::nullopt;
}
