#include "WindowFrame.h"

#include "MainQueue.h"

#include <QScreen>

QRect WindowFrame::keepingLowerLeft(const QRect &frame, const QSize &size, const QRect &available)
{
    QRect moved(QPoint(frame.left(), frame.top() + frame.height() - size.height()), size);
    if (available.isValid() && moved.top() < available.top())
        moved.moveTop(available.top());
    return moved;
}

void WindowFrame::apply(QWindow *window, const QSize &size)
{
    if (!window)
        return;
    const QMargins margins = window->frameMargins();
    const QRect available = window->screen() ? window->screen()->availableGeometry() : QRect();
    const QRect frame = keepingLowerLeft(window->frameGeometry(), size, available);
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

void WindowFrame::placeSheet(QWindow *sheet, const QSizeF &size)
{
    const QWindow *owner = sheet ? sheet->transientParent() : nullptr;
    if (!owner)
        return;
    const QSize wanted = size.isEmpty() ? sheet->size() : size.toSize();
    const QRect area = owner->geometry();
    sheet->setGeometry(QRect(QPoint(area.left() + (area.width() - wanted.width()) / 2, area.top()), wanted));
}

void WindowFrame::showSheet(QWindow *sheet)
{
    if (!sheet)
        return;
    placeSheet(sheet);
    sheet->show();
    sheet->requestActivate();
}

void WindowFrame::hideSheet(QWindow *sheet)
{
    if (!sheet)
        return;
    sheet->hide();
    if (QWindow *owner = sheet->transientParent())
        owner->requestActivate();
}
