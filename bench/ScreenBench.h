#pragma once
// What the main screen's benchmarks share: a world of their own (temporary home, private session bus
// with a fresh keyring, offscreen windows), the stand-in service with 6,000 regions in a process of its
// own so that its memory is not counted, and the main screen up on those regions in the full layout.
// VELMORA_BENCH_REGIONS=N lists N regions instead, VELMORA_BENCH_COMPACT=1 opens the compact layout,
// VELMORA_BENCH_PLANS=N has the service offer N plans.

#include "RegionCatalogue.h"
#include "ScreenWorld.h"
#include "StallWatch.h"
#include "VelmoraController.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstring>
#include <functional>
#include <optional>

namespace ScreenBench {

inline const qsizetype regionCount = qEnvironmentVariableIntValue("VELMORA_BENCH_REGIONS") > 0
    ? qEnvironmentVariableIntValue("VELMORA_BENCH_REGIONS")
    : 6000;
inline const bool compact = qEnvironmentVariableIntValue("VELMORA_BENCH_COMPACT") == 1;
constexpr const char *serveArgument = "--serve";
// VmHWM in kB once the application and its services are made, before the screen opens.
inline qint64 peakBeforeScreen = -1;
// From opening the screen until its regions are listed: the time and the longest main-loop stall.
inline double listedAfterMs = -1;
inline double longestStallWhileListingMs = -1;

// Runs this program again in a world of its own; its exit code.
inline int runInsideWorld(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const char *script = R"sh(set -e
w=$(mktemp -d /tmp/velmora-bench.XXXXXX)
trap 'rm -rf "$w"' EXIT
export VELMORA_TEST_WORLD=$w QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$1/scripts/test-session" "$2")sh";
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedChannels);
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QString::fromUtf8(script), QStringLiteral("bench"),
                 QStringLiteral(VELMORA_SOURCE_DIR), QCoreApplication::applicationFilePath()});
    shell.waitForFinished(-1);
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : 1;
}

// The service's process: one account, every region request answered with the large catalogue; prints
// its address and the account's token on one line, then serves until it is ended.
inline int serve(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    StandInService service;
    if (!service.start())
        return 1;
    const QByteArray token =
        service.addAccount(QString::fromLatin1(ScreenWorld::email), QStringLiteral("pw"));
    service.answerAlways(
        QStringLiteral("users/me/regions"),
        TestHelpers::jsonAnswer(200, QJsonDocument(RegionCatalogue::sample(regionCount)).toJson()));
    if (const int plans = qEnvironmentVariableIntValue("VELMORA_BENCH_PLANS"); plans > 0) {
        QJsonArray list;
        for (int i = 0; i < plans; ++i) {
            list.append(QJsonObject{{"name", QStringLiteral("Plan %1").arg(i + 1)},
                                    {"total_days", 30 * (i % 24 + 1)},
                                    {"is_trial", false},
                                    {"is_unlimited", false},
                                    {"price", QStringLiteral("%1.99").arg(i % 200)}});
        }
        service.answerAlways(QStringLiteral("vpn/plans"),
                             TestHelpers::jsonAnswer(200, QJsonDocument(list).toJson()));
    }
    std::printf("%s %s\n", qPrintable(service.apiUrl()), token.constData());
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Points the client at a service process of this program's own and stores its account's login.
class ServiceProcess
{
public:
    ServiceProcess()
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(serveArgument)});
        if (!m_process.waitForReadyRead(20000))
            return;
        const QList<QByteArray> line = m_process.readLine().trimmed().split(' ');
        if (line.size() != 2)
            return;
        qputenv("VELMORA_API_URL", line.at(0));
        Preferences::setToken(QString::fromLatin1(line.at(1)));
        Preferences::setEmail(QString::fromLatin1(ScreenWorld::email));
        m_ready = true;
    }
    ~ServiceProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

// A figure of /proc/self/status in kB, such as "VmHWM"; -1 when unreadable.
inline qint64 processStatus(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The benchmark's main: sets up its world and service, opens the main screen, waits until its regions
// are listed and drawn, and hands it to measure, whose result is the exit code.
inline int run(int argc, char *argv[], const std::function<int(QQuickView &view)> &measure)
{
    if (qEnvironmentVariableIsEmpty("VELMORA_TEST_WORLD"))
        return runInsideWorld(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], serveArgument) == 0)
        return serve(argc, argv);

    QGuiApplication app(argc, argv);
    ScreenWorld world;
    ServiceProcess service;
    if (!service.ready())
        return 1;
    Preferences::setCompactView(compact);
    Preferences::setConfigId(1);
    peakBeforeScreen = processStatus("VmHWM");
    QElapsedTimer sinceOpening;
    sinceOpening.start();
    // Its 1 ms tick would otherwise be counted by every measurement that follows.
    auto stalls = std::make_optional<StallWatch>();
    auto view = world.openScreen(QStringLiteral("main/VPNMainView.qml"));
    if (!view)
        return 1;
    QQuickItem *list = Screen::find(*view, QStringLiteral("regionList"));
    if (!list || !QTest::qWaitFor([list] { return list->property("count").toInt() == regionCount; }, 20000))
        return 1;
    listedAfterMs = double(sinceOpening.nsecsElapsed()) / 1e6;
    longestStallWhileListingMs = stalls->longestMs();
    stalls.reset();
    QTest::qWait(500);
    return measure(*view);
}

} // namespace ScreenBench
