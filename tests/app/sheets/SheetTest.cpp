#include "ScreenWorld.h"

#include "RedeemSheetSize.h"
#include "UserDefaults.h"
#include "ZoomGuard.h"

#include <QGuiApplication>
#include <QWindow>
#include <QtTest>

using Screen::choose;
using Screen::click;

// The account menu's sheets as windows of their own over the main window: shown while their flag is
// up, closed by their button, Escape or the window's close, and keeping the main window from input.
class SheetTest : public QObject
{
    Q_OBJECT

    ScreenWorld m_world;

    static QQuickWindow *sheetOf(QQuickView &view, const QString &name)
    {
        return view.rootObject()->findChild<QQuickWindow *>(name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_world.start());
        // As the application does before its window opens.
        ZoomGuard::install();
    }

    void init()
    {
        m_world.logIn();
        Preferences::setConfigId(1);
        UserDefaults::standard().remove(QStringLiteral("CompactView"));
    }

    void opensAndCloses_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QByteArray>("flag");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("closeButton");
        QTest::newRow("redeem") << "redeemItem"
                                << "redeemSheet" << QByteArray("showRedeem") << "redeemCodeView"
                                << "redeemClose";
        QTest::newRow("settings") << "settingsItem"
                                  << "settingsSheet" << QByteArray("showSettings") << "settingsView"
                                  << "settingsClose";
        QTest::newRow("pricing") << "pricingItem"
                                 << "pricingSheet" << QByteArray("showPricing") << "pricingView"
                                 << "pricingClose";
    }

    void opensAndCloses()
    {
        QFETCH(QString, item);
        QFETCH(QString, sheet);
        QFETCH(QByteArray, flag);
        QFETCH(QString, content);
        QFETCH(QString, closeButton);
        auto view = m_world.openMainScreen();
        QVERIFY(view);
        VelmoraController *ctrl = ScreenWorld::controllerOf(*view);
        QQuickWindow *window = sheetOf(*view, sheet);
        QVERIFY(window);
        QVERIFY(!window->isVisible());

        // Each way out lowers the flag; each way in makes the content anew.
        QPointer<QQuickItem> previous;
        const QList<std::function<void()>> ways{
            [&] { click(Screen::find(window, closeButton)); },
            [&] { QTest::keyClick(window, Qt::Key_Escape); },
            // The window's own close is accepted: a refusal would also stop the application quitting.
            [&] { QVERIFY(window->close()); },
        };
        for (const auto &leave : ways) {
            choose(*view, item);
            QVERIFY(ctrl->property(flag).toBool());
            QTRY_VERIFY(window->isExposed());
            QVERIFY(QTest::qWaitForWindowActive(window));
            QCOMPARE(window->transientParent(), view.get());
            QCOMPARE(window->modality(), Qt::WindowModal);
            QPointer<QQuickItem> shown = Screen::find(window, content);
            QVERIFY(shown);
            QVERIFY(shown != previous);
            QVERIFY(!previous);
            previous = shown;
            // The main window takes no input meanwhile.
            click(Screen::find(*view, QStringLiteral("accountMenuButton")));
            QVERIFY(!view->rootObject()
                         ->findChild<QObject *>(QStringLiteral("accountMenu"))
                         ->property("opened")
                         .toBool());

            leave();
            QVERIFY(!ctrl->property(flag).toBool());
            QVERIFY(!window->isVisible());
            // The keyboard is the main window's again.
            QTRY_COMPARE(QGuiApplication::focusWindow(), view.get());
            QTRY_VERIFY(!previous);
        }

        // The flag alone opens and closes it too.
        ctrl->setProperty(flag, true);
        QTRY_VERIFY(window->isExposed());
        ctrl->setProperty(flag, false);
        QVERIFY(!window->isVisible());
    }

    void sizes_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QByteArray>("flag");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        QTest::newRow("redeem") << "redeemSheet" << QByteArray("showRedeem")
                                << RedeemSheetSize::min().toSize() << RedeemSheetSize::max().toSize();
        QTest::newRow("settings") << "settingsSheet" << QByteArray("showSettings") << QSize(600, 400)
                                  << QWindow().maximumSize();
    }

    // Windows of their own: the settings sheet is wider than the compact main window.
    void sizes()
    {
        QFETCH(QString, sheet);
        QFETCH(QByteArray, flag);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        auto view = m_world.openMainScreen();
        QVERIFY(view);
        QTRY_COMPARE(view->frameGeometry().size(), QSize(300, 600));
        QQuickWindow *window = sheetOf(*view, sheet);
        ScreenWorld::controllerOf(*view)->setProperty(flag, true);
        QTRY_VERIFY(window->isExposed());
        QCOMPARE(window->size(), minimum);
        QCOMPARE(window->minimumSize(), minimum);
        QCOMPARE(window->maximumSize(), maximum);
    }

    void neverMaximised_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QByteArray>("flag");
        QTest::newRow("redeem") << "redeemSheet" << QByteArray("showRedeem");
        QTest::newRow("settings") << "settingsSheet" << QByteArray("showSettings");
        QTest::newRow("pricing") << "pricingSheet" << QByteArray("showPricing");
    }

    void neverMaximised()
    {
        QFETCH(QString, sheet);
        QFETCH(QByteArray, flag);
        auto view = m_world.openMainScreen();
        QVERIFY(view);
        QQuickWindow *window = sheetOf(*view, sheet);
        ScreenWorld::controllerOf(*view)->setProperty(flag, true);
        QTRY_VERIFY(window->isExposed());
        // A sheet sized by its content has grown to it first, so that its size is its own.
        if (window->property("fitsContent").toBool()) {
            QTRY_VERIFY(Screen::find(window, QStringLiteral("planCards"))->isVisible());
            QVERIFY(Screen::settledToContent(window, Screen::find(window, QStringLiteral("pricingView"))));
        }
        Screen::verifyNeverMaximised(window);
    }
};

QTEST_MAIN(SheetTest)
#include "SheetTest.moc"
