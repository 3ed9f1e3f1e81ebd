#include "PricingScreen.h"

#include "WebAddress.h"
#include "Workspace.h"

PricingScreen::PricingScreen(QObject *parent)
    : QAbstractListModel(parent)
{
}

int PricingScreen::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_plans.size());
}

QVariant PricingScreen::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PricingView::Plan &plan = m_plans.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return plan.name;
    case DurationRole:
        return plan.duration;
    case PriceLineRole:
        return priceLine(plan.price);
    case BenefitLinesRole: {
        QStringList lines;
        lines.reserve(plan.benefits.size());
        for (const QString &benefit : plan.benefits)
            lines.append(QStringLiteral("• ") + benefit);
        return lines;
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> PricingScreen::roleNames() const
{
    return {{NameRole, "name"},
            {DurationRole, "duration"},
            {PriceLineRole, "priceLine"},
            {BenefitLinesRole, "benefitLines"}};
}

void PricingScreen::setServices(Services *value)
{
    if (m_services == value)
        return;
    m_services = value;
    Q_EMIT servicesChanged();
}

QString PricingScreen::priceLine(const QString &price)
{
    return QStringLiteral("$") + price;
}

QUrl PricingScreen::checkoutUrl(const QString &purchaseURL)
{
    return WebAddress::http(purchaseURL).value_or(QUrl());
}

void PricingScreen::retry()
{
    if (m_controller)
        m_controller->fetchPlans();
}

bool PricingScreen::buy(int row) const
{
    if (row < 0 || row >= m_plans.size())
        return false;
    const QUrl url = checkoutUrl(m_plans.at(row).purchaseURL);
    return !url.isEmpty() && Workspace::open(url);
}

void PricingScreen::componentComplete()
{
    if (m_controller || !m_services)
        return;
    m_controller = m_services->newPricingController(this);
    connect(m_controller, &PricingController::plansChanged, this, &PricingScreen::showPlans);
    Q_EMIT controllerChanged();
}

void PricingScreen::showPlans()
{
    const bool wasEmpty = empty();
    beginResetModel();
    m_plans = m_controller->plans();
    endResetModel();
    if (empty() != wasEmpty)
        Q_EMIT emptyChanged();
}
