#include "RedeemSheetSize.h"

const QSizeF &RedeemSheetSize::min()
{
    static const QSizeF size(400, 250);
    return size;
}

const QSizeF &RedeemSheetSize::max()
{
    static const QSizeF size(600, 350);
    return size;
}
