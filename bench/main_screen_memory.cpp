// Peak memory (VmHWM) with the main screen up in the full layout and 6,000 regions listed and on the
// map: the list scrolled from top to bottom once, the map moved to Europe, dragged, zoomed in and out
// by the wheel and back to the world. The stand-in service runs in a process of its own.
// VELMORA_BENCH_REGIONS=100000 VELMORA_BENCH_COMPACT=1 measures the compact layout (no map) with
// 100,000 regions instead; the budget of 100 MiB is the full layout's with 6,000.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// main_screen_memory

#include "ScreenBench.h"
#include "WorldMap.h"

#include <cstdio>

namespace {

void wheel(QQuickView &view, const QPointF &at, int notches)
{
    QWheelEvent event(at, view.mapToGlobal(at), {}, QPoint(0, 120 * notches), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &event);
    QTest::qWait(1);
}

// Moves the map about as a user would, drawing every step.
bool useTheMap(QQuickView &view, WorldMap &map)
{
    map.setCamera({50, 10, 20, 40});
    if (!QTest::qWaitFor([&map] { return !map.moving(); }, 5000))
        return false;
    const QPointF middle = map.mapToScene(QPointF(map.width() / 2, map.height() / 2));
    QTest::mousePress(&view, Qt::LeftButton, {}, middle.toPoint());
    for (int step = 1; step <= 40; ++step)
        QTest::mouseMove(&view, (middle + QPointF(step * 5, step * 2)).toPoint());
    QTest::mouseRelease(&view, Qt::LeftButton, {}, (middle + QPointF(200, 80)).toPoint());
    for (int notch = 0; notch < 8; ++notch)
        wheel(view, middle, 1);
    for (int notch = 0; notch < 16; ++notch)
        wheel(view, middle, -1);
    map.setCamera({54, 15, 180, 360});
    return QTest::qWaitFor([&map] { return !map.moving(); }, 5000);
}

} // namespace

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        QQuickItem *list = Screen::find(view, QStringLiteral("regionList"));
        const qreal end = list->property("contentHeight").toReal() - list->height();
        for (qreal y = 0; y < end; y += list->height()) {
            list->setProperty("contentY", y);
            QTest::qWait(1);
        }
        auto *map = Screen::find<WorldMap>(view, QStringLiteral("regionMap"));
        if (!ScreenBench::compact
            && (!map || map->markers().size() != ScreenBench::regionCount || !useTheMap(view, *map)))
            return 1;
        QTest::qWait(500);
        const qint64 peak = ScreenBench::processStatus("VmHWM");
        std::printf("regions listed%s:   %lld\n",
                    ScreenBench::compact ? " (compact)        " : " and on the map",
                    qlonglong(ScreenBench::regionCount));
        std::printf("listed after opening (ms):       %.0f (the service's answer included)\n",
                    ScreenBench::listedAfterMs);
        std::printf("longest stall until listed (ms): %.1f\n", ScreenBench::longestStallWhileListingMs);
        std::printf("VmHWM before the screen (kB):   %lld\n", qlonglong(ScreenBench::peakBeforeScreen));
        std::printf("VmHWM with the screen up (kB):   %lld (%.1f MiB; budget 100 MiB)\n", qlonglong(peak),
                    double(peak) / 1024);
        std::printf("VmRSS now (kB):                  %lld\n",
                    qlonglong(ScreenBench::processStatus("VmRSS")));
        return peak > 0 && peak <= 100 * 1024 ? 0 : 2;
    });
}
