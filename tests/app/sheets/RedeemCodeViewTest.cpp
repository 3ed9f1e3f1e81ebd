#include "AppWindow.h"
#include "ScreenWorld.h"

#include <QtTest>

using Screen::choose;
using Screen::click;

// The redeem sheet on the stand-in service: the code as typed goes out with Redeem or Return, the
// sheet closes at once, and the main screen's alert tells the answer.
class RedeemCodeViewTest : public QObject
{
    Q_OBJECT

    ScreenWorld m_world;
    std::unique_ptr<QQuickView> m_view;
    VelmoraController *m_ctrl = nullptr;
    QQuickWindow *m_sheet = nullptr;

    void open()
    {
        choose(*m_view, QStringLiteral("redeemItem"));
        QVERIFY(QTest::qWaitForWindowActive(m_sheet));
        QTRY_VERIFY(Screen::find(m_sheet, QStringLiteral("codeField"))->hasActiveFocus());
    }

    QList<StandInService::Request> redemptions()
    {
        return m_world.service().requestsTo(QStringLiteral("codes/applyByEmail"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_world.start());
        Preferences::setConfigId(1);
        m_view = m_world.openMainScreen();
        QVERIFY(m_view);
        m_ctrl = ScreenWorld::controllerOf(*m_view);
        m_sheet = m_view->rootObject()->findChild<QQuickWindow *>(QStringLiteral("redeemSheet"));
        QVERIFY(m_sheet);
    }

    void init() { m_world.service().clearRequests(); }

    void redeemsAndTellsTheAnswer_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("byReturn");
        QTest::addColumn<QString>("message");
        QTest::newRow("redeemable, Return")
            << StandInService::redeemableCode << true << "The code has been applied successfully.";
        QTest::newRow("used, click") << StandInService::usedCode << false
                                     << "This code has already been used.";
        QTest::newRow("withdrawn") << StandInService::voidCode << false
                                   << "This code is invalid. Please get in touch with support.";
        QTest::newRow("redeemed before")
            << StandInService::redeemableCode << true << "This code has already been used.";
        QTest::newRow("incorrect") << "  lower case " << true << "The code is incorrect. Please try again.";
        QTest::newRow("empty") << "" << false << "The code is incorrect. Please try again.";
    }

    void redeemsAndTellsTheAnswer()
    {
        QFETCH(QString, code);
        QFETCH(bool, byReturn);
        QFETCH(QString, message);
        open();
        QVERIFY(m_ctrl->code().isEmpty());
        Screen::type(m_sheet, code);
        QCOMPARE(m_ctrl->code(), code);
        if (QTest::currentDataTag() == QLatin1String("used, click"))
            Screen::screenshot(*m_sheet, QStringLiteral("sheet-redeem"));
        if (byReturn)
            QTest::keyClick(m_sheet, Qt::Key_Return);
        else
            click(Screen::find(m_sheet, QStringLiteral("redeemButton")));

        // Closed at once, before the answer.
        QVERIFY(!m_ctrl->showRedeem());
        QVERIFY(!m_sheet->isVisible());
        QObject *alert = m_view->rootObject()->findChild<QObject *>(QStringLiteral("redeemAlert"));
        QTRY_VERIFY(alert->property("opened").toBool());
        QCOMPARE(redemptions().size(), 1);
        QCOMPARE(redemptions().first().formField(QStringLiteral("code")), code);
        QCOMPARE(Screen::find(*m_view, QStringLiteral("redeemAlertTitle"))->property("text").toString(),
                 message);
        if (QTest::currentDataTag() == QLatin1String("redeemable, Return"))
            Screen::screenshot(*m_view, QStringLiteral("sheet-redeem-alert"));
        QQuickItem *ok = Screen::dialogButton(alert, QStringLiteral("OK"));
        QVERIFY(ok);
        click(ok);
        QTRY_VERIFY(!m_ctrl->showAlert());
        QTRY_VERIFY(!alert->property("visible").toBool());
    }

    // The field and the button run from one edge of the sheet to the other.
    void fieldAndButtonSpanTheSheet()
    {
        open();
        QQuickItem *content = Screen::find(m_sheet, QStringLiteral("redeemCodeView"));
        for (const char *name : {"codeField", "redeemButton"}) {
            const QQuickItem *item = Screen::find(m_sheet, QString::fromLatin1(name));
            const QRectF area = item->mapRectToItem(content, QRectF(0, 0, item->width(), item->height()));
            QCOMPARE(area.left(), 0.0);
            QCOMPARE(area.width(), content->width());
        }
        QTest::keyClick(m_sheet, Qt::Key_Escape);
        QVERIFY(!m_ctrl->showRedeem());
    }

    void closeButtonNeverRedeems()
    {
        open();
        Screen::type(m_sheet, QStringLiteral("HALF-TYPED"));
        click(Screen::find(m_sheet, QStringLiteral("redeemClose")));
        QVERIFY(!m_ctrl->showRedeem());
        QTest::qWait(200);
        QVERIFY(redemptions().isEmpty());
        QVERIFY(!m_ctrl->showAlert());
        // The typed code stays with the controller until the menu opens the sheet again.
        QCOMPARE(m_ctrl->code(), QStringLiteral("HALF-TYPED"));
        open();
        QCOMPARE(Screen::find(m_sheet, QStringLiteral("codeField"))->property("text").toString(), QString());
        QTest::keyClick(m_sheet, Qt::Key_Escape);
        QVERIFY(!m_ctrl->showRedeem());
        QTest::qWait(200);
        QVERIFY(redemptions().isEmpty());
    }

    // With keys alone, in the application's window: the code sent with Return, the answer's alert
    // takes the keys when it opens, Return closes it, and the keys go back to the account button,
    // which had them before the alert, so that Space opens its menu again.
    void answerAlertByKeysAlone()
    {
        AppWindow app;
        QVERIFY(app.open());
        QTRY_VERIFY(app.find(QStringLiteral("accountMenuButton")));
        QQuickItem *account = app.find(QStringLiteral("accountMenuButton"));
        auto *ctrl = app.screen()->property("ctrl").value<VelmoraController *>();
        auto *sheet = app.screen()->findChild<QQuickWindow *>(QStringLiteral("redeemSheet"));
        QVERIFY(sheet);
        Screen::chooseByKeys(*app.screen(), QStringLiteral("redeemItem"));
        QVERIFY(QTest::qWaitForWindowActive(sheet));
        QTRY_VERIFY(Screen::find(sheet, QStringLiteral("codeField"))->hasActiveFocus());
        Screen::type(sheet, StandInService::usedCode);
        Screen::press(Qt::Key_Return);
        // The menu handed the keys back to its button; the window has them again, before the answer.
        QCOMPARE(app.window()->activeFocusItem(), account);
        QObject *alert = app.object(QStringLiteral("redeemAlert"));
        QVERIFY(alert);
        QTRY_VERIFY(alert->property("opened").toBool());
        QTRY_VERIFY(alert->property("activeFocus").toBool());
        Screen::press(Qt::Key_Return);
        QTRY_VERIFY(!ctrl->showAlert());
        QTRY_VERIFY(!alert->property("visible").toBool());
        QCOMPARE(app.window()->activeFocusItem(), account);
        QObject *menu = app.object(QStringLiteral("accountMenu"));
        Screen::press(Qt::Key_Space);
        QTRY_VERIFY(menu->property("opened").toBool());
        Screen::press(Qt::Key_Escape);
        QTRY_VERIFY(!menu->property("visible").toBool());
    }
};

QTEST_MAIN(RedeemCodeViewTest)
#include "RedeemCodeViewTest.moc"
