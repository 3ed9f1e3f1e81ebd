#pragma once
// The status of the VPN profile's connection, with the numeric values the application logs and
// compares; "reasserting" is a dropped tunnel being brought back on demand, not a NetworkManager state.

#include <QObject>

namespace VpnState {
Q_NAMESPACE

enum class Status {
    Invalid = 0,
    Disconnected = 1,
    Connecting = 2,
    Connected = 3,
    Reasserting = 4,
    Disconnecting = 5
};
Q_ENUM_NS(Status)

} // namespace VpnState

using VpnStatus = VpnState::Status;
