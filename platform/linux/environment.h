// The Linux sources of the environment checks, with their roots open to tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace quorvex::platform {

// "host:0" names a display reached over the network; ":0", "unix:0" and socket paths do not.
bool DisplayIsRemote(std::string_view display);

// Monitors of the X server `display_name` (nullptr: $DISPLAY), as MonitorCount counts them.
int MonitorCountOn(const char* display_name);

// The value of `key` in a KEY=value file such as logind's state files; nullopt when the
// file cannot be read or has no such key.
std::optional<std::string> ReadKeyValue(const std::string& path, std::string_view key);

using EnvLookup = std::function<const char*(const char* name)>;

// logind's records under `run_dir` (/run/systemd), the environment through `env`, the audit
// session of the process in `audit_session_file` (/proc/self/sessionid).
class TLinuxSessionInfo final : public ISessionInfo {
 public:
  TLinuxSessionInfo(std::string run_dir, EnvLookup env, std::string audit_session_file);

  bool SessionReportsRemote() override;
  std::optional<std::string> CurrentSessionId() override;
  std::optional<std::string> ConsoleSessionId(const std::string& session) override;

 private:
  const char* Env(const char* name) const;

  std::string FRunDir;
  EnvLookup FEnv;
  std::string FAuditSessionFile;
};

// Display controllers from the PCI devices under `sys_root`/bus/pci, named from the first
// readable PCI name database of `pci_ids`; disk drives under `sys_root`/block; firmware and
// system names under `sys_root`/class/dmi/id; the kernel release under `proc_root`.
class TLinuxMachineInfo final : public IMachineInfo {
 public:
  TLinuxMachineInfo(std::string sys_root, std::vector<std::string> pci_ids, std::string proc_root);

  std::vector<std::optional<std::string>> VideoControllerNames() override;
  std::vector<DiskDriveInfo> DiskDrives() override;
  std::vector<BiosInfo> BiosInfos() override;
  std::optional<std::string> KernelRelease() override;
  uint64_t TotalPhysicalMemory() override;
  int LogicalProcessorCount() override;

 private:
  std::string FSysRoot;
  std::vector<std::string> FPciIds;
  std::string FProcRoot;
};

// The PCI name database's names for a device, as lspci gives them: "Vendor Device",
// "Vendor Device 1234" for an unlisted device, "Device 10de:1234" for an unlisted vendor.
// Throws std::runtime_error when no database can be read.
std::string PciDeviceName(const std::vector<std::string>& databases, uint16_t vendor,
                          uint16_t device);

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
