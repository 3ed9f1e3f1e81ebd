#pragma once
// The pricing screen's plan list: fetches the service's plans and publishes them as cards, each
// with the checkout address for the signed-in user.

#include "Client.h"
#include "PricingView.h"

#include <QList>
#include <QObject>
#include <QString>

class PricingController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<PricingView::Plan> plans READ plans WRITE setPlans NOTIFY plansChanged)

public:
    // Starts the first fetch.
    explicit PricingController(Client &client = Client::shared(), QObject *parent = nullptr);

    [[nodiscard]] QList<PricingView::Plan> plans() const { return m_plans; }
    void setPlans(const QList<PricingView::Plan> &value);

    // The plan code of the checkout address for a number of days: years, months, weeks or days.
    [[nodiscard]] static QString convertDaysToReadableFormat(qint64 totalDays);

    // Starts one more fetch; its list replaces the published one when the answer is an array.
    Q_INVOKABLE void fetchPlans();

Q_SIGNALS:
    void plansChanged();

private:
    Client &m_client;
    QList<PricingView::Plan> m_plans;
};
