// The pricing sheet with 10,000 plans from the service (VELMORA_BENCH_PLANS=N for another number):
// the time from the click on the account menu's item to the sheet's first frame and to its cards,
// the longest main-loop stall in between and for a second after, the peak memory the sheet adds,
// and the sheet's width against the screen's available width. The main screen is up in the full
// layout with 6,000 regions, the stand-in service in a process of its own.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// pricing_sheet

#include "ScreenBench.h"
#include "StallWatch.h"

#include <QElapsedTimer>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("VELMORA_BENCH_PLANS"))
        qputenv("VELMORA_BENCH_PLANS", "10000");
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        QQuickWindow *sheet = nullptr;
        for (QWindow *window : QGuiApplication::allWindows()) {
            if (window->objectName() == QLatin1StringView("pricingSheet"))
                sheet = qobject_cast<QQuickWindow *>(window);
        }
        if (!sheet)
            return 1;
        Screen::click(Screen::find(view, QStringLiteral("accountMenuButton")));
        QQuickItem *menuItem = Screen::find(view, QStringLiteral("pricingItem"));
        if (!QTest::qWaitFor([menuItem] { return menuItem->isVisible() && menuItem->opacity() == 1.0; }))
            return 1;
        QTest::qWait(200);
        const qint64 peakBefore = ScreenBench::processStatus("VmHWM");
        const QPointF centre = menuItem->mapToScene(QPointF(menuItem->width() / 2, menuItem->height() / 2));
        QElapsedTimer clock;
        qint64 frameAt = -1;
        QObject::connect(sheet, &QQuickWindow::frameSwapped, sheet, [&] {
            if (frameAt < 0)
                frameAt = clock.nsecsElapsed();
        });
        StallWatch stalls;
        clock.start();
        QTest::mouseClick(&view, Qt::LeftButton, {}, centre.toPoint());
        QQuickItem *cards = nullptr;
        const int plans = qEnvironmentVariableIntValue("VELMORA_BENCH_PLANS");
        const bool shown = QTest::qWaitFor(
            [&] {
                cards = Screen::find(sheet, QStringLiteral("planCards"));
                return cards && cards->isVisible() && cards->property("count").toInt() == plans;
            },
            120000);
        const double cardsMs = double(clock.nsecsElapsed()) / 1e6;
        QTest::qWait(1000);
        const double stallMs = stalls.longestMs();
        const qint64 peakAfter = ScreenBench::processStatus("VmHWM");
        const int available = view.screen()->availableGeometry().width();
        std::printf("plans:                           %d\n", plans);
        std::printf("click to first frame (ms):       %.1f (goal 100)\n", double(frameAt) / 1e6);
        std::printf("click to the cards (ms):         %.1f\n", cardsMs);
        std::printf("longest main-loop stall (ms):    %.1f (goal 50)\n", stallMs);
        std::printf("VmHWM before / after (kB):       %lld / %lld (+%.1f MiB; goal 30)\n",
                    qlonglong(peakBefore), qlonglong(peakAfter), double(peakAfter - peakBefore) / 1024);
        std::printf("sheet width / available (px):    %d / %d\n", sheet->frameGeometry().width(), available);
        const bool good = shown && frameAt >= 0 && frameAt <= 100'000'000 && stallMs <= 50
            && peakAfter - peakBefore <= 30 * 1024 && sheet->frameGeometry().width() <= available;
        return good ? 0 : 2;
    });
}
