// The log's machinery: a dispatcher thread passes each line on to one pipeline per sink, and
// the sink's own thread writes it; one set of files per tag, rotated at about 1000 KB with five
// backups. Only the log's own code, its tests and its benchmark include this.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/log.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace quorvex {

// One line on its way to the files. Copying it is the clone.
struct TLogItem {
  TLogType FType = TLogType::Debug;
  uint32_t FThreadID = 0;
  std::chrono::system_clock::time_point FTimeStamp;
  std::string FMessage;
  std::string FTag;
};

// Capacities and waits of the pipeline; tests shrink them.
struct TNwLogTimings {
  size_t MainQueueSize = 50000;
  std::chrono::milliseconds MainQueuePopTimeout{500};
  size_t AppenderQueueSize = 50000;
  std::chrono::milliseconds AppenderQueuePopTimeout{10};
  int SetupRetries = 10;
  std::chrono::milliseconds SetupRetryDelay{1000};
  std::chrono::milliseconds WaitAfterFail{500};
  std::chrono::milliseconds RestartAfter{5000};
};

// "YYYY-MM-DD HH:NN:SS:ZZZ", then one blank unless the time is exactly 00:00:00.000.
void AppendLogTimeStamp(std::string& out, const platform::TLocalTime& time);
// A whole log line without its line end, appended to `out`.
void FormatLogLine(std::string& out, const platform::TLocalTime& time, uint32_t thread_id,
                   TLogType type, std::string_view message, std::string_view tag);

enum class TNwWaitResult { wrSignaled, wrTimeout, wrAbandoned };

// Bounded FIFO with many producers and one consumer. The consumer takes everything pending
// under one lock and hands it out one by one; items taken but not yet handed out still count
// against the capacity. Its two buffers keep their largest size, which the capacity bounds.
template <typename T>
class TThreadSafeQueue {
 public:
  TThreadSafeQueue(size_t max_size, std::chrono::milliseconds pop_timeout)
      : fMaxSize(max_size), fPopTimeout(pop_timeout) {}
  TThreadSafeQueue(const TThreadSafeQueue&) = delete;
  TThreadSafeQueue& operator=(const TThreadSafeQueue&) = delete;

