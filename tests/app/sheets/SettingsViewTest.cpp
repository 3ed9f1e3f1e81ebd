#include "AppWindow.h"
#include "LoginItem.h"
#include "ScreenWorld.h"
#include "SystemVpnManager.h"
#include "UserDefaults.h"

#include <QFile>
#include <QGuiApplication>
#include <QtTest>

namespace peers = NetworkManagerPeers;

using Screen::choose;
using Screen::click;

// The settings sheet as the user works it: switches that outlive the application, the compact
// layout with its window size, launch at login, and the removal of the VPN profile.
class SettingsViewTest : public QObject
{
    Q_OBJECT

    ScreenWorld m_world;

    static QQuickWindow *sheet()
    {
        for (QWindow *window : QGuiApplication::allWindows()) {
            if (window->objectName() == QLatin1String("settingsSheet"))
                return qobject_cast<QQuickWindow *>(window);
        }
        return nullptr;
    }
    static QQuickItem *find(const QString &name) { return Screen::find(sheet(), name); }
    static bool isOn(const QString &name) { return find(name)->property("checked").toBool(); }
    // The item, scrolled into the sheet's view first as the user would.
    static QQuickItem *reveal(const QString &name)
    {
        QQuickItem *item = find(name);
        auto *flickable =
            find(QStringLiteral("settingsScroll"))->property("contentItem").value<QQuickItem *>();
        const QRectF area = item->mapRectToItem(flickable->property("contentItem").value<QQuickItem *>(),
                                                QRectF(0, 0, item->width(), item->height()));
        const qreal top = flickable->property("contentY").toReal();
        if (area.top() < top || area.bottom() > top + flickable->height())
            flickable->setProperty("contentY", area.bottom() - flickable->height());
        return item;
    }

    // Opens the sheet over a main screen on the world's services or on others.
    std::unique_ptr<QQuickView> openSheet(Services *services = nullptr)
    {
        auto view = m_world.openMainScreen(services);
        if (!view)
            return nullptr;
        choose(*view, QStringLiteral("settingsItem"));
        return QTest::qWaitForWindowExposed(sheet()) ? std::move(view) : nullptr;
    }

