#include "AppDelegate.h"

#include "AccessibleItem.h"
#include "AppIcon.h"
#include "Assets.h"
#include "Client.h"
#include "Configuration.h"
#include "ContentViewModel.h"
#include "CrashReporter.h"
#include "Services.h"
#include "SingleInstance.h"
#include "Updater.h"
#include "VPNHelper.h"
#include "Workspace.h"
#include "ZoomGuard.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QUrl>

namespace {

// The state images of the connection stand for the application in the taskbar; any other name
// brings back the application's own icon.
void showWindowIcon(const QString &name)
{
    QUrl image = Assets::image(name);
    if (image.isEmpty())
        image = Assets::image(QStringLiteral("AppIconMacOS"));
    QGuiApplication::setWindowIcon(image.isEmpty() ? QIcon() : QIcon(QLatin1Char(':') + image.path()));
}

} // namespace

namespace AppDelegate {

void willFinishLaunching()
{
    CrashReporter::configure();
    AccessibleItem::install();
    AppIcon::setHandler(showWindowIcon);
    showWindowIcon(AppIcon::current());
    Workspace::setHandler([](const QUrl &url) { QDesktopServices::openUrl(url); });
}

bool openWindow(QQmlApplicationEngine &engine, ContentViewModel &vm, Services &services, Updater &updater)
{
    ZoomGuard::install();
    // The module's screens sit in folders of their own and find each other through its qmldir.
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.setInitialProperties({{QStringLiteral("vm"), QVariant::fromValue(&vm)},
                                 {QStringLiteral("services"), QVariant::fromValue(&services)},
                                 {QStringLiteral("updater"), QVariant::fromValue(&updater)}});
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Velmora/shell/Main.qml")));
    return !engine.rootObjects().isEmpty();
}

int run(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Velmora"));
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setApplicationVersion(Configuration::appVersion());
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    // A second launch brings the running copy's window to the front and ends.
    SingleInstance instance;
    if (!instance.claim())
        return 0;
    // Lives as long as the application, and starts before any window opens.
    Updater updater;
    updater.start();
    willFinishLaunching();

    // The shared helper registers the NetworkManager secret agent as it is made.
    Services services(Client::shared(), VPNHelper::shared());
    ContentViewModel vm;
    QQmlApplicationEngine engine;
    if (!openWindow(engine, vm, services, updater))
        return 1;
    if (auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst())) {
        QObject::connect(&instance, &SingleInstance::activated, window, [window] {
            window->show();
            window->raise();
            window->requestActivate();
        });
        // The map's nodes are built on the render thread.
        QObject::connect(window, &QQuickWindow::sceneGraphInitialized, window, &CrashReporter::prepareThread,
                         Qt::DirectConnection);
    }
    return QGuiApplication::exec();
}

} // namespace AppDelegate
