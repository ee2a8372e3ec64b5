#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/log_pipeline.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"

namespace quorvex {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::FakeFileSystem;

// The log's threads answer within milliseconds; a fine poll keeps the many waits short.
bool WaitUntil(const std::function<bool()>& condition) {
  return testing::WaitFor(condition, 5s, 2ms);
}

// Lines of a log file; a missing line end on the last one shows up as an empty last line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start != text.size()) lines.push_back(text.substr(start) + "<no line end>");
  return lines;
}

const std::regex kMarkLine(R"(#\[(ROTATE|START) LOG \d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3} ?\])");

// Keeps the messages it is given; fails on demand.
class RecordingAppender : public TLogAppenderBase {
 public:
  std::atomic<int> setup_failures{0};
  std::string fail_once_on;
  bool restart_result = false;
  std::atomic<int> setups{0}, restarts{0}, teardowns{0};

  void Setup() override {
    ++setups;
    if (setup_failures > 0) {
      --setup_failures;
      throw std::runtime_error("not ready");
    }
  }
  void WriteLog(const TLogItem& item) override {
    std::lock_guard lock(mutex_);
    if (!fail_once_on.empty() && item.FMessage == fail_once_on) {
      fail_once_on.clear();
      throw std::runtime_error("write failed");
    }
    messages_.push_back(item.FMessage);
  }
  void TearDown() override { ++teardowns; }
  void TryToRestart(bool& restarted) override {
    ++restarts;
    restarted = restart_result;
  }

