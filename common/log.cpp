#include "common/log_pipeline.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <system_error>
#include <typeinfo>
#include <utility>

namespace quorvex {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using std::chrono::system_clock;

constexpr std::string_view kLogFormat = "%0:s [TID %1:10u][%2:-8s] %3:s [%4:s]";
constexpr std::string_view kLogFileNameFormat = "%s.%2.2d.%s.log";
constexpr const char* kQueueFullMessage =
    "Main logs queue is full. Hints: Are there appenders? Are these appenders fast enough "
    "considering the log item production?";

char* PutDigits(char* p, int value, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return p + digits;
}

// Room for any year up to 9999 and the trailing blank.
constexpr size_t kTimeStampMax = 32;

size_t WriteTimeStamp(char* buf, const platform::TLocalTime& t) {
  char* p = PutDigits(buf, t.Year, 4);
  *p++ = '-';
  p = PutDigits(p, t.Month, 2);
  *p++ = '-';
  p = PutDigits(p, t.Day, 2);
  *p++ = ' ';
  p = PutDigits(p, t.Hour, 2);
  *p++ = ':';
  p = PutDigits(p, t.Minute, 2);
  *p++ = ':';
  p = PutDigits(p, t.Second, 2);
  *p++ = ':';
  p = PutDigits(p, t.Millisecond, 3);
  // The date-and-time text adds the (empty) time part only when there is a time of day.
  if (t.Hour != 0 || t.Minute != 0 || t.Second != 0 || t.Millisecond != 0) *p++ = ' ';
  return static_cast<size_t>(p - buf);
}

std::string ClassNameOf(const ILogAppender& appender) {
  const char* mangled = typeid(appender).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  size_t colons = name.rfind("::");
  return colons == std::string::npos ? name : name.substr(colons + 2);
}

}  // namespace

std::string_view LogTypeName(TLogType type) {
  switch (type) {
    case TLogType::Debug:
      return "DEBUG";
    case TLogType::Info:
      return "INFO";
    case TLogType::Warning:
      return "WARNING";
    case TLogType::Error:
      return "ERROR";
  }
  throw ELogWriterError("Invalid LogType");
}

void AppendLogTimeStamp(std::string& out, const platform::TLocalTime& time) {
  char buf[kTimeStampMax];
  out.append(buf, WriteTimeStamp(buf, time));
}

void FormatLogLine(std::string& out, const platform::TLocalTime& time, uint32_t thread_id,
                   TLogType type, std::string_view message, std::string_view tag) {
  char buf[kTimeStampMax];
  const std::string_view stamp(buf, WriteTimeStamp(buf, time));
  const TNwFmtArg args[] = {stamp, thread_id, LogTypeName(type), message, tag};
  FormatTo(out, kLogFormat, args);
}

// ---------------------------------------------------------------------------------------------

system_clock::time_point TLogAppenderBase::GetLastErrorTimeStamp() const {
  return system_clock::time_point(
      system_clock::duration(FLastErrorTimeStamp.load(std::memory_order_relaxed)));
}

