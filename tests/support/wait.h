// Waiting on a condition with a deadline (tests never sleep a fixed time), with or without
// running the Qt loop of the calling thread, and reading a whole file. For tests and benchmarks.
#pragma once

#include <QCoreApplication>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace quorvex::testing {

// Polls `done` every `poll` until it holds or `deadline` passes.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline,
                    std::chrono::milliseconds poll = std::chrono::milliseconds(20)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(poll);
  }
  return true;
}

// Runs the calling thread's Qt event loop until `done` holds or `deadline` passes.
inline bool SpinUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace quorvex::testing
