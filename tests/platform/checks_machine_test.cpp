#include <sys/sysinfo.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "checks/utils.h"
#include "platform/linux/hardware.h"
#include "tests/platform/checks_support.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kPciIds =
    "# comment\n"
    "1234  Technical Corp.\n"
    "\t1111  QEMU Virtual Video Controller\n"
    "15ad  VMware\n"
    "\t0405  SVGA II Adapter\n"
    "\t\t15ad 0405  SVGA II Adapter\n"
    "\t0740  Virtual Machine Communication Interface\n"
    "80ee  InnoTek Systemberatung GmbH\n"
    "\tbeef  VirtualBox Graphics Adapter\n"
    "8086  Intel Corporation\n"
    "\t3e92  CoffeeLake-S GT2 [UHD Graphics 630]\n"
    "C 03  Display controller\n"
    "\t00  VGA compatible controller\n";

class CheckLinuxMachine : public FixtureTree {
 protected:
  void PciDevice(const std::string& address, const std::string& device_class,
                 const std::string& vendor, const std::string& device) {
    const std::string base = "sys/bus/pci/devices/" + address + "/";
    Write(base + "class", device_class + "\n");
    if (!vendor.empty()) Write(base + "vendor", vendor + "\n");
    Write(base + "device", device + "\n");
  }

  // A block device with its device directory under sys/devices/<bus>/<name>.
  void Disk(const std::string& name, const std::string& bus, const std::string& device,
            const std::map<std::string, std::string>& attributes) {
    const std::string dir = "sys/devices/" + bus + "/" + device;
    MakeDir(dir);
    MakeDir("sys/bus/" + bus);
    Link(dir + "/subsystem", Path("sys/bus/" + bus));
    for (const auto& [file, value] : attributes) Write(dir + "/" + file, value);
    Link("sys/block/" + name + "/device", Path(dir));
  }

  platform::TLinuxMachineInfo Machine(std::vector<std::string> pci_ids = {}) {
    if (pci_ids.empty()) pci_ids = {Path("none/pci.ids"), Path("pci.ids")};
    return platform::TLinuxMachineInfo(Path("sys"), pci_ids, Path("proc"));
  }
};

TEST_F(CheckLinuxMachine, DisplayControllersNamedFromTheDatabase) {
  Write("pci.ids", kPciIds);
  PciDevice("0000:00:00.0", "0x060000", "0x8086", "0x3e0f");  // host bridge: not a display
  PciDevice("0000:00:02.0", "0x030000", "0x8086", "0x3e92");
  PciDevice("0000:00:0f.0", "0x030000", "0x15ad", "0x0405");
  PciDevice("0000:00:10.0", "0x038000", "0x15ad", "0x9999");
  PciDevice("0000:01:00.0", "0x030200", "0x10de", "0x2484");
  PciDevice("0000:02:00.0", "0x030000", "", "0x0001");  // vendor unreadable
  EXPECT_THAT(
      Machine().VideoControllerNames(),
      ElementsAre("Intel Corporation CoffeeLake-S GT2 [UHD Graphics 630]", "VMware SVGA II Adapter",
                  "VMware Device 9999", "Device 10de:2484", std::nullopt));
}

TEST_F(CheckLinuxMachine, UnreadableSources) {
  // No PCI bus, no block devices, no firmware tables.
  EXPECT_THROW(Machine().VideoControllerNames(), std::runtime_error);
  EXPECT_THROW(Machine().DiskDrives(), std::runtime_error);
  EXPECT_THROW(Machine().BiosInfos(), std::runtime_error);
  EXPECT_EQ(Machine().KernelRelease(), std::nullopt);

  // The name database is needed only when there is a display controller.
  PciDevice("0000:00:00.0", "0x060000", "0x8086", "0x3e0f");
  EXPECT_TRUE(Machine().VideoControllerNames().empty());
  PciDevice("0000:00:02.0", "0x030000", "0x8086", "0x3e92");
  try {
    Machine().VideoControllerNames();
    ADD_FAILURE() << "no database, no names";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr(Path("pci.ids")));
  }
}

TEST_F(CheckLinuxMachine, DiskDrivesWithIdentifierAndCaption) {
  Disk("sda", "scsi", "2:0:0:0", {{"vendor", "VMware  \n"}, {"model", "Virtual disk    \n"}});
  Disk("nvme0n1", "nvme", "nvme0", {{"model", "Samsung SSD 980 PRO 1TB          \n"}});
  Disk("mmcblk0", "mmc", "mmc0:aaaa", {{"name", "SC32G\n"}});
  Disk("vda", "virtio", "virtio1", {{"vendor", "0x1af4\n"}});
  Disk("xvda", "xen", "vbd-51712", {});
  MakeDir("sys/block/loop0");  // no device: not a drive
  MakeDir("sys/block/dm-0");
  Link("sys/block/sdb/device", Path("sys/devices/scsi/gone"));  // vanished

  std::vector<std::pair<std::optional<std::string>, std::optional<std::string>>> drives;
  for (const auto& d : Machine().DiskDrives()) drives.emplace_back(d.Identifier, d.Caption);
  using P = std::pair<std::optional<std::string>, std::optional<std::string>>;
  EXPECT_THAT(drives,
              ElementsAre(P{"mmc\\mmc0:aaaa", "SC32G"}, P{"nvme\\nvme0", "Samsung SSD 980 PRO 1TB"},
                          P{"scsi\\2:0:0:0", "VMware Virtual disk"}, P{std::nullopt, ""},
                          P{"virtio\\virtio1", "0x1af4"}, P{"xen\\vbd-51712", ""}));
}

