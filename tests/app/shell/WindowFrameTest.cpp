#include "WindowFrame.h"

#include <QWindow>
#include <QtTest>

// Whole-frame resizing that keeps the lower-left corner, with Qt's top-left coordinates.
class WindowFrameTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void keepingLowerLeft_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("result");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("taller") << QRect(10, 400, 300, 600) << QSize(800, 700) << screen
                                << QRect(10, 300, 800, 700);
        QTest::newRow("shorter") << QRect(10, 100, 800, 600) << QSize(800, 500) << screen
                                 << QRect(10, 200, 800, 500);
        QTest::newRow("same") << QRect(-5, 20, 800, 500) << QSize(800, 500) << screen
                              << QRect(-5, 20, 800, 500);
        QTest::newRow("no screen") << QRect(0, 0, 300, 200) << QSize(300, 600) << QRect()
                                   << QRect(0, -400, 300, 600);
        // The title bar would leave the screen: the window grows downwards instead.
        QTest::newRow("above the screen")
            << QRect(0, 0, 300, 200) << QSize(300, 600) << screen << QRect(0, 0, 300, 600);
        QTest::newRow("below a panel")
            << QRect(0, 40, 800, 500) << QSize(300, 600) << QRect(0, 32, 1280, 768) << QRect(0, 32, 300, 600);
    }

    void keepingLowerLeft()
    {
        QFETCH(QRect, frame);
        QFETCH(QSize, size);
        QFETCH(QRect, available);
        QFETCH(QRect, result);
        QCOMPARE(WindowFrame::keepingLowerLeft(frame, size, available), result);
    }

    void sheetGeometry_data()
    {
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("result");
        QTest::newRow("centred") << QRect(100, 50, 800, 600) << QSize(600, 400) << QRect(200, 50, 600, 400);
        QTest::newRow("compact at the left edge")
            << QRect(0, 28, 300, 600) << QSize(600, 400) << QRect(0, 28, 600, 400);
        QTest::newRow("compact at the right edge")
            << QRect(980, 28, 300, 600) << QSize(600, 400) << QRect(680, 28, 600, 400);
        QTest::newRow("low on the screen")
            << QRect(100, 700, 800, 100) << QSize(600, 400) << QRect(200, 400, 600, 400);
        QTest::newRow("wider than the screen")
            << QRect(100, 50, 800, 600) << QSize(32767, 400) << QRect(0, 50, 1280, 400);
        QTest::newRow("taller than the screen")
            << QRect(100, 50, 800, 600) << QSize(600, 5000) << QRect(200, 0, 600, 800);
    }

    void sheetGeometry()
    {
        QFETCH(QRect, owner);
        QFETCH(QSize, size);
        QFETCH(QRect, result);
        QCOMPARE(WindowFrame::sheetGeometry(owner, size, QRect(0, 0, 1280, 800)), result);
    }

    // The size is the frame's, title bar and borders included, and it comes after the given turns.
    void resizeLater()
    {
        QWindow window;
        window.setGeometry(100, 300, 400, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.frameGeometry();

        WindowFrame::resize(&window, 800, 500, 2);
        QCOMPARE(window.frameGeometry(), before);
        QTRY_COMPARE(window.frameGeometry().size(), QSize(800, 500));
        QCOMPARE(window.frameGeometry().bottomLeft(), before.bottomLeft());
        QCOMPARE(window.size(), QSize(800, 500).shrunkBy(window.frameMargins()));

        WindowFrame::resize(nullptr, 800, 500);
        QTest::qWait(0);
    }
};

QTEST_MAIN(WindowFrameTest)
#include "WindowFrameTest.moc"
