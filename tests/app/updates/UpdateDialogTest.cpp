#include "AppWindow.h"

#include "Configuration.h"
#include "StandInService.h"
#include "TestHelpers.h"
#include "UpdateDialogModel.h"
#include "Workspace.h"

#include <QGuiApplication>
#include <QtTest>

// The dialog a check for updates ends in, in the application's window: what it says for each
// outcome and what its buttons do.
class UpdateDialogTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        Workspace::setHandler([this](const QUrl &url) { m_opened.append(url); });
        QVERIFY(m_app.open());
    }

    void init()
    {
        m_service.clearAnswers();
        m_service.setRelease(m_release);
        m_opened.clear();
    }

    // A failed case leaves no dialog and no small window to the next.
    void cleanup()
    {
        qobject_cast<UpdateDialogModel *>(m_app.object(QStringLiteral("updateAlert")))->dismiss();
        QTRY_VERIFY(!dialog());
        m_app.window()->resize(800, 500);
    }

    void newerVersionOffersItsDownload()
    {
        checkForUpdates();
        QCOMPARE(dialog()->property("title").toString(),
                 QStringLiteral("A new version of Velmora is available!"));
        QCOMPARE(message(),
                 QStringLiteral("Velmora 1.1 is now available; you have %1. Would you like to download "
                                "it now?")
                     .arg(Configuration::appVersion()));
        QVERIFY(m_app.shows(QStringLiteral("updateDownloadButton")));
        QVERIFY(m_app.shows(QStringLiteral("updateLaterButton")));
        QVERIFY(!m_app.shows(QStringLiteral("updateOkButton")));
        m_app.screenshot(QStringLiteral("update-available"));

        m_app.click(QStringLiteral("updateDownloadButton"));
        QTRY_VERIFY(!dialog());
        QCOMPARE(m_opened,
                 (QList<QUrl>{QUrl(QString(m_service.updateFeedUrl())
                                       .replace(QLatin1String(StandInService::feedPath),
                                                QLatin1String(StandInService::releasePath)))}));
    }

    // The compact layout's window is 300 wide: the dialog and its buttons stay inside.
    void fitsTheCompactWindow()
    {
        m_app.window()->resize(300, 560);
        QTRY_COMPARE(m_app.window()->width(), 300);
        checkForUpdates();
        m_app.settle();
        const qreal left = dialog()->property("x").toReal();
        QVERIFY(left >= 0 && left + dialog()->property("width").toReal() <= 300);
        const QQuickItem *download = m_app.find(QStringLiteral("updateDownloadButton"));
        const QRectF area = download->mapRectToScene(QRectF(0, 0, download->width(), download->height()));
        QVERIFY(area.left() >= 0 && area.right() <= 300);
        m_app.screenshot(QStringLiteral("update-available-compact"));
    }

    // Asked for from the keyboard, the dialog leaves the keyboard where the user was before the menu.
    void focusReturnsWhenClosed()
    {
        m_app.click(QStringLiteral("emailField"));
        QTRY_VERIFY(m_app.find(QStringLiteral("emailField"))->hasActiveFocus());
        m_app.key(Qt::Key_F10);
        const QQuickItem *item = m_app.find(QStringLiteral("checkForUpdatesItem"));
        for (int i = 0; i < 4 && !item->hasActiveFocus(); ++i)
            m_app.key(Qt::Key_Down);
        QVERIFY(item->hasActiveFocus());
        m_app.key(Qt::Key_Return);
        QTRY_VERIFY(dialog() && dialog()->property("opened").toBool());
        m_app.key(Qt::Key_Escape);
        QTRY_VERIFY(!dialog());
        QTRY_VERIFY(m_app.find(QStringLiteral("emailField"))->hasActiveFocus());
    }

    void laterOpensNothing()
    {
        checkForUpdates();
        m_app.click(QStringLiteral("updateLaterButton"));
        QTRY_VERIFY(!dialog());
        QVERIFY(m_opened.isEmpty());
    }

    void upToDate()
    {
        m_service.setRelease({Configuration::appVersion(), Configuration::appVersion(), m_release.file});
        checkForUpdates();
        QCOMPARE(dialog()->property("title").toString(), QStringLiteral("You're up to date!"));
        QCOMPARE(message(),
                 QStringLiteral("Velmora %1 is currently the newest version available.")
                     .arg(Configuration::appVersion()));
        QVERIFY(!m_app.shows(QStringLiteral("updateDownloadButton")));
        m_app.screenshot(QStringLiteral("update-up-to-date"));
        m_app.click(QStringLiteral("updateOkButton"));
        QTRY_VERIFY(!dialog());
    }

    void feedError()
    {
        m_service.answerNext(QLatin1String(StandInService::feedPath), {200, "not a feed", 0, false, {}});
        checkForUpdates();
        QCOMPARE(dialog()->property("title").toString(), QStringLiteral("Update Error!"));
        QCOMPARE(message(), QStringLiteral("The update feed could not be read."));
        QVERIFY(!m_app.shows(QStringLiteral("updateDownloadButton")));
        m_app.screenshot(QStringLiteral("update-error"));
        m_app.click(QStringLiteral("updateOkButton"));
        QTRY_VERIFY(!dialog());
    }

    // Shown after an automatic check: the file is in the cache, verified.
    void downloadedAndVerified()
    {
        Updater &updater = m_app.updater();
        // The first automatic check is due at once, and the only one.
        updater.setCheckInterval(std::chrono::milliseconds(0));
        const auto once = connect(&updater, &Updater::alert, this,
                                  [&updater] { updater.setAutomaticallyChecksForUpdates(false); });
        updater.setAutomaticallyDownloadsUpdates(true);
        updater.setAutomaticallyChecksForUpdates(true);
        QTRY_VERIFY(dialog() && dialog()->property("opened").toBool());
        disconnect(once);
        QCOMPARE(dialog()->property("title").toString(),
                 QStringLiteral("A new version of Velmora is ready!"));
        QCOMPARE(message(),
                 QStringLiteral("Velmora 1.1 has been downloaded and its signature checked. Install it "
                                "from %1 to update.")
                     .arg(QDir(Updater::downloadFolder()).filePath("Velmora-update.tar.gz")));
        m_app.screenshot(QStringLiteral("update-downloaded"));
        m_app.click(QStringLiteral("updateOkButton"));
        QTRY_VERIFY(!dialog());
        QVERIFY(m_opened.isEmpty());
    }

    // Whatever reaches the dialog, only a web address with a host is handed to the browser.
    void opensOnlyWebAddresses()
    {
        auto *alert = qobject_cast<UpdateDialogModel *>(m_app.object(QStringLiteral("updateAlert")));
        QVERIFY(alert);
        UpdateOutcome outcome;
        outcome.kind = UpdateOutcome::Kind::Available;
        outcome.newVersion = QStringLiteral("9");
        outcome.downloadUrl = QUrl(QStringLiteral("file:///etc/passwd"));
        alert->show(outcome);
        QTRY_VERIFY(dialog() && dialog()->property("opened").toBool());
        m_app.click(QStringLiteral("updateDownloadButton"));
        QTRY_VERIFY(!dialog());
        QVERIFY(m_opened.isEmpty());
    }

private:
    void checkForUpdates()
    {
        m_app.chooseFromApplicationMenu(QStringLiteral("Check for Updates…"));
        QTRY_VERIFY(dialog() && dialog()->property("opened").toBool());
        QCOMPARE(QGuiApplication::topLevelWindows().size(), 1);
    }
    [[nodiscard]] QObject *dialog() const { return m_app.object(QStringLiteral("updateDialog")); }
    [[nodiscard]] QString message() const
    {
        return m_app.object(QStringLiteral("updateMessage"))->property("text").toString();
    }

    const StandInService::Release m_release{QStringLiteral("1.1.0"), QStringLiteral("1.1"),
                                            QByteArray("the new version\n").repeated(100)};
    StandInService m_service;
    AppWindow m_app;
    QList<QUrl> m_opened;
};

QTEST_MAIN(UpdateDialogTest)
#include "UpdateDialogTest.moc"
