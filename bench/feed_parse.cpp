// Parse time of hostile update feeds up to the size cap (2 MB), against an honest feed: one element
// of 190,000 attributes or of as many as fit, and as many elements as fit with just too few
// attributes to be refused, or just too many; elements of none give the reader's cost per byte.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// feed_parse

#include "Appcast.h"
#include "Statistics.h"

#include <QElapsedTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr qsizetype feedCap = 2 * 1024 * 1024;

// Attributes a0="" a1="" ... on one element, up to count or until the element would pass the cap.
QByteArray attributes(int count, qsizetype room)
{
    QByteArray text;
    for (int i = 0; i < count && text.size() < room; ++i)
        text += " a" + QByteArray::number(i, 36) + "=\"\"";
    return text;
}

QByteArray oneCrowdedElement(int count)
{
    const QByteArray head = "<rss><channel><item><x";
    const QByteArray tail = "/></item></channel></rss>";
    return head + attributes(count, feedCap - head.size() - tail.size() - 16) + tail;
}

QByteArray manyFullElements(int perElement)
{
    const QByteArray element = "<x" + attributes(perElement, feedCap) + "/>";
    QByteArray feed = "<rss><channel>";
    while (feed.size() + element.size() < feedCap - 32)
        feed += element;
    return feed + "</channel></rss>";
}

QByteArray honest()
{
    QByteArray feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:sparkle=\"urn:velmora:appcast\"><channel>";
    for (int i = 0; i < 50; ++i)
        feed += "<item><title>Velmora 1." + QByteArray::number(i)
            + "</title><description><![CDATA[<p>Notes</p>]]></description><enclosure "
              "url=\"https://velmora.io/linux/Velmora-1."
            + QByteArray::number(i)
            + ".tar.gz\" length=\"1234\" type=\"application/octet-stream\" sparkle:version=\"1."
            + QByteArray::number(i) + "\" sparkle:edSignature=\"c2lnbmF0dXJl\"/></item>";
    return feed + "</channel></rss>";
}

void measure(const char *name, const QByteArray &feed, int runs)
{
    std::vector<double> times;
    bool read = false;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        read = Appcast::parse(feed).has_value();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("%-44s %8.1f KB  median %9.2f ms  max %9.2f ms  %s\n", name, double(feed.size()) / 1024,
                median(times), percentile(times, 1.0), read ? "read" : "refused");
}

} // namespace

int main(int argc, char *argv[])
{
    // "once": a single run of each, for a build where the crowded element takes minutes.
    const int runs = argc > 1 && qstrcmp(argv[1], "once") == 0 ? 1 : 9;
    measure("honest feed, 50 releases", honest(), runs);
    measure("one element of 190,000 attributes", oneCrowdedElement(190'000), runs);
    measure("one element, every attribute that fits", oneCrowdedElement(1 << 30), runs);
    measure("elements of no attributes", manyFullElements(0), runs);
    measure("elements of 32 attributes", manyFullElements(32), runs);
    measure("elements of 33 attributes", manyFullElements(33), runs);
    return 0;
}
