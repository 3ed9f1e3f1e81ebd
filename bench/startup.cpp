// Start to the first frame of the login screen, against a bare Qt Quick Controls ApplicationWindow
// started the same way: the same program in a fresh process each time, with fresh HOME and XDG
// folders and bus addresses that lead nowhere (no stored login; the host's keyring and
// NetworkManager are not asked). The cache folder (shader and font caches) is kept across the runs,
// as on a desktop where the program has run before. Prints the medians and their ratio.
// Build in the release preset; run on a display, else it runs offscreen:
//   cmake --preset release && cmake --build --preset release --target startup
//   xvfb-run -a build/release/bench/startup
// With --starts N it instead starts the application N times, four at once, and counts the starts
// that did not reach the login screen (start-up must not depend on timing or hash order):
//   build/release/bench/startup --starts 400

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
#include <memory>
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

// A child's environment: fresh HOME and XDG folders under home, the shared cache folder, and bus
// addresses that lead nowhere.
QProcessEnvironment childEnvironment(const QString &home, const QString &cache)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        environment.insert(QString::fromLatin1(name), home + u'/' + QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    QDir(home).mkdir(QStringLiteral("XDG_RUNTIME_DIR"));
    QFile::setPermissions(home + QStringLiteral("/XDG_RUNTIME_DIR"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char *bus : {"DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"})
        environment.insert(QString::fromLatin1(bus), QStringLiteral("unix:path=/nonexistent"));
    return environment;
}

// Milliseconds from starting the child to its first frame; negative when it failed.
double startToFirstFrame(const QString &kind, const QString &cache)
{
    QTemporaryDir home;
    QProcess child;
    child.setProcessEnvironment(childEnvironment(home.path(), cache));
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

// Starts the application count times, `together` copies at a time, and counts those that never
// showed their first frame; each failure's error output is passed on.
int failedStarts(int count, int together, const QString &cache)
{
    int failed = 0;
    for (int started = 0; started < count; started += together) {
        std::vector<std::unique_ptr<QTemporaryDir>> homes;
        std::vector<std::unique_ptr<QProcess>> children;
        for (int i = 0; i < together && started + i < count; ++i) {
            homes.push_back(std::make_unique<QTemporaryDir>());
            auto child = std::make_unique<QProcess>();
            child->setProcessEnvironment(childEnvironment(homes.back()->path(), cache));
            child->start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--child"), QStringLiteral("app")});
            children.push_back(std::move(child));
        }
        for (const auto &child : children) {
            child->waitForFinished(30000);
            const QByteArray output = child->readAllStandardOutput();
            if (!output.startsWith("frame\n") && !output.contains("\nframe\n")) {
                ++failed;
                std::fputs(child->readAllStandardError().constData(), stderr);
            }
        }
    }
    return failed;
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
    // --starts N: how reliably the application starts, N times, four copies at once.
    if (argc == 3 && qstrcmp(argv[1], "--starts") == 0) {
        const int count = std::max(1, QByteArray(argv[2]).toInt());
        const int failed = failedStarts(count, 4, cache.path());
        std::printf("%d of %d starts failed to show the login screen.\n", failed, count);
        return failed == 0 ? 0 : 1;
    }
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
    std::printf("  ratio                   %8.2f x (target at most 1.30 x)\n", loginMs / bareMs);
    return 0;
}
