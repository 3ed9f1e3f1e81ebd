#include "RegionCatalogue.h"
#include "ScreenWorld.h"
#include "UserDefaults.h"
#include "VelmoraController.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using Screen::click;
using Screen::find;

class VPNRegionsViewTest : public QObject
{
    Q_OBJECT

    ScreenWorld m_world;
    std::unique_ptr<QObject> m_owner;
    VelmoraController *m_ctrl = nullptr;

    std::unique_ptr<QQuickView> open()
    {
        return ScreenWorld::open(QStringLiteral("main/VPNRegionsView.qml"),
                                 {{QStringLiteral("ctrl"), QVariant::fromValue(m_ctrl)}});
    }

    // The list on the controller, once the regions have arrived.
    std::unique_ptr<QQuickView> openLoaded()
    {
        auto view = open();
        const qsizetype regions = RegionCatalogue::regions().size();
        if (!view || !QTest::qWaitFor([this, regions] { return m_ctrl->regions().size() == regions; }))
            return nullptr;
        return view;
    }

    static QQuickItem *row(QQuickView &view, int index)
    {
        QQuickItem *item = nullptr;
        QMetaObject::invokeMethod(find(view, QStringLiteral("regionList")), "itemAtIndex",
                                  Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, index));
        return item;
    }

    static qsizetype configIdWrites(const QSignalSpy &settings)
    {
        return std::count_if(settings.cbegin(), settings.cend(), [](const QList<QVariant> &write) {
            return write.value(0).toString() == Preferences::Keys::configId;
        });
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_world.start()); }

    void init()
    {
        // A region was chosen before: loading the regions chooses none.
        Preferences::setConfigId(1);
        m_world.service().clearAnswers();
        m_world.service().clearRequests();
        m_owner = std::make_unique<QObject>();
        m_ctrl = m_world.services().newVelmoraController(m_owner.get());
    }

    void cleanup() { m_owner.reset(); }

    void appearingLoadsRegionsAndPlanAndChoosesNothing()
    {
        StandInService::Answer slow = TestHelpers::jsonAnswer(
            200, QJsonDocument(RegionCatalogue::regions()).toJson(QJsonDocument::Compact));
        slow.delayMs = 300;
        m_world.service().answerNext(QStringLiteral("users/me/regions"), slow);
        QSignalSpy settings(&UserDefaults::standard(), &UserDefaults::changed);
        auto view = open();
        QVERIFY(view);
        QVERIFY(find(*view, QStringLiteral("regionsTitle"))->isVisible());
        QVERIFY(find(*view, QStringLiteral("searchField"))->isVisible());
        QCOMPARE(find(*view, QStringLiteral("regionList"))->property("count").toInt(), 0);
        Screen::screenshot(*view, QStringLiteral("regions-loading"));

        QTRY_COMPARE(find(*view, QStringLiteral("regionList"))->property("count").toInt(),
                     RegionCatalogue::regions().size());
        QTRY_VERIFY(!m_ctrl->subscription().isEmpty());
        QCOMPARE(m_world.service().requestsTo(QStringLiteral("users/me/regions")).size(), 1);
        QCOMPARE(m_world.service().requestsTo(QStringLiteral("users/me/plan")).size(), 1);
        QVERIFY(TestHelpers::runQueued());
        QCOMPARE(configIdWrites(settings), 0);
    }

    void searchNarrowsTheListAndClears()
    {
        auto view = openLoaded();
        QVERIFY(view);
        QQuickItem *list = find(*view, QStringLiteral("regionList"));
        QQuickItem *clear = find(*view, QStringLiteral("clearSearch"));
        QVERIFY(!clear->isVisible());
        click(find(*view, QStringLiteral("searchField")));
        for (const char key : QByteArrayLiteral("VIENNA"))
            QTest::keyClick(view.get(), key);
        QCOMPARE(list->property("count").toInt(), 1);
        QCOMPARE(row(*view, 0)->property("city").toString(), QStringLiteral("Vienna"));
        QVERIFY(clear->isVisible());
        Screen::screenshot(*view, QStringLiteral("regions-search"));

        click(clear);
        QCOMPARE(find(*view, QStringLiteral("searchField"))->property("text").toString(), QString());
        QCOMPARE(list->property("count").toInt(), RegionCatalogue::regions().size());
        QVERIFY(!clear->isVisible());
    }

    void optimalRegionNameTakesTwoLines()
    {
        auto view = openLoaded();
        QVERIFY(view);
        QQuickItem *optimal = row(*view, 0)->findChild<QQuickItem *>(QStringLiteral("countryName"));
        QVERIFY(optimal->property("text").toString().startsWith(QLatin1String("Optimal region\n")));
        QCOMPARE(optimal->property("lineCount").toInt(), 2);
        QCOMPARE(row(*view, 1)->findChild<QQuickItem *>(QStringLiteral("countryName"))->property("lineCount"),
                 1);
    }

    void choosingARow_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("byKeyboard");
        QTest::addColumn<bool>("selects");
        QTest::newRow("another region") << 2 << false << true;
        QTest::newRow("the stored region") << 0 << false << false;
        QTest::newRow("another region, by keyboard") << 2 << true << true;
    }

    void choosingARow()
    {
        QFETCH(int, index);
        QFETCH(bool, byKeyboard);
        QFETCH(bool, selects);
        auto view = openLoaded();
        QVERIFY(view);
        // The stored region is the optimal one, first in the list.
        QCOMPARE(row(*view, 0)->property("regionId").toLongLong(), Preferences::configId());
        const qint64 id = row(*view, index)->property("regionId").toLongLong();
        QSignalSpy settings(&UserDefaults::standard(), &UserDefaults::changed);
        if (byKeyboard) {
            QQuickItem *list = find(*view, QStringLiteral("regionList"));
            list->forceActiveFocus(Qt::TabFocusReason);
            for (int i = 0; i <= index && list->property("currentIndex").toInt() != index; ++i)
                QTest::keyClick(view.get(), Qt::Key_Down);
            QCOMPARE(list->property("currentIndex").toInt(), index);
            QTest::keyClick(view.get(), Qt::Key_Return);
        } else {
            click(row(*view, index));
        }
        QVERIFY(TestHelpers::runQueued());
        QTRY_COMPARE(configIdWrites(settings), selects ? 1 : 0);
        QTRY_COMPARE(Preferences::configId(), selects ? id : 1);
        QVERIFY(row(*view, index)->property("selected").toBool());
    }

    void missingFlagLeavesItsArea()
    {
        // Argentina's region, on screen right under the optimal one, with a code no flag has.
        QJsonArray regions = RegionCatalogue::regions();
        const qsizetype argentina = 43;
        QJsonObject unknown = regions.at(argentina).toObject();
        QCOMPARE(unknown[QStringLiteral("country_name")].toString(), QStringLiteral("Argentina"));
        unknown[QStringLiteral("country_code")] = QStringLiteral("zz");
        regions.replace(argentina, unknown);
        m_world.service().answerNext(QStringLiteral("users/me/regions"),
                                     TestHelpers::jsonAnswer(200, QJsonDocument(regions).toJson()));
        auto view = openLoaded();
        QVERIFY(view);
        m_world.service().clearAnswers();
        QQuickItem *list = find(*view, QStringLiteral("regionList"));
        QQuickItem *flagless = row(*view, 1);
        QCOMPARE(flagless->property("regionId").toLongLong(), unknown[QStringLiteral("id")].toInteger());
        QVERIFY(flagless->findChild<QQuickItem *>(QStringLiteral("flagImage"))
                    ->property("source")
                    .toUrl()
                    .isEmpty());
        QQuickItem *area = flagless->findChild<QQuickItem *>(QStringLiteral("flagArea"));
        QCOMPARE(QSizeF(area->width(), area->height()), QSizeF(50, 50));
        click(flagless);
        QTRY_COMPARE(Preferences::configId(), unknown[QStringLiteral("id")].toInteger());
        QCOMPARE(list->property("count").toInt(), regions.size());
    }
};

QTEST_MAIN(VPNRegionsViewTest)
#include "VPNRegionsViewTest.moc"
