#pragma once
// The main queue: work handed to the main thread's event loop, run on a later turn.

#include <functional>

namespace MainQueue {

// Queues fn on the main thread's event loop; callable from any thread. Needs a QCoreApplication.
void async(std::function<void()> fn);

// True on the thread that runs the main event loop.
[[nodiscard]] bool isMainThread();

} // namespace MainQueue
