#pragma once
// What a screen test runs on: the stand-in service with a logged-in account, a VPN helper on a bus
// without NetworkManager, the screens' services and model, and windows that open a QML file of the
// module with them; plus finding, clicking and screenshots.

#include "Client.h"
#include "ContentViewModel.h"
#include "NetworkManagerPeers.h"
#include "Preferences.h"
#include "Services.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "VPNHelper.h"
#include "VelmoraController.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QScreen>
#include <QtTest>

#include <memory>

class ScreenWorld
{
public:
    static constexpr const char *email = "ada@example.com";

    ScreenWorld()
        : m_helper(m_bus.connect())
        , m_services(Client::shared(), m_helper)
    {
        // Offscreen windows have no GPU: Qt Quick draws in software. A benchmark under an X server
        // draws as the application does there.
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }

    // Starts the service and stores the account's login, as after logging in.
    bool start()
    {
        if (!TestHelpers::startForClient(m_service))
            return false;
        m_service.addAccount(QString::fromLatin1(email), QStringLiteral("secret-9"));
        logIn();
        return true;
    }
    void logIn()
    {
        Preferences::setToken(QString::fromLatin1(m_service.tokenOf(QString::fromLatin1(email))));
        Preferences::setEmail(QString::fromLatin1(email));
    }

    [[nodiscard]] StandInService &service() { return m_service; }
    [[nodiscard]] Services &services() { return m_services; }
    [[nodiscard]] ContentViewModel &vm() { return m_vm; }

    // A window showing a screen of the module (it is given vm and services); null when it fails.
    std::unique_ptr<QQuickView> openScreen(const QString &file)
    {
        return open(file,
                    {{QStringLiteral("vm"), QVariant::fromValue(&m_vm)},
                     {QStringLiteral("services"), QVariant::fromValue(&m_services)}});
    }

    // The main screen once its regions and plan text have arrived, on the world's services or others.
    std::unique_ptr<QQuickView> openMainScreen(Services *services = nullptr)
    {
        auto view =
            open(QStringLiteral("main/VPNMainView.qml"),
                 {{QStringLiteral("vm"), QVariant::fromValue(&m_vm)},
                  {QStringLiteral("services"), QVariant::fromValue(services ? services : &m_services)}});
        if (!view)
            return nullptr;
        VelmoraController *ctrl = controllerOf(*view);
        const bool loaded =
            QTest::qWaitFor([ctrl] { return !ctrl->regions().isEmpty() && !ctrl->subscription().isEmpty(); });
        return loaded ? std::move(view) : nullptr;
    }
    static VelmoraController *controllerOf(QQuickView &view)
    {
        return view.rootObject()->property("ctrl").value<VelmoraController *>();
    }

    // A window showing a file of the module, given those properties; null when it fails.
    static std::unique_ptr<QQuickView> open(const QString &file, const QVariantMap &properties,
                                            const QRect &geometry = QRect(100, 100, 800, 500))
    {
        auto view = std::make_unique<QQuickView>();
        view->engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        view->setResizeMode(QQuickView::SizeRootObjectToView);
        view->setInitialProperties(properties);
        view->setGeometry(geometry);
        view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Velmora/") + file));
        if (view->status() != QQuickView::Ready) {
            qWarning() << view->errors();
            return nullptr;
        }
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return nullptr;
        return view;
    }

private:
    NetworkManagerPeers::PrivateBus m_bus;
    VPNHelper m_helper;
    Services m_services;
    ContentViewModel m_vm;
    StandInService m_service;
};

namespace Screen {

template <typename T = QQuickItem> T *find(QQuickView &view, const QString &name)
{
    return view.rootObject() ? view.rootObject()->findChild<T *>(name) : nullptr;
}

// A click in the middle of the item, as the user makes it.
inline void click(QQuickItem *item)
{
    QVERIFY(item);
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, {}, centre.toPoint());
}

// An item of a window by objectName, wherever it sits among the window's items.
inline QQuickItem *find(const QQuickItem *item, const QString &name)
{
    if (!item)
        return nullptr;
    for (QQuickItem *child : item->childItems()) {
        if (child->objectName() == name)
            return child;
        if (QQuickItem *found = find(child, name))
            return found;
    }
    return nullptr;
}
inline QQuickItem *find(const QQuickWindow *window, const QString &name)
{
    return window ? find(window->contentItem(), name) : nullptr;
}

