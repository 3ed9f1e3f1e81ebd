#include "CrashReporter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
};

QTEST_GUILESS_MAIN(CrashReporterTest)
#include "CrashReporterTest.moc"
