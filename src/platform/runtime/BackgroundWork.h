#pragma once
// Work too long for one turn of the main loop (parsing, decoding) runs on threads of its own; its
// results come back to the main thread in the order the work was handed in, lane by lane, so that
// a slow update feed never holds up a service answer. Quitting never waits for this work.

#include <functional>
#include <utility>

namespace BackgroundWork {

// Results keep their order among the work of one lane only.
enum class Lane { Service, Updates };

namespace Detail {
// Runs job on a pool thread.
void start(std::function<void()> job);
// job runs on a pool thread and gives what then runs on the main thread, in the lane's order of
// submission.
void submit(Lane lane, std::function<std::function<void()>()> job);
} // namespace Detail

// From the main thread: work() runs on a pool thread, and what work held is released there; then,
// on the main thread, after the results of all work handed in before it in that lane, then(result)
// runs. Results that arrive once the application object is gone are dropped.
template <typename Work, typename Then> void run(Lane lane, Work work, Then then)
{
    Detail::submit(lane, [work = std::move(work), then = std::move(then)]() mutable -> std::function<void()> {
        return [result = work(), then = std::move(then)]() mutable { then(std::move(result)); };
    });
}

// The service's lane.
template <typename Work, typename Then> void run(Work work, Then then)
{
    run(Lane::Service, std::move(work), std::move(then));
}

// Runs work on a pool thread, with nothing to come back.
inline void start(std::function<void()> work)
{
    Detail::start(std::move(work));
}

// Lets go of value on a pool thread: the last reference to a large structure takes long to free.
template <typename T> void release(T value)
{
    Detail::start([value = std::move(value)] {});
}

} // namespace BackgroundWork
