#pragma once
// The application's window as it opens, for screen tests: on the client's service (point it at the
// stand-in first) and a VPN helper on a bus without NetworkManager; items found by objectName,
// clicked and typed into as a user does.

#include "../vpn/NetworkManagerPeers.h"

#include "AppDelegate.h"
#include "Client.h"
#include "ContentViewModel.h"
#include "Services.h"
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

    // Opens the window and waits until it is on screen and active.
    [[nodiscard]] bool open()
    {
        if (!AppDelegate::openWindow(m_engine, m_vm, m_services))
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

    // Waits for the next frame: layouts are settled then, and items are where they are drawn.
    void settle() const
    {
        QSignalSpy frames(m_window, &QQuickWindow::frameSwapped);
        m_window->update();
        QVERIFY(frames.wait(2000));
    }

    void click(QQuickItem *item) const
    {
        QVERIFY(item);
        settle();
        const QPoint centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(m_window, Qt::LeftButton, {}, centre);
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

    // Written under $VELMORA_SCREENSHOTS when that is set; looked at, not compared.
    void screenshot(const QString &name) const
    {
        const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOTS");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        QVERIFY(m_window->grabWindow().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
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
    QQmlApplicationEngine m_engine;
    QQuickWindow *m_window = nullptr;
};
