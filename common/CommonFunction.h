// Deferred calls: run a procedure once on the main thread after a delay.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace quorvex {

enum class TNwTimerIntervalType : uint8_t { titOnce = 0, titMultipleTimes = 1 };

// A short-lived thread that runs OnTicked on the main thread after every interval (once for
// titOnce). It frees itself when it ends: nobody may touch it after Start.
class TNwTimerThread {
 public:
  TNwTimerThread(bool Suspend, uint32_t Interval, TNwTimerIntervalType IntervalType);
  TNwTimerThread(const TNwTimerThread&) = delete;
  TNwTimerThread& operator=(const TNwTimerThread&) = delete;

  void Start();
  // Asks the thread to stop and wakes it at once.
  void FinishThreadExecution();

  std::function<void()> OnTicked;

 private:
  ~TNwTimerThread() = default;
  void Execute();

  std::mutex FLock;
  std::condition_variable FTickEvent;
  bool FTicked = false;
  std::atomic<bool> FTerminated{false};
  uint32_t FInterval;
  TNwTimerIntervalType FIntervalType;
};

// Runs `Fun` once on the main thread, no earlier than `delay_ms` from now. It cannot be
// cancelled. An exception from `Fun` is logged and does not reach the main thread's loop.
void SetTimeout(uint32_t delay_ms, std::function<void()> Fun);

}  // namespace quorvex
