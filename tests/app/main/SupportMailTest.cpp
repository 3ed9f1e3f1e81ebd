#include "SupportMail.h"
#include "Preferences.h"

#include <QUrl>
#include <QUrlQuery>
#include <QtTest>

class SupportMailTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void link_data()
    {
        QTest::addColumn<QString>("userName");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("lastLines");
        QTest::newRow("plain") << "ada@example.com"
                               << "en-GB" << QByteArray("en-GB%0AUsername:%20ada%40example.com");
        // Left as they are, these would end the body or turn into blanks.
        QTest::newRow("query characters")
            << "a&b=c+d@example.com"
            << "de&x=y" << QByteArray("de%26x%3Dy%0AUsername:%20a%26b%3Dc%2Bd%40example.com");
        QTest::newRow("fragment, path and others")
            << "#1/?%\"<>@x"
            << "!$'()*,;:[]" << QByteArray("!$'()*,;:[]%0AUsername:%20%231%2F%3F%25%22%3C%3E%40x");
        QTest::newRow("beyond ASCII")
            << "zoë@例え.jp"
            << "Unknown" << QByteArray("Unknown%0AUsername:%20zo%C3%AB%40%E4%BE%8B%E3%81%88.jp");
    }

    void link()
    {
        QFETCH(QString, userName);
        QFETCH(QString, language);
        QFETCH(QByteArray, lastLines);
        const QByteArray link =
            SupportMail::link(QStringLiteral("support@velmora.io"), {"6.1.0", "1.0.0", language, userName});
        QCOMPARE(
            link,
            "mailto:support@velmora.io?subject=Velmora%20Support%20ticket"
            "&body=%0A%0APlatform:%20Linux%206.1.0%0AApp%20version:%201.0.0%0ADevice%20language%20ISO:%20"
                + lastLines);
        // What is handed to the mail client is that link, byte for byte.
        const QUrl url = QUrl::fromEncoded(link, QUrl::StrictMode);
        QVERIFY(url.isValid());
        QCOMPARE(url.toEncoded(), link);
        const QUrlQuery query(url);
        QCOMPARE(query.queryItems().size(), 2);
        QVERIFY(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded)
                    .endsWith("\nUsername: " + userName));
    }

    void unknownAccount()
    {
        Preferences::setEmail(std::nullopt);
        QCOMPARE(SupportMail::gather().userName, QStringLiteral("Unknown"));
        Preferences::setEmail(QStringLiteral("kai@example.com"));
        QCOMPARE(SupportMail::gather().userName, QStringLiteral("kai@example.com"));
    }
};

QTEST_GUILESS_MAIN(SupportMailTest)
#include "SupportMailTest.moc"
