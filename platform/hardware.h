// Hardware and system facts: display controllers, disks, firmware, kernel, memory, processors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvex::platform {

// One disk drive as the system names it; nullopt for a value that cannot be read.
struct TDiskDriveInfo {
  std::optional<std::string> Identifier;
  std::optional<std::string> Caption;
};

// One firmware or system identification record.
struct TBiosInfo {
  std::optional<std::string> Manufacturer;
  std::optional<std::string> Caption;
};

// The three lists come in the source's own order and throw std::runtime_error when the
// source cannot be read at all.
class IMachineInfo {
 public:
  virtual ~IMachineInfo() = default;
  virtual std::vector<std::optional<std::string>> VideoControllerNames() = 0;
  virtual std::vector<TDiskDriveInfo> DiskDrives() = 0;
  virtual std::vector<TBiosInfo> BiosInfos() = 0;
  // The running kernel's release text; nullopt when unreadable.
  virtual std::optional<std::string> KernelRelease() = 0;
  // Bytes of memory the system can use; 0 when the query fails.
  virtual uint64_t TotalPhysicalMemory() = 0;
  // Logical processors online when the program started.
  virtual int LogicalProcessorCount() = 0;
};

// This machine.
IMachineInfo& MachineInfo();

}  // namespace quorvex::platform
