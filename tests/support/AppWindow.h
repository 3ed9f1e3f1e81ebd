#pragma once
// The application's window as it opens, for screen tests: on the client's service and update feed
// (point them at the stand-in first) and a VPN helper on a bus without NetworkManager; items found
// by objectName, clicked and typed into as a user does.

#include "NetworkManagerPeers.h"

#include "AppDelegate.h"
#include "Client.h"
#include "ContentViewModel.h"
#include "Services.h"
#include "Updater.h"
#include "VPNHelper.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

class AppWindow
{
public:
    // The root model reads the stored credentials now.
    AppWindow()
        : m_helper(m_bus.connect())
        , m_services(Client::shared(), m_helper)
    {
        // Quit is observed, not obeyed: the test program goes on.
        QObject::disconnect(&m_engine, &QQmlEngine::quit, nullptr, nullptr);
    }

    // Starts the updater, opens the window and waits until it is on screen and active.
    [[nodiscard]] bool open()
    {
        m_updater.start();
        if (!AppDelegate::openWindow(m_engine, m_vm, m_services, m_updater))
            return false;
        m_window = qobject_cast<QQuickWindow *>(m_engine.rootObjects().value(0));
        if (!m_window)
            return false;
        m_window->requestActivate();
        return QTest::qWaitForWindowActive(m_window);
    }

    [[nodiscard]] QQuickWindow *window() const { return m_window; }
    [[nodiscard]] ContentViewModel &vm() { return m_vm; }
    [[nodiscard]] QQmlApplicationEngine &engine() { return m_engine; }
    [[nodiscard]] Updater &updater() { return m_updater; }

    // The screen the root view shows now.
    [[nodiscard]] QQuickItem *screen() const
    {
        const auto *loader = find("screen");
        return loader ? loader->property("item").value<QQuickItem *>() : nullptr;
    }

    // The first object of that name, item or not; null when there is none.
    [[nodiscard]] QObject *object(const QString &name) const
    {
        if (QObject *found = m_window->findChild<QObject *>(name))
            return found;
        return findItem(m_window->contentItem(), name);
    }
    [[nodiscard]] QQuickItem *find(const QString &name) const
    {
        return qobject_cast<QQuickItem *>(object(name));
    }
    // Shown: the item and all its ancestors are visible.
    [[nodiscard]] bool shows(const QString &name) const
    {
        const QQuickItem *item = find(name);
        return item && item->isVisible();
    }

    // Waits for the next frame of the main window, or of another: layouts are settled then, and items
    // are where they are drawn.
    void settle(QQuickWindow *window = nullptr) const
    {
        window = window ? window : m_window;
        QSignalSpy frames(window, &QQuickWindow::frameSwapped);
        window->update();
        QVERIFY(frames.wait(10000));
    }

    // A click in the middle of the item, in whichever of the application's windows it is.
    void click(QQuickItem *item) const
    {
        QVERIFY(item && item->window());
        settle(item->window());
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(item->window(), Qt::LeftButton, {}, centre);
    }
    void click(const QString &name) const
    {
        settle();
        click(find(name));
    }
    // Clicks into the field and types text (Latin-1) at its end.
    void type(const QString &field, const QString &text) const
    {
        click(field);
        QTRY_VERIFY(find(field)->hasActiveFocus());
        for (const QChar character : text)
            QTest::keyClick(m_window, character.toLatin1());
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) const
    {
        QTest::keyClick(m_window, key, modifiers);
    }

    // The application menu's entry in the menu bar.
    [[nodiscard]] QQuickItem *applicationMenuTitle() const
    {
        QQuickItem *item = nullptr;
        QMetaObject::invokeMethod(find(QStringLiteral("menuBar")), "itemAt", Q_RETURN_ARG(QQuickItem *, item),
                                  Q_ARG(int, 0));
        return item;
    }
    // The application menu's items in order, separators included.
    [[nodiscard]] QList<QQuickItem *> applicationMenuItems() const
    {
        QObject *menu = object(QStringLiteral("applicationMenu"));
        QList<QQuickItem *> items;
        for (int i = 0; menu && i < menu->property("count").toInt(); ++i) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i));
            items.append(item);
        }
        return items;
    }
    // The application menu's item with that text, its mnemonic's marker aside; null when there is none.
    [[nodiscard]] QQuickItem *applicationMenuItem(const QString &text) const
    {
        for (QQuickItem *item : applicationMenuItems()) {
            if (item && item->property("text").toString().remove(QLatin1Char('&')) == text)
                return item;
        }
        return nullptr;
    }
    // Opens the application menu and chooses the item with that text, as the user does.
    void chooseFromApplicationMenu(const QString &text) const
    {
        QObject *menu = object(QStringLiteral("applicationMenu"));
        QVERIFY(menu);
        click(applicationMenuTitle());
        QTRY_VERIFY(menu->property("opened").toBool());
        click(applicationMenuItem(text));
        QTRY_VERIFY(!menu->property("visible").toBool());
    }

    // Written under $VELMORA_SCREENSHOTS when that is set; looked at, not compared. The main window
    // unless another is given.
    void screenshot(const QString &name, QQuickWindow *window = nullptr) const
    {
        const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QVERIFY((window ? window : m_window)
                    ->grabWindow()
                    .save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    }

private:
    static QQuickItem *findItem(QQuickItem *item, const QString &name)
    {
        if (!item)
            return nullptr;
        if (item->objectName() == name)
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = findItem(child, name))
                return found;
        }
        return nullptr;
    }

    NetworkManagerPeers::PrivateBus m_bus;
    VPNHelper m_helper;
    Services m_services;
    ContentViewModel m_vm;
    Updater m_updater;
    QQmlApplicationEngine m_engine;
    QQuickWindow *m_window = nullptr;
};
