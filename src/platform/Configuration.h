#pragma once
// Service hosts and version as the build fixed them; environment variables of the same name
// (VELMORA_API_URL, VELMORA_WEB_HOST, VELMORA_SUPPORT_EMAIL, VELMORA_UPDATE_FEED) override them at run time.

#include <QString>

namespace Configuration {

[[nodiscard]] QString apiUrl();
[[nodiscard]] QString webHost();
[[nodiscard]] QString supportEmail();
[[nodiscard]] QString updateFeed();
[[nodiscard]] QString appVersion();

} // namespace Configuration
