#pragma once
// The pricing sheet's cards: a plan list controller of the sheet's own, made when the sheet is made
// and gone with it; one row per plan in the service's order with the texts of its card; the
// purchase, which opens the plan's checkout page only when that is a web address.

#include "PricingController.h"
#include "PricingView.h"
#include "Services.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QQmlParserStatus>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class PricingViewModel : public QAbstractListModel, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(Services *services READ services WRITE setServices NOTIFY servicesChanged REQUIRED)
    Q_PROPERTY(PricingController *controller READ controller NOTIFY controllerChanged)
    Q_PROPERTY(bool empty READ empty NOTIFY emptyChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, DurationRole, PriceLineRole, BenefitLinesRole };
    Q_ENUM(Role)

    explicit PricingViewModel(QObject *parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    [[nodiscard]] Services *services() const { return m_services; }
    void setServices(Services *value);
    // Made once, when the sheet is complete, which starts the first fetch; null before.
    [[nodiscard]] PricingController *controller() const { return m_controller; }
    // No plan to show: the failure text and Retry stand in for the cards.
    [[nodiscard]] bool empty() const { return m_plans.isEmpty(); }

    // "$" directly before the service's price text, whatever that holds.
    [[nodiscard]] static QString priceLine(const QString &price);
    // The address to open for a plan: an http or https address with a host, else an empty one.
    [[nodiscard]] static QUrl checkoutUrl(const QString &purchaseURL);

    // Starts one more fetch; the screen changes when a list is published.
    Q_INVOKABLE void retry();
    // Opens the checkout page of the plan in that row in the browser; false when nothing was opened.
    Q_INVOKABLE bool buy(int row) const;

    void classBegin() override {}
    void componentComplete() override;

Q_SIGNALS:
    void servicesChanged();
    void controllerChanged();
    void emptyChanged();

private:
    void showPlans();

    QPointer<Services> m_services;
    PricingController *m_controller = nullptr;
    QList<PricingView::Plan> m_plans;
};
