// The region catalogue from the service's answer bytes to the published list (decoded, ordered by
// country name, optimal region first), against parsing the same bytes alone.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// region_catalogue

#include "JSON.h"
#include "RegionCatalogue.h"
#include "VPNRegionList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// n regions cut from the stand-in service's catalogue, in no particular order, with varied ids,
// loads and distances, as the service would answer them.
QByteArray answerOf(qsizetype n)
{
    const QJsonArray templates = RegionCatalogue::regions();
    QRandomGenerator random(20250101);
    QJsonArray answer;
    for (qsizetype i = 0; i < n; ++i) {
        QJsonObject region = templates.at(random.bounded(qsizetype(templates.size()))).toObject();
        region[QStringLiteral("id")] = i + 1;
        region[QStringLiteral("city")] =
            region[QStringLiteral("city")].toString() + u' ' + QString::number(i);
        region[QStringLiteral("load_percentage")] = random.bounded(100);
        if (region[QStringLiteral("distance")].isDouble())
            region[QStringLiteral("distance")] = random.bounded(20000);
        answer.append(region);
    }
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
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
