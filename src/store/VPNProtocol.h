#pragma once
// The tunnel protocol choices; the raw values double as display texts.

#include <QString>

#include <optional>

enum class VPNProtocol { Optimal, IKEv2, OpenVPNudp, OpenVPNtcp, Wireguard };

[[nodiscard]] QString rawValue(VPNProtocol protocol);
// The case whose raw value equals text exactly, or none.
[[nodiscard]] std::optional<VPNProtocol> vpnProtocolFromRawValue(const QString &text);
