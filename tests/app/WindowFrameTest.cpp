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
        QTest::addColumn<QRect>("result");
        QTest::newRow("taller") << QRect(10, 400, 300, 600) << QSize(800, 700) << QRect(10, 300, 800, 700);
        QTest::newRow("shorter") << QRect(10, 100, 800, 600) << QSize(800, 500) << QRect(10, 200, 800, 500);
        QTest::newRow("same") << QRect(-5, 20, 800, 500) << QSize(800, 500) << QRect(-5, 20, 800, 500);
        QTest::newRow("above the screen")
            << QRect(0, 0, 300, 200) << QSize(300, 600) << QRect(0, -400, 300, 600);
    }

    void keepingLowerLeft()
    {
        QFETCH(QRect, frame);
        QFETCH(QSize, size);
        QFETCH(QRect, result);
        const QRect moved = WindowFrame::keepingLowerLeft(frame, size);
        QCOMPARE(moved, result);
        QCOMPARE(moved.bottomLeft(), frame.bottomLeft());
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
