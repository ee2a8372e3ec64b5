#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <vector>

#include "common/CommonFunction.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

using testing::SpinUntil;

using Clock = std::chrono::steady_clock;

class DeferredCall : public ::testing::Test {
 protected:
  int argc_ = 1;
  char arg0_[8] = "test";
  char* argv_[2] = {arg0_, nullptr};
  QCoreApplication app_{argc_, argv_};
};

TEST_F(DeferredCall, SeveralPendingEachRunOnceOnTheMainThreadAfterItsDelay) {
  struct Run {
    int id;
    std::chrono::milliseconds after;
    bool on_main;
  };
  std::vector<Run> runs;
  const auto start = Clock::now();
  for (int id : {1, 2, 3}) {
    const auto delay = std::chrono::milliseconds(id == 1 ? 300 : id == 2 ? 50 : 0);
    SetTimeout(static_cast<uint32_t>(delay.count()), [&, id] {
      runs.push_back({id,
                      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start),
                      QThread::currentThread() == app_.thread()});
    });
  }
  ASSERT_TRUE(SpinUntil([&] { return runs.size() == 3; }, std::chrono::seconds(5)));
  // A little longer: nothing runs twice.
  SpinUntil([] { return false; }, std::chrono::milliseconds(400));
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].id, 3);
  EXPECT_EQ(runs[1].id, 2);
  EXPECT_EQ(runs[2].id, 1);
  EXPECT_GE(runs[1].after.count(), 50);
  EXPECT_GE(runs[2].after.count(), 300);
  for (const Run& r : runs) EXPECT_TRUE(r.on_main) << r.id;
}

TEST_F(DeferredCall, ABusyMainThreadRunsTheCallOnceWhenFree) {
  int count = 0;
  SetTimeout(20, [&] { ++count; });
  QThread::msleep(300);  // the main thread is busy past the delay
  EXPECT_EQ(count, 0);
  ASSERT_TRUE(SpinUntil([&] { return count == 1; }, std::chrono::seconds(5)));
  SpinUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(count, 1);
}

TEST_F(DeferredCall, AnExceptionInTheProcedureDoesNotStopTheMainThread) {
  bool later = false;
  SetTimeout(0, [] { throw std::runtime_error("boom"); });
  SetTimeout(30, [&] { later = true; });
  SetTimeout(10, {});  // an empty procedure is skipped
  EXPECT_TRUE(SpinUntil([&] { return later; }, std::chrono::seconds(5)));
}

}  // namespace
}  // namespace quorvex
