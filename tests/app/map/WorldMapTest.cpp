#include "WorldMap.h"
#include "MapCamera.h"
#include "WorldMapNode.h"

#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

const QSize viewSize(500, 400);

// A window with nothing but the map, filling it.
struct MapWindow
{
    QQuickWindow window;
    WorldMap *map = new WorldMap(window.contentItem());

    MapWindow()
    {
        window.setGeometry(QRect(QPoint(100, 100), viewSize));
        map->setSize(viewSize);
    }

    [[nodiscard]] bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    // Waits for a frame drawn after everything so far.
    void settle()
    {
        QSignalSpy frames(&window, &QQuickWindow::frameSwapped);
        window.update();
        QVERIFY(frames.wait(10000));
    }

    [[nodiscard]] QColor colourAt(double latitude, double longitude)
    {
        settle();
        return window.grabWindow().pixelColor(map->toItem(latitude, longitude).toPoint());
    }
};

MapMarker marker(qint64 tag, double latitude, double longitude, const QString &symbol = {})
{
    return {tag, latitude, longitude, QStringLiteral("City %1").arg(tag), Qt::gray, symbol};
}

// The coordinate under a point of the map.
QPointF coordinateAt(const WorldMap &map, const QPointF &point)
{
    const QPointF world = map.view().toWorld(point, map.size());
    return {MapCamera::latitudeAt(world.y()), MapCamera::longitudeAt(world.x() - std::floor(world.x()))};
}

} // namespace

class WorldMapTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

    void drawsLandAndSea_data()
    {
        QTest::addColumn<GeoRegion>("camera");
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::addColumn<bool>("land");
        const GeoRegion world{20, 0, 170, 360};
        const GeoRegion europe{52, 10, 20, 40};
        const GeoRegion bering{65, -170, 20, 40};
        QTest::newRow("Sahara") << world << 23.0 << 10.0 << true;
        QTest::newRow("Atlantic") << world << 30.0 << -40.0 << false;
        QTest::newRow("Brazil") << world << -10.0 << -50.0 << true;
        QTest::newRow("Pacific") << world << 0.0 << -140.0 << false;
        QTest::newRow("Berlin") << europe << 52.52 << 13.4 << true;
        QTest::newRow("North Sea") << europe << 56.0 << 3.0 << false;
        QTest::newRow("Caspian Sea, a hole in the land")
            << GeoRegion{42, 50, 20, 40} << 42.0 << 50.5 << false;
        // The polygons that cross the antimeridian are cut there, both halves drawn.
        QTest::newRow("Chukotka, east of 180°") << bering << 66.0 << -172.0 << true;
        QTest::newRow("Chukotka, west of 180°") << bering << 67.0 << 175.0 << true;
        QTest::newRow("Alaska") << bering << 65.0 << -160.0 << true;
        QTest::newRow("Bering Sea") << bering << 58.0 << -178.0 << false;
    }

    void drawsLandAndSea()
    {
        QFETCH(GeoRegion, camera);
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        QFETCH(bool, land);
        MapWindow map;
        map.map->setCamera(camera);
        QVERIFY(map.show());
        QCOMPARE(map.colourAt(latitude, longitude),
                 land ? WorldMapNode::landColour : WorldMapNode::seaColour);
    }

    void cameraMovesAtOnceOffScreenAndAnimatedOnScreen()
    {
        MapWindow map;
        QSignalSpy moving(map.map, &WorldMap::movingChanged);
        const GeoRegion europe{50, 10, 20, 40};
        map.map->setCamera(europe);
        QCOMPARE(moving.count(), 0);
        QCOMPARE(map.map->view(), MapCamera::fitting(europe, viewSize));

        QVERIFY(map.show());
        const GeoRegion tokyo{35.7, 139.7, 20, 40};
        map.map->setCamera(tokyo);
        QVERIFY(map.map->moving());
        QCOMPARE(map.map->camera(), tokyo);
        QTRY_VERIFY(!map.map->moving());
        QCOMPARE(map.map->view(), MapCamera::fitting(tokyo, viewSize));
        QCOMPARE(moving.count(), 2);
    }

    void newSizeFitsTheCameraUntilTheUserMoves()
    {
        MapWindow map;
        const GeoRegion region{40, -100, 20, 40};
        map.map->setCamera(region);
        map.map->setSize(QSizeF(300, 600));
        QCOMPARE(map.map->view(), MapCamera::fitting(region, QSizeF(300, 600)));

        QVERIFY(map.show());
        map.map->forceActiveFocus();
        QTest::keyClick(&map.window, Qt::Key_Minus);
        QTRY_VERIFY(!map.map->moving());
        const MapCamera moved = map.map->view();
        map.map->setSize(QSizeF(320, 600));
        QCOMPARE(map.map->view().centre, moved.centre);
        QCOMPARE(map.map->view().scale, moved.scale);
    }

    void dragMovesTheMapWithThePointer()
    {
        MapWindow map;
        map.map->setCamera({45, 10, 40, 80});
        QVERIFY(map.show());
        const QPoint from(200, 150);
        const QPoint to(320, 230);
        const QPointF grabbed = coordinateAt(*map.map, from);
        QSignalSpy selection(map.map, &WorldMap::selectedTagChanged);

        QTest::mousePress(&map.window, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 6; ++step)
            QTest::mouseMove(&map.window, from + (to - from) * step / 6);
        QTest::mouseRelease(&map.window, Qt::LeftButton, {}, to);

        const QPointF under = coordinateAt(*map.map, to);
        QVERIFY2(std::abs(under.x() - grabbed.x()) < 1e-6 && std::abs(under.y() - grabbed.y()) < 1e-6,
                 qPrintable(QStringLiteral("%1,%2 went to %3,%4")
                                .arg(grabbed.x())
                                .arg(grabbed.y())
                                .arg(under.x())
                                .arg(under.y())));
        QCOMPARE(selection.count(), 0);
    }

    void wheelZoomsAboutThePointer_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<double>("factor");
        QTest::newRow("one notch in") << 120 << std::sqrt(2.0);
        QTest::newRow("two notches out") << -240 << 0.5;
    }

    void wheelZoomsAboutThePointer()
    {
        QFETCH(int, angle);
        QFETCH(double, factor);
        MapWindow map;
        map.map->setCamera({45, 10, 40, 80});
        QVERIFY(map.show());
        const double scale = map.map->view().scale;
        const QPointF pointer(340, 120);
        const QPointF under = coordinateAt(*map.map, pointer);

        QWheelEvent wheel(pointer, map.window.mapToGlobal(pointer), {}, QPoint(0, angle), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&map.window, &wheel);

        QCOMPARE(map.map->view().scale, scale * factor);
        const QPointF after = coordinateAt(*map.map, pointer);
        QVERIFY(std::abs(after.x() - under.x()) < 1e-6 && std::abs(after.y() - under.y()) < 1e-6);
    }

    void keysZoomAndPan_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QPointF>("shift");
        QTest::newRow("+") << int(Qt::Key_Plus) << 2.0 << QPointF();
        QTest::newRow("= (+ without shift)") << int(Qt::Key_Equal) << 2.0 << QPointF();
        QTest::newRow("-") << int(Qt::Key_Minus) << 0.5 << QPointF();
        QTest::newRow("left") << int(Qt::Key_Left) << 1.0 << QPointF(-125, 0);
        QTest::newRow("down") << int(Qt::Key_Down) << 1.0 << QPointF(0, 100);
    }

    void keysZoomAndPan()
    {
        QFETCH(int, key);
        QFETCH(double, factor);
        QFETCH(QPointF, shift);
        MapWindow map;
        map.map->setCamera({30, 10, 40, 80});
        QVERIFY(map.show());
        const MapCamera before = map.map->view();
        map.map->forceActiveFocus();

        QTest::keyClick(&map.window, Qt::Key(key));
        QVERIFY(map.map->moving());
        QTRY_VERIFY(!map.map->moving());

        QCOMPARE(map.map->view().scale, before.scale * factor);
        const QPointF moved = (map.map->view().centre - before.centre) * before.scale;
        QVERIFY2(QLineF(moved, shift).length() < 1e-6,
                 qPrintable(QStringLiteral("moved %1,%2").arg(moved.x()).arg(moved.y())));
    }

    void pinchZoomsAboutTheFingers()
    {
        MapWindow map;
        map.map->setCamera({30, 10, 40, 80});
        QVERIFY(map.show());
        const double scale = map.map->view().scale;
        const std::unique_ptr<QPointingDevice> device(QTest::createTouchDevice());
        QPointingDevice *touchscreen = device.get();
        const QPoint middle(250, 200);
        QTest::touchEvent(&map.window, touchscreen)
            .press(0, middle - QPoint(40, 0))
            .press(1, middle + QPoint(40, 0));
        QTest::touchEvent(&map.window, touchscreen)
            .move(0, middle - QPoint(60, 0))
            .move(1, middle + QPoint(60, 0));
        QTest::touchEvent(&map.window, touchscreen)
            .move(0, middle - QPoint(80, 0))
            .move(1, middle + QPoint(80, 0));
        QTest::touchEvent(&map.window, touchscreen)
            .release(0, middle - QPoint(80, 0))
            .release(1, middle + QPoint(80, 0));
        QCOMPARE(map.map->view().scale, scale * 2);
    }

    void clickSelectsTheTopmostMarker_data()
    {
        QTest::addColumn<bool>("selectable");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QVariant>("selected");
        // Marker 2 has a symbol: it is drawn over marker 1, on the same spot.
        QTest::newRow("on the markers") << true << QPoint(0, 0) << QVariant(qint64(2));
        QTest::newRow("at the marker's rim") << true << QPoint(14, 0) << QVariant(qint64(2));
        QTest::newRow("beside the markers") << true << QPoint(40, 40) << QVariant();
        QTest::newRow("a map without selection") << false << QPoint(0, 0) << QVariant();
    }

    void clickSelectsTheTopmostMarker()
    {
        QFETCH(bool, selectable);
        QFETCH(QPoint, offset);
        QFETCH(QVariant, selected);
        MapWindow map;
        map.map->setCamera({48, 10, 20, 40});
        map.map->setMarkers({marker(1, 48.1, 11.6),
                             marker(2, 48.1, 11.6, QStringLiteral("checkmark.shield.fill")),
                             marker(3, 52.5, 13.4)});
        map.map->setSelectable(selectable);
        map.map->setSelectedTag(3);
        QVERIFY(map.show());

        QTest::mouseClick(&map.window, Qt::LeftButton, {}, map.map->toItem(48.1, 11.6).toPoint() + offset);
        QCOMPARE(map.map->selectedTagValue(), selectable ? selected : QVariant(qint64(3)));
    }
};

QTEST_MAIN(WorldMapTest)
#include "WorldMapTest.moc"
