#include "VelmoraController.h"
#include "AppIcon.h"
#include "Console.h"
#include "JSON.h"
#include "NetworkManagerPeers.h"
#include "NotificationCenter.h"
#include "Preferences.h"
#include "RegionCatalogue.h"
#include "StallWatch.h"
#include "StandInService.h"
#include "SystemVpnManager.h"
#include "TestHelpers.h"
#include "VPNHelper.h"
#include "VPNRegionList.h"
#include "VpnConnection.h"

#include <QtTest>

using Answer = StandInService::Answer;
using TestHelpers::closedConnection;
using TestHelpers::jsonAnswer;

class VelmoraControllerTest : public QObject
{
    Q_OBJECT

    [[nodiscard]] QStringList lines(const QString &prefix) const
    {
        return m_console.lines().filter(QRegularExpression("^" + prefix));
    }

    StandInService m_service;
    Console::Capture m_console;
    QObject m_observer;
    QStringList m_icons;
    int m_loginViews = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        m_service.addAccount("kai@example.com", "secret-7");
        AppIcon::setHandler([this](const QString &name) { m_icons.append(name); });
        NotificationCenter::defaultCenter().addObserver("showLoginView", &m_observer,
                                                        [this](QObject *) { ++m_loginViews; });
    }

    void init()
    {
        QTest::qWait(50); // answers still under way belong to the test before
        m_service.clearAnswers();
        m_service.clearRequests();
        Preferences::setToken(QString::fromLatin1(m_service.tokenOf("kai@example.com")));
        Preferences::setEmail(QStringLiteral("kai@example.com"));
        Preferences::setConfigId(0);
        m_console.clear();
        m_icons.clear();
        m_loginViews = 0;
    }

    void statusTable_data()
    {
        QTest::addColumn<VpnStatus>("status");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("icon");
        QTest::newRow("0") << VpnStatus::Invalid << "invalid"
                           << "iconInvalid";
        QTest::newRow("1") << VpnStatus::Disconnected << "disconnected"
                           << "AppIconMacOS";
        QTest::newRow("2") << VpnStatus::Connecting << "connecting"
                           << "iconConnecting";
        QTest::newRow("3") << VpnStatus::Connected << "connected"
                           << "iconConnected";
        QTest::newRow("4") << VpnStatus::Reasserting << "reasserting"
                           << "iconConnecting";
        QTest::newRow("5") << VpnStatus::Disconnecting << "disconnecting"
                           << "iconDisconnecting";
        QTest::newRow("other") << VpnStatus(6) << "unknown"
                               << "AppIconMacOS";
    }

    void statusTable()
    {
        QFETCH(VpnStatus, status);
        QFETCH(QString, line);
        QFETCH(QString, icon);
        QCOMPARE(VelmoraController::statusLine(status), "NEVPNConnection.status: " + line);
        QCOMPARE(VelmoraController::statusIcon(status), icon);
    }

    void loadsCatalogueAndChoosesTheFirstRegion()
    {
        VelmoraController controller;
        QCOMPARE(controller.currentRegion(), std::optional<qint64>(0));
        QCOMPARE(m_console.lines().value(0), "initializing VelmoraController");
        QSignalSpy publications(&controller, &VelmoraController::regionsChanged);
        std::optional<qint64> storedWhenChosen;
        bool chosenBeforeLastPublication = false;
        connect(&controller, &VelmoraController::currentRegionChanged,
                [&] { storedWhenChosen = Preferences::configId(); });
        connect(&controller, &VelmoraController::regionsChanged,
                [&] { chosenBeforeLastPublication |= !!storedWhenChosen; });
        controller.loadRegions();
        QTRY_VERIFY(storedWhenChosen);
        QCOMPARE(publications.size(), 4);
        QVERIFY(!chosenBeforeLastPublication);

        const VPNRegion optimal = controller.regions().first();
        QVERIFY(optimal.country_name.startsWith("Optimal region\n"));
        QCOMPARE(controller.currentRegion(), optimal.id);
        QCOMPARE(*storedWhenChosen, optimal.id);
        QCOMPARE(Preferences::countryConnected(), optimal.country_name);

        // A stored region that has left the list stays chosen, and choosing it again does nothing.
        Preferences::setConfigId(987654);
        controller.setCurrentRegion(987654);
        controller.loadRegions();
        QTRY_COMPARE(publications.size(), 8);
        QTest::qWait(50);
        QCOMPARE(controller.currentRegion(), std::optional<qint64>(987654));
        QCOMPARE(Preferences::countryConnected(), optimal.country_name);
        controller.didSelectRegion(987654);
        QCOMPARE(Preferences::countryConnected(), optimal.country_name);
        QVERIFY(m_service.requestsTo("config/ipsec/987654").isEmpty());
    }

    void defaultRegionWhenNoneIsCurrent_data()
    {
        QTest::addColumn<bool>("absent");
        QTest::newRow("absent") << true;
        QTest::newRow("zero") << false;
    }

    void defaultRegionWhenNoneIsCurrent()
    {
        QFETCH(bool, absent);
        Preferences::setConfigId(987654);
        VelmoraController controller;
        controller.setCurrentRegion(absent ? std::nullopt : std::optional<qint64>(0));
        controller.loadRegions();
        QTRY_VERIFY_WITH_TIMEOUT(Preferences::configId() != 987654, 20'000);
        const VPNRegion optimal = controller.regions().first();
        QCOMPARE(Preferences::configId(), optimal.id);
        QCOMPARE(controller.currentRegion(), optimal.id);
        QCOMPARE(Preferences::countryConnected(), optimal.country_name);
    }

    void failedRegionLoads_data()
    {
        QTest::addColumn<Answer>("reply");
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<int>("publications");
        const auto row = [](const char *name, const Answer &reply, const QStringList &printed,
                            int publications) { QTest::newRow(name) << reply << printed << publications; };
        row("no connection", closedConnection(), {"Error while getting regions: "}, 0);
        row("error object", jsonAnswer(422, R"({"message": "Bad"})"),
            {"Decoding error: expected an array of regions, found an object"}, 0);
        row("empty list", jsonAnswer(200, "[]"),
            {"No regions with is_nearest == true found.",
             "Regions array is empty, cannot set Preferences.configId and currentRegion"},
            2);
        row("forced logout", jsonAnswer(401, R"({"code": "E0112"})"), {}, 0);
    }

    void failedRegionLoads()
    {
        QFETCH(Answer, reply);
        QFETCH(QStringList, printed);
        QFETCH(int, publications);
        const bool loggedOut = QTest::currentDataTag() == QByteArray("forced logout");
        m_service.answerAlways("users/me/regions", reply);
        VelmoraController controller;
        const QList<VPNRegion> before{VPNRegion{}};
        controller.setRegions(before);
        QSignalSpy published(&controller, &VelmoraController::regionsChanged);
        m_console.clear();
        controller.loadRegions();
        QTRY_VERIFY(!m_service.requestsTo("users/me/regions").isEmpty());
        QTest::qWait(200);
        QCOMPARE(published.size(), publications);
        QCOMPARE(controller.regions() == before, publications == 0);
        const QStringList lines = this->lines("(Error while|Decoding|No regions|Regions array)");
        QCOMPARE(lines.size(), printed.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].startsWith(printed[i]), qPrintable(lines[i]));
        QCOMPARE(controller.currentRegion(), std::optional<qint64>(0));
        QCOMPARE(m_loginViews, int(loggedOut));
        QCOMPARE(Preferences::token().has_value(), !loggedOut);
    }

    void largeCatalogueLoadsKeepTheMainLoopTurningAndTheirOrder()
    {
        // 20,000 regions, about 7 MB: parsed and decoded on the main thread, they would hold it this long.
        const QByteArray large =
            QJsonDocument(RegionCatalogue::sample(20'000)).toJson(QJsonDocument::Compact);
        QElapsedTimer clock;
        clock.start();
        const std::optional<VPNRegionList::Arrangement> arranged =
            VPNRegionList::arrange(JSON::parse(large)->value());
        const double work = double(clock.nsecsElapsed()) / 1e6;
        QVERIFY(arranged);
        QJsonArray farAway = RegionCatalogue::sample(2);
        for (QJsonValueRef region : farAway) {
            QJsonObject object = region.toObject();
            object["is_nearest"] = false;
            region = object;
        }
        m_service.answerNext("users/me/regions", jsonAnswer(200, large));
        m_service.answerNext("users/me/regions", jsonAnswer(200, QJsonDocument(farAway).toJson()));

        VelmoraController controller;
        QList<qsizetype> sizes;
        QList<bool> noneNearestSaid;
        connect(&controller, &VelmoraController::regionsChanged, [&] {
            sizes.append(controller.regions().size());
            noneNearestSaid.append(!lines("No regions with is_nearest").isEmpty());
        });
        m_console.clear();
        StallWatch stalls;
        controller.loadRegions();
        // The second load is answered while the first is still being decoded, and published after it.
        QTRY_VERIFY_WITH_TIMEOUT(!lines("GET: ").isEmpty(), 30'000);
        controller.loadRegions();
        QTRY_COMPARE_WITH_TIMEOUT(sizes.size(), 8, 30'000);
        QTRY_COMPARE(controller.currentRegion(), std::optional(arranged->stages.last().first().id));
        QVERIFY2(stalls.longestMs() < work / 2,
                 qPrintable(QStringLiteral("%1 ms of %2 ms").arg(stalls.longestMs()).arg(work)));

        QCOMPARE(sizes, (QList<qsizetype>{20'000, 20'000, 19'999, 20'000, 2, 2, 1, 2}));
        QCOMPARE(noneNearestSaid, (QList<bool>{false, false, false, false, false, false, true, true}));
        QCOMPARE(lines("GET: ").size(), 2);
        QCOMPARE(controller.regions(), VPNRegionList::arrange(farAway)->stages.last());
    }

    void planText_data()
    {
        QTest::addColumn<QByteArray>("body"); // empty: no answer at all
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const char *body, const char *text) {
            QTest::newRow(name) << QByteArray(body) << QString(text);
        };
        row("lifetime over trial", R"({"status": "active", "is_unlimited": true, "is_trial": true})",
            "Current Plan: Lifetime");
        row("lenient flag", R"({"status": "active", "is_unlimited": "Yes"})", "Current Plan: Lifetime");
        row("trial", R"({"status": "active", "is_trial": true, "name": "X"})", "Current Plan: Trial");
        row("named", R"({"status": "active", "name": "Yearly"})", "Current Plan: Yearly");
        row("no name", R"({"status": "active"})", "Current Plan: ");
        row("status letter case", R"({"status": "Active", "name": "Yearly"})", "Your Plan Has Expired");
        row("no status", R"({"name": "Yearly"})", "Your Plan Has Expired");
        row("no answer", "", "Earlier text");
    }

    void planText()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        m_service.answerAlways("users/me/plan", body.isEmpty() ? closedConnection() : jsonAnswer(200, body));
        VelmoraController controller;
        controller.setSubscription("Earlier text");
        controller.showCurrentSubscription();
        QTRY_VERIFY(!m_service.requestsTo("users/me/plan").isEmpty());
        QTest::qWait(100);
        QCOMPARE(controller.subscription(), text);
    }

    void redeemMessages_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<std::optional<Answer>>("reply"); // none: the service's own
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QString &code, const std::optional<Answer> &reply,
                            const char *message) {
            QTest::newRow(name) << code << reply << QString(message);
        };
        const char *success = "The code has been applied successfully.";
        const char *retry = "Error. Please try again.";
        row("redeemed", StandInService::redeemableCode, {}, success);
        row("E0142", StandInService::usedCode, {}, "This code has already been used.");
        row("E0143", StandInService::voidCode, {}, "This code is invalid. Please get in touch with support.");
        row("E0141, not trimmed", " VELMORA-YEAR-2025", {}, "The code is incorrect. Please try again.");
        row("empty code", "", {}, "The code is incorrect. Please try again.");
        row("200 decides", "X", jsonAnswer(200, R"({"code": "E0142"})"), success);
        row("code as number", "X", jsonAnswer(422, R"({"code": 142})"), retry);
        row("no JSON", "X", jsonAnswer(500, "oops"), retry);
        row("no status", "X", closedConnection(), retry);
    }

    void redeemMessages()
    {
        QFETCH(QString, code);
        QFETCH(std::optional<Answer>, reply);
        QFETCH(QString, message);
        if (reply)
            m_service.answerAlways("codes/applyByEmail", *reply);
        VelmoraController controller;
        controller.setCode(code);
        QSignalSpy alerts(&controller, &VelmoraController::showAlertChanged);
        controller.redeemCode();
        QVERIFY(alerts.wait());
        QCOMPARE(controller.redeemAlertMessage(), message);
        QTRY_COMPARE(m_service.requestsTo("users/me/plan").size(), 1);
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(controller.showAlert(), true);
        const StandInService::Request sent = m_service.requestsTo("codes/applyByEmail").value(0);
        QCOMPARE(sent.formField("email"), "kai@example.com");
        QCOMPARE(sent.formField("code"), code);
    }

    void eachRedemptionTogglesTheAlert()
    {
        VelmoraController controller;
        controller.setCode(StandInService::usedCode);
        controller.setShowAlert(true); // the last answer's alert is still up
        for (const bool shown : {false, true}) {
            const qsizetype planRequests = m_service.requestsTo("users/me/plan").size();
            controller.redeemCode();
            // The plan is asked for in the same turn as the alert is raised.
            QTRY_COMPARE_WITH_TIMEOUT(m_service.requestsTo("users/me/plan").size(), planRequests + 1, 20'000);
            QCOMPARE(controller.showAlert(), shown);
        }
    }

    void logoutWithoutRequestAndOnlyForTheLiveController()
    {
        delete new VelmoraController;
        NotificationCenter::defaultCenter().post("logout");
        NotificationCenter::defaultCenter().post(VpnConnection::statusDidChangeNotification,
                                                 VPNHelper::shared().manager().connection());
        QCOMPARE(m_loginViews, 0);
        QVERIFY(Preferences::email());
        QVERIFY(lines("NEVPNConnection").isEmpty());

        // Redeeming with no stored e-mail is a lost login: out at once, nothing sent.
        Preferences::setEmail(std::nullopt);
        VelmoraController controller;
        controller.setCode(StandInService::redeemableCode);
        controller.redeemCode();
        QCOMPARE(m_loginViews, 1);
        QCOMPARE(Preferences::token(), std::nullopt);
        QCOMPARE(m_icons.last(), "AppIconMacOS");
        QTest::qWait(200);
        QVERIFY(m_service.requestsTo("codes/applyByEmail").isEmpty());
        QCOMPARE(controller.showAlert(), false);
    }

    void pressWhileDisconnectingDoesNothing()
    {
        // A helper on a bus without NetworkManager: each connect ends in a failed load.
        NetworkManagerPeers::PrivateBus bus;
        VPNHelper helper(bus.connect());
        VelmoraController controller(Client::shared(), helper);
        helper.manager().setOnDemandEnabled(true);
        controller.setConnectionStatus(VpnStatus::Disconnecting);
        controller.doConnect();
        QVERIFY(helper.manager().isOnDemandEnabled());
        // Answered after anything the press asked of the bus.
        QVERIFY(NetworkManagerPeers::await([&helper](auto done) { helper.removeVPNProfile(done); }).error);
        QCOMPARE(lines("Error loading VPN preferences: ").size(), 1); // the controller's own, at start
    }

    void connectToggleDrivesTheTunnel()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("VELMORA_NM_BUS"),
                 "needs the NetworkManager test world of scripts/test");
        VelmoraController controller;
        controller.loadRegions();
        controller.showCurrentSubscription();
        QTRY_VERIFY(Preferences::configId() != 0 && !controller.subscription().isEmpty());
        const VPNRegion first = controller.regions().at(2);
        const VPNRegion second = controller.regions().at(3);
        const auto requestsFor = [this](const VPNRegion &region) {
            return m_service.requestsTo(QStringLiteral("config/ipsec/%1").arg(region.id)).size();
        };
        const auto reaches = [&controller](VpnStatus status) {
            return QTest::qWaitFor([&] { return controller.connectionStatus() == status; }, 30'000);
        };

        m_console.clear();
        controller.didSelectRegion(first.id);
        QCOMPARE(Preferences::countryConnected(), first.country_name);
        QVERIFY(reaches(VpnStatus::Connected));
        QCOMPARE(requestsFor(first), 1);
        const QStringList statusLines = lines("NEVPNConnection");
        QVERIFY2(statusLines.contains("NEVPNConnection.status: connecting")
                     && statusLines.last() == "NEVPNConnection.status: connected",
                 qPrintable(statusLines.join(", ")));
        QCOMPARE(m_icons.last(), "iconConnected");

        // The toggle acts on the published status, not on the live one.
        controller.setConnectionStatus(VpnStatus::Reasserting);
        controller.doConnect();
        QVERIFY(reaches(VpnStatus::Disconnected));
        QCOMPARE(m_icons.last(), "AppIconMacOS");

        // A choice while up stops the tunnel without reconnecting; the next press connects to it.
        controller.doConnect();
        QVERIFY(reaches(VpnStatus::Connected));
        controller.didSelectRegion(second.id);
        QVERIFY(reaches(VpnStatus::Disconnected));
        QTest::qWait(300);
        QCOMPARE(requestsFor(second), 0);
        controller.doConnect();
        QVERIFY(reaches(VpnStatus::Connected));
        QCOMPARE(requestsFor(second), 1);

        // Logout stops it too and leaves the published state alone.
        const QList<VPNRegion> regions = controller.regions();
        NotificationCenter::defaultCenter().post("logout");
        QCOMPARE(m_loginViews, 1);
        QCOMPARE(Preferences::password(), std::nullopt);
        QVERIFY(reaches(VpnStatus::Disconnected));
        QCOMPARE(controller.regions(), regions);
        QVERIFY(!controller.subscription().isEmpty());
    }
};

QTEST_GUILESS_MAIN(VelmoraControllerTest)
#include "VelmoraControllerTest.moc"
