#include "AppWindow.h"
#include "ScreenWorld.h"

#include "AppDelegate.h"
#include "AppIcon.h"
#include "Assets.h"
#include "Configuration.h"
#include "StandInService.h"
#include "TestHelpers.h"

#include <QGuiApplication>
#include <QIcon>
#include <QtTest>

// The one window: its opening size, its buttons and its application menu.
class MainWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QGuiApplication::setApplicationVersion(Configuration::appVersion());
        QVERIFY(TestHelpers::startForClient(m_service));
        QVERIFY(m_app.open());
    }

    void opensAt800By500WithoutMaximiseButton()
    {
        QTRY_COMPARE(m_app.window()->frameGeometry().size(), QSize(800, 500));
        const Qt::WindowFlags flags = m_app.window()->flags();
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(m_app.window()->title(), QStringLiteral("Velmora"));
    }

    // The application menu offers About, the update check, Settings and Quit, and nothing that opens
    // another main window.
    void applicationMenu()
    {
        QObject *menu = m_app.object(QStringLiteral("applicationMenu"));
        QVERIFY(menu);
        QCOMPARE(menu->property("title").toString(), QStringLiteral("&Velmora"));
        QStringList items;
        for (const QQuickItem *item : m_app.applicationMenuItems()) {
            QVERIFY(item);
            items.append(item->property("text").toString());
        }
        QCOMPARE(items,
                 (QStringList{QStringLiteral("&About Velmora"), QStringLiteral("Check for &Updates…"),
                              QString(), QStringLiteral("&Settings…"), QString(), QStringLiteral("&Quit")}));
        // The items with a key say which, after their text.
        QStringList shortcuts;
        for (const QQuickItem *item : m_app.applicationMenuItems()) {
            const auto *shown = item->findChild<QQuickItem *>(QStringLiteral("shortcutText"));
            shortcuts.append(shown ? shown->property("text").toString() : QString());
        }
        QCOMPARE(shortcuts,
                 (QStringList{QString(), QString(), QString(), QStringLiteral("Ctrl+,"), QString(),
                              QStringLiteral("Ctrl+Q")}));
    }

    void aboutShowsNameAndVersion()
    {
        m_app.chooseFromApplicationMenu(QStringLiteral("About Velmora"));
        QObject *about = m_app.object(QStringLiteral("aboutDialog"));
        QTRY_VERIFY(about->property("opened").toBool());
        QCOMPARE(about->property("title").toString(), QStringLiteral("About Velmora"));
        QCOMPARE(m_app.object(QStringLiteral("aboutName"))->property("text").toString(),
                 QStringLiteral("Velmora"));
        QCOMPARE(m_app.object(QStringLiteral("aboutVersion"))->property("text").toString(),
                 QStringLiteral("Version ") + Configuration::appVersion());
        QCOMPARE(QGuiApplication::topLevelWindows().size(), 1);
        m_app.screenshot(QStringLiteral("about"));
        QMetaObject::invokeMethod(about, "close");
        QTRY_VERIFY(!about->property("visible").toBool());
    }

    void controlQQuits()
    {
        QSignalSpy quit(&m_app.engine(), &QQmlEngine::quit);
        m_app.settle();
        m_app.key(Qt::Key_Q, Qt::ControlModifier);
        QTRY_COMPARE(quit.size(), 1);
    }

    // The connection's state images stand for the application in the taskbar; any other name
    // brings back the application's own icon.
    void windowIconFollowsTheStateImages()
    {
        AppDelegate::willFinishLaunching();
        const auto imageOf = [](const QString &name) {
            return QIcon(QLatin1Char(':') + Assets::image(name).path()).pixmap(32).toImage();
        };
        const auto shown = [] { return QGuiApplication::windowIcon().pixmap(32).toImage(); };
        QVERIFY(!imageOf(QStringLiteral("iconConnected")).isNull());
        QVERIFY(imageOf(QStringLiteral("iconConnected")) != imageOf(QStringLiteral("AppIconMacOS")));

        AppIcon::set(QStringLiteral("iconConnected"));
        QTRY_COMPARE(shown(), imageOf(QStringLiteral("iconConnected")));
        AppIcon::set(QStringLiteral("../no such image"));
        QTRY_COMPARE(shown(), imageOf(QStringLiteral("AppIconMacOS")));
    }

    // Neither the main window nor the Settings window can be maximised.
    void noWindowMaximises()
    {
        Screen::verifyNeverMaximised(m_app.window());
        if (QTest::currentTestFailed())
            return;
        m_app.chooseFromApplicationMenu(QStringLiteral("Settings…"));
        auto *settings = qobject_cast<QWindow *>(
            m_app.engine().rootObjects().value(0)->findChild<QObject *>(QStringLiteral("settingsWindow")));
        QVERIFY(settings);
        QTRY_VERIFY(settings->isExposed());
        Screen::verifyNeverMaximised(settings);
    }

private:
    StandInService m_service;
    AppWindow m_app;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
