#pragma once
// An update feed (an RSS "appcast"): each item's enclosure names a release by its version and
// the address, size and Ed25519 signature of its file. The feed comes from outside: it is checked
// whole, and anything doubtful makes it unusable.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace Appcast {

struct Release
{
    QString version; // sparkle:version, what is compared with the running version
    QString shortVersion; // sparkle:shortVersionString, what people are shown; else the version
    QUrl url; // an absolute http(s) address with a host
    qint64 length = 0; // the file's size in bytes
    QByteArray edSignature; // sparkle:edSignature as written (base64); empty when there is none
};

// The releases of the feed in its order; items without an enclosure are passed over. None when the
// body is not an RSS document, declares a document type (and with it entities), has an element with
// more attributes than any real feed has, or has an enclosure whose address, length or versions are
// missing, malformed, overlong or hold control characters. The body is read as UTF-8.
[[nodiscard]] std::optional<QList<Release>> parse(const QByteArray &body);

// The release with the highest version, the first of equals; none for an empty list.
[[nodiscard]] std::optional<Release> newest(const QList<Release> &releases);

} // namespace Appcast
