#pragma once
// Errors of the VPN profile and its connection: one domain, a code for what went wrong, and the
// description NetworkManager gave (or our own when it was refused before reaching it).

#include <QString>

namespace VpnError {

inline const QString domain = QStringLiteral("VpnErrorDomain");

enum Code : qint64 {
    ConfigurationInvalid = 1,
    ConfigurationDisabled = 2,
    ConnectionFailed = 3,
    // The profile this manager knew was deleted meanwhile; only a load that finds none starts over.
    ConfigurationStale = 4,
    ConfigurationReadWriteFailed = 5,
};

} // namespace VpnError
