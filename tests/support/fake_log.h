// A log writer that keeps its lines in memory.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/format.h"
#include "common/log.h"

namespace quorvex::testing {

// Keeps every line as "LEVEL message".
class FakeLog : public ILogWriter {
 public:
  std::vector<std::string> Lines;

  using ILogWriter::Log;

  void Log(TLogType type, std::string_view message, std::string_view) override {
    Lines.push_back(std::string(LogTypeName(type)) + " " + std::string(message));
  }
  void Log(TLogType type, std::string_view message, TNwFmtArgs args,
           std::string_view tag) override {
    Log(type, Format(message, args), tag);
  }
  std::vector<std::string> GetAppendersClassNames() override { return {}; }
  std::vector<std::shared_ptr<ILogAppender>> GetAppenders() override { return {}; }
  void AddAppender(std::shared_ptr<ILogAppender>) override {}
  void DelAppender(const std::shared_ptr<ILogAppender>&) override {}
  size_t AppendersCount() override { return 0; }
};

}  // namespace quorvex::testing
