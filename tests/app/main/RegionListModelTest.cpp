#include "RegionListModel.h"
#include "NetworkManagerPeers.h"
#include "Preferences.h"
#include "TestHelpers.h"
#include "UserDefaults.h"
#include "VPNHelper.h"
#include "VelmoraController.h"

#include <QAbstractItemModelTester>
#include <QtTest>

namespace {

VPNRegion region(qint64 id, const QString &country, const QString &city)
{
    VPNRegion region;
    region.id = id;
    region.country_name = country;
    region.city = city;
    region.country_code = QStringLiteral("de");
    region.server_domain = QStringLiteral("r%1.vpn.example.net").arg(id);
    return region;
}

// In the controller's order: the optimal region first, then by country name.
const QList<VPNRegion> catalogue{
    region(1, QStringLiteral("Optimal region\nGermany"), QStringLiteral("Frankfurt")),
    region(2, QStringLiteral("Austria"), QStringLiteral("Vienna")),
    region(3, QStringLiteral("Germany"), QStringLiteral("Düsseldorf")),
    region(4, QStringLiteral("Germany"), QStringLiteral("Gießen")),
    region(5, QStringLiteral("United States"), QStringLiteral("New York")),
    region(6, QStringLiteral("United States"), QStringLiteral("Newark")),
    // Decomposed, as some services send it.
    region(7, QStringLiteral("Vietnam"), QStringLiteral("Ha\u0300 No\u0323\u0302i")),
};

} // namespace

class RegionListModelTest : public QObject
{
    Q_OBJECT

    NetworkManagerPeers::PrivateBus m_bus;
    VPNHelper m_helper{m_bus.connect()};

