#include "MapViewForMacOS14Model.h"
#include "Preferences.h"
#include "RegionCatalogue.h"
#include "ScreenWorld.h"
#include "VelmoraController.h"
#include "WorldMap.h"

#include <QtTest>

#include <cmath>

namespace {

VPNRegion region(qint64 id, const char *city, float latitude, float longitude)
{
    VPNRegion region;
    region.id = id;
    region.city = QString::fromUtf8(city);
    region.country_name = QStringLiteral("Country %1").arg(id);
    region.location = {latitude, longitude};
    return region;
}

const QList<VPNRegion> threeRegions{region(5, "Oslo", 59.91f, 10.75f), region(2, "Paris", 48.86f, 2.35f),
                                    region(9, "Lima", -12.05f, -77.04f)};

GeoRegion around(const VPNRegion &region)
{
    return {region.location.latitude, region.location.longitude, 20.0, 40.0};
}

} // namespace

class MapViewForMacOS14Test : public QObject
{
    Q_OBJECT

    ScreenWorld m_world;
    QObject m_owner;
    VelmoraController *m_ctrl = nullptr;

    std::unique_ptr<QQuickView> open()
    {
        return ScreenWorld::open(QStringLiteral("map/MapViewForMacOS14.qml"),
                                 {{"ctrl", QVariant::fromValue(m_ctrl)}}, QRect(100, 100, 500, 450));
    }

    static WorldMap *mapOf(QQuickView &view) { return qobject_cast<WorldMap *>(view.rootObject()); }
    static MapViewForMacOS14Model *modelOf(QQuickView &view)
    {
        return Screen::find<MapViewForMacOS14Model>(view, QStringLiteral("regionMapModel"));
    }

    // Waits until the map has finished moving and drawn where it went.
    static void settle(QQuickView &view)
    {
        QTRY_VERIFY(!mapOf(view)->moving());
        QSignalSpy frames(&view, &QQuickWindow::frameSwapped);
        view.update();
        QVERIFY(frames.wait(10000));
    }

private Q_SLOTS:
    void init()
    {
        delete m_ctrl;
        m_ctrl = m_world.services().newVelmoraController(&m_owner);
    }

    void startsOnTheWorld()
    {
        auto view = open();
        QVERIFY(view);
        MapViewForMacOS14Model *model = modelOf(*view);
        WorldMap *map = mapOf(*view);
        QCOMPARE(model->position(), (GeoRegion{54.0, 15.0, 180.0, 360.0}));
        QCOMPARE(model->selectionValue(), QVariant());
        QCOMPARE(map->camera(), model->position());
        QVERIFY(map->markers().isEmpty());
        QCOMPARE(map->visibleRegion().longitude, 15.0);
        QCOMPARE(map->visibleRegion().longitudeDelta, 360.0);
        Screen::screenshot(*view, QStringLiteral("map-macos14-empty"));
    }

    void markersFollowTheListAndTheCurrentRegion()
    {
        auto view = open();
        QVERIFY(view);
        m_ctrl->setRegions(threeRegions);
        m_ctrl->setCurrentRegion(2);
        const auto expected = [](std::optional<qint64> current) {
            QList<MapMarker> markers;
            for (const VPNRegion &region : threeRegions) {
                const bool isCurrent = region.id == current;
                markers.append({region.id, region.location.latitude, region.location.longitude, region.city,
                                isCurrent ? QColor(0x34, 0xc7, 0x59) : QColor(0x8e, 0x8e, 0x93),
                                isCurrent ? QStringLiteral("checkmark.shield.fill") : QString()});
            }
            return markers;
        };
        QCOMPARE(modelOf(*view)->markers(), expected(2));
        QCOMPARE(mapOf(*view)->markers(), expected(2));

        m_ctrl->setCurrentRegion(9);
        QCOMPARE(mapOf(*view)->markers(), expected(9));
        m_ctrl->setCurrentRegion(std::nullopt);
        QCOMPARE(mapOf(*view)->markers(), expected(std::nullopt));
    }

    void currentRegionMovesTheMap_data()
    {
        QTest::addColumn<bool>("beforeTheMap");
        QTest::newRow("published while the map is shown") << false;
        QTest::newRow("current when the map is made") << true;
    }

    void currentRegionMovesTheMap()
    {
        QFETCH(bool, beforeTheMap);
        m_ctrl->setRegions(threeRegions);
        if (beforeTheMap)
            m_ctrl->setCurrentRegion(2);
        auto view = open();
        QVERIFY(view);
        MapViewForMacOS14Model *model = modelOf(*view);
        WorldMap *map = mapOf(*view);
        QSignalSpy moves(model, &MapViewForMacOS14Model::positionChanged);
        if (!beforeTheMap) {
            m_ctrl->setCurrentRegion(2);
            QVERIFY(map->moving());
            QCOMPARE(moves.count(), 1);
        }

        QCOMPARE(model->position(), around(threeRegions[1]));
        QCOMPARE(model->selectionValue(), QVariant(qint64(2)));
        QCOMPARE(map->camera(), model->position());
        QCOMPARE(map->selectedTagValue(), QVariant(qint64(2)));
        settle(*view);
        const GeoRegion shown = map->visibleRegion();
        QVERIFY(std::abs(shown.longitude - 2.35) < 1e-3);
        QVERIFY(std::abs(shown.latitude - 48.86) < 1e-3);
        QVERIFY(shown.latitudeDelta >= 20 - 1e-6 && shown.longitudeDelta >= 40 - 1e-6);

        // The same region published again moves the map back after the user moved it.
        map->forceActiveFocus();
        QTest::keyClick(view.get(), Qt::Key_Minus);
        settle(*view);
        m_ctrl->setCurrentRegion(2);
        settle(*view);
        QVERIFY(std::abs(map->visibleRegion().longitude - 2.35) < 1e-3);
        QCOMPARE(map->visibleRegion().longitudeDelta, shown.longitudeDelta);
    }

