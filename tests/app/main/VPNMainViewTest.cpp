#include "Assets.h"
#include "Configuration.h"
#include "ConnectionStatusViewModel.h"
#include "Console.h"
#include "HostInfo.h"
#include "NotificationCenter.h"
#include "ScreenWorld.h"
#include "UserDefaults.h"
#include "VelmoraController.h"
#include "Workspace.h"
#include "WorldMap.h"

#include <QAccessible>
#include <QtTest>

using Screen::choose;
using Screen::click;
using Screen::find;

class VPNMainViewTest : public QObject
{
    Q_OBJECT

    ScreenWorld m_world;
    QObject m_observer;
    int m_logouts = 0;
    int m_loginViews = 0;

    std::unique_ptr<QQuickView> openLoaded() { return m_world.openMainScreen(); }
    static VelmoraController *controllerOf(QQuickView &view) { return ScreenWorld::controllerOf(view); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_world.start());
        NotificationCenter &center = NotificationCenter::defaultCenter();
        center.addObserver(QStringLiteral("logout"), &m_observer, [this](QObject *) { ++m_logouts; });
        center.addObserver(QStringLiteral("showLoginView"), &m_observer,
                           [this](QObject *) { ++m_loginViews; });
    }

    void init()
    {
        m_world.logIn();
        m_world.vm().setState(ContentViewModel::ProgramState::LoggedIn);
        // A region was chosen before: loading the regions does not choose one.
        Preferences::setConfigId(1);
        UserDefaults::standard().remove(QStringLiteral("CompactView"));
        m_logouts = 0;
        m_loginViews = 0;
    }

    void pleaseLogInWithoutTheLogin_data()
    {
        QTest::addColumn<QVariant>("token");
        QTest::addColumn<QVariant>("email");
        QTest::addColumn<bool>("prompt");
        QTest::newRow("no token") << QVariant() << QVariant(ScreenWorld::email) << true;
        QTest::newRow("no e-mail") << QVariant("t0k3n") << QVariant() << true;
        // Presence is what counts here, unlike at start-up.
        QTest::newRow("empty token") << QVariant("") << QVariant(ScreenWorld::email) << false;
    }

    void pleaseLogInWithoutTheLogin()
    {
        QFETCH(QVariant, token);
        QFETCH(QVariant, email);
        QFETCH(bool, prompt);
        const auto stored = [](const QVariant &value) {
            return value.isValid() ? std::optional(value.toString()) : std::nullopt;
        };
        Preferences::setToken(stored(token));
        Preferences::setEmail(stored(email));

        auto view = m_world.openScreen(QStringLiteral("main/VPNMainView.qml"));
        QVERIFY(view);
        QCOMPARE(find(*view, QStringLiteral("pleaseLogIn"))->isVisible(), prompt);
        QCOMPARE(find(*view, QStringLiteral("topBar")) == nullptr, prompt);
        if (!prompt)
            return;
        Screen::screenshot(*view, QStringLiteral("main-please-log-in"));
        // The controller answers "logout", which sends the window back to the login screen.
        QTRY_COMPARE(m_logouts, 1);
        QCOMPARE(m_loginViews, 1);
        QCOMPARE(m_world.vm().state(), ContentViewModel::ProgramState::NeedLogin);
        QVERIFY(!Preferences::email() && !Preferences::token());
    }

    void layouts_data()
    {
        QTest::addColumn<QVariant>("setting");
        QTest::addColumn<bool>("compact");
        QTest::addColumn<QSize>("size");
        QTest::newRow("setting absent") << QVariant() << true << QSize(300, 600);
        QTest::newRow("compact") << QVariant(true) << true << QSize(300, 600);
        QTest::newRow("full") << QVariant(false) << false << QSize(800, 600);
    }

    void layouts()
    {
        QFETCH(QVariant, setting);
        QFETCH(bool, compact);
        QFETCH(QSize, size);
        if (setting.isValid())
            Preferences::setCompactView(setting.toBool());

        auto view = openLoaded();
        QVERIFY(view);
        const QPoint lowerLeft = QRect(100, 100, 800, 500).marginsAdded(view->frameMargins()).bottomLeft();
        QTRY_COMPARE(view->frameGeometry().size(), size);
        QCOMPARE(view->frameGeometry().bottomLeft(), lowerLeft);
        QQuickItem *plan = find(*view, QStringLiteral("planText"));
        QQuickItem *map = find(*view, QStringLiteral("mapColumn"));
        QCOMPARE(plan->isVisible(), !compact);
        QCOMPARE(map->isVisible(), !compact);
        // Laid out for the window's size, which may have come after the layout's last pass.
        QTRY_COMPARE(find(*view, QStringLiteral("leftColumn"))->width(),
                     qMin(300.0, view->rootObject()->width()));
        // The map fills the column beside the list in the full layout, a marker for every region.
        const auto *worldMap = find<WorldMap>(*view, QStringLiteral("regionMap"));
        QCOMPARE(worldMap != nullptr, !compact);
        if (worldMap) {
            QTRY_COMPARE(worldMap->width(), view->rootObject()->width() - 300);
            QCOMPARE(worldMap->markers().size(), controllerOf(*view)->regions().size());
        }
        if (!compact)
            QCOMPARE(plan->property("text").toString(), QStringLiteral("Current Plan: Trial"));
        if (QTest::currentDataTag() != QLatin1String("compact"))
            Screen::screenshot(*view, compact ? QStringLiteral("main-compact") : QStringLiteral("main-full"));

        // The layout follows the setting at once; the window keeps its size until shown anew.
        Preferences::setCompactView(!compact);
        QCOMPARE(plan->isVisible(), compact);
        QCOMPARE(map->isVisible(), compact);
        QTest::qWait(50);
        QCOMPARE(view->frameGeometry().size(), size);
    }

    void statusTable_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QVariant>("country");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("image");
        QTest::addColumn<bool>("spinner");
        // What a screen reader calls the connect button: what pressing it does now.
        QTest::addColumn<QString>("action");
        const QVariant optimal("Optimal region\nGermany");
        QTest::newRow("invalid") << 0 << optimal << "VPN Not Connected"
                                 << "notConnectedButton" << false << "Connect";
        QTest::newRow("disconnected") << 1 << optimal << "Not Connected"
                                      << "notConnectedButton" << false << "Connect";
        QTest::newRow("connecting") << 2 << optimal << "Connecting..."
                                    << "connectingButton" << true << "Disconnect";
        QTest::newRow("connected") << 3 << optimal << "Connected to Optimal region\nGermany"
                                   << "connectedButton" << false << "Disconnect";
        QTest::newRow("connected, no country stored") << 3 << QVariant() << "Connected to VPN"
                                                      << "connectedButton" << false << "Disconnect";
        QTest::newRow("reasserting") << 4 << optimal << "Reconnecting..."
                                     << "connectingButton" << true << "Disconnect";
        QTest::newRow("disconnecting") << 5 << optimal << "Disconnecting..."
                                       << "connectingButton" << true << "Disconnecting...";
        QTest::newRow("unknown") << 6 << optimal << "Error. Reconnecting..."
                                 << "connectingButton" << true << "Error. Reconnecting...";
        QTest::newRow("negative") << -1 << optimal << "Error. Reconnecting..."
                                  << "connectingButton" << true << "Error. Reconnecting...";
    }

    void statusTable()
    {
        QFETCH(int, status);
        QFETCH(QVariant, country);
        QFETCH(QString, text);
        QFETCH(QString, image);
        QFETCH(bool, spinner);
        QFETCH(QString, action);
        if (country.isValid())
            Preferences::setCountryConnected(country.toString());
        else
            UserDefaults::standard().remove(QStringLiteral("CountryConnected"));

        auto view = openLoaded();
        QVERIFY(view);
        controllerOf(*view)->setConnectionStatus(VpnStatus(status));
        QCOMPARE(find(*view, QStringLiteral("statusText"))->property("text").toString(), text);
        QCOMPARE(QAccessible::queryAccessibleInterface(find(*view, QStringLiteral("connectButton")))
                     ->text(QAccessible::Name),
                 action);
        // The status is announced as it changes.
        QCOMPARE(find(*view, QStringLiteral("statusAnnouncement"))->property("text").toString(), text);
        QCOMPARE(view->rootObject()
                     ->findChild<ConnectionStatusViewModel *>(QStringLiteral("statusBlock"))
                     ->imageName(),
                 image);
        QCOMPARE(find(*view, QStringLiteral("connectImage"))->property("source").toUrl(),
                 Assets::image(image));
        QQuickItem *busy = find(*view, QStringLiteral("connectSpinner"));
        QCOMPARE(busy != nullptr, spinner);
        if (busy)
            QVERIFY(busy->isVisible() && busy->property("running").toBool());
        if (status == 2)
            Screen::screenshot(*view, QStringLiteral("main-connecting"));
    }

    void connectButtonCallsTheController()
    {
        auto view = openLoaded();
        QVERIFY(view);
        controllerOf(*view)->setConnectionStatus(VpnStatus::Disconnected);
        Console::Capture console;
        click(find(*view, QStringLiteral("connectButton")));
        // No NetworkManager on this bus: the connection attempt ends at loading the profile.
        QTRY_COMPARE(console.lines().filter(QStringLiteral("Error loading VPN preferences")).size(), 1);
    }

    void accountMenuHasFiveItems()
    {
        auto view = openLoaded();
        QVERIFY(view);
        QCOMPARE(find(*view, QStringLiteral("accountName"))->property("text").toString(),
                 QString::fromLatin1(ScreenWorld::email));
        click(find(*view, QStringLiteral("accountMenuButton")));
        QObject *menu = view->rootObject()->findChild<QObject *>(QStringLiteral("accountMenu"));
        QTRY_VERIFY(menu->property("opened").toBool());
        QStringList texts;
        for (int i = 0; i < menu->property("count").toInt(); ++i) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(menu, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, i));
            texts.append(item->property("text").toString());
        }
        QCOMPARE(texts, QStringList({"Redeem Code", "Settings", "Pricing", "Customer support", "Log out"}));
        Screen::screenshot(*view, QStringLiteral("main-account-menu"));
    }

    void sheetItemsToggleTheirFlags_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("flag");
        QTest::newRow("redeem") << "redeemItem" << QByteArray("showRedeem");
        QTest::newRow("settings") << "settingsItem" << QByteArray("showSettings");
        QTest::newRow("pricing") << "pricingItem" << QByteArray("showPricing");
    }

    void sheetItemsToggleTheirFlags()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, flag);
        auto view = openLoaded();
        QVERIFY(view);
        VelmoraController *ctrl = controllerOf(*view);
        ctrl->setCode(QStringLiteral("LEFT-FROM-BEFORE"));
        choose(*view, item);
        QVERIFY(ctrl->property(flag).toBool());
        // Only the redeem item starts the sheet with an empty code.
        QCOMPARE(ctrl->code().isEmpty(), item == QLatin1String("redeemItem"));
        // The sheet now keeps the menu from input until it closes.
        ctrl->setProperty(flag, false);
    }

    void supportItemOpensTheMail()
    {
        QList<QByteArray> opened;
        Workspace::setHandler([&opened](const QUrl &url) { opened.append(url.toEncoded()); });
        auto view = openLoaded();
        QVERIFY(view);
        choose(*view, QStringLiteral("supportItem"));
        Workspace::setHandler(nullptr);
        const QByteArray expected = "mailto:" + Configuration::supportEmail().toUtf8()
            + "?subject=Velmora%20Support%20ticket&body=%0A%0APlatform:%20Linux%20"
            + HostInfo::systemVersion().toUtf8() + "%0AApp%20version:%20"
            + Configuration::appVersion().toUtf8() + "%0ADevice%20language%20ISO:%20"
            + HostInfo::preferredLanguage().toUtf8() + "%0AUsername:%20ada%40example.com";
        QCOMPARE(opened, QList<QByteArray>{expected});
    }

    void logOutReturnsToTheLoginScreenOnce()
    {
        auto view = openLoaded();
        QVERIFY(view);
        QSignalSpy states(&m_world.vm(), &ContentViewModel::stateChanged);
        choose(*view, QStringLiteral("logOutItem"));
        QCOMPARE(m_logouts, 1);
        QCOMPARE(m_loginViews, 1);
        QCOMPARE(m_world.vm().state(), ContentViewModel::ProgramState::NeedLogin);
        QVERIFY(!Preferences::email() && !Preferences::token());
        QTest::qWait(100);
        QCOMPARE(m_logouts, 1);
        QCOMPARE(states.size(), 2); // the controller's "showLoginView", then the item itself
    }

    void redemptionAlert()
    {
        auto view = openLoaded();
        QVERIFY(view);
        VelmoraController *ctrl = controllerOf(*view);
        ctrl->setRedeemAlertMessage(QStringLiteral("This code has already been used."));
        ctrl->setShowAlert(true);
        QObject *alert = view->rootObject()->findChild<QObject *>(QStringLiteral("redeemAlert"));
        QTRY_VERIFY(alert->property("opened").toBool());
        QCOMPARE(find(*view, QStringLiteral("redeemAlertTitle"))->property("text").toString(),
                 ctrl->redeemAlertMessage());
        Screen::screenshot(*view, QStringLiteral("main-redeem-alert"));
        QQuickItem *ok = Screen::dialogButton(alert, QStringLiteral("OK"));
        QVERIFY(ok);
        click(ok);
        QTRY_VERIFY(!ctrl->showAlert());
    }
};

QTEST_MAIN(VPNMainViewTest)
#include "VPNMainViewTest.moc"
