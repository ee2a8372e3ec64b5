// The log writer against spdlog's asynchronous logger, both writing rotated files with a flush
// per line: (a) what a logging call costs its caller, (b) how many lines per second reach the
// disk. Each run starts from a fresh folder; the figures are medians of several runs.
#include <spdlog/async.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/log_pipeline.h"
#include "tests/support/scratch_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRuns = 11;
constexpr int kBurstLines = 20000;      // well below either queue's capacity
constexpr int kSustainedLines = 50000;  // fits the main queue: no call is refused
// spdlog queues a flush request after every line.
constexpr size_t kSpdlogQueueSlots = 2 * kSustainedLines + 1024;

const std::string kMessage =
    "exam page loaded: status 200, 5123 bytes, 37 ms, https://exam.example.org/doexam/1";

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A logger, its logging call and the call that returns once every line is on disk.
struct Logger {
  std::function<void()> log;
  std::function<void()> drain;
};

Logger MakeOurs(const std::string& folder) {
  auto writer =
      std::make_shared<quorvex::TLogWriter>(std::vector<std::shared_ptr<quorvex::ILogAppender>>{
          std::make_shared<quorvex::TLogFileAppender>(quorvex::platform::LocalFileSystem(), folder,
                                                      "bench")});
  return {[w = writer.get()] { w->Info(kMessage, ""); }, [writer] { writer->Shutdown(); }};
}

Logger MakeSpdlog(const std::string& folder) {
  spdlog::init_thread_pool(kSpdlogQueueSlots, 1);
  auto logger = spdlog::create_async<spdlog::sinks::rotating_file_sink_mt>(
      "bench", folder + "bench.log", 1024000, 5);
  // The same line as ours, so both write the same number of bytes.
  logger->set_formatter(std::make_unique<spdlog::pattern_formatter>(
      "%Y-%m-%d %H:%M:%S:%e  [TID %10t][%-8l] %v []", spdlog::pattern_time_type::local, "\r\n"));
  logger->flush_on(spdlog::level::trace);
  return {[l = logger.get()] { l->info(kMessage); },
          [logger]() mutable {
            logger.reset();
            spdlog::shutdown();  // drops the registry and joins the worker once it has written all
          }};
}

// Message lines written to the folder's files so far.
size_t LinesOnDisk(const std::string& folder) {
  size_t lines = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) lines += line.find(kMessage) != std::string::npos;
  }
  return lines;
}

struct CallCost {
  double cold_ns;  // the logger's first burst
  double warm_ns;  // the next one, once the first is on disk
};

double TimeBurst(const Logger& logger) {
  const auto start = Clock::now();
  for (int i = 0; i < kBurstLines; ++i) logger.log();
  return Seconds(Clock::now() - start) * 1e9 / kBurstLines;
}

// Each run in a fresh folder.
CallCost MeasureCallCost(const std::function<Logger(const std::string&)>& make) {
  quorvex::testing::ScratchDir folder("quorvex-log-bench");
  Logger logger = make(folder.path());
  CallCost cost;
  cost.cold_ns = TimeBurst(logger);
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (LinesOnDisk(folder.path()) < kBurstLines && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  cost.warm_ns = TimeBurst(logger);
  logger.drain();
  return cost;
}

double LinesPerSecond(const std::function<Logger(const std::string&)>& make) {
  quorvex::testing::ScratchDir folder("quorvex-log-bench");
  Logger logger = make(folder.path());
  const auto start = Clock::now();
  for (int i = 0; i < kSustainedLines; ++i) logger.log();
  logger.drain();
  return kSustainedLines / Seconds(Clock::now() - start);
}

}  // namespace

int main() {
  // Runs alternate between the two so that both meet the same machine.
  std::vector<double> cold[2], warm[2], rate[2];
  const std::function<Logger(const std::string&)> makers[2] = {MakeOurs, MakeSpdlog};
  for (int run = 0; run < kRuns; ++run) {
    for (int i = 0; i < 2; ++i) {
      const CallCost cost = MeasureCallCost(makers[i]);
      cold[i].push_back(cost.cold_ns);
      warm[i].push_back(cost.warm_ns);
    }
    for (int i = 0; i < 2; ++i) rate[i].push_back(LinesPerSecond(makers[i]));
  }

  std::printf("%d runs each, message %zu chars, medians\n", kRuns, kMessage.size());
  std::printf("%-40s %12s %12s %12s\n", "", "quorvex", "spdlog", "ours/spdlog");
  auto row = [](const char* what, std::vector<double>* v, const char* format) {
    const double ours = Median(v[0]), peer = Median(v[1]);
    std::printf("%-40s ", what);
    std::printf(format, ours);
    std::printf(" ");
    std::printf(format, peer);
    std::printf(" %12.2f\n", ours / peer);
  };
  row("caller cost per call, ns", warm, "%12.1f");
  row("  same, logger's first burst, ns", cold, "%12.1f");
  row("sustained lines/s, flush per line", rate, "%12.0f");
  std::printf(
      "(caller cost: %d-line burst timed on the calling thread, after an equal burst has been\n"
      " written; sustained: %d lines from the first call until every line is on disk)\n",
      kBurstLines, kSustainedLines);
  return 0;
}
