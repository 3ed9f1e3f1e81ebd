#include "WindowFrame.h"

#include "MainQueue.h"

QRect WindowFrame::keepingLowerLeft(const QRect &frame, const QSize &size)
{
    return QRect(QPoint(frame.left(), frame.top() + frame.height() - size.height()), size);
}

void WindowFrame::apply(QWindow *window, const QSize &size)
{
    if (!window)
        return;
    const QMargins margins = window->frameMargins();
    const QRect frame = keepingLowerLeft(window->frameGeometry(), size);
    window->setGeometry(frame.marginsRemoved(margins));
}

void WindowFrame::resize(QWindow *window, int width, int height, int turns)
{
    QPointer<QWindow> target(window);
    if (turns <= 1) {
        MainQueue::async([target, width, height] { apply(target, QSize(width, height)); });
        return;
    }
    MainQueue::async([target, width, height, turns] { resize(target, width, height, turns - 1); });
}
