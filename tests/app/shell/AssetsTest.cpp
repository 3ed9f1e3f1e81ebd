#include "Assets.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString flagsFolder = u":/qt/qml/Velmora/assets/flags"_s;

QUrl lookUp(const QString &kind, const QString &name)
{
    if (kind == "symbol"_L1)
        return Assets::symbol(name);
    if (kind == "flag"_L1)
        return Assets::flag(name);
    return Assets::image(name);
}

// Reads the image as a QML Image does (through the SVG image plugin, at a requested size) and
// counts the pixels it painted.
int paintedPixels(const QString &file, const QSize &size)
{
    QImageReader reader(file);
    reader.setScaledSize(size);
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    if (image.size() != size)
        return 0;
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(line[x]) > 0 ? 1 : 0;
    }
    return painted;
}

} // namespace

class AssetsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        // Qt's SVG renderer warns about every element and reference it leaves out; a flag or symbol
        // that needs one would be drawn incompletely.
        QTest::failOnWarning(QRegularExpression(u".*"_s));
    }

    void flagByCountryCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("file");
        QTest::newRow("lower case") << u"de"_s << u"de"_s;
        QTest::newRow("upper case") << u"DE"_s << u"de"_s;
        QTest::newRow("mixed case subdivision") << u"Gb-Sct"_s << u"gb-sct"_s;
        QTest::newRow("uk is the British flag") << u"uk"_s << u"gb"_s;
        QTest::newRow("UK") << u"UK"_s << u"gb"_s;
        QTest::newRow("union") << u"EU"_s << u"eu"_s;
        QTest::newRow("Wales") << u"gb-wls"_s << u"gb-wls"_s;
    }

    void flagByCountryCode()
    {
        QFETCH(QString, code);
        QFETCH(QString, file);
        QCOMPARE(Assets::flag(code), QUrl(u"qrc%1/%2.svg"_s.arg(flagsFolder, file)));
    }

    void unknownOrHostileNameHasNoImage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("code without a flag") << u"flag"_s << u"zz"_s;
        QTest::newRow("unknown-flag placeholder") << u"flag"_s << u"xx"_s;
        QTest::newRow("three letters") << u"flag"_s << u"deu"_s;
        QTest::newRow("empty") << u"flag"_s << QString();
        QTest::newRow("parent folder") << u"flag"_s << u"../x"_s;
        QTest::newRow("climbing out") << u"flag"_s << u"de/../../etc"_s;
        QTest::newRow("blank") << u"flag"_s << u"a b"_s;
        QTest::newRow("encoded dots") << u"flag"_s << u"%2e%2e"_s;
        QTest::newRow("file name") << u"flag"_s << u"de.svg"_s;
        QTest::newRow("trailing line break") << u"flag"_s << u"de\n"_s;
        QTest::newRow("NUL") << u"flag"_s << u"de\0x"_s;
        QTest::newRow("absolute path") << u"flag"_s << u"/etc/passwd"_s;
        QTest::newRow("licence file") << u"flag"_s << u"LICENSE-flag-icons"_s;
        QTest::newRow("symbol reaching a flag") << u"symbol"_s << u"../flags/de"_s;
        QTest::newRow("symbol in other case") << u"symbol"_s << u"MagnifyingGlass"_s;
        QTest::newRow("unknown symbol") << u"symbol"_s << u"xmark"_s;
        QTest::newRow("image reaching a symbol") << u"image"_s << u"..%2Fsymbols%2Fcart"_s;
        QTest::newRow("unknown image") << u"image"_s << u"iconUnknown"_s;
    }

    void unknownOrHostileNameHasNoImage()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QCOMPARE(lookUp(kind, name), QUrl());
    }

    void screensImagesRender_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        for (const char *symbol :
             {"xmark.circle.fill", "magnifyingglass", "person.crop.circle.fill", "eye.fill", "eye.slash.fill",
              "arrow.right", "gearshape", "cart", "envelope", "rectangle.portrait.and.arrow.right",
              "rectangle.and.pencil.and.ellipsis.rtl", "checkmark.shield.fill"})
            QTest::newRow(symbol) << u"symbol"_s << QString::fromLatin1(symbol);
        for (const char *image :
             {"logo", "rightBarLogo", "notConnectedButton", "connectingButton", "connectedButton",
              "AppIconMacOS", "iconInvalid", "iconConnecting", "iconConnected", "iconDisconnecting"})
            QTest::newRow(image) << u"image"_s << QString::fromLatin1(image);
    }

    void screensImagesRender()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        const QUrl url = lookUp(kind, name);
        QVERIFY(!url.isEmpty());
        QCOMPARE(url.scheme(), u"qrc"_s);
        QVERIFY(paintedPixels(u":"_s + url.path(), QSize(40, 40)) > 40 * 40 / 10);
    }

    void everyFlagRenders()
    {
        const QStringList flags = QDir(flagsFolder).entryList({u"*.svg"_s});
        QVERIFY2(flags.size() > 250, qPrintable(u"%1 flags"_s.arg(flags.size())));
        for (const QString &file : flags) {
            const QString path = flagsFolder + u'/' + file;
            QFile svg(path);
            QVERIFY(svg.open(QIODevice::ReadOnly));
            // Elements that Qt's renderer drops without a word.
            static const QRegularExpression silentlyDropped(u"<(marker|mask|filter|pattern)\\b"_s);
            QVERIFY2(!silentlyDropped.match(QString::fromUtf8(svg.readAll())).hasMatch(), qPrintable(file));
            const QSvgRenderer renderer(path);
            QVERIFY2(renderer.isValid(), qPrintable(file));
            const QRectF box = renderer.viewBoxF();
            QVERIFY2(qFuzzyCompare(box.width() * 3, box.height() * 4), qPrintable(file));
            // Nepal's, the one flag that is not a rectangle, fills a little over a third of its area.
            QVERIFY2(paintedPixels(path, QSize(40, 30)) > 40 * 30 / 4, qPrintable(file));
        }
    }
};

QTEST_MAIN(AssetsTest)
#include "AssetsTest.moc"
