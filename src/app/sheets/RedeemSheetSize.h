#pragma once
// The redeem sheet's size bounds: its content is never laid out smaller than min nor larger than
// max. Each size is made once, when first asked for.

#include <QObject>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

class RedeemSheetSize : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QSizeF min READ min CONSTANT)
    Q_PROPERTY(QSizeF max READ max CONSTANT)

public:
    using QObject::QObject;

    [[nodiscard]] static const QSizeF &min();
    [[nodiscard]] static const QSizeF &max();
};
