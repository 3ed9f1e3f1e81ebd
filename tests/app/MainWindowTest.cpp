#include "AppWindow.h"

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

    // The application menu offers About and Quit, and nothing that opens another window.
    void applicationMenu()
    {
        QObject *menu = m_app.object(QStringLiteral("applicationMenu"));
        QVERIFY(menu);
        QCOMPARE(menu->property("title").toString(), QStringLiteral("Velmora"));
        QStringList items;
        for (int i = 0; i < menu->property("count").toInt(); ++i) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i));
            QVERIFY(item);
            items.append(item->property("text").toString());
        }
        QCOMPARE(items, (QStringList{QStringLiteral("About Velmora"), QString(), QStringLiteral("Quit")}));
    }

    void aboutShowsNameAndVersion()
    {
        m_app.click(menuBarItem());
        QTRY_VERIFY(m_app.object(QStringLiteral("applicationMenu"))->property("opened").toBool());
        m_app.click(menuItem(QStringLiteral("About Velmora")));
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

private:
    [[nodiscard]] QQuickItem *menuBarItem() const
    {
        const QQuickItem *bar = m_app.find(QStringLiteral("menuBar"));
        QQuickItem *item = nullptr;
        QMetaObject::invokeMethod(const_cast<QQuickItem *>(bar), "itemAt", Q_RETURN_ARG(QQuickItem *, item),
                                  Q_ARG(int, 0));
        return item;
    }
    [[nodiscard]] QQuickItem *menuItem(const QString &text) const
    {
        QObject *menu = m_app.object(QStringLiteral("applicationMenu"));
        for (int i = 0; i < menu->property("count").toInt(); ++i) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i));
            if (item && item->property("text").toString() == text)
                return item;
        }
        return nullptr;
    }

    StandInService m_service;
    AppWindow m_app;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
