#include "DateExtensions.h"
#include "DoubleExtensions.h"
#include "UserDefaults.h"
#include "UserDefaultsKey.h"

#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <limits>

class ExtensionsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void daysBetweenCountsLocalCalendarDays_data()
    {
        // A zone with daylight saving, whatever the machine running the test uses.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<qint64>("days");
        const auto at = [](int mo, int d, int h, int mi) {
            return QDateTime(QDate(2024, mo, d), QTime(h, mi));
        };
        QTest::newRow("two minutes over midnight") << at(5, 9, 23, 59) << at(5, 10, 0, 1) << qint64(1);
        QTest::newRow("same day") << at(5, 9, 0, 0) << at(5, 9, 23, 59) << qint64(0);
        QTest::newRow("end first") << at(5, 10, 0, 1) << at(5, 9, 23, 59) << qint64(-1);
        QTest::newRow("23-hour day in spring") << at(3, 30, 12, 0) << at(3, 31, 12, 0) << qint64(1);
        QTest::newRow("25-hour day in autumn") << at(10, 26, 23, 30) << at(10, 27, 23, 30) << qint64(1);
        // 21:00 and 22:30 UTC on one UTC day fall on two Berlin days.
        QTest::newRow("moments given in UTC")
            << QDateTime(QDate(2024, 6, 1), QTime(21, 0), Qt::UTC)
            << QDateTime(QDate(2024, 6, 1), QTime(22, 30), Qt::UTC) << qint64(1);
    }

    void daysBetweenCountsLocalCalendarDays()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(qint64, days);
        QCOMPARE(daysBetween(start, end), days);
    }

    void roundedHalvesAwayFromZero_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("places");
        QTest::addColumn<double>("expected");
        QTest::newRow("two places") << 1.234 << 2 << 1.23;
        QTest::newRow("already two places") << 1.25 << 2 << 1.25;
        QTest::newRow("half up") << 2.5 << 0 << 3.0;
        QTest::newRow("half down, negative") << -2.5 << 0 << -3.0;
        QTest::newRow("to hundreds") << 1250.0 << -2 << 1300.0;
        QTest::newRow("more places than a double holds") << 1.5 << 400 << 1.5;
        QTest::newRow("fewer places than the value has digits") << 123.0 << -400 << 0.0;
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 2
                                  << std::numeric_limits<double>::infinity();
    }

    void roundedHalvesAwayFromZero()
    {
        QFETCH(double, value);
        QFETCH(int, places);
        QFETCH(double, expected);
        QCOMPARE(rounded(value, places), expected);
    }

    // Keys are stored under their raw values, letter case and all; no value removes the entry.
    void userDefaultsByKey()
    {
        const QString raw = QStringLiteral("reviewWorthyActionCount");
        QCOMPARE(userDefaultsKeyFromRawValue(raw), std::optional(UserDefaultsKey::reviewWorthyActionCount));
        QCOMPARE(userDefaultsKeyFromRawValue(QStringLiteral("ReviewWorthyActionCount")), std::nullopt);
        QCOMPARE(rawValue(UserDefaultsKey::lastReviewRequestAppVersion), "lastReviewRequestAppVersion");

        QTemporaryDir dir;
        UserDefaults defaults(dir.filePath(QStringLiteral("keys.conf")));
        set(defaults, qint64(3), UserDefaultsKey::reviewWorthyActionCount);
        QCOMPARE(defaults.integer(raw), qint64(3));
        QCOMPARE(integer(defaults, UserDefaultsKey::reviewWorthyActionCount), qint64(3));
        set(defaults, std::nullopt, UserDefaultsKey::reviewWorthyActionCount);
        QVERIFY(!defaults.contains(raw));
    }
};

QTEST_GUILESS_MAIN(ExtensionsTest)
#include "ExtensionsTest.moc"
