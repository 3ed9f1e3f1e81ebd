#include "WorldLand.h"

#include <QFile>
#include <QtEndian>
#include <QtTest>

#include <cstring>

namespace {

// A land file of one triangle, in the bundled file's format, with parts of it replaced.
struct LandFile
{
    QByteArray tag = "VLND";
    // As the counts say, and as they follow.
    quint32 ringCount = 1;
    QList<quint32> rings{3};
    QList<float> coordinates{0.1f, 0.1f, 0.2f, 0.1f, 0.1f, 0.2f};
    QList<quint16> indices{0, 1, 2};
    QByteArray trailing;

    [[nodiscard]] QByteArray bytes() const
    {
        QByteArray data = tag;
        const auto u32 = [&data](quint32 value) {
            const quint32 little = qToLittleEndian(value);
            data.append(reinterpret_cast<const char *>(&little), sizeof little);
        };
        u32(1);
        u32(1);
        u32(ringCount);
        u32(quint32(coordinates.size() / 2));
        u32(quint32(indices.size()));
        u32(ringCount);
        u32(quint32(indices.size()));
        for (const quint32 points : rings)
            u32(points);
        for (const float coordinate : coordinates) {
            quint32 bits = 0;
            std::memcpy(&bits, &coordinate, sizeof bits);
            u32(bits);
        }
        for (const quint16 index : indices) {
            const quint16 little = qToLittleEndian(index);
            data.append(reinterpret_cast<const char *>(&little), sizeof little);
        }
        return data + trailing;
    }
};

} // namespace

class WorldLandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theBundledLandReads()
    {
        QFile file(QStringLiteral(":/qt/qml/Velmora/assets/map/world-land.bin"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        WorldLand land;
        QVERIFY(land.read(file.readAll()));
        QVERIFY(land.points().size() > 50'000);
        QVERIFY(land.triangles().size() > 100'000 && land.triangles().size() % 3 == 0);
        QVERIFY(std::all_of(land.triangles().cbegin(), land.triangles().cend(),
                            [&land](quint32 index) { return index < quint32(land.points().size()); }));
    }

    void aMapInPassingMakesNoOutlines()
    {
        WorldLand land;
        QVERIFY(land.read(LandFile().bytes()));
        const auto world = land.outlines(500);
        QCOMPARE(land.outlines(8000, true), world);
        const auto close = land.outlines(8000);
        QVERIFY(close != world);
        QCOMPARE(land.outlines(7000), close);
        QCOMPARE(land.outlines(600, true), world);
    }

    void refusesWhatIsNotALandFile_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("read");
        LandFile file;
        QTest::newRow("a triangle") << file.bytes() << true;
        QTest::newRow("cut short") << file.bytes().chopped(1) << false;
        file.trailing = "x";
        QTest::newRow("more than it says") << file.bytes() << false;
        file = {};
        file.tag = "VLNX";
        QTest::newRow("another tag") << file.bytes() << false;
        file = {};
        file.indices = {0, 1, 3};
        QTest::newRow("an index past the polygon") << file.bytes() << false;
        file = {};
        file.rings = {4};
        QTest::newRow("a ring longer than the points") << file.bytes() << false;
        file = {};
        file.coordinates[3] = 1.5f;
        QTest::newRow("a point off the map") << file.bytes() << false;
        file = {};
        file.ringCount = 0x40000000;
        QTest::newRow("a count larger than the file") << file.bytes() << false;
    }

    void refusesWhatIsNotALandFile()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, read);
        WorldLand land;
        QCOMPARE(land.read(data), read);
        QCOMPARE(land.points().size(), read ? 3 : 0);
        QCOMPARE(land.triangles().size(), read ? 3 : 0);
        if (read)
            QCOMPARE(land.outlines(100)->size(), 1);
    }
};

QTEST_APPLESS_MAIN(WorldLandTest)
#include "WorldLandTest.moc"
