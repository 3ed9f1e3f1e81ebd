#include "LoginItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Where the autostart entry goes and how the program's path is written into it, so that a session
// starts exactly that program whatever its path holds.
class LoginItemTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entryPathFollowsTheConfigHome_data()
    {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<QString>("path");
        const QString fallback = QDir::homePath() + QStringLiteral("/.config/autostart/velmora.desktop");
        QTest::newRow("set") << QByteArray("/tmp/cfg") << "/tmp/cfg/autostart/velmora.desktop";
        QTest::newRow("empty") << QByteArray("") << fallback;
        QTest::newRow("relative, which is to be ignored") << QByteArray("cfg") << fallback;
    }

    void entryPathFollowsTheConfigHome()
    {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, path);
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", configHome);
        QCOMPARE(LoginItem::entryPath(), path);
        qputenv("XDG_CONFIG_HOME", previous);
    }

    // The value as it stands in the file: quoted, then escaped as a string value.
    void execValueQuotesThePath_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "/usr/bin/velmora"
                               << "\"/usr/bin/velmora\"";
        QTest::newRow("blank") << "/opt/My Apps/velmora"
                               << "\"/opt/My Apps/velmora\"";
        QTest::newRow("dollar") << "/opt/a$HOME/velmora"
                                << "\"/opt/a\\\\$HOME/velmora\"";
        QTest::newRow("backslash") << "/opt/a\\b/velmora"
                                   << "\"/opt/a\\\\\\\\b/velmora\"";
        QTest::newRow("quote and backtick") << "/opt/\"a`b/velmora"
                                            << "\"/opt/\\\\\"a\\\\`b/velmora\"";
        QTest::newRow("percent") << "/opt/100%/velmora"
                                 << "\"/opt/100%%/velmora\"";
        QTest::newRow("shell characters") << "/opt/a;b|c&d'e/velmora"
                                          << "\"/opt/a;b|c&d'e/velmora\"";
        QTest::newRow("line break and tab") << "/opt/a\nb\tc/velmora"
                                            << "\"/opt/a\\nb\\tc/velmora\"";
        QTest::newRow("other control character") << "/opt/a\x01/velmora" << QString();
        QTest::newRow("none") << "" << QString();
    }

    void execValueQuotesThePath()
    {
        QFETCH(QString, program);
        QFETCH(QString, value);
        QCOMPARE(LoginItem::execValue(program), value);
        QCOMPARE(LoginItem::entry(program).isEmpty(), value.isEmpty());
    }

    // An entry the desktop's startup settings switched off starts nothing, so the switch shows it off.
    void switchedOffEntriesStartNothing_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("starts");
        const QByteArray ours = LoginItem::entry(QStringLiteral("/usr/bin/velmora"));
        QTest::newRow("ours") << ours << true;
        QTest::newRow("hidden") << ours + "Hidden=true\n" << false;
        QTest::newRow("hidden, spaced") << ours + "Hidden = true\n" << false;
        QTest::newRow("not hidden") << ours + "Hidden=false\n" << true;
        QTest::newRow("switched off")
            << QByteArray(ours).replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false")
            << false;
        QTest::newRow("in another group") << ours + "[Desktop Action x]\nHidden=true\n" << true;
        QTest::newRow("empty file") << QByteArray() << true;
    }

    void switchedOffEntriesStartNothing()
    {
        QFETCH(QByteArray, entry);
        QFETCH(bool, starts);
        QCOMPARE(LoginItem::startsProgram(entry), starts);

        QTemporaryDir config;
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QVERIFY(QDir().mkpath(config.filePath(QStringLiteral("autostart"))));
        QFile file(LoginItem::entryPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(entry);
        file.close();
        QCOMPARE(LoginItem::isEnabled(), starts);
        // Switching it on writes our own entry again.
        QVERIFY(LoginItem::setEnabled(true));
        QVERIFY(LoginItem::isEnabled());
        QVERIFY(LoginItem::setEnabled(false));
        QVERIFY(!LoginItem::isEnabled());
        qputenv("XDG_CONFIG_HOME", previous);
    }

    // A link planted where the entry goes is replaced on, and removed on off; what it leads to stays.
    void plantedLinkIsNeverFollowed_data()
    {
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("to a file") << true;
        QTest::newRow("to nothing") << false;
    }

    void plantedLinkIsNeverFollowed()
    {
        QFETCH(bool, targetExists);
        const QString path = LoginItem::entryPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("precious"));
        const auto plant = [&] {
            QFile::remove(path);
            return QFile::link(target, path);
        };
        if (targetExists) {
            QFile precious(target);
            QVERIFY(precious.open(QIODevice::WriteOnly));
            precious.write("precious\n");
        }

        QVERIFY(plant());
        QVERIFY(LoginItem::setEnabled(true));
        QVERIFY(!QFileInfo(path).isSymLink());
        QFile entry(path);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QCOMPARE(entry.readAll(), LoginItem::entry(QCoreApplication::applicationFilePath()));
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{QStringLiteral("velmora.desktop")});

        QVERIFY(plant());
        QVERIFY(LoginItem::setEnabled(false));
        QVERIFY(!QFileInfo(path).isSymLink());
        QVERIFY(!LoginItem::isEnabled());

        QCOMPARE(QFile::exists(target), targetExists);
        if (targetExists) {
            QFile precious(target);
            QVERIFY(precious.open(QIODevice::ReadOnly));
            QCOMPARE(precious.readAll(), QByteArray("precious\n"));
        }
    }
};

QTEST_GUILESS_MAIN(LoginItemTest)
#include "LoginItemTest.moc"
