// 1,000 reads of a stored token straight from the credential store (no cache in front): the time of
// one read, and, run under a leak checker, what the read path leaves behind.
// Runs itself inside a session bus with a fresh keyring of its own; extra arguments wrap that inner run:
//   build/release/bench/secret_reads valgrind --leak-check=full
// Build in the release preset: cmake --preset release && cmake --build --preset release --target secret_reads

#include "SecretStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>

namespace {

constexpr int reads = 1000;

// Re-runs this program, behind the given wrapper command, in a session bus and keyring of its own.
int runInsideWorld(const QString &program, const QStringList &wrapper)
{
    const char *script = R"sh(set -e
w=$(mktemp -d /tmp/velmora-bench.XXXXXX)
trap 'rm -rf "$w"' EXIT
mkdir -m 700 "$w/runtime"
export HOME=$w XDG_CONFIG_HOME=$w/config XDG_DATA_HOME=$w/data XDG_RUNTIME_DIR=$w/runtime
export VELMORA_BENCH_INSIDE=1
dbus-run-session -- sh -c 'eval "$(printf bench | gnome-keyring-daemon --unlock --components=secrets)"
export GNOME_KEYRING_CONTROL; exec "$@"' sh "$@")sh";
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedChannels);
    shell.start(QStringLiteral("bash"),
                QStringList{QStringLiteral("-c"), QString::fromUtf8(script), QStringLiteral("bench")}
                    + wrapper + QStringList{program});
    shell.waitForFinished(-1);
    return shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("VELMORA_BENCH_INSIDE")) {
        QCoreApplication app(argc, argv);
        return runInsideWorld(QCoreApplication::applicationFilePath(), app.arguments().mid(1));
    }

    const QString service = QStringLiteral("io.velmora.bench");
    const QString account = QStringLiteral("token");
    const QString token = QStringLiteral("bench-token-0123456789abcdef");
    int failures = 0;
    qint64 elapsedNs = 0;
    {
        SecretStore store;
        if (store.setValue(service, account, token)) {
            std::fprintf(stderr, "The token could not be stored.\n");
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < reads; ++i) {
            if (store.value(service, account) != token)
                ++failures;
        }
        elapsedNs = timer.nsecsElapsed();
        (void)store.remove(service, account);
    }
    std::fprintf(stderr, "%d reads, %d failed, %.3f ms per read\n", reads, failures,
                 double(elapsedNs) / 1e6 / reads);
    return failures == 0 ? 0 : 1;
}
