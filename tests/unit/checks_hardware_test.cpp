#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "checks/utils.h"
#include "common/application.h"
#include "tests/support/checks_fakes.h"

namespace quorvex::testing {
namespace {

constexpr uint64_t kGiB = 1ull << 30;

TEST(CheckHardwareMemory, WholeGibibytesWithTiesToEven) {
  struct Case {
    uint64_t bytes;
    int64_t expected;
  };
  for (const Case& c : {
           Case{0, 0},
           Case{kGiB / 2, 0},
           Case{kGiB / 2 + 1, 1},
           Case{kGiB * 5 / 2, 2},
           Case{kGiB * 7 / 2, 4},
           Case{kGiB * 7 / 2 - 1, 3},
           Case{kGiB * 9 / 2, 4},
           Case{kGiB * 34 / 10, 3},
           Case{kGiB * 36 / 10, 4},
           Case{16 * kGiB, 16},
           Case{std::numeric_limits<uint64_t>::max(), int64_t{1} << 34},
       }) {
    EXPECT_EQ(MemoryInGiB(c.bytes), c.expected) << c.bytes;
  }
}

struct HardwareCase {
  const char* name;
  int cpus;
  uint64_t memory;
  std::optional<std::string> advisory_end;
};
// Named in test listings and failures, rather than dumped as bytes.
void PrintTo(const HardwareCase& c, std::ostream* os) {
  *os << c.name;
}

class CheckHardwareAdvisory : public ::testing::TestWithParam<HardwareCase> {};

TEST_P(CheckHardwareAdvisory, WeakMachinesOnly) {
  const HardwareCase& c = GetParam();
  SetApplicationTitle("Quorvex exam");
  FakeMachineRoom room;
  room.Machine.Cpus = c.cpus;
  room.Machine.Memory = c.memory;
  CheckHardware(room.Env());
  if (!c.advisory_end) {
    EXPECT_TRUE(room.Boxes.empty());
    return;
  }
  ASSERT_EQ(room.Boxes.size(), 1u);
  EXPECT_EQ(room.Boxes[0].Caption, "Quorvex exam");
  EXPECT_EQ(room.Boxes[0].Text,
            "In order to ensure exam performs normally, please change to a better equipped "
            "computer, the current has a lower configuration, " +
                *c.advisory_end);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckHardwareAdvisory,
    ::testing::Values(HardwareCase{"Strong", 8, 16 * kGiB, {}},
                      HardwareCase{"FourThreadsEightGiB", 4, 8 * kGiB, {}},
                      HardwareCase{"ReservedMemoryRoundsUp", 4, kGiB * 36 / 10, {}},
                      HardwareCase{"ThreeAndAHalfIsFour", 4, kGiB * 7 / 2, {}},
                      HardwareCase{"ThreePointFour", 4, kGiB * 34 / 10, "CPU: 4, Memory: 3G"},
                      HardwareCase{"TwoAndAHalfIsTwo", 8, kGiB * 5 / 2, "CPU: 8, Memory: 2G"},
                      HardwareCase{"FewProcessorsAlone", 2, 32 * kGiB, "CPU: 2, Memory: 32G"},
                      HardwareCase{"FailedMemoryQuery", 4, 0, "CPU: 4, Memory: 0G"}),
    [](const auto& info) { return info.param.name; });

TEST(CheckHardwareAdvisoryText, Chinese) {
  FakeMachineRoom room;
  room.Strings = &ShippedStrings("zh-cn");
  room.Machine.Cpus = 2;
  room.Machine.Memory = 32 * kGiB;
  CheckHardware(room.Env());
  ASSERT_EQ(room.Boxes.size(), 1u);
  EXPECT_EQ(room.Boxes[0].Text,
            "为保证考试正常进行，请换一台电脑； 当前电脑配置较低， CPU: 2, 内存: 32G");
}

TEST(CheckHardwareAdvisoryText, BrokenTextIsLoggedNotRaised) {
  const TNwI18n strings(
      "[en-us]\nIn order to ensure exam performs normally, please change to a better equipped "
      "computer, the current has a lower configuration, CPU:%d, Memory:%dG=CPU %s\n",
      "en-us");
  FakeMachineRoom room;
  room.Strings = &strings;
  room.Machine.Cpus = 2;
  EXPECT_NO_THROW(CheckHardware(room.Env()));
  EXPECT_TRUE(room.Boxes.empty());
  ASSERT_EQ(room.Log.Lines.size(), 1u);
  EXPECT_TRUE(room.Log.Lines[0].starts_with("ERROR hardware advisory failed, "))
      << room.Log.Lines[0];
}

}  // namespace
}  // namespace quorvex::testing
