#include "VersionComparison.h"

#include <QtTest>

class VersionComparisonTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void compare_data()
    {
        QTest::addColumn<QString>("newer");
        QTest::addColumn<QString>("older");
        QTest::newRow("numbers by value, not as text") << "1.10"
                                                       << "1.9";
        QTest::newRow("major version") << "2"
                                       << "1.9.9";
        QTest::newRow("longer digit run") << "1.0.100"
                                          << "1.0.99";
        QTest::newRow("beyond 64 bits") << "1.99999999999999999999"
                                        << "1.99999999999999999998";
        QTest::newRow("one more number") << "1.0.1"
                                         << "1.0";
        QTest::newRow("one more separator and number") << "1.0.0"
                                                       << "1.0";
        QTest::newRow("text after the end is a pre-release") << "1.0"
                                                             << "1.0b1";
        QTest::newRow("text by its letters") << "1.0b1"
                                             << "1.0a1";
        QTest::newRow("pre-release numbers by value") << "1.0b10"
                                                      << "1.0b2";
        QTest::newRow("number beats text") << "1.0"
                                           << "1.a";
        QTest::newRow("number beats separator") << "1.01"
                                                << "1..1";
        QTest::newRow("anything beats nothing") << "0"
                                                << "";
    }

    void compare()
    {
        QFETCH(QString, newer);
        QFETCH(QString, older);
        QVERIFY(VersionComparison::compare(newer, older) > 0);
        QVERIFY(VersionComparison::compare(older, newer) < 0);
    }

    void same_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("identical") << "1.2.3"
                                   << "1.2.3";
        QTest::newRow("leading zeros") << "1.010"
                                       << "1.10";
        QTest::newRow("any separator") << "1-2_3"
                                       << "1.2.3";
        QTest::newRow("empty") << ""
                               << "";
    }

    void same()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QVERIFY(VersionComparison::compare(a, b) == 0);
        QVERIFY(VersionComparison::compare(b, a) == 0);
    }
};

QTEST_APPLESS_MAIN(VersionComparisonTest)
#include "VersionComparisonTest.moc"
