// Idle cost of the main screen: with the screen up on 6,000 regions and nothing changing, the CPU time
// the process uses over 10 s, and the timer events and frames that happen meanwhile (all should be 0).
// The region map is on screen with its 6,000 markers, after an animated move that has ended.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// main_screen_idle

#include "ScreenBench.h"
#include "WorldMap.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts what would wake the main thread while idle, but for the benchmark's own deadline.
class Wakeups : public QObject
{
public:
    explicit Wakeups(const QObject *deadline)
        : m_deadline(deadline)
    {
    }

    int timers = 0;
    int updates = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer && watched != m_deadline)
            ++timers;
        else if (event->type() == QEvent::UpdateRequest)
            ++updates;
        return QObject::eventFilter(watched, event);
    }

private:
    const QObject *m_deadline;
};

} // namespace

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        auto *map = Screen::find<WorldMap>(view, QStringLiteral("regionMap"));
        if (!map || !map->isVisible() || map->markers().size() != ScreenBench::regionCount)
            return 1;
        map->setCamera({50, 10, 20, 40});
        if (!map->moving() || !QTest::qWaitFor([map] { return !map->moving(); }, 5000))
            return 1;
        QTest::qWait(2000);
        int frames = 0;
        QObject::connect(&view, &QQuickWindow::frameSwapped, [&frames] { ++frames; });
        QEventLoop idle;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &idle, &QEventLoop::quit);
        Wakeups wakeups(&deadline);
        QCoreApplication::instance()->installEventFilter(&wakeups);

        const double cpuBefore = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        deadline.start(10000);
        idle.exec();
        const double cpu = cpuSeconds() - cpuBefore;
        const double wall = double(clock.elapsed()) / 1000;

        std::printf("map on screen:         %lld markers, moving: %s\n", qlonglong(map->markers().size()),
                    map->moving() ? "yes" : "no");
        std::printf("idle for (s):          %.1f\n", wall);
        std::printf("CPU time used (ms):    %.1f (%.3f %%)\n", cpu * 1000, 100 * cpu / wall);
        std::printf("timer events:          %d\n", wakeups.timers);
        std::printf("update requests:       %d\n", wakeups.updates);
        std::printf("frames drawn:          %d\n", frames);
        return wakeups.timers == 0 && frames == 0 ? 0 : 2;
    });
}
