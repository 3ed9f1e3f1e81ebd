// Start to the first frame of the login screen, against a bare Qt Quick Controls ApplicationWindow
// started the same way: the same program in a fresh process each time, with fresh HOME and XDG
// folders and bus addresses that lead nowhere (no stored login; the host's keyring and
// NetworkManager are not asked). The cache folder (shader and font caches) is kept across the runs,
// as on a desktop where the program has run before. Prints the medians and their ratio.
// Build in the release preset; run on a display, else it runs offscreen:
//   cmake --preset release && cmake --build --preset release --target startup
//   xvfb-run -a build/release/bench/startup

#include "AppDelegate.h"
#include "Client.h"
#include "Configuration.h"
#include "ContentViewModel.h"
#include "Services.h"
#include "Statistics.h"
#include "Updater.h"
#include "VPNHelper.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int runs = 15;

// Says "frame" on standard output at the window's first frame, then quits.
void reportFirstFrame(QQmlApplicationEngine &engine)
{
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window) {
        std::fputs("no window\n", stderr);
        std::exit(1);
    }
    QObject::connect(
        window, &QQuickWindow::frameSwapped, qApp,
        [] {
            std::fputs("frame\n", stdout);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        },
        Qt::SingleShotConnection);
}

int bareWindow(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick\nimport QtQuick.Controls.Basic\n"
                    "ApplicationWindow { width: 800; height: 500; visible: true }");
    reportFirstFrame(engine);
    return QGuiApplication::exec();
}

// What AppDelegate::run does, up to the window.
int application(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Velmora"));
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setApplicationVersion(Configuration::appVersion());
    Updater updater;
    updater.start();
    AppDelegate::willFinishLaunching();
    Services services(Client::shared(), VPNHelper::shared());
    ContentViewModel vm;
    QQmlApplicationEngine engine;
    if (!AppDelegate::openWindow(engine, vm, services, updater))
        return 1;
    reportFirstFrame(engine);
    return QGuiApplication::exec();
}

// Milliseconds from starting the child to its first frame; negative when it failed.
double startToFirstFrame(const QString &kind, const QString &cache)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        environment.insert(QString::fromLatin1(name), home.path() + u'/' + QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    QDir(home.path()).mkdir(QStringLiteral("XDG_RUNTIME_DIR"));
    QFile::setPermissions(home.path() + QStringLiteral("/XDG_RUNTIME_DIR"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char *bus : {"DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"})
        environment.insert(QString::fromLatin1(bus), QStringLiteral("unix:path=/nonexistent"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), kind});
    // The application's own console lines come first.
    for (;;) {
        while (!child.canReadLine()) {
            if (!child.waitForReadyRead(30000))
                return -1;
        }
        if (child.readLine().trimmed() == "frame")
            break;
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    child.waitForFinished(10000);
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return qstrcmp(argv[2], "bare") == 0 ? bareWindow(argc, argv) : application(argc, argv);

    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const QTemporaryDir cache;
    std::vector<double> bare;
    std::vector<double> login;
    startToFirstFrame(QStringLiteral("bare"), cache.path());
    startToFirstFrame(QStringLiteral("app"), cache.path());
    for (int i = 0; i < runs; ++i) {
        bare.push_back(startToFirstFrame(QStringLiteral("bare"), cache.path()));
        login.push_back(startToFirstFrame(QStringLiteral("app"), cache.path()));
        if (bare.back() < 0 || login.back() < 0) {
            std::fputs("A child did not show its first frame.\n", stderr);
            return 1;
        }
    }
    const double bareMs = median(bare);
    const double loginMs = median(login);
    std::printf("Start to first frame, median of %d runs (platform %s):\n", runs,
                qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"))));
    std::printf("  bare ApplicationWindow  %8.1f ms\n", bareMs);
    std::printf("  Velmora login screen    %8.1f ms\n", loginMs);
    std::printf("  ratio                   %8.2f x (target at most 1.50 x)\n", loginMs / bareMs);
    return 0;
}
