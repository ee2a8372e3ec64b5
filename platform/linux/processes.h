// The process table under any procfs root, open to tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/processes.h"

namespace quorvex::platform {

// Processes under `proc_root`. The name is the executable's file name; when the executable
// cannot be read, the file name of the first command-line word, else the kernel's short name.
class TLinuxProcessTable final : public IProcessTable {
 public:
  explicit TLinuxProcessTable(std::string proc_root);
  void ForEachProcess(const std::function<bool(std::string_view exe_name)>& visit) override;

 private:
  std::string FProcRoot;
};

}  // namespace quorvex::platform
