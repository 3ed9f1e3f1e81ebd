#pragma once
// Service hosts and version as the build fixed them; environment variables of the same name
// (VELMORA_API_URL, VELMORA_WEB_HOST, VELMORA_SUPPORT_EMAIL, VELMORA_UPDATE_FEED,
// VELMORA_UPDATE_PUBLIC_KEY) override them at run time.

#include <QString>

namespace Configuration {

[[nodiscard]] QString apiUrl();
[[nodiscard]] QString webHost();
[[nodiscard]] QString supportEmail();
[[nodiscard]] QString updateFeed();
// The update publisher's Ed25519 public key, base64 of the raw 32 bytes; empty when the build has none.
[[nodiscard]] QString updatePublicKey();
[[nodiscard]] QString appVersion();

} // namespace Configuration