// Types text (Latin-1) into the window's focused item, key by key.
inline void type(QWindow *window, const QString &text)
{
    for (const QChar character : text)
        QTest::keyClick(window, character.toLatin1());
}

// The button of a dialog's button box with that text, once it is laid out where it is drawn.
inline QQuickItem *dialogButton(QObject *dialog, const QString &text)
{
    QQuickItem *button = nullptr;
    for (auto *item : dialog->property("footer").value<QQuickItem *>()->findChildren<QQuickItem *>()) {
        if (item->inherits("QQuickAbstractButton") && item->property("text").toString() == text)
            button = item;
    }
    if (!button)
        return nullptr;
    const auto centre = [button] {
        return button->mapToScene(QPointF(button->width() / 2, button->height() / 2));
    };
    return QTest::qWaitFor([&] { return button->window()->contentItem()->contains(centre()); }) ? button
                                                                                                : nullptr;
}

// Opens the main screen's account menu and chooses the item, as the user does.
inline void choose(QQuickView &view, const QString &item)
{
    click(find(view, QStringLiteral("accountMenuButton")));
    QQuickItem *menuItem = find(view, item);
    QVERIFY(menuItem);
    QTRY_VERIFY(menuItem->isVisible());
    click(menuItem);
}

// A key pressed where the user's keys go: to the window that has the focus.
inline void press(Qt::Key key)
{
    QWindow *window = QGuiApplication::focusWindow();
    QVERIFY(window);
    QTest::keyClick(window, key);
}

// Tabs until the item has the keyboard focus; fails after a whole round without it.
inline void tabTo(const QQuickItem *item)
{
    QVERIFY(item);
    for (int i = 0; i < 30 && !item->hasActiveFocus(); ++i)
        press(Qt::Key_Tab);
    QVERIFY2(item->hasActiveFocus(), qPrintable(item->objectName()));
}

// Opens the account menu of the main screen (its root item) and chooses the item, with keys alone.
inline void chooseByKeys(const QQuickItem &screen, const QString &item)
{
    tabTo(screen.findChild<QQuickItem *>(QStringLiteral("accountMenuButton")));
    press(Qt::Key_Space);
    QQuickItem *menuItem = screen.findChild<QQuickItem *>(item);
    QVERIFY(menuItem);
    QTRY_VERIFY(menuItem->isVisible());
    for (int i = 0; i < 6 && !menuItem->hasActiveFocus(); ++i)
        press(Qt::Key_Down);
    QVERIFY(menuItem->hasActiveFocus());
    press(Qt::Key_Return);
}
inline void chooseByKeys(QQuickView &view, const QString &item)
{
    QVERIFY(view.rootObject());
    chooseByKeys(*view.rootObject(), item);
}

// Written where VELMORA_SCREENSHOTS points, for a person to look at; never compared.
inline void screenshot(QQuickWindow &window, const QString &name)
{
    const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOTS");
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    window.grabWindow().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

// Waits until the window has the size of its content, as far as the screen allows, and keeps it
// over two frames: a sheet sized by its content grows as its items are made and laid out. False
// when it does not settle.
inline bool settledToContent(QQuickWindow *window, const QQuickItem *content)
{
    QDeadlineTimer deadline(60000);
    int steady = 0;
    QSize last;
    while (steady < 2 && !deadline.hasExpired()) {
        QSignalSpy frames(window, &QQuickWindow::frameSwapped);
        window->update();
        if (!frames.wait(1000))
            continue;
        const QSize room = window->screen()->availableSize().shrunkBy(window->frameMargins());
        const QSize wanted =
            QSizeF(content->implicitWidth(), content->implicitHeight()).toSize().boundedTo(room);
        steady = window->size() == wanted && wanted == last ? steady + 1 : 0;
        last = wanted;
    }
    return steady == 2;
}

// Offers no maximise button, and a request to maximise it, from whatever source, is undone.
inline void verifyNeverMaximised(QWindow *window)
{
    QVERIFY(window && window->isVisible());
    QVERIFY(!window->flags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(window->flags().testFlag(Qt::CustomizeWindowHint));
    QVERIFY(window->flags().testFlag(Qt::WindowCloseButtonHint));
    const QSize before = window->size();
    window->showMaximized();
    QTRY_COMPARE(window->windowStates(), Qt::WindowNoState);
    QTRY_COMPARE(window->size(), before);
}

} // namespace Screen
