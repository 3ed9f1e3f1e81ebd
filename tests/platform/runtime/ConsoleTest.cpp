#include "Console.h"

#include <QtTest>

class ConsoleTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void valuesCannotBreakTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("written");
        const auto row = [](const char *name, const QString &line, const QString &written) {
            QTest::newRow(name) << line << written;
        };
        const QString plain =
            QStringLiteral("Z\u00fcrich \u05e9\u05dc\u05d5\u05dd \U0001F468\u200D\U0001F469");
        row("plain text as it is", plain, plain);
        row("line feed", "server: a\nStart VPN", "server: a\\nStart VPN");
        row("carriage return and tab", "a\r\tb", "a\\r\\tb");
        row("backslash", R"(a\nb)", R"(a\\nb)");
        row("other C0 and DEL", QString("\x1b[2K") + QChar(0) + QChar(0x7f), "\\u{1B}[2K\\u{0}\\u{7F}");
        row("C1 next line", "a\u0085b", "a\\u{85}b");
        row("line and paragraph separators", "a\u2028b\u2029c", "a\\u{2028}b\\u{2029}c");
        row("bidirectional override", "ok \u202Egnp.exe\u2066", "ok \\u{202E}gnp.exe\\u{2066}");
    }

    void valuesCannotBreakTheLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, written);
        Console::Capture capture;
        Console::print(line);
        QCOMPARE(capture.lines(), QStringList{written});
    }

    void anEntryKeepsItsOwnLines()
    {
        Console::Capture capture;
        Console::printLines({"GET: Optional(https://example.com/)", " <HTTP response: 200 { X: a\nb }>"});
        QCOMPARE(capture.lines(),
                 QStringList{"GET: Optional(https://example.com/)\n <HTTP response: 200 { X: a\\nb }>"});
    }
};

QTEST_GUILESS_MAIN(ConsoleTest)
#include "ConsoleTest.moc"