  std::vector<std::string> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

TNwLogTimings FastTimings() {
  TNwLogTimings t;
  t.SetupRetryDelay = 1ms;
  t.WaitAfterFail = 1ms;
  t.RestartAfter = 20ms;
  return t;
}

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------

TEST(LogLine, WritesEveryFieldInItsPlace) {
  const std::string start_msg = "-------------------------  start ---------------------";
  struct Case {
    platform::TLocalTime time;
    uint32_t tid;
    TLogType type;
    std::string message, tag, expected;
  };
  const Case cases[] = {
      {{2021, 3, 4, 9, 5, 7, 42},
       5120,
       TLogType::Info,
       "Form created",
       "",
       "2021-03-04 09:05:07:042  [TID       5120][INFO    ] Form created []"},
      // Exactly midnight: the timestamp has no trailing blank.
      {{2021, 3, 5, 0, 0, 0, 0},
       7,
       TLogType::Warning,
       "x",
       "console",
       "2021-03-05 00:00:00:000 [TID          7][WARNING ] x [console]"},
      {{2021, 3, 5, 0, 0, 0, 1},
       4294967295u,
       TLogType::Error,
       "",
       "",
       "2021-03-05 00:00:00:001  [TID 4294967295][ERROR   ]  []"},
      {{1999, 12, 31, 23, 59, 59, 999},
       1,
       TLogType::Debug,
       "z %d ü",
       "t",
       "1999-12-31 23:59:59:999  [TID          1][DEBUG   ] z %d ü [t]"},
      {{2024, 1, 2, 3, 4, 5, 6},
       42,
       TLogType::Info,
       start_msg,
       "",
       "2024-01-02 03:04:05:006  [TID         42][INFO    ] " + start_msg + " []"},
  };
  for (const Case& c : cases) {
    std::string line = "kept|";
    FormatLogLine(line, c.time, c.tid, c.type, c.message, c.tag);
    EXPECT_EQ(line, "kept|" + c.expected);
  }

  std::string line;
  try {
    FormatLogLine(line, cases[0].time, 1, static_cast<TLogType>(4), "m", "");
    FAIL() << "no error for an unknown level";
  } catch (const ELogWriterError& e) {
    EXPECT_STREQ(e.what(), "Invalid LogType");
  }
}

TEST(LogQueue, CountsTakenItemsAgainstCapacityAndWakesItsConsumer) {
  TThreadSafeQueue<int> queue(3, 1ms);
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(queue.Enqueue(int(i)));
  int extra = 4;
  EXPECT_FALSE(queue.Enqueue(std::move(extra)));
  EXPECT_EQ(extra, 4);  // a refused item stays with the caller

  int item = 0;
  ASSERT_EQ(queue.Dequeue(item), TNwWaitResult::wrSignaled);
  EXPECT_EQ(item, 1);
  // 2 and 3 have left the shared list but are not handed out yet.
  EXPECT_EQ(queue.QueueSize(), 2u);
  EXPECT_TRUE(queue.Enqueue(4));
  EXPECT_FALSE(queue.Enqueue(5));
  for (int expected : {2, 3, 4}) {
    ASSERT_EQ(queue.Dequeue(item), TNwWaitResult::wrSignaled);
    EXPECT_EQ(item, expected);
  }
  EXPECT_EQ(queue.Dequeue(item), TNwWaitResult::wrTimeout);

  // A waiting consumer wakes for each item and for StopWaiting, long before its timeout.
  TThreadSafeQueue<int> slow(10, 60s);
  std::atomic<int> got{0};
  auto consumer = std::async(std::launch::async, [&] {
    for (int i = 0; i < 200; ++i) {
      int v = -1;
      if (slow.Dequeue(v) != TNwWaitResult::wrSignaled || v != i) return false;
      got = i + 1;
    }
    int v = -1;
    return slow.Dequeue(v) == TNwWaitResult::wrTimeout;  // ended by StopWaiting
  });
  // Should an assertion below fail, the consumer must not hold the test for a minute.
  struct Release {
    TThreadSafeQueue<int>& q;
    ~Release() { q.StopWaiting(); }
  } release{slow};
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(WaitUntil([&] { return got == i; })) << i;
    ASSERT_TRUE(slow.Enqueue(int(i)));
  }
  ASSERT_TRUE(WaitUntil([&] { return got == 200; }));
  slow.StopWaiting();
  ASSERT_EQ(consumer.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(consumer.get());

  queue.DoShutDown();
  EXPECT_FALSE(queue.Enqueue(6));
  EXPECT_EQ(queue.Dequeue(item), TNwWaitResult::wrAbandoned);
}

// ---------------------------------------------------------------------------------------------

TEST(LogFileAppender, EachTagHasItsOwnFilesInACreatedFolder) {
  testing::ScratchDir temp("quorvex-log");
  const std::string folder = temp.path() + "a/b";
  TLogFileAppender appender(platform::LocalFileSystem(), folder, "quorvex");
  appender.Setup();
  ASSERT_TRUE(fs::is_directory(folder));
  ASSERT_EQ(appender.GetLogFileName("", 0), folder + "/quorvex.00..log");
  ASSERT_EQ(appender.GetLogFileName("console", 3), folder + "/quorvex.03.console.log");

  auto item = [](TLogType type, std::string message, std::string tag) {
    return TLogItem{type, 31, std::chrono::system_clock::now(), std::move(message), std::move(tag)};
  };
  appender.WriteLog(item(TLogType::Info, "one", ""));
  appender.WriteLog(item(TLogType::Warning, "page says hi", "console"));
  appender.WriteLog(item(TLogType::Error, "two", ""));
  appender.TearDown();

  const Strings main_lines = SplitLines(testing::ReadFile(folder + "/quorvex.00..log"));
  const Strings console_lines = SplitLines(testing::ReadFile(folder + "/quorvex.00.console.log"));
  ASSERT_EQ(main_lines.size(), 2u);
  ASSERT_EQ(console_lines.size(), 1u);
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3} ? )";
  EXPECT_TRUE(
      std::regex_match(main_lines[0], std::regex(stamp + R"(\[TID +31\]\[INFO    \] one \[\])")))
      << main_lines[0];
  EXPECT_TRUE(
      std::regex_match(main_lines[1], std::regex(stamp + R"(\[TID +31\]\[ERROR   \] two \[\])")))
      << main_lines[1];
  EXPECT_TRUE(std::regex_match(
      console_lines[0], std::regex(stamp + R"(\[TID +31\]\[WARNING \] page says hi \[console\])")))
      << console_lines[0];
}

