#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "checks/utils.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

using platform::TBiosInfo;
using platform::TDiskDriveInfo;
using ::testing::ElementsAre;

struct VmCase {
  const char* name;
  std::vector<std::optional<std::string>> video;
  std::vector<TDiskDriveInfo> disks;
  std::vector<TBiosInfo> bios;
  bool expected;
  bool bios_queried;
};
// Named in test listings and failures, rather than dumped as bytes.
void PrintTo(const VmCase& c, std::ostream* os) {
  *os << c.name;
}

class CheckVirtualHardware : public ::testing::TestWithParam<VmCase> {};

TEST_P(CheckVirtualHardware, WordListsAndOrder) {
  const VmCase& c = GetParam();
  FakeMachineRoom room;
  room.Machine.Video = c.video;
  room.Machine.Disks = c.disks;
  room.Machine.Bios = c.bios;
  EXPECT_EQ(HasVirtualHardware(room.Env()), c.expected);
  EXPECT_EQ(room.Machine.BiosQueries, c.bios_queried ? 1 : 0);
}

const TDiskDriveInfo kSsd{"nvme\\nvme0", "Samsung SSD 980 PRO 1TB"};
const TBiosInfo kAmi{"American Megatrends Inc.", "F12"};
const TBiosInfo kBoard{"Micro-Star International Co., Ltd.", "MS-7C56"};

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckVirtualHardware,
    ::testing::Values(
        VmCase{"PhysicalMachine",
               {"Intel Corporation UHD Graphics 630"},
               {kSsd},
               {kAmi, kBoard},
               false,
               true},
        VmCase{"VmwareAdapterCountsAfterTheBios",
               {"VMware SVGA II Adapter"},
               {kSsd},
               {kAmi},
               true,
               true},
        VmCase{"VirtualBoxAdapterInAnyCase",
               {"InnoTek Systemberatung GmbH VIRTUALBOX Graphics Adapter"},
               {kSsd},
               {kAmi},
               true,
               true},
        VmCase{"PlainVirtualAdapterDoesNotCount",
               {"Technical Corp QEMU Virtual Video Controller"},
               {kSsd},
               {kAmi},
               false,
               true},
        VmCase{"VirtualDiskEndsBeforeTheBios",
               {},
               {kSsd, {"scsi\\0:0:0:0", "Msft Virtual Disk"}},
               {kAmi},
               true,
               false},
        VmCase{"VboxAloneIsNoWord",
               {},
               {{"ata\\1.0", "ATA VBOX HARDDISK"}},
               {{"innotek GmbH", "VBOX"}},
               false,
               true},
        VmCase{"VirtualBoxProductName",
               {},
               {kSsd},
               {kAmi, {"innotek GmbH", "VirtualBox"}},
               true,
               true},
        VmCase{"VmwareManufacturerOnly", {}, {kSsd}, {{"VMware, Inc.", std::nullopt}}, true, true},
        VmCase{"WordAcrossTwoBiosValues",
               {},
               {kSsd},
               {{"Acme VM", std::nullopt}, {"ware", "x"}},
               true,
               true},
        VmCase{"WordAcrossTwoDisks",
               {},
               {{"usb\\1-1", "Generic Virt"}, {"ual\\2", "Stick"}},
               {kAmi},
               true,
               false}),
    [](const auto& info) { return info.param.name; });

TEST(CheckVirtualHardwareLog, ThreeTextsLowerCasedWithTheirPrefixes) {
  FakeMachineRoom room;
  room.Machine.Video = {"NVIDIA Corporation GA104 [GeForce RTX 3070]", "Intel UHD"};
  room.Machine.Disks = {kSsd};
  room.Machine.Bios = {kAmi};
  EXPECT_FALSE(HasVirtualHardware(room.Env()));
  EXPECT_THAT(
      room.Log.Lines,
      ElementsAre("INFO video card ident： nvidia corporation ga104 [geforce rtx 3070]intel uhd",
                  "INFO driver name:nvme\\nvme0samsung ssd 980 pro 1tb", "INFO return from bios",
                  "INFO driver name:american megatrends inc.f12"));
}

