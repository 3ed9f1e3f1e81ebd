#include "GeoRegion.h"

#include <QtTest>

#include <cmath>

class GeoRegionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void spansFromDistances_data()
    {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("metres");
        QTest::addColumn<double>("latitudeDelta");
        QTest::addColumn<double>("longitudeDelta");
        QTest::newRow("a degree at the equator") << 0.0 << 111319.49 << 1.0 << 1.0;
        QTest::newRow("the start view") << 54.0 << 20e6 << 179.66 << 305.66;
        QTest::newRow("10,000 km around Paris") << 48.86 << 10e6 << 89.83 << 136.6;
        QTest::newRow("more than the globe") << 0.0 << 50e6 << 180.0 << 360.0;
        QTest::newRow("at the pole") << 90.0 << 1000.0 << 0.009 << 360.0;
        QTest::newRow("no distance") << 10.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("a negative distance") << 10.0 << -5.0 << 0.0 << 0.0;
    }

    void spansFromDistances()
    {
        QFETCH(double, latitude);
        QFETCH(double, metres);
        QFETCH(double, latitudeDelta);
        QFETCH(double, longitudeDelta);
        const GeoRegion region = GeoRegion::withDistances(latitude, 7.5, metres, metres);
        QCOMPARE(region.latitude, latitude);
        QCOMPARE(region.longitude, 7.5);
        QVERIFY2(std::abs(region.latitudeDelta - latitudeDelta) < 0.01,
                 qPrintable(QString::number(region.latitudeDelta)));
        QVERIFY2(std::abs(region.longitudeDelta - longitudeDelta) < 0.1,
                 qPrintable(QString::number(region.longitudeDelta)));
    }
};

QTEST_APPLESS_MAIN(GeoRegionTest)
#include "GeoRegionTest.moc"
