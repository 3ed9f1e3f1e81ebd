// What the main screen costs while "Connecting..." shows: the CPU time of the main thread and of the
// other threads (the render thread among them) over 10 s, and the frames drawn meanwhile, with the
// region map and its 6,000 markers on screen. Run it under Xvfb (QT_QPA_PLATFORM=xcb) to see the
// render thread as a desktop has it. Build in the release preset: cmake --preset release &&
// cmake --build --preset release --target connecting_cost

#include "ScreenBench.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

// CPU seconds of one thread of this process, from /proc/self/task/<id>/stat (fields 14 and 15).
double threadSeconds(const QString &id)
{
    // Read with stdio: /proc files report a size of 0.
    FILE *stat = std::fopen(qPrintable(QStringLiteral("/proc/self/task/%1/stat").arg(id)), "r");
    if (!stat)
        return 0;
    char buffer[1024] = {};
    const size_t length = std::fread(buffer, 1, sizeof buffer - 1, stat);
    std::fclose(stat);
    const QByteArray line(buffer, qsizetype(length));
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong())
        / double(sysconf(_SC_CLK_TCK));
}

struct Split
{
    double main = 0;
    double others = 0;
};

Split cpuByThread()
{
    Split split;
    const QString self = QString::number(getpid());
    for (const QString &id :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        (id == self ? split.main : split.others) += threadSeconds(id);
    return split;
}

} // namespace

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        VelmoraController *ctrl = ScreenWorld::controllerOf(view);
        if (!ctrl)
            return 1;
        ctrl->setConnectionStatus(VpnStatus::Connecting);
        QTest::qWait(1000);
        int frames = 0;
        QObject::connect(&view, &QQuickWindow::frameSwapped, [&frames] { ++frames; });
        QEventLoop connecting;
        QTimer::singleShot(10000, &connecting, &QEventLoop::quit);
        const Split before = cpuByThread();
        connecting.exec();
        const Split after = cpuByThread();
        std::printf("connecting for (s):    10\n");
        std::printf("main thread CPU:       %.1f %%\n", 10 * (after.main - before.main));
        std::printf("other threads CPU:     %.1f %%\n", 10 * (after.others - before.others));
        std::printf("frames drawn:          %d\n", frames);
        return 0;
    });
}
