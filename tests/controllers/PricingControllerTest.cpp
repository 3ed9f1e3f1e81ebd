#include "PricingController.h"
#include "Console.h"
#include "Preferences.h"
#include "StandInService.h"
#include "TestHelpers.h"

#include <QtTest>

namespace {

QList<PricingView::Plan> publishedPlans(PricingController &controller)
{
    QSignalSpy published(&controller, &PricingController::plansChanged);
    return published.wait() ? controller.plans()
                            : QList<PricingView::Plan>{{"none published", {}, {}, {}, {}}};
}

} // namespace

class PricingControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(TestHelpers::startForClient(m_service));
        qputenv("VELMORA_WEB_HOST", "shop.example");
        Preferences::setToken(QString::fromLatin1(m_service.addAccount("kai@example.com", "secret-7")));
    }

    void planCode()
    {
        const QList<std::pair<qint64, QString>> examples{
            {365, "1y"}, {730, "2y"}, {400, "1y"}, {364, "12m"}, {180, "6m"}, {31, "1m"}, {30, "1m"},
            {29, "4w"},  {14, "2w"},  {7, "1w"},   {6, "6d"},    {0, "0d"},   {-5, "-5d"}};
        for (const auto &[days, code] : examples)
            QCOMPARE(PricingController::convertDaysToReadableFormat(days), code);
    }

    void buildsPlans_data()
    {
        QTest::addColumn<QByteArray>("elements"); // none: the service's own list
        QTest::addColumn<std::optional<QString>>("email");
        QTest::addColumn<QStringList>(
            "cards"); // name, duration, price and the checkout address's query of each plan
        const auto row = [](const char *name, const QByteArray &elements, const std::optional<QString> &email,
                            const QStringList &cards) { QTest::newRow(name) << elements << email << cards; };
        row("the service's list", {}, "Kai.Kim@Example.com",
            {"Monthly|30 days|9.99|plan=1m&email=Kai.Kim@Example.com",
             "Yearly|365 days|59.99|plan=1y&email=Kai.Kim@Example.com",
             "Lifetime|Forever|149.99|plan=lifetime&email=Kai.Kim@Example.com"});
        row("required fields", R"(
            {"name": "A", "total_days": 30, "is_unlimited": false, "price": "1"},
            {"name": "B", "total_days": 30, "is_trial": false, "price": "1"},
            {"name": "C", "total_days": 30, "is_trial": false, "is_unlimited": "false", "price": "1"},
            {"name": "D", "total_days": 30, "is_trial": false, "is_unlimited": false, "price": 1},
            {"name": "E", "is_trial": false, "is_unlimited": false, "price": "1"})",
            {}, {});
        row("trial by name and flag only", R"(
            {"name": "Trial", "total_days": 7, "is_trial": false, "is_unlimited": false, "price": "0"},
            {"name": "trial", "total_days": 7, "is_trial": true, "is_unlimited": false, "price": "0"},
            {"name": "Trial", "total_days": 7, "is_trial": true, "is_unlimited": false, "price": "0"})",
            {}, {"Trial|7 days|0|plan=1w&email=", "trial|7 days|0|plan=1w&email="});
        row("days as given", R"(
            {"name": "Forever", "total_days": 365, "is_trial": false, "is_unlimited": true, "price": "99"},
            {"name": "Zero", "total_days": 0, "is_trial": false, "is_unlimited": false, "price": "0"},
            {"name": "Same", "total_days": 45.9, "is_trial": false, "is_unlimited": false, "price": "5"},
            {"name": "Same", "total_days": true, "is_trial": false, "is_unlimited": false, "price": "6"})",
            "k+1&x=y@b.co",
            {"Lifetime|365 days|99|plan=lifetime&email=k%2B1%26x%3Dy@b.co",
             "Zero|Forever|0|plan=0d&email=k%2B1%26x%3Dy@b.co",
             "Same|45 days|5|plan=1m&email=k%2B1%26x%3Dy@b.co",
             "Same|1 days|6|plan=1d&email=k%2B1%26x%3Dy@b.co"});
    }

    void buildsPlans()
    {
        QFETCH(QByteArray, elements);
        QFETCH(std::optional<QString>, email);
        QFETCH(QStringList, cards);
        Preferences::setEmail(email);
        if (!elements.isNull())
            m_service.answerNext("vpn/plans", TestHelpers::jsonAnswer(200, "[" + elements + "]"));
        PricingController controller;
        QStringList built;
        for (const PricingView::Plan &plan : publishedPlans(controller)) {
            QVERIFY(plan.purchaseURL.startsWith("https://shop.example/checkout?"));
            const QString query = plan.purchaseURL.section(u'?', 1);
            built.append(QStringList{plan.name, plan.duration, plan.price, query}.join(u'|'));
            QCOMPARE(plan.benefits,
                     QStringList({"5 devices", "Unlimited access to all VPN servers",
                                  "24/7 Technical support", "Premium support"}));
        }
        QCOMPARE(built, cards);
    }

    void failedFetchKeepsTheList()
    {
        PricingController controller;
        const QList<PricingView::Plan> plans = publishedPlans(controller);
        QCOMPARE(plans.size(), 3);

        Console::Capture console;
        m_service.answerAlways("vpn/plans", TestHelpers::closedConnection());
        controller.fetchPlans();
        QTRY_COMPARE(console.lines().filter("Error fetching plans: ").size(), 1);
        m_service.answerAlways("vpn/plans", TestHelpers::jsonAnswer(200, R"({"name": "not a list"})"));
        controller.fetchPlans();
        QSignalSpy published(&controller, &PricingController::plansChanged);
        QVERIFY(!published.wait(300));
        QCOMPARE(controller.plans(), plans);

        // The answer for a controller that has gone is dropped, without a line.
        m_service.answerAlways("vpn/plans", TestHelpers::closedConnection());
        delete new PricingController;
        QTest::qWait(300);
        QCOMPARE(console.lines().filter("Error fetching plans: ").size(), 1);
    }

private:
    StandInService m_service;
};

QTEST_GUILESS_MAIN(PricingControllerTest)
#include "PricingControllerTest.moc"
