// The region catalogue from the service's answer bytes to the published list (decoded, ordered by
// country name, optimal region first), against parsing the same bytes alone.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// region_catalogue

#include "JSON.h"
#include "RegionCatalogue.h"
#include "VPNRegionList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QByteArray answerOf(qsizetype n)
{
    return QJsonDocument(RegionCatalogue::many(n)).toJson(QJsonDocument::Compact);
}

// Median time of one run of work, in milliseconds, over enough runs to fill about a second.
double medianMs(const std::function<void()> &work)
{
    work();
    std::vector<double> times;
    QElapsedTimer total;
    total.start();
    while (times.size() < 5 || (total.elapsed() < 1000 && times.size() < 1000)) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("%9s %10s %12s %14s %7s %16s\n", "regions", "bytes", "parse (ms)", "catalogue (ms)", "ratio",
                "ns/(n log2 n)");
    for (const qsizetype n : {1'000, 10'000, 100'000}) {
        const QByteArray bytes = answerOf(n);
        qsizetype published = 0;
        const double parse = medianMs([&] {
            if (QJsonDocument::fromJson(bytes).isNull())
                std::abort();
        });
        const double catalogue = medianMs([&] {
            QList<VPNRegion> regions;
            const std::optional<JSON> json = JSON::parse(bytes);
            if (!json || !VPNRegionList::arrange(json->value(), regions, [] {}))
                std::abort();
            published = regions.size();
        });
        if (published != n)
            std::abort();
        std::printf("%9lld %10lld %12.3f %14.3f %7.2f %16.2f\n", qlonglong(n), qlonglong(bytes.size()), parse,
                    catalogue, catalogue / parse, catalogue * 1e6 / (double(n) * std::log2(double(n))));
    }
    return 0;
}
