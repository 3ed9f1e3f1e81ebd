#include "MapCamera.h"

#include <QtTest>

#include <cmath>

namespace {

bool near(double a, double b, double within = 1e-9)
{
    return std::abs(a - b) <= within;
}

} // namespace

class MapCameraTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The whole region is in view, and it fills the view one way unless a limit holds the camera.
    void fitsARegion_data()
    {
        QTest::addColumn<GeoRegion>("region");
        QTest::addColumn<QSizeF>("view");
        QTest::addColumn<double>("scale");
        QTest::newRow("20 by 40 degrees, limited by width")
            << GeoRegion{48.86, 2.35, 20, 40} << QSizeF(500, 450) << 4500.0;
        QTest::newRow("20 by 40 degrees in a tall view")
            << GeoRegion{48.86, 2.35, 20, 40} << QSizeF(300, 700) << 2700.0;
        QTest::newRow("the whole world") << GeoRegion{54, 15, 180, 360} << QSizeF(500, 450) << 500.0;
        QTest::newRow("the world in a low, wide view: the world fills the height")
            << GeoRegion{0, 0, 180, 360} << QSizeF(1000, 200) << 200.0;
        QTest::newRow("a square metre: as close as the map goes")
            << GeoRegion{10, 10, 1e-5, 1e-5} << QSizeF(500, 450) << MapCamera::maximumScale;
    }

    void fitsARegion()
    {
        QFETCH(GeoRegion, region);
        QFETCH(QSizeF, view);
        QFETCH(double, scale);
        const MapCamera camera = MapCamera::fitting(region, view);
        QVERIFY2(near(camera.scale, scale, 1e-6), qPrintable(QString::number(camera.scale)));
        const GeoRegion shown = camera.region(view);
        QVERIFY(near(shown.longitude, region.longitude));
        QVERIFY(shown.longitudeDelta >= std::min(region.longitudeDelta, 360.0) - 1e-9);
        // The part of the region on the map, from its northern to its southern edge, is in view.
        const double halfHeight = view.height() / 2 / camera.scale;
        QVERIFY(camera.centre.y() - halfHeight
                <= MapCamera::project(region.latitude + region.latitudeDelta / 2, 0).y() + 1e-9);
        QVERIFY(camera.centre.y() + halfHeight
                >= MapCamera::project(region.latitude - region.latitudeDelta / 2, 0).y() - 1e-9);
    }

    void keepsWithinTheLimits_data()
    {
        QTest::addColumn<MapCamera>("camera");
        QTest::addColumn<MapCamera>("clamped");
        const QSizeF view(500, 400);
        QTest::newRow("within") << MapCamera{{0.3, 0.4}, 1000} << MapCamera{{0.3, 0.4}, 1000};
        QTest::newRow("east of the antimeridian")
            << MapCamera{{1.25, 0.4}, 1000} << MapCamera{{0.25, 0.4}, 1000};
        QTest::newRow("west of it") << MapCamera{{-0.25, 0.4}, 1000} << MapCamera{{0.75, 0.4}, 1000};
        QTest::newRow("sky above the map") << MapCamera{{0.5, 0.1}, 1000} << MapCamera{{0.5, 0.2}, 1000};
        QTest::newRow("below the map") << MapCamera{{0.5, 0.95}, 1000} << MapCamera{{0.5, 0.8}, 1000};
        QTest::newRow("smaller than the view") << MapCamera{{0.5, 0.5}, 100} << MapCamera{{0.5, 0.5}, 400};
        QTest::newRow("closer than the land shows")
            << MapCamera{{0.5, 0.5}, 1e9} << MapCamera{{0.5, 0.5}, MapCamera::maximumScale};
        QTest::newRow("not a number")
            << MapCamera{{qQNaN(), qQNaN()}, qQNaN()} << MapCamera{{0.5, 0.5}, MapCamera::maximumScale};
    }

    void keepsWithinTheLimits()
    {
        QFETCH(MapCamera, camera);
        QFETCH(MapCamera, clamped);
        const MapCamera result = camera.clamped(QSizeF(500, 400));
        QVERIFY(near(result.centre.x(), clamped.centre.x()) && near(result.centre.y(), clamped.centre.y()));
        QCOMPARE(result.scale, clamped.scale);
    }

    void zoomKeepsThePointUnderItself()
    {
        const QSizeF view(500, 400);
        const MapCamera camera{{0.52, 0.33}, 3000};
        const QPointF point(420, 80);
        const QPointF world = camera.toWorld(point, view);
        for (const double factor : {2.0, 0.7, 1.0 / 3}) {
            const MapCamera zoomed = camera.zoomed(factor, point, view);
            QCOMPARE(zoomed.scale, 3000 * factor);
            QVERIFY(QLineF(zoomed.toView(world, view), point).length() < 1e-6);
        }
    }

    void movesPartOfTheWay()
    {
        const MapCamera from{{0.95, 0.3}, 1000};
        const MapCamera to{{0.05, 0.5}, 4000};
        QCOMPARE(MapCamera::between(from, to, 0), from);
        const MapCamera half = MapCamera::between(from, to, 0.5);
        // Across the antimeridian, not back over the whole world.
        QVERIFY(near(half.centre.x(), 0.0) || near(half.centre.x(), 1.0));
        QVERIFY(near(half.centre.y(), 0.4));
        QVERIFY(near(half.scale, 2000));
        const MapCamera end = MapCamera::between(from, to, 1);
        QVERIFY(near(end.centre.x(), 0.05) && near(end.scale, 4000));
    }
};

QTEST_APPLESS_MAIN(MapCameraTest)
#include "MapCameraTest.moc"
