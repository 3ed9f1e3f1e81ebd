#include "SettingsViewModel.h"
#include "LoginItem.h"
#include "Preferences.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

// The settings sheet's rules without the sheet: when the main window follows the compact switch,
// and what the launch-at-login switch shows when the system does not take the change.
class SettingsViewModelTest : public QObject
{
    Q_OBJECT

    // One turn of the main loop: what was queued before it runs, what it queues waits.
    static void turn() { QCoreApplication::sendPostedEvents(); }

private Q_SLOTS:
    void init() { UserDefaults::standard().remove(QStringLiteral("CompactView")); }

    void compactViewResizesOnTheSecondTurn_data()
    {
        QTest::addColumn<bool>("compact");
        QTest::addColumn<QSize>("size");
        QTest::newRow("on") << true << QSize(300, 600);
        QTest::newRow("off") << false << QSize(800, 600);
    }

    void compactViewResizesOnTheSecondTurn()
    {
        QFETCH(bool, compact);
        QFETCH(QSize, size);
        Preferences::setCompactView(!compact);
        QWindow window;
        window.setGeometry(200, 300, 500, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.frameGeometry();
        SettingsViewModel screen;
        screen.setMainWindow(&window);

        screen.setCompactView(compact);
        QCOMPARE(Preferences::compactView(), compact);
        turn();
        QCOMPARE(window.frameGeometry(), before);
        turn();
        QCOMPARE(window.frameGeometry().size(), size);
        QCOMPARE(window.frameGeometry().bottomLeft(), before.bottomLeft());
    }

    // Without a main window the setting is stored all the same, and no window moves.
    void compactViewWithoutMainWindow()
    {
        QWindow other;
        other.setGeometry(200, 300, 500, 400);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        SettingsViewModel screen;
        screen.setCompactView(false);
        QVERIFY(!Preferences::compactView());
        QTest::qWait(50);
        QCOMPARE(other.geometry(), QRect(200, 300, 500, 400));
    }

    // The autostart folder cannot be made: the switch reads the system back and says so.
    void launchAtLoginThatTheSystemRefuses()
    {
        QTemporaryDir config;
        QFile blocker(config.filePath(QStringLiteral("autostart")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        SettingsViewModel screen;
        QVERIFY(!screen.launchAtLogin());
        QSignalSpy changed(&screen, &SettingsViewModel::launchAtLoginChanged);
        screen.setLaunchAtLogin(true);
        QCOMPARE(changed.size(), 1);
        QVERIFY(!screen.launchAtLogin());
        qputenv("XDG_CONFIG_HOME", previous);
    }
};

QTEST_MAIN(SettingsViewModelTest)
#include "SettingsViewModelTest.moc"