    static void removeProfileAndExpect(const QString &title, const QString &message)
    {
        click(reveal(QStringLiteral("removeProfileButton")));
        QObject *alert =
            find(QStringLiteral("settingsView"))->findChild<QObject *>(QStringLiteral("settingsAlert"));
        QVERIFY(alert);
        const auto text = [alert] {
            return alert->findChild<QQuickItem *>(QStringLiteral("settingsAlertMessage"))
                ->property("text")
                .toString();
        };
        QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 10000);
        QCOMPARE(alert->property("title").toString(), title);
        QVERIFY2(text().startsWith(message), qPrintable(text()));
        if (title == QLatin1String("Error"))
            Screen::screenshot(*sheet(), QStringLiteral("sheet-settings-remove-error"));
        QQuickItem *ok = Screen::dialogButton(alert, QStringLiteral("OK"));
        QVERIFY(ok);
        click(ok);
        QTRY_VERIFY(!alert->property("visible").toBool());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_world.start()); }

    void init()
    {
        m_world.logIn();
        m_world.vm().setState(ContentViewModel::ProgramState::LoggedIn);
        Preferences::setConfigId(1);
        for (const char *key : {"CompactView", "KillSwitch", "ExcludeLocalNetworks"})
            UserDefaults::standard().remove(QString::fromLatin1(key));
        LoginItem::setEnabled(false);
    }

    // Every switch as the user left it, after the application was made anew; the settings file and
    // the autostart entry say so too.
    void switchesOutliveTheApplication()
    {
        const QStringList switches{"compactViewSwitch", "killSwitch", "excludeLocalNetworkSwitch",
                                   "launchAtLoginCheck"};
        const auto openSettings = [](AppWindow &app) {
            QVERIFY(app.open());
            app.click(QStringLiteral("accountMenuButton"));
            QTRY_VERIFY(app.shows(QStringLiteral("settingsItem")));
            app.click(QStringLiteral("settingsItem"));
            QVERIFY(QTest::qWaitForWindowExposed(sheet()));
            QCOMPARE(sheet()->transientParent(), app.window());
        };
        {
            AppWindow app;
            openSettings(app);
            if (QTest::currentTestFailed())
                return;
            for (const QString &name : switches)
                QCOMPARE(isOn(name), name != QLatin1String("launchAtLoginCheck"));
            // The scroll bar shows before any scrolling, not only while it scrolls.
            const QQuickItem *bar = nullptr;
            for (const QQuickItem *child : find(QStringLiteral("settingsScroll"))->childItems()) {
                if (QByteArray(child->metaObject()->className()).contains("ScrollBar")
                    && child->property("orientation").toInt() == Qt::Vertical)
                    bar = child;
            }
            QVERIFY(bar && bar->isVisible());
            QTRY_VERIFY(bar->property("contentItem").value<QQuickItem *>()->opacity() > 0.5);
            Screen::screenshot(*sheet(), QStringLiteral("sheet-settings"));
            for (const QString &name : switches)
                click(reveal(name));
            for (const QString &name : switches)
                QCOMPARE(isOn(name), name == QLatin1String("launchAtLoginCheck"));
        }
        QFile file(QSettings(QSettings::UserScope, "Velmora", "Velmora").fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        for (const char *line : {"CompactView=false", "KillSwitch=false", "ExcludeLocalNetworks=false"})
            QVERIFY2(stored.contains(line), stored.constData());
        QVERIFY(QFile::exists(LoginItem::entryPath()));

        AppWindow app;
        openSettings(app);
        if (QTest::currentTestFailed())
            return;
        for (const QString &name : switches)
            QCOMPARE(isOn(name), name == QLatin1String("launchAtLoginCheck"));
        // The full layout, with its window size, came back with the application.
        QTRY_COMPARE(app.window()->frameGeometry().size(), QSize(800, 600));
    }

    void compactViewResizesTheMainWindow()
    {
        Preferences::setCompactView(false);
        auto view = openSheet();
        QVERIFY(view);
        QTRY_COMPARE(view->frameGeometry().size(), QSize(800, 600));
        const QPoint lowerLeft = view->frameGeometry().bottomLeft();
        QQuickItem *plan = Screen::find(*view, QStringLiteral("planText"));
        QVERIFY(plan->isVisible());

        click(find(QStringLiteral("compactViewSwitch")));
        // The layout at once, the window a little later.
        QVERIFY(Preferences::compactView());
        QVERIFY(!plan->isVisible());
        QCOMPARE(view->frameGeometry().size(), QSize(800, 600));
        QTRY_COMPARE(view->frameGeometry().size(), QSize(300, 600));
        QCOMPARE(view->frameGeometry().bottomLeft(), lowerLeft);
        QVERIFY(sheet()->isVisible());

        click(find(QStringLiteral("compactViewSwitch")));
        QVERIFY(plan->isVisible());
        QTRY_COMPARE(view->frameGeometry().size(), QSize(800, 600));
        QCOMPARE(view->frameGeometry().bottomLeft(), lowerLeft);
        // The top bar is laid out anew for the width: the menu back at the right edge, the plan text
        // beside it.
        QQuickItem *account = Screen::find(*view, QStringLiteral("accountMenuButton"));
        QTRY_COMPARE(account->mapToScene(QPointF(account->width(), 0)).x(), view->width() - 20.0);
        QTRY_VERIFY(plan->width() > 300);

        // The switch stays as the sheet found it when the setting changes elsewhere.
        Preferences::setCompactView(true);
        QVERIFY(!isOn(QStringLiteral("compactViewSwitch")));
    }

    void launchAtLoginFollowsTheAutostartEntry()
    {
        auto view = openSheet();
        QVERIFY(view);
        click(reveal(QStringLiteral("launchAtLoginCheck")));
        QFile entry(LoginItem::entryPath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains(
            "\nExec=" + LoginItem::execValue(QCoreApplication::applicationFilePath()).toUtf8() + '\n'));
        click(reveal(QStringLiteral("launchAtLoginCheck")));
        QVERIFY(!QFile::exists(LoginItem::entryPath()));
        click(find(QStringLiteral("settingsClose")));

        // Written by someone else: the sheet reads it when it is made.
        QFile outside(LoginItem::entryPath());
        QVERIFY(outside.open(QIODevice::WriteOnly));
        outside.write("[Desktop Entry]\nType=Application\nExec=velmora\n");
        outside.close();
        choose(*view, QStringLiteral("settingsItem"));
        QVERIFY(QTest::qWaitForWindowExposed(sheet()));
        QVERIFY(isOn(QStringLiteral("launchAtLoginCheck")));
        click(reveal(QStringLiteral("launchAtLoginCheck")));
        QVERIFY(!QFile::exists(LoginItem::entryPath()));
    }

    // No NetworkManager on the world's bus: the removal's error in the alert.
    void removeProfileWithoutNetworkManager()
    {
        auto view = openSheet();
        QVERIFY(view);
        removeProfileAndExpect(
            QStringLiteral("Error"),
            QStringLiteral("Error removing VPN profile: The name org.freedesktop.NetworkManager"));
    }

    void removeProfileWithNetworkManager_data()
    {
        QTest::addColumn<bool>("profile");
        QTest::addColumn<bool>("refused");
        QTest::newRow("profile present") << true << false;
        QTest::newRow("no profile") << false << false;
        QTest::newRow("refused") << true << true;
    }

    void removeProfileWithNetworkManager()
    {
        QFETCH(bool, profile);
        QFETCH(bool, refused);
        peers::MockNetworkManager networkManager;
        VPNHelper helper(networkManager.bus());
        Services services(Client::shared(), helper);
        if (profile) {
            IKEv2Settings protocol;
            protocol.useExtendedAuthentication = true;
            protocol.serverAddress = protocol.remoteIdentifier = QStringLiteral("10.99.0.1");
            protocol.username = QStringLiteral("alice");
            helper.manager().setProtocolConfiguration(protocol);
            helper.manager().setEnabled(true);
            const peers::Outcome saved =
                peers::await([&](auto done) { helper.manager().saveToPreferences(done); });
            QVERIFY2(saved.done && !saved.error,
                     qPrintable(saved.error ? saved.error->localizedDescription() : "no answer"));
            QCOMPARE(peers::velmoraProfiles(networkManager.bus()).size(), 1);
        }
        if (refused)
            networkManager.mock(QStringLiteral("Refuse"),
                                {QStringLiteral("Delete"),
                                 QStringLiteral("org.freedesktop.NetworkManager.Failed"),
                                 QStringLiteral("Not allowed for the test")});
        auto view = openSheet(&services);
        QVERIFY(view);
        if (refused) {
            removeProfileAndExpect(QStringLiteral("Error"),
                                   QStringLiteral("Error removing VPN profile: Not allowed for the test"));
            QCOMPARE(peers::velmoraProfiles(networkManager.bus()).size(), 1);
        }
        removeProfileAndExpect(
            QStringLiteral("Profile Removed"),
            QStringLiteral("The VPN profile has been successfully removed from your device."));
        QVERIFY(peers::velmoraProfiles(networkManager.bus()).isEmpty());
    }

    // With keys alone, twice over: the removal's alert takes the keys when it opens, Return closes
    // it, and the keys are the sheet's again, so that Escape then closes the sheet.
    void removalAlertByKeysAlone()
    {
        peers::MockNetworkManager networkManager;
        VPNHelper helper(networkManager.bus());
        Services services(Client::shared(), helper);
        auto view = m_world.openMainScreen(&services);
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        Screen::chooseByKeys(*view, QStringLiteral("settingsItem"));
        QTRY_VERIFY(sheet() && sheet()->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(sheet()));
        QObject *alert =
            find(QStringLiteral("settingsView"))->findChild<QObject *>(QStringLiteral("settingsAlert"));
        QVERIFY(alert);
        for (int round = 0; round < 2; ++round) {
            Screen::tabTo(find(QStringLiteral("removeProfileButton")));
            Screen::press(Qt::Key_Space);
            QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 10000);
            QCOMPARE(alert->property("title").toString(), QStringLiteral("Profile Removed"));
            QTRY_VERIFY(alert->property("activeFocus").toBool());
            Screen::press(Qt::Key_Return);
            QTRY_VERIFY(!alert->property("visible").toBool());
        }
        Screen::press(Qt::Key_Escape);
        QTRY_VERIFY(!sheet()->isVisible());
        QVERIFY(!ScreenWorld::controllerOf(*view)->showSettings());
    }
};

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
