#include "CrashReporter.h"
#include "BackgroundWork.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Deeper and deeper until the stack runs out; the frame's bytes keep it from becoming a loop.
int overflow(int depth)
{
    if (depth == std::numeric_limits<int>::max())
        return 0;
    volatile char frame[512];
    frame[depth % sizeof frame] = char(depth);
    return overflow(depth + 1) + frame[0];
}

// Two threads crash with different signals at the same moment.
[[noreturn]] void crashTogether()
{
    std::atomic<int> ready = 0;
    const auto crash = [&ready](int signal) {
        ++ready;
        while (ready < 2) {}
        ::raise(signal);
    };
    std::thread first(crash, SIGSEGV);
    std::thread second(crash, SIGABRT);
    first.join();
    second.join();
    _exit(0);
}

} // namespace

// A child process that crashes leaves a report and still dies of its signal.
class CrashReporterTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fatalSignalLeavesAReport_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::newRow("segmentation fault") << SIGSEGV << "SIGSEGV";
        QTest::newRow("abort") << SIGABRT << "SIGABRT";
        QTest::newRow("bus error") << SIGBUS << "SIGBUS";
    }

    void fatalSignalLeavesAReport()
    {
        QFETCH(int, signal);
        QFETCH(QString, name);
        const QDir folder(CrashReporter::reportFolder());
        QVERIFY(
            folder.path().startsWith(qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/Velmora/")));
        const QStringList before = folder.entryList(QDir::Files);

        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // No core file of the test's own crash.
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            CrashReporter::configure();
            ::raise(signal);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signal);

        QStringList added = folder.entryList(QDir::Files);
        for (const QString &old : before)
            added.removeAll(old);
        QCOMPARE(added.size(), 1);
        QVERIFY2(added.first().endsWith(QStringLiteral("-%1.txt").arg(child)), qPrintable(added.first()));
        QFile report(folder.filePath(added.first()));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QCOMPARE(report.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
        const QString text = QString::fromUtf8(report.readAll());
        QVERIFY2(text.startsWith(QStringLiteral("Velmora ")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Signal: ") + name), qPrintable(text));
        // The backtrace names this program among its frames.
        const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        const QString backtrace = text.section(QStringLiteral("Backtrace:\n"), 1);
        QVERIFY2(backtrace.count(QLatin1Char('\n')) >= 3, qPrintable(text));
        QVERIFY2(backtrace.contains(program), qPrintable(text));
    }

    // The report comes from a thread of the application's own work, where the handler needs a stack
    // of that thread's own.
    void stackOverflowOnAWorkerThread()
    {
        const QStringList before = reports();
        const pid_t child = crashingChild([] {
            BackgroundWork::start([] { overflow(0); });
            ::sleep(30);
        });
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGSEGV);
        const QStringList added = addedSince(before);
        QCOMPARE(added.size(), 1);
        QVERIFY2(read(added.first()).contains(QStringLiteral("Signal: SIGSEGV")),
                 qPrintable(read(added.first())));
    }

    // Only the first crashing thread writes: one report, naming the signal the process died of.
    void threadsCrashingAtOnce()
    {
        for (int run = 0; run < 10; ++run) {
            const QStringList before = reports();
            const pid_t child = crashingChild(crashTogether);
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFSIGNALED(status));
            const QString name =
                WTERMSIG(status) == SIGSEGV ? QStringLiteral("SIGSEGV") : QStringLiteral("SIGABRT");
            const QStringList added = addedSince(before);
            QCOMPARE(added.size(), 1);
            const QString text = read(added.first());
            QCOMPARE(text.count(QStringLiteral("Signal: ")), 1);
            QVERIFY2(text.contains(QStringLiteral("Signal: ") + name), qPrintable(text));
            QCOMPARE(text.count(QStringLiteral("Backtrace:")), 1);
        }
    }

private:
    // A child that reports crashes, without a core file, and then does what it is given.
    template <typename Crash> static pid_t crashingChild(Crash crash)
    {
        const pid_t child = fork();
        if (child == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            CrashReporter::configure();
            crash();
            _exit(0);
        }
        return child;
    }

    static QStringList reports() { return QDir(CrashReporter::reportFolder()).entryList(QDir::Files); }

    static QStringList addedSince(const QStringList &before)
    {
        QStringList added = reports();
        for (const QString &old : before)
            added.removeAll(old);
        return added;
    }

    static QString read(const QString &name)
    {
        QFile report(QDir(CrashReporter::reportFolder()).filePath(name));
        return report.open(QIODevice::ReadOnly) ? QString::fromUtf8(report.readAll()) : QString();
    }
};

QTEST_GUILESS_MAIN(CrashReporterTest)
#include "CrashReporterTest.moc"
