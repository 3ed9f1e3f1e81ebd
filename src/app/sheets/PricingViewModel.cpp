#include "PricingViewModel.h"

#include "WebAddress.h"
#include "Workspace.h"

PricingViewModel::PricingViewModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int PricingViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_plans.size());
}

QVariant PricingViewModel::data(const QModelIndex &index, int role) const
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

QHash<int, QByteArray> PricingViewModel::roleNames() const
{
    return {{NameRole, "name"},
            {DurationRole, "duration"},
            {PriceLineRole, "priceLine"},
            {BenefitLinesRole, "benefitLines"}};
}

void PricingViewModel::setServices(Services *value)
{
    if (m_services == value)
        return;
    m_services = value;
    Q_EMIT servicesChanged();
}

QString PricingViewModel::priceLine(const QString &price)
{
    return QStringLiteral("$") + price;
}

QUrl PricingViewModel::checkoutUrl(const QString &purchaseURL)
{
    return WebAddress::http(purchaseURL).value_or(QUrl());
}

void PricingViewModel::retry()
{
    if (m_controller)
        m_controller->fetchPlans();
}

bool PricingViewModel::buy(int row) const
{
    if (row < 0 || row >= m_plans.size())
        return false;
    const QUrl url = checkoutUrl(m_plans.at(row).purchaseURL);
    return !url.isEmpty() && Workspace::open(url);
}

void PricingViewModel::componentComplete()
{
    if (m_controller || !m_services)
        return;
    m_controller = m_services->newPricingController(this);
    connect(m_controller, &PricingController::plansChanged, this, &PricingViewModel::showPlans);
    Q_EMIT controllerChanged();
}

void PricingViewModel::showPlans()
{
    const bool wasEmpty = empty();
    beginResetModel();
    m_plans = m_controller->plans();
    endResetModel();
    if (empty() != wasEmpty)
        Q_EMIT emptyChanged();
}