void TLogAppenderBase::SetLastErrorTimeStamp(system_clock::time_point time) {
  FLastErrorTimeStamp.store(time.time_since_epoch().count(), std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------

TLogFileAppender::TLogFileAppender(platform::IFileSystem& file_system, std::string logs_folder,
                                   std::string base_name, TNwFileRetryDelays delays)
    : fFileSystem(file_system),
      fConfiguredFolder(std::move(logs_folder)),
      fBaseName(std::move(base_name)),
      fDelays(delays) {}

void TLogFileAppender::Setup() {
  fLogsFolder = fConfiguredFolder.empty() ? platform::ExecutableDir() : fConfiguredFolder;
  if (!fLogsFolder.empty() && fLogsFolder.back() != '/') fLogsFolder += '/';
  if (!fFileSystem.Exists(fLogsFolder)) fFileSystem.CreateDirectories(fLogsFolder);
  fWritersDictionary.clear();
}

void TLogFileAppender::TearDown() {
  fWritersDictionary.clear();
}

std::string TLogFileAppender::GetLogFileName(std::string_view tag, int number) const {
  return fLogsFolder + Format(kLogFileNameFormat, {fBaseName, number, tag});
}

TLogFileAppender::TWriter TLogFileAppender::OpenWriter(const std::string& path) {
  for (int attempt = 1;; ++attempt) {
    try {
      TWriter writer{fFileSystem.OpenAppend(path)};
      writer.size = writer.file->Size();
      return writer;
    } catch (const std::exception&) {
      if (attempt == 6) throw;
    }
    std::this_thread::sleep_for(fDelays.Open);
  }
}

TLogFileAppender::TWriter& TLogFileAppender::WriterFor(const std::string& tag) {
  auto it = fWritersDictionary.find(tag);
  if (it == fWritersDictionary.end()) {
    it = fWritersDictionary.emplace(tag, OpenWriter(GetLogFileName(tag, 0))).first;
  }
  return it->second;
}

platform::TLocalTime TLogFileAppender::LocalTimeOf(system_clock::time_point time) {
  // The calendar part changes once a second; the conversion is the costly bit.
  const auto second = std::chrono::floor<std::chrono::seconds>(time);
  if (second != fCachedSecond) {
    fCachedLocal = platform::ToLocalTime(second);
    fCachedSecond = second;
  }
  platform::TLocalTime local = fCachedLocal;
  local.Millisecond =
      static_cast<int>(std::chrono::duration_cast<milliseconds>(time - second).count());
  return local;
}

void TLogFileAppender::WriteLog(const TLogItem& item) {
  fLine.clear();
  FormatLogLine(fLine, LocalTimeOf(item.FTimeStamp), item.FThreadID, item.FType, item.FMessage,
                item.FTag);
  fLine += "\r\n";
  TWriter& writer = WriterFor(item.FTag);
  // One call per line: another process appending to the same file cannot split it.
  writer.Append(fLine);
  if (writer.size > static_cast<uint64_t>(fMaxFileSizeInKiloByte) * 1024) {
    RotateLog(item.FTag, writer);
  }
}

void TLogFileAppender::AppendMarkLine(TWriter& writer, std::string_view mark) {
  fLine.assign(mark);
  AppendLogTimeStamp(fLine, LocalTimeOf(system_clock::now()));
  fLine += "]\r\n";
  writer.Append(fLine);
}

void TLogFileAppender::RotateLog(const std::string& tag, TWriter& live) {
  AppendMarkLine(live, "#[ROTATE LOG ");
  fWritersDictionary.erase(tag);
  const std::string oldest = GetLogFileName(tag, fMaxBackupFileCount);
  if (fFileSystem.Exists(oldest)) fFileSystem.Remove(oldest);
  for (int n = fMaxBackupFileCount - 1; n >= 1; --n) {
    const std::string from = GetLogFileName(tag, n);
    if (fFileSystem.Exists(from)) RenameFile(from, GetLogFileName(tag, n + 1));
  }
  RenameFile(GetLogFileName(tag, 0), GetLogFileName(tag, 1));
  TWriter& fresh =
      fWritersDictionary.emplace(tag, OpenWriter(GetLogFileName(tag, 0))).first->second;
  AppendMarkLine(fresh, "#[START LOG ");
}

void TLogFileAppender::RenameFile(const std::string& from, const std::string& to) {
  for (int attempt = 1; attempt <= 5; ++attempt) {
    if (attempt > 1) std::this_thread::sleep_for(fDelays.Rename);
    try {
      fFileSystem.Rename(from, to);
      return;
    } catch (const std::system_error&) {
      // Input/output trouble may pass; anything else is raised as it is.
    }
  }
  throw ELogWriterError(Format("Cannot rename %s to %s", {from, to}));
}

// ---------------------------------------------------------------------------------------------

// One sink's thread: Setup, then write what its queue holds; after a failure wait, and try to
// restart every RestartAfter.
class TAppenderThread {
 public:
  TAppenderThread(ILogAppender& appender, TAppenderQueue& queue, const TNwLogTimings& timings)
      : FLogAppender(appender), FAppenderQueue(queue), FTimings(timings) {
    FThread = std::thread([this] { Execute(); });
  }
  ~TAppenderThread() { Stop(); }

  // Returns once the sink has written every queued line (or at once when it is failed) and
  // has been torn down.
  void Stop() {
    {
      std::lock_guard lock(FLock);
      FTerminated = true;
    }
    FWake.notify_all();
    FAppenderQueue.StopWaiting();
    if (FThread.joinable()) FThread.join();
  }

 private:
  enum class TState { Setup, Writing, WaitAfterFail, ToRestart };

  bool Terminated() {
    std::lock_guard lock(FLock);
    return FTerminated;
  }

  // False when woken by Stop.
  bool SleepUnlessStopped(milliseconds delay) {
    std::unique_lock lock(FLock);
    return !FWake.wait_for(lock, delay, [this] { return FTerminated; });
  }

  void MarkFailed() {
    FLogAppender.SetLastErrorTimeStamp(system_clock::now());
    FErrorAt = steady_clock::now();
  }

  void Execute() {
    TState state = TState::Setup;
    int setup_failures = 0;
    for (;;) {
      if (state == TState::Setup) {
        try {
          FLogAppender.Setup();
          state = TState::Writing;
        } catch (...) {
          if (++setup_failures > FTimings.SetupRetries ||
              !SleepUnlessStopped(FTimings.SetupRetryDelay)) {
            state = TState::WaitAfterFail;
          }
        }
      } else if (state == TState::Writing) {
        TLogItem item;
        const TNwWaitResult result = FAppenderQueue.Dequeue(item);
        if (result == TNwWaitResult::wrSignaled) {
          try {
            FLogAppender.WriteLog(item);
          } catch (...) {
            MarkFailed();
            state = TState::WaitAfterFail;
          }
        } else if (result == TNwWaitResult::wrAbandoned || Terminated()) {
          break;
        }
      } else if (state == TState::WaitAfterFail) {
        if (!SleepUnlessStopped(FTimings.WaitAfterFail)) break;
        // Without an error time (Setup gave up) the restart is due at once.
        if (!FErrorAt || steady_clock::now() - *FErrorAt >= FTimings.RestartAfter) {
          state = TState::ToRestart;
        }
      } else {
        bool restarted = false;
        try {
          FLogAppender.TryToRestart(restarted);
        } catch (...) {
          restarted = false;
        }
        if (restarted) {
          FLogAppender.SetLastErrorTimeStamp({});
          FErrorAt.reset();
          state = TState::Writing;
        } else {
          MarkFailed();
          state = TState::WaitAfterFail;
        }
      }
    }
    try {
      FLogAppender.TearDown();
    } catch (...) {
      // Nobody is left to tell.
    }
  }

  ILogAppender& FLogAppender;
  TAppenderQueue& FAppenderQueue;
  const TNwLogTimings FTimings;
  std::optional<steady_clock::time_point> FErrorAt;
  std::mutex FLock;
  std::condition_variable FWake;
  bool FTerminated = false;  // guarded by FLock
  std::thread FThread;
};

// A sink's private pipeline: its queue and its thread.
class TAppenderAdapter {
 public:
  TAppenderAdapter(std::shared_ptr<ILogAppender> appender, const TNwLogTimings& timings)
      : FLogAppender(std::move(appender)),
        FAppenderQueue(timings.AppenderQueueSize, timings.AppenderQueuePopTimeout),
        FAppenderThread(std::make_unique<TAppenderThread>(*FLogAppender, FAppenderQueue, timings)) {
  }
  ~TAppenderAdapter() {
    FAppenderThread.reset();
    FAppenderQueue.DoShutDown();
  }

  const std::shared_ptr<ILogAppender>& Appender() const { return FLogAppender; }

  // A full queue drops the line; nobody is told but the count.
  void EnqueueLog(TLogItem&& item) {
    if (FAppenderQueue.Enqueue(std::move(item))) {
      FFailsCount = 0;
    } else {
      ++FFailsCount;
    }
  }

 private:
  std::shared_ptr<ILogAppender> FLogAppender;
  TAppenderQueue FAppenderQueue;
  std::unique_ptr<TAppenderThread> FAppenderThread;
  uint64_t FFailsCount = 0;
};

// The dispatcher: takes lines from the main queue and hands them to every sink that wants them.
class TLoggerThread {
 public:
  TLoggerThread(std::vector<std::shared_ptr<ILogAppender>> appenders, const TNwLogTimings& timings)
      : FQueue(timings.MainQueueSize, timings.MainQueuePopTimeout),
        FAppenders(std::move(appenders)),
        FTimings(timings) {
    FThread = std::thread([this] { Execute(); });
  }
  ~TLoggerThread() { Stop(); }

  TThreadSafeQueue<TLogItem>& Queue() { return FQueue; }

  void Stop() {
    FTerminated.store(true, std::memory_order_release);
    FQueue.StopWaiting();
    if (FThread.joinable()) FThread.join();
    FQueue.DoShutDown();
  }

  void AddAppender(std::shared_ptr<ILogAppender> appender) {
    QueueChange(true, std::move(appender));
  }
  void DelAppender(std::shared_ptr<ILogAppender> appender) {
    QueueChange(false, std::move(appender));
  }

 private:
  // A change waits until the lines logged before it have been dispatched.
  struct TAppenderChange {
    bool add;
    std::shared_ptr<ILogAppender> appender;
    uint64_t after_lines;
  };

  void QueueChange(bool add, std::shared_ptr<ILogAppender> appender) {
    std::lock_guard lock(FChangesLock);
    FChanges.push_back({add, std::move(appender), FQueue.EnqueuedCount()});
    FHasChanges.store(true, std::memory_order_release);
  }

  void ApplyChanges(uint64_t dispatched) {
    std::vector<TAppenderChange> due;
    {
      std::lock_guard lock(FChangesLock);
      auto first_later = std::find_if(FChanges.begin(), FChanges.end(),
                                      [&](const auto& c) { return c.after_lines > dispatched; });
      std::move(FChanges.begin(), first_later, std::back_inserter(due));
      FChanges.erase(FChanges.begin(), first_later);
      FHasChanges.store(!FChanges.empty(), std::memory_order_relaxed);
    }
    for (TAppenderChange& change : due) {
      if (change.add) {
        FAppenders.push_back(change.appender);
        FAppendersDecorators.push_back(
            std::make_unique<TAppenderAdapter>(change.appender, FTimings));
      } else {
        std::erase(FAppenders, change.appender);
        // The adapter writes out what it holds before it goes.
        std::erase_if(FAppendersDecorators, [&](const std::unique_ptr<TAppenderAdapter>& a) {
          return a->Appender() == change.appender;
        });
      }
    }
  }

  void Dispatch(TLogItem& item) {
    const auto level = static_cast<uint8_t>(item.FType);
    auto wants = [level](const std::unique_ptr<TAppenderAdapter>& a) {
      return static_cast<uint8_t>(a->Appender()->GetLogLevel()) <= level;
    };
    // The last sink that wants the line gets the item itself, the others a copy.
    auto last = std::find_if(FAppendersDecorators.rbegin(), FAppendersDecorators.rend(), wants);
    if (last == FAppendersDecorators.rend()) return;
    for (auto it = FAppendersDecorators.begin(); it != last.base() - 1; ++it) {
      if (wants(*it)) (*it)->EnqueueLog(TLogItem(item));
    }
    (*last)->EnqueueLog(std::move(item));
  }

  void Execute() {
    for (const auto& appender : FAppenders) {
      FAppendersDecorators.push_back(std::make_unique<TAppenderAdapter>(appender, FTimings));
    }
    uint64_t dequeued = 0;
    for (;;) {
      TLogItem item;
      const TNwWaitResult result = FQueue.Dequeue(item);
      if (result == TNwWaitResult::wrSignaled) ++dequeued;
      if (FHasChanges.load(std::memory_order_acquire)) {
        ApplyChanges(result == TNwWaitResult::wrSignaled ? dequeued - 1 : dequeued);
      }
      if (result == TNwWaitResult::wrSignaled) {
        try {
          Dispatch(item);
        } catch (...) {
          // Out of memory for a copy: that line is lost, the next may fit.
        }
      } else if (result == TNwWaitResult::wrAbandoned ||
                 FTerminated.load(std::memory_order_acquire)) {
        break;
      }
    }
    ApplyChanges(UINT64_MAX);
    // In list order, each sink writes out its queue and stops.
    while (!FAppendersDecorators.empty()) FAppendersDecorators.erase(FAppendersDecorators.begin());
  }

  TThreadSafeQueue<TLogItem> FQueue;
  std::vector<std::shared_ptr<ILogAppender>> FAppenders;
  std::vector<std::unique_ptr<TAppenderAdapter>> FAppendersDecorators;
  const TNwLogTimings FTimings;
  std::atomic<bool> FTerminated{false};
  std::mutex FChangesLock;
  std::vector<TAppenderChange> FChanges;
  std::atomic<bool> FHasChanges{false};
  std::thread FThread;
};

// ---------------------------------------------------------------------------------------------

TLogWriter::TLogWriter(std::vector<std::shared_ptr<ILogAppender>> appenders, TLogType log_level,
                       const TNwLogTimings& timings)
    : FLogLevel(log_level),
      FLogAppenders(appenders),
      FLoggerThread(std::make_unique<TLoggerThread>(std::move(appenders), timings)),
      FQueue(&FLoggerThread->Queue()) {}

TLogWriter::~TLogWriter() {
  Shutdown();
}

void TLogWriter::Shutdown() {
  std::lock_guard lock(FAppendersLock);
  if (FShutDown) return;
  FShutDown = true;
  FLoggerThread->Stop();
  FLogAppenders.clear();
}

void TLogWriter::Enqueue(TLogType type, std::string&& message, std::string_view tag) {
  TLogItem item{type, platform::CurrentThreadId(), system_clock::now(), std::move(message),
                std::string(tag)};
  if (FQueue->Enqueue(std::move(item))) return;
  if (FQueue->IsShutDown()) return;
  throw ELogWriterError(kQueueFullMessage);
}

void TLogWriter::Log(TLogType type, std::string_view message, std::string_view tag) {
  if (Accepts(type)) Enqueue(type, std::string(message), tag);
}

void TLogWriter::Log(TLogType type, std::string_view message, TNwFmtArgs args,
                     std::string_view tag) {
  if (Accepts(type)) Enqueue(type, Format(message, args), tag);
}

std::vector<std::string> TLogWriter::GetAppendersClassNames() {
  std::vector<std::string> names;
  for (const auto& appender : GetAppenders()) names.push_back(ClassNameOf(*appender));
  return names;
}

std::vector<std::shared_ptr<ILogAppender>> TLogWriter::GetAppenders() {
  std::lock_guard lock(FAppendersLock);
  return FLogAppenders;
}

void TLogWriter::AddAppender(std::shared_ptr<ILogAppender> appender) {
  std::lock_guard lock(FAppendersLock);
  if (FShutDown || !appender) return;
  FLogAppenders.push_back(appender);
  FLoggerThread->AddAppender(std::move(appender));
}

void TLogWriter::DelAppender(const std::shared_ptr<ILogAppender>& appender) {
  std::lock_guard lock(FAppendersLock);
  if (FShutDown) return;
  auto it = std::find(FLogAppenders.begin(), FLogAppenders.end(), appender);
  if (it == FLogAppenders.end()) return;
  FLogAppenders.erase(it);
  FLoggerThread->DelAppender(appender);
}

size_t TLogWriter::AppendersCount() {
  std::lock_guard lock(FAppendersLock);
  return FLogAppenders.size();
}

// ---------------------------------------------------------------------------------------------

namespace {

std::mutex gGlobalLock;
std::atomic<TLogWriter*> gGlobalWriter{nullptr};
bool gProcessEnding = false;  // guarded by gGlobalLock

// Every global writer ever built. They are never freed: a thread may still hold the reference
// while the process ends, and a shut-down writer only drops lines.
std::vector<std::unique_ptr<TLogWriter>>& AllGlobalWriters() {
  static auto* writers = new std::vector<std::unique_ptr<TLogWriter>>;
  return *writers;
}

void ShutdownLocked() {
  if (TLogWriter* writer = gGlobalWriter.exchange(nullptr, std::memory_order_acq_rel)) {
    writer->Shutdown();
  }
}

// Writes the log out at process exit when main did not.
struct TGlobalWriterCloser {
  ~TGlobalWriterCloser() {
    std::lock_guard lock(gGlobalLock);
    gProcessEnding = true;
    ShutdownLocked();
  }
};

}  // namespace

ILogWriter& GlobalLogWriter() {
  if (TLogWriter* writer = gGlobalWriter.load(std::memory_order_acquire)) return *writer;
  std::lock_guard lock(gGlobalLock);
  if (TLogWriter* writer = gGlobalWriter.load(std::memory_order_relaxed)) return *writer;
  auto& writers = AllGlobalWriters();
  if (gProcessEnding && !writers.empty()) return *writers.back();
  auto appender = std::make_shared<TLogFileAppender>();
  writers.push_back(std::make_unique<TLogWriter>(
      std::vector<std::shared_ptr<ILogAppender>>{std::move(appender)}, TLogType::Debug));
  // Built after the platform objects the sink uses, so it is destroyed before them.
  static TGlobalWriterCloser closer;
  gGlobalWriter.store(writers.back().get(), std::memory_order_release);
  return *writers.back();
}

void ShutdownGlobalLogWriter() {
  std::lock_guard lock(gGlobalLock);
  ShutdownLocked();
}

}  // namespace quorvex
