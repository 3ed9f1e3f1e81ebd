#include "BackgroundWork.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

// Notes the thread it is destroyed on.
struct Witness
{
    std::atomic<QThread *> *destroyedOn;
    ~Witness() { *destroyedOn = QThread::currentThread(); }
};

} // namespace

class BackgroundWorkTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void resultsComeBackInTheOrderHandedIn()
    {
        QSemaphore secondDone;
        QStringList delivered;
        QList<QThread *> deliveredOn;
        const auto note = [&](const QString &result) {
            delivered.append(result);
            deliveredOn.append(QThread::currentThread());
        };
        // The first finishes after the second, unless the pool has a single thread.
        BackgroundWork::run(
            [&secondDone] {
                secondDone.tryAcquire(1, 5000);
                return QStringLiteral("first");
            },
            note);
        BackgroundWork::run(
            [&secondDone] {
                secondDone.release();
                return QStringLiteral("second");
            },
            [&note](const QString &result) {
                note(result);
                // Handed in from a delivery: after everything handed in before.
                BackgroundWork::run([] { return QStringLiteral("fourth"); }, note);
            });
        BackgroundWork::run([] { return QStringLiteral("third"); }, note);
        QCOMPARE(delivered, QStringList());

        QTRY_COMPARE(delivered.size(), 4);
        QCOMPARE(delivered, QStringList({"first", "second", "third", "fourth"}));
        QCOMPARE(deliveredOn, QList<QThread *>(4, QThread::currentThread()));
    }

    void workRunsAndIsReleasedOffTheMainThread()
    {
        QThread *ranOn = nullptr;
        std::atomic<QThread *> workReleasedOn = nullptr;
        bool delivered = false;
        BackgroundWork::run(
            [witness = std::make_shared<Witness>(&workReleasedOn), &ranOn] {
                ranOn = QThread::currentThread();
                return 0;
            },
            [&delivered](int) { delivered = true; });
        QTRY_VERIFY(delivered);
        QVERIFY(ranOn && ranOn != QThread::currentThread());
        QCOMPARE(workReleasedOn.load(), ranOn);

        std::atomic<QThread *> valueReleasedOn = nullptr;
        BackgroundWork::release(std::make_shared<Witness>(&valueReleasedOn));
        QTRY_VERIFY(valueReleasedOn.load());
        QVERIFY(valueReleasedOn.load() != QThread::currentThread());
    }
};

QTEST_GUILESS_MAIN(BackgroundWorkTest)
#include "BackgroundWorkTest.moc"
