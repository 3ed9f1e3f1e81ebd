#include "AppWindow.h"

#include "StandInService.h"
#include "TestHelpers.h"
#include "Updater.h"

#include <QGuiApplication>
#include <QtTest>

// The Settings window from the application menu: one window, its two switches seeded once from the
// updater and written through to it.
class UpdaterSettingsViewTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        // Automatic checks find nothing to tell.
        m_service.setRelease({QStringLiteral("0.1"), QStringLiteral("0.1"), "old"});
        // What the switches start from.
        m_app.updater().setAutomaticallyChecksForUpdates(false);
        m_app.updater().setAutomaticallyDownloadsUpdates(true);
        QVERIFY(m_app.open());
    }

    void opensOneWindowWithoutMaximiseButton()
    {
        m_app.chooseFromApplicationMenu(QStringLiteral("Settings…"));
        QVERIFY(settingsWindow());
        QVERIFY(QTest::qWaitForWindowExposed(settingsWindow()));
        QCOMPARE(settingsWindow()->title(), QStringLiteral("Velmora Settings"));
        const Qt::WindowFlags flags = settingsWindow()->flags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(settingsWindow()->minimumSize(), settingsWindow()->maximumSize());
        QCOMPARE(settingsWindow()->transientParent(), nullptr);

        // Asked for again, from the menu or by its shortcut, the same window comes to the front.
        m_app.window()->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_app.window()));
        m_app.key(Qt::Key_Comma, Qt::ControlModifier);
        QTRY_COMPARE(QGuiApplication::focusWindow(), settingsWindow());
        m_app.chooseFromApplicationMenu(QStringLiteral("Settings…"));
        QCOMPARE(QGuiApplication::topLevelWindows().size(), 2);
        m_app.settle(settingsWindow());
        m_app.screenshot(QStringLiteral("settings"), settingsWindow());
    }

    void downloadsSwitchOnlyWhileChecking()
    {
        QVERIFY(checks() && downloads());
        QVERIFY(!checks()->property("checked").toBool());
        QVERIFY(downloads()->property("checked").toBool());
        QVERIFY(!downloads()->isEnabled());
        m_app.click(downloads());
        QVERIFY(downloads()->property("checked").toBool());
        QVERIFY(m_app.updater().automaticallyDownloadsUpdates());

        m_app.click(checks());
        QVERIFY(m_app.updater().automaticallyChecksForUpdates());
        QVERIFY(downloads()->isEnabled());
        m_app.click(downloads());
        QVERIFY(!downloads()->property("checked").toBool());
        QVERIFY(!m_app.updater().automaticallyDownloadsUpdates());
        m_app.click(downloads());
        QVERIFY(m_app.updater().automaticallyDownloadsUpdates());

        // Checks off: downloads keep their value and cannot be changed.
        m_app.click(checks());
        QVERIFY(!m_app.updater().automaticallyChecksForUpdates());
        QVERIFY(m_app.updater().automaticallyDownloadsUpdates());
        QVERIFY(downloads()->property("checked").toBool());
        QVERIFY(!downloads()->isEnabled());
    }

    void writesArePersisted()
    {
        m_app.click(checks());
        const Updater restarted;
        QVERIFY(restarted.automaticallyChecksForUpdates());
        QVERIFY(restarted.automaticallyDownloadsUpdates());
    }

    // Seeded once: a change made elsewhere shows neither now nor when the window opens again.
    void neverRefreshedFromTheUpdater()
    {
        m_app.updater().setAutomaticallyChecksForUpdates(false);
        QVERIFY(checks()->property("checked").toBool());
        settingsWindow()->close();
        QTRY_VERIFY(!settingsWindow()->isVisible());
        m_app.chooseFromApplicationMenu(QStringLiteral("Settings…"));
        QTRY_VERIFY(settingsWindow()->isVisible());
        QVERIFY(checks()->property("checked").toBool());
    }

    void quitsFromTheSettingsWindowToo()
    {
        QSignalSpy quit(&m_app.engine(), &QQmlEngine::quit);
        settingsWindow()->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(settingsWindow()));
        QTest::keyClick(settingsWindow(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_COMPARE(quit.size(), 1);
    }

private:
    [[nodiscard]] static QQuickWindow *settingsWindow()
    {
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (window->objectName() == QLatin1String("settingsWindow"))
                return qobject_cast<QQuickWindow *>(window);
        }
        return nullptr;
    }
    [[nodiscard]] static QQuickItem *item(const QString &name)
    {
        QQuickWindow *window = settingsWindow();
        return window ? window->findChild<QQuickItem *>(name) : nullptr;
    }
    [[nodiscard]] static QQuickItem *checks() { return item(QStringLiteral("automaticChecksSwitch")); }
    [[nodiscard]] static QQuickItem *downloads() { return item(QStringLiteral("automaticDownloadsSwitch")); }

    StandInService m_service;
    AppWindow m_app;
};

QTEST_MAIN(UpdaterSettingsViewTest)
#include "UpdaterSettingsViewTest.moc"
