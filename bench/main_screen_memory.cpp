// Peak memory (VmHWM) with the main screen up in the full layout and 6,000 regions listed, the list
// scrolled from top to bottom once. The stand-in service runs in a process of its own.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// main_screen_memory

#include "ScreenBench.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        QQuickItem *list = Screen::find(view, QStringLiteral("regionList"));
        const qreal end = list->property("contentHeight").toReal() - list->height();
        for (qreal y = 0; y < end; y += list->height()) {
            list->setProperty("contentY", y);
            QTest::qWait(1);
        }
        QTest::qWait(500);
        const qint64 peak = ScreenBench::processStatus("VmHWM");
        std::printf("regions listed:                  %lld\n", qlonglong(ScreenBench::regionCount));
        std::printf("VmHWM before the screen (kB):   %lld\n", qlonglong(ScreenBench::peakBeforeScreen));
        std::printf("VmHWM with the screen up (kB):   %lld (%.1f MiB; budget 90 MiB)\n", qlonglong(peak),
                    double(peak) / 1024);
        std::printf("VmRSS now (kB):                  %lld\n",
                    qlonglong(ScreenBench::processStatus("VmRSS")));
        return peak > 0 && peak <= 90 * 1024 ? 0 : 2;
    });
}
