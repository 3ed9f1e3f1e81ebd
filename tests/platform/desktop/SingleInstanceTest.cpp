#include "SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <cstdio>

namespace {

// Set for the copies of this program that play the application.
const char *const copyVariable = "SINGLE_INSTANCE_TEST_COPY";

// Says "first" and waits to be activated, or says "second" and ends.
int runCopy(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SingleInstance instance;
    if (!instance.claim()) {
        std::puts("second");
        return 0;
    }
    std::puts("first");
    std::fflush(stdout);
    QObject::connect(&instance, &SingleInstance::activated, &app, [] {
        std::puts("activated");
        std::fflush(stdout);
    });
    return QCoreApplication::exec();
}

} // namespace

// Real processes of the same session: the first copy stays, later ones hand over to it and end.
class SingleInstanceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void secondLaunchActivatesTheFirst_data()
    {
        QTest::addColumn<bool>("sessionBus");
        QTest::newRow("session bus") << true;
        QTest::newRow("no session bus") << false;
    }

    void secondLaunchActivatesTheFirst()
    {
        QFETCH(bool, sessionBus);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(copyVariable), QStringLiteral("1"));
        if (!sessionBus)
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                               QStringLiteral("unix:path=/nonexistent/velmora-test-bus"));

        QProcess first;
        first.setProcessEnvironment(environment);
        first.start(QCoreApplication::applicationFilePath());
        QVERIFY(first.waitForReadyRead(10000));
        QCOMPARE(first.readLine(), QByteArray("first\n"));
        QCOMPARE(QFile::exists(SingleInstance::lockPath()), !sessionBus);

        for (int launch = 0; launch < 2; ++launch) {
            QProcess second;
            second.setProcessEnvironment(environment);
            second.start(QCoreApplication::applicationFilePath());
            QVERIFY(second.waitForFinished(10000));
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(second.readAllStandardOutput(), QByteArray("second\n"));
            // Without a bus there is no one to ask.
            if (sessionBus) {
                QVERIFY(first.waitForReadyRead(10000));
                QCOMPARE(first.readLine(), QByteArray("activated\n"));
            }
        }

        // A copy that was killed keeps no later one out.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QProcess next;
        next.setProcessEnvironment(environment);
        next.start(QCoreApplication::applicationFilePath());
        QVERIFY(next.waitForReadyRead(10000));
        QCOMPARE(next.readLine(), QByteArray("first\n"));
        next.kill();
        QVERIFY(next.waitForFinished(10000));
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(copyVariable))
        return runCopy(argc, argv);
    QCoreApplication app(argc, argv);
    SingleInstanceTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SingleInstanceTest.moc"
