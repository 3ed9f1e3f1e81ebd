// One search keystroke over 6,000 regions: the key through the filter and the list model (the key's
// own handling), then the frame that shows the new list (polish, sync, render). Their sum is the
// keystroke's work; the latency to the drawn frame also holds the wait for the frame's turn.
// Build in the release preset: cmake --preset release && cmake --build --preset release --target
// region_search

#include "RegionListModel.h"
#include "ScreenBench.h"
#include "Statistics.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The moment the window starts a frame.
class FrameStart : public QObject
{
public:
    explicit FrameStart(const QElapsedTimer &clock)
        : m_clock(clock)
    {
    }
    qint64 at = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest && at < 0)
            at = m_clock.nsecsElapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer &m_clock;
};

struct Figures
{
    std::vector<double> key, frame, work, latency;
};

void print(const char *name, std::vector<double> samples)
{
    std::printf("%-36s median %6.3f   p90 %6.3f   p99 %6.3f   max %6.3f\n", name, median(samples),
                percentile(samples, 0.9), percentile(samples, 0.99), percentile(samples, 1.0));
}

} // namespace

int main(int argc, char *argv[])
{
    return ScreenBench::run(argc, argv, [](QQuickView &view) {
        Screen::click(Screen::find(view, QStringLiteral("searchField")));
        QTest::qWait(100);

        QElapsedTimer clock;
        clock.start();
        FrameStart frameStart(clock);
        view.installEventFilter(&frameStart);
        qint64 swapped = -1;
        QObject::connect(
            &view, &QQuickWindow::frameSwapped, &view, [&] { swapped = clock.nsecsElapsed(); },
            Qt::DirectConnection);

        Figures figures;
        const QList<QByteArray> words{"united", "berlin", "a", "sa", "new y", "optimal", "zz"};
        for (int round = 0; round < 5; ++round) {
            for (const QByteArray &word : words) {
                // Typed letter by letter, then erased.
                const QByteArray keys = word + QByteArray(word.size(), '\b');
                for (const char key : keys) {
                    frameStart.at = -1;
                    swapped = -1;
                    const qint64 start = clock.nsecsElapsed();
                    if (key == '\b')
                        QTest::keyClick(&view, Qt::Key_Backspace);
                    else
                        QTest::keyClick(&view, key);
                    const qint64 handled = clock.nsecsElapsed();
                    while (swapped < 0 || frameStart.at < 0)
                        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                    figures.key.push_back(double(handled - start) / 1e6);
                    figures.frame.push_back(double(swapped - frameStart.at) / 1e6);
                    figures.work.push_back(double(handled - start + swapped - frameStart.at) / 1e6);
                    figures.latency.push_back(double(swapped - start) / 1e6);
                }
            }
        }

        // The filter and the model's update alone, for the same terms.
        auto *model = view.rootObject()->findChild<RegionListModel *>(QStringLiteral("regionModel"));
        std::vector<double> filter;
        for (const QByteArray &word : words) {
            for (qsizetype i = 1; i <= word.size(); ++i) {
                const qint64 start = clock.nsecsElapsed();
                model->setSearchTerm(QString::fromLatin1(word.left(i)));
                filter.push_back(double(clock.nsecsElapsed() - start) / 1e6);
            }
        }
        model->setSearchTerm(QString());

        // A new catalogue as the controller publishes it: names folded anew, the list reset.
        auto *ctrl = view.rootObject()->property("ctrl").value<VelmoraController *>();
        std::vector<double> published;
        for (int i = 0; i < 10; ++i) {
            const qint64 start = clock.nsecsElapsed();
            ctrl->setRegions(ctrl->regions());
            published.push_back(double(clock.nsecsElapsed() - start) / 1e6);
        }

        std::printf("%lld regions, %zu keystrokes, times in ms:\n", qlonglong(ScreenBench::regionCount),
                    figures.work.size());
        print("filter and model update alone", filter);
        print("key handled (filter, model)", figures.key);
        print("next frame (polish, sync, render)", figures.frame);
        print("keystroke work (budget 4 ms)", figures.work);
        print("latency to the drawn frame", figures.latency);
        print("a catalogue published (not a keystroke)", published);
        // The odd maximum is the machine's doing (preemption); the 99th percentile has to hold.
        std::sort(figures.work.begin(), figures.work.end());
        return figures.work[figures.work.size() * 99 / 100] <= 4 ? 0 : 2;
    });
}
