#pragma once
// One purchasable plan as the pricing screen shows it: the texts of its card and the address of
// the service's checkout page for it.

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

namespace PricingView {

struct Plan
{
    Q_GADGET
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString duration MEMBER duration)
    Q_PROPERTY(QString price MEMBER price)
    Q_PROPERTY(QString purchaseURL MEMBER purchaseURL)
    Q_PROPERTY(QStringList benefits MEMBER benefits)

public:
    QString name;
    QString duration;
    QString price;
    QString purchaseURL;
    QStringList benefits;

    bool operator==(const Plan &other) const = default;
};

} // namespace PricingView

Q_DECLARE_TYPEINFO(PricingView::Plan, Q_RELOCATABLE_TYPE);
