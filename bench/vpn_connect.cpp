// Time from connectIPSecIKEv2() to the "connected" status notification, and from disconnectVPN()
// to "disconnected", against the local strongSwan responder through a real NetworkManager; median of 5.
// Needs root: it brings up the NetworkManager world of tests/vpn/world and a session bus with a fresh
// keyring, runs itself inside them, and takes them down again.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target vpn_connect

#include "NotificationCenter.h"
#include "Preferences.h"
#include "StandInService.h"
#include "Statistics.h"
#include "VPNHelper.h"
#include "VpnConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int rounds = 5;

// Re-runs this program inside a world of its own, its console lines silenced; returns its exit code.
int runInsideWorld(const QString &program)
{
    const char *script = R"sh(set -e
w=$(mktemp -d /tmp/velmora-bench.XXXXXX)
export WORLD=$w/nm WORLD_PREFIX=vb${w##*.}
trap '"$1/world-down" >/dev/null 2>&1; rm -rf "$w"' EXIT
"$1/world-up" >"$w/world.log" 2>&1 || { tail -n 5 "$w/world.log" >&2; exit 1; }
export VELMORA_NM_BUS=unix:path=$WORLD/run/system_bus_socket VELMORA_NM_WORLD=$WORLD
export DBUS_SYSTEM_BUS_ADDRESS=$VELMORA_NM_BUS HOME=$w XDG_CONFIG_HOME=$w/config XDG_DATA_HOME=$w/data
unset DBUS_SESSION_BUS_ADDRESS
dbus-run-session -- sh -c 'eval "$(printf bench | gnome-keyring-daemon --unlock --components=secrets)"
export GNOME_KEYRING_CONTROL; exec "$0" >/dev/null' "$2")sh";
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedChannels);
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QString::fromUtf8(script), QStringLiteral("bench"),
                 QStringLiteral(VELMORA_SOURCE_DIR "/tests/vpn/world"), program});
    shell.waitForFinished(-1);
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : 1;
}

// Runs the event loop until reached; milliseconds since the clock started, or -1 after 20 s.
double waitFor(const QElapsedTimer &clock, const bool &reached)
{
    while (!reached && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return reached ? double(clock.nsecsElapsed()) / 1e6 : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("VELMORA_NM_BUS"))
        return runInsideWorld(QCoreApplication::applicationFilePath());

    StandInService service;
    if (!service.start())
        return 1;
    qputenv("VELMORA_API_URL", service.apiUrl().toUtf8());
    Preferences::setToken(
        QString::fromUtf8(service.addAccount(QStringLiteral("bench@velmora.io"), QStringLiteral("pw"))));
    Preferences::setConfigId(0);
    Preferences::setKillSwitch(false);

    VpnStatus target = VpnStatus::Invalid;
    bool reached = false;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        VpnConnection::statusDidChangeNotification, &observer, [&](QObject *connection) {
            if (static_cast<VpnConnection *>(connection)->status() == target)
                reached = true;
        });

    std::vector<double> connects, disconnects;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        target = VpnStatus::Connected;
        reached = false;
        clock.start();
        VPNHelper::shared().connectIPSecIKEv2();
        connects.push_back(waitFor(clock, reached));

        target = VpnStatus::Disconnected;
        reached = false;
        clock.restart();
        VPNHelper::shared().disconnectVPN();
        disconnects.push_back(waitFor(clock, reached));
    }
    if (std::find(connects.begin(), connects.end(), -1) != connects.end()
        || std::find(disconnects.begin(), disconnects.end(), -1) != disconnects.end()) {
        std::fprintf(stderr, "The tunnel did not reach the expected status within 20 s.\n");
        return 1;
    }
    // On the error stream: the console lines of the run go to standard output.
    std::fprintf(stderr, "connect -> connected:       median %.1f ms (", median(connects));
    for (double ms : connects)
        std::fprintf(stderr, " %.1f", ms);
    std::fprintf(stderr, " )\ndisconnect -> disconnected: median %.1f ms (", median(disconnects));
    for (double ms : disconnects)
        std::fprintf(stderr, " %.1f", ms);
    std::fprintf(stderr, " )\n");
    return 0;
}
