// The process-wide diagnostic log as its callers see it: any thread hands a line to the writer
// and returns at once; the writer's own threads put it into the files (common/log_pipeline.h).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/format.h"

namespace quorvex {

enum class TLogType : uint8_t { Debug = 0, Info = 1, Warning = 2, Error = 3 };

class ELogWriterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "DEBUG", "INFO", "WARNING", "ERROR"; any other value raises ELogWriterError.
std::string_view LogTypeName(TLogType type);

class ILogAppender;

class ILogWriter {
 public:
  virtual ~ILogWriter() = default;

  // Every level operation ends in one of these two.
  virtual void Log(TLogType type, std::string_view message, std::string_view tag) = 0;
  virtual void Log(TLogType type, std::string_view message, TNwFmtArgs args,
                   std::string_view tag) = 0;

  virtual std::vector<std::string> GetAppendersClassNames() = 0;
  virtual std::vector<std::shared_ptr<ILogAppender>> GetAppenders() = 0;
  virtual void AddAppender(std::shared_ptr<ILogAppender> appender) = 0;
  virtual void DelAppender(const std::shared_ptr<ILogAppender>& appender) = 0;
  virtual size_t AppendersCount() = 0;

  void LogFmt(TLogType y, std::string_view m, TNwFmtArgs a, std::string_view t) { Log(y, m, a, t); }
  void Debug(std::string_view m, std::string_view t) { Log(TLogType::Debug, m, t); }
  void Debug(std::string_view m, TNwFmtArgs a, std::string_view t) {
    Log(TLogType::Debug, m, a, t);
  }
  void DebugFmt(std::string_view m, TNwFmtArgs a, std::string_view t) { Debug(m, a, t); }
  void Info(std::string_view m, std::string_view t) { Log(TLogType::Info, m, t); }
  void Info(std::string_view m, TNwFmtArgs a, std::string_view t) { Log(TLogType::Info, m, a, t); }
  void InfoFmt(std::string_view m, TNwFmtArgs a, std::string_view t) { Info(m, a, t); }
  void Warn(std::string_view m, std::string_view t) { Log(TLogType::Warning, m, t); }
  void Warn(std::string_view m, TNwFmtArgs a, std::string_view t) {
    Log(TLogType::Warning, m, a, t);
  }
  void WarnFmt(std::string_view m, TNwFmtArgs a, std::string_view t) { Warn(m, a, t); }
  void Error(std::string_view m, std::string_view t) { Log(TLogType::Error, m, t); }
  void Error(std::string_view m, TNwFmtArgs a, std::string_view t) {
    Log(TLogType::Error, m, a, t);
  }
  void ErrorFmt(std::string_view m, TNwFmtArgs a, std::string_view t) { Error(m, a, t); }

  // Braced argument lists: Info("keyboard hook success, id:%d", {id}, "").
  using Args = std::initializer_list<TNwFmtArg>;
  void Debug(std::string_view m, Args a, std::string_view t) { Debug(m, Span(a), t); }
  void DebugFmt(std::string_view m, Args a, std::string_view t) { Debug(m, Span(a), t); }
  void Info(std::string_view m, Args a, std::string_view t) { Info(m, Span(a), t); }
  void InfoFmt(std::string_view m, Args a, std::string_view t) { Info(m, Span(a), t); }
  void Warn(std::string_view m, Args a, std::string_view t) { Warn(m, Span(a), t); }
  void WarnFmt(std::string_view m, Args a, std::string_view t) { Warn(m, Span(a), t); }
  void Error(std::string_view m, Args a, std::string_view t) { Error(m, Span(a), t); }
  void ErrorFmt(std::string_view m, Args a, std::string_view t) { Error(m, Span(a), t); }
  void Log(TLogType y, std::string_view m, Args a, std::string_view t) { Log(y, m, Span(a), t); }
  void LogFmt(TLogType y, std::string_view m, Args a, std::string_view t) { Log(y, m, Span(a), t); }

 private:
  static TNwFmtArgs Span(Args a) { return TNwFmtArgs(a.begin(), a.size()); }
};

// The process-wide writer, built by the first call: one file sink in platform::TempDir().
// The reference stays valid for the whole process; after ShutdownGlobalLogWriter it drops
// lines.
ILogWriter& GlobalLogWriter();
// Writes out everything logged so far and stops the global writer. A later GlobalLogWriter()
// builds a fresh one, except during process exit. Runs by itself at exit when not called.
void ShutdownGlobalLogWriter();

}  // namespace quorvex
