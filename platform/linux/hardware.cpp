// Hardware names, memory and processors: sysfs, the PCI name database, procfs, sysinfo(2).
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/linux/hardware.h"

namespace quorvex::platform {
namespace {

// Processors do come and go, but the program judges the machine it was started on.
const int g_processors_at_start = [] {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(std::min<long>(n, INT_MAX)) : 0;
}();

// Without the blanks and control characters at both ends.
std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return std::string(text.substr(b, e - b));
}

std::optional<std::string> ReadTrimmed(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return Trim(text.str());
}

std::optional<std::string> LinkName(const std::string& path) {
  char buf[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buf, sizeof buf);
  if (n <= 0) return std::nullopt;
  std::string_view target(buf, static_cast<size_t>(n));
  return std::string(target.substr(target.rfind('/') + 1));
}

// Entries of `dir` sorted by name, so that the order does not depend on the file system.
std::vector<std::string> SortedEntries(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (!d) throw std::runtime_error("cannot read " + dir + ": " + std::strerror(errno));
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      names.emplace_back(e->d_name);
    }
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<uint16_t> ParseId(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  unsigned long value = std::strtoul(text->c_str(), &end, 16);
  if (errno != 0 || end == text->c_str() || *end != '\0' || value > 0xffff) return std::nullopt;
  return static_cast<uint16_t>(value);
}

std::string Hex4(uint16_t value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04x", value);
  return buf;
}

}  // namespace

std::string PciDeviceName(const std::vector<std::string>& databases, uint16_t vendor,
                          uint16_t device) {
  const std::string vendor_id = Hex4(vendor), device_id = Hex4(device);
  for (const std::string& path : databases) {
    std::ifstream in(path);
    if (!in) continue;
    std::string vendor_name, device_name, line;
    bool in_vendor = false;
    // Vendors start in the first column, their devices after one tab, subsystems after two;
    // the device classes ("C ...") follow all vendors.
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      if (line[0] != '\t') {
        if (in_vendor || line.starts_with("C ")) break;
        if (line.size() > 6 && line.compare(0, 4, vendor_id) == 0 && line[4] == ' ') {
          vendor_name = Trim(std::string_view(line).substr(5));
          in_vendor = true;
        }
      } else if (in_vendor && line.size() > 7 && line[1] != '\t' &&
                 line.compare(1, 4, device_id) == 0 && line[5] == ' ') {
        device_name = Trim(std::string_view(line).substr(6));
        break;
      }
    }
    if (vendor_name.empty()) return "Device " + vendor_id + ":" + device_id;
    if (device_name.empty()) return vendor_name + " Device " + device_id;
    return vendor_name + " " + device_name;
  }
  std::string tried;
  for (const std::string& path : databases) tried += (tried.empty() ? "" : ", ") + path;
  throw std::runtime_error("no PCI name database could be read (" + tried + ")");
}

TLinuxMachineInfo::TLinuxMachineInfo(std::string sys_root, std::vector<std::string> pci_ids,
                                     std::string proc_root)
    : FSysRoot(std::move(sys_root)), FPciIds(std::move(pci_ids)), FProcRoot(std::move(proc_root)) {}

std::vector<std::optional<std::string>> TLinuxMachineInfo::VideoControllerNames() {
  const std::string dir = FSysRoot + "/bus/pci/devices/";
  std::vector<std::optional<std::string>> names;
  for (const std::string& entry : SortedEntries(dir)) {
    const std::string base = dir + entry + "/";
    // Base class 03: display controllers (VGA, XGA, 3D and others).
    auto device_class = ReadTrimmed(base + "class");
    if (!device_class || !device_class->starts_with("0x03")) continue;
    auto vendor = ParseId(ReadTrimmed(base + "vendor"));
    auto device = ParseId(ReadTrimmed(base + "device"));
    if (!vendor || !device) {
      names.emplace_back(std::nullopt);
      continue;
    }
    names.emplace_back(PciDeviceName(FPciIds, *vendor, *device));
  }
  return names;
}

std::vector<TDiskDriveInfo> TLinuxMachineInfo::DiskDrives() {
  const std::string dir = FSysRoot + "/block/";
  std::vector<TDiskDriveInfo> drives;
  for (const std::string& entry : SortedEntries(dir)) {
    const std::string base = dir + entry + "/device";
    // Loop, RAM, zram, device-mapper and RAID block devices have no device of their own.
    auto device = LinkName(base);
    if (!device) continue;
    TDiskDriveInfo drive;
    if (auto bus = LinkName(base + "/subsystem")) drive.Identifier = *bus + "\\" + *device;
    std::string caption;
    auto model = ReadTrimmed(base + "/model");
    if (!model) model = ReadTrimmed(base + "/name");  // MMC and SD cards
    for (const auto& part : {ReadTrimmed(base + "/vendor"), model}) {
      if (!part || part->empty()) continue;
      if (!caption.empty()) caption += ' ';
      caption += *part;
    }
    drive.Caption = caption;
    drives.push_back(std::move(drive));
  }
  return drives;
}

std::vector<TBiosInfo> TLinuxMachineInfo::BiosInfos() {
  const std::string dir = FSysRoot + "/class/dmi/id/";
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0) {
    throw std::runtime_error("cannot read " + dir + ": " + std::strerror(errno));
  }
  return {
      {ReadTrimmed(dir + "bios_vendor"), ReadTrimmed(dir + "bios_version")},
      {ReadTrimmed(dir + "sys_vendor"), ReadTrimmed(dir + "product_name")},
  };
}

std::optional<std::string> TLinuxMachineInfo::KernelRelease() {
  return ReadTrimmed(FProcRoot + "/sys/kernel/osrelease");
}

uint64_t TLinuxMachineInfo::TotalPhysicalMemory() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return static_cast<uint64_t>(info.totalram) * info.mem_unit;
}

int TLinuxMachineInfo::LogicalProcessorCount() {
  return g_processors_at_start;
}

IMachineInfo& MachineInfo() {
  static TLinuxMachineInfo info(
      "/sys", {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids", "/usr/share/pci.ids"},
      "/proc");
  return info;
}

}  // namespace quorvex::platform
