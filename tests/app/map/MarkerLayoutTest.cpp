#include "MarkerLayout.h"

#include <QtTest>

namespace {

const QSizeF view(500, 400);
// The world 1,000 pixels wide around latitude 0, longitude 0: a degree of longitude is 2.78 pixels.
const MapCamera camera{{0.5, 0.5}, 1000};

MapMarker marker(qint64 tag, double longitude, QColor tint = Qt::gray, const QString &symbol = {},
                 const QString &title = {})
{
    return {tag, 0, longitude, title, tint, symbol};
}

QList<qint64> tagsOf(const QList<MarkerLayout::Placed> &placed, const QList<MapMarker> &markers)
{
    QList<qint64> tags;
    for (const MarkerLayout::Placed &at : placed)
        tags.append(markers.at(at.marker).tag);
    return tags;
}

QSizeF sixtyByTwelve(qsizetype, bool)
{
    return {60, 12};
}

QList<MarkerLayout::Placed> place(const QList<MapMarker> &markers, const MapCamera &at, const QSizeF &size,
                                  std::optional<qint64> selected)
{
    return MarkerLayout::place(markers, MarkerLayout::project(markers), at, size, selected);
}

} // namespace

class MarkerLayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placesInDrawingOrder_data()
    {
        QTest::addColumn<QList<MapMarker>>("markers");
        QTest::addColumn<QVariant>("selected");
        QTest::addColumn<QList<qint64>>("drawn");
        const QString shield = QStringLiteral("checkmark.shield.fill");
        QTest::newRow("in list order")
            << QList{marker(1, 10), marker(2, -10), marker(3, 0)} << QVariant() << QList<qint64>{1, 2, 3};
        QTest::newRow("off the view and off the globe left out")
            << QList{marker(1, 100), marker(2, 10), marker(3, -100), {4, 95, 0, {}, Qt::gray, {}}}
            << QVariant() << QList<qint64>{2};
        QTest::newRow("one of a look on one pixel")
            << QList{marker(1, 10), marker(2, 10.1), marker(3, 10, Qt::green), marker(4, 10)} << QVariant()
            << QList<qint64>{1, 3};
        QTest::newRow("with a symbol over the plain ones, the selected one over all")
            << QList{marker(1, 10, Qt::green, shield), marker(2, 10), marker(3, 20), marker(4, 10)}
            << QVariant(qint64(3)) << QList<qint64>{2, 1, 3};
        QTest::newRow("a selected tag that two share: the first")
            << QList{marker(7, 10), marker(7, 20)} << QVariant(qint64(7)) << QList<qint64>{7, 7};
    }

    void placesInDrawingOrder()
    {
        QFETCH(QList<MapMarker>, markers);
        QFETCH(QVariant, selected);
        QFETCH(QList<qint64>, drawn);
        const auto tag = selected.isValid() ? std::optional(selected.toLongLong()) : std::nullopt;
        const QList<MarkerLayout::Placed> placed = place(markers, camera, view, tag);
        QCOMPARE(tagsOf(placed, markers), drawn);
        QCOMPARE(std::count_if(placed.cbegin(), placed.cend(), [](const auto &at) { return at.selected; }),
                 tag ? 1 : 0);
        for (const MarkerLayout::Placed &at : placed)
            QCOMPARE(at.position,
                     QPointF(std::round(250 + markers.at(at.marker).longitude * 1000 / 360), 200));
    }

    void standsOnEveryCopyOfTheWorldInView()
    {
        // 1,000 pixels wide, the world only 200: five copies and more are in view.
        const QSizeF wide(1000, 200);
        const MapCamera far{{0.5, 0.5}, 200};
        const QList<MapMarker> markers{marker(1, 0)};
        const QList<MarkerLayout::Placed> placed = place(markers, far, wide, std::nullopt);
        QList<double> xs;
        for (const MarkerLayout::Placed &at : placed)
            xs.append(at.position.x());
        QCOMPARE(xs, (QList<double>{100, 300, 500, 700, 900}));
    }

    void titlesThatFit_data()
    {
        QTest::addColumn<QList<MapMarker>>("markers");
        QTest::addColumn<QVariant>("selected");
        QTest::addColumn<QList<qint64>>("titled");
        const QString shield = QStringLiteral("checkmark.shield.fill");
        const auto titled = [](qint64 tag, double longitude, const QString &symbol = {}) {
            return marker(tag, longitude, Qt::gray, symbol, QStringLiteral("City %1").arg(tag));
        };
        QTest::newRow("apart, in list order")
            << QList{titled(1, -40), titled(2, 40)} << QVariant() << QList<qint64>{1, 2};
        QTest::newRow("untitled markers have none")
            << QList{marker(1, -40), titled(2, 40)} << QVariant() << QList<qint64>{2};
        QTest::newRow("overlapping: the first in the list")
            << QList{titled(1, 0), titled(2, 5), titled(3, -5)} << QVariant() << QList<qint64>{1};
        QTest::newRow("overlapping: the one with a symbol")
            << QList{titled(1, 0), titled(2, 5, shield)} << QVariant() << QList<qint64>{2};
        QTest::newRow("overlapping: the selected one")
            << QList{titled(1, 0), titled(2, 5, shield), titled(3, -5)} << QVariant(qint64(3))
            << QList<qint64>{3};
        QTest::newRow("a title over a marker with a symbol gives way")
            << QList{marker(1, 0, Qt::green, shield), titled(2, -1)} << QVariant() << QList<qint64>{};
    }

    void titlesThatFit()
    {
        QFETCH(QList<MapMarker>, markers);
        QFETCH(QVariant, selected);
        QFETCH(QList<qint64>, titled);
        const auto tag = selected.isValid() ? std::optional(selected.toLongLong()) : std::nullopt;
        const QList<MarkerLayout::Placed> placed = place(markers, camera, view, tag);
        QList<qint64> tags;
        for (const MarkerLayout::Title &title : MarkerLayout::titles(placed, markers, view, sixtyByTwelve)) {
            tags.append(markers.at(title.marker).tag);
            const MarkerLayout::Placed &at = *std::find_if(
                placed.cbegin(), placed.cend(), [&](const auto &p) { return p.marker == title.marker; });
            // Under its marker, in the middle.
            QCOMPARE(title.rect.center().x(), at.position.x());
            QVERIFY(title.rect.top() > at.position.y());
        }
        QCOMPARE(tags, titled);
    }

    void atMostSoManyTitles()
    {
        QList<MapMarker> markers;
        for (int row = 0; row < 20; ++row) {
            for (int column = 0; column < 6; ++column)
                markers.append({row * 6 + column,
                                60 - row * 6.0,
                                -160 + column * 60.0,
                                QStringLiteral("t"),
                                Qt::gray,
                                {}});
        }
        const MapCamera world{{0.5, 0.5}, 400};
        const QSizeF large(2000, 2000);
        const auto placed = place(markers, world, large, std::nullopt);
        QCOMPARE(MarkerLayout::titles(placed, markers, large, sixtyByTwelve).size(),
                 MarkerLayout::maximumTitles);
    }

    void hitsTheTopmostMarker_data()
    {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QVariant>("hit");
        // Marker 1 (plain) and marker 2 (with a symbol) 11 pixels apart; marker 2 is drawn over 1.
        QTest::newRow("on the marker drawn on top") << QPointF(270, 200) << QVariant(qint64(2));
        QTest::newRow("on the lower one, off the upper") << QPointF(244, 200) << QVariant(qint64(1));
        QTest::newRow("on neither") << QPointF(250, 230) << QVariant();
    }

    void hitsTheTopmostMarker()
    {
        QFETCH(QPointF, point);
        QFETCH(QVariant, hit);
        const QList<MapMarker> markers{marker(1, 0),
                                       marker(2, 4, Qt::green, QStringLiteral("checkmark.shield.fill"))};
        const auto placed = place(markers, camera, view, std::nullopt);
        const std::optional<qsizetype> found = MarkerLayout::hit(placed, markers, point);
        QCOMPARE(found ? QVariant(markers.at(*found).tag) : QVariant(), hit);
    }
};

QTEST_APPLESS_MAIN(MarkerLayoutTest)
#include "MarkerLayoutTest.moc"
