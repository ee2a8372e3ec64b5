// The Linux hardware sources, with their roots open to tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/hardware.h"

namespace quorvex::platform {

// Display controllers from the PCI devices under `sys_root`/bus/pci, named from the first
// readable PCI name database of `pci_ids`; disk drives under `sys_root`/block; firmware and
// system names under `sys_root`/class/dmi/id; the kernel release under `proc_root`.
class TLinuxMachineInfo final : public IMachineInfo {
 public:
  TLinuxMachineInfo(std::string sys_root, std::vector<std::string> pci_ids, std::string proc_root);

  std::vector<std::optional<std::string>> VideoControllerNames() override;
  std::vector<TDiskDriveInfo> DiskDrives() override;
  std::vector<TBiosInfo> BiosInfos() override;
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

}  // namespace quorvex::platform
