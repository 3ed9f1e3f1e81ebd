#include "WebAddress.h"

namespace WebAddress {

std::optional<QUrl> http(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        || url.host().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace WebAddress
