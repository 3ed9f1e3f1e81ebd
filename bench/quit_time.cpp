// Ctrl+Q to the end of the application's process while a hostile update feed (2 MB, one element of
// 190,000 attributes) has just been fetched by the automatic check at start. The program runs in a
// fresh process each time, with fresh HOME and XDG folders and bus addresses that lead nowhere, on
// the stand-in service; the keys go through xdotool, so it needs an X display:
//   cmake --preset release && cmake --build --preset release --target quit_time velmora
//   xvfb-run -a build/release/bench/quit_time [another build's velmora [runs]]

#include "StandInService.h"
#include "Statistics.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int defaultRuns = 5;

QByteArray hostileFeed()
{
    QByteArray feed = "<rss><channel><item><x";
    for (int i = 0; i < 190'000; ++i)
        feed += " a" + QByteArray::number(i, 36) + "=\"\"";
    return feed + "/></item></channel></rss>";
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(20000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// Milliseconds from Ctrl+Q to the process's end; negative when a step failed.
double quitOnce(StandInService &service, const QString &program)
{
    QTemporaryDir world;
    for (const char *folder : {"home", "config/Velmora", "data", "cache", "state", "runtime"})
        QDir().mkpath(world.filePath(QLatin1String(folder)));
    QFile::setPermissions(world.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile settings(world.filePath(QStringLiteral("config/Velmora/Velmora.conf")));
    if (!settings.open(QIODevice::WriteOnly)
        || settings.write("[General]\nAutomaticallyChecksForUpdates=true\n") < 0)
        return -1;
    settings.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const std::pair<const char *, const char *> folders[] = {{"HOME", "home"},
                                                             {"XDG_CONFIG_HOME", "config"},
                                                             {"XDG_DATA_HOME", "data"},
                                                             {"XDG_CACHE_HOME", "cache"},
                                                             {"XDG_STATE_HOME", "state"},
                                                             {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto &[name, folder] : folders)
        environment.insert(QLatin1String(name), world.filePath(QLatin1String(folder)));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/session"));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/system"));
    environment.insert(QStringLiteral("VELMORA_API_URL"), service.apiUrl());
    environment.insert(QStringLiteral("VELMORA_UPDATE_FEED"), service.updateFeedUrl());

    const qsizetype fetched = service.requestsTo(QLatin1String(StandInService::feedPath)).size();
    QProcess application;
    application.setProcessEnvironment(environment);
    application.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    application.start(program);
    if (!QTest::qWaitFor(
            [&] { return service.requestsTo(QLatin1String(StandInService::feedPath)).size() > fetched; },
            20000))
        return -1;
    // The feed is on its way to the reader.
    QTest::qWait(300);
    const QString window =
        run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--pid"), QString::number(application.processId())})
            .section(u'\n', 0, 0);
    if (window.isEmpty())
        return -1;
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    QElapsedTimer timer;
    timer.start();
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+q")});
    if (!QTest::qWaitFor([&application] { return application.state() == QProcess::NotRunning; }, 600'000))
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    StandInService service;
    if (!service.start())
        return 1;
    service.answerAlways(QLatin1String(StandInService::feedPath), {200, hostileFeed(), 0, false, {}});
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VELMORA_PROGRAM);
    const int runs = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : defaultRuns;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = quitOnce(service, program);
        if (ms < 0) {
            std::fputs("a run failed (no window, no feed request, or the process did not end)\n", stderr);
            return 1;
        }
        times.push_back(ms);
    }
    std::printf("Ctrl+Q to the end of the process, %d runs: median %.0f ms, max %.0f ms\n", runs,
                median(times), percentile(times, 1.0));
    return 0;
}
