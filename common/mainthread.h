// Handing a call from a worker thread to the main (GUI) thread.
#pragma once

#include <functional>

namespace quorvex {

// Runs `fn` on the main thread and waits until it has returned. Returns false when no main
// thread services calls (no application object); then `fn` does not run.
bool RunOnMainThreadSync(const std::function<void()>& fn);

}  // namespace quorvex
