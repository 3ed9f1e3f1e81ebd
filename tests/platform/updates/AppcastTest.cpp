#include "Appcast.h"

#include <QtTest>

namespace {

// A feed whose one item's enclosure has these attributes.
QByteArray feedWith(const QByteArray &enclosure)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"urn:velmora:appcast\"><channel><title>Velmora</title>"
           "<item><title>Velmora</title><enclosure "
        + enclosure + "/></item></channel></rss>";
}

// count attributes a0="" a1="" ... in that order.
QByteArray attributes(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += " a" + QByteArray::number(i) + "=\"\"";
    return text;
}

// text in UTF-16 with its byte order mark, which a reader would take for what it declares.
QByteArray utf16(const QByteArray &text)
{
    const QString decoded = QString::fromUtf8(text);
    return QByteArray("\xff\xfe")
        + QByteArray(reinterpret_cast<const char *>(decoded.utf16()), decoded.size() * 2);
}

const QByteArray goodEnclosure = "url=\"https://velmora.io/linux/Velmora-1.2.tar.gz\" length=\"1234\" "
                                 "type=\"application/octet-stream\" sparkle:version=\"1.2.0\" "
                                 "sparkle:shortVersionString=\"1.2\" sparkle:edSignature=\"c2lnbmF0dXJl\"";

} // namespace

class AppcastTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsEveryReleaseInOrder()
    {
        const QByteArray body =
            "<rss xmlns:sparkle=\"urn:x\"><channel>"
            "<item><enclosure url=\"https://velmora.io/a.deb\" length=\"10\" sparkle:version=\"1.9\"/></item>"
            "<item><title>News without a "
            "release</title><description>&lt;p&gt;Hello&lt;/p&gt;</description></item>"
            "<item><![CDATA[<b>notes</b>]]><enclosure url=\"http://mirror.example/b?x=1&amp;y=2\" "
            "length=\"0\" "
            "sparkle:version=\"1.10\" sparkle:shortVersionString=\"1.10 “Autumn”\"/>"
            "<enclosure url=\"https://velmora.io/second\" length=\"1\" sparkle:version=\"9\"/></item>"
            "</channel></rss>";
        const auto releases = Appcast::parse(body);
        QVERIFY(releases);
        QCOMPARE(releases->size(), 2);
        const Appcast::Release &first = releases->at(0);
        QCOMPARE(first.version, QStringLiteral("1.9"));
        QCOMPARE(first.shortVersion, QStringLiteral("1.9"));
        QCOMPARE(first.url, QUrl(QStringLiteral("https://velmora.io/a.deb")));
        QCOMPARE(first.length, 10);
        QVERIFY(first.edSignature.isEmpty());
        // An item's first enclosure is its release.
        const Appcast::Release &second = releases->at(1);
        QCOMPARE(second.shortVersion, QStringLiteral("1.10 “Autumn”"));
        QCOMPARE(second.url, QUrl(QStringLiteral("http://mirror.example/b?x=1&y=2")));
        QCOMPARE(Appcast::newest(*releases)->version, QStringLiteral("1.10"));
    }

    void readsOneFullEnclosure()
    {
        const auto releases = Appcast::parse(feedWith(goodEnclosure));
        QVERIFY(releases);
        QCOMPARE(releases->size(), 1);
        QCOMPARE(releases->at(0).version, QStringLiteral("1.2.0"));
        QCOMPARE(releases->at(0).shortVersion, QStringLiteral("1.2"));
        QCOMPARE(releases->at(0).length, 1234);
        QCOMPARE(releases->at(0).edSignature, QByteArray("c2lnbmF0dXJl"));
    }

    void feedWithoutReleases()
    {
        const auto releases = Appcast::parse("<rss><channel><title>Nothing yet</title></channel></rss>");
        QVERIFY(releases);
        QVERIFY(releases->isEmpty());
        QVERIFY(!Appcast::newest(*releases));
    }

    void newestKeepsTheFirstOfEquals()
    {
        const QList<Appcast::Release> releases{
            {"2.0", "first", QUrl("https://a.example/1"), 1, {}},
            {"2.0.0", "longer", QUrl("https://a.example/2"), 1, {}},
            {"2-0", "same", QUrl("https://a.example/3"), 1, {}},
            {"1.99", "older", QUrl("https://a.example/4"), 1, {}},
        };
        QCOMPARE(Appcast::newest(releases)->shortVersion, QStringLiteral("longer"));
        QCOMPARE(Appcast::newest(releases.mid(2))->shortVersion, QStringLiteral("same"));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("JSON") << QByteArray("{\"version\": \"9.9\"}");
        QTest::newRow("HTML") << QByteArray("<html><body>Not found</body></html>");
        QTest::newRow("cut short") << feedWith(goodEnclosure).chopped(20);
        QTest::newRow("entity expansion") << QByteArray(
            "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\">"
            "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
            "<rss><channel><title>&c;</title></channel></rss>");
        QTest::newRow("external entity")
            << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
                          "<rss><channel><item><title>&e;</title></item></channel></rss>");
        QTest::newRow("undeclared entity")
            << QByteArray("<rss><channel><title>&nbsp;</title></channel></rss>");
        QTest::newRow("control character") << QByteArray("<rss><channel>\x01</channel></rss>");
        QTest::newRow("tab in the version")
            << feedWith("url=\"https://velmora.io/x\" length=\"1\" sparkle:version=\"1.2&#9;\"");
        QTest::newRow("line break in the short version")
            << feedWith("url=\"https://velmora.io/x\" length=\"1\" sparkle:version=\"1.2\" "
                        "sparkle:shortVersionString=\"1.2&#10;Click here\"");
        QTest::newRow("right-to-left override")
            << feedWith("url=\"https://velmora.io/x\" length=\"1\" sparkle:version=\"1.2\" "
                        "sparkle:shortVersionString=\"1.2 \xe2\x80\xae"
                        "exe.gpj\"");
        QTest::newRow("overlong version") << feedWith(
            "url=\"https://velmora.io/x\" length=\"1\" sparkle:version=\"" + QByteArray(65, '1') + "\"");
        QTest::newRow("no version") << feedWith("url=\"https://velmora.io/x\" length=\"1\"");
        QTest::newRow("empty version")
            << feedWith("url=\"https://velmora.io/x\" length=\"1\" sparkle:version=\"\"");
        QTest::newRow("no address") << feedWith("length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("file address")
            << feedWith("url=\"file:///etc/passwd\" length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("script address")
            << feedWith("url=\"javascript:alert(1)\" length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("relative address")
            << feedWith("url=\"/linux/x.tar.gz\" length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("address without host")
            << feedWith("url=\"https:///x.tar.gz\" length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("address with a blank")
            << feedWith("url=\"https://velmora.io/a b\" length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("overlong address") << feedWith("url=\"https://velmora.io/" + QByteArray(2100, 'a')
                                                      + "\" length=\"1\" sparkle:version=\"1.2\"");
        QTest::newRow("no length") << feedWith("url=\"https://velmora.io/x\" sparkle:version=\"1.2\"");
        QTest::newRow("negative length")
            << feedWith("url=\"https://velmora.io/x\" length=\"-1\" sparkle:version=\"1.2\"");
        QTest::newRow("length with text")
            << feedWith("url=\"https://velmora.io/x\" length=\"12kB\" sparkle:version=\"1.2\"");
        QTest::newRow("length beyond 64 bits") << feedWith(
            "url=\"https://velmora.io/x\" length=\"99999999999999999999\" sparkle:version=\"1.2\"");
        QTest::newRow("overlong signature") << feedWith(
            "url=\"https://velmora.io/x\" length=\"1\" sparkle:version=\"1.2\" sparkle:edSignature=\""
            + QByteArray(129, 'A') + "\"");
        QTest::newRow("a bad release among good ones")
            << QByteArray("<rss><channel><item><enclosure url=\"https://velmora.io/x\" length=\"1\" "
                          "sparkle:version=\"1.2\"/></item><item><enclosure url=\"ftp://velmora.io/x\" "
                          "length=\"1\" sparkle:version=\"1.3\"/></item></channel></rss>");
    }

    // The reader's time grows with the square of an element's attributes: more than a real feed has
    // are refused before it reads them, wherever they stand and however they are dressed.
    void crowdedElements_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("read");
        const QByteArray channel = "<rss><channel><title>Velmora</title>";
        QTest::newRow("32 on an element") << channel + "<x" + attributes(32) + "/></channel></rss>" << true;
        QTest::newRow("33 on an element") << channel + "<x" + attributes(33) + "/></channel></rss>" << false;
        QTest::newRow("33 on the enclosure") << feedWith(goodEnclosure + attributes(29)) << false;
        QTest::newRow("190,000 on an element")
            << channel + "<x" + attributes(190'000) + "/></channel></rss>" << false;
        QTest::newRow("after a '>' in a value")
            << channel + "<x b=\">\"" + attributes(32) + "/></channel></rss>" << false;
        QTest::newRow("after a quote in a comment")
            << channel + "<!-- \" --><x" + attributes(33) + "/></channel></rss>" << false;
        QTest::newRow("after a quote in text")
            << channel + "<title>\"</title><x" + attributes(33) + "/></channel></rss>" << false;
        QTest::newRow("in UTF-16") << utf16(channel + "<x" + attributes(33) + "/></channel></rss>") << false;
        QTest::newRow("many equals signs in text")
            << channel + "<description>" + QByteArray("a=b ").repeated(100) + "</description></channel></rss>"
            << true;
    }

    void crowdedElements()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, read);
        QCOMPARE(Appcast::parse(body).has_value(), read);
    }

    void refused()
    {
        QFETCH(QByteArray, body);
        QVERIFY(!Appcast::parse(body));
    }
};

QTEST_APPLESS_MAIN(AppcastTest)
#include "AppcastTest.moc"
