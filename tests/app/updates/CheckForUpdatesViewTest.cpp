#include "ScreenWorld.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "Updater.h"

#include <QtTest>

using namespace std::chrono_literals;

// The "Check for Updates…" item on its own, following an updater of its own.
class CheckForUpdatesViewTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        QVERIFY(TestHelpers::startForClient(m_service));
    }

    void enabledWhileTheUpdaterCanCheck()
    {
        Updater updater;
        const auto view = ScreenWorld::open(QStringLiteral("updates/CheckForUpdatesView.qml"),
                                            {{QStringLiteral("updater"), QVariant::fromValue(&updater)}},
                                            QRect(100, 100, 240, 40));
        QVERIFY(view);
        QQuickItem *item = view->rootObject();
        QCOMPARE(item->property("text").toString(), QStringLiteral("Check for &Updates…"));

        // Not started: no check can begin, and a click begins none.
        QVERIFY(!item->isEnabled());
        Screen::click(item);
        QTest::qWait(100);
        QVERIFY(feedRequests().isEmpty());

        updater.start();
        QVERIFY(item->isEnabled());

        // Busy from the click until the check ends.
        m_service.answerNext(QLatin1String(StandInService::feedPath), {200, "<rss/>", 300, false, {}});
        QSignalSpy alerts(&updater, &Updater::alert);
        Screen::click(item);
        QVERIFY(!item->isEnabled());
        Screen::click(item);
        QVERIFY(alerts.wait(5000));
        QVERIFY(item->isEnabled());
        QCOMPARE(feedRequests().size(), 1);
        QCOMPARE(alerts.size(), 1);
    }

private:
    [[nodiscard]] QList<StandInService::Request> feedRequests() const
    {
        return m_service.requestsTo(QLatin1String(StandInService::feedPath));
    }

    StandInService m_service;
};

QTEST_MAIN(CheckForUpdatesViewTest)
#include "CheckForUpdatesViewTest.moc"