TEST_F(CheckLinuxMachine, FirmwareAndSystemNames) {
  Write("sys/class/dmi/id/bios_vendor", "innotek GmbH\n");
  Write("sys/class/dmi/id/bios_version", "VirtualBox\n");
  Write("sys/class/dmi/id/sys_vendor", "innotek GmbH\n");
  Write("proc/sys/kernel/osrelease", "5.15.153.1-microsoft-standard-WSL2\n");
  auto bios = Machine().BiosInfos();
  ASSERT_EQ(bios.size(), 2u);
  EXPECT_EQ(bios[0].Manufacturer, "innotek GmbH");
  EXPECT_EQ(bios[0].Caption, "VirtualBox");
  EXPECT_EQ(bios[1].Manufacturer, "innotek GmbH");
  EXPECT_EQ(bios[1].Caption, std::nullopt);
  EXPECT_EQ(Machine().KernelRelease(), "5.15.153.1-microsoft-standard-WSL2");
}

// The virtual-machine check over made-up /sys trees, the log made up.
TEST_F(CheckLinuxMachine, VirtualMachineFromSysfs) {
  Write("pci.ids", kPciIds);
  PciDevice("0000:00:02.0", "0x030000", "0x80ee", "0xbeef");
  Disk("sda", "scsi", "0:0:0:0", {{"vendor", "ATA\n"}, {"model", "VBOX HARDDISK\n"}});
  Write("sys/class/dmi/id/sys_vendor", "innotek GmbH\n");
  auto machine = Machine();
  FakeMachineRoom room;
  TNwCheckEnv fake = room.Env();
  const TNwCheckEnv env{.MarkerPresent = MarkerFilesIn(Root().string() + "/"),
                        .Session = fake.Session,
                        .Machine = machine,
                        .Processes = fake.Processes,
                        .Log = fake.Log,
                        .Strings = fake.Strings,
                        .Debug = nullptr,
                        .ShowInformation = nullptr};
  EXPECT_TRUE(IsVirtualMachine(env));
  EXPECT_THAT(
      room.Log.Lines,
      ElementsAre("INFO checking is vm",
                  "INFO video card ident： innotek systemberatung gmbh virtualbox "
                  "graphics adapter",
                  "INFO driver name:scsi\\0:0:0:0ata vbox harddisk", "INFO return from bios",
                  "INFO driver name:innotek gmbh", "INFO running in virtual machine"));

  // The adapter was the only sign.
  fs::remove_all(Root() / "sys/bus/pci/devices/0000:00:02.0");
  EXPECT_FALSE(IsVirtualMachine(env));
  Write("sys/class/dmi/id/product_name", "VirtualBox\n");
  EXPECT_TRUE(IsVirtualMachine(env));
  Write("vm.qdx", "");
  EXPECT_FALSE(IsVirtualMachine(env));
}

TEST(CheckThisMachine, VirtualMachineCheckLogsItsThreeTexts) {
  FakeMachineRoom room;
  TNwCheckEnv fake = room.Env();
  const TNwCheckEnv env{.MarkerPresent = [](std::string_view) { return false; },
                        .Session = platform::SessionInfo(),
                        .Machine = platform::MachineInfo(),
                        .Processes = platform::ProcessTable(),
                        .Log = fake.Log,
                        .Strings = fake.Strings,
                        .Debug = nullptr,
                        .ShowInformation = nullptr};
  const bool vm = IsVirtualMachine(env);
  const auto& lines = room.Log.Lines;
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "INFO checking is vm");
  EXPECT_THAT(lines, Contains(StartsWith("INFO video card ident： ")));
  EXPECT_THAT(lines, Contains(StartsWith("INFO driver name:")));
  EXPECT_EQ(lines.back() == "INFO running in virtual machine", vm);
}

TEST(CheckThisMachine, MemoryAndProcessorsAsTheKernelCountsThem) {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t kib = 0;
  while (meminfo >> key && key != "MemTotal:") meminfo.ignore(256, '\n');
  meminfo >> kib;
  EXPECT_EQ(platform::MachineInfo().TotalPhysicalMemory(), kib * 1024);
  EXPECT_EQ(platform::MachineInfo().LogicalProcessorCount(), get_nprocs());
}

}  // namespace
}  // namespace quorvex::testing
