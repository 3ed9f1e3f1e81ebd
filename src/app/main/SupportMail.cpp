#include "SupportMail.h"

#include "Configuration.h"
#include "HostInfo.h"
#include "Preferences.h"
#include "Workspace.h"

#include <QUrl>

namespace {

QString orUnknown(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("Unknown") : value;
}

} // namespace

SupportMail::Details SupportMail::gather()
{
    return {HostInfo::systemVersion(), orUnknown(Configuration::appVersion()),
            orUnknown(HostInfo::preferredLanguage()),
            Preferences::email().value_or(QStringLiteral("Unknown"))};
}

QByteArray SupportMail::link(const QString &recipient, const Details &details)
{
    const QString body = QStringLiteral("\n\nPlatform: Linux ") + details.systemVersion
        + QStringLiteral("\nApp version: ") + details.appVersion + QStringLiteral("\nDevice language ISO: ")
        + details.language + QStringLiteral("\nUsername: ") + details.userName;
    return "mailto:" + recipient.toUtf8() + "?subject=" + encoded(QStringLiteral("Velmora Support ticket"))
        + "&body=" + encoded(body);
}

QByteArray SupportMail::encoded(const QString &text)
{
    // The host characters but those a mailto query gives a meaning of its own: "&" and "=" would end
    // the body early, and "+" reads as a blank to some mail clients.
    return text.toUtf8().toPercentEncoding(QByteArrayLiteral("!$'()*,;:[]"));
}

void SupportMail::compose()
{
    const QUrl url = QUrl::fromEncoded(link(Configuration::supportEmail(), gather()), QUrl::StrictMode);
    if (url.isValid())
        Workspace::open(url);
}