TEST(LogFileAppender, RotatesAfterTheCrossingLineAndKeepsFiveBackups) {
  testing::ScratchDir temp("quorvex-log");
  TLogFileAppender appender(platform::LocalFileSystem(), temp.path(), "q");
  appender.Setup();
  // Three of these pass 1 024 000 bytes, two do not.
  auto write = [&](int n) {
    char name[16];
    std::snprintf(name, sizeof name, "line%02d ", n);
    appender.WriteLog(
        {TLogType::Info, 1, std::chrono::system_clock::now(), name + std::string(400000, 'x'), ""});
  };
  auto file = [&](int n) { return appender.GetLogFileName("", n); };
  // Names of the message lines, and the mark lines as "ROTATE"/"START".
  auto summary = [&](int n) {
    Strings out;
    for (const std::string& line : SplitLines(testing::ReadFile(file(n)))) {
      std::smatch m;
      if (std::regex_match(line, m, kMarkLine)) {
        out.push_back(m[1]);
      } else {
        const size_t at = line.find("] line");
        EXPECT_TRUE(at != std::string::npos && line.ends_with(std::string(400000, 'x') + " []"))
            << "line " << out.size() << " of file " << n << " is not whole";
        out.push_back(line.substr(at + 2, 6));
      }
    }
    return out;
  };

  write(1);
  write(2);
  EXPECT_FALSE(fs::exists(file(1)));
  write(3);
  EXPECT_EQ(summary(1), (Strings{"line01", "line02", "line03", "ROTATE"}));
  EXPECT_EQ(summary(0), (Strings{"START"}));

  for (int n = 4; n <= 18; ++n) write(n);  // five more rotations
  EXPECT_EQ(summary(0), (Strings{"START"}));
  for (int b = 1; b <= 5; ++b) {
    const int first = 19 - 3 * b;
    char names[3][16];
    for (int i = 0; i < 3; ++i) std::snprintf(names[i], sizeof names[i], "line%02d", first + i);
    EXPECT_EQ(summary(b), (Strings{"START", names[0], names[1], names[2], "ROTATE"}))
        << "backup " << b;
  }
  EXPECT_FALSE(fs::exists(file(6)));
  appender.TearDown();
}

