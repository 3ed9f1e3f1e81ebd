#include "Appcast.h"

#include "VersionComparison.h"
#include "WebAddress.h"

#include <QXmlStreamReader>

#include <algorithm>

namespace {

constexpr qsizetype maxVersionLength = 64;
constexpr qsizetype maxUrlLength = 2048;
constexpr qsizetype maxSignatureLength = 128;
// Real feeds have a handful of attributes on an element; the reader takes time quadratic in their
// number, so a crowded element is refused before the reader sees it.
constexpr int maxAttributes = 32;

// Whether some element has more attributes than maxAttributes. Neither '<' nor any tag can stand
// inside an attribute value, so each '<' starts afresh and every attribute of a start tag is one
// '=' outside quotes before its closing '>'. Anything else only counts too many, never too few.
bool hasCrowdedElement(QStringView text)
{
    bool inTag = false;
    QChar quote;
    int equals = 0;
    for (const QChar c : text) {
        if (c == u'<') {
            inTag = true;
            quote = QChar();
            equals = 0;
        } else if (!inTag) {
            continue;
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            inTag = false;
        } else if (c == u'=' && ++equals > maxAttributes) {
            return true;
        }
    }
    return false;
}

// Text that reads as it is: nothing that breaks a line, hides or reorders characters.
bool isPlain(QStringView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
        }
    });
}

std::optional<qint64> length(QStringView text)
{
    if (text.isEmpty() || text.size() > 18
        || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return text.toLongLong();
}

std::optional<Appcast::Release> release(const QXmlStreamAttributes &attributes)
{
    Appcast::Release release;
    release.version = attributes.value(QLatin1String("sparkle:version")).toString();
    if (!isPlain(release.version, maxVersionLength))
        return std::nullopt;

    release.shortVersion = attributes.hasAttribute(QLatin1String("sparkle:shortVersionString"))
        ? attributes.value(QLatin1String("sparkle:shortVersionString")).toString()
        : release.version;
    if (!isPlain(release.shortVersion, maxVersionLength))
        return std::nullopt;

    const QStringView url = attributes.value(QLatin1String("url"));
    const std::optional<QUrl> address =
        url.size() <= maxUrlLength ? WebAddress::http(url.toString()) : std::nullopt;
    const std::optional<qint64> size = length(attributes.value(QLatin1String("length")));
    if (!address || !size)
        return std::nullopt;
    release.url = *address;
    release.length = *size;

    if (attributes.hasAttribute(QLatin1String("sparkle:edSignature"))) {
        const QStringView signature = attributes.value(QLatin1String("sparkle:edSignature"));
        if (!isPlain(signature, maxSignatureLength))
            return std::nullopt;
        release.edSignature = signature.toLatin1();
    }
    return release;
}

} // namespace

namespace Appcast {

std::optional<QList<Release>> parse(const QByteArray &body)
{
    // Read as UTF-8, as feeds are written, whatever they declare: what is counted is what is read.
    const QString text = QString::fromUtf8(body);
    if (hasCrowdedElement(text))
        return std::nullopt;
    QXmlStreamReader xml(text);
    // Names are read as the feed writes them ("sparkle:version"), whatever its prefixes stand for.
    xml.setNamespaceProcessing(false);
    QList<Release> releases;
    bool inDocument = false;
    bool inItem = false;
    std::optional<Release> enclosure;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (!inDocument && xml.name() != QLatin1String("rss"))
                return std::nullopt;
            inDocument = true;
            if (xml.name() == QLatin1String("item")) {
                inItem = true;
                enclosure.reset();
            } else if (inItem && !enclosure && xml.name() == QLatin1String("enclosure")) {
                enclosure = release(xml.attributes());
                if (!enclosure)
                    return std::nullopt;
            }
            break;
        case QXmlStreamReader::EndElement:
            if (xml.name() == QLatin1String("item")) {
                if (enclosure)
                    releases.append(*enclosure);
                inItem = false;
                enclosure.reset();
            }
            break;
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            // The reader would expand the document's own entities; a feed has no use for any.
            return std::nullopt;
        default:
            break;
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return releases;
}

std::optional<Release> newest(const QList<Release> &releases)
{
    std::optional<Release> best;
    for (const Release &release : releases) {
        if (!best || VersionComparison::compare(release.version, best->version) > 0)
            best = release;
    }
    return best;
}

} // namespace Appcast
