// The running processes of the machine.
#pragma once

#include <functional>
#include <string_view>

namespace quorvex::platform {

class IProcessTable {
 public:
  virtual ~IProcessTable() = default;
  // Calls `visit` with the executable file name of each running process, in the table's own
  // order, until `visit` answers false. A process that cannot be named is left out.
  virtual void ForEachProcess(const std::function<bool(std::string_view exe_name)>& visit) = 0;
};

// This machine's.
IProcessTable& ProcessTable();

}  // namespace quorvex::platform
