#include "NotificationCenter.h"
#include "MainQueue.h"

#include <QtTest>

#include <memory>
#include <thread>

class NotificationCenterTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void deliversToObserversOfThatNameOnly();
    void dropsObserverWhenContextIsDestroyed();
    void observerMayDestroyAnotherDuringPost();
    void deliversOnThePostingThread();
    void mainQueueRunsOnALaterTurnOfTheMainThread();
};

void NotificationCenterTest::deliversToObserversOfThatNameOnly()
{
    auto &center = NotificationCenter::defaultCenter();
    QObject context, sender;
    QList<QObject *> logouts;
    int others = 0;
    center.addObserver(QStringLiteral("logout"), &context, [&](QObject *object) { logouts.append(object); });
    center.addObserver(QStringLiteral("showLoginView"), &context, [&](QObject *) { ++others; });

    center.post(QStringLiteral("logout"));
    center.post(QStringLiteral("logout"), &sender);

    QCOMPARE(logouts, (QList<QObject *>{nullptr, &sender}));
    QCOMPARE(others, 0);
}

void NotificationCenterTest::dropsObserverWhenContextIsDestroyed()
{
    auto &center = NotificationCenter::defaultCenter();
    int calls = 0;
    {
        QObject context;
        center.addObserver(QStringLiteral("gone"), &context, [&](QObject *) { ++calls; });
        center.post(QStringLiteral("gone"));
    }
    center.post(QStringLiteral("gone"));
    QCOMPARE(calls, 1);
}

void NotificationCenterTest::observerMayDestroyAnotherDuringPost()
{
    auto &center = NotificationCenter::defaultCenter();
    QObject first;
    auto second = std::make_unique<QObject>();
    int secondCalls = 0;
    center.addObserver(QStringLiteral("chain"), &first, [&](QObject *) { second.reset(); });
    center.addObserver(QStringLiteral("chain"), second.get(), [&](QObject *) { ++secondCalls; });

    center.post(QStringLiteral("chain"));

    QCOMPARE(secondCalls, 0);
}

void NotificationCenterTest::deliversOnThePostingThread()
{
    auto &center = NotificationCenter::defaultCenter();
    QObject context;
    std::thread::id seenOn;
    center.addObserver(QStringLiteral("threaded"), &context,
                       [&](QObject *) { seenOn = std::this_thread::get_id(); });

    std::thread::id postedOn;
    std::thread worker([&] {
        postedOn = std::this_thread::get_id();
        center.post(QStringLiteral("threaded"));
    });
    worker.join();

    QCOMPARE(seenOn, postedOn);
}

void NotificationCenterTest::mainQueueRunsOnALaterTurnOfTheMainThread()
{
    bool ran = false;
    bool onMain = false;
    std::thread worker([&] {
        MainQueue::async([&] {
            ran = true;
            onMain = MainQueue::isMainThread();
        });
    });
    worker.join();
    QVERIFY(!ran);
    QTRY_VERIFY(ran);
    QVERIFY(onMain);
}

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "NotificationCenterTest.moc"
