#include "BackgroundWork.h"

#include "CrashReporter.h"
#include "MainQueue.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThreadPool>

#include <array>
#include <map>

namespace {

// Main thread only. Never freed: results may still arrive while the process ends.
struct Deliveries
{
    quint64 handedIn = 0;
    quint64 delivered = 0;
    std::map<quint64, std::function<void()>> ready; // by the order of handing in
};

Deliveries &deliveries(BackgroundWork::Lane lane)
{
    static auto *const lanes = new std::array<Deliveries, 2>;
    return (*lanes)[size_t(lane)];
}

void deliverReady(BackgroundWork::Lane lane)
{
    Deliveries &d = deliveries(lane);
    for (auto next = d.ready.find(d.delivered); next != d.ready.end(); next = d.ready.find(d.delivered)) {
        const std::function<void()> then = std::move(next->second);
        d.ready.erase(next);
        ++d.delivered;
        then();
    }
}

// Whether results can still be posted to the application object: false from its destruction on.
struct Receiver
{
    QMutex mutex;
    bool open = true;
};

Receiver &receiver()
{
    static auto *const instance = [] {
        auto *made = new Receiver;
        qAddPostRoutine([] {
            const QMutexLocker lock(&receiver().mutex);
            receiver().open = false;
        });
        return made;
    }();
    return *instance;
}

// Never waited for and never freed, unlike Qt's global pool, which the application object waits for
// as it is destroyed: a long parse left running never holds up quitting.
QThreadPool &pool()
{
    static auto *const instance = new QThreadPool;
    return *instance;
}

} // namespace

namespace BackgroundWork::Detail {

void start(std::function<void()> job)
{
    pool().start([job = std::move(job)]() mutable {
        CrashReporter::prepareThread();
        job();
        job = nullptr;
    });
}

void submit(Lane lane, std::function<std::function<void()>()> job)
{
    Q_ASSERT(MainQueue::isMainThread());
    receiver();
    const quint64 ticket = deliveries(lane).handedIn++;
    start([lane, ticket, job = std::move(job)]() mutable {
        std::function<void()> then = job();
        job = nullptr;
        const QMutexLocker lock(&receiver().mutex);
        if (!receiver().open)
            return;
        MainQueue::async([lane, ticket, then = std::move(then)]() mutable {
            deliveries(lane).ready.emplace(ticket, std::move(then));
            deliverReady(lane);
        });
    });
}

} // namespace BackgroundWork::Detail
