#include "BackgroundWork.h"

#include "MainQueue.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <map>

namespace {

// Main thread only. Never freed: results may still arrive while the process ends.
struct Deliveries
{
    quint64 handedIn = 0;
    quint64 delivered = 0;
    std::map<quint64, std::function<void()>> ready; // by the order of handing in
};

Deliveries &deliveries()
{
    static auto *const instance = new Deliveries;
    return *instance;
}

void deliverReady()
{
    Deliveries &d = deliveries();
    for (auto next = d.ready.find(d.delivered); next != d.ready.end(); next = d.ready.find(d.delivered)) {
        const std::function<void()> then = std::move(next->second);
        d.ready.erase(next);
        ++d.delivered;
        then();
    }
}

} // namespace

namespace BackgroundWork::Detail {

void start(std::function<void()> job)
{
    static const bool waitsAtExit = [] {
        // Done while the application object still takes the results it is sent.
        qAddPostRoutine([] { QThreadPool::globalInstance()->waitForDone(); });
        return true;
    }();
    Q_UNUSED(waitsAtExit);
    QThreadPool::globalInstance()->start(std::move(job));
}

void submit(std::function<std::function<void()>()> job)
{
    Q_ASSERT(MainQueue::isMainThread());
    const quint64 ticket = deliveries().handedIn++;
    start([ticket, job = std::move(job)]() mutable {
        std::function<void()> then = job();
        job = nullptr;
        MainQueue::async([ticket, then = std::move(then)]() mutable {
            deliveries().ready.emplace(ticket, std::move(then));
            deliverReady();
        });
    });
}

} // namespace BackgroundWork::Detail
