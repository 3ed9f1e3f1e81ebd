#pragma once
// Work too long for one turn of the main loop (parsing, decoding) runs on Qt's thread pool; its
// results come back to the main thread in the order the work was handed in.

#include <functional>
#include <utility>

namespace BackgroundWork {

namespace Detail {
// Runs job on a pool thread.
void start(std::function<void()> job);
// job runs on a pool thread and gives what then runs on the main thread, in the order of submission.
void submit(std::function<std::function<void()>()> job);
} // namespace Detail

// From the main thread: work() runs on a pool thread, and what work held is released there; then,
// on the main thread, after the results of all work handed in before it, then(result) runs.
template <typename Work, typename Then> void run(Work work, Then then)
{
    Detail::submit([work = std::move(work), then = std::move(then)]() mutable -> std::function<void()> {
        return [result = work(), then = std::move(then)]() mutable { then(std::move(result)); };
    });
}

// Lets go of value on a pool thread: the last reference to a large structure takes long to free.
template <typename T> void release(T value)
{
    Detail::start([value = std::move(value)] {});
}

} // namespace BackgroundWork