  // Up to 5 attempts, sleeping attempt × 10 ms before each retry: at most 100 ms in all.
  // `item` is moved from only when accepted. Refuses at once after DoShutDown.
  bool Enqueue(T&& item) {
    if (fShutDown.load(std::memory_order_acquire)) return false;
    for (int attempt = 0; attempt < 5; ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(attempt * 10));
      std::unique_lock lock(fCriticalSection);
      if (fShutDown.load(std::memory_order_relaxed)) return false;
      if (HasRoom()) {
        fQueue.push_back(std::move(item));
        ++fEnqueuedCount;
        // Only a waiting consumer needs waking, and only once.
        const bool wake = std::exchange(fConsumerWaiting, false);
        lock.unlock();
        if (wake) fEvent.notify_one();
        return true;
      }
    }
    return false;
  }

  // Waits up to the pop timeout for an item. Only one thread may call it.
  TNwWaitResult Dequeue(T& item) {
    if (fShutDown.load(std::memory_order_acquire)) return TNwWaitResult::wrAbandoned;
    if (fTakenPos < fTaken.size()) {
      item = std::move(fTaken[fTakenPos++]);
      fTakenLeft.fetch_sub(1, std::memory_order_relaxed);
      return TNwWaitResult::wrSignaled;
    }
    // Keeps its memory: the next batch fills it again without faulting fresh pages in.
    fTaken.clear();
    fTakenPos = 0;
    std::unique_lock lock(fCriticalSection);
    if (fQueue.empty() && fBusy && !fStopWaiting) {
      // Just done with a batch: let the producers fill the next one instead of having each of
      // them wake us for one item. Nothing but a stop cuts this short.
      fEvent.wait_for(lock, kBatchPause,
                      [this] { return fStopWaiting || fShutDown.load(std::memory_order_relaxed); });
    }
    fBusy = false;
    if (fQueue.empty() && !fStopWaiting) {
      fConsumerWaiting = true;
      fEvent.wait_for(lock, fPopTimeout, [this] {
        return !fQueue.empty() || fStopWaiting || fShutDown.load(std::memory_order_relaxed);
      });
      fConsumerWaiting = false;
    }
    if (fShutDown.load(std::memory_order_relaxed)) return TNwWaitResult::wrAbandoned;
    if (fQueue.empty()) return TNwWaitResult::wrTimeout;
    fTaken.swap(fQueue);
    fTakenAtSwap = fTaken.size();
    fTakenLeft.store(fTaken.size() - 1, std::memory_order_relaxed);
    lock.unlock();
    item = std::move(fTaken[0]);
    fTakenPos = 1;
    fBusy = true;
    return TNwWaitResult::wrSignaled;
  }

  size_t QueueSize() {
    std::lock_guard lock(fCriticalSection);
    return fQueue.size() + fTakenLeft.load(std::memory_order_relaxed);
  }

  // How many items were ever accepted.
  uint64_t EnqueuedCount() {
    std::lock_guard lock(fCriticalSection);
    return fEnqueuedCount;
  }

  // From now on an empty queue answers Dequeue at once instead of waiting: the consumer is
  // being stopped and must not sit out its pop timeout.
  void StopWaiting() {
    {
      std::lock_guard lock(fCriticalSection);
      fStopWaiting = true;
    }
    fEvent.notify_all();
  }

  void DoShutDown() {
    {
      std::lock_guard lock(fCriticalSection);
      fShutDown.store(true, std::memory_order_release);
    }
    fEvent.notify_all();
  }

  bool IsShutDown() const { return fShutDown.load(std::memory_order_acquire); }

 private:
  static constexpr std::chrono::milliseconds kBatchPause{1};

  // Under the lock. The consumer's count changes with every item it hands out; reading it
  // only when the queue might be full keeps that cache line out of the producers' way.
  bool HasRoom() const {
    if (fQueue.size() + fTakenAtSwap < fMaxSize) return true;
    return fQueue.size() + fTakenLeft.load(std::memory_order_relaxed) < fMaxSize;
  }

  // The producers' side, guarded by fCriticalSection.
  const size_t fMaxSize;
  const std::chrono::milliseconds fPopTimeout;
  std::mutex fCriticalSection;
  std::condition_variable fEvent;
  std::vector<T> fQueue;
  uint64_t fEnqueuedCount = 0;
  size_t fTakenAtSwap = 0;  // size of the consumer's batch when it took it
  bool fConsumerWaiting = false;
  bool fStopWaiting = false;
  std::atomic<bool> fShutDown{false};
  // The consumer's side, on its own cache lines. Producers read fTakenLeft under the lock.
  alignas(64) std::vector<T> fTaken;
  size_t fTakenPos = 0;
  bool fBusy = false;  // the last call handed out an item
  std::atomic<size_t> fTakenLeft{0};
  char fPadding[64 - sizeof(size_t)];
};

using TAppenderQueue = TThreadSafeQueue<TLogItem>;

// A sink. Setup, WriteLog and TearDown run on the sink's own thread only; errors are raised.
class ILogAppender {
 public:
  virtual ~ILogAppender() = default;
  virtual void Setup() = 0;
  virtual void WriteLog(const TLogItem& item) = 0;
  virtual void TearDown() = 0;
  virtual void TryToRestart(bool& restarted) = 0;
  virtual TLogType GetLogLevel() const = 0;
  virtual void SetLogLevel(TLogType level) = 0;
  // The epoch when the sink has not failed.
  virtual std::chrono::system_clock::time_point GetLastErrorTimeStamp() const = 0;
  virtual void SetLastErrorTimeStamp(std::chrono::system_clock::time_point time) = 0;
};

class TLogAppenderBase : public ILogAppender {
 public:
  // A sink that cannot restart stays failed.
  void TryToRestart(bool& restarted) override { restarted = false; }
  TLogType GetLogLevel() const override { return FLogLevel.load(std::memory_order_relaxed); }
  void SetLogLevel(TLogType level) override { FLogLevel.store(level, std::memory_order_relaxed); }
  std::chrono::system_clock::time_point GetLastErrorTimeStamp() const override;
  void SetLastErrorTimeStamp(std::chrono::system_clock::time_point time) override;

 private:
  std::atomic<TLogType> FLogLevel{TLogType::Debug};
  std::atomic<int64_t> FLastErrorTimeStamp{0};  // system_clock ticks
};

