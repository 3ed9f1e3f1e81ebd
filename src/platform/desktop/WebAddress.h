#pragma once
// Web addresses taken from configuration or from outside: only an absolute http(s) address with a
// host is used to fetch or open anything.

#include <QString>
#include <QUrl>

#include <optional>

namespace WebAddress {

// The address text as a URL when it is absolute, http or https and names a host; none for a bare
// path, another scheme, or text with spaces or other characters a URL cannot hold.
[[nodiscard]] std::optional<QUrl> http(const QString &text);

} // namespace WebAddress
