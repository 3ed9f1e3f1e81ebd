#include "HostInfo.h"
#include "TestHelpers.h"

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;
using Bytes = std::optional<QByteArray>; // none: the file is missing

class HostInfoTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { HostInfo::setFileSystemRoot(m_root.path()); }
    void init()
    {
        QDir(m_root.path()).removeRecursively();
        QDir().mkpath(m_root.path());
    }

    void systemVersionKeepsThreeNumbers_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QString>("expected");
        QTest::newRow("distribution suffix") << u"6.1.0-28-amd64"_s << u"6.1.0"_s;
        QTest::newRow("two-digit parts") << u"6.18.44-fc-v1300"_s << u"6.18.44"_s;
        QTest::newRow("fourth number dropped") << u"4.19.0.1"_s << u"4.19.0"_s;
        QTest::newRow("release candidate") << u"6.1-rc1"_s << u"6.1.0"_s;
        QTest::newRow("leading zero") << u"5.04.1"_s << u"5.4.1"_s;
        QTest::newRow("no numbers") << u"unknown"_s << u"0.0.0"_s;
    }

    void systemVersionKeepsThreeNumbers()
    {
        QFETCH(QString, release);
        QFETCH(QString, expected);
        QCOMPARE(HostInfo::systemVersion(release), expected);
    }

    void deviceNamePrefersPrettyName_data()
    {
        QTest::addColumn<Bytes>("machineInfo");
        QTest::addColumn<QString>("expected"); // empty: the host name
        QTest::newRow("double-quoted")
            << Bytes("ICON_NAME=computer\nPRETTY_HOSTNAME=\"Lisa's Laptop\"\n") << u"Lisa's Laptop"_s;
        QTest::newRow("single-quoted, UTF-8")
            << Bytes("PRETTY_HOSTNAME='B\xC3\xBCro \"3\"'") << QString::fromUtf8("B\xC3\xBCro \"3\"");
        QTest::newRow("escaped, unquoted") << Bytes("PRETTY_HOSTNAME=Lab\\ 3") << u"Lab 3"_s;
        QTest::newRow("commented out") << Bytes("#PRETTY_HOSTNAME=Old\n") << QString();
        QTest::newRow("no file") << Bytes() << QString();
    }

    void deviceNamePrefersPrettyName()
    {
        QFETCH(Bytes, machineInfo);
        QFETCH(QString, expected);
        QVERIFY(TestHelpers::writeFile(m_root.path(), u"etc/machine-info"_s, machineInfo));
        if (expected.isEmpty())
            expected =
                QSysInfo::machineHostName().isEmpty() ? u"Unknown Device"_s : QSysInfo::machineHostName();
        QCOMPARE(HostInfo::deviceName(), expected);
    }

    void machineSerialFallsBackToMachineId_data()
    {
        QTest::addColumn<Bytes>("dmi");
        QTest::addColumn<Bytes>("machineId");
        QTest::addColumn<std::optional<QString>>("expected");
        const Bytes id("0123abcd0123abcd0123abcd0123abcd\n");
        const std::optional<QString> idText(u"0123abcd0123abcd0123abcd0123abcd"_s);
        QTest::newRow("real serial") << Bytes("PF2XKQ7L \n") << id << std::optional(u"PF2XKQ7L"_s);
        QTest::newRow("unreadable serial") << Bytes() << id << idText;
        // Placeholders from firmware that was never given a serial would make many machines alike.
        QTest::newRow("firmware placeholder") << Bytes("To Be Filled By O.E.M.\n") << id << idText;
        QTest::newRow("all zeros") << Bytes("0000000000\n") << id << idText;
        QTest::newRow("neither") << Bytes() << Bytes("\n") << std::optional<QString>();
    }

    void machineSerialFallsBackToMachineId()
    {
        QFETCH(Bytes, dmi);
        QFETCH(Bytes, machineId);
        QFETCH(std::optional<QString>, expected);
        QVERIFY(TestHelpers::writeFile(m_root.path(), u"sys/class/dmi/id/product_serial"_s, dmi));
        QVERIFY(TestHelpers::writeFile(m_root.path(), u"etc/machine-id"_s, machineId));
        QCOMPARE(HostInfo::machineSerial(), expected);
    }

private:
    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(HostInfoTest)
#include "HostInfoTest.moc"
