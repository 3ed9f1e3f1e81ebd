// The three sheets on a warm application: the time from the click on the account menu's item to
// the sheet's first frame, median over 50 openings each, against one frame interval of the screen;
// then 200 openings of the pricing sheet, each until its cards show, with the memory they leave
// behind and the plan list controllers still alive. The main screen is up in the full layout with
// 6,000 regions, the stand-in service in a process of its own.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// sheet_open

#include "PricingController.h"
#include "ScreenBench.h"
#include "Statistics.h"

#include <QElapsedTimer>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int openings = 50;
constexpr int warmUp = 5;
constexpr int pricingOpenings = 200;

QQuickWindow *sheetWindow(const QString &name)
{
    for (QWindow *window : QGuiApplication::allWindows()) {
        if (window->objectName() == name)
            return qobject_cast<QQuickWindow *>(window);
    }
    return nullptr;
}

// Opens the menu, then clicks the item; milliseconds from the click to the sheet's first frame.
double openSheet(QQuickView &view, const QString &item, QQuickWindow *sheet)
{
    Screen::click(Screen::find(view, QStringLiteral("accountMenuButton")));
    QQuickItem *menuItem = Screen::find(view, item);
    if (!QTest::qWaitFor([menuItem] { return menuItem->isVisible() && menuItem->opacity() == 1.0; }))
        return -1;
    QTest::qWait(50);
    const QPointF centre = menuItem->mapToScene(QPointF(menuItem->width() / 2, menuItem->height() / 2));
    QElapsedTimer clock;
    qint64 frameAt = -1;
    const auto connection = QObject::connect(sheet, &QQuickWindow::frameSwapped, sheet, [&] {
        if (frameAt < 0)
            frameAt = clock.nsecsElapsed();
    });
    clock.start();
    QTest::mouseClick(&view, Qt::LeftButton, {}, centre.toPoint());
    const bool framed = QTest::qWaitFor([&] { return frameAt >= 0; }, 5000);
    QObject::disconnect(connection);
    return framed ? double(frameAt) / 1e6 : -1;
}

bool closeSheet(VelmoraController *ctrl, const QByteArray &flag, QQuickWindow *sheet)
{
    ctrl->setProperty(flag, false);
    const bool closed = QTest::qWaitFor([sheet] { return !sheet->isVisible(); });
    QTest::qWait(20);
    return closed;
}

} // namespace

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        VelmoraController *ctrl = ScreenWorld::controllerOf(view);
        const double frameInterval = 1000.0 / view.screen()->refreshRate();
        std::printf("frame interval (ms):             %.2f\n", frameInterval);
        bool withinBudget = true;

        struct Sheet
        {
            const char *item;
            const char *window;
            QByteArray flag;
        };
        for (const Sheet &sheet : {Sheet{"redeemItem", "redeemSheet", "showRedeem"},
                                   Sheet{"settingsItem", "settingsSheet", "showSettings"},
                                   Sheet{"pricingItem", "pricingSheet", "showPricing"}}) {
            QQuickWindow *window = sheetWindow(QString::fromLatin1(sheet.window));
            std::vector<double> times;
            for (int i = 0; i < warmUp + openings; ++i) {
                const double ms = openSheet(view, QString::fromLatin1(sheet.item), window);
                if (ms < 0)
                    return 1;
                if (i >= warmUp)
                    times.push_back(ms);
                if (!closeSheet(ctrl, sheet.flag, window))
                    return 1;
            }
            const double middle = median(times);
            withinBudget = withinBudget && middle <= frameInterval;
            std::printf("%-14s click to first frame (ms): median %.2f, min %.2f, max %.2f\n", sheet.window,
                        middle, *std::min_element(times.begin(), times.end()),
                        *std::max_element(times.begin(), times.end()));
        }

        // Memory left behind by pricing sheets, each shown until its plans arrived.
        QQuickWindow *pricing = sheetWindow(QStringLiteral("pricingSheet"));
        int made = 0;
        int freed = 0;
        const auto pricingOnce = [&] {
            ctrl->setShowPricing(true);
            QQuickItem *cards = nullptr;
            const bool shown = QTest::qWaitFor([&] {
                cards = Screen::find(pricing, QStringLiteral("planCards"));
                return cards && cards->isVisible();
            });
            if (auto *controller =
                    Screen::find(pricing, QStringLiteral("pricingView"))->findChild<PricingController *>()) {
                ++made;
                QObject::connect(controller, &QObject::destroyed, [&freed] { ++freed; });
            }
            return closeSheet(ctrl, "showPricing", pricing) && shown;
        };
        for (int i = 0; i < 20; ++i) {
            if (!pricingOnce())
                return 1;
        }
        QTest::qWait(200);
        const qint64 before = ScreenBench::processStatus("VmRSS");
        for (int i = 0; i < pricingOpenings; ++i) {
            if (!pricingOnce())
                return 1;
        }
        QTest::qWait(200);
        const qint64 after = ScreenBench::processStatus("VmRSS");
        std::printf("pricing openings:                %d (after 20 to warm up)\n", pricingOpenings);
        std::printf("VmRSS before / after (kB):       %lld / %lld (growth %lld kB)\n", qlonglong(before),
                    qlonglong(after), qlonglong(after - before));
        std::printf("plan list controllers made / freed: %d / %d\n", made, freed);
        return withinBudget && made == freed ? 0 : 2;
    });
}
