#include "WindowFrame.h"

#include "MainQueue.h"

#include <QScreen>

#include <algorithm>

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
    const QMargins margins = sheet->frameMargins();
    const QSize wanted = (size.isEmpty() ? sheet->size() : size.toSize()).grownBy(margins);
    const QRect available = owner->screen() ? owner->screen()->availableGeometry() : QRect();
    sheet->setGeometry(sheetGeometry(owner->frameGeometry(), wanted, available).marginsRemoved(margins));
}

QRect WindowFrame::sheetGeometry(const QRect &owner, const QSize &size, const QRect &available)
{
    if (!available.isValid())
        return {QPoint(owner.left() + (owner.width() - size.width()) / 2, owner.top()), size};
    // Content larger than the screen scrolls inside the sheet.
    const QSize bounded = size.boundedTo(available.size());
    QRect sheet(QPoint(owner.left() + (owner.width() - bounded.width()) / 2, owner.top()), bounded);
    // A sheet wider than a compact window must not hang off the screen's edge.
    sheet.moveLeft(std::max(available.left(), std::min(sheet.left(), available.right() + 1 - sheet.width())));
    sheet.moveTop(std::max(available.top(), std::min(sheet.top(), available.bottom() + 1 - sheet.height())));
    return sheet;
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
