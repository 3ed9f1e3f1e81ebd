#include "Configuration.h"

#include "BuildConfig.h"

#include <QtGlobal>

namespace {

QString valueOf(const char *name, const char *builtIn)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromUtf8(builtIn) : value;
}

} // namespace

namespace Configuration {

QString apiUrl()
{
    return valueOf("VELMORA_API_URL", VELMORA_BUILD_API_URL);
}
QString webHost()
{
    return valueOf("VELMORA_WEB_HOST", VELMORA_BUILD_WEB_HOST);
}
QString supportEmail()
{
    return valueOf("VELMORA_SUPPORT_EMAIL", VELMORA_BUILD_SUPPORT_EMAIL);
}
QString updateFeed()
{
    return valueOf("VELMORA_UPDATE_FEED", VELMORA_BUILD_UPDATE_FEED);
}
QString updatePublicKey()
{
    return valueOf("VELMORA_UPDATE_PUBLIC_KEY", VELMORA_BUILD_UPDATE_PUBLIC_KEY);
}
QString appVersion()
{
    return QStringLiteral(VELMORA_BUILD_VERSION);
}

} // namespace Configuration
