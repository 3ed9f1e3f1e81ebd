#include "UserDefaults.h"
#include "TestHelpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

class UserDefaultsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void corruptFileReadsDefaultsAndStaysWritable_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("binary junk") << QByteArray(
            "\x00\xff\xfe\x01[Gen\x00eral\nKillSwitch=\x00\xff\nconfigId\xff=1", 36);
        QTest::newRow("broken serialised values")
            << QByteArray("[General]\nKillSwitch=@Variant(\\0\\0\\0\\x7f\\0\\0)\nconfigId=@ByteArray(12)\n");
        // Lists that claim two billion entries must not be believed.
        QTest::newRow("absurd list lengths")
            << QByteArray("[General]\nconfigId=@Variant(\\0\\0\\0\\v\\0\\x7f\\xff\\xff\\xff)\n"
                          "KillSwitch=@Variant(\\0\\0\\0\\t\\0\\x7f\\xff\\xff\\xf0)\n");
    }

    void corruptFileReadsDefaultsAndStaysWritable()
    {
        QFETCH(QByteArray, contents);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(TestHelpers::writeFile(m_dir.path(), path, contents));
        {
            UserDefaults defaults(path);
            QCOMPARE(defaults.boolValue(u"KillSwitch"_s, true), true);
            QCOMPARE(defaults.integer(u"configId"_s, 0), qint64(0));
            defaults.setValue(u"CompactView"_s, false);
        }
        QCOMPARE(UserDefaults(restartedCopy(path)).boolValue(u"CompactView"_s, true), false);
    }

    void valuesReadTheSameAfterRestart()
    {
        UserDefaults defaults(m_dir.filePath(u"typed.conf"_s));
        defaults.setValue(u"flag"_s, true);
        defaults.setValue(u"count"_s, qint64(1) << 40);
        defaults.setValue(u"text"_s, u"Berlin, Germany"_s);
        defaults.setValue(u"lookalike"_s, u"42"_s);
        const UserDefaults restarted(restartedCopy(m_dir.filePath(u"typed.conf"_s)));
        for (const UserDefaults *d : {static_cast<const UserDefaults *>(&defaults), &restarted}) {
            QCOMPARE(d->boolValue(u"flag"_s, false), true);
            QCOMPARE(d->integer(u"count"_s), qint64(1) << 40);
            QCOMPARE(d->string(u"text"_s), std::optional(u"Berlin, Germany"_s));
            QCOMPARE(d->string(u"flag"_s), std::optional(u"true"_s));
            QCOMPARE(d->integer(u"lookalike"_s), qint64(42));
        }
    }

    void concurrentWritersLoseNothing()
    {
        const QString path = m_dir.filePath(u"threads.conf"_s);
        UserDefaults defaults(path);
        QSignalSpy spy(&defaults, &UserDefaults::changed);
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([&defaults, t] {
                for (int i = 0; i < 25; ++i)
                    defaults.setValue(u"k%1"_s.arg(t * 25 + i), i);
            });
        }
        for (std::thread &writer : writers)
            writer.join();
        QCOMPARE(spy.count(), 100);
        const UserDefaults reread(restartedCopy(path));
        for (int k = 0; k < 100; ++k)
            QCOMPARE(reread.integer(u"k%1"_s.arg(k), -1), qint64(k % 25));
    }

private:
    // A copy under another name is read from disk, as after a restart, not from this process's cache.
    QString restartedCopy(const QString &path)
    {
        const QString copy = path + u".copy"_s;
        QFile::copy(path, copy);
        return copy;
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(UserDefaultsTest)
#include "UserDefaultsTest.moc"
