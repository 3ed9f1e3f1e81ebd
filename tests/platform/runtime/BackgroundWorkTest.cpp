#include "BackgroundWork.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSemaphore>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

// Notes the thread it is destroyed on.
struct Witness
{
    std::atomic<QThread *> *destroyedOn;
    ~Witness() { *destroyedOn = QThread::currentThread(); }
};

// Set for the copy of this program that quits while its work still runs.
const char *const quitterVariable = "BACKGROUND_WORK_TEST_QUITTER";

// Hands in work of a minute, quits as soon as the loop runs and returns from main.
int quitWhileWorking(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    BackgroundWork::run(
        [] {
            std::this_thread::sleep_for(std::chrono::minutes(1));
            return 0;
        },
        [](int) { std::fputs("delivered\n", stdout); });
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

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

    // A slow feed never holds up a service answer; each lane keeps its own order.
    void lanesAreDeliveredApart()
    {
        QSemaphore feedRead;
        QStringList delivered;
        const auto note = [&delivered](const QString &result) { delivered.append(result); };
        BackgroundWork::run(
            BackgroundWork::Lane::Updates,
            [&feedRead] {
                feedRead.tryAcquire(1, 10000);
                return QStringLiteral("feed");
            },
            note);
        BackgroundWork::run(
            BackgroundWork::Lane::Updates, [] { return QStringLiteral("signature"); }, note);
        BackgroundWork::run([] { return QStringLiteral("regions"); }, note);
        BackgroundWork::run(
            BackgroundWork::Lane::Service, [] { return QStringLiteral("plans"); }, note);

        QTRY_COMPARE(delivered, QStringList({"regions", "plans"}));
        feedRead.release();
        QTRY_COMPARE(delivered, QStringList({"regions", "plans", "feed", "signature"}));
    }

    // The application object is gone while work still runs: the process ends at once, and nothing
    // is delivered.
    void quittingDoesNotWaitForWork()
    {
        QProcess quitter;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(quitterVariable), QStringLiteral("1"));
        quitter.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        quitter.start(QCoreApplication::applicationFilePath());
        QVERIFY(quitter.waitForFinished(30000));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(quitter.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quitter.exitCode(), 0);
        QCOMPARE(quitter.readAllStandardOutput(), QByteArray());
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

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(quitterVariable))
        return quitWhileWorking(argc, argv);
    QCoreApplication app(argc, argv);
    BackgroundWorkTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "BackgroundWorkTest.moc"