// Pauses between the file sink's attempts to open and to rename a file.
struct TNwFileRetryDelays {
  std::chrono::milliseconds Open{200};
  std::chrono::milliseconds Rename{50};
};

// Writes each tag's lines to "<folder><base>.00.<tag>.log" and rotates at 1000 KB.
class TLogFileAppender : public TLogAppenderBase {
 public:
  // An empty folder means the executable's folder.
  explicit TLogFileAppender(platform::IFileSystem& file_system = platform::LocalFileSystem(),
                            std::string logs_folder = platform::TempDir(),
                            std::string base_name = platform::ExecutableBaseName(),
                            TNwFileRetryDelays delays = {});

  void Setup() override;
  void WriteLog(const TLogItem& item) override;
  void TearDown() override;

  // Number 0 is the live file, 1 to 5 the backups (5 the oldest). Valid after Setup.
  std::string GetLogFileName(std::string_view tag, int number) const;

 private:
  // An open file and its size as far as this sink knows: what it found plus what it wrote.
  // Another process's lines only make the real file larger, so a rotation may come late by
  // them but never early, and no line costs a size query.
  struct TWriter {
    std::unique_ptr<platform::IWritableFile> file;
    uint64_t size = 0;
    void Append(std::string_view text) {
      file->Append(text);
      size += text.size();
    }
  };

  TWriter& WriterFor(const std::string& tag);
  TWriter OpenWriter(const std::string& path);
  void RotateLog(const std::string& tag, TWriter& live);
  void RenameFile(const std::string& from, const std::string& to);
  void AppendMarkLine(TWriter& writer, std::string_view mark);
  platform::TLocalTime LocalTimeOf(std::chrono::system_clock::time_point time);

  platform::IFileSystem& fFileSystem;
  const std::string fConfiguredFolder;
  const std::string fBaseName;
  const TNwFileRetryDelays fDelays;
  const int fMaxBackupFileCount = 5;
  const int fMaxFileSizeInKiloByte = 1000;
  std::string fLogsFolder;
  std::unordered_map<std::string, TWriter> fWritersDictionary;
  std::string fLine;
  std::chrono::sys_seconds fCachedSecond = std::chrono::sys_seconds::min();
  platform::TLocalTime fCachedLocal{};
};

class TLoggerThread;

class TLogWriter final : public ILogWriter {
 public:
  // Starts the dispatcher, which starts one sink thread per appender.
  explicit TLogWriter(std::vector<std::shared_ptr<ILogAppender>> appenders,
                      TLogType log_level = TLogType::Debug, const TNwLogTimings& timings = {});
  // Shuts down.
  ~TLogWriter() override;
  TLogWriter(const TLogWriter&) = delete;
  TLogWriter& operator=(const TLogWriter&) = delete;

  // Writes out every line logged before the call (a failed sink drops its share), stops the
  // threads and tears the sinks down. Lines logged afterwards are dropped quietly.
  void Shutdown();

  using ILogWriter::Log;

  void Log(TLogType type, std::string_view message, std::string_view tag) override;
  void Log(TLogType type, std::string_view message, TNwFmtArgs args, std::string_view tag) override;

  std::vector<std::string> GetAppendersClassNames() override;
  std::vector<std::shared_ptr<ILogAppender>> GetAppenders() override;
  // Both apply from the next line logged on; no effect after Shutdown.
  void AddAppender(std::shared_ptr<ILogAppender> appender) override;
  void DelAppender(const std::shared_ptr<ILogAppender>& appender) override;
  size_t AppendersCount() override;

 private:
  void Enqueue(TLogType type, std::string&& message, std::string_view tag);
  bool Accepts(TLogType type) const {
    return static_cast<uint8_t>(type) >= static_cast<uint8_t>(FLogLevel);
  }

  const TLogType FLogLevel;
  std::mutex FAppendersLock;
  std::vector<std::shared_ptr<ILogAppender>> FLogAppenders;  // guarded by FAppendersLock
  bool FShutDown = false;                                    // guarded by FAppendersLock
  std::unique_ptr<TLoggerThread> FLoggerThread;
  TThreadSafeQueue<TLogItem>* FQueue;  // the dispatcher's, cached for the logging calls
};

}  // namespace quorvex