TEST(LogFileAppender, FileSystemFailuresAreRetriedThenRaised) {
  using Fault = FakeFileSystem::Fault;
  enum class Outcome { Written, SystemError, LogWriterError, OtherError };
  struct Case {
    const char* name;
    int failing_opens;
    Fault rename_fault;
    bool oldest_backup_stuck;
    Outcome outcome;
    int opens, renames, removes;
  };
  const Case cases[] = {
      {"open fails five times", 5, Fault::None, false, Outcome::Written, 6 + 1, 1, 0},
      {"open fails six times", 6, Fault::None, false, Outcome::SystemError, 6, 0, 0},
      {"rename keeps failing", 0, Fault::InputOutput, false, Outcome::LogWriterError, 1, 5, 0},
      {"rename fails otherwise", 0, Fault::Other, false, Outcome::OtherError, 1, 1, 0},
      {"oldest backup stuck", 0, Fault::None, true, Outcome::SystemError, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem files;
    TLogFileAppender appender(files, "/logs", "q", {1ms, 1ms});
    appender.Setup();
    if (c.oldest_backup_stuck) {
      files.Put("/logs/q.05..log", "old");
      files.remove_fails = true;
    }
    files.failing_opens = c.failing_opens;
    files.rename_fault = c.rename_fault;
    // One line big enough to rotate at once.
    const TLogItem item{TLogType::Info, 1, std::chrono::system_clock::now(),
                        std::string(1024000, 'm'), ""};
    Outcome outcome = Outcome::Written;
    std::string error;
    try {
      appender.WriteLog(item);
    } catch (const std::system_error&) {
      outcome = Outcome::SystemError;
    } catch (const ELogWriterError& e) {
      outcome = Outcome::LogWriterError;
      error = e.what();
    } catch (const std::exception&) {
      outcome = Outcome::OtherError;
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(files.opens, c.opens);
    EXPECT_EQ(files.renames, c.renames);
    EXPECT_EQ(files.removes, c.removes);
    if (c.outcome == Outcome::LogWriterError) {
      EXPECT_EQ(error, "Cannot rename /logs/q.00..log to /logs/q.01..log");
    }
    // The line reaches the live file whole before any rotation step can fail.
    auto whole_then_rotate = [&](const std::string& path) {
      const Strings lines = SplitLines(files.Text(path));
      return lines.size() == 2 && lines[0].ends_with(item.FMessage + " []") &&
             std::regex_match(lines[1], kMarkLine);
    };
    if (c.outcome == Outcome::Written) {
      EXPECT_TRUE(whole_then_rotate("/logs/q.01..log"));
      EXPECT_EQ(SplitLines(files.Text("/logs/q.00..log")).size(), 1u);
    } else if (c.failing_opens >= 6) {
      EXPECT_EQ(files.Text("/logs/q.00..log"), "");
    } else {
      EXPECT_TRUE(whole_then_rotate("/logs/q.00..log"));
    }
  }
}

// ---------------------------------------------------------------------------------------------

TEST(LogWriter, ShutdownWritesEveryLineOfConcurrentProducersInTheirOrder) {
  testing::ScratchDir temp("quorvex-log");
  constexpr int kThreads = 4, kLines = 5000;
  std::vector<uint32_t> tids(kThreads);
  {
    TLogWriter writer(
        {std::make_shared<TLogFileAppender>(platform::LocalFileSystem(), temp.path(), "q")});
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
      producers.emplace_back([&, t] {
        tids[t] = platform::CurrentThreadId();
        for (int i = 0; i < kLines; ++i) writer.Info("p%d %d", {t, i}, "");
      });
    }
    for (auto& p : producers) p.join();
    writer.Shutdown();  // the sink is far behind here
  }

  // Oldest backup first, then the live file.
  std::vector<std::string> lines;
  for (int n = 5; n >= 0; --n) {
    char name[32];
    std::snprintf(name, sizeof name, "q.%02d..log", n);
    for (std::string& line : SplitLines(testing::ReadFile(temp.path() + name))) {
      if (!std::regex_match(line, kMarkLine)) lines.push_back(std::move(line));
    }
  }
  ASSERT_EQ(lines.size(), size_t{kThreads * kLines});
  std::vector<int> next(kThreads, 0);
  const std::regex shape(R"(.{23} ? \[TID +(\d+)\]\[INFO    \] p(\d) (\d+) \[\])");
  for (const std::string& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
    const int t = std::stoi(m[2]);
    ASSERT_EQ(std::stoi(m[3]), next[t]++) << line;
    ASSERT_EQ(std::stoul(m[1]), tids[t]) << line;
  }
}

// Blocks the dispatcher while it asks for the sink's level.
class LevelGateAppender : public RecordingAppender {
 public:
  TLogType GetLogLevel() const override {
    std::unique_lock lock(gate_mutex_);
    ++entered_;
    gate_.notify_all();
    gate_.wait(lock, [this] { return open_; });
    return RecordingAppender::GetLogLevel();
  }
  void WaitEntered() {
    std::unique_lock lock(gate_mutex_);
    ASSERT_TRUE(gate_.wait_for(lock, 5s, [this] { return entered_ > 0; }));
  }
  void Open() {
    std::lock_guard lock(gate_mutex_);
    open_ = true;
    gate_.notify_all();
  }

 private:
  mutable std::mutex gate_mutex_;
  mutable std::condition_variable gate_;
  mutable int entered_ = 0;
  bool open_ = false;
};

TEST(LogWriter, FullMainQueueRaisesToTheCaller) {
  auto sink = std::make_shared<LevelGateAppender>();
  TNwLogTimings timings;
  timings.MainQueueSize = 2;
  TLogWriter writer({sink}, TLogType::Debug, timings);
  writer.Info("held by the dispatcher", "");
  sink->WaitEntered();
  writer.Info("queued 1", "");
  writer.Info("queued 2", "");
  try {
    writer.Info("one too many", "");
    FAIL() << "no error for a full queue";
  } catch (const ELogWriterError& e) {
    EXPECT_STREQ(e.what(),
                 "Main logs queue is full. Hints: Are there appenders? Are these appenders fast "
                 "enough considering the log item production?");
  }
  sink->Open();
  writer.Shutdown();
  EXPECT_EQ(sink->Messages(), (Strings{"held by the dispatcher", "queued 1", "queued 2"}));
}

TEST(LogWriter, AFailedFileSinkDropsLaterLinesWhileLoggingGoesOn) {
  FakeFileSystem files;
  files.rename_fault = FakeFileSystem::Fault::InputOutput;
  auto sink = std::make_shared<TLogFileAppender>(files, "/logs", "q", TNwFileRetryDelays{1ms, 1ms});
  TLogWriter writer({sink}, TLogType::Debug, FastTimings());
  writer.Info(std::string(1024000, 'm'), "");  // rotation, which cannot rename
  ASSERT_TRUE(WaitUntil([&] { return files.renames == 5; }));
  ASSERT_TRUE(WaitUntil([&] { return sink->GetLastErrorTimeStamp().time_since_epoch().count(); }));
  for (int i = 0; i < 100; ++i) EXPECT_NO_THROW(writer.Info("after the failure", ""));
  // Restarts are tried and refused meanwhile; the error time moves on.
  const auto first_error = sink->GetLastErrorTimeStamp();
  ASSERT_TRUE(WaitUntil([&] { return sink->GetLastErrorTimeStamp() > first_error; }));
  writer.Shutdown();

  EXPECT_EQ(files.Paths(), (Strings{"/logs/q.00..log"}));
  const Strings lines = SplitLines(files.Text("/logs/q.00..log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[1], kMarkLine));
  EXPECT_EQ(files.renames, 5);
}

TEST(LogSinkThread, RetriesSetupAndResumesAfterARestart) {
  auto sink = std::make_shared<RecordingAppender>();
  sink->setup_failures = 2;
  sink->fail_once_on = "boom";
  sink->restart_result = true;
  TLogWriter writer({sink}, TLogType::Debug, FastTimings());
  for (const char* m : {"a", "boom", "c"}) writer.Info(m, "");
  ASSERT_TRUE(WaitUntil([&] { return sink->Messages().size() == 2; }));
  EXPECT_EQ(sink->Messages(), (Strings{"a", "c"}));
  EXPECT_EQ(sink->setups, 3);
  EXPECT_EQ(sink->restarts, 1);
  EXPECT_EQ(sink->GetLastErrorTimeStamp().time_since_epoch().count(), 0);
  writer.Shutdown();
  EXPECT_EQ(sink->teardowns, 1);
}

TEST(LogSinkThread, GivesUpSetupAfterTenRetriesAndStopsAtOnceWhenFailed) {
  auto sink = std::make_shared<RecordingAppender>();
  sink->setup_failures = 1000;
  TLogWriter writer({sink}, TLogType::Debug, FastTimings());
  writer.Info("never written", "");
  ASSERT_TRUE(WaitUntil([&] { return sink->restarts >= 2; }));
  EXPECT_EQ(sink->setups, 11);
  writer.Shutdown();  // returns although its line is still queued
  EXPECT_TRUE(sink->Messages().empty());
  EXPECT_EQ(sink->teardowns, 1);
}

TEST(LogWriter, RoutesByLevelAndFollowsAppenderChanges) {
  auto a = std::make_shared<RecordingAppender>();
  auto b = std::make_shared<RecordingAppender>();
  auto c = std::make_shared<RecordingAppender>();
  b->SetLogLevel(TLogType::Warning);
  TLogWriter writer({a, b}, TLogType::Info);
  writer.Debug("below the writer's level", "");
  writer.Info("i%d", {1}, "");
  writer.WarnFmt("w%s", {"2"}, "");
  EXPECT_THROW(writer.Error("%d", {"not a number"}, ""), EFormatError);
  writer.AddAppender(c);
  writer.Log(TLogType::Error, "e", "");
  writer.DelAppender(a);
  writer.Info("j", "");
  EXPECT_EQ(writer.AppendersCount(), 2u);
  EXPECT_EQ(writer.GetAppendersClassNames(), (Strings{"RecordingAppender", "RecordingAppender"}));
  writer.Shutdown();

  EXPECT_EQ(a->Messages(), (Strings{"i1", "w2", "e"}));
  EXPECT_EQ(b->Messages(), (Strings{"w2", "e"}));
  EXPECT_EQ(c->Messages(), (Strings{"e", "j"}));
  EXPECT_EQ(a->teardowns + b->teardowns + c->teardowns, 3);
  EXPECT_NO_THROW(writer.Info("after shutdown", ""));
  EXPECT_EQ(c->Messages().size(), 2u);
}

TEST(LogGlobal, ShutdownWritesOutAndALaterCallBuildsAFreshWriter) {
  const std::string live = platform::TempDir() + platform::ExecutableBaseName() + ".00..log";
  const std::string backup = platform::TempDir() + platform::ExecutableBaseName() + ".01..log";
  const std::string marker =
      "global " + std::to_string(getpid()) + " " +
      std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  auto logged = [&](const std::string& message) {
    for (const std::string& path : {live, backup}) {
      for (const std::string& line : SplitLines(testing::ReadFile(path))) {
        if (line.ends_with("[INFO    ] " + message + " []")) return true;
      }
    }
    return false;
  };

  ILogWriter& first = GlobalLogWriter();
  EXPECT_EQ(&first, &GlobalLogWriter());
  first.Info(marker + " one", "");
  ShutdownGlobalLogWriter();
  EXPECT_TRUE(logged(marker + " one"));
  EXPECT_NO_THROW(first.Info(marker + " dropped", ""));

  ILogWriter& second = GlobalLogWriter();
  EXPECT_NE(&second, &first);
  second.Info(marker + " two", "");
  ShutdownGlobalLogWriter();
  EXPECT_TRUE(logged(marker + " two"));
  EXPECT_FALSE(logged(marker + " dropped"));
}

}  // namespace
}  // namespace quorvex
