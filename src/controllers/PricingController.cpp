#include "PricingController.h"

#include "BackgroundWork.h"
#include "Client.h"
#include "Configuration.h"
#include "Console.h"
#include "JSON.h"
#include "Preferences.h"

#include <QPointer>
#include <QUrl>

#include <optional>

namespace {

const QStringList benefitLines = {
    QStringLiteral("5 devices"),
    QStringLiteral("Unlimited access to all VPN servers"),
    QStringLiteral("24/7 Technical support"),
    QStringLiteral("Premium support"),
};

QString checkoutAddress()
{
    return QStringLiteral("https://") + Configuration::webHost() + QStringLiteral("/checkout");
}

// email is already escaped for the query.
std::optional<PricingView::Plan> planFrom(const JSON &element, const QString &email)
{
    const std::optional<QString> name = element[QStringLiteral("name")].string();
    const std::optional<qint64> totalDays = element[QStringLiteral("total_days")].integer();
    const std::optional<bool> isTrial = element[QStringLiteral("is_trial")].boolean();
    const std::optional<bool> isUnlimited = element[QStringLiteral("is_unlimited")].boolean();
    const std::optional<QString> price = element[QStringLiteral("price")].string();
    if (!name || !totalDays || !isTrial || !isUnlimited || !price)
        return std::nullopt;
    if (*isTrial && *name == QLatin1StringView("Trial"))
        return std::nullopt;

    PricingView::Plan plan;
    if (*isUnlimited) {
        plan.name = QStringLiteral("Lifetime");
        plan.purchaseURL = checkoutAddress() + QStringLiteral("?plan=lifetime&email=") + email;
    } else {
        plan.name = *name;
        plan.purchaseURL = checkoutAddress() + QStringLiteral("?plan=")
            + PricingController::convertDaysToReadableFormat(*totalDays) + QStringLiteral("&email=") + email;
    }
    plan.duration =
        *totalDays == 0 ? QStringLiteral("Forever") : QString::number(*totalDays) + QStringLiteral(" days");
    plan.price = *price;
    plan.benefits = benefitLines;
    return plan;
}

// The signed-in user's e-mail as a query value: "+" would arrive as a blank and "&" would cut it
// short, so such characters are escaped; an ordinary address reads as it stands.
QString checkoutEmail()
{
    return QString::fromLatin1(QUrl::toPercentEncoding(
        Preferences::keychainValue(Preferences::Keys::email).value_or(QString()), QByteArrayLiteral("@")));
}

// The cards of an array answer in the service's order; nothing when the answer is not an array.
std::optional<QList<PricingView::Plan>> plansFrom(const JSON &json, const QString &email)
{
    const std::optional<QList<JSON>> elements = json.array();
    if (!elements)
        return std::nullopt;
    QList<PricingView::Plan> plans;
    plans.reserve(elements->size());
    for (const JSON &element : *elements) {
        if (std::optional<PricingView::Plan> plan = planFrom(element, email))
            plans.append(std::move(*plan));
    }
    return plans;
}

} // namespace

PricingController::PricingController(Client &client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    fetchPlans();
}

void PricingController::setPlans(const QList<PricingView::Plan> &value)
{
    m_plans = value;
    Q_EMIT plansChanged();
}

QString PricingController::convertDaysToReadableFormat(qint64 totalDays)
{
    if (totalDays >= 365)
        return QString::number(totalDays / 365) + u'y';
    if (totalDays >= 30)
        return QString::number(totalDays / 30) + u'm';
    if (totalDays >= 7)
        return QString::number(totalDays / 7) + u'w';
    return QString::number(totalDays) + u'd';
}

void PricingController::fetchPlans()
{
    m_client.userPlans([controller = QPointer(this)](std::optional<Error> error, std::optional<JSON> json) {
        if (!controller)
            return;
        if (error) {
            Console::print(QStringLiteral("Error fetching plans: ") + error->localizedDescription());
            return;
        }
        if (!json)
            return;
        // Thousands of plans take longer to decode than a frame lasts.
        BackgroundWork::run(
            [json = std::move(*json), email = checkoutEmail()] { return plansFrom(json, email); },
            [controller](std::optional<QList<PricingView::Plan>> plans) {
                if (controller && plans)
                    controller->setPlans(*plans);
            });
    });
}
