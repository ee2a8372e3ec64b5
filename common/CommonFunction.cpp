#include "common/CommonFunction.h"

#include <chrono>
#include <exception>
#include <thread>

#include "common/log.h"
#include "common/mainthread.h"

namespace quorvex {

TNwTimerThread::TNwTimerThread(bool Suspend, uint32_t Interval, TNwTimerIntervalType IntervalType)
    : FInterval(Interval), FIntervalType(IntervalType) {
  if (!Suspend) Start();
}

void TNwTimerThread::Start() {
  std::thread([this] {
    Execute();
    delete this;
  }).detach();
}

void TNwTimerThread::FinishThreadExecution() {
  FTerminated = true;
  std::lock_guard lock(FLock);
  FTicked = true;
  FTickEvent.notify_all();
}

void TNwTimerThread::Execute() {
  for (uint32_t i = 0; !FTerminated; ++i) {
    bool timed_out;
    {
      std::unique_lock lock(FLock);
      timed_out = !FTickEvent.wait_for(lock, std::chrono::milliseconds(FInterval),
                                       [this] { return FTicked; });
    }
    if (timed_out && OnTicked) {
      std::exception_ptr failure;
      RunOnMainThreadSync([&] {
        try {
          OnTicked();
        } catch (...) {
          failure = std::current_exception();
        }
      });
      if (failure) {
        // The thread ends with the procedure's error; the main thread goes on.
        try {
          std::rethrow_exception(failure);
        } catch (const std::exception& e) {
          GlobalLogWriter().Error(std::string("deferred call failed: ") + e.what(), "");
        } catch (...) {
          GlobalLogWriter().Error("deferred call failed", "");
        }
        return;
      }
    }
    if (FIntervalType == TNwTimerIntervalType::titOnce && i == 0) FinishThreadExecution();
  }
}

void SetTimeout(uint32_t delay_ms, std::function<void()> Fun) {
  auto* thread = new TNwTimerThread(true, delay_ms, TNwTimerIntervalType::titOnce);
  thread->OnTicked = [Fun = std::move(Fun)] {
    if (Fun) Fun();
  };
  thread->Start();
}

}  // namespace quorvex
