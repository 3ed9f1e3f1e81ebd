#include "Updater.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "UserDefaults.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Kind = UpdateOutcome::Kind;

Q_DECLARE_METATYPE(StandInService::Answer)

namespace {

const StandInService::Release release{QStringLiteral("1.1.0"), QStringLiteral("1.1"),
                                      QByteArray("the new version\n").repeated(300)};

StandInService::Answer answer(int status, const QByteArray &body, int delayMs = 0)
{
    return {status, body, delayMs, false, {}};
}

QStringList downloads()
{
    return QDir(Updater::downloadFolder()).entryList(QDir::Files);
}

// Set for the copies of this program that play the application's updater.
const char *const copyVariable = "UPDATER_TEST_COPY";

// An updater of version 1.0.0 with automatic checks and downloads: prints how its first alert ended
// ("<kind> <message>") and ends.
int runCopy(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Updater updater(QStringLiteral("1.0.0"));
    updater.setAutomaticallyChecksForUpdates(true);
    updater.setAutomaticallyDownloadsUpdates(true);
    QObject::connect(&updater, &Updater::alert, &app, [](const UpdateOutcome &outcome) {
        std::printf("%d %s\n", int(outcome.kind), qPrintable(outcome.message));
        QCoreApplication::quit();
    });
    updater.start();
    return QCoreApplication::exec();
}

} // namespace

class UpdaterTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        m_feed = m_service.updateFeedUrl().toUtf8();
        m_key = m_service.updatePublicKey();
    }

    void init()
    {
        m_service.clearAnswers();
        m_service.clearRequests();
        m_service.setRelease(release);
        qputenv("VELMORA_UPDATE_FEED", m_feed);
        qputenv("VELMORA_UPDATE_PUBLIC_KEY", m_key);
        UserDefaults::standard().remove(QStringLiteral("AutomaticallyChecksForUpdates"));
        UserDefaults::standard().remove(QStringLiteral("AutomaticallyDownloadsUpdates"));
        QVERIFY(QDir(Updater::downloadFolder()).removeRecursively());
    }

    void comparesWithTheRunningVersion_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("newer");
        QTest::newRow("newer") << "1.0.0"
                               << "1.1.0" << true;
        QTest::newRow("equal") << "1.1.0"
                               << "1.1.0" << false;
        QTest::newRow("older") << "1.2.0"
                               << "1.1.0" << false;
        QTest::newRow("1.10 after 1.9") << "1.9"
                                        << "1.10" << true;
        QTest::newRow("1.9 before 1.10") << "1.10"
                                         << "1.9" << false;
    }

    void comparesWithTheRunningVersion()
    {
        QFETCH(QString, running);
        QFETCH(QString, offered);
        QFETCH(bool, newer);
        m_service.setRelease({offered, QStringLiteral("Version ") + offered, release.file});
        Updater updater(running);
        updater.start();

        const UpdateOutcome outcome = userCheck(updater);
        QCOMPARE(outcome.kind, newer ? Kind::Available : Kind::UpToDate);
        QCOMPARE(outcome.runningVersion, running);
        if (newer) {
            QCOMPARE(outcome.newVersion, QStringLiteral("Version ") + offered);
            QCOMPARE(outcome.downloadUrl.toString(), releaseUrl());
        }
        QVERIFY(updater.canCheckForUpdates());
        QVERIFY(m_service.requestsTo(QLatin1String(StandInService::releasePath)).isEmpty());
    }

    // Each ends in one error for the user and nothing else.
    void brokenFeeds_data()
    {
        QTest::addColumn<QString>("feed");
        QTest::addColumn<StandInService::Answer>("answer");
        QTest::addColumn<QString>("message");
        const StandInService::Answer none;
        const QString invalid = QStringLiteral("The update feed could not be read.");
        QTest::newRow("not XML") << "" << answer(200, "{\"version\": \"9.9\"}") << invalid;
        QTest::newRow("empty") << "" << answer(200, "") << invalid;
        QTest::newRow("a release with a file address")
            << ""
            << answer(200,
                      "<rss><channel><item><enclosure url=\"file:///etc/passwd\" length=\"1\" "
                      "sparkle:version=\"9\"/></item></channel></rss>")
            << invalid;
        QTest::newRow("huge") << "" << answer(200, QByteArray(3 * 1024 * 1024, ' ') + "<rss/>")
                              << "The update feed is too large.";
        QTest::newRow("server error")
            << "" << answer(503, "<rss/>") << "The update feed answered with HTTP status 503.";
        QTest::newRow("slow") << "" << answer(200, "<rss/>", 3000)
                              << "The update feed did not answer in time.";
        QTest::newRow("connection closed")
            << "" << TestHelpers::closedConnection() << "The update feed could not be reached.";
        QTest::newRow("unreachable") << unusedAddress() << none << "The update feed could not be reached.";
        QTest::newRow("not a web address")
            << "file:///etc/passwd" << none << "The update feed's address is not valid.";
    }

    void brokenFeeds()
    {
        QFETCH(QString, feed);
        QFETCH(StandInService::Answer, answer);
        QFETCH(QString, message);
        if (!feed.isEmpty())
            qputenv("VELMORA_UPDATE_FEED", feed.toUtf8());
        m_service.answerAlways(QLatin1String(StandInService::feedPath), answer);
        Updater updater;
        updater.setTransferTimeout(300ms);
        updater.start();

        const UpdateOutcome outcome = userCheck(updater);
        QCOMPARE(outcome.kind, Kind::Failed);
        QCOMPARE(outcome.message, message);
        QVERIFY(updater.canCheckForUpdates());
    }

    void cannotCheckWhileChecking()
    {
        Updater updater;
        QSignalSpy changes(&updater, &Updater::canCheckForUpdatesChanged);
        QVERIFY(!updater.canCheckForUpdates());
        updater.checkForUpdates();
        QTest::qWait(100);
        QVERIFY(m_service.requestsTo(QLatin1String(StandInService::feedPath)).isEmpty());

        updater.start();
        QVERIFY(updater.canCheckForUpdates());
        m_service.answerNext(QLatin1String(StandInService::feedPath), answer(200, "<rss/>", 300));
        QSignalSpy alerts(&updater, &Updater::alert);
        updater.checkForUpdates();
        QVERIFY(!updater.canCheckForUpdates());
        updater.checkForUpdates();
        QVERIFY(alerts.wait(5000));
        QVERIFY(updater.canCheckForUpdates());
        QCOMPARE(changes.size(), 3);
        QCOMPARE(m_service.requestsTo(QLatin1String(StandInService::feedPath)).size(), 1);
        QTest::qWait(100);
        QCOMPARE(alerts.size(), 1);
    }

    void automaticDownloads_data()
    {
        QTest::addColumn<std::optional<StandInService::Answer>>("file");
        QTest::addColumn<QString>("message");
        const QString badSize = QStringLiteral(
            "The downloaded update does not have the size the update feed gives. It has been deleted.");
        QByteArray changed = release.file;
        changed[100] = 'X';
        QTest::newRow("signed and whole") << std::optional<StandInService::Answer>() << QString();
        QTest::newRow("signature fails")
            << std::optional(answer(200, changed))
            << "The downloaded update's signature is not valid. It has been deleted.";
        QTest::newRow("one byte more") << std::optional(answer(200, release.file + 'X')) << badSize;
        QTest::newRow("one byte less") << std::optional(answer(200, release.file.chopped(1))) << badSize;
        QTest::newRow("not found") << std::optional(answer(404, "Not found"))
                                   << "The update could not be downloaded.";
    }

    void automaticDownloads()
    {
        QFETCH(std::optional<StandInService::Answer>, file);
        QFETCH(QString, message);
        if (file)
            m_service.answerAlways(QLatin1String(StandInService::releasePath), *file);
        const UpdateOutcome outcome = firstAlert(true, true);
        QCOMPARE(m_service.requestsTo(QLatin1String(StandInService::releasePath)).size(), 1);
        if (!message.isEmpty()) {
            QCOMPARE(outcome.kind, Kind::Failed);
            QCOMPARE(outcome.message, message);
            QCOMPARE(downloads(), QStringList());
            return;
        }
        QCOMPARE(outcome.kind, Kind::Downloaded);
        QCOMPARE(outcome.newVersion, release.shortVersion);
        // Named by us, with the kind of package the address gives.
        QCOMPARE(outcome.filePath, QDir(Updater::downloadFolder()).filePath("Velmora-update.tar.gz"));
        QCOMPARE(downloads(), QStringList{QStringLiteral("Velmora-update.tar.gz")});
        QFile kept(outcome.filePath);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), release.file);
    }

    // Two copies started at once download the same release; when the feed gives one of them other
    // bytes of the same length, only the signed bytes are kept, and each copy says what it got.
    void twoCopiesDownloadingAtOnce_data()
    {
        QTest::addColumn<bool>("honest");
        QTest::newRow("honest feed") << true;
        QTest::newRow("other bytes for one download") << false;
    }

    void twoCopiesDownloadingAtOnce()
    {
        QFETCH(bool, honest);
        QByteArray forged = release.file;
        forged[10] = 'X';
        // Slow enough that both downloads run at the same time.
        if (!honest)
            m_service.answerNext(QLatin1String(StandInService::releasePath), answer(200, forged, 1000));
        m_service.answerAlways(QLatin1String(StandInService::releasePath), answer(200, release.file, 1000));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(copyVariable), QStringLiteral("1"));
        QProcess copies[2];
        for (QProcess &copy : copies) {
            copy.setProcessEnvironment(environment);
            copy.start(QCoreApplication::applicationFilePath());
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            copies[0].state() == QProcess::NotRunning && copies[1].state() == QProcess::NotRunning, 20000);

        QStringList said;
        for (QProcess &copy : copies) {
            QCOMPARE(copy.exitCode(), 0);
            said.append(QString::fromUtf8(copy.readAllStandardOutput()).trimmed());
        }
        said.sort();
        const QString downloaded = QString::number(int(Kind::Downloaded));
        const QString invalid = QString::number(int(Kind::Failed))
            + QStringLiteral(" The downloaded update's signature is not valid. It has been deleted.");
        QCOMPARE(said, honest ? QStringList({downloaded, downloaded}) : QStringList({downloaded, invalid}));
        QCOMPARE(m_service.requestsTo(QLatin1String(StandInService::releasePath)).size(), 2);
        QCOMPARE(downloads(), QStringList{QStringLiteral("Velmora-update.tar.gz")});
        QFile kept(QDir(Updater::downloadFolder()).filePath(QStringLiteral("Velmora-update.tar.gz")));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), release.file);
    }

    // Links planted in the download folder under any name the updater ever used lead nowhere.
    void plantedLinksAreNeverWrittenThrough()
    {
        const QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious"));
        QFile precious(target);
        QVERIFY(precious.open(QIODevice::WriteOnly));
        precious.write("precious\n");
        precious.close();
        const QDir folder(Updater::downloadFolder());
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        QVERIFY(QFile::link(target, folder.filePath(QStringLiteral("Velmora-update.part"))));

        const UpdateOutcome outcome = firstAlert(true, true);
        QCOMPARE(outcome.kind, Kind::Downloaded);
        QVERIFY(precious.open(QIODevice::ReadOnly));
        QCOMPARE(precious.readAll(), QByteArray("precious\n"));
        QFile kept(outcome.filePath);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), release.file);
        QCOMPARE(kept.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
    }

    // What a copy ended by a signal left behind goes at the next start; what a running copy holds,
    // links and files of other names stay.
    void stalePartialDownloadsAreRemovedAtStart()
    {
        const QDir folder(Updater::downloadFolder());
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        const QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious"));
        const auto make = [&folder](const QString &name) {
            QFile file(folder.filePath(name));
            return file.open(QIODevice::WriteOnly) && file.write("partial") == 7;
        };
        QVERIFY(make(QStringLiteral("Velmora-update-Ab12Cd.part")));
        QVERIFY(make(QStringLiteral("Velmora-update-Held01.part")));
        QVERIFY(make(QStringLiteral("notes.part")));
        QVERIFY(make(QStringLiteral("Velmora-update.tar.gz")));
        QVERIFY(QFile::copy(folder.filePath(QStringLiteral("notes.part")), target));
        QVERIFY(QFile::link(target, folder.filePath(QStringLiteral("Velmora-update-Link01.part"))));
        // Held the way a running copy holds its download.
        const int held =
            ::open(QFile::encodeName(folder.filePath(QStringLiteral("Velmora-update-Held01.part"))),
                   O_RDONLY | O_CLOEXEC);
        QVERIFY(held >= 0);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);

        Updater updater;
        updater.start();
        QTRY_VERIFY(!folder.exists(QStringLiteral("Velmora-update-Ab12Cd.part")));
        QTest::qWait(100);
        ::close(held);
        QCOMPARE(folder.entryList(QDir::Files | QDir::System, QDir::Name),
                 QStringList({"Velmora-update-Held01.part", "Velmora-update-Link01.part",
                              "Velmora-update.tar.gz", "notes.part"}));
        QVERIFY(QFile::exists(target));
    }

    // Only an automatic check downloads, only when told to, and only with a key to check the file with.
    void offeredWithoutDownloading_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("downloads");
        QTest::addColumn<QByteArray>("key");
        QTest::newRow("check asked for") << false << true << m_key;
        QTest::newRow("automatic downloads off") << true << false << m_key;
        QTest::newRow("build without a key") << true << true << QByteArray();
    }

    void offeredWithoutDownloading()
    {
        QFETCH(bool, automatic);
        QFETCH(bool, downloads);
        QFETCH(QByteArray, key);
        qputenv("VELMORA_UPDATE_PUBLIC_KEY", key);
        QCOMPARE(firstAlert(automatic, downloads).kind, Kind::Available);
        QVERIFY(m_service.requestsTo(QLatin1String(StandInService::releasePath)).isEmpty());
    }

    void fileBeyondTheSizeLimitIsNotDownloaded()
    {
        m_service.answerAlways(QLatin1String(StandInService::feedPath),
                               answer(200,
                                      "<rss><channel><item><enclosure url=\"" + releaseUrl().toUtf8()
                                          + "\" length=\"2147483648\" sparkle:version=\"2.0\"/>"
                                            "</item></channel></rss>"));
        QCOMPARE(firstAlert(true, true).message, QStringLiteral("The update is too large to download."));
        QVERIFY(m_service.requestsTo(QLatin1String(StandInService::releasePath)).isEmpty());
        QCOMPARE(downloads(), QStringList());
    }

    void automaticChecksFindingNothingAreSilent_data()
    {
        QTest::addColumn<std::optional<StandInService::Answer>>("feed");
        QTest::newRow("up to date") << std::optional<StandInService::Answer>();
        QTest::newRow("not XML") << std::optional(answer(200, "no feed"));
        QTest::newRow("server error") << std::optional(answer(500, ""));
    }

    void automaticChecksFindingNothingAreSilent()
    {
        QFETCH(std::optional<StandInService::Answer>, feed);
        if (feed)
            m_service.answerAlways(QLatin1String(StandInService::feedPath), *feed);
        Updater updater(QStringLiteral("1.1.0"));
        updater.setAutomaticallyChecksForUpdates(true);
        QSignalSpy alerts(&updater, &Updater::alert);
        QSignalSpy changes(&updater, &Updater::canCheckForUpdatesChanged);
        updater.start();
        // Started, checking, done.
        QTRY_COMPARE(changes.size(), 3);
        QCOMPARE(m_service.requestsTo(QLatin1String(StandInService::feedPath)).size(), 1);
        QTest::qWait(100);
        QCOMPARE(alerts.size(), 0);
    }

    void automaticChecksRepeatUntilTurnedOff()
    {
        const auto checks = [this] {
            return m_service.requestsTo(QLatin1String(StandInService::feedPath)).size();
        };
        Updater updater(QStringLiteral("1.1.0"));
        updater.setCheckInterval(200ms);
        updater.start();
        QTest::qWait(300);
        QCOMPARE(checks(), 0);
        QVERIFY(!timer(updater).isActive());

        // The first check at once, then one an interval after the last ended.
        updater.setAutomaticallyChecksForUpdates(true);
        QTRY_COMPARE(checks(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(checks(), 3, 2000);

        updater.setAutomaticallyChecksForUpdates(false);
        QVERIFY(!timer(updater).isActive());
        const qsizetype before = checks();
        QTest::qWait(500);
        QVERIFY(checks() <= before + 1);
        QVERIFY(!timer(updater).isActive());
    }

    void settingsAreKept()
    {
        {
            Updater updater;
            QVERIFY(!updater.automaticallyChecksForUpdates());
            QVERIFY(!updater.automaticallyDownloadsUpdates());
            QSignalSpy checks(&updater, &Updater::automaticallyChecksForUpdatesChanged);
            QSignalSpy downloads(&updater, &Updater::automaticallyDownloadsUpdatesChanged);
            updater.setAutomaticallyChecksForUpdates(true);
            updater.setAutomaticallyDownloadsUpdates(true);
            updater.setAutomaticallyChecksForUpdates(false);
            QCOMPARE(checks.size(), 2);
            QCOMPARE(downloads.size(), 1);
        }
        const Updater restarted;
        QVERIFY(!restarted.automaticallyChecksForUpdates());
        QVERIFY(restarted.automaticallyDownloadsUpdates());
    }

private:
    // The one alert of a check the user asked for.
    static UpdateOutcome userCheck(Updater &updater)
    {
        QSignalSpy alerts(&updater, &Updater::alert);
        updater.checkForUpdates();
        if (!QTest::qWaitFor([&alerts] { return !alerts.isEmpty(); }, 5000))
            return {UpdateOutcome::Kind::Failed, {}, {}, {}, {}, QStringLiteral("no alert")};
        QTest::qWait(100);
        if (alerts.size() != 1)
            return {UpdateOutcome::Kind::Failed, {}, {}, {}, {}, QStringLiteral("more than one alert")};
        return alerts.at(0).at(0).value<UpdateOutcome>();
    }

    // The first alert of an updater of version 1.0.0 with these settings, started now; with automatic
    // checks off, the user asks for one.
    static UpdateOutcome firstAlert(bool automatic, bool downloads)
    {
        Updater updater(QStringLiteral("1.0.0"));
        updater.setAutomaticallyChecksForUpdates(automatic);
        updater.setAutomaticallyDownloadsUpdates(downloads);
        QSignalSpy alerts(&updater, &Updater::alert);
        updater.start();
        if (!automatic)
            updater.checkForUpdates();
        if (!alerts.wait(5000))
            return {UpdateOutcome::Kind::Failed, {}, {}, {}, {}, QStringLiteral("no alert")};
        return alerts.at(0).at(0).value<UpdateOutcome>();
    }

    [[nodiscard]] QString releaseUrl() const
    {
        return m_service.updateFeedUrl().replace(QLatin1String(StandInService::feedPath),
                                                 QLatin1String(StandInService::releasePath));
    }

    static QTimer &timer(Updater &updater)
    {
        auto *found = updater.findChild<QTimer *>(QStringLiteral("automaticCheck"));
        Q_ASSERT(found);
        return *found;
    }

    // An address on loopback where nothing listens.
    static QString unusedAddress()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(probe.serverPort());
    }

    StandInService m_service;
    QByteArray m_feed;
    QByteArray m_key;
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(copyVariable))
        return runCopy(argc, argv);
    QCoreApplication app(argc, argv);
    UpdaterTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "UpdaterTest.moc"