    void leftAlone_data()
    {
        QTest::addColumn<QList<VPNRegion>>("regions");
        QTest::addColumn<QVariant>("current");
        QList<VPNRegion> offTheGlobe = threeRegions;
        offTheGlobe.append(region(3, "Nowhere", 95.0f, 10.0f));
        QTest::newRow("an id that no region has") << threeRegions << QVariant(qint64(7));
        QTest::newRow("id 0, before any choice") << threeRegions << QVariant(qint64(0));
        QTest::newRow("an invalid coordinate") << offTheGlobe << QVariant(qint64(3));
        QTest::newRow("an empty list") << QList<VPNRegion>() << QVariant(qint64(2));
        QTest::newRow("no current region") << threeRegions << QVariant();
    }

    void leftAlone()
    {
        QFETCH(QList<VPNRegion>, regions);
        QFETCH(QVariant, current);
        auto view = open();
        QVERIFY(view);
        MapViewForMacOS14Model *model = modelOf(*view);
        QSignalSpy moves(model, &MapViewForMacOS14Model::positionChanged);
        m_ctrl->setRegions(regions);
        m_ctrl->setCurrentRegionValue(current);

        QCOMPARE(moves.count(), 0);
        QCOMPARE(model->position(), MapViewForMacOS14Model::startPosition());
        QCOMPARE(model->selectionValue(), QVariant());
        QVERIFY(!mapOf(*view)->moving());
        // A region off the globe is still a marker.
        QCOMPARE(mapOf(*view)->markers().size(), regions.size());
    }

    void regionsArrivingLaterMoveNothingUntilTheNextPublication()
    {
        auto view = open();
        QVERIFY(view);
        MapViewForMacOS14Model *model = modelOf(*view);
        QSignalSpy moves(model, &MapViewForMacOS14Model::positionChanged);
        m_ctrl->setCurrentRegion(9);
        m_ctrl->setRegions(threeRegions);
        QCOMPARE(mapOf(*view)->markers().size(), 3);
        QCOMPARE(moves.count(), 0);

        m_ctrl->setCurrentRegion(9);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(model->position(), around(threeRegions[2]));
    }

    void choosingAMarkerOnlySelectsIt()
    {
        m_ctrl->setRegions(threeRegions);
        m_ctrl->setCurrentRegion(5);
        Preferences::setConfigId(5);
        auto view = open();
        QVERIFY(view);
        WorldMap *map = mapOf(*view);
        settle(*view);
        QSignalSpy currentChanges(m_ctrl, &VelmoraController::currentRegionChanged);
        QSignalSpy moves(modelOf(*view), &MapViewForMacOS14Model::positionChanged);

        QTest::mouseClick(view.get(), Qt::LeftButton, {}, map->toItem(48.86, 2.35).toPoint());
        QCOMPARE(map->selectedTagValue(), QVariant(qint64(2)));
        QCOMPARE(modelOf(*view)->selectionValue(), QVariant(qint64(2)));
        settle(*view);
        Screen::screenshot(*view, QStringLiteral("map-macos14-selected"));

        QTest::mouseClick(view.get(), Qt::LeftButton, {}, map->toItem(56.0, 3.0).toPoint());
        QCOMPARE(modelOf(*view)->selectionValue(), QVariant());
        QCOMPARE(currentChanges.count(), 0);
        QCOMPARE(m_ctrl->currentRegion(), 5);
        QCOMPARE(Preferences::configId(), 5);
        QCOMPARE(moves.count(), 0);
    }

    void screenshotOfTheCatalogue()
    {
        if (qEnvironmentVariableIsEmpty("VELMORA_SCREENSHOTS"))
            QSKIP("no screenshots asked for");
        m_ctrl->setRegions(VPNRegion::decodeList(RegionCatalogue::regions()).value());
        m_ctrl->setCurrentRegion(std::nullopt);
        auto view = open();
        QVERIFY(view);
        settle(*view);
        Screen::screenshot(*view, QStringLiteral("map-macos14-world"));
        m_ctrl->setCurrentRegion(2);
        settle(*view);
        Screen::screenshot(*view, QStringLiteral("map-macos14"));
    }
};

QTEST_MAIN(MapViewForMacOS14Test)
#include "MapViewForMacOS14Test.moc"
