// The longest time the main loop goes without a turn while the controller fetches a catalogue of
// 6,000 regions (about 2 MB) from the stand-in service, decodes and publishes it: a 1 ms timer on the
// main thread records the gaps between its ticks. The service runs on a thread of its own. Settings,
// keyring and buses point into a temporary folder: nothing of the user's own is read or written.
// Usage: region_stall [regions=6000] [rounds=10]
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// region_stall

#include "RegionCatalogue.h"
#include "ServiceThread.h"
#include "StallWatch.h"
#include "TestHelpers.h"
#include "VelmoraController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    QTemporaryDir world;
    if (!world.isValid())
        return 1;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(name, world.path().toUtf8());
    const QByteArray noBus = "unix:path=" + world.filePath(QStringLiteral("no-bus")).toUtf8();
    qputenv("DBUS_SESSION_BUS_ADDRESS", noBus);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", noBus);

    QCoreApplication app(argc, argv);
    const int regions = argc > 1 ? std::atoi(argv[1]) : 6000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    // The console lines go nowhere; the figures go to the real output.
    FILE *out = fdopen(dup(STDOUT_FILENO), "w");
    if (!out || !std::freopen("/dev/null", "w", stdout))
        return 1;

    const QByteArray answer = QJsonDocument(RegionCatalogue::sample(regions)).toJson(QJsonDocument::Compact);
    ServiceThread service([&answer](StandInService &s) {
        s.answerAlways(QStringLiteral("users/me/regions"), TestHelpers::jsonAnswer(200, answer));
    });
    if (service.apiUrl().isEmpty())
        return 1;
    qputenv("VELMORA_API_URL", service.apiUrl().toUtf8());

    VelmoraController controller;
    int publications = 0;
    QObject::connect(&controller, &VelmoraController::regionsChanged, [&publications] { ++publications; });
    StallWatch stalls;

    std::vector<double> longest;
    std::vector<double> loads;
    for (int round = 0; round < rounds; ++round) {
        const int published = publications + 4;
        QElapsedTimer load;
        load.start();
        stalls.restart();
        controller.loadRegions();
        while (publications < published)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        loads.push_back(double(load.nsecsElapsed()) / 1e6);
        // What the load leaves to later turns (the default selection, freeing) counts too.
        QElapsedTimer after;
        after.start();
        while (after.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        longest.push_back(stalls.longestMs());
    }
    const std::vector<double> byRound = longest;
    std::sort(longest.begin(), longest.end());
    std::sort(loads.begin(), loads.end());
    std::fprintf(out,
                 "%d regions, %lld bytes, %d rounds: longest main-loop stall median %.1f ms, worst %.1f ms "
                 "(first round %.1f ms); load to last publication median %.1f ms\n",
                 regions, qlonglong(answer.size()), rounds, longest[longest.size() / 2], longest.back(),
                 byRound.front(), loads[loads.size() / 2]);
    return 0;
}
