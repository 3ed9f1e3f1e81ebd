// Frame time of the region map while it is dragged, with the main screen up in the full layout on
// 6,000 regions: the map's share of the event and the whole frame after it (sync, render, flush),
// on Qt Quick's software renderer (the offscreen platform, as the screen tests run). Four cases: the
// world and Europe, each with the catalogue's markers (6,000 on its 75 cities) and with 6,000 markers
// on as many places. Prints the median and the 99th percentile; fails above 8 ms at the median.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// map_pan

#include "ScreenBench.h"
#include "Statistics.h"
#include "WorldMap.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QStyleHints>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int framesPerCase = 300;
constexpr double budgetMs = 8.0;

QList<MapMarker> spreadMarkers(const QList<MapMarker> &catalogue)
{
    QRandomGenerator random(7);
    QList<MapMarker> markers = catalogue;
    for (MapMarker &marker : markers) {
        marker.latitude = random.bounded(120.0) - 55;
        marker.longitude = random.bounded(360.0) - 180;
    }
    return markers;
}

// Drags the map right and back by 4 pixels a frame, timing each frame.
QList<double> dragFrames(QQuickView &view, WorldMap &map)
{
    QElapsedTimer clock;
    clock.start();
    qint64 syncStarted = 0;
    QList<double> frames;
    double eventMs = 0;
    const auto sync = QObject::connect(
        &view, &QQuickWindow::beforeSynchronizing, &view, [&] { syncStarted = clock.nsecsElapsed(); },
        Qt::DirectConnection);
    const auto swapped = QObject::connect(&view, &QQuickWindow::frameSwapped, &view, [&] {
        frames.append(eventMs + double(clock.nsecsElapsed() - syncStarted) / 1e6);
    });

    const QPointF start = map.mapToScene(QPointF(map.width() / 2, map.height() / 2));
    const auto send = [&view](QEvent::Type type, const QPointF &at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, at, view.mapToGlobal(at), Qt::LeftButton, buttons, {});
        QCoreApplication::sendEvent(&view, &event);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    // Past the distance at which a press becomes a drag.
    QPointF at = start + QPointF(QGuiApplication::styleHints()->startDragDistance() + 1, 0);
    send(QEvent::MouseMove, at, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !frames.isEmpty(); }, 2000))
        return {};
    frames.clear();
    for (int i = 0; i < framesPerCase; ++i) {
        at += QPointF((i / 50) % 2 == 0 ? 4 : -4, 0);
        const qint64 before = clock.nsecsElapsed();
        send(QEvent::MouseMove, at, Qt::LeftButton);
        eventMs = double(clock.nsecsElapsed() - before) / 1e6;
        const qsizetype drawn = frames.size();
        if (!QTest::qWaitFor([&] { return frames.size() > drawn; }, 2000))
            break;
    }
    send(QEvent::MouseButtonRelease, at, {});
    QObject::disconnect(sync);
    QObject::disconnect(swapped);
    return frames;
}

} // namespace

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        auto *map = Screen::find<WorldMap>(view, QStringLiteral("regionMap"));
        if (!map || map->markers().size() != ScreenBench::regionCount)
            return 1;
        const QList<MapMarker> catalogue = map->markers();
        const QList<MapMarker> spread = spreadMarkers(catalogue);
        struct Case
        {
            const char *name;
            GeoRegion camera;
            const QList<MapMarker> &markers;
        };
        const Case cases[] = {
            {"world, catalogue markers", {54, 15, 180, 360}, catalogue},
            {"world, 6,000 places", {54, 15, 180, 360}, spread},
            {"Europe, catalogue markers", {50, 10, 20, 40}, catalogue},
            {"Europe, 6,000 places", {50, 10, 20, 40}, spread},
        };
        std::printf("renderer: Qt Quick software (offscreen platform); map %.0f x %.0f px, %lld markers\n",
                    map->width(), map->height(), qlonglong(catalogue.size()));
        std::printf("%-28s %10s %10s %8s\n", "case", "median ms", "p99 ms", "frames");
        bool withinBudget = true;
        for (const Case &c : cases) {
            map->setMarkers(c.markers);
            map->setCamera(c.camera);
            if (!QTest::qWaitFor([map] { return !map->moving(); }, 5000))
                return 1;
            QTest::qWait(200);
            const QList<double> frames = dragFrames(view, *map);
            if (frames.size() < framesPerCase) {
                std::printf("%s: only %lld frames\n", c.name, qlonglong(frames.size()));
                return 1;
            }
            const double median = percentile(frames, 0.5);
            std::printf("%-28s %10.2f %10.2f %8lld\n", c.name, median, percentile(frames, 0.99),
                        qlonglong(frames.size()));
            withinBudget = withinBudget && median <= budgetMs;
        }
        return withinBudget ? 0 : 2;
    });
}