    static QList<qint64> shownIds(const RegionListModel &model)
    {
        QList<qint64> ids;
        for (int row = 0; row < model.rowCount(); ++row)
            ids.append(model.data(model.index(row), RegionListModel::RegionIdRole).toLongLong());
        return ids;
    }

private Q_SLOTS:
    void filter_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QList<qint64>>("shown");
        QTest::newRow("empty") << "" << QList<qint64>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("city only") << "vienna" << QList<qint64>{2};
        QTest::newRow("letter case") << "GERMANY" << QList<qint64>{1, 3, 4};
        QTest::newRow("letter case, full mapping") << "GIESSEN" << QList<qint64>{4};
        QTest::newRow("accents must match") << "Dusseldorf" << QList<qint64>{};
        QTest::newRow("trailing blank") << "New " << QList<qint64>{5};
        QTest::newRow("no trimming") << "York " << QList<qint64>{};
        QTest::newRow("a blank") << " " << QList<qint64>{1, 5, 6, 7};
        // Canonically equivalent forms are the same text, on either side.
        QTest::newRow("decomposed term") << "Du\u0308sseldorf" << QList<qint64>{3};
        QTest::newRow("composed term, decomposed name") << "H\u00e0 N\u1ed9i" << QList<qint64>{7};
        QTest::newRow("letter case, decomposed name") << "H\u00c0 N\u1ed8I" << QList<qint64>{7};
        QTest::newRow("the optimal region's prefix") << "region" << QList<qint64>{1};
    }

    void filter()
    {
        QFETCH(QString, term);
        QFETCH(QList<qint64>, shown);
        VelmoraController controller(Client::shared(), m_helper);
        RegionListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setController(&controller);
        controller.setRegions(catalogue);
        model.setSearchTerm(term);
        QCOMPARE(shownIds(model), shown);
        // A new catalogue is filtered by the term in force.
        controller.setRegions(catalogue.mid(3));
        shown.removeIf([](qint64 id) { return id < 4; });
        QCOMPARE(shownIds(model), shown);
        model.setSearchTerm(QString());
        QCOMPARE(shownIds(model), (QList<qint64>{4, 5, 6, 7}));
    }

    // 100,000 regions: the search finds one among them, also after a new list came while no term
    // was in force, and the current region is the selected row.
    void searchAndSelectionAmongAHundredThousand()
    {
        const auto many = [](const QString &city) {
            QList<VPNRegion> regions;
            regions.reserve(100000);
            for (qint64 id = 1; id <= 100000; ++id)
                regions.append(
                    region(id, QStringLiteral("Country %1").arg(id % 200), city + QString::number(id)));
            return regions;
        };
        Preferences::setConfigId(99999);
        VelmoraController controller(Client::shared(), m_helper);
        RegionListModel model;
        model.setController(&controller);
        controller.setRegions(many(QStringLiteral("Town ")));
        QCOMPARE(model.rowCount(), 100000);
        model.setSearchTerm(QStringLiteral("town 99999"));
        QCOMPARE(shownIds(model), QList<qint64>{99999});
        QVERIFY(model.index(0).data(RegionListModel::SelectedRole).toBool());
        model.setSearchTerm(QStringLiteral("COUNTRY 199"));
        QCOMPARE(model.rowCount(), 500);

        model.setSearchTerm(QString());
        controller.setRegions(many(QStringLiteral("Village ")));
        model.setSearchTerm(QStringLiteral("town 99999"));
        QCOMPARE(model.rowCount(), 0);
        model.setSearchTerm(QStringLiteral("village 99999"));
        QCOMPARE(shownIds(model), QList<qint64>{99999});
        controller.setCurrentRegion(42);
        QVERIFY(!model.index(0).data(RegionListModel::SelectedRole).toBool());
        model.setSearchTerm(QString());
        QVERIFY(model.index(41).data(RegionListModel::SelectedRole).toBool());
    }

    void selectionFollowsTheCurrentRegion()
    {
        Preferences::setConfigId(2);
        VelmoraController controller(Client::shared(), m_helper);
        RegionListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setController(&controller);
        controller.setRegions(catalogue);
        const auto selected = [&model] {
            QList<qint64> ids;
            for (int row = 0; row < model.rowCount(); ++row) {
                if (model.index(row).data(RegionListModel::SelectedRole).toBool())
                    ids.append(model.index(row).data(RegionListModel::RegionIdRole).toLongLong());
            }
            return ids;
        };
        QCOMPARE(selected(), QList<qint64>{2});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        controller.setCurrentRegionValue(QVariant());
        QCOMPARE(selected(), QList<qint64>{});
        controller.setCurrentRegion(5);
        QCOMPARE(selected(), QList<qint64>{5});
        QCOMPARE(changed.size(), 2);
    }

    void aNewChoiceSelectsOnce_data()
    {
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<QVariant>("delivered");
        QTest::addColumn<bool>("beforeAttaching");
        QTest::addColumn<bool>("selects");
        QTest::newRow("cleared") << qint64(3) << QVariant() << false << false;
        QTest::newRow("the stored region") << qint64(3) << QVariant(3) << false << false;
        QTest::newRow("another region") << qint64(3) << QVariant(5) << false << true;
        QTest::newRow("first choice") << qint64(0) << QVariant(5) << false << true;
        QTest::newRow("the stored region, on attaching") << qint64(3) << QVariant(3) << true << false;
        QTest::newRow("another region, on attaching") << qint64(3) << QVariant(5) << true << true;
    }

    void aNewChoiceSelectsOnce()
    {
        QFETCH(qint64, stored);
        QFETCH(QVariant, delivered);
        QFETCH(bool, beforeAttaching);
        QFETCH(bool, selects);
        Preferences::setConfigId(stored);
        VelmoraController controller(Client::shared(), m_helper);
        controller.setRegions(catalogue);
        RegionListModel model;
        QSignalSpy settings(&UserDefaults::standard(), &UserDefaults::changed);
        if (beforeAttaching)
            controller.setCurrentRegionValue(delivered);
        model.setController(&controller);
        if (!beforeAttaching)
            controller.setCurrentRegionValue(delivered);
        // Never inside the update that delivered the value.
        QCOMPARE(Preferences::configId(), stored);
        QVERIFY(TestHelpers::runQueued());
        const qint64 chosen = selects ? delivered.toLongLong() : stored;
        QTRY_COMPARE(Preferences::configId(), chosen);
        if (selects)
            QTRY_COMPARE(Preferences::server(), QStringLiteral("r%1.vpn.example.net").arg(chosen));
        const auto writes =
            std::count_if(settings.cbegin(), settings.cend(), [](const QList<QVariant> &write) {
                return write.value(0).toString() == Preferences::Keys::configId;
            });
        QCOMPARE(writes, selects ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(RegionListModelTest)
#include "RegionListModelTest.moc"
