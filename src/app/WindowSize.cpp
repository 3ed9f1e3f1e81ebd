#include "WindowSize.h"

const QSizeF &WindowSize::min()
{
    static const QSizeF size(400, 250);
    return size;
}

const QSizeF &WindowSize::max()
{
    static const QSizeF size(600, 350);
    return size;
}
