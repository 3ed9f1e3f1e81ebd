// Requests started all at once against the stand-in service on loopback, which answers each one it
// gets after a short delay (by default 30 ms, a service across the internet), far below the 10 s
// time-out: how many are reported as "The request timed out." and how many never reached the service.
// Usage: request_flood [requests=3000] [answer delay in ms=30]
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// request_flood

#include "Client.h"
#include "RegionCatalogue.h"
#include "ServiceThread.h"
#include "TestHelpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int delayMs = argc > 2 ? std::atoi(argv[2]) : 30;
    // The client's console lines (one per answer) go nowhere; the figures go to the real output.
    FILE *out = fdopen(dup(STDOUT_FILENO), "w");
    if (!out || !std::freopen("/dev/null", "w", stdout))
        return 1;

    StandInService::Answer answer = TestHelpers::jsonAnswer(
        200, QJsonDocument(RegionCatalogue::bestRegions(5)).toJson(QJsonDocument::Compact));
    answer.delayMs = delayMs;
    ServiceThread service(
        [&answer](StandInService &s) { s.answerAlways(QStringLiteral("users/me/regions/best"), answer); });
    if (service.apiUrl().isEmpty())
        return 1;
    qputenv("VELMORA_API_URL", service.apiUrl().toUtf8());

    int answered = 0;
    int timedOut = 0;
    int failed = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < requests; ++i) {
        Client::shared().userBestRegions([&](std::optional<Error> error, std::optional<JSON>) {
            if (!error)
                ++answered;
            else if (error->localizedDescription() == QLatin1String("The request timed out."))
                ++timedOut;
            else
                ++failed;
        });
    }
    while (answered + timedOut + failed < requests)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = double(clock.elapsed()) / 1000;

    qsizetype received = 0;
    service.run([&received](StandInService &s) { received = s.requests().size(); });
    std::fprintf(out,
                 "%d requests at once, answers delayed %d ms: %d answered, %d timed out, %d other errors, "
                 "%lld never reached the service; %.1f s in all\n",
                 requests, delayMs, answered, timedOut, failed, qlonglong(requests - received), seconds);
    return 0;
}