TEST(CheckVirtualHardwareLog, MissingValueEndsItsTextAndIsLogged) {
  FakeMachineRoom room;
  room.Machine.Video = {"Intel UHD", std::nullopt, "VMware SVGA II Adapter"};
  room.Machine.Disks = {kSsd, {std::nullopt, "VMware Virtual disk"}, {"x", "VMware"}};
  room.Machine.Bios = {kAmi};
  EXPECT_EQ(GetVideoControllerText(room.Env()), "Intel UHD");
  EXPECT_EQ(GetDiskDriveText(room.Env()), "nvme\\nvme0Samsung SSD 980 PRO 1TB");
  room.Machine.Disks = {{"scsi\\2:0:0:0", std::nullopt}, kSsd};
  EXPECT_EQ(GetDiskDriveText(room.Env()), "scsi\\2:0:0:0");
  EXPECT_THAT(room.Log.Lines,
              ElementsAre("WARNING create wbemscriptin.swbemlocator faileddisplay controller name "
                          "is missing",
                          "INFO getDriverInfo failed, disk drive identifier is missing, ",
                          "INFO getDriverInfo failed, disk drive caption is missing, "));

  // The words after the gap are never seen.
  room.Machine.Disks = {kSsd, {std::nullopt, "VMware Virtual disk"}};
  EXPECT_FALSE(HasVirtualHardware(room.Env()));
}

TEST(CheckVirtualHardwareLog, UnreadableSourcesGiveThreeErrorLinesAndNoFind) {
  FakeMachineRoom room;
  room.Machine.VideoError = "cannot read /sys/bus/pci/devices/";
  room.Machine.DiskError = "cannot read /sys/block/";
  room.Machine.BiosError = "cannot read /sys/class/dmi/id/";
  EXPECT_FALSE(HasVirtualHardware(room.Env()));
  EXPECT_THAT(
      room.Log.Lines,
      ElementsAre(
          "WARNING create wbemscriptin.swbemlocator failedcannot read /sys/bus/pci/devices/",
          "INFO video card ident： ", "INFO getDriverInfo failed, cannot read /sys/block/, ",
          "INFO driver name:", "INFO getBIOS failed, cannot read /sys/class/dmi/id/, ",
          "INFO return from bios", "INFO driver name:"));
}

TEST(CheckWineHost, KernelUnderWindowsCompatibilityLayer) {
  struct Case {
    std::optional<std::string> release;
    bool expected;
  };
  for (const Case& c :
       {Case{"5.15.153.1-microsoft-standard-WSL2", true}, Case{"4.4.0-19041-Microsoft", true},
        Case{"6.6.36.3-WSL2-custom", true}, Case{"6.1.0-13-amd64", false}, Case{"", false},
        Case{std::nullopt, false}}) {
    FakeMachineRoom room;
    room.Machine.Kernel = c.release;
    EXPECT_EQ(IsWineHost(room.Env()), c.expected) << c.release.value_or("(unreadable)");
  }
}

TEST(CheckVirtualMachine, MarkerSkipsHardwareButNotTheCompatibilityLayer) {
  FakeMachineRoom room;
  room.Markers.insert("vm.qdx");
  room.Machine.Video = {"VMware SVGA II Adapter"};
  room.Machine.Kernel = "5.15.153.1-microsoft-standard-WSL2";
  EXPECT_TRUE(IsVirtualMachine(room.Env()));
  EXPECT_EQ(room.Machine.Queries, 0);
  EXPECT_THAT(room.Log.Lines,
              ElementsAre("INFO checking is vm", "INFO running in virtual machine"));

  room.Log.Lines.clear();
  room.Machine.Kernel = "6.1.0-13-amd64";
  EXPECT_FALSE(IsVirtualMachine(room.Env()));
  EXPECT_THAT(room.Log.Lines, ElementsAre("INFO checking is vm"));
}

TEST(CheckVirtualMachine, HardwareFindLogsTheVerdict) {
  FakeMachineRoom room;
  room.Machine.Disks = {{"scsi\\0:0:0:0", "VMware Virtual disk"}};
  EXPECT_TRUE(IsVirtualMachine(room.Env()));
  EXPECT_THAT(room.Log.Lines, ElementsAre("INFO checking is vm", "INFO video card ident： ",
                                          "INFO driver name:scsi\\0:0:0:0vmware virtual disk",
                                          "INFO running in virtual machine"));
}

}  // namespace
}  // namespace quorvex::testing
